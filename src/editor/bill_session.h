#pragma once

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "editor/bill_form.h"
#include "editor/editor_controller.h"
#include "entry/selectors.h"

namespace otherin::bill {
struct SaveOutcome;
}
namespace otherin::entry {
struct LoginContext;
class Prompter;
class SettingsStore;
}  // namespace otherin::entry

namespace otherin::editor {

class BillFollower;
class GridHistory;
class RecoveryCopy;

// Keys of the editor's toolbar buttons. The window addresses its buttons and
// menu items by these keys and asks commandState() for each.
namespace keys {
inline constexpr const char* New = "New";
inline constexpr const char* Copy = "Copy";
inline constexpr const char* Save = "Save";
inline constexpr const char* Check = "Check";
inline constexpr const char* View = "View";
inline constexpr const char* Preview = "Preview";
inline constexpr const char* First = "First";
inline constexpr const char* Back = "Back";
inline constexpr const char* Next = "Next";
inline constexpr const char* End = "End";
inline constexpr const char* Red = "Red";
inline constexpr const char* Blue = "Blue";
inline constexpr const char* InsertRow = "InsertRow";
inline constexpr const char* DeleteRow = "DeleteRow";
inline constexpr const char* Print = "Print";
inline constexpr const char* Exit = "Exit";

// Menu items without a toolbar button of their own. The "工具条" menu's items
// ("红字", "前一个", ...) use the toolbar keys above; "打印预览" is Preview.
inline constexpr const char* MenuEdit = "MenuEdit";                  // the "编辑(&E)" menu itself
inline constexpr const char* MenuInsertRow = "MenuInsertRow";        // "插入行"
inline constexpr const char* MenuDeleteRow = "MenuDeleteRow";        // "删除行"
inline constexpr const char* MenuCopyRow = "MenuCopyRow";            // "行复制"
inline constexpr const char* MenuAfterSaveNew = "MenuAfterSaveNew";  // "保存后新增"
inline constexpr const char* MenuCopyHeader = "MenuCopyHeader";      // "单据复制" / "表头"
inline constexpr const char* MenuCopyEntry = "MenuCopyEntry";        // "单据复制" / "表体"
inline constexpr const char* MenuSave = "MenuSave";                  // "单据保存"
inline constexpr const char* MenuItemNotice = "MenuItemNotice";  // "新增时录入相同物料提示"
inline constexpr const char* MenuStockQuery = "MenuStockQuery";  // "即时库存查询"
inline constexpr const char* MenuHistory = "MenuHistory";        // "修改记录"
inline constexpr const char* MenuClose = "MenuClose";            // "文件(&F)" / "关闭"
inline constexpr const char* Undo = "Undo";                      // "撤销", Ctrl+Z
inline constexpr const char* Redo = "Redo";                      // "重做", Ctrl+Y
}  // namespace keys

// How the window shows one toolbar button or menu item. `checked` is the
// pressed state of Red and Blue and the check mark of the option items.
struct CommandState {
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    bool operator==(const CommandState&) const = default;
};

// The editor's user options, kept as text under "frmMainBill7" in the
// settings store. 0 and 1 as stored; a menu item is checked for 0.
struct EditorOptions {
    int afterSaveNew = 1;  // 0: start a new bill after a save; 1: stay on it
    int copyHeader = 0;    // 1: Copy empties the header fields
    int copyEntry = 0;     // 1: Copy empties the lines
    int itemNotice = 0;    // kept and stored only

