#pragma once

#include <QItemSelectionModel>
#include <QTableView>
#include <functional>

namespace otherin::editor {

class LineGrid;
class CellDelegate;

// The current cell of the line grid moves only when the guard lets it: the
// editor checks what was typed before the cursor may leave a cell.
class CursorGuard : public QItemSelectionModel {
    Q_OBJECT
  public:
    // (c, r) → (c2, r2) in the grid's own numbering (columns and rows from 1).
    using Guard = std::function<bool(int c, int r, int c2, int r2)>;

    explicit CursorGuard(QAbstractItemModel* model, QObject* parent = nullptr)
        : QItemSelectionModel(model, parent) {}
    void setGuard(Guard guard) { guard_ = std::move(guard); }
    // Moves without asking: the editor itself put the cursor there.
    void moveUnguarded(const QModelIndex& index);

    void setCurrentIndex(const QModelIndex& index,
                         QItemSelectionModel::SelectionFlags command) override;

  private:
    Guard guard_;
    bool unguarded_ = false;
};

// The view of the bill's lines: one row per line, cells edited in place by
// the cell delegate. Enter and Tab move on to the next cell; F7 asks for a
// look-up. Row heights are fixed so long grids scroll without measuring.
class LineGridView : public QTableView {
    Q_OBJECT
  public:
    explicit LineGridView(QWidget* parent = nullptr);

    void setGrid(LineGrid* grid);
    LineGrid* grid() const { return grid_; }
    CursorGuard* cursor() const { return cursor_; }
    CellDelegate* cellDelegate() const { return delegate_; }
    void setTipProvider(std::function<QString(int c, int r)> tips) { tips_ = std::move(tips); }

    // Puts the cursor on grid cell (c, r) without the guard.
    void showCursorAt(int c, int r);
    // Stores what the open cell editor holds and closes it; false when no
    // editor was open.
    bool commitOpenEditor();
    // Widths, hidden columns and row height as the model gives them.
    void applyLayout();

  signals:
    void lookupRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    bool viewportEvent(QEvent* event) override;
    // Enter and Tab (next and previous) pass over cells the user cannot type
    // into; the arrows still reach every cell.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

  private:
    void moveOn(CursorAction action);
    QModelIndex nextTypable(const QModelIndex& from, bool forward) const;
    void storeColumnWidth(int section, int oldSize, int newSize);

    LineGrid* grid_ = nullptr;
    CursorGuard* cursor_ = nullptr;
    CellDelegate* delegate_;
    std::function<QString(int, int)> tips_;
    bool applying_ = false;
};

}  // namespace otherin::editor
