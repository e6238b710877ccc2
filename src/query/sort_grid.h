#pragma once

#include <QAbstractTableModel>
#include <array>

namespace otherin::entry {
class Prompter;
}

namespace otherin::query {

// The ten sort rows of the query dialog. The ascending cell holds "-1"
// (ticked), "0" (unticked) or "" (never set, sorts ascending); rows start
// ticked so that what is shown is what sorts.
class SortGrid : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Number, Title, FieldName, Ascending, ColumnCount };
    static constexpr int kRows = 10;

    explicit SortGrid(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Ticks or unticks the ascending box (CheckStateRole).
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    static bool isColumnHidden(int column) { return column == FieldName; }

    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString& text);

    // Puts the field into the first row without a title, leaving its
    // ascending box as it is. False when all rows are used.
    bool add(const QString& title, const QString& fieldName);
    // Answer the row that is current afterwards.
    int moveUp(int row);
    int moveDown(int row);
    // Asks "确定要删除吗?" first; the rows below move up and an empty row is
    // added at the end.
    bool remove(int row, entry::Prompter& prompter, const QString& title);
    // Empties the titles and field names; the ascending boxes keep their value.
    void clearFields();
    // Every row as new: no field, ticked.
    void reset();

  private:
    struct Row {
        QString title;
        QString fieldName;
        QString ascending = QStringLiteral("-1");
    };
    void rowsChanged(int first, int last);

    std::array<Row, kRows> rows_;
};

}  // namespace otherin::query
