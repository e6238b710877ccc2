// The editor knows what a clerk at another workstation does to the bill it
// shows, and who else has it open to change, on both databases.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "bill/bill_versions.h"
#include "bill/open_bills.h"
#include "editor/bill_follow.h"
#include "editor/session_fixture.h"
#include "editor/ui/frm_main_bill.h"
#include "entry/startup.h"
#include "entry/ui/qt_prompter.h"
#include "follow/clerk_process.h"

using namespace otherin;
using otherin::testing::ClerkProcess;
using otherin::testing::SessionTest;

namespace {

class EditorFollowTest : public SessionTest {
  protected:
    // "此单据已被 系统管理员 于 <the stored time> <verb>"
    QString noticeOf(qint32 id, const QString& verb) {
        const auto write = bill::lastWrite(db.connection(), id);
        return u"此单据已被 系统管理员 于 %1 %2"_qs.arg(
            write ? write->at.toString(u"yyyy-MM-dd HH:mm"_qs) : u"?"_qs, verb);
    }
    editor::BillFollower& follower() { return *session->follower(); }
    bool saveEnabled() {
        return session->commandState(QString::fromLatin1(editor::keys::Save)).enabled;
    }
};

TEST_F(EditorFollowTest, TheNoticeNamesWhoChangedAuditedOrDeletedTheShownBill) {
    ClerkProcess clerk(db.connectionString());
    const qint32 id = clerk.save();
    open(entry::kModeChange, id);
    EXPECT_EQ(follower().notice(), QString());

    ASSERT_EQ(clerk.run(u"change %1 7"_qs.arg(id)), u"changed %1"_qs.arg(id));
    QTRY_COMPARE_WITH_TIMEOUT(follower().notice(), noticeOf(id, u"修改"_qs), 10000);
    EXPECT_TRUE(follower().canReopen());
    ASSERT_TRUE(session->reopen());
    EXPECT_EQ(follower().notice(), QString());
    EXPECT_EQ(grid().text(5, 1), u"7.00"_qs);

    ASSERT_EQ(clerk.run(u"audit %1"_qs.arg(id)), u"audited %1"_qs.arg(id));
    QTRY_COMPARE_WITH_TIMEOUT(follower().notice(), noticeOf(id, u"审核"_qs), 10000);
    ASSERT_TRUE(session->reopen());
    EXPECT_TRUE(session->auditedMarkVisible());

    const qint32 other = clerk.save();
    open(entry::kModeChange, other);
    ASSERT_EQ(clerk.run(u"delete %1"_qs.arg(other)), u"deleted %1"_qs.arg(other));
    QTRY_COMPARE_WITH_TIMEOUT(follower().notice(), noticeOf(other, u"删除"_qs), 10000);
    EXPECT_FALSE(follower().canReopen());
    // Its own save is not someone else's change.
    EXPECT_TRUE(prompter.transcript().isEmpty()) << prompter.transcript().toStdString();
}

// An editor that stays on the bill it has just saved holds it from the save's
// own commit: another clerk opening it is told who is changing it. The hold
// goes when the editor goes on to a new bill, and a refused save holds nothing.
TEST_F(EditorFollowTest, ABillJustSavedIsHeldByItsEditorUntilItMovesOn) {
    const bill::OpenBills someoneElse(u"another-editor"_qs);
    const auto holders = [&](qint32 id) {
        QStringList names;
        for (const auto& h : someoneElse.others(db.connection(), id)) names << h.userName;
        return names;
    };
    const qint32 id = saveNewBill({u"5"_qs});
    ASSERT_GT(id, 0);
    EXPECT_EQ(ctx.gEditMode, entry::kModeChange);
    EXPECT_EQ(holders(id), QStringList{u"系统管理员"_qs});

    session->newBill();
    EXPECT_EQ(holders(id), QStringList());
    EXPECT_EQ(db.scalar(u"select count(*) from tblBillOpen"_qs).toInt(), 0);

    // A save refused at its last write (the number another bill took) leaves
    // no row behind.
    newBill({u"3"_qs});
    db.exec(u"update icstockbill set fbillno=? where finterid=?"_qs, {session->billNumber(), id});
    ctx.gIsUpdateBillNo = 2;
    EXPECT_FALSE(session->save());
    EXPECT_EQ(db.scalar(u"select count(*) from tblBillOpen"_qs).toInt(), 0);
}

// A bill another live editor has open to change is named before the clerk
// starts; read-only offers no save. Once that program is gone, nobody is named.
TEST_F(EditorFollowTest, AnotherEditorHoldingTheBillIsNamedUntilItsProgramDies) {
    ClerkProcess clerk(db.connectionString());
    const qint32 id = clerk.save();
    ASSERT_EQ(clerk.run(u"open %1"_qs.arg(id)), u"opened %1"_qs.arg(id));
    prompter.expectChoice(QString::fromUtf8(editor::BillFollower::kReadOnly));
    open(entry::kModeChange, id);
    const QString told = prompter.transcript();
    EXPECT_TRUE(told.startsWith(u"? 系统管理员 正在修改此单据（自 "_qs) &&
                told.endsWith(u"） [继续修改/只读打开]"_qs))
        << told.toStdString();
    EXPECT_TRUE(follower().isReadOnly());
    EXPECT_FALSE(saveEnabled());
    EXPECT_FALSE(grid().flags(grid().index(0, 4)) & Qt::ItemIsEditable);

    const qint32 backend =
        db.scalar(u"select fconnection from tblBillOpen where finterid=?"_qs, {id}).toInt();
    clerk.kill();
    if (otherin::testing::TestDatabase::onServer()) {
        QTRY_COMPARE_WITH_TIMEOUT(
            db.scalar(u"select count(*) from pg_stat_activity where pid=?"_qs, {backend}).toInt(),
            0, 10000);
    } else {
        // The killed program's sign of life grows old: a live one renews it.
        db.exec(
            u"update tblBillOpen set fseen=strftime('%Y-%m-%dT%H:%M:%SZ','now','-61 seconds')"_qs);
    }
    prompter.clear();
    open(entry::kModeChange, id);
    EXPECT_EQ(prompter.transcript(), QString());
    EXPECT_TRUE(saveEnabled());
    // This editor's row is written; the dead program's is left to itself.
    EXPECT_EQ(db.scalar(u"select count(*) from tblBillOpen where finterid=?"_qs, {id}).toInt(), 2);
}

// The window shows the notice in a bar above the grid; 重新打开 shows the
// bill as stored and the bar goes. With OTHERIN_SCREENSHOTS set, the window
// is saved there as a picture.
TEST_F(EditorFollowTest, TheEditorWindowShowsTheBarAboveTheGrid) {
    ClerkProcess clerk(db.connectionString());
    const qint32 id = clerk.save();
    ctx.gEditMode = entry::kModeChange;
    ctx.gCurrentInterId = id;
    editor::frmMainBill window(ctx, prompter);
    window.setSettingsStore(settings.get());
    window.prepare();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_FALSE(window.noticeBar()->isVisible());
    ASSERT_EQ(clerk.run(u"change %1 9"_qs.arg(id)), u"changed %1"_qs.arg(id));
    QTRY_VERIFY_WITH_TIMEOUT(window.noticeBar()->isVisible(), 10000);
    EXPECT_EQ(window.noticeText()->text(), noticeOf(id, u"修改"_qs));
    auto* reopen = window.noticeBar()->findChild<QPushButton*>(u"reopen"_qs);
    ASSERT_TRUE(reopen && reopen->isVisible());
    if (const QString folder = qEnvironmentVariable("OTHERIN_SCREENSHOTS"); !folder.isEmpty())
        window.grab().save(QDir(folder).filePath(u"editor-bar.png"_qs));
    QTest::mouseClick(reopen, Qt::LeftButton);
    EXPECT_FALSE(window.noticeBar()->isVisible());
    EXPECT_EQ(window.session()->form().grid.text(5, 1), u"9.00"_qs);
}

// The window asks in a box of its own: 继续修改, 只读打开 or 取消 (which, like
// 只读打开, changes nothing).
TEST_F(EditorFollowTest, TheNoticeBoxOffersToGoOnOrToOpenReadOnly) {
    ClerkProcess clerk(db.connectionString());
    const qint32 id = clerk.save();
    ASSERT_EQ(clerk.run(u"open %1"_qs.arg(id)), u"opened %1"_qs.arg(id));
    entry::QtPrompter boxes;
    ctx.gEditMode = entry::kModeChange;
    ctx.gCurrentInterId = id;
    editor::frmMainBill window(ctx, boxes);
    window.setSettingsStore(settings.get());
    QString asked;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        answer.stop();
        asked = box->text();
        EXPECT_EQ(box->buttons().size(), 3);
        if (const QString folder = qEnvironmentVariable("OTHERIN_SCREENSHOTS"); !folder.isEmpty())
            box->grab().save(QDir(folder).filePath(u"being-changed.png"_qs));
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QString::fromUtf8(editor::BillFollower::kReadOnly)) return b->click();
        box->reject();
    });
    answer.start();
    window.prepare();
    EXPECT_TRUE(asked.startsWith(u"系统管理员 正在修改此单据（自 "_qs)) << asked.toStdString();
    EXPECT_TRUE(window.session()->follower()->isReadOnly());
    EXPECT_FALSE(window.session()->commandState(QString::fromLatin1(editor::keys::Save)).enabled);
}

}  // namespace
