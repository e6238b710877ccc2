// Speed of loading the journal: from the query to a filled journal model with
// its totals, against a floor measured in the same run, the same select run
// through QtSql and merely iterated.
//
// A scaling line loads the same capped journal from a database of N bills and
// from one of 4N bills, taking turns, and prints the ratio of the two times. The
// peak memory of a journal at the line cap is printed against an empty journal.
//
//     query_bench              50,000 bills of 4 lines, 5 rounds per case;
//                              scaling from 50,000 to 200,000 bills
//     query_bench --bills N    N bills instead of 50,000 (and 4N for scaling)
//     query_bench --quick      500 bills, one round; checks the loaded journals
//                              against the database and prints no ratios
//     query_bench --db URL     on that server (or OTHERIN_TEST_DB), in new
//                              databases dropped at the end
//
// Exits non-zero when a loaded journal disagrees with the database.
#include <malloc.h>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QSet>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench_database.h"
#include "db/connection.h"
#include "db/schema.h"
#include "db/transaction.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "query/bill_find_controller.h"
#include "query/journal_model.h"
#include "query/result_loader.h"

using namespace otherin;

namespace {

struct Sizes {
    int bills = 50000;
    int linesPerBill = 4;
    int rounds = 5;
};

class PrintingPrompter : public entry::Prompter {
  public:
    void message(const QString& text, entry::Icon, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        ++messages;
    }
    entry::Answer question(const QString&, entry::Buttons, entry::Icon, const QString&) override {
        return entry::Answer::Cancel;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> saveFileName(const QString&, const QString&) override {
        return std::nullopt;
    }
    int messages = 0;
};

// Bills spread evenly over 2025 and 2026, so one period holds about 1/24 of them.
void fillBills(db::Connection& c, const Sizes& sizes, int bills) {
    std::vector<int> items;
    db::Query q = c.prepare(QStringLiteral("select fitemid from icitem order by fitemid"));
    q.exec();
    while (q.next()) items.push_back(q.value(0).toInt());

    db::TransactionGuard tx(c);
    // The bills are the bench's setting, not what it measures: on a server
    // they arrive as a copy does, without the history's triggers.
    const QStringList tables{QStringLiteral("icstockbill"), QStringLiteral("icstockbillentry")};
    if (c.dialect().isServer())
        for (const QString& t : tables)
            c.exec(QStringLiteral("alter table %1 disable trigger user").arg(t));
    db::Query bill = c.prepare(QStringLiteral(
        "insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,fcancellation,frob,"
        "fyear,fperiod,fOperator,fchecker,fposted,fstockid1,fexplanation) "
        "values(?,?,?,7,?,?,?,?,?,?,?,?,?,?)"));
    db::Query line = c.prepare(QStringLiteral(
        "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,fPrice,"
        "famount,fbatchno,fstockplace) values(?,?,?,?,?,?,?,?,?,?)"));
    const QDate first(2025, 1, 1);
    for (int id = 1; id <= bills; ++id) {
        const QDate date = first.addDays(static_cast<qint64>(id - 1) * 730 / bills);
        const bool audited = id % 3 == 0;
        bill.bind(id)
            .bind(QStringLiteral("QTRK%1").arg(id, 6, 10, QLatin1Char('0')))
            .bind(date.toString(QStringLiteral("yyyy-MM-dd")))
            .bind(audited ? 1 : 0)
            .bind(id % 40 == 0 ? 1 : 0)
            .bind(id % 25 == 0 ? 1 : 0)
            .bind(date.year())
            .bind(date.month())
            .bind(1 + id % 3)
            .bind(audited ? 1 : 0)
            .bind(audited ? 1 : 0)
            .bind(501 + id % 4)
            .bind(QStringLiteral("批次%1").arg(id % 100))
            .exec();
        for (int e = 1; e <= sizes.linesPerBill; ++e) {
            const double qty = (id % 17) + e * 0.5 + 0.25;
            const double price = 1 + (id % 13) * 0.75;
            line.bind(id)
                .bind(e)
                .bind(e)
                .bind(items[(id * sizes.linesPerBill + e) % items.size()])
                .bind(701 + e % 3)
                .bind(qty)
                .bind(price)
                .bind(std::round(qty * price * 1e6) / 1e6)
                .bind(QStringLiteral("B%1").arg(id % 50))
                .bind(801 + e % 6)
                .exec();
        }
    }
    if (c.dialect().isServer())
        for (const QString& t : tables)
            c.exec(QStringLiteral("alter table %1 enable trigger user").arg(t));
    tx.commit();
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct Expected {
    int lines = 0;
    int bills = 0;
    double qty = 0;
};

// What the journal must show: the same select's first kJournalLineLimit
// lines (the journal shows no more, and says so), their bills and quantity.
Expected expected(entry::LoginContext& ctx, const query::FindStatement& s) {
    entry::ConnectionScope scope(ctx);
    db::Query q = ctx.gConnection.prepare(s.sql);
    for (const QVariant& v : s.values) q.bind(v);
    q.exec();
    const int bill = q.record().indexOf(QStringLiteral("finterid"));
    const int qty = q.record().indexOf(QStringLiteral("fqty"));
    Expected e;
    QSet<qint64> bills;
    while (e.lines < query::kJournalLineLimit && q.next()) {
        ++e.lines;
        bills.insert(q.value(bill).toLongLong());
        e.qty += q.value(qty).toDouble();
    }
    e.bills = static_cast<int>(bills.size());
    return e;
}

// Lines, bills and the quantity total of the journal against the database.
bool agreesWithDatabase(entry::LoginContext& ctx, const query::JournalModel& journal,
                        const query::FindStatement& statement) {
    const Expected want = expected(ctx, statement);
    int qtyColumn = 0;
    while (qtyColumn < journal.columnCount() &&
           journal.column(qtyColumn).fieldName != QLatin1String("fqty")) {
        ++qtyColumn;
    }
    const double total =
        journal.data(journal.index(journal.lineCount(), qtyColumn), query::JournalModel::ValueRole)
            .toDouble();
    return journal.lineCount() == want.lines && journal.billCount() == want.bills &&
           std::abs(total - want.qty) < 1e-6;
}

bool runCase(const char* name, entry::LoginContext& ctx, PrintingPrompter& prompter,
             const Sizes& sizes, bool quick, const QString& seek, const QString& main,
             const QString& order) {
    const query::FindStatement statement =
        query::buildFindStatement(ctx, ctx.gConnection.dialect(), seek, main, order);
    // Floor and find take turns, so both see the machine in the same state.
    int floorRows = 0;
    query::JournalModel journal;
    bool loaded = true;
    std::vector<double> floorTimes;
    std::vector<double> findTimes;
    for (int round = 0; round < sizes.rounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        {
            entry::ConnectionScope scope(ctx);
            db::Query q = ctx.gConnection.prepare(statement.sql);
            for (const QVariant& v : statement.values) q.bind(v);
            q.exec();
            floorRows = 0;
            while (q.next()) ++floorRows;
        }
        floorTimes.push_back(msSince(start));
        start = std::chrono::steady_clock::now();
        loaded = query::find(ctx, prompter, journal, seek, main, order) && loaded;
        findTimes.push_back(msSince(start));
    }
    const double floorMs = median(floorTimes);
    const double findMs = median(findTimes);
    const bool agrees =
        loaded && agreesWithDatabase(ctx, journal, statement) &&
        std::min(floorRows, query::kJournalLineLimit) == expected(ctx, statement).lines;
    std::printf("%-28s %6d lines %5d bills  floor %8.1f ms  find %8.1f ms", name,
                journal.lineCount(), journal.billCount(), floorMs, findMs);
    if (!quick) std::printf("  ratio %.2fx", findMs / floorMs);
    std::printf("%s\n", agrees ? "" : "  !!! journal disagrees with the database");
    return agrees;
}

// The bill-type index that lets the view's filter stream the bills in id order.
bool hasTypeIndex(entry::LoginContext& ctx) {
    entry::ConnectionScope scope(ctx);
    const QString sql =
        ctx.gConnection.dialect().isServer()
            ? QStringLiteral(
                  "select count(*) from pg_indexes where schemaname=current_schema() "
                  "and indexname='ix_icstockbill_ftrantype'")
            : QStringLiteral(
                  "select count(*) from sqlite_master where type='index' "
                  "and name='ix_icstockbill_ftrantype'");
    return ctx.gConnection.scalar(sql).toInt() > 0;
}

void createTypeIndex(entry::LoginContext& ctx) {
    entry::ConnectionScope scope(ctx);
    ctx.gConnection.exec(QStringLiteral(
        "create index if not exists ix_icstockbill_ftrantype on icstockbill (ftrantype)"));
}

void dropTypeIndex(entry::LoginContext& ctx) {
    entry::ConnectionScope scope(ctx);
    ctx.gConnection.exec(QStringLiteral("drop index if exists ix_icstockbill_ftrantype"));
}

void printPlan(entry::LoginContext& ctx, const query::FindStatement& statement) {
    entry::ConnectionScope scope(ctx);
    // The server prepares no explain with bound values; its plans are read
    // with its own tools.
    if (ctx.gConnection.dialect().isServer()) return;
    db::Query q = ctx.gConnection.prepare(QStringLiteral("explain query plan ") + statement.sql);
    for (const QVariant& v : statement.values) q.bind(v);
    q.exec();
    while (q.next()) std::printf("      plan: %s\n", qPrintable(q.value(3).toString()));
}

QString spread(const std::vector<double>& times) {
    return QStringLiteral("%1-%2")
        .arg(*std::min_element(times.begin(), times.end()), 0, 'f', 1)
        .arg(*std::max_element(times.begin(), times.end()), 0, 'f', 1);
}

// The same journal from the small and the large database, taking turns.
bool runScaling(const char* name, entry::LoginContext* ctx[2], const int bills[2],
                PrintingPrompter& prompter, const Sizes& sizes, bool quick, const QString& seek,
                const QString& main, const QString& order, bool showPlan) {
    query::JournalModel journal[2];
    std::vector<double> times[2];
    bool ok = true;
    for (int round = 0; round < sizes.rounds; ++round) {
        for (int j = 0; j < 2; ++j) {
            const int i = (round + j) % 2;
            const auto start = std::chrono::steady_clock::now();
            ok = query::find(*ctx[i], prompter, journal[i], seek, main, order) && ok;
            times[i].push_back(msSince(start));
        }
    }
    for (int i = 0; i < 2; ++i) {
        const query::FindStatement statement =
            query::buildFindStatement(*ctx[i], ctx[i]->gConnection.dialect(), seek, main, order);
        const bool agrees = agreesWithDatabase(*ctx[i], journal[i], statement);
        ok = agrees && ok;
        std::printf("  %-24s %7d bills  %6d lines %5d bills  find %8.1f ms (%s)%s\n", name,
                    bills[i], journal[i].lineCount(), journal[i].billCount(), median(times[i]),
                    qPrintable(spread(times[i])),
                    agrees ? "" : "  !!! journal disagrees with the database");
        if (showPlan && i == 1) printPlan(*ctx[i], statement);
    }
    if (!quick) {
        std::printf("  %-24s ratio %d / %d bills: %.2f\n", name, bills[1], bills[0],
                    median(times[1]) / median(times[0]));
    }
    return ok;
}

// Kilobytes of one line of /proc/self/status ("VmHWM", "VmRSS"); -1 if missing.
long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ')[0].toLong();
    }
    return -1;
}

// Hands freed memory back and starts the peak afresh from the present size.
bool resetPeak() {
    malloc_trim(0);
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

struct MemoryUse {
    long baseKb = 0;  // before the load
    long peakKb = 0;  // highest during the load and while holding the journal
    long heldKb = 0;  // while holding the journal
    int lines = 0;
};

MemoryUse journalMemory(entry::LoginContext& ctx, PrintingPrompter& prompter, const QString& seek,
                        const QString& main, const QString& order, bool* ok) {
    MemoryUse use;
    const bool reset = resetPeak();
    use.baseKb = statusKb("VmRSS");
    {
        query::JournalModel journal;
        *ok = query::find(ctx, prompter, journal, seek, main, order) && *ok;
        use.lines = journal.lineCount();
        use.heldKb = statusKb("VmRSS");
        use.peakKb = reset ? statusKb("VmHWM") : use.heldKb;
    }
    return use;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    Sizes sizes;
    if (quick) sizes = {500, 4, 1};
    const int billsAt = app.arguments().indexOf(QStringLiteral("--bills"));
    if (billsAt >= 0) {
        bool number = false;
        sizes.bills = app.arguments().value(billsAt + 1).toInt(&number);
        if (!number || sizes.bills < 1) {
            std::fprintf(stderr, "usage: query_bench [--quick] [--bills N] [--db URL]\n");
            return 2;
        }
    }
    const int bills[2] = {sizes.bills, 4 * sizes.bills};

    const bench::BenchDatabase databases[2] = {
        {QStringLiteral("query%1").arg(bills[0]), app.arguments()},
        {QStringLiteral("query%1").arg(bills[1]), app.arguments()}};
    std::printf("database: %s\n", qPrintable(databases[0].backend()));
    entry::LoginContext small;
    entry::LoginContext large;
    entry::LoginContext* contexts[2] = {&small, &large};
    for (int i = 0; i < 2; ++i) {
        entry::LoginContext& c = *contexts[i];
        c.DBConnectionString = databases[i].connectionString();
        c.msgTitle = c.gBillName = QStringLiteral("其它入库单");
        c.gBillTypeId = 7;
        c.gViewName = QStringLiteral("vGOtherIn");
        c.gLoginUserId = QStringLiteral("1");
        c.IsAdmin = 1;
        c.gCurrentYear = 2026;
        c.gCurrentPeriod = 3;
        entry::ConnectionScope scope(c);
        db::schema::ensureSchema(c.gConnection);
        db::schema::installDemoData(c.gConnection, QDate(2026, 12, 7));
        const auto start = std::chrono::steady_clock::now();
        fillBills(c.gConnection, sizes, bills[i]);
        // The server plans from statistics its background worker would
        // gather only later; a database that grew this fast gets them now.
        if (c.gConnection.dialect().isServer()) c.gConnection.exec(QStringLiteral("analyze"));
        std::printf(
            "%d bills of %d lines written in %.1f s\n", bills[i], sizes.linesPerBill,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    entry::LoginContext& ctx = small;

    PrintingPrompter prompter;
    query::BillFindController dialog(ctx, prompter);
    dialog.open();
    bool ok = true;
    using Filters = query::QuickFilters;

    // Memory first, before the timed cases have grown the heap. A first empty
    // load reads the layout and warms the connection; it is not counted.
    dialog.filters().reset();
    dialog.filters().filter(Filters::DateRange).select(QStringLiteral("本年"));
    ctx.gCurrentYear = 2024;  // no bill of that year: an empty journal
    const QString emptyMain = dialog.mainSQL();
    ctx.gCurrentYear = 2026;
    dialog.filters().filter(Filters::DateRange).select(QStringLiteral("全部"));
    const QString fullMain = dialog.mainSQL();
    journalMemory(ctx, prompter, dialog.seekSQL(), emptyMain, dialog.orderSQL(), &ok);
    const MemoryUse empty =
        journalMemory(ctx, prompter, dialog.seekSQL(), emptyMain, dialog.orderSQL(), &ok);
    const MemoryUse full =
        journalMemory(ctx, prompter, dialog.seekSQL(), fullMain, dialog.orderSQL(), &ok);
    std::printf(
        "memory: empty journal (%d lines) peak %+ld kB, held %+ld kB; journal of %d lines peak "
        "%+ld kB, held %+ld kB; difference of the peaks %+.1f MB\n",
        empty.lines, empty.peakKb - empty.baseKb, empty.heldKb - empty.baseKb, full.lines,
        full.peakKb - full.baseKb, full.heldKb - full.baseKb,
        ((full.peakKb - full.baseKb) - (empty.peakKb - empty.baseKb)) / 1024.0);
    const int fullLines =
        expected(ctx, query::buildFindStatement(ctx, ctx.gConnection.dialect(), dialog.seekSQL(),
                                                fullMain, dialog.orderSQL()))
            .lines;
    if (empty.lines != 0 || full.lines != fullLines) {
        std::printf("!!! memory journals of %d and %d lines, wanted 0 and %d\n", empty.lines,
                    full.lines, fullLines);
        ok = false;
    }

    dialog.filters().reset();
    ok = runCase("default scheme and filters", ctx, prompter, sizes, quick, dialog.seekSQL(),
                 dialog.mainSQL(), dialog.orderSQL()) &&
         ok;
    for (int k = 0; k < Filters::KindCount; ++k) {
        dialog.filters().filter(Filters::Kind(k)).select(QStringLiteral("全部"));
    }
    ok = runCase("all filters on 全部", ctx, prompter, sizes, quick, dialog.seekSQL(),
                 dialog.mainSQL(), dialog.orderSQL()) &&
         ok;

    // Scaling: 日期 on 全部 and on 本年, the other filters as the dialog opens.
    const auto scaling = [&](const char* index) {
        std::printf("scaling, %d rounds, bill-type index %s:\n", sizes.rounds, index);
        for (const char* date : {"全部", "本年"}) {
            dialog.filters().reset();
            dialog.filters().filter(Filters::DateRange).select(QString::fromUtf8(date));
            const QString name = QStringLiteral("日期 = ") + QString::fromUtf8(date);
            ok = runScaling(name.toUtf8().constData(), contexts, bills, prompter, sizes, quick,
                            dialog.seekSQL(), dialog.mainSQL(), dialog.orderSQL(), !quick) &&
                 ok;
        }
    };
    // With and without the bill-type index, whichever the schema gives first.
    if (hasTypeIndex(small) && hasTypeIndex(large)) {
        scaling("from the schema");
        if (!quick) {
            for (entry::LoginContext* c : contexts) dropTypeIndex(*c);
            scaling("dropped by the bench");
        }
    } else {
        scaling("absent");
        for (entry::LoginContext* c : contexts) createTypeIndex(*c);
        scaling("created by the bench");
    }
    return ok && prompter.messages == 0 ? 0 : 1;
}
