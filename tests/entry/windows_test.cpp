#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "entry/ui/qt_language.h"
#include "entry/ui/qt_prompter.h"

using namespace otherin;

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
