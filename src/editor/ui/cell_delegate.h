#pragma once

#include <QComboBox>
#include <QStyledItemDelegate>

namespace otherin::editor {

class LineGrid;

// An editable drop-down for look-up cells: codes are typed, and opening the
// list asks for the column's selector instead of showing a list of its own.
class LookupComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit LookupComboBox(QWidget* parent = nullptr);
    void showPopup() override { emit lookupRequested(); }

  signals:
    void lookupRequested();
};

// Draws the cells in the model's colours and edits each with what its
// column's cell type needs: numbers with the column's decimals, dates with a
// calendar, long texts on several lines, look-up cells with a drop-down.
class CellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    explicit CellDelegate(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}
    void setGrid(const LineGrid* grid) { grid_ = grid; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  signals:
    // F7 or the drop-down in an open editor: the typed text has been stored.
    void lookupRequested();

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void finishForLookup(QWidget* editor);

    const LineGrid* grid_ = nullptr;
};

}  // namespace otherin::editor
