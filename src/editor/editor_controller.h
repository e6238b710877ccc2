#pragma once

#include <QObject>
#include <functional>
#include <optional>

#include "editor/entry_state.h"
#include "editor/grid_entry.h"
#include "editor/grid_lookup.h"
#include "editor/header_entry.h"
#include "editor/line_checks.h"

namespace otherin::editor {

// The keys line entry reacts to; the window maps its key events to these.
enum class EditorKey { Enter, F7 };

// What the bill editor does with the user's input, one call per event of the
// window. Header fields are addressed by fIndex; grid cells as the grid
// numbers them (columns 1..C, rows 1..N). After each call the window reads
// state() for the look-up button, the line commands and the look-up image,
// and follows the signals for texts and focus.
class EditorController : public QObject {
    Q_OBJECT
  public:
    EditorController(entry::LoginContext& ctx, entry::Prompter& prompter,
                     entry::Selectors selectors, BillForm& form, QObject* parent = nullptr);

    // Header fields. When the focus leaves a field the window first calls
    // headerValidate; only if it accepts does the focus go, with headerLeave.
    void headerFocus(int index);
    bool headerValidate(int index);
    void headerLeave(int index);
    void headerKey(int index, EditorKey key);
    void setHeaderText(int index, const QString& text);
    // Esc in the date field: it shows again the date it held when entered.
    void dateEscape(int index);
    void dateFocus();

    // Line grid. leaveCell decides whether the cursor may go from (c, r) to
    // (c2, r2) (−1 when it leaves the grid); the grid's own edits arrive by
    // its cellEdited signal, so the window need not forward them.
    void gridFocus();
    bool leaveCell(int c, int r, int c2, int r2);
    void cellChanged(int c, int r);
    void gridKey(EditorKey key);

    // Toolbar look-up button, the look-up image and F7.
    void lookupCommand();

    // Before a save or when the editor closes: confirm the active cell's
    // text. False when it was refused (the save stops).
    bool completeCellEdit();
    // Before a command reads the bill: the header field being typed into is
    // checked as leaving it would check it (the focus stays). False when the
    // check refused it (its message has been shown).
    bool completeHeaderEdit();
    // The bill was shown afresh: nothing is typed into it yet, and a header
    // field that keeps the focus shows its new record's code.
    void billShown();
    // More than ten rows stay below row r, so lines can be added after it.
    void keepRoomBelow(int r) { grid_.keepRoomBelow(r); }
    void setSumCell();
    // Every line with an item has a quantity and a confirmed unit; otherwise
    // the user is told which cell and the cursor goes there.
    bool requiredCellsFilled();
    // No stored line text holds a control character; otherwise the same.
    bool lineTextsStorable();
    // Asks whether to save a changed bill; true when the caller may go on.
    bool askToSave();
    // The editor's save command, run when the user answers Yes.
    void setSaveCommand(std::function<bool()> save) { save_ = std::move(save); }

    const EntryState& state() const { return env_.state; }
    // The clerk said a negative price on this blue bill is meant.
    void confirmNegativePrice() { env_.state.negativePriceConfirmed = true; }
    // A save check refused this cell: the cursor goes there.
    void showRefusedCell(const CellPos& at) { focusCell(at); }
    bool isChanged() const { return env_.state.changed; }
    void setChanged(bool changed) { env_.state.changed = changed; }
    bool isCellAccepted() const { return env_.state.cellAccepted; }
    void setCellAccepted(bool accepted) { env_.state.cellAccepted = accepted; }

  signals:
    void headerChanged(int index);
    void headerSelectAll(int index);
    void headerFocusRequested(int index);
    void cellFocusRequested(int column, int row);
    // The cursor left a line for another one.
    void lineLeft(int row);
    // The cursor left a cell (the edit and what its look-up filled are done).
    void cellLeft();
    // The look-up button, the line commands or the look-up image changed.
    void commandsChanged();

  private:
    void afterGridLookup();
    void inputRefused(int c, int r, const QString& typed);
    // The cursor goes to a cell a save check refused.
    void focusCell(const CellPos& at);

    EntryEnv env_;
    // The lines whose price may have to follow a typed amount.
    ChangedRows changedRows_;
    HeaderEntry header_{env_};
    GridLookup lookup_{env_};
    GridEntry grid_{env_, lookup_};
    std::function<bool()> save_;
    // A number cell that just refused what was typed: the move out of it is
    // refused once.
    std::optional<CellPos> refusedCell_;
};

}  // namespace otherin::editor
