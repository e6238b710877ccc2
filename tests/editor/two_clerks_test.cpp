// Two clerks, each an editor on its own connection: a write on what the other has since
// changed is refused naming who and when, stores nothing, and the clerk chooses what follows.
#include "bill/bill_operations.h"
#include "bill/bill_versions.h"
#include "bill/relation_operations.h"
#include "editor/bill_follow.h"
#include "query/journal_model.h"
#include "query/result_loader.h"
#include "session_fixture.h"
#include "stock/ledger_check.h"

using namespace otherin;
using otherin::testing::Clerk;
using otherin::testing::SessionTest;

using namespace Qt::StringLiterals;

namespace {

using Edit = std::function<void(Clerk&)>;

class TwoClerksTest : public SessionTest {
  protected:
    // Everything the clerks could have written: bills, lines and the ledger.
    QString stored() {
        return QStringList{rows(u"select finterid,fbillno,fstatus,fexplanation,fversion,"
                                "fmodifierid from icstockbill order by finterid"_s),
                           rows(u"select finterid,fentryid,fqty,fPrice,famount from "
                                "icstockbillentry order by finterid,fentryid"_s),
                           ledger()}
            .join(u" / "_s);
    }
    // The time a refusal names is the database's own, as stored.
    QString storedTime(qint32 id) {
        const auto write = bill::lastWrite(db.connection(), id);
        return write ? write->at.toString(u"yyyy-MM-dd HH:mm"_s) : u"(none)"_s;
    }
    void expectLedgerAsBills() {
        EXPECT_TRUE(stock::checkLedger(db.connection(), ctx.gIsCheckUpdate).empty());
    }
    // A fresh bill of one line, 02.001 × 5 at 10, saved by the fixture's session.
    qint32 freshBill(bool audited) {
        db.execAll({u"delete from icstockbillentry"_s, u"delete from icstockbill"_s,
                    u"delete from tblTimeStock"_s, u"delete from tblBillDeleted"_s});
        const qint32 id = saveNewBill({u"5"_s});
        // The fixture's own editor leaves the bill it saved: only A and B have it open.
        session->follower()->leave();
        if (audited)
            db.exec(u"update icstockbill set fstatus=1,fchecker=1 where finterid=?"_s, {id});
        return id;
    }

    Clerk a{db, settings.get(), u"2"_s, u"张三"_s};
    Clerk b{db, settings.get()};
};

const Edit changeQty = [](Clerk& c) { c.changeCell(5, 1, u"7"_s); };
const Edit changePrice = [](Clerk& c) { c.changeCell(6, 1, u"12"_s); };
const Edit changeRemark = [](Clerk& c) { c.setHeader(4, u"张三的摘要"_s); };
const Edit cutTwo = [](Clerk& c) { c.changeCell(c.session->form().splitColumn, 1, u"2"_s); };

// B opened the bill before A (张三) wrote it: B's save is refused naming 张三 and the time, A's
// bill stays; B reloads and then saves. Modes: 1 change, 2 split, 4 price edit.
TEST_F(TwoClerksTest, AStaleSaveIsRefusedNamingWhoChangedTheBillAndStoresNothing) {
    const struct {
        const char* name;
        int modeA;
        Edit editA;
        int modeB;
        Edit editB;
        bool audited;
        const char* choices;  // offered to B
    } pairs[] = {
        {"change, change", 1, changeQty, 1, changePrice, false, "重新打开/另存为新单"},
        {"header only, line only", 1, changeRemark, 1, changeQty, false, "重新打开/另存为新单"},
        {"change, price save", 1, changeQty, 4, changePrice, false, "重新打开"},
        {"price save, change", 4, changePrice, 1, changeQty, false, "重新打开/另存为新单"},
        {"price save, split", 4, changePrice, 2, cutTwo, true, "重新打开"},
        {"split, price save", 2, cutTwo, 4, changePrice, true, "重新打开"},
    };
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.name);
        a.session.reset();
        const qint32 id = freshBill(p.audited);
        b.open(p.modeB, id);
        // A is told B has the bill open and goes on.
        a.prompter.clear();
        a.prompter.expectChoice(u"继续修改"_s);
        a.open(p.modeA, id);
        EXPECT_TRUE(a.prompter.transcript().startsWith(u"? 系统管理员 正在修改此单据（自 "_s) &&
                    a.prompter.transcript().endsWith(u"） [继续修改/只读打开]"_s))
            << a.prompter.transcript().toStdString();
        p.editA(a);
        ASSERT_TRUE(a.session->save()) << a.prompter.transcript().toStdString();
        const QString afterA = stored();
        p.editB(b);
        b.prompter.clear();
        b.prompter.expectChoice(u"重新打开"_s);
        EXPECT_FALSE(b.session->save());
        EXPECT_EQ(b.prompter.transcript().section(u'。', 0, 0),
                  u"? 单据已被 张三 于 %1 修改，不能保存"_s.arg(storedTime(id)));
        EXPECT_TRUE(
            b.prompter.transcript().endsWith(u"["_s + QString::fromUtf8(p.choices) + u"]"_s))
            << b.prompter.transcript().toStdString();
        EXPECT_EQ(stored(), afterA);
        expectLedgerAsBills();
        // Reopened: B sees A's bill, and a save made on it goes through.
        b.prompter.clear();
        EXPECT_FALSE(b.editor().isChanged());
        p.editB(b);
        EXPECT_TRUE(b.session->save()) << b.prompter.transcript().toStdString();
        expectLedgerAsBills();
    }
}

