#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "editor/line_grid.h"

namespace otherin::editor {

// The one-row grid under the line grid that shows the column sums. It mirrors
// the line grid's columns: the same numbering, widths and hidden columns, so
// both stay aligned whatever the layout hides.
class TotalsStrip : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit TotalsStrip(const LineGrid& grid, QObject* parent = nullptr);

    int columns() const { return static_cast<int>(sums_.size()) - 1; }

    // Row 1 of column c, as shown with the column's decimals.
    QString text(int c) const;
    double value(int c) const;
    void setSum(int c, double sum);
    void clearSums();

    // The column facts kept in the strip's cells: row 0 code = red flag,
    // row 0 key = may-be-empty flag, row 1 code = insert flag.
    QString code(int c, int r) const;
    QString key(int c, int r) const;

    bool isColumnHidden(int c) const { return grid_.isColumnHidden(c); }
    double columnWidth(int c) const { return grid_.column(c).width; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    void followGrid();

    const LineGrid& grid_;
    std::vector<QString> sums_{1};
};

}  // namespace otherin::editor
