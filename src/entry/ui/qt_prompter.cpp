#include "entry/ui/qt_prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace otherin::entry {

namespace {

QMessageBox::Icon toQt(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::Critical:
            return QMessageBox::Critical;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QWidget* activeParent(QWidget* parent) {
    return parent ? parent : QApplication::activeWindow();
}

}  // namespace

void QtPrompter::message(const QString& text, Icon icon, const QString& title) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, activeParent(parent_));
    box.exec();
}

Answer QtPrompter::question(const QString& text, Buttons buttons, Icon icon, const QString& title) {
    QMessageBox::StandardButtons qtButtons = QMessageBox::Ok;
    switch (buttons) {
        case Buttons::Ok:
            qtButtons = QMessageBox::Ok;
            break;
        case Buttons::OkCancel:
            qtButtons = QMessageBox::Ok | QMessageBox::Cancel;
            break;
        case Buttons::YesNo:
            qtButtons = QMessageBox::Yes | QMessageBox::No;
            break;
        case Buttons::YesNoCancel:
            qtButtons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            break;
    }
    QMessageBox box(toQt(icon), title, text, qtButtons, activeParent(parent_));
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Cancel:
            return Answer::Cancel;
        default:
            return Answer::Ok;
    }
}

std::optional<QString> QtPrompter::input(const QString& prompt, const QString& initial,
                                         const QString& title) {
    bool ok = false;
    const QString text = QInputDialog::getText(activeParent(parent_), title, prompt,
                                               QLineEdit::Normal, initial, &ok);
    if (!ok) return std::nullopt;
    return text;
}

std::optional<QString> QtPrompter::saveFileName(const QString& filter, const QString& proposed) {
    const QString path =
        QFileDialog::getSaveFileName(activeParent(parent_), QString(), proposed, filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

}  // namespace otherin::entry
