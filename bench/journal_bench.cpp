// Speed of auditing a large selection in the journal when the audit posts to
// the current-stock ledger (gIsCheckUpdate 1).
//
// The audit is measured against a floor taken in the same run: one transaction
// of hand-written statements (the status update and one set-based ledger
// upsert) that brings bills and ledger to the same end state. The program
// checks that both end states agree and exits non-zero when they do not.
// A second floor also writes what the audit must write beyond that end state:
// each bill's version, writer and time, and its row in the change history (on
// a server the history's trigger writes it; the writer trigger is told the
// statement stamps its rows, as the owner's audit does).
//
//     journal_bench            2,000 bills of 4 lines, 5 rounds
//     journal_bench --quick    a small run that only checks the end states
//     journal_bench --db URL   on that server (or OTHERIN_TEST_DB), in a new
//                              database dropped at the end
#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench_database.h"
#include "bill/bill_operations.h"
#include "db/connection.h"
#include "db/schema.h"
#include "db/transaction.h"
#include "entry/login_context.h"
#include "entry/prompter.h"

using namespace otherin;

namespace {

// Anything the audit says is a failure of the run.
class LoudPrompter : public entry::Prompter {
  public:
    void message(const QString& text, entry::Icon, const QString&) override {
        std::printf("message: %s\n", qPrintable(text));
        ++messages;
    }
    entry::Answer question(const QString& text, entry::Buttons, entry::Icon,
                           const QString&) override {
        std::printf("question: %s\n", qPrintable(text));
        ++messages;
        return entry::Answer::No;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> saveFileName(const QString&, const QString&) override {
        return std::nullopt;
    }
    int messages = 0;
};

void seed(db::Connection& c, int bills, int lines) {
    db::TransactionGuard tx(c);
    db::Query head = c.prepare(QStringLiteral(
        "insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,fcancellation,fOperator,"
        "fstockid1,fyear,fperiod) values(?,?,'2026-12-05',7,0,0,2,?,2026,12)"));
    db::Query line = c.prepare(QStringLiteral(
        "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,fPrice,"
        "famount,fbatchno,fstockplace) values(?,?,?,?,1,?,1.5,?,?,0)"));
    for (int b = 1; b <= bills; ++b) {
        head.bind(b).bind(QStringLiteral("QT%1").arg(b, 6, 10, QLatin1Char('0'))).bind(1 + b % 2);
        head.exec();
        for (int l = 1; l <= lines; ++l) {
            const double qty = 1 + (b * 7 + l) % 13 + 0.25;
            line.bind(b)
                .bind(l)
                .bind(l)
                .bind(100 + (b + l) % 40)
                .bind(qty)
                .bind(qty * 1.5)
                .bind(QStringLiteral("B%1").arg(l % 3));
            line.exec();
        }
    }
    tx.commit();
}

void reset(db::Connection& c) {
    c.exec(QStringLiteral("update icstockbill set fstatus=0,fchecker=0,fstockposted=0"));
    c.exec(QStringLiteral("delete from tblTimeStock"));
}

QStringList snapshot(db::Connection& c) {
    QStringList rows;
    db::Query q = c.prepare(QStringLiteral(
        "select fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,famount from tblTimeStock "
        "order by fstockid,fitemid,funitid,fbatchno,fStockPlace"));
    q.exec();
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < 7; ++i) cells << q.value(i).toString();
        rows << cells.join(QLatin1Char('/'));
    }
    rows << c.scalar(QStringLiteral("select sum(fstatus)||'/'||sum(fchecker)||'/'||"
                                    "sum(fstockposted) from icstockbill"))
                .toString();
    return rows;
}

// The bills' lines onto the ledger in one upsert, and the emptied rows out.
void postByHand(db::Connection& c, const QString& ids) {
    c.exec(
        QStringLiteral(
            "insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,famount)"
            " select a.fstockid1,b.fitemid,b.funitid,coalesce(b.fbatchno,''),"
            "coalesce(b.fstockplace,0),round(sum(b.fqty),6),round(sum(b.famount),6)"
            " from icstockbill as a inner join icstockbillentry as b on a.finterid=b.finterid"
            " where a.finterid in (%1) group by a.fstockid1,b.fitemid,b.funitid,"
            "coalesce(b.fbatchno,''),coalesce(b.fstockplace,0)"
            " on conflict(fstockid,fitemid,funitid,fbatchno,fStockPlace) do update set"
            " fqty=round(tblTimeStock.fqty+excluded.fqty,6),"
            "famount=round(tblTimeStock.famount+excluded.famount,6)")
            .arg(ids));
    c.exec(QStringLiteral("delete from tblTimeStock where fqty=0"));
}

void floorAudit(db::Connection& c, const QString& ids) {
    db::TransactionGuard tx(c);
    c.exec(
        QStringLiteral("update icstockbill set fchecker=2,fstatus=1,fstockposted=1 where finterid "
                       "in (%1)")
            .arg(ids));
    postByHand(c, ids);
    tx.commit();
}

