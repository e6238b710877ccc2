#include <gtest/gtest.h>

#include "editor/ui/frm_main_bill.h"
#include "entry/login_context.h"
#include "entry/startup.h"
#include "query/ui/frm_main_bill_find.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

TEST(WindowsTest, TitlesFollowTheBillNameAndMode) {
    TestDatabase db(TestDatabase::Seed::Demo);
    entry::LoginContext ctx;
    ScriptedPrompter prompter;
    entry::startUp(ctx, *db.settings({QStringLiteral("SystemLogin/gLoginUserId=2")}), prompter);

    editor::BillEditorWindow editor(ctx, prompter);
    editor.window().prepare();
    EXPECT_EQ(editor.window().windowTitle(), QStringLiteral("其它入库单新增"));
    ctx.gEditMode = 4;
    editor.window().prepare();
    EXPECT_EQ(editor.window().windowTitle(), QStringLiteral("其它入库单编辑"));

    query::QueryDialogWindow find(ctx, prompter);
    find.window().prepare();
    EXPECT_EQ(find.window().windowTitle(), QStringLiteral("查询其它入库单"));
}
