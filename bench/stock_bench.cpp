// Speed of the current-stock ledger posting and of bill numbering, on the
// embedded database or on the server of `--db URL` / OTHERIN_TEST_DB.
//
// Posting is measured against a floor taken in the same run: one hand-written
// set-based statement that brings the ledger from the same starting state to
// the same end state. The program checks that both end states agree (and that
// a line-by-line reference agrees too) and exits non-zero when they do not.
//
// Single-bill posting with its zero-row clean-up is measured on a small and a
// large ledger in the same run; the ratio of the two shows whether the cost
// follows the bill or the ledger. Its end states are checked after every round.
//
//     stock_bench            2,000 bills of 10 lines, 1,000 numbers, 5 rounds;
//                            single bills on ledgers of 10,000 and 1,000,000 rows
//     stock_bench --quick    a small run that only checks the end states
#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <tuple>
#include <vector>

#include "bench_database.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/schema.h"
#include "db/transaction.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "stock/bill_numbering.h"
#include "stock/id_list.h"
#include "stock/stock_ledger.h"

using namespace otherin;

namespace {

struct Sizes {
    int bills = 2000;
    int linesPerBill = 10;
    int numbers = 1000;
    int rounds = 5;
    int smallLedger = 10000;
    int largeLedger = 1000000;
    int singleBills = 100;  // posted one by one in each round
};

constexpr int kWarehouses = 2;
constexpr int kItems = 20;
constexpr int kBatches = 5;  // 2 x 20 x 5 = 200 ledger keys

using Row = std::tuple<int, int, int, QString, int, double, double>;
using Ledger = std::vector<Row>;

Ledger readLedger(db::Connection& c) {
    Ledger rows;
    db::Query q = c.prepare(QStringLiteral(
        "select fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,famount from tblTimeStock "
        "order by fstockid,fitemid,funitid,fbatchno,fStockPlace"));
    q.exec();
    while (q.next()) {
        rows.emplace_back(q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt(),
                          q.value(3).toString(), q.value(4).toInt(), q.value(5).toDouble(),
                          q.value(6).toDouble());
    }
    return rows;
}

// Compares exactly; prints the first difference.
bool sameLedger(const char* what, const Ledger& got, const Ledger& want) {
    if (got == want) return true;
    std::printf("\n!!! MISMATCH: %s: %zu rows against %zu\n", what, got.size(), want.size());
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
        if (got[i] == want[i]) continue;
        const auto show = [](const Row& r) {
            return QStringLiteral("%1/%2/%3/%4/%5 qty %6 amount %7")
                .arg(std::get<0>(r))
                .arg(std::get<1>(r))
                .arg(std::get<2>(r))
                .arg(std::get<3>(r))
                .arg(std::get<4>(r))
                .arg(std::get<5>(r), 0, 'g', 17)
                .arg(std::get<6>(r), 0, 'g', 17);
        };
        std::printf("!!!   row %zu: %s\n!!!   wanted: %s\n", i, qPrintable(show(got[i])),
                    qPrintable(show(want[i])));
        break;
    }
    return false;
}

