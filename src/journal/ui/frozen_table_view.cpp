#include "journal/ui/frozen_table_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QScrollBar>

#include "query/journal_model.h"

namespace otherin::journal {

namespace {

QColor opaque(int rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb) | 0xFF000000u);
}

}  // namespace

void JournalRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QVariant rgb = index.data(query::JournalModel::BackgroundRgbRole);
    if (rgb.isValid()) opt.backgroundBrush = opaque(rgb.toInt());
    const QVariant text = index.data(query::JournalModel::TextRgbRole);
    if (text.isValid()) opt.palette.setColor(QPalette::Text, opaque(text.toInt()));
    if (index.data(query::JournalModel::StruckOutRole).toBool()) opt.font.setStrikeOut(true);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    painter->save();
    painter->setPen(opaque(query::JournalModel::kBorderRgb));
    const QRect r = opt.rect;
    painter->drawLine(r.topRight(), r.bottomRight());
    if (index.data(query::JournalModel::BillStartRole).toBool()) {
        painter->drawLine(r.topLeft(), r.topRight());
    }
    painter->restore();
}

FrozenTableView::FrozenTableView(QWidget* parent)
    : QTableView(parent), frozen_(new QTableView(this)) {
    setHorizontalScrollMode(ScrollPerPixel);
    frozen_->setObjectName(QStringLiteral("frozenColumns"));
    frozen_->setFocusPolicy(Qt::NoFocus);
    frozen_->verticalHeader()->hide();
    frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setFrameShape(QFrame::NoFrame);
    // The frozen part never has the focus; its selection should not look
    // inactive beside the same rows selected in this view.
    QPalette palette = frozen_->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    frozen_->setPalette(palette);
    viewport()->stackUnder(frozen_);
    frozen_->hide();

    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            &FrozenTableView::mainSectionResized);
    connect(frozen_->horizontalHeader(), &QHeaderView::sectionResized, this,
            &FrozenTableView::frozenSectionResized);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
            &QAbstractSlider::setValue);
}

void FrozenTableView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    frozen_->setModel(model);
    QItemSelectionModel* own = frozen_->selectionModel();
    frozen_->setSelectionModel(selectionModel());
    delete own;
    syncFrozenColumns();
}

void FrozenTableView::setFrozenColumnCount(int count) {
    frozenCount_ = std::max(0, count);
    syncFrozenColumns();
}

void FrozenTableView::syncFrozenColumns() {
    if (!model()) return;
    // Showing a column again gives it a default width for a moment, which
    // must not reach this view.
    syncing_ = true;
    const int columns = model()->columnCount();
    for (int c = 0; c < columns; ++c) {
        const bool shown = c < frozenCount_ && !isColumnHidden(c);
        if (shown) frozen_->setColumnWidth(c, columnWidth(c));
        frozen_->setColumnHidden(c, !shown);
        if (shown) frozen_->setColumnWidth(c, columnWidth(c));
    }
    syncing_ = false;
    frozen_->verticalScrollBar()->setValue(verticalScrollBar()->value());
    updateFrozenGeometry();
}

int FrozenTableView::topRow() const {
    return rowAt(0);
}

void FrozenTableView::setTopRow(int row) {
    executeDelayedItemsLayout();
    verticalScrollBar()->setValue(row);
}

int FrozenTableView::frozenWidth() const {
    if (!model()) return 0;
    int width = 0;
    const int last = std::min(frozenCount_, model()->columnCount());
    for (int c = 0; c < last; ++c) {
        if (!isColumnHidden(c)) width += columnWidth(c);
    }
    return width;
}

void FrozenTableView::updateFrozenGeometry() {
    const int width = frozenWidth();
    if (width == 0) {
        frozen_->hide();
        return;
    }
    const int left = frameWidth() + (verticalHeader()->isVisible() ? verticalHeader()->width() : 0);
    frozen_->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    frozen_->setGeometry(left, frameWidth(), width,
                         viewport()->height() + horizontalHeader()->height());
    frozen_->show();
}

void FrozenTableView::mainSectionResized(int column, int /*oldSize*/, int newSize) {
    if (column >= frozenCount_ || newSize <= 0) return;
    frozen_->setColumnWidth(column, newSize);
    updateFrozenGeometry();
}

void FrozenTableView::frozenSectionResized(int column, int /*oldSize*/, int newSize) {
    // Frozen columns are resized on the frozen part's own heading.
    if (syncing_ || column >= frozenCount_ || newSize <= 0 || frozen_->isColumnHidden(column)) {
        return;
    }
    if (columnWidth(column) != newSize) setColumnWidth(column, newSize);
}

void FrozenTableView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    updateFrozenGeometry();
}

void FrozenTableView::updateGeometries() {
    QTableView::updateGeometries();
    updateFrozenGeometry();
}

QModelIndex FrozenTableView::moveCursor(CursorAction cursorAction,
                                        Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = QTableView::moveCursor(cursorAction, modifiers);
    // Moving left into a column hidden under the frozen part scrolls it out.
    const int covered = frozenWidth();
    if (cursorAction == MoveLeft && current.column() >= frozenCount_ &&
        visualRect(current).left() < covered) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() +
                                        visualRect(current).left() - covered);
    }
    return current;
}

void FrozenTableView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    executeDelayedItemsLayout();
    if (index.column() >= frozenCount_) {
        QTableView::scrollTo(index, hint);
        return;
    }
    // A frozen cell is always in sight sideways: scroll up or down only.
    const int x = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    horizontalScrollBar()->setValue(x);
}

}  // namespace otherin::journal
