#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::stock {

// One ledger row of an item on hand.
struct BatchRow {
    QString batchNo;
    QString warehouse;  // name of the warehouse holding the row
    QString unitName;
    double qty = 0;
    double amount = 0;
    double unitCost() const { return amount / qty; }  // qty is never 0 in the list
};

// The batches of one item on hand in the current-stock ledger, one row per
// ledger row (so a batch held in two warehouses shows twice), ordered by the
// batch text. The search text narrows the rows shown; rows are addressed as
// shown.
class BatchListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { BatchNo, Warehouse, Unit, Quantity, UnitCost, Amount, ColumnCount };

    explicit BatchListModel(QObject* parent = nullptr);

    // Loads the batches of ctx.batchItemId. A database failure is reported
    // the standard way and answers false; the rows read before it stay.
    bool load(entry::LoginContext& ctx, entry::Prompter& prompter);

    // Shows only rows whose batch number contains the text, ignoring case.
    void setFilter(const QString& text);
    QString filter() const { return filter_; }
    // Why no row is shown, for the picker to say; empty while rows are shown.
    QString emptyReason() const;

    const BatchRow& rowAt(int row) const { return rows_.at(shown_.at(row)); }

    // Puts the shown row's batch and unit cost into ctx.pickedBatch and
    // ctx.pickedUnitCost. A row that is not shown picks nothing: both are
    // emptied and the answer is false.
    bool pick(entry::LoginContext& ctx, int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Quantities and amounts as the list and the price cell show them.
    static QString formatNumber(double value);

  private:
    void refilter();

    QList<BatchRow> rows_;
    QList<int> shown_;  // indexes into rows_, in list order
    QString filter_;
    QString item_;  // the item's code and name, as the empty list names it
};

}  // namespace otherin::stock
