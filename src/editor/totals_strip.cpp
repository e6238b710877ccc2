#include "editor/totals_strip.h"

#include "entry/conversions.h"

namespace otherin::editor {

TotalsStrip::TotalsStrip(const LineGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {
    connect(&grid, &LineGrid::columnsReshaped, this, &TotalsStrip::followGrid);
    connect(&grid, &LineGrid::columnWidthChanged, this,
            [this](int c) { emit headerDataChanged(Qt::Horizontal, c - 1, c - 1); });
    followGrid();
}

void TotalsStrip::followGrid() {
    beginResetModel();
    sums_.assign(static_cast<std::size_t>(grid_.columns()) + 1, QString());
    endResetModel();
}

QString TotalsStrip::text(int c) const {
    if (c < 1 || c > columns()) return QString();
    const QString& raw = sums_[static_cast<std::size_t>(c)];
    const CellFormat& format = grid_.column(c).stripFormat;
    bool ok = false;
    const double v = raw.toDouble(&ok);
    return ok && format.showsDecimals() ? entry::shownNumber(v, format.decimals) : raw;
}

double TotalsStrip::value(int c) const {
    if (c < 1 || c > columns()) return 0;
    return entry::toDouble(sums_[static_cast<std::size_t>(c)]);
}

void TotalsStrip::setSum(int c, double sum) {
    if (c < 1 || c > columns()) return;
    sums_[static_cast<std::size_t>(c)] = QString::number(sum, 'g', 15);
    emit dataChanged(index(0, c - 1), index(0, c - 1));
}

void TotalsStrip::clearSums() {
    beginResetModel();
    for (QString& s : sums_) s.clear();
    endResetModel();
}

QString TotalsStrip::code(int c, int r) const {
    if (r == 0) return grid_.column(c).redFlag;
    if (r == 1) return grid_.column(c).insertFlag;
    return QString();
}

QString TotalsStrip::key(int c, int r) const {
    return r == 0 ? grid_.column(c).canNull : QString();
}

int TotalsStrip::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

int TotalsStrip::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns();
}

QVariant TotalsStrip::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !checkIndex(index)) return QVariant();
    const int c = index.column() + 1;
    if (role == Qt::DisplayRole) return text(c);
    if (role == Qt::TextAlignmentRole && grid_.column(c).stripFormat.isNumeric())
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    return QVariant();
}

QVariant TotalsStrip::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == ColumnWidthRole && section >= 0 &&
        section < columns())
        return columnWidth(section + 1);
    return QVariant();
}

}  // namespace otherin::editor