    // `section` is the editor window's name with the bill type ("frmMainBill7").
    static EditorOptions read(const entry::SettingsStore& store, const QString& section);
    void write(entry::SettingsStore& store, const QString& section) const;
};

// The maker and checker of the bill, shown beside the layout's header fields.
struct FixedFields {
    QString makerName;  // shown
    QString makerCode;  // the maker's user id
    QString checkerName;
    QString checkerCode;
    bool operator==(const FixedFields&) const = default;
};

// The bill editor without its widgets: one per editor window. It owns the
// bill form and the line-entry controller, runs every command of the window
// and holds the state the window shows (title, fixed fields, marks, the
// states of buttons and menu items). The window forwards user events to
// controller() and the commands below, and re-reads the state on the signals.
//
// Commands that can be refused tell the user through the prompter and answer
// false; the window needs no message of its own.
class BillSession : public QObject {
    Q_OBJECT
  public:
    // How often the new bill being typed is kept on disk, besides each line left.
    static constexpr int kRecoveryEveryMs = 3000;

    // The options are read from `settings` when given, else from the user's
    // own settings store.
    BillSession(entry::LoginContext& ctx, entry::Prompter& prompter, entry::Selectors selectors,
                entry::SettingsStore* settings = nullptr, QObject* parent = nullptr);
    ~BillSession() override;
    BillSession(const BillSession&) = delete;
    BillSession& operator=(const BillSession&) = delete;

    BillForm& form() { return form_; }
    const BillForm& form() const { return form_; }
    EditorController& controller() { return *controller_; }

    // When the window loads: the layout (once per session), the options and
    // the title label. False when the layout could not be built whole.
    bool prepare();
    // When the window is shown: sets up ctx.gEditMode (0 a new bill with a
    // number preview; 1, 2, 4 the bill ctx.gCurrentInterId loaded). Going
    // into or out of the split mode lays the grid out again (the split
    // quantity column comes or goes; the grid announces it by a model reset).
    void start();

    // Toolbar and menu commands.
    void newBill();     // New
    void copyBill();    // Copy
    bool save();        // Save, "单据保存"; true when stored
    bool check();       // Check: audit the shown bill
    void view();        // View: look-up of the active field or cell
    void preview();     // Preview, "打印预览"
    void print();       // Print
    bool first();       // First, "最前"
    bool previous();    // Back, "前一个"
    bool next();        // Next, "后一个"
    bool last();        // End, "最后"
    void makeRed();     // Red
    void makeBlue();    // Blue
    void insertLine();  // InsertRow, "插入行"
    void deleteLine();  // DeleteRow, "删除行"
    void copyLine();    // "行复制"
    // "撤销" and "重做": the last change to the lines (a cell edit with what
    // its look-up filled, a line inserted, deleted or copied, an import),
    // back to the lines as the bill was shown. False when there was none.
    bool undo();
    bool redo();
    void queryStock();          // "即时库存查询"
    void toggleAfterSaveNew();  // "保存后新增"
    void toggleItemNotice();    // "新增时录入相同物料提示"
    // Exit, "关闭" and the window's own close: true when the window may close
    // (the options are then written and the journal refreshed when it asked).
    bool close();

    // Runs the command of a toolbar or menu key; false for an unknown key.
    // Exit and "关闭" run close() and answer whether the window may close;
    // "表头" and "表体" only show their option and run nothing.
    bool runCommand(const QString& key);

    // Preview and Print hand the saved bill's id to this handler (true for a
    // preview). Without one the user is told that printing is not available.
    void setPrintHandler(std::function<void(qint32 billId, bool preview)> handler) {
        printHandler_ = std::move(handler);
    }

    // State the window shows.
    QString title() const;       // gBillName + the mode suffix
    QString titleLabel() const;  // gBillName
    CommandState commandState(const QString& key) const;
    const FixedFields& fixedFields() const { return fixed_; }
    bool redMarkVisible() const { return redMark_; }
    bool auditedMarkVisible() const { return auditedMark_; }
    QString statusText() const { return status_; }
    bool isBusy() const { return busy_; }
    // The tip of grid cell (c, r); empty for none.
    QString gridTip(int c, int r) const;
    const EditorOptions& options() const { return options_; }

