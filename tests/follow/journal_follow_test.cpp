// An open journal follows what a clerk at another workstation does, on both
// databases: without a command, keeping the clerk's place, never while a
// dialog is open, at most once a second, and by a bar when it is long.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "db/bill_watch.h"
#include "follow/clerk_process.h"
#include "journal/journal_fixture.h"
#include "journal/ui/frm_main_bill_result.h"
#include "journal/ui/frozen_table_view.h"
#include "query/bill_find_controller.h"

using namespace otherin;
using journal::frmMainBillResult;
using otherin::testing::ClerkProcess;

namespace {

class JournalFollowTest : public ::testing::Test, protected otherin::testing::JournalFixture {
  protected:
    // The journal of the bills there are, shown as the query dialog shows it.
    // Bills written here took no ids from the counter: the clerk's start after them.
    void show() {
        db.execAll({u"delete from tblmaxNum where lower(ftablename)='icstockbill'"_qs,
                    u"insert into tblmaxNum(ftablename,fmaxnum) select 'ICStockBill',"
                    "coalesce(max(finterid),0) from icstockbill"_qs});
        query.open();
        window = std::make_unique<frmMainBillResult>(ctx, prompter, query,
                                                     journal::JournalWindowHooks{});
        ASSERT_TRUE(query.runQuery(window->model()));
        window->setWindowModality(Qt::ApplicationModal);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        resets = std::make_unique<QSignalSpy>(&window->model(), &QAbstractItemModel::modelReset);
    }
    // True when the journal reloaded by itself within ten seconds.
    bool reloaded() { return !resets->isEmpty() || resets->wait(10000); }
    QStringList ids() const { return window->model().idList().split(u','); }
    int rowOf(qint32 bill, int line = 0) const {
        for (int r = 0; r < window->model().lineCount(); ++r)
            if (window->model().interId(r) == bill) return r + line;
        return -1;
    }
    query::JournalModel& model() { return window->model(); }
    QTableView& grid() { return *window->grid(); }

