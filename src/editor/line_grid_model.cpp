// The line grid as a Qt table model: what a view shows and may edit.
#include "editor/line_grid.h"

namespace otherin::editor {

int LineGrid::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows();
}

int LineGrid::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns();
}

QVariant LineGrid::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !checkIndex(index)) return QVariant();
    const int c = index.column() + 1;
    const int r = index.row() + 1;
    const GridColumn& col = column(c);
    switch (role) {
        case Qt::DisplayRole:
            return shownText(c, r);
        case Qt::EditRole:
            return text(c, r);
        case BackgroundColorRole:
            if (r == currentRow_) return kCurrentRowColor;
            return col.locked ? kLockedColor : kWhite;
        case TextColorRole:
            return redText_ ? kRed : kBlack;
        case CellKeyRole:
            return key(c, r);
        case CellCodeRole:
            return code(c, r);
        case Qt::ToolTipRole:
            if (lookupTip_ && col.hasLookup())
                return QStringLiteral("请按F7或点击工具栏中的查看按钮进行选择");
            return QVariant();
        case Qt::TextAlignmentRole:
            if (col.format.isNumeric() || col.formula)
                return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
            return QVariant();
        default:
            return QVariant();
    }
}

bool LineGrid::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !checkIndex(index)) return false;
    return userEdit(index.column() + 1, index.row() + 1, value.toString());
}

Qt::ItemFlags LineGrid::flags(const QModelIndex& index) const {
    if (!index.isValid() || !checkIndex(index)) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!readOnly_ && !column(index.column() + 1).locked) f |= Qt::ItemIsEditable;
    return f;
}

QVariant LineGrid::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole && section >= 0 && section < rows()) return section + 1;
        return QVariant();
    }
    if (section < 0 || section >= columns()) return QVariant();
    if (role == Qt::DisplayRole) return column(section + 1).caption;
    if (role == ColumnWidthRole) return column(section + 1).width;
    return QVariant();
}

}  // namespace otherin::editor
