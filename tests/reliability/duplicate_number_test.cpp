// The editor's save of a new bill never stores a bill number twice in a bill
// type: when the database's unique index refuses the row the clerk hears of
// the number, not of the index, and nothing of the save remains.

#include "editor/session_fixture.h"

using namespace otherin;
using otherin::testing::SessionTest;

namespace {

using DuplicateNumberTest = SessionTest;

// Another program writing the same database goes round our checks: a trigger
// plays it, storing a bill with the number being saved just before our row.
// (Other refusals are no clash: see the numbering tests.)
TEST_F(DuplicateNumberTest, UniqueIndexRefusalIsToldAsADuplicateNumberAndRolledBack) {
    // Bills, lines, ledger rows and the number counter.
    const QString stored = QStringLiteral(
        "select (select count(*) from icstockbill),(select count(*) from icstockbillentry),"
        "(select count(*) from tblTimeStock where fitemid=1121),(select fbillno from "
        "tblMaxBillNo where ftypeid=7)");
    const QString before = rows(stored);
    db.runBeforeWrites(QStringLiteral("icstockbill"), QStringLiteral("insert"),
                       QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype) "
                                      "values(999,new.fbillno,new.ftrantype)"),
                       QStringLiteral("new.finterid<>999"));
    open(0);
    fillHeader();
    enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
    prompter.clear();
    EXPECT_FALSE(session->save());
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("单据编号不能重复!"), entry::Icon::Critical,
                                     QStringLiteral("其它入库单")));
    EXPECT_FALSE(ctx.gConnection.isOpen());
    EXPECT_EQ(ctx.gEditMode, 0);  // the editor stays on the unsaved bill
    EXPECT_EQ(rows(stored), before);
}

}  // namespace
