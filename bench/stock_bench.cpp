// Speed of the current-stock ledger posting and of bill numbering on the
// embedded database.
//
// Posting is measured against a floor taken in the same run: one hand-written
// set-based statement that brings the ledger from the same starting state to
// the same end state. The program checks that both end states agree (and that
// a line-by-line reference agrees too) and exits non-zero when they do not.
//
//     stock_bench            2,000 bills of 10 lines, 1,000 numbers, 5 rounds
//     stock_bench --quick    a small run that only checks the end states
#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <tuple>
#include <vector>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/schema.h"
#include "db/transaction.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "stock/bill_numbering.h"
#include "stock/stock_ledger.h"

using namespace otherin;

namespace {

struct Sizes {
    int bills = 2000;
    int linesPerBill = 10;
    int numbers = 1000;
    int rounds = 5;
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

// The floor: what a person would write by hand on SQLite to move the ledger
// for every bill at once.
void floorStatement(db::Connection& c, stock::PostDirection direction) {
    const QString sign = direction == stock::PostDirection::Add ? QString() : QStringLiteral("0-");
    db::TransactionGuard tx(c);
    c.exec(QStringLiteral(
               "insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,"
               "famount) select a.fstockid1,b.fitemid,b.funitid,coalesce(b.fbatchno,''),"
               "coalesce(b.fstockplace,0),round(%1sum(b.fqty),6),round(%1sum(b.famount),6) from "
               "icstockbillentry b join icstockbill a on a.finterid=b.finterid where "
               "a.ftrantype=7 group by 1,2,3,4,5 on conflict(fstockid,fitemid,funitid,fbatchno,"
               "fStockPlace) do update set fqty=round(fqty+excluded.fqty,6),"
               "famount=round(famount+excluded.famount,6)")
               .arg(sign));
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
    const QString where = QStringLiteral(
        " where fstockid=? and fitemid=? and funitid=? and fbatchno=? and fStockPlace=?");
    db::Query find = c.prepare(QStringLiteral("select count(*) from tblTimeStock") + where);
    db::Query update = c.prepare(
        QStringLiteral("update tblTimeStock set fqty=round(fqty+?,6),famount=round(famount+?,6)") +
        where);
    db::Query insert = c.prepare(QStringLiteral(
        "insert into tblTimeStock(fqty,famount,fstockid,fitemid,funitid,fbatchno,fStockPlace) "
        "values(?,?,?,?,?,?,?)"));
    while (lines.next()) {
        QVariantList key;
        for (int i = 0; i < 5; ++i) key << lines.value(i);
        for (const auto& k : key) find.bind(k);
        find.exec();
        find.next();
        db::Query& write = find.value(0).toInt() > 0 ? update : insert;
        write.bind(sign * lines.value(5).toDouble()).bind(sign * lines.value(6).toDouble());
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
    std::optional<QString> saveFileName(const QString&) override { return std::nullopt; }
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

}  // namespace

int run(const Sizes& s) {
    QTemporaryDir dir;
    const QString connectionString =
        QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.sqlite"));
    db::Connection c;
    c.open(connectionString);
    db::schema::ensureSchema(c);
    db::schema::installDemoData(c);
    seed(c, s);
    snapshot(c, QStringLiteral("bench_start"));
    const Ledger start = readLedger(c);
    const int lines = s.bills * s.linesPerBill;

    QStringList ids;
    for (int b = 1; b <= s.bills; ++b) ids << QString::number(b);
    const QString idList = ids.join(QLatin1Char(','));

    bool ok = true;
    std::vector<double> addMs, addFloorMs, reverseMs, reverseFloorMs;
    for (int round = 0; round < s.rounds && ok; ++round) {
        restore(c, QStringLiteral("bench_start"));
        addMs.push_back(millis([&] { post(c, idList, stock::PostDirection::Add); }));
        const Ledger added = readLedger(c);
        snapshot(c, QStringLiteral("bench_added"));
        restore(c, QStringLiteral("bench_start"));
        addFloorMs.push_back(millis([&] { floorStatement(c, stock::PostDirection::Add); }));
        ok = sameLedger("add against the floor", added, readLedger(c)) && ok;
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
        stock::removeZeroStockRows(c);
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

    const auto report = [&](const char* what, double ms, double floorMs) {
        std::printf("%-30s %9.2f ms  %11.0f lines/s  floor %9.2f ms  ratio %.2f\n", what, ms,
                    lines / (ms / 1000.0), floorMs, ms / floorMs);
    };
    std::printf("stock_bench: %d bills x %d lines = %d lines over %d keys, median of %d rounds\n",
                s.bills, s.linesPerBill, lines, kWarehouses * kItems * kBatches, s.rounds);
    report("post add (one id list)", median(addMs), median(addFloorMs));
    report("post reverse (one id list)", median(reverseMs), median(reverseFloorMs));
    std::printf("%-30s %9.2f ms  %11.0f lines/s  (%.1fx slower than the id list)\n",
                "line by line, add (reference)", lineByLineMs, lines / (lineByLineMs / 1000.0),
                lineByLineMs / median(addMs));
    std::printf("%-30s %9.2f ms  %11.0f numbers/s  (%d numbers, id and number each)\n",
                "issue bill numbers", numbersMs, s.numbers / (numbersMs / 1000.0), s.numbers);
    std::printf("end states: %s\n", ok ? "all equal" : "MISMATCH");
    return ok ? 0 : 1;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Sizes s;
    if (app.arguments().contains(QStringLiteral("--quick"))) s = {200, 10, 100, 1};
    try {
        return run(s);
    } catch (const db::DbError& e) {
        std::printf("!!! database error: %s\n", qPrintable(e.message()));
        return 2;
    }
}
