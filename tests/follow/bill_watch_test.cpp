// The watch hears what other programs commit to bills, on both databases,
// from real separate processes; on the server it is cut off and restarted.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "db/bill_watch.h"
#include "db/schema.h"
#include "follow/clerk_process.h"
#include "follow/private_server.h"
#include "support/qstring_print.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::testing::ClerkProcess;
using otherin::testing::TestDatabase;

namespace {

// Everything heard until `enough` holds of it or ten seconds pass.
db::BillChange hearUntil(QSignalSpy& heard,
                         const std::function<bool(const db::BillChange&)>& enough) {
    db::BillChange all;
    for (int waits = 0; waits < 20; ++waits) {
        while (!heard.isEmpty()) {
            const auto change = heard.takeFirst().at(0).value<db::BillChange>();
            all.ids.unite(change.ids);
            all.all = all.all || change.all;
        }
        if (enough(all)) return all;
        heard.wait(500);
    }
    return all;
}

bool names(const db::BillChange& c, qint32 id) {
    return c.ids.contains(id);
}

TEST(BillWatchTest, AnotherProgramsSavesAuditsAndDeletesAreHeardByBill) {
    TestDatabase db(TestDatabase::Seed::Demo);
    db::BillWatch watch(db.connectionString(), db.connection());
    ASSERT_TRUE(watch.isListening());
    QSignalSpy heard(&watch, &db::BillWatch::changed);
    ClerkProcess clerk(db.connectionString());
    const qint32 audited = clerk.save();
    const qint32 deleted = clerk.save();
    ASSERT_GT(audited, 0);
    const db::BillChange saved = hearUntil(heard, [&](auto& c) { return names(c, deleted); });
    EXPECT_EQ(saved.ids, (QSet<qint32>{audited, deleted}));
    for (const auto& [command, id] : {std::pair{QStringLiteral("audit %1"), audited},
                                      std::pair{QStringLiteral("delete %1"), deleted}}) {
        SCOPED_TRACE(command.toStdString());
        heard.clear();
        const QString said = clerk.run(command.arg(id));
        ASSERT_TRUE(said.endsWith(QString::number(id))) << said.toStdString();
        const db::BillChange change = hearUntil(heard, [&](auto& c) { return names(c, id); });
        EXPECT_EQ(change.ids, QSet<qint32>{id});
        EXPECT_FALSE(change.all);
    }
}

// Plain SQL is heard too. The server names the writer, so the watch passes
// over the writes of its own program's connection; the file cannot tell.
// A statement over more bills than an announcement names says "all".
TEST(BillWatchTest, PlainWritesAreHeardAndAStatementOverManyBillsSaysAll) {
    TestDatabase db(TestDatabase::Seed::Demo);
    otherin::testing::addPostedBills(db.connection(), 600, 1000);
    db::BillWatch watch(db.connectionString(), db.connection());
    QSignalSpy heard(&watch, &db::BillWatch::changed);
    db::Connection other;
    other.open(db.connectionString());
    db.connection().exec(QStringLiteral("update icstockbill set fnote='own' where finterid=1001"));
    other.exec(QStringLiteral("update icstockbill set fnote='other' where finterid=1002"));
    const db::BillChange one = hearUntil(heard, [](auto& c) { return names(c, 1002); });
    EXPECT_EQ(names(one, 1001), !TestDatabase::onServer());
    EXPECT_TRUE(names(one, 1002));

    heard.clear();
    other.exec(QStringLiteral("update icstockbill set fnote='many' where finterid>=1000"));
    const db::BillChange many =
        hearUntil(heard, [](auto& c) { return c.all || c.ids.size() >= 600; });
    if (TestDatabase::onServer()) {
        EXPECT_TRUE(many.all);
    } else {
        EXPECT_EQ(many.ids.size(), 600);
    }
}

// A connection cut by the server (an administrator ending it, a restart) is
// made again; as announcements may have gone by meanwhile, all bills are
// reported changed, and later writes are heard again.
TEST(BillWatchTest, AServerRestartIsSurvivedAndReportedAsAllChanged) {
    if (!TestDatabase::onServer()) GTEST_SKIP() << "a server restart";
    otherin::testing::PrivateServer server;
    ASSERT_TRUE(server.started());
    {
        db::Connection setup;
        setup.open(server.url());
        db::schema::ensureSchema(setup, db::schema::Contents::Demo);
    }
    db::Connection own;
    db::BillWatch watch(server.url(), own);
    ASSERT_TRUE(watch.isListening());
    QSignalSpy heard(&watch, &db::BillWatch::changed);
    QSignalSpy listening(&watch, &db::BillWatch::listeningChanged);
    ClerkProcess clerk(server.url());
    const qint32 before = clerk.save();
    EXPECT_TRUE(names(hearUntil(heard, [&](auto& c) { return names(c, before); }), before));

    heard.clear();
    ASSERT_TRUE(server.restart());
    EXPECT_TRUE(hearUntil(heard, [](auto& c) { return c.all; }).all);
    ASSERT_GE(listening.size(), 2);
    EXPECT_EQ(listening.first().at(0).toBool(), false);
    EXPECT_EQ(listening.last().at(0).toBool(), true);

    heard.clear();
    const qint32 after = clerk.save();
    ASSERT_GT(after, before);
    EXPECT_TRUE(names(hearUntil(heard, [&](auto& c) { return names(c, after); }), after));
}

}  // namespace