// The floor's statements with the version step and the history rows.
void floorAuditWithHistory(db::Connection& c, const QString& ids) {
    db::TransactionGuard tx(c);
    const bool server = c.dialect().isServer();
    if (server) c.exec(QStringLiteral("select set_config('otherin.stamped','on',true)"));
    c.exec(QStringLiteral("update icstockbill set fchecker=2,fstatus=1,fstockposted=1,"
                          "fversion=fversion+1,fmodifierid=2,fmodifytime=%1 where finterid in (%2)")
               .arg(c.dialect().now(), ids));
    if (!server) {
        c.exec(QStringLiteral("insert into otherin_history (fkind,finterid,fbillno,fop,fuserid) "
                              "select 'bill',finterid,fbillno,'审核',2 from icstockbill where "
                              "finterid in (%1)")
                   .arg(ids));
    }
    postByHand(c, ids);
    tx.commit();
}

// The last row of the change history.
qlonglong lastHistoryRow(db::Connection& c) {
    return c.scalar(QStringLiteral("select coalesce(max(fid),0) from otherin_history"))
        .toLongLong();
}

// The bills' history rows after `mark`: how many, for how many bills, and
// their operations.
QString historyRows(db::Connection& c, qlonglong mark) {
    return c
        .scalar(QStringLiteral("select count(*)||' '||count(distinct finterid)||' '||"
                               "coalesce(min(fop),'')||' '||coalesce(max(fop),'') from "
                               "otherin_history where fkind='bill' and fid>?"),
                {mark})
        .toString();
}

double millis(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int bills = quick ? 50 : 2000;
    const int lines = 4;
    const int rounds = quick ? 1 : 5;

    const bench::BenchDatabase database(QStringLiteral("journal"), app.arguments());
    std::printf("database: %s\n", qPrintable(database.backend()));
    entry::LoginContext ctx;
    ctx.DBConnectionString = database.connectionString();
    ctx.gLoginUserId = QStringLiteral("2");
    ctx.gIsCheckUpdate = 1;
    ctx.gPeriodStartDate = QStringLiteral("2026-12-01");
    db::Connection c;
    c.open(ctx.DBConnectionString);
    db::schema::ensureSchema(c);
    seed(c, bills, lines);

    QStringList idList;
    for (int b = 1; b <= bills; ++b) idList << QString::number(b);
    const QString ids = idList.join(QLatin1Char(','));

    LoudPrompter prompter;
    std::vector<double> auditTimes, floorTimes, fullFloorTimes;
    QStringList auditState, floorState, fullFloorState;
    QString auditHistory, fullFloorHistory;
    for (int round = 0; round < rounds; ++round) {
        reset(c);
        auto t0 = std::chrono::steady_clock::now();
        floorAudit(c, ids);
        floorTimes.push_back(millis(std::chrono::steady_clock::now() - t0));
        floorState = snapshot(c);

        // Its history rows are taken away again: the audit meets the history
        // the earlier audits left, as without this floor.
        reset(c);
        qlonglong mark = lastHistoryRow(c);
        t0 = std::chrono::steady_clock::now();
        floorAuditWithHistory(c, ids);
        fullFloorTimes.push_back(millis(std::chrono::steady_clock::now() - t0));
        fullFloorState = snapshot(c);
        fullFloorHistory = historyRows(c, mark);
        c.exec(QStringLiteral("delete from otherin_history where fid>?"), {mark});

        reset(c);
        mark = lastHistoryRow(c);
        t0 = std::chrono::steady_clock::now();
        const bool done = bill::checkBill(ctx, prompter, ids);
        auditTimes.push_back(millis(std::chrono::steady_clock::now() - t0));
        if (!done || prompter.messages > 0) {
            std::printf("!!! the audit did not complete\n");
            return 1;
        }
        auditState = snapshot(c);
        auditHistory = historyRows(c, mark);
    }
    if (auditState != floorState || fullFloorState != floorState) {
        std::printf("!!! MISMATCH: the audit's end state differs from the floor's\n");
        return 1;
    }
    if (auditHistory != fullFloorHistory) {
        std::printf("!!! MISMATCH: history rows %s, the second floor's %s\n",
                    qPrintable(auditHistory), qPrintable(fullFloorHistory));
        return 1;
    }
    const double audit = median(auditTimes);
    const double floor = median(floorTimes);
    const double fullFloor = median(fullFloorTimes);
    std::printf(
        "journal_bench: audit of %d bills x %d lines under gIsCheckUpdate 1, median of %d\n", bills,
        lines, rounds);
    std::printf("audit (checkBill)   %8.2f ms  %9.0f bills/s  floor %8.2f ms  ratio %.2f\n", audit,
                bills / (audit / 1000.0), floor, audit / floor);
    std::printf(
        "  against the floor with the version step and the history rows %8.2f ms  ratio "
        "%.2f\n",
        fullFloor, audit / fullFloor);
    std::printf("end states: equal\n");
    return 0;
}