    query::BillFindController query{ctx, prompter};
    std::unique_ptr<frmMainBillResult> window;
    std::unique_ptr<QSignalSpy> resets;
};

TEST_F(JournalFollowTest, AnotherClerksSavesAuditsAndDeletesShowWithoutACommand) {
    addJournalBills();
    show();
    ClerkProcess clerk(db.connectionString());
    const qint32 id = clerk.save();
    ASSERT_TRUE(reloaded());
    EXPECT_EQ(ids(), (QStringList{"1", "2", "3", QString::number(id)}));

    resets->clear();
    ASSERT_EQ(clerk.run(u"audit 2"_qs), u"audited 2"_qs);
    ASSERT_TRUE(reloaded());
    EXPECT_EQ(model().data(model().index(rowOf(2), 3), query::JournalModel::BackgroundRgbRole),
              query::JournalModel::kAuditedRgb);

    resets->clear();
    ASSERT_EQ(clerk.run(u"delete 1"_qs), u"deleted 1"_qs);
    ASSERT_TRUE(reloaded());
    EXPECT_EQ(ids(), (QStringList{"2", "3", QString::number(id)}));
    EXPECT_TRUE(prompter.transcript().isEmpty()) << prompter.transcript().toStdString();
}

// The current bill and line, the other selected lines and the top row are
// found again by bill when another clerk's delete moves them up the list; the
// focus stays where it was.
TEST_F(JournalFollowTest, TheCurrentBillTheSelectionAndTheTopRowAreKept) {
    for (int id = 1; id <= 40; ++id)
        addBill(id, u"QT%1"_qs.arg(id, 4, 10, QChar(u'0')), u"2026-12-04"_qs, 0, 1,
                {{1101, 1, 2}, {1102, 2, 2}});
    show();
    window->resize(900, 300);
    grid().setFocus();
    grid().selectionModel()->setCurrentIndex(
        model().index(rowOf(30, 1), 5),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    for (const int row : {rowOf(12), rowOf(20, 1)})
        grid().selectionModel()->select(model().index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    static_cast<journal::FrozenTableView&>(grid()).setTopRow(rowOf(10));
    QWidget* focus = QApplication::focusWidget();

    ClerkProcess clerk(db.connectionString());
    ASSERT_EQ(clerk.run(u"delete 2"_qs), u"deleted 2"_qs);
    ASSERT_TRUE(reloaded());
    ASSERT_EQ(model().billCount(), 39);
    EXPECT_EQ(grid().currentIndex().row(), rowOf(30, 1));
    QList<int> selected;
    for (const QModelIndex& i : grid().selectionModel()->selectedRows()) selected << i.row();
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ(selected, (QList<int>{rowOf(12), rowOf(20, 1), rowOf(30, 1)}));
    EXPECT_EQ(static_cast<journal::FrozenTableView&>(grid()).topRow(), rowOf(10));
    EXPECT_EQ(QApplication::focusWidget(), focus);
}

// A dialog above the journal holds the reload back until it closes.
TEST_F(JournalFollowTest, NoReloadWhileADialogIsOpenThenOneAfter) {
    addJournalBills();
    show();
    QMessageBox box(QMessageBox::Question, u"其它入库单"_qs, u"确定要删除所选定的单据吗?"_qs,
                    QMessageBox::Yes | QMessageBox::No, window.get());
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    ClerkProcess clerk(db.connectionString());
    clerk.save();
    // Long enough for a reload to have come twice over.
    EXPECT_FALSE(resets->wait(2500));
    EXPECT_TRUE(window->follower().isPending());
    box.close();
    ASSERT_TRUE(reloaded());
    EXPECT_EQ(model().billCount(), 4);
}

// 200 saves in a stream over some seconds: the journal follows during the
// stream, at most once a second, and its last reload holds them all.
TEST_F(JournalFollowTest, AStreamOfSavesReloadsAtMostOnceASecond) {
    show();
    ClerkProcess clerk(db.connectionString());
    QElapsedTimer timer;
    timer.start();
    int saved = 0;
    for (int burst = 0; burst < 10; ++burst) {
        saved += static_cast<int>(clerk.runMany(u"save"_qs, 20).filter(u"saved "_qs).size());
        QTest::qWait(300);
    }
    const qint64 ms = timer.elapsed();
    EXPECT_EQ(saved, 200);
    QTRY_COMPARE_WITH_TIMEOUT(model().billCount(), 200, 10000);
    const int reloads = window->follower().reloads();
    EXPECT_LE(reloads, ms / journal::JournalFollower::kLeastGapMs + 2) << ms << " ms";
    EXPECT_GE(reloads, 2) << "followed only at the end";
    std::printf("200 saves in %lld ms, %d reloads\n", static_cast<long long>(ms), reloads);
}

// Above 2,000 lines a change shows the bar; the journal reloads on 刷新.
TEST_F(JournalFollowTest, ALongJournalShowsABarAndReloadsOnTheClerksWord) {
    otherin::testing::addPostedBills(db.connection(), 1200);
    db.exec(u"update icstockbill set fyear=2026,fperiod=12"_qs);
    show();
    ASSERT_GT(model().lineCount(), journal::JournalFollower::kLineLimit);
    ClerkProcess clerk(db.connectionString());
    const qint32 id = clerk.save();
    QTRY_VERIFY_WITH_TIMEOUT(window->changeBar()->isVisible(), 10000);
    EXPECT_EQ(window->follower().barText(), u"有 1 张单据已被他人修改"_qs);
    EXPECT_TRUE(resets->isEmpty());
    QTest::mouseClick(window->changeBar()->findChild<QPushButton*>(u"changeBarRefresh"_qs),
                      Qt::LeftButton);
    EXPECT_EQ(resets->size(), 1);
    EXPECT_FALSE(window->changeBar()->isVisible());
    EXPECT_TRUE(ids().contains(QString::number(id)));
}

// The server ends the watch's connection (as a restart does): the journal
// still follows afterwards.
TEST_F(JournalFollowTest, AJournalCutOffFromTheServerFollowsAgain) {
    if (!otherin::testing::TestDatabase::onServer()) GTEST_SKIP() << "a server connection";
    addJournalBills();
    show();
    db::BillWatch& watch = entry::watchBills(ctx);
    ASSERT_TRUE(watch.isListening());
    QSignalSpy listening(&watch, &db::BillWatch::listeningChanged);
    db.exec(u"select pg_terminate_backend(?)"_qs, {watch.connection()->serverProcessId()});
    QTRY_COMPARE_WITH_TIMEOUT(listening.size(), 2, 20000);
    resets->clear();
    ClerkProcess clerk(db.connectionString());
    const qint32 id = clerk.save();
    QTRY_VERIFY_WITH_TIMEOUT(ids().contains(QString::number(id)), 10000);
}

}  // namespace
