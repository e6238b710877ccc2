#include "editor/ui/line_grid_view.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QToolTip>
#include <algorithm>

#include "editor/line_grid.h"
#include "editor/ui/cell_delegate.h"
#include "editor/ui/twips.h"

namespace otherin::editor {

void CursorGuard::moveUnguarded(const QModelIndex& index) {
    unguarded_ = true;
    setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    unguarded_ = false;
}

void CursorGuard::setCurrentIndex(const QModelIndex& index,
                                  QItemSelectionModel::SelectionFlags command) {
    const QModelIndex from = currentIndex();
    if (unguarded_ || !guard_ || !from.isValid() || !index.isValid() || from == index) {
        QItemSelectionModel::setCurrentIndex(index, command);
        return;
    }
    // The guard may add rows below the cursor; the target survives that.
    const QPersistentModelIndex to(index);
    if (!guard_(from.column() + 1, from.row() + 1, to.column() + 1, to.row() + 1)) return;
    QItemSelectionModel::setCurrentIndex(to, command);
}

LineGridView::LineGridView(QWidget* parent)
    : QTableView(parent), delegate_(new CellDelegate(this)) {
    setObjectName(QStringLiteral("lineGrid"));
    setItemDelegate(delegate_);
    // The current cell and its row are drawn by the model's colours; a
    // selection would paint over them.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    connect(delegate_, &CellDelegate::lookupRequested, this, &LineGridView::lookupRequested);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            &LineGridView::storeColumnWidth);
}

void LineGridView::setGrid(LineGrid* grid) {
    grid_ = grid;
    QItemSelectionModel* old = selectionModel();
    setModel(grid);
    cursor_ = new CursorGuard(grid, this);
    setSelectionModel(cursor_);
    delete old;
    delegate_->setGrid(grid);
    // A reset forgets widths, hidden columns and the cursor.
    connect(grid, &QAbstractItemModel::modelReset, this, &LineGridView::applyLayout);
    connect(grid, &QAbstractItemModel::columnsInserted, this, &LineGridView::applyLayout);
    connect(grid, &QAbstractItemModel::headerDataChanged, this, [this](Qt::Orientation o) {
        if (o == Qt::Horizontal) applyLayout();
    });
    applyLayout();
}

void LineGridView::applyLayout() {
    if (!grid_ || applying_) return;
    applying_ = true;
    const int rowPixels = twipsToPixels(grid_->rowHeight());
    verticalHeader()->setDefaultSectionSize(std::max(rowPixels, fontMetrics().height() + 4));
    for (int c = 1; c <= grid_->columns(); ++c) {
        setColumnHidden(c - 1, grid_->isColumnHidden(c));
        const double twips = grid_->headerData(c - 1, Qt::Horizontal, ColumnWidthRole).toDouble();
        if (twips > 0) setColumnWidth(c - 1, twipsToPixels(twips));
    }
    applying_ = false;
}

// A width the user drags is kept in the model, so a later reset keeps it.
void LineGridView::storeColumnWidth(int section, int /*oldSize*/, int newSize) {
    if (!grid_ || applying_ || newSize <= 0) return;
    applying_ = true;
    grid_->setColumnWidth(section + 1, pixelsToTwips(newSize));
    applying_ = false;
}

void LineGridView::showCursorAt(int c, int r) {
    if (!grid_ || !cursor_) return;
    const QModelIndex at = grid_->index(r - 1, c - 1);
    if (!at.isValid()) return;
    cursor_->moveUnguarded(at);
    scrollTo(at);
}

bool LineGridView::commitOpenEditor() {
    if (state() != QAbstractItemView::EditingState) return false;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor) return false;
    commitData(editor);
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void LineGridView::keyPressEvent(QKeyEvent* event) {
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        state() != QAbstractItemView::EditingState) {
        moveOn(MoveNext);
        return;
    }
    if (plain && event->key() == Qt::Key_F7) {
        emit lookupRequested();
        return;
    }
    QTableView::keyPressEvent(event);
}

// Leaving an editor with Tab or Enter moves the cursor through the guard; the
// next cell is not opened, so typing there starts afresh as in a sheet.
void LineGridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (hint != QAbstractItemDelegate::EditNextItem &&
        hint != QAbstractItemDelegate::EditPreviousItem) {
        QTableView::closeEditor(editor, hint);
        return;
    }
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    moveOn(hint == QAbstractItemDelegate::EditNextItem ? MoveNext : MovePrevious);
}

void LineGridView::moveOn(CursorAction action) {
    const QModelIndex to = moveCursor(action, Qt::NoModifier);
    if (to.isValid() && to != currentIndex()) {
        selectionModel()->setCurrentIndex(to, QItemSelectionModel::NoUpdate);
        scrollTo(currentIndex());
    }
}

QModelIndex LineGridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const bool forward = action == MoveNext;
    if ((forward || action == MovePrevious) && grid_ && !grid_->isReadOnly()) {
        const QModelIndex to = nextTypable(currentIndex(), forward);
        if (to.isValid()) return to;
    }
    return QTableView::moveCursor(action, modifiers);
}

// Row by row, left to right (or back), the next shown cell that may be typed
// into; none before the first row or after the last.
QModelIndex LineGridView::nextTypable(const QModelIndex& from, bool forward) const {
    const int rows = grid_->rowCount();
    const int columns = grid_->columnCount();
    if (!from.isValid() || columns == 0) return {};
    int r = from.row();
    int c = from.column();
    for (int step = 0; step < 2 * columns; ++step) {
        c += forward ? 1 : -1;
        if (c >= columns) {
            c = 0;
            ++r;
        } else if (c < 0) {
            c = columns - 1;
            --r;
        }
        if (r < 0 || r >= rows) return {};
        const QModelIndex at = grid_->index(r, c);
        if (!isColumnHidden(c) && (at.flags() & Qt::ItemIsEditable)) return at;
    }
    return {};
}

bool LineGridView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip || !tips_) return QTableView::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex at = indexAt(help->pos());
    const QString tip = at.isValid() ? tips_(at.column() + 1, at.row() + 1) : QString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(at));
    }
    return true;
}

}  // namespace otherin::editor
