#include <gtest/gtest.h>

#include "support/qstring_print.h"

#include "editor/bill_form.h"
#include "editor/layout_builder.h"
#include "entry/edit_mode.h"
#include "entry/login_context.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using namespace otherin::editor;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

class LayoutTest : public ::testing::Test {
  protected:
    explicit LayoutTest(TestDatabase::Seed seed = TestDatabase::Seed::Demo) : db_(seed) {
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.msgTitle = QStringLiteral("标题");
        ctx_.gBillTypeId = 7;
        ctx_.gLoginUserId = QStringLiteral("2");
        ctx_.IsAdmin = 1;
    }

    std::unique_ptr<BillForm> build() {
        auto form = std::make_unique<BillForm>();
        buildLayout(ctx_, prompter_, *form);
        return form;
    }

    TestDatabase db_;
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
};

class OwnLayoutTest : public LayoutTest {
  protected:
    OwnLayoutTest() : LayoutTest(TestDatabase::Seed::Empty) {}

    void addColumn(int col, const char* field, const QVariant& role, int type = 3,
                   const char* formula = "") {
        db_.exec(QStringLiteral("insert into tblBillInfoEntry(ftypeid,fcol,fcaption,FFieldName,"
                                "fType,fNumberDec,FFormula,fsystemTypeid) values(7,?,?,?,?,2,?,?)"),
                 {col, QString::fromLatin1(field).toUpper(), QString::fromLatin1(field), type,
                  QString::fromLatin1(formula), role});
    }
};

TEST_F(LayoutTest, DemoLayoutGivesColumnsRolesFlagsAndHeader) {
    const auto form = build();
    EXPECT_TRUE(prompter_.messages().empty());
    EXPECT_FALSE(ctx_.gConnection.isOpen());

    ColumnMap expected;
    expected.itemCode = 1;
    expected.itemName = 2;
    expected.itemModel = 3;
    expected.unit = 4;
    expected.quantity = 5;
    expected.price = 6;
    expected.amount = 7;
    expected.batch = 8;
    EXPECT_EQ(form->columns, expected);
    EXPECT_EQ(form->strip.columns(), 15);
    EXPECT_EQ(form->sumColumnList, QStringLiteral(",5,7,"));
    EXPECT_EQ(form->grid.rows(), 30);
    EXPECT_EQ(form->grid.rowHeight(), 300.0);

    const LineGrid& g = form->grid;
    EXPECT_EQ(g.text(1, 0), QStringLiteral("物料代码"));
    EXPECT_EQ(g.code(4, 0), QStringLiteral("funitid"));  // header code: field name
    EXPECT_EQ(g.key(4, 0), QStringLiteral("1"));         // header key: field type
    EXPECT_EQ(g.column(4).lookupKind, QStringLiteral("7"));
    EXPECT_FALSE(g.column(8).hasLookup());  // fcolid '0'
    EXPECT_TRUE(g.column(2).locked);
    EXPECT_EQ(g.column(5).format.kind, CellKind::Number);
    EXPECT_EQ(g.column(5).format.decimals, 2);
    EXPECT_EQ(g.column(7).format.kind, CellKind::Currency);
    EXPECT_EQ(g.column(7).format.max, 9999999999.0);
    EXPECT_EQ(g.column(1).format.kind, CellKind::Text);
    EXPECT_EQ(form->strip.code(5, 0), QStringLiteral("1"));  // red flag
    EXPECT_EQ(form->strip.key(1, 0), QStringLiteral("0"));   // may not be empty
    EXPECT_EQ(form->strip.code(1, 1), QStringLiteral("1"));  // stored
    EXPECT_EQ(form->strip.code(2, 1), QString());            // display only
    ASSERT_TRUE(g.column(7).formula);
    EXPECT_EQ(g.column(7).formula->text(), QStringLiteral("E#*F#"));

    ASSERT_EQ(form->header.size(), 4u);
    const HeaderField* stock = form->headerField(3);
    ASSERT_NE(stock, nullptr);
    EXPECT_TRUE(stock->visible);
    EXPECT_EQ(stock->caption, QStringLiteral("收料仓库："));
    EXPECT_EQ(stock->left, 1300.0);
    EXPECT_EQ(stock->top, 600.0);
    EXPECT_EQ(stock->width, 2300.0);
    EXPECT_EQ(stock->tabOrder, 0);
    EXPECT_EQ(stock->fieldName, QStringLiteral("fstockid1"));
    EXPECT_EQ(stock->itemClass, QStringLiteral("5"));
    EXPECT_EQ(stock->fieldType, QStringLiteral("1"));
    EXPECT_FALSE(stock->canBeEmpty);
    EXPECT_TRUE(form->headerField(1)->canBeEmpty);
    EXPECT_TRUE(stock->carriesLookupImage);
    EXPECT_FALSE(form->headerField(1)->carriesLookupImage);
    // The look-up image sits beside the tab-index-0 field, 100 twips lower.
    EXPECT_EQ(form->lookupImage.left, 1300.0 + 2300.0);
    EXPECT_EQ(form->lookupImage.top, 700.0);
}

