#pragma once

#include <QDialog>
#include <memory>

#include "entry/windows.h"

class QLabel;
class QLineEdit;
class QStatusBar;
class QVBoxLayout;
class QWidget;

namespace otherin::entry {
struct LoginContext;
class Prompter;
class SettingsStore;
class QtRecordSelector;
class QtSecondRecordSelector;
class QtUnitSelector;
class WindowPlacement;
}  // namespace otherin::entry

namespace otherin::bill {
class QtHistoryViewer;
}

namespace otherin::stock {
class QtBatchPicker;
}  // namespace otherin::stock

namespace otherin::editor {

class BillCommands;
class BillSession;
class FocusRouter;
class HeaderPanel;
class LineGridView;
class QtStockQueryViewer;
class TotalsView;

// The bill editor window. It lays itself out from the bill's layout, hands
// every user event to the session and its line-entry controller, and shows
// what they hold: header fields, lines, sums, title, marks and which commands
// may be used.
class frmMainBill : public QDialog {
    Q_OBJECT
  public:
    frmMainBill(entry::LoginContext& ctx, entry::Prompter& prompter, QWidget* parent = nullptr);
    ~frmMainBill() override;

    // Where the editor's options are kept; the user's own settings when not
    // set. Takes effect at the first prepare().
    void setSettingsStore(entry::SettingsStore* settings);
    entry::WindowPlacement& placement() { return *placement_; }

    // Sets the window up for the context's current mode: the layout on the
    // first call, then the mode's bill.
    void prepare();

    BillSession* session() const { return session_.get(); }
    HeaderPanel* headerPanel() const { return header_; }
    LineGridView* gridView() const { return grid_; }
    TotalsView* totalsView() const { return totals_; }
    BillCommands* commands() const { return commands_; }
    QLineEdit* makerField() const { return maker_; }
    QLineEdit* checkerField() const { return checker_; }
    QLabel* redMark() const { return redMark_; }
    QLabel* auditedMark() const { return auditedMark_; }
    QStatusBar* statusBar() const { return status_; }
    // The bar above the grid that tells of other clerks' work on the bill.
    QWidget* noticeBar() const { return noticeBar_; }
    QLabel* noticeText() const { return noticeText_; }

    // Runs a toolbar or menu command as if its button were pressed.
    void runCommand(const QString& key);

  public slots:
    // Closing asks the session first: a changed bill may be saved or kept open.
    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildFrame();
    void createSession();
    void buildFromLayout();
    void connectSession();
    void buildNoticeBar(QVBoxLayout* layout);
    void showNotice();
    void runLookup();
    void showCommands();
    void showTitle();
    void showFixedFields();
    void showStatus();
    void showBill();
    void showCursor();
    void focusCell(int c, int r);

    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
    entry::SettingsStore* settings_ = nullptr;
    entry::WindowPlacement* placement_ = nullptr;

    std::unique_ptr<entry::QtRecordSelector> records_;
    std::unique_ptr<entry::QtSecondRecordSelector> second_;
    std::unique_ptr<entry::QtUnitSelector> units_;
    std::unique_ptr<stock::QtBatchPicker> batches_;
    std::unique_ptr<QtStockQueryViewer> stockQuery_;
    std::unique_ptr<bill::QtHistoryViewer> history_;
    std::unique_ptr<BillSession> session_;

    BillCommands* commands_ = nullptr;
    QLabel* titleLabel_ = nullptr;
    QLabel* redMark_ = nullptr;
    QLabel* auditedMark_ = nullptr;
    HeaderPanel* header_ = nullptr;
    LineGridView* grid_ = nullptr;
    TotalsView* totals_ = nullptr;
    QWidget* stripGap_ = nullptr;
    QLineEdit* maker_ = nullptr;
    QLineEdit* checker_ = nullptr;
    QStatusBar* status_ = nullptr;
    QWidget* noticeBar_ = nullptr;
    QLabel* noticeText_ = nullptr;
    QWidget* reopen_ = nullptr;
    bool followerShown_ = false;
    FocusRouter* focus_ = nullptr;
    bool busyCursor_ = false;
};

class BillEditorWindow : public entry::ModalWindow {
  public:
    BillEditorWindow(entry::LoginContext& ctx, entry::Prompter& prompter)
        : window_(ctx, prompter) {}
    void showModal() override;
    frmMainBill& window() { return window_; }

  private:
    frmMainBill window_;
};

}  // namespace otherin::editor
