#include "entry/ui/qt_prompter.h"

#include "entry/ui/qt_language.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QProgressDialog>
#include <algorithm>

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

// Chinese buttons, and room for the whole title: a message box is only as
// wide as its text, and a short text cut the title to "Me… 存".
void prepare(QMessageBox& box) {
    nameButtons(box);
    const int titleWidth = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 120;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

}  // namespace

void QtPrompter::message(const QString& text, Icon icon, const QString& title) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, activeParent(parent_));
    prepare(box);
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
    prepare(box);
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

std::optional<int> QtPrompter::choose(const QString& text, const QStringList& choices, Icon icon,
                                      const QString& title) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::NoButton, activeParent(parent_));
    std::vector<QAbstractButton*> buttons;
    for (const QString& choice : choices)
        buttons.push_back(box.addButton(choice, QMessageBox::AcceptRole));
    // Esc and the close button choose nothing.
    QAbstractButton* none = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setEscapeButton(none);
    prepare(box);
    box.exec();
    const auto it = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    if (it == buttons.end()) return std::nullopt;
    return static_cast<int>(it - buttons.begin());
}

std::optional<QString> QtPrompter::input(const QString& prompt, const QString& initial,
                                         const QString& title) {
    bool ok = false;
    const QString text = QInputDialog::getText(activeParent(parent_), title, prompt,
                                               QLineEdit::Normal, initial, &ok);
    if (!ok) return std::nullopt;
    return text;
}

std::optional<QString> QtPrompter::secret(const QString& prompt, const QString& title) {
    bool ok = false;
    const QString text = QInputDialog::getText(activeParent(parent_), title, prompt,
                                               QLineEdit::Password, QString(), &ok);
    if (!ok) return std::nullopt;
    return text;
}

std::optional<QString> QtPrompter::saveFileName(const QString& filter, const QString& proposed) {
    const QString path =
        QFileDialog::getSaveFileName(activeParent(parent_), QString(), proposed, filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

namespace {
class DialogProgress : public Progress {
  public:
    DialogProgress(const QString& label, int total, QWidget* parent)
        : dialog_(label, QStringLiteral("取消"), 0, total, parent) {
        dialog_.setWindowTitle(label);
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(400);
        dialog_.setAutoReset(false);
        dialog_.setValue(0);
    }
    bool advance(int done) override {
        dialog_.setValue(std::min(done, dialog_.maximum()));
        return !dialog_.wasCanceled();
    }

  private:
    QProgressDialog dialog_;
};
}  // namespace

std::unique_ptr<Progress> QtPrompter::progress(const QString& label, int total) {
    return std::make_unique<DialogProgress>(label, total, activeParent(parent_));
}

}  // namespace otherin::entry
