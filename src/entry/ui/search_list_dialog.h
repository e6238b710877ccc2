#pragma once

#include <QDialog>

class QAbstractItemModel;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QTableView;

namespace otherin::entry {

// A small modal list with a search box above it, worked from the keyboard:
// typing narrows the list, Up and Down move in it from the search box, Enter,
// a double click or OK picks a row, Esc or Cancel closes without a pick. The
// columns are as wide as what they show; a note under the list says why it
// is empty.
class SearchListDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SearchListDialog(QWidget* parent = nullptr);

    QLineEdit* searchBox() const { return search_; }
    QTableView* view() const { return view_; }
    QDialogButtonBox* buttons() const { return buttons_; }
    // The note under the list; hidden when empty.
    QString note() const;
    // The row of the view's current index, or -1.
    int currentRow() const;

  protected:
    // The model is the subclass's; after every reset its first row becomes
    // current so Enter picks the best match at once.
    void setListModel(QAbstractItemModel* model);
    virtual void searchChanged(const QString& text) = 0;
    // A double click or Enter on a row; -1 when there is no current row.
    virtual void rowActivated(int row) = 0;
    void setNote(const QString& text);
    // Widens the columns to what they show (the list was refilled).
    void fitColumns();
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void selectFirstRow();

    QLineEdit* search_;
    QTableView* view_;
    QLabel* note_;
    QDialogButtonBox* buttons_;
};

}  // namespace otherin::entry
