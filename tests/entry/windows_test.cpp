#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
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
            if (b->text() == QStringLiteral("否(&N)")) no = b;
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
    EXPECT_EQ(buttons, (QStringList{"取消", "否(&N)", "是(&Y)"}));  // in code point order
}

// A box answers to the letters its buttons show, Esc and Enter.
TEST(WindowsTest, ABoxAnswersToItsLettersEscAndEnter) {
    const struct {
        entry::Buttons buttons;
        int key;
        entry::Answer answer;
    } cases[] = {
        {entry::Buttons::YesNo, Qt::Key_Y, entry::Answer::Yes},
        {entry::Buttons::YesNo, Qt::Key_N, entry::Answer::No},
        {entry::Buttons::YesNo, Qt::Key_Escape, entry::Answer::No},
        {entry::Buttons::YesNo, Qt::Key_Return, entry::Answer::Yes},
        {entry::Buttons::YesNoCancel, Qt::Key_N, entry::Answer::No},
        {entry::Buttons::YesNoCancel, Qt::Key_Escape, entry::Answer::Cancel},
        {entry::Buttons::OkCancel, Qt::Key_Escape, entry::Answer::Cancel},
        {entry::Buttons::OkCancel, Qt::Key_Return, entry::Answer::Ok},
    };
    entry::QtPrompter prompter;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        QTimer::singleShot(0, [&c] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            QTest::keyClick(box, static_cast<Qt::Key>(c.key));
            // A key the box did not take leaves it open; the test then fails, not hangs.
            if (QApplication::activeModalWidget() == box)
                QTimer::singleShot(500, box, [box] { static_cast<QDialog*>(box)->done(-1); });
        });
        EXPECT_EQ(prompter.question(QStringLiteral("保存吗?"), c.buttons, entry::Icon::Question,
                                    QStringLiteral("其它入库单")),
                  c.answer);
    }
}
