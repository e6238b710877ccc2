#include "editor/ui/totals_view.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>

#include "editor/totals_strip.h"
#include "editor/ui/line_grid_view.h"

namespace otherin::editor {

TotalsView::TotalsView(QWidget* parent) : QTableView(parent) {
    setObjectName(QStringLiteral("totalsStrip"));
    horizontalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TotalsView::setStrip(TotalsStrip* strip, LineGridView* grid) {
    strip_ = strip;
    grid_ = grid;
    setModel(strip);
    const int rowHeight = grid->verticalHeader()->defaultSectionSize();
    verticalHeader()->setDefaultSectionSize(rowHeight);
    setFixedHeight(rowHeight + 2 * frameWidth());

    connect(strip, &QAbstractItemModel::modelReset, this, &TotalsView::followColumns);
    connect(strip, &QAbstractItemModel::headerDataChanged, this, &TotalsView::followColumns);
    connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) { setColumnWidth(section, size); });
    connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, horizontalScrollBar(),
            &QScrollBar::setValue);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, grid->horizontalScrollBar(),
            &QScrollBar::setValue);
    connect(grid->verticalHeader(), &QHeaderView::geometriesChanged, this,
            &TotalsView::followLeftEdge);
    grid->verticalScrollBar()->installEventFilter(this);
    grid->installEventFilter(this);
    followColumns();
    followLeftEdge();
}

void TotalsView::followColumns() {
    if (!strip_ || !grid_) return;
    for (int c = 1; c <= strip_->columns(); ++c) {
        setColumnHidden(c - 1, strip_->isColumnHidden(c));
        setColumnWidth(c - 1, grid_->columnWidth(c - 1));
    }
    horizontalScrollBar()->setValue(grid_->horizontalScrollBar()->value());
}

// The strip's row header is as wide as the grid's, and its right edge stops
// where the grid's vertical scroll bar begins, so both scroll alike.
void TotalsView::followLeftEdge() {
    if (!grid_) return;
    verticalHeader()->setFixedWidth(grid_->verticalHeader()->width());
    const QScrollBar* bar = grid_->verticalScrollBar();
    emit rightGapChanged(bar->isVisible() ? bar->width() : 0);
    horizontalScrollBar()->setValue(grid_->horizontalScrollBar()->value());
}

bool TotalsView::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Resize:
            followLeftEdge();
            break;
        default:
            break;
    }
    return QTableView::eventFilter(watched, event);
}

}  // namespace otherin::editor
