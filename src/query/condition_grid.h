#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <array>

#include "query/operators.h"

namespace otherin::query {

class FieldCatalogue;

// The ten condition rows of the query dialog. Every cell holds text, as typed
// or as chosen; the hidden columns keep the chosen field's details at the
// title's index and the operator's SQL text at the operator's index.
class ConditionGrid : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        Connector,    // "逻辑": "与" or "或" (rows 2 to 10)
        Title,        // "名称"
        FieldName,    // "字段名称", hidden
        FieldType,    // "字段类型", hidden
        Operator,     // "比较关系"
        OperatorSql,  // "比较关系的值", hidden
        Value,        // "数值"
        ItemClass,    // hidden
        ResultKind,   // "取代码或名称", hidden
        ItemType,     // "核算项目或基础资料", hidden
        ColumnCount
    };
    // How the window edits a cell.
    enum class CellKind { Plain, DropDown, Number, Text, TextPick, Date };
    enum Role {
        CellKindRole = Qt::UserRole + 1,  // int of CellKind
        ChoicesRole,                      // QStringList of a drop-down's items
    };
    static constexpr int kRows = 10;

    explicit ConditionGrid(const FieldCatalogue& catalogue, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Routes an edit of a visible cell to the choice it stands for.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    static bool isColumnHidden(int column);

    QString cell(int row, int column) const { return cells_[row][column]; }
    // Stores a text as it is, without the effects of a choice (loading a scheme).
    void setCell(int row, int column, const QString& text);

    // The drop-down choices; an index outside the list changes nothing.
    void chooseConnector(int row, int index);
    void chooseField(int row, int slot);
    void chooseOperator(int row, int index);
    void setValue(int row, const QString& text);

    ValueKind valueKind(int row) const;
    // Why the row's value cannot be queried (a number field holding text, a
    // control character in a value the operator compares), as the query
    // would say it; empty when it can. The value cell's tool tip.
    QString valueRefusal(int row) const;
    QStringList operatorChoices(int row) const;

    // Last row with any text, or -1.
    int lastDataRow() const;
    // Title, operator and (below row 1) connector present after trimming.
    bool isRowComplete(int row) const;
    // Leaving a cell for a lower row is refused while a row above the target
    // is incomplete. Empty when allowed, else what is missing and where.
    QString moveRefusal(int fromRow, int toRow) const;

    // Empties every cell.
    void clear();
    // After the grid was filled from stored texts: the details a scheme does
    // not store are taken again from the catalogue by field name.
    void completeFromCatalogue();

    const FieldCatalogue& catalogue() const { return catalogue_; }

  private:
    void rowChanged(int row);
    CellKind cellKind(int row, int column) const;
    QStringList choices(int row, int column) const;

    const FieldCatalogue& catalogue_;
    std::array<std::array<QString, ColumnCount>, kRows> cells_;
};

}  // namespace otherin::query
