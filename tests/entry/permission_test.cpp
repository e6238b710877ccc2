#include <gtest/gtest.h>

#include "entry/login_context.h"
#include "entry/permission.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin::entry;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

class PermissionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.execAll({
            QStringLiteral("insert into tblSystemPrivillenge(fitemid,fnumber) "
                           "values(1,'G01'),(2,'G02'),(3,'G03'),(4,'R10')"),
            // user 5 holds G01 directly and G02 through group 10, not G03 of group 11
            QStringLiteral("insert into tbluserPrivillenge(fuserid,fPrivillengeid) values(5,1)"),
            QStringLiteral(
                "insert into tblgroupprivillenge(fuserid,fprivillengeid) values(10,2),(11,3)"),
            QStringLiteral(
                "insert into tblUserGroupRelation(fuserid,fgroupid) values(5,10),(6,11)"),
        });
        ctx_.DBConnectionString = db_.connectionString();
        ctx_.msgTitle = QStringLiteral("标题");
        ctx_.gLoginUserId = QStringLiteral("5");
    }

    TestDatabase db_;
    LoginContext ctx_;
    ScriptedPrompter prompter_;
};

// Each check closes its connection, even one that was open before.
TEST_F(PermissionTest, DirectAndGroupRightsPassOthersAreRefused) {
    openConnection(ctx_);
    EXPECT_TRUE(hasRight(ctx_, prompter_, QStringLiteral("G01")));
    EXPECT_FALSE(ctx_.gConnection.isOpen());
    EXPECT_TRUE(hasRight(ctx_, prompter_, QStringLiteral("G02")));
    EXPECT_TRUE(prompter_.messages().empty());

    ctx_.gRightPrefix = QStringLiteral("G");
    openConnection(ctx_);
    EXPECT_FALSE(hasRight(ctx_, prompter_, QStringLiteral("G03")));
    EXPECT_FALSE(ctx_.gConnection.isOpen());
    EXPECT_FALSE(hasRight(ctx_, prompter_, QStringLiteral("G99")));
    EXPECT_FALSE(hasRight(ctx_, prompter_, QStringLiteral("x' or '1'='1")));
    ASSERT_EQ(prompter_.messages().size(), 3u);
    // The refusal names what was refused, and the code for a right of no
    // action of this module.
    EXPECT_EQ(prompter_.messages()[0].text,
              QStringLiteral("您无此权限！不能删除单据（权限G03），请与系统管理员联系"));
    EXPECT_EQ(prompter_.messages()[1].text,
              QStringLiteral("您无此权限！（权限G99），请与系统管理员联系"));
    for (const auto& m : prompter_.messages()) {
        EXPECT_EQ(m.icon, Icon::Exclamation);
        EXPECT_EQ(m.title, QStringLiteral("标题"));
    }
}

TEST_F(PermissionTest, AdministratorHoldsEveryRightWithoutAQuery) {
    ctx_.IsAdmin = 1;
    // a connection string no database answers: any query would fail
    ctx_.DBConnectionString = QStringLiteral("server=nowhere");
    EXPECT_TRUE(hasRight(ctx_, prompter_, QStringLiteral("Z77")));
    EXPECT_TRUE(prompter_.messages().empty());
}

}  // namespace
