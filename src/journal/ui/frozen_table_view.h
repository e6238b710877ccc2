#pragma once

#include <QStyledItemDelegate>
#include <QTableView>

namespace otherin::journal {

// Paints a journal cell: the row's background colour from the model, grey
// vertical cell lines and a grey line above the first line of each bill.
class JournalRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// A table whose leading columns stay in place when it scrolls sideways: a
// second view over the same model and selection lies over them and scrolls
// only up and down with this one.
class FrozenTableView : public QTableView {
    Q_OBJECT
  public:
    explicit FrozenTableView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

    // Model columns 0 to count - 1 stay in place; 0 freezes nothing.
    void setFrozenColumnCount(int count);
    int frozenColumnCount() const { return frozenCount_; }
    QTableView* frozenView() const { return frozen_; }

    // Brings the frozen part in line with this view's hidden columns and
    // widths; call after changing either, or after a model reset.
    void syncFrozenColumns();

    // Top visible row, or -1 when there is none.
    int topRow() const;
    void setTopRow(int row);

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void updateGeometries() override;

  private:
    void updateFrozenGeometry();
    int frozenWidth() const;
    void mainSectionResized(int column, int oldSize, int newSize);
    void frozenSectionResized(int column, int oldSize, int newSize);

    QTableView* frozen_;
    int frozenCount_ = 0;
    bool syncing_ = false;
};

}  // namespace otherin::journal
