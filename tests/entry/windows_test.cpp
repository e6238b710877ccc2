#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "entry/ui/qt_prompter.h"
#include "support/qstring_print.h"

using namespace otherin;

// The buttons of a box are named in the module's language, and the one named 否
// answers No: a clerk deciding on a delete goes by the names.
TEST(WindowsTest, QuestionButtonsAreNamedInChineseAndAnswerAsNamed) {
    entry::QtPrompter prompter;
    QStringList buttons;
    QTimer::singleShot(0, [&buttons] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QAbstractButton* no = nullptr;
        for (QAbstractButton* b : box->buttons()) {
            buttons << b->text();
            if (b->text() == QStringLiteral("否")) no = b;
        }
        if (no) {
            no->click();
        } else {
            box->reject();
        }
    });
    EXPECT_EQ(
        prompter.question(QStringLiteral("确定要删除所选定的单据吗?"), entry::Buttons::YesNoCancel,
                          entry::Icon::Question, QStringLiteral("其它入库单")),
        entry::Answer::No);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"取消", "否", "是"}));  // in code point order
}
