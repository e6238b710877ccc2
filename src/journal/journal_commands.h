#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::journal {

// The journal window as its commands see it. Rows are the grid's lines from 0,
// then the totals row when there are lines; the heading is not a row. The
// saved positions gJournalRow and gJournalTopRow use the same numbering.
class JournalView {
  public:
    virtual ~JournalView() = default;
    virtual int rowCount() const = 0;
    virtual bool isTotalsRow(int row) const = 0;
    // The bill id of the line (column 0).
    virtual qint64 interId(int row) const = 0;
    // The bill number of the line; empty when the journal does not show it.
    virtual QString billNumber(int row) const = 0;
    // -1 when no row is current.
    virtual int currentRow() const = 0;
    virtual int topRow() const = 0;
    virtual bool isRowSelected(int row) const = 0;
    virtual void setCurrentRow(int row) = 0;
    virtual void setTopRow(int row) = 0;
    // Re-runs the query dialog's current query into the grid; false when it
    // failed (the user has been told).
    virtual bool reload() = 0;
    // The same without a word: no progress, no message; false when it failed.
    virtual bool reloadQuietly() = 0;
    // Adds a row to the selection; the current row stays.
    virtual void selectRow(int row) = 0;
    // Shows the query dialog modally; its OK reloads the grid.
    virtual void showQuery() = 0;
    // Shows the bill editor modally for the context's mode and bill.
    virtual void openEditor() = 0;
};

// Every command of the journal's menus and toolbar.
enum class JournalCommand {
    New,
    Change,
    Check,
    UnCheck,
    Cancel,
    UnCancel,
    Delete,
    WriteOff,
    UnWriteOff,
    Split,
    Restore,
    RestoreColumnWidths,
    LockColumns,
    Export,
    Refresh,
    Filter,
    Exit,
};

// After entry for price editing (gEntryKind 3) only opening bills and the
// list's own commands stay; everything that adds, removes or changes the
// state of bills is off.
bool isCommandAvailable(const entry::LoginContext& ctx, JournalCommand command);

// The selected bill rows' ids, each once, in grid order, joined by "," (the
// totals row never counts). Empty when no row is current.
QString selectedIdList(const JournalView& view);

// t_QV_tableinfo's name for the journal's column widths.
QString columnLayoutName(const entry::LoginContext& ctx);

// The journal's commands. Each stops at the first refusal, which it tells;
// a command that is not available does nothing.
class JournalCommands {
  public:
    JournalCommands(entry::LoginContext& ctx, entry::Prompter& prompter, JournalView& view)
        : ctx_(ctx), prompter_(prompter), view_(view) {}

    bool addNew();
    // The change command checks the period and the right; a double click
    // opens the current bill without either.
    bool change();
    bool openCurrent();

    bool check();
    bool unCheck();
    bool cancel();
    bool unCancel();
    bool remove();

    bool writeOff();
    bool unWriteOff();
    bool split();
    bool restore();

    // Re-run the query (or change it first) and keep the current row.
    bool refresh();
    // Reload without a word after other clerks' writes, keeping the current
    // bill, the top row and the selected lines (each found again by its bill
    // and its place in the bill). The saved positions are left alone.
    bool followChanges();
    void filter();

  private:
    using Operation = bool (*)(entry::LoginContext&, entry::Prompter&);

    bool permitted(JournalCommand command, const char* actionCode, bool periodCheck = true);
    bool runOnSelection(JournalCommand command, const char* actionCode, Operation operation,
                        const QString& success);
    bool isBillRow(int row) const;
    void openEditorAndRefresh();
    void restoreRow();
    void restoreRowTo(int row);
    bool reloadKeepingRow();
    void reloadKeepingPosition();
    void keepCurrentBill();
    QString selectedNumbers() const;

    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
    JournalView& view_;
    // The bill on the remembered row, found again after a reload.
    qint64 keptBill_ = 0;
};

// The lock count: how many leading data columns stay in place when the
// journal scrolls sideways, kept in SetupInfo.ini per bill type. The frozen
// part also holds the three hidden id columns before them.
class ColumnLock {
  public:
    static constexpr int kIdColumns = 3;

    explicit ColumnLock(entry::LoginContext& ctx) : ctx_(ctx) {}

    // Points the context at SetupInfo.ini and reads the stored count. Answers
    // the data columns to freeze for a grid of `columnCount` columns: 0 when
    // the stored count is not a number of at least 1 that fits.
    int load(int columnCount);
    // The input box. Answers the data columns to freeze, or nothing when the
    // answer is cancelled, not a number, negative or too large for the grid.
    std::optional<int> ask(entry::Prompter& prompter, int columnCount);
    void save() const;

    const QString& count() const { return count_; }

  private:
    entry::LoginContext& ctx_;
    QString count_ = QStringLiteral("0");
};

}  // namespace otherin::journal
