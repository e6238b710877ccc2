// The change history of the bills: every operation leaves one row per bill it
// wrote, naming the operation and what changed, on both databases; on a
// server the owner's triggers write it while a clerk's own login works.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTableWidget>
#include <functional>

#include "bill/bill_history.h"
#include "bill/bill_operations.h"
#include "bill/bill_save.h"
#include "bill/relation_operations.h"
#include "bill/split_save.h"
#include "bill/ui/history_window.h"
#include "scenario.h"
#include "support/qstring_print.h"
#include "support/scripted_prompter.h"

using namespace otherin;
using namespace otherin::testing;
using namespace Qt::StringLiterals;

namespace {

class BillHistoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        seedBills(db_, QStringLiteral("1A 101*5 102*2@1; 2AR 102*-2@1 101*-5"));
        db_.markPostedBills(0);
        logIn(ctx_, db_, QStringLiteral("2"));
        ctx_.gIsCheckUpdate = 0;
        if (TestDatabase::onServer()) {
            ctx_.DBConnectionString = db_.linkClerkLogin(
                2, QStringLiteral("h%1_zhang").arg(QCoreApplication::applicationPid()),
                QStringLiteral("pw"));
        } else {
            db_.grantBillRights(2);
        }
        prompter_.expectQuestion(entry::Answer::Ok);
        // What the seeding left in a server's history is not the test's.
        seen_ = db_.scalar(QStringLiteral("select coalesce(max(fid),0) from otherin_history"))
                    .toLongLong();
        first_ = seen_;
    }

    // A bill of item 101 and 102 lines (quantity, price) as the editor hands
    // it over, for bill `id` at `version` (0 and 0 for a new one).
    bill::BillDraft draft(qint32 id, const QList<std::pair<double, double>>& lines) {
        bill::BillDraft d;
        d.interId = id;
        d.version = id ? db_.scalar(QStringLiteral("select fversion from icstockbill where "
                                                   "finterid=?"),
                                    {id})
                             .toInt()
                       : 0;
        if (id)
            d.billNo =
                db_.scalar(QStringLiteral("select fbillno from icstockbill where finterid=?"), {id})
                    .toString();
        d.date = QDate(2026, 12, 5);
        d.header = {{QStringLiteral("fstockid1"), 1}, {QStringLiteral("fexplanation"), u"来料"_s}};
        d.lineColumns = {QStringLiteral("fitemid"), QStringLiteral("funitid"),
                         QStringLiteral("fqty"), QStringLiteral("fPrice"),
                         QStringLiteral("famount")};
        const QStringList entries =
            id ? db_.column(QStringLiteral("select fentryid from icstockbillentry where "
                                           "finterid=%1 order by forderid")
                                .arg(id))
               : QStringList();
        int item = 101;
        for (const auto& [qty, price] : lines) {
            bill::DraftLine l;
            l.entryId = entries.value(item - 101).toInt();
            l.values = {item++, 1, qty, price, qty * price};
            l.price = price;
            l.amount = qty * price;
            d.lines.push_back(l);
        }
        return d;
    }

    // The rows written since the last look, oldest first: "bill operation:
    // change; change".
    QStringList newRows() {
        QStringList rows;
        db::Query q = db_.connection().prepare(
            QStringLiteral("select fid,finterid,fop,fbefore,fafter from otherin_history where "
                           "fkind='bill' and fid>? order by fid"));
        q.bind(seen_).exec();
        while (q.next()) {
            seen_ = q.value(0).toLongLong();
            const QStringList changes =
                bill::describeChange(q.value(3).toString(), q.value(4).toString());
            rows << q.value(1).toString() + u' ' + q.value(2).toString() +
                        (changes.isEmpty() ? QString() : u": "_s + changes.join(u"; "_s));
        }
        return rows;
    }

    bool op(const QString& ids, bool (*run)(entry::LoginContext&, entry::Prompter&)) {
        ctx_.gIdList = ids;
        return run(ctx_, prompter_);
    }

    TestDatabase db_;
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
    qint64 seen_ = 0;
    qint64 first_ = 0;  // the last row before the test
};

