#include <QSignalSpy>

#include "editor_fixture.h"
#include "entry/edit_mode.h"

using namespace otherin;
using namespace otherin::editor;
using otherin::testing::EditorTest;

namespace {

using LookupTest = EditorTest;

TEST_F(LookupTest, HeaderCodeIsCheckedThenShownByName) {
    open();
    editor->headerFocus(3);
    EXPECT_TRUE(editor->state().lookupButtonEnabled);
    EXPECT_FALSE(editor->state().lineCommandsEnabled);
    EXPECT_TRUE(form->lookupImage.visible);
    EXPECT_EQ(form->lookupImage.left, 3600.0);
    EXPECT_EQ(form->lookupImage.top, 700.0);

    editor->setHeaderText(3, QStringLiteral("99"));
    EXPECT_FALSE(editor->headerValidate(3));
    EXPECT_TRUE(
        prompter.onlyMessage(QStringLiteral("收料仓库输入不正确"), entry::Icon::Exclamation));
    HeaderField& stock = *form->headerField(3);
    EXPECT_TRUE(stock.code.isEmpty());
    EXPECT_TRUE(stock.keyValue.isEmpty());

    editor->setHeaderText(3, QStringLiteral(" 02 "));
    EXPECT_TRUE(editor->headerValidate(3));
    EXPECT_EQ(stock.text, QStringLiteral("02"));
    EXPECT_EQ(stock.code, QStringLiteral("02"));
    EXPECT_EQ(stock.keyValue, QStringLiteral("502"));
    editor->headerLeave(3);
    EXPECT_EQ(stock.text, QStringLiteral("五金仓"));
    EXPECT_FALSE(form->lookupImage.visible);
    EXPECT_FALSE(editor->state().lookupButtonEnabled);
    editor->headerFocus(3);
    EXPECT_EQ(stock.text, QStringLiteral("02"));

    // Only a closing colon is left out of the message.
    stock.caption = QStringLiteral("仓库");
    editor->setHeaderText(3, QStringLiteral("98"));
    EXPECT_FALSE(editor->headerValidate(3));
    EXPECT_EQ(prompter.lastText(), QStringLiteral("仓库输入不正确"));

    editor->setHeaderText(3, QString());
    EXPECT_TRUE(editor->headerValidate(3));
    EXPECT_TRUE(stock.keyValue.isEmpty());
    editor->setHeaderText(4, QStringLiteral("任意摘要"));
    EXPECT_TRUE(editor->headerValidate(4));
    EXPECT_EQ(prompter.messages().size(), 2u);
}

TEST_F(LookupTest, HeaderSelectorAndEnter) {
    open();
    editor->headerFocus(3);
    records.answers.push_back({"503", "03", "包装材料仓"});
    editor->lookupCommand();
    const HeaderField& stock = *form->headerField(3);
    EXPECT_EQ(stock.keyValue, QStringLiteral("503"));
    EXPECT_EQ(stock.text, QStringLiteral("03"));
    EXPECT_EQ(stock.code, QStringLiteral("03"));
    ASSERT_EQ(records.inputs.size(), 1u);
    EXPECT_EQ(records.inputs[0].accessCode, QStringLiteral("Z47QRT!&%MN"));
    EXPECT_EQ(records.inputs[0].itemClass, QStringLiteral("5"));
    EXPECT_EQ(records.inputs[0].itemClassList, QStringLiteral(",G01,G02,G03,"));
    EXPECT_EQ(records.inputs[0].connectionString, db.connectionString());

    ASSERT_TRUE(editor->headerValidate(3));
    editor->headerLeave(3);
    EXPECT_EQ(stock.text, QStringLiteral("包装材料仓"));

    QSignalSpy next(editor.get(), &EditorController::headerFocusRequested);
    editor->headerKey(3, EditorKey::Enter);  // tab order 0 -> 1
    ASSERT_EQ(next.count(), 1);
    EXPECT_EQ(next[0][0].toInt(), 1);
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(LookupTest, GridSelectorsConfirmWhatTheyChoose) {
    open();
    records.answers.push_back({"1121", "02.001", "六角螺栓"});
    editor->gridKey(EditorKey::F7);
    EXPECT_EQ(grid().text(1, 1), QStringLiteral("02.001"));
    EXPECT_EQ(grid().key(1, 1), QStringLiteral("1121"));
    EXPECT_EQ(grid().text(2, 1), QStringLiteral("六角螺栓"));
    EXPECT_EQ(grid().text(4, 1), QStringLiteral("个"));
    EXPECT_TRUE(editor->isChanged());

    // Several items answered, but none staged for this user: the cell stays.
    records.answers.push_back({"-1", "", ""});
    editor->gridKey(EditorKey::F7);
    EXPECT_EQ(records.inputs.back().typed, QStringLiteral("02.001"));
    EXPECT_EQ(grid().text(1, 1), QStringLiteral("02.001"));
    EXPECT_EQ(grid().key(1, 1), QStringLiteral("1121"));

    ASSERT_TRUE(move(1, 1, 4, 1));
    units.answer = {"702", "BOX", "盒"};
    editor->lookupCommand();
    ASSERT_EQ(units.inputs.size(), 1u);
    EXPECT_EQ(units.inputs[0].unitGroup, 601);
    EXPECT_EQ(units.inputs[0].accessCode, QStringLiteral("MN[]#QRST"));
    EXPECT_EQ(grid().text(4, 1), QStringLiteral("BOX"));  // the cursor is still there
    EXPECT_EQ(grid().key(4, 1), QStringLiteral("702"));
    EXPECT_EQ(grid().text(15, 1), QStringLiteral("10"));
    ASSERT_TRUE(move(4, 1, 5, 1));
    EXPECT_EQ(grid().text(4, 1), QStringLiteral("盒"));
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(LookupTest, SeveralChosenItemsAreImportedFromTheActiveRow) {
    open();
    // what the record selector stages before it answers "-1"
    db.exec(
        QStringLiteral("insert into tblItemInput(fuserid,fitemid,fstockid,funitid,fqty) "
                       "select 1,fitemid,fstockid,fUnitid,0 from icitem where fNumber in "
                       "('02.001','01.001')"));
    records.answers.push_back({"-1", "", ""});
    editor->gridKey(EditorKey::F7);
    QStringList codes{grid().text(1, 1), grid().text(1, 2)};
    codes.sort();
    EXPECT_EQ(codes, (QStringList{QStringLiteral("01.001"), QStringLiteral("02.001")}));
    EXPECT_FALSE(grid().key(1, 2).isEmpty());
    EXPECT_TRUE(editor->isChanged());
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tblItemInput")).toInt(), 0);
}

TEST_F(LookupTest, BatchPickerFillsBatchAndPrice) {
    open();
    enterItem(1, QStringLiteral("02.001"));
    ASSERT_TRUE(move(2, 1, 5, 1));
    ASSERT_TRUE(type(5, 1, QStringLiteral("4")));
    ASSERT_TRUE(move(5, 1, 8, 1));
    EXPECT_TRUE(editor->state().lookupButtonEnabled);

    batches.batch = QStringLiteral("B001");
    batches.unitCost = QStringLiteral("2.5");
    editor->lookupCommand();
    ASSERT_EQ(batches.itemIds.size(), 1u);
    EXPECT_EQ(batches.itemIds[0], QStringLiteral("1121"));
    EXPECT_EQ(grid().text(8, 1), QStringLiteral("B001"));
    EXPECT_EQ(grid().text(6, 1), QStringLiteral("2.50"));
    EXPECT_EQ(grid().text(7, 1), QStringLiteral("10.00"));
    EXPECT_EQ(form->strip.text(7), QStringLiteral("10.00"));
    EXPECT_TRUE(ctx.pickedBatch.isEmpty());

    batches.batch.clear();
    batches.unitCost.clear();
    editor->lookupCommand();
    EXPECT_EQ(grid().text(6, 1), QStringLiteral("2.50"));
    EXPECT_EQ(grid().text(8, 1), QStringLiteral("B001"));
}

TEST_F(LookupTest, SplitQuantityMayNotExceedTheLinesQuantity) {
    ctx.gEditMode = entry::kModeSplit;
    open();
    for (int r = 1; r <= 2; ++r) {
        grid().setLineKey(r, QString::number(r));
        grid().setCell(1, r, QStringLiteral("01.009"), QStringLiteral("1109"),
                       QStringLiteral("01.009"));
        grid().setText(5, r, QStringLiteral("5"));
    }
    ASSERT_TRUE(move(1, 1, 6, 1));
    ASSERT_TRUE(type(6, 1, QStringLiteral("7")));
    EXPECT_FALSE(move(6, 1, 6, 2));
    EXPECT_TRUE(
        prompter.onlyMessage(QStringLiteral("拆分数量不能大于原有数量！"), entry::Icon::Critical));
    EXPECT_EQ(grid().text(6, 1), QStringLiteral("5.00"));

    ASSERT_TRUE(type(6, 1, QStringLiteral("3")));
    EXPECT_TRUE(move(6, 1, 6, 2));
    EXPECT_EQ(form->strip.text(6), QStringLiteral("3.00"));
    EXPECT_EQ(form->strip.text(5), QStringLiteral("10.00"));
    EXPECT_FALSE(move(6, 2, 6, 3));  // row 3 is not a line of the bill
    EXPECT_EQ(prompter.messages().size(), 1u);
}

}  // namespace
