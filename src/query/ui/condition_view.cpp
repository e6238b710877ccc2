#include "query/ui/condition_view.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QTimer>

#include "query/condition_grid.h"

namespace otherin::query {

namespace {

const char* const kRowProperty = "conditionRow";

ConditionGrid::CellKind kindOf(const QModelIndex& index) {
    return static_cast<ConditionGrid::CellKind>(index.data(ConditionGrid::CellKindRole).toInt());
}

}  // namespace

QWidget* ConditionDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                         const QModelIndex& index) const {
    // The editors' signals reach this delegate's own slots.
    auto* self = const_cast<ConditionDelegate*>(this);
    QWidget* editor = nullptr;
    switch (kindOf(index)) {
        case ConditionGrid::CellKind::DropDown: {
            auto* box = new QComboBox(parent);
            box->addItems(index.data(ConditionGrid::ChoicesRole).toStringList());
            connect(box, &QComboBox::activated, self, &ConditionDelegate::commitAndClose);
            QTimer::singleShot(0, box, &QComboBox::showPopup);
            editor = box;
            break;
        }
        case ConditionGrid::CellKind::Number: {
            // No validator: it would drop the letters of "5x" silently and
            // leave another number. The text stays as typed, shown in red
            // with the refusal as its tip, and the query refuses it.
            auto* edit = new QLineEdit(parent);
            edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            editor = edit;
            break;
        }
        case ConditionGrid::CellKind::Text:
            editor = new QLineEdit(parent);
            break;
        case ConditionGrid::CellKind::TextPick: {
            auto* edit = new QLineEdit(parent);
            QAction* picker =
                edit->addAction(edit->style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                QLineEdit::TrailingPosition);
            picker->setToolTip(QStringLiteral("选择(F7)"));
            const int row = index.row();
            connect(picker, &QAction::triggered, self,
                    [self, edit, row] { self->pickFrom(edit, row); });
            editor = edit;
            break;
        }
        case ConditionGrid::CellKind::Date: {
            // Typed in any of the usual forms (2026-12-07, 20261207, 12-07, …);
            // the query reads it, and names a text that is no date.
            auto* date = new QLineEdit(parent);
            date->setPlaceholderText(QStringLiteral("yyyy-mm-dd"));
            editor = date;
            break;
        }
        case ConditionGrid::CellKind::Plain:
            break;
    }
    if (editor) editor->setProperty(kRowProperty, index.row());
    return editor;
}

void ConditionDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        box->setCurrentIndex(box->findText(text));
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
    }
}

void ConditionDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    QString text;
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        // A drop-down closed without a choice, or on the choice it had,
        // changes nothing: choosing a field again would reset its row.
        if (box->currentIndex() < 0) return;
        text = box->currentText();
        if (text == index.data(Qt::EditRole).toString()) return;
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        text = edit->text();
    } else {
        return;
    }
    model->setData(index, text, Qt::EditRole);
}

void ConditionDelegate::initStyleOption(QStyleOptionViewItem* option,
                                        const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (!index.data(Qt::ToolTipRole).toString().isEmpty()) {
        option->palette.setColor(QPalette::Text, Qt::red);
        option->palette.setColor(QPalette::HighlightedText, Qt::red);
    }
}

bool ConditionDelegate::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F7) {
        pickFrom(edit, edit->property(kRowProperty).toInt());
        return true;
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

void ConditionDelegate::commitAndClose() {
    auto* editor = qobject_cast<QWidget*>(sender());
    if (!editor) return;
    emit commitData(editor);
    emit closeEditor(editor);
}

void ConditionDelegate::pickFrom(QWidget* editor, int row) {
    // What was typed goes to the selector; its answer then replaces it, so the
    // editor must be gone before the pick writes the cell.
    emit commitData(editor);
    emit closeEditor(editor);
    QMetaObject::invokeMethod(
        this, [this, row] { pick_(row); }, Qt::QueuedConnection);
}

ConditionView::ConditionView(ConditionGrid& grid, QWidget* parent)
    : QTableView(parent), grid_(grid) {
    setModel(&grid_);
}

bool ConditionView::refuses(const QModelIndex& target) {
    if (!target.isValid()) return false;
    const QString why = grid_.moveRefusal(currentIndex().row(), target.row());
    if (why.isEmpty()) return false;
    emit moveRefused(why);
    return true;
}

QModelIndex ConditionView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTableView::moveCursor(cursorAction, modifiers);
    if (refuses(next)) return currentIndex();
    return next;
}

void ConditionView::mousePressEvent(QMouseEvent* event) {
    if (refuses(indexAt(event->position().toPoint()))) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void ConditionView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F7 && currentIndex().isValid()) {
        emit pickRequested(currentIndex().row());
        return;
    }
    QTableView::keyPressEvent(event);
}

}  // namespace otherin::query
