#include "query/condition_grid.h"

#include <QDate>

#include "db/sql_text.h"
#include "query/field_catalogue.h"

namespace otherin::query {

namespace {

const QStringList& connectors() {
    static const QStringList list{QStringLiteral("与"), QStringLiteral("或")};
    return list;
}

QString today() {
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
}

ConditionGrid::CellKind kindOfValue(ValueKind kind) {
    switch (kind) {
        case ValueKind::Number:
            return ConditionGrid::CellKind::Number;
        case ValueKind::Text:
            return ConditionGrid::CellKind::Text;
        case ValueKind::TextPick:
            return ConditionGrid::CellKind::TextPick;
        case ValueKind::Date:
            return ConditionGrid::CellKind::Date;
        case ValueKind::None:
            break;
    }
    return ConditionGrid::CellKind::Plain;
}

}  // namespace

ConditionGrid::ConditionGrid(const FieldCatalogue& catalogue, QObject* parent)
    : QAbstractTableModel(parent), catalogue_(catalogue) {}

int ConditionGrid::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kRows;
}

int ConditionGrid::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

bool ConditionGrid::isColumnHidden(int column) {
    return column == FieldName || column == FieldType || column == OperatorSql ||
           column == ItemClass || column == ResultKind || column == ItemType;
}

QVariant ConditionGrid::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row();
    const int col = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return cells_[row][col];
        case Qt::ToolTipRole:
            return col == Value ? valueRefusal(row) : QVariant();
        case CellKindRole:
            return static_cast<int>(cellKind(row, col));
        case ChoicesRole:
            return choices(row, col);
        default:
            return {};
    }
}

QVariant ConditionGrid::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    static const std::array<const char16_t*, ColumnCount> headings{
        u"逻辑",         u"名称", u"字段名称", u"字段类型",     u"比较关系",
        u"比较关系的值", u"数值", u"",         u"取代码或名称", u"核算项目或基础资料"};
    if (section < 0 || section >= ColumnCount) return {};
    return QString::fromUtf16(headings[section]);
}

Qt::ItemFlags ConditionGrid::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int row = index.row();
    bool editable = false;
    switch (index.column()) {
        case Connector:
            editable = row > 0;
            break;
        case Title:
            editable = true;
            break;
        case Operator:
            editable = !operatorChoices(row).isEmpty();
            break;
        case Value:
            editable = valueKind(row) != ValueKind::None;
            break;
        default:
            break;
    }
    return editable ? f | Qt::ItemIsEditable : f;
}

bool ConditionGrid::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    const int row = index.row();
    const QString text = value.toString();
    switch (index.column()) {
        case Connector:
            if (row == 0 || (!text.isEmpty() && !connectors().contains(text))) return false;
            setCell(row, Connector, text);
            return true;
        case Title: {
            const int slot = catalogue_.titles().indexOf(text);
            if (slot < 0) return false;
            chooseField(row, slot);
            return true;
        }
        case Operator: {
            const int op = operatorChoices(row).indexOf(text);
            if (op < 0) return false;
            chooseOperator(row, op);
            return true;
        }
        case Value:
            if (valueKind(row) == ValueKind::None) return false;
            // Kept as typed, even when it is no number: keeping only the
            // digits of "5x or 1=1" would query for 511. The cell shows the
            // refusal, and the query refuses to run while it stands.
            setValue(row, text);
            return true;
        default:
            return false;
    }
}

void ConditionGrid::setCell(int row, int column, const QString& text) {
    if (row < 0 || row >= kRows || column < 0 || column >= ColumnCount) return;
    if (cells_[row][column] == text) return;
    cells_[row][column] = text;
    // The cell kinds and choices of the row follow its field and operator.
    rowChanged(row);
}

void ConditionGrid::chooseConnector(int row, int index) {
    if (row <= 0 || row >= kRows || index < 0 || index >= connectors().size()) return;
    setCell(row, Connector, connectors()[index]);
}

void ConditionGrid::chooseField(int row, int slot) {
    if (row < 0 || row >= kRows || slot < 0 || slot >= catalogue_.slotCount()) return;
    auto& c = cells_[row];
    const QueryField& f = catalogue_.slot(slot);
    c[Operator].clear();
    c[OperatorSql].clear();
    c[Title] = f.title;
    c[FieldName] = f.fieldName;
    c[FieldType] = f.fieldType;
    c[ItemClass] = f.itemClass;
    c[ResultKind] = f.resultKind;
    c[ItemType] = f.itemType;
    const ValueKind kind = valueKindOf(f.fieldType, f.itemClass);
    // "无" offers no operator, so a value left from an earlier field would
    // only mislead.
    if (kind != ValueKind::None || slot == 0) c[Value] = initialValue(kind, today());
    rowChanged(row);
}

