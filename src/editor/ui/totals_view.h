#pragma once

#include <QTableView>

namespace otherin::editor {

class TotalsStrip;
class LineGridView;

// The one-row strip of column sums under the line grid. It follows the grid:
// the same column widths and hidden columns, the same left edge and the same
// horizontal scroll position, so each sum stays under its column.
class TotalsView : public QTableView {
    Q_OBJECT
  public:
    explicit TotalsView(QWidget* parent = nullptr);

    void setStrip(TotalsStrip* strip, LineGridView* grid);

  signals:
    // The width the strip leaves free on its right: the grid's vertical
    // scroll bar when it shows.
    void rightGapChanged(int pixels);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void followColumns();
    void followLeftEdge();

    TotalsStrip* strip_ = nullptr;
    LineGridView* grid_ = nullptr;
};

}  // namespace otherin::editor