TEST_F(LayoutTest, ColumnsHiddenByTheUserAreHiddenInBothGridsUnlessAdministrator) {
    db_.execAll({
        QStringLiteral("insert into tblEntryVisible(ftypeid,fbilltypeid,fuserid,fFieldName) values"
                       "(7,1,2,'fbatchno'),(7,1,2,'fnote'),(7,2,2,'fqty'),(7,1,3,'fPrice')"),
    });
    ctx_.IsAdmin = 0;
    auto form = build();
    EXPECT_EQ(form->hiddenFieldList, QStringLiteral(",fbatchno,fnote,"));
    for (int c : {8, 10}) {
        EXPECT_TRUE(form->grid.isColumnHidden(c)) << c;
        EXPECT_TRUE(form->strip.isColumnHidden(c)) << c;
    }
    for (int c : {5, 6, 9}) EXPECT_FALSE(form->grid.isColumnHidden(c)) << c;

    ctx_.IsAdmin = 1;
    form = build();
    EXPECT_TRUE(form->hiddenFieldList.isEmpty());
    for (int c = 1; c <= 10; ++c) EXPECT_FALSE(form->grid.isColumnHidden(c)) << c;
}

TEST_F(LayoutTest, SplitModeAddsTheSplitColumnAfterTheQuantity) {
    ctx_.gEditMode = entry::kModeSplit;
    const auto form = build();
    const LineGrid& g = form->grid;
    EXPECT_EQ(form->sumColumnList, QStringLiteral(",5,6,"));
    EXPECT_EQ(form->splitColumn, 6);
    EXPECT_EQ(g.text(6, 0), QStringLiteral("拆分数量"));
    EXPECT_EQ(g.column(6).format.kind, CellKind::Number);
    EXPECT_EQ(g.column(6).format.decimals, 2);
    EXPECT_EQ(form->strip.columns(), 16);
    // Every role still names its own data after the insertion.
    EXPECT_EQ(form->columns.quantity, 5);
    EXPECT_EQ(g.code(form->columns.price, 0), QStringLiteral("fPrice"));
    EXPECT_EQ(g.code(form->columns.amount, 0), QStringLiteral("famount"));
    EXPECT_EQ(g.code(form->columns.batch, 0), QStringLiteral("fbatchno"));
    EXPECT_EQ(form->columnCount, 16);
    for (int c = 12; c <= 16; ++c) EXPECT_TRUE(g.isColumnHidden(c)) << c;
    EXPECT_FALSE(g.isColumnHidden(11));
    ASSERT_TRUE(g.column(form->columns.amount).formula);
    EXPECT_EQ(g.column(form->columns.amount).formula->text(), QStringLiteral("E#*G#"));
}

TEST_F(LayoutTest, DatabaseErrorIsShownPlainAndKeepsWhatWasBuilt) {
    db_.exec(QStringLiteral("drop table tblBillInfoEntry"));
    BillForm form;
    EXPECT_FALSE(buildLayout(ctx_, prompter_, form));
    ASSERT_EQ(prompter_.messages().size(), 1u);
    EXPECT_EQ(prompter_.messages()[0].icon, entry::Icon::None);
    EXPECT_EQ(prompter_.messages()[0].title, QStringLiteral("标题"));
    EXPECT_TRUE(prompter_.messages()[0].text.contains(QStringLiteral("tblBillInfoEntry"),
                                                      Qt::CaseInsensitive));
    EXPECT_EQ(form.header.size(), 4u);
    EXPECT_EQ(form.grid.rows(), 30);
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

TEST_F(OwnLayoutTest, RolesRowCountsJoinedColumnsAndFormulas) {
    db_.execAll({
        QStringLiteral("insert into tblSystemInfo(fTypeid,fvalue) values(68,'abc'),(69,'250')"),
    });
    addColumn(1, "fa", QStringLiteral("13"));
    addColumn(2, "fb", QStringLiteral("16"));
    addColumn(3, "fc", QStringLiteral("x"));
    addColumn(4, "fqty", QStringLiteral("5"), 1);
    addColumn(5, "fprice", QStringLiteral("6"), 4);
    addColumn(6, "famount", QStringLiteral("9"), 4, "A#");
    addColumn(7, "fd", QVariant(), 7, "(D#+E#)*2");
    addColumn(7, "fe", QVariant());
    addColumn(40, "ff", QVariant());  // outside the layout's columns
    auto form = build();
    EXPECT_TRUE(prompter_.messages().empty());

    ColumnMap expected;
    expected.role16 = 2;
    expected.quantity = 4;
    expected.price = 5;
    expected.amount = 6;
    EXPECT_EQ(form->columns, expected);  // roles 13 and "x" record nothing
    EXPECT_EQ(form->columnCount, 9 + 5);
    EXPECT_EQ(form->grid.rows(), BillForm::kDefaultRows);  // 'abc' leaves the row count
    EXPECT_EQ(form->grid.rowHeight(), 250.0);
    EXPECT_EQ(form->grid.code(7, 0), QStringLiteral("fd,fe"));
    EXPECT_EQ(form->grid.column(4).format.decimals, 0);
    ASSERT_TRUE(form->grid.column(6).formula && form->grid.column(7).formula);
    EXPECT_EQ(form->grid.column(6).formula->text(), QStringLiteral("D#*E#"));
    EXPECT_EQ(form->grid.column(7).formula->text(), QStringLiteral("(D#+E#)*2"));
    EXPECT_EQ(form->grid.code(10, 0), QString());  // the hidden columns stay clean

    db_.exec(QStringLiteral("update tblSystemInfo set fvalue='12' where fTypeid=68"));
    form = build();
    EXPECT_EQ(form->grid.rows(), 12);
}

TEST_F(OwnLayoutTest, EmptyLayoutGivesFiveHiddenColumns) {
    const auto form = build();
    EXPECT_EQ(form->columnCount, 5);
    for (int c = 1; c <= 5; ++c) EXPECT_TRUE(form->grid.isColumnHidden(c));
    EXPECT_EQ(form->sumColumnList, QStringLiteral(","));
    EXPECT_TRUE(form->header.empty());
}

}  // namespace