double millis(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Bills spread over the 200 keys with quantities and amounts of two and three
// decimals, some negative, batches and stock places partly null; a starting
// ledger holding half of the keys and some rows of another warehouse.
void seed(db::Connection& c, const Sizes& s) {
    db::TransactionGuard tx(c);
    db::Query header = c.prepare(QStringLiteral(
        "insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstockid1) values(?,?,?,7,?)"));
    db::Query line = c.prepare(QStringLiteral(
        "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,fPrice,"
        "famount,fbatchno,fstockplace) values(?,?,?,?,?,?,?,?,?,?)"));
    for (int b = 1; b <= s.bills; ++b) {
        header.bind(b)
            .bind(QStringLiteral("QT%1").arg(b, 6, 10, QLatin1Char('0')))
            .bind(QStringLiteral("2026-12-01"))
            .bind(1 + b % kWarehouses)
            .exec();
        for (int e = 1; e <= s.linesPerBill; ++e) {
            const int key = (b * 7 + e * 13) % (kItems * kBatches);
            const int batch = key % kBatches;
            const double qty = ((b * 31 + e * 17) % 2000 - 300) / 100.0;
            const double amount = ((b * 53 + e * 29) % 50000 - 5000) / 1000.0;
            line.bind(b)
                .bind(e)
                .bind(e)
                .bind(1000 + key / kBatches)
                .bind(7)
                .bind(qty)
                .bind(1.5)
                .bind(amount)
                .bind(batch == 0 ? QVariant() : QVariant(QStringLiteral("B%1").arg(batch)))
                .bind(e % 3 == 0 ? QVariant() : QVariant(0))
                .exec();
        }
    }
    db::Query stock = c.prepare(QStringLiteral(
        "insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,famount) "
        "values(?,?,?,?,?,?,?)"));
    for (int key = 0; key < kItems * kBatches; ++key) {
        const int batch = key % kBatches;
        stock.bind(1)
            .bind(1000 + key / kBatches)
            .bind(7)
            .bind(batch == 0 ? QStringLiteral("") : QStringLiteral("B%1").arg(batch))
            .bind(0)
            .bind(1000.5 + key)
            .bind(2000.25)
            .exec();
        stock.bind(9)
            .bind(1000 + key / kBatches)
            .bind(7)
            .bind(QStringLiteral("X%1").arg(batch))
            .bind(0)
            .bind(3.0)
            .bind(4.125)
            .exec();
    }
    tx.commit();
    // A working database has long been vacuumed and analysed by the server;
    // a fresh one would be measured against the server's own clean-up.
    if (c.dialect().isServer()) c.exec(QStringLiteral("vacuum analyze"));
}

void snapshot(db::Connection& c, const QString& name) {
    c.exec(QStringLiteral("drop table if exists %1").arg(name));
    c.exec(QStringLiteral("create table %1 as select * from tblTimeStock").arg(name));
}

void restore(db::Connection& c, const QString& name) {
    db::TransactionGuard tx(c);
    c.exec(QStringLiteral("delete from tblTimeStock"));
    c.exec(QStringLiteral("insert into tblTimeStock select * from %1").arg(name));
    tx.commit();
}

// The markers as a posting would find them, the floor with markers then
// writing each bill's marker from the one to the other.
void setMarkers(db::Connection& c, int value) {
    c.exec(QStringLiteral("update icstockbill set fstockposted=%1").arg(value));
}

// The floor: what a person would write by hand to move the ledger for every
// bill at once (rounded on SQLite, exact on the server); with `marker`, also
// the write of every bill's posting marker, which the posting must keep.
void floorStatement(db::Connection& c, stock::PostDirection direction, bool marker = false) {
    const QString sign = direction == stock::PostDirection::Add ? QString() : QStringLiteral("0-");
    const db::Dialect& d = c.dialect();
    db::TransactionGuard tx(c);
    if (marker) {
        c.exec(QStringLiteral("update icstockbill set fstockposted=%1 where ftrantype=7")
                   .arg(direction == stock::PostDirection::Add ? 1 : 0));
    }
    c.exec(QStringLiteral(
               "insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,"
               "famount) select a.fstockid1,b.fitemid,b.funitid,coalesce(b.fbatchno,''),"
               "coalesce(b.fstockplace,0),%1,%2 from "
               "icstockbillentry b join icstockbill a on a.finterid=b.finterid where "
               "a.ftrantype=7 group by 1,2,3,4,5 on conflict(fstockid,fitemid,funitid,fbatchno,"
               "fStockPlace) do update set fqty=%3,famount=%4")
               .arg(d.decimal(sign + QStringLiteral("sum(b.fqty)")),
                    d.decimal(sign + QStringLiteral("sum(b.famount)")),
                    d.decimal(QStringLiteral("tblTimeStock.fqty+excluded.fqty")),
                    d.decimal(QStringLiteral("tblTimeStock.famount+excluded.famount"))));
    tx.commit();
}

void post(db::Connection& c, const QString& idList, stock::PostDirection direction) {
    db::TransactionGuard tx(c);
    stock::postToTimeStock(c, idList, direction);
    tx.commit();
}

// Statement by statement, as the posting was first described: look the row
// up, then update it or insert it, one line after another.
void postLineByLine(db::Connection& c, stock::PostDirection direction) {
    const double sign = direction == stock::PostDirection::Add ? 1 : -1;
    db::TransactionGuard tx(c);
    db::Query lines = c.prepare(QStringLiteral(
        "select a.fstockid1,b.fitemid,b.funitid,coalesce(b.fbatchno,''),"
        "coalesce(b.fstockplace,0),b.fqty,b.famount from icstockbill as a inner join "
        "icstockbillentry as b on a.finterid=b.finterid where a.ftrantype=7"));
    lines.exec();
    // Read first: a server connection runs one statement at a time.
    std::vector<QVariantList> rows;
    while (lines.next()) {
        QVariantList row;
        for (int i = 0; i < 7; ++i) row << lines.value(i);
        rows.push_back(row);
    }
    const QString where = QStringLiteral(
        " where fstockid=? and fitemid=? and funitid=? and fbatchno=? and fStockPlace=?");
    db::Query find = c.prepare(QStringLiteral("select count(*) from tblTimeStock") + where);
    db::Query update = c.prepare(QStringLiteral("update tblTimeStock set fqty=%1,famount=%2")
                                     .arg(c.dialect().decimal(QStringLiteral("fqty+?")),
                                          c.dialect().decimal(QStringLiteral("famount+?"))) +
                                 where);
    db::Query insert = c.prepare(QStringLiteral(
        "insert into tblTimeStock(fqty,famount,fstockid,fitemid,funitid,fbatchno,fStockPlace) "
        "values(?,?,?,?,?,?,?)"));
    for (const QVariantList& row : rows) {
        const QVariantList key = row.mid(0, 5);
        for (const auto& k : key) find.bind(k);
        find.exec();
        find.next();
        db::Query& write = find.value(0).toInt() > 0 ? update : insert;
        write.bind(sign * row[5].toDouble()).bind(sign * row[6].toDouble());
        for (const auto& k : key) write.bind(k);
        write.exec();
    }
    tx.commit();
}

class SilentPrompter : public entry::Prompter {
  public:
    void message(const QString& text, entry::Icon, const QString&) override {
        std::printf("!!! unexpected message: %s\n", qPrintable(text));
    }
    entry::Answer question(const QString&, entry::Buttons, entry::Icon, const QString&) override {
        return entry::Answer::No;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> saveFileName(const QString&, const QString&) override {
        return std::nullopt;
    }
};

// The whole issue of a new bill's keys: duplicate check off, id advance in its
// own transaction, number inside the save's transaction.
bool issueNumbers(const QString& connectionString, int count, double* ms) {
    entry::LoginContext ctx;
    ctx.DBConnectionString = connectionString;
    ctx.gBillTypeId = 7;
    ctx.gBillLength = 6;
    SilentPrompter prompter;
    QString last;
    *ms = millis([&] {
        for (int i = 0; i < count; ++i) {
            if (!stock::issueBillId(ctx, prompter, QString())) return;
            db::TransactionGuard tx(ctx.gConnection);
            last = stock::issueBillNumber(ctx, QString());
            tx.commit();
        }
    });
    const QString want = stock::formatBillNumber(QStringLiteral("QTRK"), count, 6);
    if (last != want) {
        std::printf("\n!!! MISMATCH: last number %s, wanted %s\n", qPrintable(last),
                    qPrintable(want));
        return false;
    }
    return true;
}

// The floor of the numbering: the same id and number issues as a person
// would write them, both counters advanced and read by one update each, in
// one transaction per issue. Runs after issueNumbers, so its numbers follow
// the module's: the last is the counter's 2 x `count`.
bool issueNumbersByHand(const QString& connectionString, int count, double* ms) {
    db::Connection c;
    c.open(connectionString);
    QString last;
    *ms = millis([&] {
        for (int i = 0; i < count; ++i) {
            db::TransactionGuard tx(c);
            c.scalar(
                QStringLiteral("update tblmaxNum set fmaxnum=fmaxnum+1 where "
                               "ftablename='ICStockBill' returning fmaxnum"));
            {  // done with before the commit, as a statement still open holds it up
                db::Query number = c.prepare(
                    QStringLiteral("update tblMaxBillNo set fbillno=fbillno+1 where ftypeid=7 "
                                   "returning fbillno,fPreLetter,flength"));
                number.exec();
                if (number.next())
                    last =
                        stock::formatBillNumber(number.value(1).toString(), number.value(0).toInt(),
                                                number.value(2).toInt());
            }
            tx.commit();
        }
    });
    const QString want = stock::formatBillNumber(QStringLiteral("QTRK"), 2 * count, 6);
    if (last != want) {
        std::printf("\n!!! MISMATCH: last hand-issued number %s, wanted %s\n", qPrintable(last),
                    qPrintable(want));
        return false;
    }
    return true;
}

}  // namespace

int run(const Sizes& s, const QStringList& arguments) {
    const bench::BenchDatabase database(QStringLiteral("stock"), arguments);
    std::printf("database: %s\n", qPrintable(database.backend()));
    const QString connectionString = database.connectionString();
    db::Connection c;
    c.open(connectionString);
    db::schema::ensureSchema(c);
    db::schema::installDemoData(c, QDate(2026, 12, 7));
    seed(c, s);
    snapshot(c, QStringLiteral("bench_start"));
    const Ledger start = readLedger(c);
    const int lines = s.bills * s.linesPerBill;

    QStringList ids;
    for (int b = 1; b <= s.bills; ++b) ids << QString::number(b);
    const QString idList = ids.join(QLatin1Char(','));

    bool ok = true;
    std::vector<double> addMs, addFloorMs, addMarkedMs, reverseMs, reverseFloorMs, reverseMarkedMs;
    for (int round = 0; round < s.rounds && ok; ++round) {
        restore(c, QStringLiteral("bench_start"));
        addMs.push_back(millis([&] { post(c, idList, stock::PostDirection::Add); }));
        const Ledger added = readLedger(c);
        snapshot(c, QStringLiteral("bench_added"));
        restore(c, QStringLiteral("bench_start"));
        addFloorMs.push_back(millis([&] { floorStatement(c, stock::PostDirection::Add); }));
        ok = sameLedger("add against the floor", added, readLedger(c)) && ok;
        restore(c, QStringLiteral("bench_start"));
        setMarkers(c, 0);
        addMarkedMs.push_back(millis([&] { floorStatement(c, stock::PostDirection::Add, true); }));
        if (added == start) {
            std::printf("\n!!! MISMATCH: posting left the ledger as it was\n");
            ok = false;
        }

        restore(c, QStringLiteral("bench_added"));
        reverseMs.push_back(millis([&] { post(c, idList, stock::PostDirection::Reverse); }));
        const Ledger reversed = readLedger(c);
        restore(c, QStringLiteral("bench_added"));
        reverseFloorMs.push_back(millis([&] { floorStatement(c, stock::PostDirection::Reverse); }));
        ok = sameLedger("reverse against the floor", reversed, readLedger(c)) && ok;
        restore(c, QStringLiteral("bench_added"));
        setMarkers(c, 1);
        reverseMarkedMs.push_back(
            millis([&] { floorStatement(c, stock::PostDirection::Reverse, true); }));
        stock::removeZeroStockRows(c, stock::parseIdList(idList));
        ok = sameLedger("add, reverse and clean-up against the start", readLedger(c), start) && ok;
    }

    restore(c, QStringLiteral("bench_start"));
    const double lineByLineMs = millis([&] { postLineByLine(c, stock::PostDirection::Add); });
    const Ledger lineByLine = readLedger(c);
    restore(c, QStringLiteral("bench_start"));
    post(c, idList, stock::PostDirection::Add);
    ok = sameLedger("add against the line-by-line reference", readLedger(c), lineByLine) && ok;
    c.close();

    double numbersMs = 0;
    ok = issueNumbers(connectionString, s.numbers, &numbersMs) && ok;
    double numbersFloorMs = 0;
    ok = issueNumbersByHand(connectionString, s.numbers, &numbersFloorMs) && ok;

    const auto report = [&](const char* what, double ms, double floorMs) {
        std::printf("%-30s %9.2f ms  %11.0f lines/s  floor %9.2f ms  ratio %.2f\n", what, ms,
                    lines / (ms / 1000.0), floorMs, ms / floorMs);
    };
    std::printf("stock_bench: %d bills x %d lines = %d lines over %d keys, median of %d rounds\n",
                s.bills, s.linesPerBill, lines, kWarehouses * kItems * kBatches, s.rounds);
    report("post add (one id list)", median(addMs), median(addFloorMs));
    report("post reverse (one id list)", median(reverseMs), median(reverseFloorMs));
    std::printf("%-30s floor with the markers' write %.2f / %.2f ms  ratio %.2f / %.2f\n",
                "  add / reverse", median(addMarkedMs), median(reverseMarkedMs),
                median(addMs) / median(addMarkedMs), median(reverseMs) / median(reverseMarkedMs));
    std::printf("%-30s %9.2f ms  %11.0f lines/s  (%.1fx slower than the id list)\n",
                "line by line, add (reference)", lineByLineMs, lines / (lineByLineMs / 1000.0),
                lineByLineMs / median(addMs));
    std::printf(
        "%-30s %9.2f ms  %11.0f numbers/s  floor %9.2f ms  ratio %.2f  (%d numbers, id and "
        "number each)\n",
        "issue bill numbers", numbersMs, s.numbers / (numbersMs / 1000.0), numbersFloorMs,
        numbersMs / numbersFloorMs, s.numbers);
    std::printf("end states: %s\n", ok ? "all equal" : "MISMATCH");
    return ok ? 0 : 1;
}

namespace {

// Single bills on ledgers of very different sizes. Every ledger row has its own
// key in warehouse 3 (unit 7, stock place 0); every 100th row is empty, so that
// the clean-up can be seen to leave the empty rows of other keys alone.
constexpr int kLedgerWarehouse = 3;
constexpr int kLedgerItemBase = 100000;
constexpr int kNewItemBase = 900000;
constexpr int kSingleLines = 10;

double ledgerQty(int k) {
    return k % 100 == 0 ? 0 : 1 + k % 7;
}
double ledgerAmount(int k) {
    return k % 100 == 0 ? 0 : 1 + (k % 1000) / 100.0;
}
QString ledgerBatch(int k) {
    return k % 5 == 0 ? QString() : QStringLiteral("L%1").arg(k % 5);
}
int emptyLedgerRows(int rows) {
    return (rows + 99) / 100;
}

// One set-based statement, so that a million rows take seconds, not minutes.
void fillLedger(db::Connection& c, int rows) {
    db::TransactionGuard tx(c);
    c.exec(QStringLiteral(
               "with recursive n(k) as (select 0 union all select k+1 from n where k+1<?) "
               "insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,"
               "famount) select ?,?+k/5,7,case when k%5=0 then '' else 'L'||(k%5) end,0,"
               "case when k%100=0 then 0 else 1+k%7 end,"
               "case when k%100=0 then 0 else 1+(k%1000)/100.0 end from n"),
           {rows, kLedgerWarehouse, kLedgerItemBase});
    tx.commit();
}

// Empties: the line brings its key's row to 0 and 0, so the clean-up deletes
// it. New: the key has no row yet. Changes: the row keeps a changed value.
enum class LineKind { Empties, New, Changes };

struct SingleLine {
    LineKind kind;
    int item;
    QString batch;  // null for the empty batch
    double qty;
    double amount;
    int k;  // the ledger row, for Empties and Changes
};

// The lines of bill `bill`; the bills' keys are spread over the whole ledger.
std::vector<SingleLine> singleBillLines(int bill, int bills, int ledgerRows) {
    const int step = ledgerRows / (bills * kSingleLines + 1);
    std::vector<SingleLine> lines;
    for (int e = 1; e <= kSingleLines; ++e) {
        int k = ((bill - 1) * kSingleLines + e - 1) * step + step / 2;
        if (k % 100 == 0) ++k;
        const LineKind kind =
            e % 3 == 1 ? LineKind::Empties : (e % 3 == 2 ? LineKind::New : LineKind::Changes);
        if (kind == LineKind::New) {
            lines.push_back(
                {kind, kNewItemBase + bill * kSingleLines + e, QString(), 2.5, 3.75, -1});
        } else if (kind == LineKind::Empties) {
            lines.push_back({kind, kLedgerItemBase + k / 5, ledgerBatch(k), -ledgerQty(k),
                             -ledgerAmount(k), k});
        } else {
            lines.push_back({kind, kLedgerItemBase + k / 5, ledgerBatch(k), 1.5, 2.25, k});
        }
    }
    return lines;
}

void seedSingleBills(db::Connection& c, int bills, int ledgerRows) {
    db::TransactionGuard tx(c);
    db::Query header = c.prepare(QStringLiteral(
        "insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstockid1) values(?,?,?,7,?)"));
    db::Query line = c.prepare(QStringLiteral(
        "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,fPrice,"
        "famount,fbatchno,fstockplace) values(?,?,?,?,?,?,?,?,?,?)"));
    for (int b = 1; b <= bills; ++b) {
        header.bind(b)
            .bind(QStringLiteral("QT%1").arg(b, 6, 10, QLatin1Char('0')))
            .bind(QStringLiteral("2026-12-01"))
            .bind(kLedgerWarehouse)
            .exec();
        int e = 0;
        for (const SingleLine& l : singleBillLines(b, bills, ledgerRows)) {
            ++e;
            line.bind(b)
                .bind(e)
                .bind(e)
                .bind(l.item)
                .bind(7)
                .bind(l.qty)
                .bind(1.5)
                .bind(l.amount)
                .bind(l.batch.isNull() ? QVariant() : QVariant(l.batch))
                .bind(e % 2 == 0 ? QVariant() : QVariant(0))
                .exec();
        }
    }
    tx.commit();
}

bool near(double a, double b) {
    return std::abs(a - b) < 1e-9;
}

// After the bills were posted (`posted`) or reversed again: the row count, the
// other keys' empty rows and every key the bills' lines touch.
bool checkSingleLedger(db::Connection& c, int bills, int ledgerRows, bool posted,
                       const char* what) {
    int emptied = 0, added = 0;
    bool ok = true;
    db::Query row = c.prepare(QStringLiteral(
        "select fqty,famount from tblTimeStock where fstockid=? and fitemid=? and funitid=7 "
        "and fbatchno=? and fStockPlace=0"));
    for (int b = 1; b <= bills && ok; ++b) {
        for (const SingleLine& l : singleBillLines(b, bills, ledgerRows)) {
            row.bind(kLedgerWarehouse)
                .bind(l.item)
                .bind(l.batch.isNull() ? QStringLiteral("") : l.batch)
                .exec();
            const bool found = row.next();
            const double qty = found ? row.value(0).toDouble() : 0;
            const double amount = found ? row.value(1).toDouble() : 0;
            bool right = false;
            if (l.kind == LineKind::Empties) {
                ++emptied;
                right = posted
                            ? !found
                            : found && near(qty, ledgerQty(l.k)) && near(amount, ledgerAmount(l.k));
            } else if (l.kind == LineKind::New) {
                ++added;
                right = posted ? found && near(qty, l.qty) && near(amount, l.amount) : !found;
            } else {
                right = found && near(qty, ledgerQty(l.k) + (posted ? l.qty : 0)) &&
                        near(amount, ledgerAmount(l.k) + (posted ? l.amount : 0));
            }
            if (!right) {
                std::printf("\n!!! MISMATCH: %s: bill %d item %d batch '%s': %s qty %g amount %g\n",
                            what, b, l.item, qPrintable(l.batch), found ? "row" : "no row", qty,
                            amount);
                ok = false;
                break;
            }
        }
    }
    const int rows = c.scalar(QStringLiteral("select count(*) from tblTimeStock")).toInt();
    const int wantRows = posted ? ledgerRows - emptied + added : ledgerRows;
    const int empty =
        c.scalar(QStringLiteral("select count(*) from tblTimeStock where fqty=0 and famount=0"))
            .toInt();
    if (rows != wantRows || empty != emptyLedgerRows(ledgerRows)) {
        std::printf("\n!!! MISMATCH: %s: %d rows (%d empty), wanted %d (%d empty)\n", what, rows,
                    empty, wantRows, emptyLedgerRows(ledgerRows));
        ok = false;
    }
    return ok;
}

struct SingleTimes {
    std::vector<double> callsUs;  // postToTimeStock and removeZeroStockRows, per bill
    std::vector<double> wholeUs;  // the same with the transaction's begin and commit
};

// One round: each bill posted in its own transaction, as saving or auditing
// one bill does; then all reversed again in one untimed step.
bool singleRound(db::Connection& c, int bills, int ledgerRows, SingleTimes& times) {
    double calls = 0, whole = 0;
    for (int b = 1; b <= bills; ++b) {
        const auto begin = std::chrono::steady_clock::now();
        {
            db::TransactionGuard tx(c);
            const auto start = std::chrono::steady_clock::now();
            stock::postToTimeStock(c, b, stock::PostDirection::Add);
            stock::removeZeroStockRows(c, b);
            calls +=
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                    .count();
            tx.commit();
        }
        whole += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin)
                     .count();
    }
    times.callsUs.push_back(calls / bills);
    times.wholeUs.push_back(whole / bills);
    bool ok = checkSingleLedger(c, bills, ledgerRows, true, "single bills posted");
    QList<qint32> ids;
    for (int b = 1; b <= bills; ++b) ids << b;
    {
        db::TransactionGuard tx(c);
        stock::postToTimeStock(c, ids, stock::PostDirection::Reverse);
        stock::removeZeroStockRows(c, ids);
        tx.commit();
    }
    return checkSingleLedger(c, bills, ledgerRows, false, "single bills reversed") && ok;
}

}  // namespace

