// The editor's save of a new bill never stores a bill number twice in a bill
// type: when the database's unique index refuses the row the clerk hears of
// the number, not of the index, and nothing of the save remains.

#include "editor/session_fixture.h"

using namespace otherin;
using otherin::testing::SessionTest;

namespace {

class DuplicateNumberTest : public SessionTest {
  protected:
    // Saves a new bill of one 02.001 line; answers "saved" or the messages
    // shown.
    QString saveNew() {
        open(0);
        fillHeader();
        enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
        prompter.clear();
        const bool saved = session->save();
        EXPECT_FALSE(ctx.gConnection.isOpen());
        return saved ? QStringLiteral("saved") : prompter.messageTexts().join('/');
    }
    // Bills, lines, ledger rows and the number counter.
    QString stored() {
        return rows(
            QStringLiteral("select (select count(*) from icstockbill),(select count(*) "
                           "from icstockbillentry),(select count(*) from tblTimeStock "
                           "where fitemid=1121),(select fbillno from tblMaxBillNo where "
                           "ftypeid=7)"));
    }
};

// Another program writing the same database goes round our checks: a trigger
// plays it, storing a bill with the number being saved just before our row.
TEST_F(DuplicateNumberTest, UniqueIndexRefusalIsToldAsADuplicateNumberAndRolledBack) {
    const QString before = stored();
    db.runBeforeWrites(QStringLiteral("icstockbill"), QStringLiteral("insert"),
                       QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype) "
                                      "values(999,new.fbillno,new.ftrantype)"),
                       QStringLiteral("new.finterid<>999"));
    EXPECT_EQ(saveNew(), QStringLiteral("单据编号不能重复!"));
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("单据编号不能重复!"), entry::Icon::Critical,
                                     QStringLiteral("其它入库单")));
    EXPECT_EQ(ctx.gEditMode, 0);  // the editor stays on the unsaved bill
    EXPECT_EQ(stored(), before);

    // Any other refusal of the row is still shown as the database put it.
    db.allowWrites(QStringLiteral("icstockbill"));
    db.refuseWrites(QStringLiteral("icstockbill"), QStringLiteral("insert"),
                    QStringLiteral("磁盘已满"));
    EXPECT_EQ(saveNew(), QStringLiteral("磁盘已满"));
    EXPECT_EQ(prompter.messages().front().icon, entry::Icon::None);
    EXPECT_EQ(stored(), before);
}

}  // namespace
