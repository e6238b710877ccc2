// The editor's save of a new bill never stores a bill number twice in a bill
// type: when the database's unique index refuses the row the clerk hears of
// the number, not of the index, and nothing of the save remains. (Typed
// numbers and the counter are swept in the numbering tests.)

#include "editor/session_fixture.h"

using namespace otherin;
using otherin::testing::SessionTest;

namespace {

class DuplicateNumberTest : public SessionTest {
  protected:
    // A new bill of one 02.001 line, with `typed` in the number field when
    // numbers are typed.
    bool saveNew(const QString& typed = QString()) {
        open(0);
        fillHeader();
        if (!typed.isNull()) setHeader(session->billNumberField(), typed);
        enterLine(1, QStringLiteral("02.001"), QStringLiteral("5"), QStringLiteral("10"));
        return session->save();
    }
    QStringList numbers() {
        QStringList out;
        auto q = db.connection().prepare(
            QStringLiteral("select fbillno from icstockbill order by finterid"));
        q.exec();
        while (q.next()) out << q.value(0).toString();
        return out;
    }
};

// Another program writing the same database goes round our checks: a trigger
// plays it, storing a bill with the number being saved just before our row.
TEST_F(DuplicateNumberTest, UniqueIndexRefusalIsToldAsADuplicateNumberAndRolledBack) {
    db.runBeforeWrites(QStringLiteral("icstockbill"), QStringLiteral("insert"),
                       QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype) "
                                      "values(999,new.fbillno,new.ftrantype)"),
                       QStringLiteral("new.finterid<>999"));
    prompter.clear();
    EXPECT_FALSE(saveNew());
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("单据编号不能重复!"), entry::Icon::Critical,
                                     QStringLiteral("其它入库单")));
    EXPECT_FALSE(ctx.gConnection.isOpen());
    EXPECT_EQ(ctx.gEditMode, 0);  // the editor stays on the unsaved bill
    EXPECT_TRUE(numbers().isEmpty());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from icstockbillentry")).toInt(), 0);
    EXPECT_EQ(ledgerQty(1121), 0.0);
    EXPECT_EQ(scalar(QStringLiteral("select fbillno from tblMaxBillNo where ftypeid=7")).toInt(),
              0);

    // Any other refusal of the row is still shown as the database put it.
    db.allowWrites(QStringLiteral("icstockbill"));
    db.refuseWrites(QStringLiteral("icstockbill"), QStringLiteral("insert"),
                    QStringLiteral("磁盘已满"));
    prompter.clear();
    EXPECT_FALSE(saveNew());
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("磁盘已满"), entry::Icon::None));
}

}  // namespace
