#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "entry/selectors.h"
#include "entry/windows.h"
#include "query/bill_find_controller.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableView;

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::entry {
class WindowPlacement;
}

namespace otherin::query {

class ConditionView;
class JournalModel;

// The journal as the query dialog drives it. The wiring of the windows
// provides it, so this dialog needs no journal window of its own.
class ResultWindow {
  public:
    virtual ~ResultWindow() = default;
    virtual JournalModel& model() = 0;
    virtual bool isShowing() const = 0;
    // Shows the journal modally; returns when it is closed.
    virtual void showModal() = 0;
};
using ResultWindowFactory = std::function<std::unique_ptr<ResultWindow>(BillFindController&)>;

// The query dialog: conditions, quick filters, sort fields and schemes for
// the journal. It stays hidden behind the journal, so the journal's Filter
// and Refresh reuse what it holds.
class frmMainBillFind : public QDialog {
    Q_OBJECT
  public:
    frmMainBillFind(entry::LoginContext& ctx, entry::Prompter& prompter,
                    entry::Selectors selectors = {}, QWidget* parent = nullptr);
    ~frmMainBillFind() override;

    void setResultWindowFactory(ResultWindowFactory factory) { makeResult_ = std::move(factory); }
    BillFindController& controller() { return controller_; }
    entry::WindowPlacement& placement() { return *placement_; }
    ResultWindow* resultWindow() const { return result_.get(); }

    // Opening: caption, field catalogue, filters, schemes and the default
    // scheme.
    void prepare();
    // The journal's Filter: modal again with the last inputs, until OK or
    // Close hides it.
    void showAgain();

    // OK: loads the journal and shows it; the dialog stays when the query
    // fails.
    void ok();

    ConditionView* conditionView() const { return conditions_; }
    QTableView* sortView() const { return sortView_; }
    QListWidget* sortTitleList() const { return sortTitles_; }
    QListWidget* schemeList() const { return schemes_; }
    QComboBox* filterBox(QuickFilters::Kind kind) const { return filterBoxes_[kind]; }
    QLabel* hintLabel() const { return hint_; }
    QPushButton* okButton() const { return okButton_; }

  signals:
    void hidden();

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    QWidget* buildSchemePanel();
    QWidget* buildConditionPanel();
    QWidget* buildFilterPanel();
    QWidget* buildSortPanel();
    void showFilters();
    void showSchemes();
    void schemeClicked();
    void saveScheme();
    void deleteScheme();
    void clearConditions();
    void addSortField();
    void moveSort(bool up);
    void removeSortRow();
    int sortRow() const;
    void pick(int row);

    BillFindController controller_;
    ResultWindowFactory makeResult_;
    std::unique_ptr<ResultWindow> result_;
    ConditionView* conditions_ = nullptr;
    QTableView* sortView_ = nullptr;
    QListWidget* sortTitles_ = nullptr;
    QListWidget* schemes_ = nullptr;
    std::array<QComboBox*, QuickFilters::KindCount> filterBoxes_{};
    entry::WindowPlacement* placement_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* okButton_ = nullptr;
};

// The query dialog as the component's entry operations show it.
class QueryDialogWindow : public entry::ModalWindow {
  public:
    QueryDialogWindow(entry::LoginContext& ctx, entry::Prompter& prompter,
                      entry::Selectors selectors = {})
        : window_(ctx, prompter, selectors) {}
    void showModal() override;
    frmMainBillFind& window() { return window_; }

  private:
    frmMainBillFind window_;
};

}  // namespace otherin::query
