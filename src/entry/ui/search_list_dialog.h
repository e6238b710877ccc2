#pragma once

#include <QDialog>

class QAbstractItemModel;
class QLineEdit;
class QTableView;

namespace otherin::entry {

// A small modal list with a search box above it, worked from the keyboard:
// typing narrows the list, Up and Down move in it from the search box, Enter
// or a double click picks a row, Esc closes without a pick.
class SearchListDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SearchListDialog(QWidget* parent = nullptr);

    QLineEdit* searchBox() const { return search_; }
    QTableView* view() const { return view_; }
    // The row of the view's current index, or -1.
    int currentRow() const;

  protected:
    // The model is the subclass's; after every reset its first row becomes
    // current so Enter picks the best match at once.
    void setListModel(QAbstractItemModel* model);
    virtual void searchChanged(const QString& text) = 0;
    // A double click or Enter on a row; -1 when there is no current row.
    virtual void rowActivated(int row) = 0;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void selectFirstRow();

    QLineEdit* search_;
    QTableView* view_;
};

}  // namespace otherin::entry
