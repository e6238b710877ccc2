#include <gtest/gtest.h>

#include <QFile>

#include "entry/cls_other_in.h"
#include "entry/login_context.h"
#include "entry/settings_store.h"
#include "entry/startup.h"
#include "entry/windows.h"
#include "support/qstring_print.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin::entry;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

// The one user of these databases: a clerk of type 1.
const QString kClerk = QStringLiteral(
    "insert into tblUser(fuserid,fnumber,fname,fIsAdmin,fUserType) values(4,'wang','王五',0,1)");
const QString kClerkLogin = QStringLiteral("SystemLogin/gLoginUserId=4");
QString numbering(const QString& name) {
    return QStringLiteral(
               "insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength,"
               "fNewBillName) values(7,0,'QT',6,%1)")
        .arg(name);
}

class StartUpTest : public ::testing::Test {
  protected:
    // Starts up as the clerk with these settings besides the login.
    void start(const QStringList& settings = {}) {
        startUp(ctx, *db.settings(QStringList{kClerkLogin} + settings), prompter);
    }
    TestDatabase db;
    LoginContext ctx;
    ScriptedPrompter prompter;
};

TEST_F(StartUpTest, DatabaseNamesTheBillAndOverridesYearAndPeriod) {
    db.execAll({
        kClerk,
        numbering(QStringLiteral("'杂项入库单'")),
        QStringLiteral("insert into tblSystemInfo(fTypeid,fvalue) values(4,'2008')"),
        QStringLiteral("insert into tblSystemInfo(fTypeid,fvalue) values(5,'3')"),
        QStringLiteral("insert into tblSystemInfo(fTypeid,fvalue) values(68,'40')"),
        QStringLiteral("insert into tblPeriod(fTypeid,fYear,fPeriod,fStartDate,fEndDate) "
                       "values(2,2008,3,'2008-03-01','2008-04-01')"),
        QStringLiteral("insert into tblPeriod(fTypeid,fYear,fPeriod,fStartDate,fEndDate) "
                       "values(2,2007,12,'2007-12-01','2008-01-01')"),
    });
    start({QStringLiteral("SystemSetup/gCurrentYear=2007"),
           QStringLiteral("SystemSetup/gCurrentPeriod=12"),
           QStringLiteral("SystemSetup/gIsShowTip=0")});
    EXPECT_EQ(ctx.gBillName, QStringLiteral("杂项入库单"));
    EXPECT_EQ(ctx.gCurrentYear, 2008);
    EXPECT_EQ(ctx.gCurrentPeriod, 3);
    EXPECT_EQ(ctx.gPeriodStartDate, QStringLiteral("2008-03-01"));
    EXPECT_FALSE(ctx.gIsShowTip);
    EXPECT_FALSE(ctx.gConnection.isOpen());
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(StartUpTest, SettingsHoldingCommasAreReadAsWritten) {
    // As the suite's main program writes them: plain text, no quotes.
    const char* const cases[][2] = {
        {"msgTitle=仓库, 库存,账", "仓库, 库存,账"},
        {"msgTitle=\"仓库, 库存\"", "仓库, 库存"},
    };
    db.exec(kClerk);
    const QString path = db.dir() + QStringLiteral("/raw.ini");
    for (const auto& [line, title] : cases) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QStringLiteral("[DBOperation]\nDBConnectionString=%1\n[SystemLogin]\n"
                                  "gLoginToken=%2\n")
                       .arg(db.connectionString(), db.loginSession(4))
                       .toUtf8());
        // The same key in other sections must not be taken for it.
        file.write("[Other]\nmsgTitle=a, b\n[SystemSetup]\n");
        file.write(line);
        file.write("\n[Later]\nmsgTitle=c, d\n");
        file.close();
        startUp(ctx, SettingsStore(path), prompter);
        EXPECT_EQ(ctx.msgTitle, QString::fromUtf8(title)) << line;
    }
}

// Records each window shown as "name mode entry-kind", and how many were made.
class RecordingWindows : public WindowFactory {
  public:
    struct Window : ModalWindow {
        Window(RecordingWindows& w, const char* n, LoginContext& c) : owner(w), name(n), ctx(c) {}
        void showModal() override {
            owner.shown
                << QStringLiteral("%1 %2 %3").arg(name).arg(ctx.gEditMode).arg(ctx.gEntryKind);
        }
        RecordingWindows& owner;
        const char* name;
        LoginContext& ctx;
    };
    std::unique_ptr<ModalWindow> createBillEditor(LoginContext& ctx) override {
        ++created;
        return std::make_unique<Window>(*this, "editor", ctx);
    }
    std::unique_ptr<ModalWindow> createQueryDialog(LoginContext& ctx) override {
        ++created;
        return std::make_unique<Window>(*this, "query", ctx);
    }
    int created = 0;
    QStringList shown;
};

TEST_F(StartUpTest, EntryPointsCreateEachWindowOnceAndShowItInItsMode) {
    db.exec(kClerk);
    RecordingWindows windows;
    clsOtherIn component(*db.settings({kClerkLogin}), prompter, windows);
    QString newCode = QString::fromLatin1(clsOtherIn::kNewInfoCode);
    QString findCode = QString::fromLatin1(clsOtherIn::kFindInfoCode);
    QString lower = newCode.toLower();
    QString anything = QStringLiteral("select 1");
    // A wrong code opens nothing.
    EXPECT_FALSE(component.newInfo(findCode));
    EXPECT_FALSE(component.newInfo(lower));
    EXPECT_FALSE(component.findInfo(newCode));
    EXPECT_EQ(windows.created, 0);

    component.context().gEditMode = 1;
    component.newInfo(newCode);
    component.newInfo(newCode);
    EXPECT_EQ(component.findInfo3(anything), QString());
    component.findInfo(findCode);
    EXPECT_EQ(windows.created, 2);
    // findInfo after findInfo3 (price editing) is no longer price editing.
    EXPECT_EQ(windows.shown, (QStringList{"editor 0 0", "editor 0 0", "query 4 3", "query 4 0"}));

    // Without a valid login the component is not made at all.
    EXPECT_THROW(clsOtherIn(*db.settings({QStringLiteral("SystemLogin/gLoginToken=forged")}),
                            prompter, windows),
                 SettingsError);
}

}  // namespace
