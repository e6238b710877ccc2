#include "query/sort_grid.h"

#include <utility>

#include "entry/prompter.h"

namespace otherin::query {

SortGrid::SortGrid(QObject* parent) : QAbstractTableModel(parent) {}

int SortGrid::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kRows;
}

int SortGrid::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SortGrid::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const Row& r = rows_[index.row()];
    if (index.column() == Ascending) {
        if (role == Qt::CheckStateRole) {
            if (r.ascending.trimmed() == QLatin1String("0")) return Qt::Unchecked;
            return r.ascending.trimmed().isEmpty() ? Qt::PartiallyChecked : Qt::Checked;
        }
        if (role == Qt::EditRole) return r.ascending;
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    return cell(index.row(), index.column());
}

QVariant SortGrid::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    switch (section) {
        case Number:
            return QStringLiteral("序号");
        case Title:
            return QStringLiteral("排序字段");
        case FieldName:
            return QStringLiteral("字段名称");
        case Ascending:
            return QStringLiteral("升序");
        default:
            return {};
    }
}

Qt::ItemFlags SortGrid::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == Ascending) f |= Qt::ItemIsUserCheckable;
    return f;
}

bool SortGrid::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != Ascending || role != Qt::CheckStateRole) {
        return false;
    }
    const bool ticked = value.toInt() == Qt::Checked;
    setCell(index.row(), Ascending, ticked ? QStringLiteral("-1") : QStringLiteral("0"));
    return true;
}

QString SortGrid::cell(int row, int column) const {
    const Row& r = rows_[row];
    switch (column) {
        case Number:
            return QString::number(row + 1);
        case Title:
            return r.title;
        case FieldName:
            return r.fieldName;
        case Ascending:
            return r.ascending;
        default:
            return {};
    }
}

void SortGrid::setCell(int row, int column, const QString& text) {
    if (row < 0 || row >= kRows) return;
    Row& r = rows_[row];
    switch (column) {
        case Title:
            r.title = text;
            break;
        case FieldName:
            r.fieldName = text;
            break;
        case Ascending:
            r.ascending = text;
            break;
        default:
            return;
    }
    rowsChanged(row, row);
}

bool SortGrid::add(const QString& title, const QString& fieldName) {
    if (title.isEmpty()) return false;
    for (int row = 0; row < kRows; ++row) {
        if (!rows_[row].title.isEmpty()) continue;
        rows_[row].title = title;
        rows_[row].fieldName = fieldName;
        rowsChanged(row, row);
        return true;
    }
    return false;
}

int SortGrid::moveUp(int row) {
    if (row < 1 || row >= kRows || rows_[row].title.isEmpty()) return row;
    std::swap(rows_[row], rows_[row - 1]);
    rowsChanged(row - 1, row);
    return row - 1;
}

int SortGrid::moveDown(int row) {
    if (row < 0 || row >= kRows - 1 || rows_[row + 1].title.isEmpty()) return row;
    std::swap(rows_[row], rows_[row + 1]);
    rowsChanged(row, row + 1);
    return row + 1;
}

bool SortGrid::remove(int row, entry::Prompter& prompter, const QString& title) {
    if (row < 0 || row >= kRows || rows_[row].title.isEmpty()) return false;
    if (prompter.question(QStringLiteral("确定要删除吗?"), entry::Buttons::OkCancel,
                          entry::Icon::Question, title) != entry::Answer::Ok) {
        return false;
    }
    for (int r = row; r < kRows - 1; ++r) rows_[r] = std::move(rows_[r + 1]);
    rows_[kRows - 1] = Row{};
    rowsChanged(row, kRows - 1);
    return true;
}

void SortGrid::clearFields() {
    for (Row& r : rows_) {
        r.title.clear();
        r.fieldName.clear();
    }
    rowsChanged(0, kRows - 1);
}

void SortGrid::reset() {
    rows_.fill(Row{});
    rowsChanged(0, kRows - 1);
}

void SortGrid::rowsChanged(int first, int last) {
    emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
}

}  // namespace otherin::query