    // The layout's header fields named fbillno and fdate hold the bill
    // number and the date (fIndex; 0 when the layout has no such field: the
    // number is then always the counter's and the date today's). The window
    // edits them as any header field, through controller().
    int billNumberField() const;
    int dateField() const;
    QString billNumber() const;
    QDate billDate() const;  // invalid when the text is not a date
    void setBillNumber(const QString& text);
    void setBillDate(const QDate& date);

    // The save of a changed bill in two steps, so the state between the
    // checks and the write can be exercised: save() runs both.
    bool checkChangedBill();
    bool writeChangedBill();
    // The version of the shown bill as loaded or last saved.
    int version() const { return version_; }

    // What is known of other clerks' work on the shown bill; made when the
    // window is first shown.
    BillFollower* follower() const { return follower_.get(); }
    // Shows the stored bill again as it is stored now; unsaved edits are
    // given up after asking. False when it was not reloaded.
    bool reopen();
    // The shown bill can be looked at but not changed or saved.
    void showReadOnly();

  signals:
    // A command state, the marks or the busy pointer changed.
    void commandsChanged();
    void titleChanged();
    void fixedFieldsChanged();
    void statusChanged();
    // The header fields or the grid were refilled as a whole (new bill,
    // loading, copy); the window re-reads every field.
    void billReplaced();

  private:
    void layOut();
    void offerOnlySaveAndExitWhenSplittingOrPricing();
    bool commitEdits();
    bool mayLeaveBill();
    void focusFirstRequiredField();
    void startNewBill();
    bool loadBill(bool keepShownOnFailure);
    bool browseTo(int index);
    bool saveByMode();
    bool saveNewBill();
    bool settle(const bill::SaveOutcome& outcome, const std::vector<int>& rows);
    void keepAsNewBill();
    void afterStoredSave();
    void printCommand(bool preview);
    bool walkHistory(bool (GridHistory::*step)());
    void keepRecoveryCopy();
    void rememberHeader();
    void recallHeader();
    void dropRecoveryCopy();
    void offerRecoveryCopy();
    void recordBaseline();
    bool headerDiffersFromBaseline() const;
    void setMode(int mode);
    void setCommand(const QString& key, bool visible, bool enabled);
    void setChecked(const QString& key, bool checked);
    void setLineCommandsAllowed(bool allowed);
    void showColour(bool red);
    void setBusy(bool busy);
    void showNavigation();
    void showLoadedState(bool audited);
    void disableToolbar();
    QStringList splitTexts() const;
    QString optionsSection() const;
    void restoreLayoutLocks();
    void lockAllBut(std::initializer_list<int> open);
    void moveCursorHome();
    void enableHeader(bool enabled);
    void showOptions();
    void readRights();
    QString rightOf(const QString& key) const;

    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
    entry::Selectors selectors_;
    std::unique_ptr<entry::SettingsStore> ownSettings_;
    entry::SettingsStore& settings_;
    BillForm form_;
    std::unique_ptr<EditorController> controller_;
    std::function<void(qint32, bool)> printHandler_;
    std::unique_ptr<BillFollower> follower_;
    std::unique_ptr<GridHistory> history_;
    // The new bill being typed, kept on disk until it is saved or given up.
    std::unique_ptr<RecoveryCopy> recovery_;
    QTimer recoveryTimer_;
    bool recoveryDue_ = false;

    bool prepared_ = false;
    bool layoutWhole_ = false;
    std::vector<bool> layoutLocks_;  // column locks as the layout set them, by column
    EditorOptions options_;
    FixedFields fixed_;
    std::map<int, QString> baseline_;  // header field index -> what is compared on closing
    std::map<QString, CommandState> commands_;
    // The rights of the guarded commands the user holds, read at each
    // showing; none when they could not be read (the commands then ask).
    std::optional<QStringList> rights_;
    bool redMark_ = false;
    bool auditedMark_ = false;
    bool busy_ = false;
    QString status_;
    int version_ = 0;
};

}  // namespace otherin::editor
