#include "editor/editor_controller.h"

#include "entry/conversions.h"

#include "editor/bill_form.h"
#include "editor/bill_values.h"
#include "editor/line_checks.h"
#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::editor {

EditorController::EditorController(entry::LoginContext& ctx, entry::Prompter& prompter,
                                   entry::Selectors selectors, BillForm& form, QObject* parent)
    : QObject(parent), env_{ctx, prompter, selectors, form, EntryState()}, changedRows_(form.grid) {
    form.grid.setLookupTip(ctx.gIsShowTip);
    connect(&form.grid, &LineGrid::cellEdited, this, &EditorController::cellChanged);
    connect(&form.grid, &LineGrid::inputRefused, this, &EditorController::inputRefused);
}

// A number cell keeps nothing but a number: what was typed is named, the
// cell keeps what it held and the cursor stays in it.
void EditorController::inputRefused(int c, int r, const QString& typed) {
    refusedCell_ = CellPos{c, r};
    const CellFormat& format = env_.form.grid.column(c).format;
    bool isNumber = false;
    const double value = typed.trimmed().toDouble(&isNumber);
    const QString what =
        isNumber ? QStringLiteral("超出允许的范围") : QStringLiteral("不是有效的数字");
    // The columns' bounds are whole numbers (0, 100, the largest amount).
    QString bounds;
    if (isNumber && format.min && value < *format.min) {
        bounds = QStringLiteral("(不能小于%1)").arg(entry::plainNumber(*format.min, 0));
    } else if (isNumber && format.max && value > *format.max) {
        bounds = QStringLiteral("(不能大于%1)").arg(entry::plainNumber(*format.max, 0));
    }
    env_.prompter.message(QStringLiteral("%1\"%2\"%3%4,请重新输入!")
                              .arg(cellName(env_.form, c, r), typed.trimmed(), what, bounds),
                          entry::Icon::Exclamation, env_.ctx.msgTitle);
    emit cellFocusRequested(c, r);
}

void EditorController::headerFocus(int index) {
    header_.focus(index);
    emit headerChanged(index);
    emit headerSelectAll(index);
    emit commandsChanged();
}

bool EditorController::headerValidate(int index) {
    const bool accepted = header_.validate(index);
    emit headerChanged(index);
    if (!accepted) emit headerSelectAll(index);
    return accepted;
}

void EditorController::headerLeave(int index) {
    header_.leave(index);
    emit headerChanged(index);
    emit commandsChanged();
}

void EditorController::headerKey(int index, EditorKey key) {
    if (key == EditorKey::F7) {
        if (header_.lookup(index)) emit headerChanged(index);
        return;
    }
    if (const auto next = header_.nextInTabOrder(index)) {
        emit headerFocusRequested(*next);
    } else {
        emit cellFocusRequested(env_.state.active.column, env_.state.active.row);
    }
}

void EditorController::setHeaderText(int index, const QString& text) {
    HeaderField* f = env_.form.headerField(index);
    if (!f) return;
    f->text = text;
    if (env_.state.focus == Focus::Header && env_.state.focusedHeader == index)
        env_.state.headerTyped = true;
}

void EditorController::dateFocus() {
    env_.state.focus = Focus::Date;
    if (const HeaderField* f = dateField(env_.form)) env_.state.dateOnEntry = f->text;
    env_.state.lookupButtonEnabled = false;
    env_.state.lineCommandsEnabled = false;
    emit commandsChanged();
}

void EditorController::dateEscape(int index) {
    HeaderField* f = env_.form.headerField(index);
    if (!f || f != dateField(env_.form)) return;
    f->text = env_.state.dateOnEntry;
    emit headerChanged(index);
}

void EditorController::gridFocus() {
    grid_.enter(env_.state.active.column, env_.state.active.row);
    emit commandsChanged();
}

bool EditorController::leaveCell(int c, int r, int c2, int r2) {
    // The move that committed a refused number stays in its cell.
    if (refusedCell_ && refusedCell_->column == c && refusedCell_->row == r) {
        refusedCell_.reset();
        emit cellFocusRequested(c, r);
        return false;
    }
    refusedCell_.reset();
    const bool allowed = grid_.leave(c, r, c2, r2);
    if (allowed) emit cellLeft();
    if (allowed && r2 > 0 && r2 != r) emit lineLeft(r);
    emit commandsChanged();
    return allowed;
}

void EditorController::cellChanged(int c, int r) {
    env_.state.changed = true;
    if (c == env_.state.active.column && r == env_.state.active.row) env_.state.cellTyped = true;
    if (env_.ctx.gLoadingBill != 1 && c == env_.state.active.column) setSumCell();
}

void EditorController::gridKey(EditorKey key) {
    if (key != EditorKey::F7) return;
    if (lookup_.lookup(env_.state.active.column, env_.state.active.row)) afterGridLookup();
    emit commandsChanged();
}

void EditorController::afterGridLookup() {
    env_.state.changed = true;
    if (env_.ctx.gLoadingBill != 1) setSumCell();
}

void EditorController::lookupCommand() {
    if (env_.state.focus == Focus::Header) {
        headerKey(env_.state.focusedHeader, EditorKey::F7);
    } else if (env_.state.focus == Focus::Grid) {
        gridKey(EditorKey::F7);
    }
}

// The active cell is completed even when the focus has gone elsewhere: a code
// typed and never confirmed must not be saved as a line without its item.
bool EditorController::completeCellEdit() {
    // A cell left as it was when the cursor came (or as its last check left
    // it) has nothing to complete: a save does not look its code up again.
    if (!env_.state.cellTyped && env_.state.cellAccepted) return true;
    env_.state.cellAccepted = true;
    const bool accepted = env_.form.grid.rows() == 0 || grid_.complete();
    emit commandsChanged();
    return accepted;
}

bool EditorController::completeHeaderEdit() {
    if (env_.state.focus != Focus::Header || !env_.state.headerTyped) return true;
    return headerValidate(env_.state.focusedHeader);
}

void EditorController::billShown() {
    env_.state.headerTyped = false;
    env_.state.negativePriceConfirmed = false;
    if (env_.state.focus == Focus::Header) headerFocus(env_.state.focusedHeader);
    // The grid kept the focus: its line commands follow what the new bill allows.
    if (env_.state.focus == Focus::Grid)
        env_.state.lineCommandsEnabled = !env_.form.grid.isReadOnly();
}

void EditorController::setSumCell() {
    editor::setSumCell(env_.form, changedRows_, env_.state.active.column);
}

bool EditorController::requiredCellsFilled() {
    const auto missing = findMissingRequiredCell(env_.form, env_.ctx, env_.prompter);
    if (!missing) return true;
    focusCell(*missing);
    return false;
}

bool EditorController::lineTextsStorable() {
    const auto refused = findControlCharacterCell(env_.form, env_.ctx, env_.prompter);
    if (!refused) return true;
    focusCell(*refused);
    return false;
}

void EditorController::focusCell(const CellPos& at) {
    grid_.enter(at.column, at.row);
    emit cellFocusRequested(at.column, at.row);
    emit commandsChanged();
}

bool EditorController::askToSave() {
    if (!env_.state.changed) return true;
    switch (env_.prompter.question(QStringLiteral("单据已经改变，是否保存？"),
                                   entry::Buttons::YesNoCancel, entry::Icon::Question,
                                   env_.ctx.msgTitle)) {
        case entry::Answer::No:
            return true;
        case entry::Answer::Yes:
            return save_ && save_();
        default:
            return false;
    }
}

}  // namespace otherin::editor