int runSingleBills(const Sizes& s, bool quick, const QStringList& arguments) {
    const int rows[2] = {s.smallLedger, s.largeLedger};
    const bench::BenchDatabase databases[2] = {
        {QStringLiteral("ledger%1").arg(rows[0]), arguments},
        {QStringLiteral("ledger%1").arg(rows[1]), arguments}};
    db::Connection c[2];
    for (int i = 0; i < 2; ++i) {
        c[i].open(databases[i].connectionString());
        db::schema::ensureSchema(c[i]);
        const double ms = millis([&] { fillLedger(c[i], rows[i]); });
        seedSingleBills(c[i], s.singleBills, rows[i]);
        std::printf("ledger of %d rows filled in %.1f s\n", rows[i], ms / 1000.0);
    }
    bool ok = true;
    for (int i = 0; i < 2; ++i) {
        ok = checkSingleLedger(c[i], s.singleBills, rows[i], false, "filled ledger") && ok;
    }
    SingleTimes times[2];
    if (!quick) {
        // A warm-up round at each size, not counted.
        SingleTimes warm;
        for (int i = 0; i < 2 && ok; ++i) ok = singleRound(c[i], s.singleBills, rows[i], warm);
    }
    // The sizes take turns, and the first of each round alternates.
    for (int round = 0; round < s.rounds && ok; ++round) {
        for (int j = 0; j < 2 && ok; ++j) {
            const int i = (round + j) % 2;
            ok = singleRound(c[i], s.singleBills, rows[i], times[i]) && ok;
        }
    }
    for (auto& connection : c) connection.close();
    if (!ok) {
        std::printf("single-bill end states: MISMATCH\n");
        return 1;
    }
    const auto spread = [](const std::vector<double>& v) {
        return QStringLiteral("%1-%2")
            .arg(*std::min_element(v.begin(), v.end()), 0, 'f', 1)
            .arg(*std::max_element(v.begin(), v.end()), 0, 'f', 1);
    };
    std::printf(
        "single-bill post + clean-up: %d bills of %d lines each round, one transaction each, "
        "median of %d rounds (min-max)\n",
        s.singleBills, kSingleLines, s.rounds);
    for (int i = 0; i < 2; ++i) {
        std::printf("  ledger %8d rows  %8.1f us per bill (%s)  with begin+commit %8.1f us (%s)\n",
                    rows[i], median(times[i].callsUs), qPrintable(spread(times[i].callsUs)),
                    median(times[i].wholeUs), qPrintable(spread(times[i].wholeUs)));
    }
    if (!quick) {
        std::printf("  ratio %d / %d rows: %.2f  (with begin+commit %.2f)\n", rows[1], rows[0],
                    median(times[1].callsUs) / median(times[0].callsUs),
                    median(times[1].wholeUs) / median(times[0].wholeUs));
    }
    std::printf("single-bill end states: all equal\n");
    return 0;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Sizes s;
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    if (quick) s = {200, 10, 100, 1, 2000, 20000, 10};
    try {
        const int bulk = run(s, app.arguments());
        const int single = runSingleBills(s, quick, app.arguments());
        return bulk != 0 ? bulk : single;
    } catch (const db::DbError& e) {
        std::printf("!!! database error: %s\n", qPrintable(e.message()));
        return 2;
    }
}