// A bill deleted by A since B opened it: B hears who deleted it and when, not
// a read error, and may keep what B typed as a new bill, which then saves.
TEST_F(TwoClerksTest, ABillDeletedMeanwhileIsNamedAndTheTypedLinesCanBecomeANewBill) {
    const qint32 id = freshBill(false);
    b.open(1, id);
    changeQty(b);
    a.ctx.gIdList = QString::number(id);
    ASSERT_TRUE(bill::deleteBill(a.ctx, a.prompter));
    b.prompter.expectChoice(u"另存为新单"_s);
    EXPECT_FALSE(b.session->save());
    EXPECT_EQ(
        b.prompter.transcript(),
        u"? 单据已被 张三 于 %1 "
        u"删除，不能保存\n另存为新单：保留录入的内容，作为一张未保存的新单据。 [另存为新单]"_s.arg(
            storedTime(id)));
    EXPECT_EQ(stored(), u" /  / "_s);
    EXPECT_EQ(b.ctx.gEditMode, entry::kModeNew);
    EXPECT_TRUE(b.editor().isChanged());
    b.prompter.clear();
    ASSERT_TRUE(b.session->save()) << b.prompter.transcript().toStdString();
    EXPECT_EQ(rows(u"select fqty,fPrice from icstockbillentry"_s), u"7|10"_s);
    expectLedgerAsBills();
}

// The journal keeps the versions it listed: an audit of a bill changed since
// the journal loaded is refused as a whole, naming the bill that moved.
TEST_F(TwoClerksTest, AJournalCommandOnABillChangedSinceTheListWasReadIsRefused) {
    const qint32 first = freshBill(false);
    const qint32 second = saveNewBill({u"3"_s});
    session->follower()->leave();
    const QString ids = u"%1,%2"_s.arg(first).arg(second);
    query::JournalModel journal;
    // B lists the bills, then A changes the second one in `mode`.
    const auto refusedAfterAChanged = [&](int mode, const Edit& edit,
                                          const std::function<bool()>& command) {
        ASSERT_TRUE(query::find(b.ctx, b.prompter, journal, {}, {}, {}));
        a.open(mode, second);
        edit(a);
        ASSERT_TRUE(a.session->save());
        const QString afterA = stored();
        b.prompter.clear();
        EXPECT_FALSE(command());
        EXPECT_EQ(
            b.prompter.transcript(),
            u"! 编号为:QTRK000002的单据已被 张三 于 %1 修改，操作不成功"_s.arg(storedTime(second)));
        EXPECT_EQ(stored(), afterA);
    };
    refusedAfterAChanged(1, changeQty, [&] { return bill::checkBill(b.ctx, b.prompter, ids); });
    // Read again, the list is current and the command goes through.
    ASSERT_TRUE(query::find(b.ctx, b.prompter, journal, {}, {}, {}));
    EXPECT_TRUE(bill::checkBill(b.ctx, b.prompter, ids));
    // The procedures' commands compare the listed versions too.
    refusedAfterAChanged(4, changePrice, [&] {
        b.ctx.gIdList = ids;
        return bill::hxBill(b.ctx, b.prompter);
    });
}

}  // namespace
