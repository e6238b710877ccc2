// A new bill being typed survives the program: killed while typing, the clerk
// finds it again at the next new bill.
#include <gtest/gtest.h>

#include <QFileInfo>

#include "editor/recovery_copy.h"
#include "editor/session_fixture.h"
#include "follow/clerk_process.h"

using namespace otherin;
using otherin::testing::ClerkProcess;
using otherin::testing::SessionTest;

namespace {

class RecoveryTest : public SessionTest {
  protected:
    QString copyPath() { return editor::RecoveryCopy::pathFor(settings->fileName(), 7, u"1"_qs); }
};

TEST_F(RecoveryTest, ABillTypedWhenTheProgramWasKilledIsOfferedAndRestored) {
    {
        ClerkProcess clerk(db.connectionString(), settings->fileName());
        ASSERT_EQ(clerk.run(u"type"_qs), u"typed"_qs);
        clerk.kill();
    }
    ASSERT_TRUE(QFileInfo::exists(copyPath()));
    // Read and written by its owner only (0600).
    const QFileDevice::Permissions mode = QFileInfo(copyPath()).permissions();
    EXPECT_TRUE(mode.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_FALSE(mode & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
                         QFileDevice::WriteOther));
    prompter.expectQuestion(entry::Answer::Yes);
    open(entry::kModeNew);
    EXPECT_TRUE(prompter.transcript().startsWith(u"? 发现未保存的单据（"_qs) &&
                prompter.transcript().endsWith(u"，2 行），是否恢复？"_qs))
        << prompter.transcript().toStdString();
    EXPECT_EQ(grid().text(1, 1) + u' ' + grid().text(5, 1) + u' ' + grid().text(1, 2) + u' ' +
                  grid().text(5, 2),
              u"02.001 3.00 02.002 4.00"_qs);
    EXPECT_EQ(session->form().strip.text(5), u"7.00"_qs);
    EXPECT_EQ(session->form().headerField(3)->keyValue, u"502"_qs);
    prompter.clear();
    ASSERT_TRUE(session->save()) << prompter.transcript().toStdString();
    EXPECT_EQ(rows(u"select fqty from icstockbillentry order by fentryid"_qs), u"3 4"_qs);
    // Saved: nothing is offered again.
    EXPECT_FALSE(QFileInfo::exists(copyPath()));
    prompter.clear();
    open(entry::kModeNew);
    EXPECT_EQ(prompter.transcript(), QString());
}

// 否 gives the copy up; a bill left in order (closed without saving) leaves none.
TEST_F(RecoveryTest, ACopyRefusedOrABillClosedInOrderIsNotOfferedAgain) {
    {
        ClerkProcess clerk(db.connectionString(), settings->fileName());
        ASSERT_EQ(clerk.run(u"type"_qs), u"typed"_qs);
        clerk.kill();
    }
    prompter.expectQuestion(entry::Answer::No);
    open(entry::kModeNew);
    EXPECT_EQ(grid().lastDataRow(), 0);
    EXPECT_FALSE(QFileInfo::exists(copyPath()));
    {
        ClerkProcess clerk(db.connectionString(), settings->fileName());
        ASSERT_EQ(clerk.run(u"type"_qs), u"typed"_qs);
        // The clerk closes the editor and gives the bill up (the worker answers No).
        ASSERT_EQ(clerk.run(u"close"_qs), u"closed"_qs);
    }
    EXPECT_FALSE(QFileInfo::exists(copyPath()));
}

}  // namespace
