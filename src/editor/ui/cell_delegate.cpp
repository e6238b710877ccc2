#include "editor/ui/cell_delegate.h"

#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>

#include "editor/line_grid.h"

namespace otherin::editor {

namespace {

constexpr auto kDateFormat = "yyyy-MM-dd";
// Multi-line cells open over three rows so a note can be read while typed.
constexpr int kMultiLineRows = 3;

QColor rgb(const QVariant& value) {
    return QColor::fromRgb(static_cast<QRgb>(value.toInt()));
}

// Whatever is typed stays in the cell until it is left: the editor then
// refuses what is not a number, saying so, and shows the number rounded to the
// column's decimals, rather than keys being swallowed without a word.
QLineEdit* numberEditor(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return edit;
}

}  // namespace

LookupComboBox::LookupComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    if (!grid_) return QStyledItemDelegate::createEditor(parent, option, index);
    const GridColumn& column = grid_->column(index.column() + 1);
    QWidget* editor = nullptr;
    if (column.hasLookup()) {
        auto* combo = new LookupComboBox(parent);
        connect(combo, &LookupComboBox::lookupRequested, this,
                [this, combo] { const_cast<CellDelegate*>(this)->finishForLookup(combo); });
        editor = combo;
    } else if (column.format.isNumeric()) {
        editor = numberEditor(parent);
    } else if (column.format.kind == CellKind::Date) {
        auto* date = new QDateEdit(parent);
        date->setCalendarPopup(true);
        date->setDisplayFormat(QString::fromLatin1(kDateFormat));
        editor = date;
    } else if (column.format.kind == CellKind::Text && column.format.multiLine) {
        auto* text = new QPlainTextEdit(parent);
        text->setTabChangesFocus(true);
        editor = text;
    } else {
        editor = new QLineEdit(parent);
    }
    editor->setAutoFillBackground(true);
    return editor;
}

void CellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QString text = index.data(Qt::EditRole).toString();
    // The text comes selected, so what the user types replaces it as in a sheet.
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setEditText(text);
        combo->lineEdit()->selectAll();
    } else if (auto* date = qobject_cast<QDateEdit*>(editor)) {
        const QDate d = QDate::fromString(text.trimmed(), QString::fromLatin1(kDateFormat));
        date->setDate(d.isValid() ? d : QDate::currentDate());
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(editor)) {
        plain->setPlainText(text);
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(text);
        line->selectAll();
    }
}

void CellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const {
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        text = combo->currentText();
    } else if (auto* date = qobject_cast<QDateEdit*>(editor)) {
        text = date->date().toString(QString::fromLatin1(kDateFormat));
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(editor)) {
        text = plain->toPlainText();
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        text = line->text();
    } else {
        return QStyledItemDelegate::setModelData(editor, model, index);
    }
    // Only what the user changed counts as an edit of the bill.
    if (text != index.data(Qt::EditRole).toString()) model->setData(index, text, Qt::EditRole);
}

void CellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    if (qobject_cast<QPlainTextEdit*>(editor)) {
        QRect r = option.rect;
        r.setHeight(r.height() * kMultiLineRows);
        editor->setGeometry(r);
        return;
    }
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
}

void CellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant background = index.data(BackgroundColorRole);
    if (background.isValid()) option->backgroundBrush = QBrush(rgb(background));
    const QVariant text = index.data(TextColorRole);
    if (text.isValid()) option->palette.setColor(QPalette::Text, rgb(text));
}

// The current cell gets a frame of its own: there is no selection to show it.
void CellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    opt.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, opt, index);
    if (!(option.state & QStyle::State_HasFocus)) return;
    painter->save();
    painter->setPen(QPen(option.palette.color(QPalette::Highlight), 2));
    painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
    painter->restore();
}

void CellDelegate::finishForLookup(QWidget* editor) {
    emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
    emit lookupRequested();
}

bool CellDelegate::eventFilter(QObject* watched, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(watched);
    if (editor && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && key->key() == Qt::Key_F7) {
            finishForLookup(editor);
            return true;
        }
        // Enter moves on like Tab; in a multi-line cell it starts a new line.
        if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !qobject_cast<QPlainTextEdit*>(editor)) {
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::EditNextItem);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

}  // namespace otherin::editor
