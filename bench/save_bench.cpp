// Speed of saving a new bill from the editor: BillSession::save() in new-bill
// mode, from the checks through the id and number, the header, the lines and
// the ledger posting to the commit, against a floor measured in the same
// run: the same header, lines and ledger posting written by hand in one
// transaction (the lines 500 to a statement, one set-based ledger upsert).
//
//     save_bench            bills of 1, 100 and 1,000 lines, 9 rounds each
//     save_bench --quick    bills of 1 and 30 lines, one round; checks that
//                           the saved lines equal the hand-written ones and
//                           that the ledger holds every line, and prints no
//                           ratios
//     save_bench --lines N [--rounds R]
//                           bills of N lines only, R rounds (to count syncs
//                           under strace or to profile)
//
// The grid is filled before the clock starts, as look-ups would leave it.
// Next to the wall time each case prints the processor time of the same
// rounds: the difference is the time spent waiting for the disk to sync.
#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "bench_database.h"
#include "bench_support.h"
#include "db/connection.h"
#include "db/transaction.h"
#include "editor/bill_session.h"
#include "entry/edit_mode.h"

using namespace otherin;
using namespace otherin::bench;

namespace {

// The same bill by hand: header, lines, ledger, in one transaction.
void floorSave(entry::LoginContext& ctx, qint32 id, int lines) {
    entry::ConnectionScope scope(ctx);
    db::Connection& c = ctx.gConnection;
    db::TransactionGuard tx(c);
    c.exec(QStringLiteral("insert into icstockbill(finterid,fstatus,fcancellation,fstockid1,"
                          "fexplanation,fdate,fOperator,ftrantype,fyear,fperiod,frob,fbillno) "
                          "values(?,0,0,502,?,'2026-03-15',1,7,2026,3,0,?)"),
           {id, QStringLiteral("%1 行").arg(lines), QStringLiteral("FLOOR%1").arg(id)});
    // The lines in statements of up to 500 rows, as a person who knows the
    // database would write them (a statement a line costs a round trip each
    // on a server, and a trigger call each where statement triggers run).
    constexpr int kRowsPerStatement = 500;
    const QString row = QStringLiteral("(?,?,?,?,?,?,?,?,?,?,?)");
    for (int first = 1; first <= lines; first += kRowsPerStatement) {
        const int count = std::min(kRowsPerStatement, lines - first + 1);
        db::Query insert = c.prepare(
            QStringLiteral("insert into icstockbillentry(finterid,forderid,fentryid,fitemid,"
                           "funitid,fqty,fPrice,famount,fbatchno,fstockplace,fnote) values ") +
            QStringList(count, row).join(QLatin1Char(',')));
        for (int r = first; r < first + count; ++r) {
            const Line l = lineAt(r);
            insert.bind(id).bind(r).bind(r).bind(l.item).bind(701).bind(l.qty).bind(l.price);
            insert.bind(l.amount).bind(l.batch).bind(801).bind(l.note);
        }
        insert.exec();
    }
    c.exec(QStringLiteral(
               "insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,"
               "famount) select a.fstockid1,b.fitemid,b.funitid,coalesce(b.fbatchno,''),"
               "coalesce(b.fstockplace,0),round(sum(b.fqty),6),round(sum(b.famount),6) "
               "from icstockbill as a inner join icstockbillentry as b on a.finterid=b.finterid "
               "where a.finterid=? group by a.fstockid1,b.fitemid,b.funitid,"
               "coalesce(b.fbatchno,''),coalesce(b.fstockplace,0) "
               "on conflict(fstockid,fitemid,funitid,fbatchno,fStockPlace) do update set "
               "fqty=round(tblTimeStock.fqty+excluded.fqty,6),"
               "famount=round(tblTimeStock.famount+excluded.famount,6)"),
           {id});
    c.exec(QStringLiteral("delete from tblTimeStock where fqty=0 and famount=0"));
    tx.commit();
}

double cpuMillisSince(std::clock_t start) {
    return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

QStringList storedLines(EditorBench& bench, qint32 id) {
    entry::ConnectionScope scope(bench.ctx);
    db::Query q = bench.ctx.gConnection.prepare(
        QStringLiteral("select forderid,fentryid,fitemid,funitid,fqty,fPrice,famount,fbatchno,"
                       "fstockplace,fnote from icstockbillentry where finterid=? order by "
                       "forderid"));
    q.bind(id).exec();
    QStringList rows;
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < 10; ++i) cells << q.value(i).toString();
        rows << cells.join(QLatin1Char('/'));
    }
    return rows;
}

