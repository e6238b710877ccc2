#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "editor/ui/frm_main_bill.h"
#include "entry/login_context.h"
#include "entry/settings_store.h"
#include "entry/startup.h"
#include "entry/ui/qt_language.h"
#include "entry/ui/qt_prompter.h"
#include "entry/ui/window_placement.h"
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

// The module's boxes speak its language and show their whole title, and Qt's
// own dialogs speak it too once the translations are loaded.
TEST(WindowsTest, MessageBoxesShowChineseButtonsAndTheirWholeTitle) {
    entry::QtPrompter prompter;
    struct Seen {
        QStringList buttons;
        int width = 0;
        int titleWidth = 0;
    } seen;
    const auto inspectNextBox = [&seen](QMessageBox::StandardButton answer) {
        QTimer::singleShot(0, [&seen, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = {};
            for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
            seen.buttons.sort();
            seen.width = box->sizeHint().width();
            seen.titleWidth = box->fontMetrics().horizontalAdvance(box->windowTitle());
            box->button(answer)->click();
        });
    };
    inspectNextBox(QMessageBox::Ok);
    prompter.message(QStringLiteral("好"), entry::Icon::Information,
                     QStringLiteral("其它入库单 - 数据保存"));
    EXPECT_EQ(seen.buttons, QStringList{QStringLiteral("确定")});
    EXPECT_GT(seen.width, seen.titleWidth);

    inspectNextBox(QMessageBox::No);
    EXPECT_EQ(
        prompter.question(QStringLiteral("确定要删除所选定的单据吗?"), entry::Buttons::YesNoCancel,
                          entry::Icon::Question, QStringLiteral("其它入库单")),
        entry::Answer::No);
    QStringList expected{QStringLiteral("是"), QStringLiteral("否"), QStringLiteral("取消")};
    expected.sort();
    EXPECT_EQ(seen.buttons, expected);

    ASSERT_TRUE(entry::installQtTranslations())
        << "Qt's Chinese translations are not installed (qt6-translations-l10n)";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("另存为"));
}

// Each window comes back with the size the same user left it at; another user
// gets the window's own size.
TEST(WindowsTest, WindowsComeBackAsEachUserLeftThem) {
    TestDatabase db(TestDatabase::Seed::Demo);
    entry::LoginContext ctx;
    ScriptedPrompter prompter;
    entry::startUp(ctx, *db.settings({QStringLiteral("SystemLogin/gLoginUserId=2")}), prompter);
    QTemporaryDir dir;
    entry::SettingsStore store(dir.filePath(QStringLiteral("user.ini")));

    struct Window {
        const char* name;
        std::function<std::unique_ptr<QWidget>()> make;
    };
    const auto placed = [&](auto window) -> std::unique_ptr<QWidget> {
        window->placement().setStore(&store);
        return window;
    };
    const Window windows[] = {
        {"editor", [&] { return placed(std::make_unique<editor::frmMainBill>(ctx, prompter)); }},
        {"query dialog",
         [&] { return placed(std::make_unique<query::frmMainBillFind>(ctx, prompter)); }},
    };
    for (const Window& w : windows) {
        SCOPED_TRACE(w.name);
        ctx.gLoginUserId = QStringLiteral("2");
        QSize designed;
        {
            auto window = w.make();
            designed = window->size();
            window->show();
            window->resize(designed - QSize(123, 45));
            window->hide();
        }
        {
            auto window = w.make();
            window->show();
            EXPECT_EQ(window->size(), designed - QSize(123, 45));
            window->hide();
        }
        ctx.gLoginUserId = QStringLiteral("3");
        auto other = w.make();
        other->show();
        EXPECT_EQ(other->size(), designed);
        other->hide();
    }
}
