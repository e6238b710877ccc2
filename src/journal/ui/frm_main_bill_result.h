#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "journal/journal_commands.h"
#include "journal/journal_follow.h"
#include "query/journal_model.h"

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QVBoxLayout;

namespace otherin::entry {
struct LoginContext;
class Prompter;
class WindowPlacement;
}  // namespace otherin::entry
namespace otherin::query {
class BillFindController;
}

namespace otherin::journal {

class FrozenTableView;

// The windows the journal opens; whoever wires the windows provides them.
struct JournalWindowHooks {
    std::function<void()> openEditor;  // the bill editor, modal
    std::function<void()> showQuery;   // the query dialog, modal; its OK reloads the journal
};

// The journal ("序时簿"): the lines of the bills the query found and the
// commands on them. The query dialog's OK fills it and shows it modally.
class frmMainBillResult : public QDialog, private JournalView {
    Q_OBJECT
  public:
    frmMainBillResult(entry::LoginContext& ctx, entry::Prompter& prompter,
                      query::BillFindController& query, JournalWindowHooks hooks,
                      QWidget* parent = nullptr);
    ~frmMainBillResult() override;

    query::JournalModel& model() { return model_; }
    entry::WindowPlacement& placement() { return *placement_; }
    FrozenTableView* grid() const { return grid_; }
    // A menu item or toolbar button by its name ("MenuEditAdd", "New", ...).
    QAction* command(const QString& name) const;
    QMenu* editMenu() const { return editMenu_; }
    QToolBar* toolBar() const { return toolBar_; }
    QString statusText() const;
    JournalFollower& follower() { return *follower_; }
    // The bar above the grid that stands for a reload of a long journal.
    QWidget* changeBar() const { return changeBar_; }
    // Data columns that stay in place when the grid scrolls sideways.
    int lockedColumns() const { return lockedColumns_; }
    // Column widths in pixels, hidden columns included.
    const std::vector<int>& columnWidths() const { return widths_; }

    void showModal();
    // Every way of closing ends here: the widths and the lock count are kept.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int rowCount() const override;
    bool isTotalsRow(int row) const override;
    qint64 interId(int row) const override;
    QString billNumber(int row) const override { return model_.billNo(row); }
    int currentRow() const override;
    int topRow() const override;
    bool isRowSelected(int row) const override;
    void setCurrentRow(int row) override;
    void setTopRow(int row) override;
    bool reload() override;
    bool reloadQuietly() override;
    void selectRow(int row) override;
    // Between commands: nothing above the journal, no menu, no button held.
    bool clerkIsIdle() const;
    void buildChangeBar(QVBoxLayout* layout);
    void showQuery() override;
    void openEditor() override;

    void buildCommands();
    QLabel* legend();
    QAction* addCommand(const QString& name, const QString& text,
                        const std::function<void()>& handler);
    void setUpGrid();
    void firstActivation();
    void applyLayout();
    void applyFrozen();
    std::vector<int> designedWidths() const;
    void restoreWidths(int type);
    void lockColumns();
    // "修改记录" of the current row's bill.
    void showHistory();
    void columnResized(int column, int newSize);

    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
    query::BillFindController& query_;
    JournalWindowHooks hooks_;
    query::JournalModel model_;
    JournalCommands commands_;
    ColumnLock lock_;
    FrozenTableView* grid_ = nullptr;
    QLabel* status_ = nullptr;
    QWidget* changeBar_ = nullptr;
    QLabel* changeText_ = nullptr;
    JournalFollower* follower_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    std::vector<int> widths_;
    int lockedColumns_ = 0;
    bool activated_ = false;
    bool laying_ = false;
    entry::WindowPlacement* placement_ = nullptr;
};

}  // namespace otherin::journal