void ConditionGrid::chooseOperator(int row, int index) {
    if (row < 0 || row >= kRows) return;
    const OperatorFamily& family = operatorFamily(cells_[row][FieldType]);
    if (index < 0 || index >= family.display.size()) return;
    cells_[row][Operator] = family.display[index];
    cells_[row][OperatorSql] = family.sql[index];
    rowChanged(row);
}

void ConditionGrid::setValue(int row, const QString& text) {
    setCell(row, Value, text);
}

ValueKind ConditionGrid::valueKind(int row) const {
    return valueKindOf(cells_[row][FieldType], cells_[row][ItemClass]);
}

QString ConditionGrid::valueRefusal(int row) const {
    if (row < 0 || row >= kRows) return {};
    const QString& value = cells_[row][Value];
    if (comparesValue(cells_[row][FieldType], cells_[row][Operator]) &&
        db::holdsControlCharacter(value))
        return controlCharacterRefusal(row + 1);
    if (valueKind(row) != ValueKind::Number) return {};
    return numberLiteral(value) ? QString() : numberRefusal(row + 1, value);
}

QStringList ConditionGrid::operatorChoices(int row) const {
    return operatorFamily(cells_[row][FieldType]).display;
}

int ConditionGrid::lastDataRow() const {
    for (int row = kRows - 1; row >= 0; --row) {
        for (const QString& text : cells_[row]) {
            if (!text.isEmpty()) return row;
        }
    }
    return -1;
}

bool ConditionGrid::isRowComplete(int row) const {
    const auto& c = cells_[row];
    return !c[Title].trimmed().isEmpty() && !c[Operator].trimmed().isEmpty() &&
           (row == 0 || !c[Connector].trimmed().isEmpty());
}

QString ConditionGrid::moveRefusal(int fromRow, int toRow) const {
    if (toRow <= fromRow) return {};
    for (int row = 0; row < toRow && row < kRows; ++row) {
        const auto& c = cells_[row];
        QString missing;
        if (row > 0 && c[Connector].trimmed().isEmpty())
            missing = QStringLiteral("逻辑");
        else if (c[Title].trimmed().isEmpty())
            missing = QStringLiteral("名称");
        else if (c[Operator].trimmed().isEmpty())
            missing = QStringLiteral("比较关系");
        if (!missing.isEmpty()) return QStringLiteral("第%1行缺少%2").arg(row + 1).arg(missing);
    }
    return {};
}

void ConditionGrid::clear() {
    beginResetModel();
    for (auto& row : cells_) row.fill(QString());
    endResetModel();
}

void ConditionGrid::completeFromCatalogue() {
    for (int row = 0; row < kRows; ++row) {
        auto& c = cells_[row];
        const int slot = catalogue_.slotOfField(c[FieldName]);
        if (slot < 0) continue;
        c[ResultKind] = catalogue_.slot(slot).resultKind;
        c[ItemType] = catalogue_.slot(slot).itemType;
        // Number conditions are written from the shown operator alone.
        if (c[FieldType].trimmed() == QLatin1String("1")) c[OperatorSql].clear();
        rowChanged(row);
    }
}

void ConditionGrid::rowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

ConditionGrid::CellKind ConditionGrid::cellKind(int row, int column) const {
    switch (column) {
        case Connector:
            return row > 0 ? CellKind::DropDown : CellKind::Plain;
        case Value:
            return kindOfValue(valueKind(row));
        default:
            return CellKind::DropDown;
    }
}

QStringList ConditionGrid::choices(int row, int column) const {
    switch (column) {
        case Connector:
            return row > 0 ? connectors() : QStringList();
        case Title:
            return catalogue_.titles();
        case FieldName:
            return catalogue_.fieldNames();
        case FieldType:
            return catalogue_.fieldTypes();
        case Operator:
            return operatorChoices(row);
        case OperatorSql:
            return operatorFamily(cells_[row][FieldType]).sql;
        case ItemClass:
            return catalogue_.itemClasses();
        case ResultKind:
            return catalogue_.resultKinds();
        case ItemType:
            return catalogue_.itemTypes();
        default:
            return {};
    }
}

}  // namespace otherin::query
