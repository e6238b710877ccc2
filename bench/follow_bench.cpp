// How soon an open journal shows another program's save: the time from the
// commit of a save in another process (the clerk's editor session there) to
// the end of the journal's own reload here, against a floor measured in the
// same run: the journal's reload asked for directly, plus the follower's
// pause to gather changes that come together (kGatherMs), the least any
// follower of ours could take. Saves are a little more than a second apart,
// so the journal's limit of one reload a second adds nothing; the ratio is
// the cost of hearing of the save (the server's announcement; on the
// embedded file the idle poll of pragma data_version).
//
//     follow_bench [--db URL] [--saves N]   N saves (default 50)
//     follow_bench --quick                   three saves; checks that each
//                                            was shown, prints no ratio
//
// The writer is this program again, started with --writer.
#include <unistd.h>
#include <QCoreApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <cstdio>

#include "bench_database.h"
#include "bench_support.h"
#include "db/bill_watch.h"
#include "db/schema.h"
#include "journal/journal_follow.h"
#include "query/journal_model.h"
#include "query/result_loader.h"
#include "reliability/bill_desk.h"
#include "support/demo_login.h"

using namespace otherin;
using namespace otherin::bench;

namespace {

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// The other workstation: on each line read, saves a bill and prints its id
// and the moment the save returned (the steady clock is the machine's, the
// same in both processes).
int runWriter(const QString& connectionString) {
    QTemporaryDir dir;
    otherin::testing::BillDesk<otherin::testing::LastWordPrompter> desk(
        connectionString, 12, dir.filePath(QStringLiteral("writer.ini")));
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        desk.open(0);
        desk.session->setBillDate(QDate(2026, 12, 5));
        desk.setHeader(3, QStringLiteral("02"));
        const bool saved = desk.typeLines({{"02.001", "3"}}) && desk.session->save();
        const qint64 at = nowNs();
        std::printf("%d %lld\n", saved ? desk.ctx.gCurrentInterId : 0, static_cast<long long>(at));
        std::fflush(stdout);
        desk.session.reset();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (const qsizetype w = args.indexOf(QStringLiteral("--writer")); w > 0)
        return runWriter(args.value(w + 1));
    const bool quick = args.contains(QStringLiteral("--quick"));
    const qsizetype n = args.indexOf(QStringLiteral("--saves"));
    const int saves = quick ? 3 : (n > 0 ? args.value(n + 1).toInt() : 50);

    BenchDatabase database(QStringLiteral("follow"), args);
    entry::LoginContext ctx;
    otherin::testing::logInDemoAdministrator(ctx, database.connectionString(), 12);
    {
        entry::ConnectionScope scope(ctx);
        db::schema::ensureSchema(ctx.gConnection, db::schema::Contents::Demo);
    }
    std::printf("follow_bench on %s, %d saves\n", qPrintable(database.backend()), saves);

    entry::SilentPrompter silent;
    query::JournalModel journal;
    std::vector<double> floor;
    qint64 reloadEnd = 0;
    journal::JournalFollower* follower = nullptr;
    journal::JournalFollower::Hooks hooks;
    hooks.idle = [] { return true; };
    hooks.lines = [&] { return journal.lineCount(); };
    hooks.reload = [&] {
        follower->reloadStarting();
        const bool ok = query::find(ctx, silent, journal, {}, {}, {});
        reloadEnd = nowNs();
        return ok;
    };
    follower = new journal::JournalFollower(&entry::watchBills(ctx), hooks, &app);

    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(app.applicationFilePath(),
                 {QStringLiteral("--writer"), database.connectionString()});
    if (!writer.waitForStarted()) return 1;

    std::vector<double> delays;
    int missed = 0;
    for (int i = 0; i < saves; ++i) {
        // The unavoidable part: one reload asked for directly.
        const auto start = Clock::now();
        query::find(ctx, silent, journal, {}, {}, {});
        floor.push_back(millisSince(start) + journal::JournalFollower::kGatherMs);
        follower->reloadStarting();
        // Past the one-reload-a-second limit of the reload just made.
        const auto pause = Clock::now();
        while (millisSince(pause) < 1100) app.processEvents(QEventLoop::AllEvents, 50);

        writer.write("save\n");
        while (!writer.canReadLine() && writer.waitForReadyRead(30000)) {
        }
        const QStringList said = QString::fromUtf8(writer.readLine()).trimmed().split(u' ');
        const QString id = said.value(0);
        const qint64 committed = said.value(1).toLongLong();
        const auto waited = Clock::now();
        while (!journal.idList().split(u',').contains(id) && millisSince(waited) < 10000)
            app.processEvents(QEventLoop::AllEvents, 5);
        if (!journal.idList().split(u',').contains(id) || id == QLatin1String("0")) {
            ++missed;
            continue;
        }
        delays.push_back(static_cast<double>(reloadEnd - committed) / 1e6);
    }
    writer.closeWriteChannel();
    writer.waitForFinished();

    if (missed > 0) {
        std::printf("FAILED: %d of %d saves not shown within 10 s\n", missed, saves);
        return 1;
    }
    const Spread measured = spread(delays);
    std::printf(
        "delay from another process's save to the journal's reload: min %.0f ms, "
        "median %.0f ms, max %.0f ms over %d saves\n",
        measured.min, measured.median, measured.max, static_cast<int>(delays.size()));
    printRatio(QStringLiteral("save heard and shown"), spread(floor), measured, quick);
    return 0;
}
