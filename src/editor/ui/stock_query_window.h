#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>
#include <vector>

#include "editor/stock_query.h"
#include "entry/selectors.h"

class QTableView;

namespace otherin::editor {

// The ledger rows shown by the stock window.
class StockTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(std::vector<StockRow> rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    std::vector<StockRow> rows_;
};

// "即时库存查询": current stock by warehouse, item and batch, narrowed by the
// condition the editor gives.
class StockQueryWindow : public QDialog {
    Q_OBJECT
  public:
    StockQueryWindow(entry::LoginContext& ctx, entry::Prompter& prompter,
                     QWidget* parent = nullptr);

    // Loads the rows the condition lets through. False, with the reason told,
    // when the condition is not one the editor makes or the database fails.
    bool load(const QString& condition);
    StockTableModel& model() { return model_; }

  private:
    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
    StockTableModel model_;
    QTableView* view_;
};

class QtStockQueryViewer : public entry::StockQueryViewer {
  public:
    QtStockQueryViewer(entry::LoginContext& ctx, entry::Prompter& prompter,
                       QWidget* parent = nullptr)
        : ctx_(ctx), prompter_(prompter), parent_(parent) {}
    // The window is made for one query and gone afterwards; the kind is not used.
    void show(const QString& condition, int kind) override;

  private:
    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
    QPointer<QWidget> parent_;
};

}  // namespace otherin::editor
