#pragma once

#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>

namespace otherin::query {

class ConditionGrid;

// Edits a condition cell as its kind says: drop-downs for connector, field
// and operator, number, text and date editors for the value, and a picker
// button (or F7) on values with base data behind them.
class ConditionDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    // `pick` asks the row's selector for a value.
    ConditionDelegate(std::function<void(int row)> pick, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), pick_(std::move(pick)) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

  protected:
    // A value the query would refuse is drawn in red.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void commitAndClose();
    void pickFrom(QWidget* editor, int row);

    std::function<void(int row)> pick_;
};

// The condition grid. Leaving a cell for a lower row is refused while a row
// above it lacks its field, operator or connector; F7 picks a value.
class ConditionView : public QTableView {
    Q_OBJECT
  public:
    explicit ConditionView(ConditionGrid& grid, QWidget* parent = nullptr);

  signals:
    // What keeps the cursor where it is.
    void moveRefused(const QString& why);
    void pickRequested(int row);

  protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool refuses(const QModelIndex& target);

    ConditionGrid& grid_;
};

}  // namespace otherin::query