TEST_F(BillHistoryTest, EachOperationLeavesOneRowPerBillWithWhatChanged) {
    const struct {
        const char* name;
        std::function<bool()> run;
        QStringList rows;
    } steps[] = {
        {"new",
         [&] {
             return bill::saveNewBill(ctx_, prompter_, draft(0, {{3, 2}, {1, 4}})).saved();
         },
         {u"21 新增: 新建单据; 新增第1行 物料 101 单位 1 数量 3 单价 2 金额 6; 新增第2行 物料 "
          "102 单位 1 数量 1 单价 4 金额 4"_s}},
        {"change",
         [&] {
             return bill::writeChangedBill(ctx_, prompter_, draft(21, {{4, 2}, {1, 4}})).saved();
         },
         {u"21 修改: 第1行 数量 3 → 4; 第1行 金额 6 → 8"_s}},
        {"audit", [&] { return bill::checkBill(ctx_, prompter_, u"21"_s); }, {u"21 审核"_s}},
        {"price",
         [&] {
             return bill::savePrices(ctx_, prompter_, draft(21, {{4, 2.5}, {1, 4}})).saved();
         },
         {u"21 修改单价: 第1行 单价 2 → 2.5; 第1行 金额 8 → 10"_s}},
        {"split",
         [&] {
             ctx_.gCurrentInterId = 21;
             return bill::splitSave(ctx_, prompter_, {u"1"_s, u"0"_s}).saved();
         },
         {u"21 拆分: 第1行 数量 4 → 3; 第1行 金额 10 → 7.5"_s,
          u"22 拆分: 新建单据; 新增第1行 物料 101 单位 1 数量 1 单价 2.5 金额 2.5"_s}},
        {"restore",
         [&] { return bill::restoreBill(ctx_, prompter_, 22); },
         {u"21 还原: 第1行 数量 3 → 4; 第1行 金额 7.5 → 10"_s, u"22 还原: 删除单据"_s}},
        {"un-audit", [&] { return op(u"21"_s, &bill::unCheckBill); }, {u"21 反审核"_s}},
        {"void", [&] { return op(u"21"_s, &bill::cancelBill); }, {u"21 作废"_s}},
        {"un-void", [&] { return op(u"21"_s, &bill::unCancelBill); }, {u"21 反作废"_s}},
        {"delete", [&] { return op(u"21"_s, &bill::deleteBill); }, {u"21 删除: 删除单据"_s}},
        {"write-off", [&] { return op(u"1,2"_s, &bill::hxBill); }, {u"1 核销"_s, u"2 核销"_s}},
        {"undo write-off",
         [&] { return bill::unHxBill(ctx_, prompter_, 1); },
         {u"1 反核销"_s, u"2 反核销"_s}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        EXPECT_TRUE(step.run()) << (prompter_.messages().empty()
                                        ? std::string()
                                        : prompter_.messages().back().text.toStdString());
        EXPECT_EQ(newRows(), step.rows);
    }
    // Every row names the database's time and the one who wrote; on a
    // server the login too.
    EXPECT_EQ(db_.scalar(QStringLiteral("select count(*) from otherin_history where fkind='bill' "
                                        "and fid>%1 and (ftime is null or fuserid<>2)")
                             .arg(first_))
                  .toInt(),
              0);
    // The window lists the bill's rows newest first, with what changed, an
    // item known to the item master by its code (102 is not there).
    bill::HistoryWindow window(ctx_, prompter_);
    ASSERT_TRUE(window.load(21));
    QStringList listed;
    for (int row = 0; row < window.table().rowCount(); ++row)
        listed << window.table().item(row, 1)->text() + u' ' + window.table().item(row, 3)->text();
    EXPECT_EQ(listed,
              QStringList({u"删除 删除单据"_s, u"反作废 "_s, u"作废 "_s, u"反审核 "_s,
                           u"还原 第1行 数量 3 → 4\n第1行 金额 7.5 → 10"_s,
                           u"拆分 第1行 数量 4 → 3\n第1行 金额 10 → 7.5"_s,
                           u"修改单价 第1行 单价 2 → 2.5\n第1行 金额 8 → 10"_s, u"审核 "_s,
                           u"修改 第1行 数量 3 → 4\n第1行 金额 6 → 8"_s,
                           u"新增 新建单据\n新增第1行 物料 01.001 单位 1 数量 3 单价 2 金额 "
                           u"6\n新增第2行 物料 102 单位 1 数量 1 单价 4 金额 4"_s}));
    if (TestDatabase::onServer()) {
        EXPECT_EQ(db_.column(QStringLiteral("select distinct frole from otherin_history where "
                                            "fkind='bill' and fid>%1")
                                 .arg(first_)),
                  QStringList{QStringLiteral("h%1_zhang").arg(QCoreApplication::applicationPid())});
    }
}

// A long bill saved line by line leaves one row, which holds every line.
TEST_F(BillHistoryTest, AThousandLineSaveLeavesOneRow) {
    bill::BillDraft d = draft(0, {});
    for (int n = 0; n < 1000; ++n) {
        bill::DraftLine l;
        l.values = {101, 1, 1, 2, 2};
        d.lines.push_back(l);
    }
    ASSERT_TRUE(bill::saveNewBill(ctx_, prompter_, d).saved());
    EXPECT_EQ(newRows().size(), 1);
    const QString after = db_.scalar(QStringLiteral("select fafter from otherin_history where "
                                                    "fkind='bill' and finterid=21"))
                              .toString();
    EXPECT_EQ(after.count(u'\n'), 1000);
}

}  // namespace