bool runCase(EditorBench& bench, editor::BillSession& session, int lines, int rounds,
             qint32& floorId, bool quick) {
    std::vector<double> floorTimes, floorCpu;
    std::vector<double> saveTimes, saveCpu;
    qint64 trips = 0;  // of the last save
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        std::clock_t cpu = std::clock();
        floorSave(bench.ctx, ++floorId, lines);
        floorCpu.push_back(cpuMillisSince(cpu));
        floorTimes.push_back(millisSince(start));

        fillBill(session, lines);
        const qint64 tripsBefore = bench.ctx.gConnection.roundTrips();
        start = Clock::now();
        cpu = std::clock();
        ok = session.save() && ok;
        saveCpu.push_back(cpuMillisSince(cpu));
        saveTimes.push_back(millisSince(start));
        trips = bench.ctx.gConnection.roundTrips() - tripsBefore;
    }
    const QStringList saved = storedLines(bench, bench.ctx.gCurrentInterId);
    if (saved.size() != lines || saved != storedLines(bench, floorId)) {
        std::printf("!!! the saved bill's %lld lines differ from the hand-written ones\n",
                    static_cast<long long>(saved.size()));
        ok = false;
    }
    printRatio(QStringLiteral("save a bill of %1 lines").arg(lines), spread(floorTimes),
               spread(saveTimes), quick);
    printRatio(QStringLiteral("  processor time only"), spread(floorCpu), spread(saveCpu), quick);
    std::printf("  statements sent (round trips on a server): %lld\n",
                static_cast<long long>(trips));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains(QStringLiteral("--quick"));
    std::vector<int> sizes = quick ? std::vector<int>{1, 30} : std::vector<int>{1, 100, 1000};
    if (const qsizetype at = args.indexOf(QStringLiteral("--lines")); at > 0)
        sizes = {args.value(at + 1).toInt()};
    int rounds = quick ? 1 : 9;
    if (const qsizetype at = args.indexOf(QStringLiteral("--rounds")); at > 0)
        rounds = std::max(1, args.value(at + 1).toInt());

    // A file, or a new database on the server of --db URL / OTHERIN_TEST_DB.
    const bench::BenchDatabase database(QStringLiteral("save"), args);
    std::printf("%s\n", qPrintable(database.backend()));
    EditorBench bench(database.connectionString());
    bench.ctx.gEditMode = entry::kModeNew;
    editor::BillSession session(bench.ctx, bench.prompter, bench.selectors, bench.settings.get());
    if (!session.prepare()) return 1;
    session.start();

    bool ok = true;
    int saves = 0;
    qint32 floorId = 1000000;  // far above the ids the editor issues
    for (const int lines : sizes) {
        ok = runCase(bench, session, lines, rounds, floorId, quick) && ok;
        saves += rounds;
    }

    // Every line of every bill, the editor's and the floor's, is on the ledger.
    const double lineQty =
        bench.scalar(QStringLiteral("select coalesce(sum(fqty),0) from icstockbillentry"))
            .toDouble();
    const double ledgerQty =
        bench.scalar(QStringLiteral("select coalesce(sum(fqty),0) from tblTimeStock")).toDouble();
    if (std::abs(lineQty - ledgerQty) > 1e-6) {
        std::printf("!!! the ledger holds %g, the lines %g\n", ledgerQty, lineQty);
        ok = false;
    }
    const QStringList expected(saves, QStringLiteral("数据保存成功！"));
    if (bench.prompter.texts != expected || bench.prompter.insideTransaction != 0) {
        std::printf("!!! the editor said: %s\n", qPrintable(bench.prompter.texts.join(" | ")));
        ok = false;
    }
    return ok ? 0 : 1;
}
