#pragma once

#include <QDate>
#include <QWidget>
#include <map>

#include "editor/bill_form.h"
#include "editor/editor_controller.h"

class QLabel;
class QLineEdit;
class QToolButton;

namespace otherin::editor {

// The bill's header fields, each at the place the layout gives it, with its
// caption to its left and the look-up image where the form puts it. The
// panel shows what the form holds and reports what the user does; it decides
// nothing itself.
class HeaderPanel : public QWidget {
    Q_OBJECT
  public:
    explicit HeaderPanel(QWidget* parent = nullptr);

    // Creates one input per header field; `dateIndex` (0 for none) is typed
    // as text or picked in a calendar.
    void build(const BillForm& form, int dateIndex);

    // Shows the field's text, visibility and whether it may be edited.
    void showField(int index);
    void showAllFields();
    void showDate(const QDate& date);
    // Moves the look-up image where the form says and shows or hides it.
    void showLookupImage();
    void selectAll(int index);

    QWidget* input(int index) const;
    // The header field an input widget (or one inside it) belongs to; 0 for none.
    int indexOf(const QWidget* widget) const;
    bool isDateField(int index) const { return index != 0 && index == dateIndex_; }
    // The visible inputs in their tab order.
    std::vector<QWidget*> tabChain() const;
    QToolButton* lookupImage() const { return lookupImage_; }

  signals:
    void textEdited(int index, const QString& text);
    void dateEdited(int index, const QDate& date);
    // Esc in the date field: the date it held when entered comes back.
    void dateEscaped(int index);
    void keyPressed(int index, EditorKey key);
    void lookupImageClicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Input {
        QLabel* caption = nullptr;
        QLineEdit* edit = nullptr;
        QWidget* box = nullptr;  // the date: its text and the calendar button
        QToolButton* calendar = nullptr;
        QWidget* widget() const;
    };

    void clear();
    void addField(const HeaderField& field);
    void placeCaption(QLabel* caption, const QRect& field);
    void pickDate(int index);

    const BillForm* form_ = nullptr;
    int dateIndex_ = 0;
    std::map<int, Input> inputs_;
    QToolButton* lookupImage_;
};

}  // namespace otherin::editor
