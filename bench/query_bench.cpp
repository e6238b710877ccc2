// Speed of loading the journal: from the query to a filled journal model with
// its totals, against a floor measured in the same run, the same select run
// through QtSql and merely iterated.
//
//     query_bench            50,000 bills of 4 lines, 5 rounds per case
//     query_bench --quick    500 bills, one round; checks the loaded journal
//                            against the database and prints no ratios
//
// Exits non-zero when a loaded journal disagrees with the database.
#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

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
    std::optional<QString> saveFileName(const QString&) override { return std::nullopt; }
    int messages = 0;
};

// Bills spread evenly over 2025 and 2026, so one period holds about 1/24 of them.
void fillBills(db::Connection& c, const Sizes& sizes) {
    std::vector<int> items;
    db::Query q = c.prepare(QStringLiteral("select fitemid from icitem order by fitemid"));
    q.exec();
    while (q.next()) items.push_back(q.value(0).toInt());

    db::TransactionGuard tx(c);
    db::Query bill = c.prepare(QStringLiteral(
        "insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,fcancellation,frob,"
        "fyear,fperiod,fOperator,fchecker,fposted,fstockid1,fexplanation) "
        "values(?,?,?,7,?,?,?,?,?,?,?,?,?,?)"));
    db::Query line = c.prepare(QStringLiteral(
        "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,fPrice,"
        "famount,fbatchno,fstockplace) values(?,?,?,?,?,?,?,?,?,?)"));
    const QDate first(2025, 1, 1);
    for (int id = 1; id <= sizes.bills; ++id) {
        const QDate date = first.addDays(static_cast<qint64>(id - 1) * 730 / sizes.bills);
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

// What the journal must show, computed by the database over the same select.
Expected expected(entry::LoginContext& ctx, const query::FindStatement& s) {
    entry::ConnectionScope scope(ctx);
    db::Query q = ctx.gConnection.prepare(
        QStringLiteral("select count(*),count(distinct finterid),coalesce(sum(fqty),0) from (") +
        s.sql + QStringLiteral(")"));
    for (const QVariant& v : s.values) q.bind(v);
    q.exec();
    q.next();
    return {q.value(0).toInt(), q.value(1).toInt(), q.value(2).toDouble()};
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

    const Expected want = expected(ctx, statement);
    int qtyColumn = 0;
    while (qtyColumn < journal.columnCount() &&
           journal.column(qtyColumn).fieldName != QLatin1String("fqty")) {
        ++qtyColumn;
    }
    const double total =
        journal.data(journal.index(journal.lineCount(), qtyColumn), query::JournalModel::ValueRole)
            .toDouble();
    const bool agrees = loaded && journal.lineCount() == want.lines &&
                        journal.billCount() == want.bills && floorRows == want.lines &&
                        std::abs(total - want.qty) < 1e-6;
    std::printf("%-28s %6d lines %5d bills  floor %8.1f ms  find %8.1f ms", name,
                journal.lineCount(), journal.billCount(), floorMs, findMs);
    if (!quick) std::printf("  ratio %.2fx", findMs / floorMs);
    std::printf("%s\n", agrees ? "" : "  !!! journal disagrees with the database");
    return agrees;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    Sizes sizes;
    if (quick) sizes = {500, 4, 1};

    QTemporaryDir dir;
    entry::LoginContext ctx;
    ctx.DBConnectionString = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("q.sqlite"));
    ctx.msgTitle = ctx.gBillName = QStringLiteral("其它入库单");
    ctx.gBillTypeId = 7;
    ctx.gViewName = QStringLiteral("vGOtherIn");
    ctx.gLoginUserId = QStringLiteral("1");
    ctx.IsAdmin = 1;
    ctx.gCurrentYear = 2026;
    ctx.gCurrentPeriod = 3;
    {
        entry::ConnectionScope scope(ctx);
        db::schema::ensureSchema(ctx.gConnection);
        db::schema::installDemoData(ctx.gConnection);
        const auto start = std::chrono::steady_clock::now();
        fillBills(ctx.gConnection, sizes);
        std::printf(
            "%d bills of %d lines written in %.1f s\n", sizes.bills, sizes.linesPerBill,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }

    PrintingPrompter prompter;
    query::BillFindController dialog(ctx, prompter);
    dialog.open();
    bool ok = runCase("default scheme and filters", ctx, prompter, sizes, quick, dialog.seekSQL(),
                      dialog.mainSQL(), dialog.orderSQL());
    for (int k = 0; k < query::QuickFilters::KindCount; ++k) {
        dialog.filters().filter(query::QuickFilters::Kind(k)).select(QStringLiteral("全部"));
    }
    ok = runCase("all filters on 全部", ctx, prompter, sizes, quick, dialog.seekSQL(),
                 dialog.mainSQL(), dialog.orderSQL()) &&
         ok;
    return ok && prompter.messages == 0 ? 0 : 1;
}
