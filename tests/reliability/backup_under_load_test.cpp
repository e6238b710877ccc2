// Copies of the embedded file taken while four workstations save 500 bills each into it
// (save_worker.cpp; enough that copies meet the saves even on a quick machine): each copy
// finishes, opens, passes the engine's check and the ledger's, and holds whole bills only.

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "app/sqlite_backup.h"
#include "db/connection.h"
#include "support/qstring_print.h"
#include "support/test_database.h"
#include "worker_processes.h"

using namespace Qt::StringLiterals;

using otherin::testing::TestDatabase;

namespace {

TEST(BackupUnderLoad, CopiesTakenWhileFourClerksSaveAreWholeAndAgreeWithTheirLedger) {
    if (TestDatabase::onServer()) GTEST_SKIP() << "copies of the embedded file";
    TestDatabase db(TestDatabase::Seed::Demo);
    QTemporaryDir folder;
    const auto clerks =
        otherin::testing::releaseTogether(QStringLiteral(SAVE_WORKER), 4, [&](int k) {
            return QStringList{"--db",   db.connectionString(), "--count", "500",
                               "--seed", QString::number(k + 1)};
        });
    const auto saving = [&] {
        for (auto& p : clerks)
            if (p->state() != QProcess::NotRunning) return true;
        return false;
    };
    QStringList copies;
    while (saving() || copies.isEmpty()) {
        const otherin::app::FileBackup b =
            otherin::app::backupDatabaseFile(db.path(), folder.path(), 100);
        ASSERT_TRUE(b.made) << b.problem.toStdString();
        copies << b.path;
        for (auto& p : clerks) p->waitForFinished(50);
    }
    for (auto& p : clerks) {
        if (p->state() != QProcess::NotRunning) {
            ASSERT_TRUE(p->waitForFinished(100000));
        }
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    const int saved = db.scalar(u"select count(*) from icstockbill"_s).toInt();
    ASSERT_GE(saved, 2000);

    int partway = 0;  // copies that caught the saves under way
    for (const QString& copy : copies) {
        SCOPED_TRACE(copy.toStdString());
        EXPECT_EQ(otherin::app::checkDatabaseFile(copy), QString());
        otherin::db::Connection c;
        c.open(u"sqlite:"_s + copy);
        // Every bill with its one line, and no line without its bill.
        EXPECT_EQ(c.scalar(u"select count(*) from icstockbill b where (select count(*) from "
                           "icstockbillentry e where e.finterid=b.finterid)<>1"_s)
                      .toInt(),
                  0);
        EXPECT_EQ(c.scalar(u"select count(*) from icstockbillentry e where not "
                           "exists (select 1 from icstockbill b where "
                           "b.finterid=e.finterid)"_s)
                      .toInt(),
                  0);
        const int held = c.scalar(u"select count(*) from icstockbill"_s).toInt();
        if (held > 0 && held < saved) ++partway;
    }
    EXPECT_GT(partway, 0) << copies.size() << " copies, none while saving";
    std::printf("%lld copies, %d of them while saving, %d bills saved\n",
                static_cast<long long>(copies.size()), partway, saved);
}

}  // namespace
