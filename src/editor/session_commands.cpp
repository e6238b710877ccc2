// The editor's commands on the bill and its lines.
#include "bill/bill_operations.h"
#include "editor/bill_checks.h"
#include "editor/bill_session.h"
#include "editor/bill_values.h"
#include "editor/grid_history.h"
#include "editor/line_checks.h"
#include "editor/stock_query.h"
#include "entry/edit_mode.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "stock/bill_numbering.h"

namespace otherin::editor {

namespace {

using entry::Icon;

bool answeredYes(entry::LoginContext& ctx, entry::Prompter& prompter, const QString& question) {
    return prompter.question(question, entry::Buttons::YesNo, Icon::Question, ctx.msgTitle) ==
           entry::Answer::Yes;
}

void emptyHeader(BillForm& form) {
    for (HeaderField& f : form.header) {
        f.text.clear();
        f.code.clear();
        f.keyValue.clear();
    }
}

}  // namespace

// What is being typed belongs to the bill before a command reads it: the
// header field with the focus is checked as leaving it would be, the cell
// with the cursor as moving on would. False when either was refused.
bool BillSession::commitEdits() {
    if (!controller_->completeHeaderEdit()) return false;
    return controller_->state().focus != Focus::Grid || controller_->completeCellEdit();
}

// Every way of leaving the shown bill offers to save it first when its
// header or its lines changed; true when the caller may go on.
bool BillSession::mayLeaveBill() {
    if (!commitEdits()) return false;
    if (headerDiffersFromBaseline()) controller_->setChanged(true);
    if (!controller_->askToSave()) return false;
    // Saved, or given up knowingly: nothing is left to recover.
    dropRecoveryCopy();
    return true;
}

// After a new bill or a save the user starts again at the top of the header.
void BillSession::focusFirstRequiredField() {
    const HeaderField* first = nullptr;
    for (const HeaderField& f : form_.header) {
        if (f.canBeEmpty || !f.visible || !f.enabled) continue;
        if (!first || f.tabOrder < first->tabOrder) first = &f;
    }
    if (first) emit controller_->headerFocusRequested(first->index);
}

void BillSession::startNewBill() {
    const QString number = stock::previewBillNumber(ctx_, prompter_, ctx_.gBillTypeId);
    ctx_.gIsRedBill = 0;
    version_ = 0;
    setMode(entry::kModeNew);
    emptyHeader(form_);
    enableHeader(true);
    recallHeader();
    setBillNumber(number);
    setBillDate(QDate::currentDate());
    fixed_ = {ctx_.gLoginUserName, ctx_.gLoginUserId, QString(), QString()};
    form_.grid.clearCells();
    form_.strip.clearSums();
    form_.grid.setReadOnly(false);
    restoreLayoutLocks();
    auditedMark_ = false;
    showColour(false);
    for (const char* key : {keys::Red, keys::Blue, keys::InsertRow, keys::DeleteRow})
        commands_[QLatin1String(key)].enabled = true;
    setLineCommandsAllowed(true);
    showNavigation();
    moveCursorHome();
    controller_->setChanged(false);
    recordBaseline();
    offerRecoveryCopy();
    controller_->billShown();
    emit billReplaced();
    emit fixedFieldsChanged();
    emit commandsChanged();
    focusFirstRequiredField();
}

void BillSession::newBill() {
    if (!mayLeaveBill()) return;
    startNewBill();
}

void BillSession::copyBill() {
    if (!mayLeaveBill()) return;
    const QString number = stock::previewBillNumber(ctx_, prompter_, ctx_.gBillTypeId);
    LineGrid& grid = form_.grid;
    for (int r = 1; r <= grid.rows(); ++r) grid.setLineKey(r, QString());
    if (options_.copyHeader == 1) emptyHeader(form_);
    if (options_.copyEntry == 1) {
        grid.clearCells();
        form_.strip.clearSums();
    }
    // The copy is a new bill of its own: it may be edited and coloured.
    enableHeader(true);
    setBillNumber(number);
    grid.setReadOnly(false);
    auditedMark_ = false;
    for (const char* key : {keys::Red, keys::Blue}) commands_[QLatin1String(key)].enabled = true;
    setLineCommandsAllowed(true);
    fixed_ = {ctx_.gLoginUserName, ctx_.gLoginUserId, QString(), QString()};
    setMode(entry::kModeNew);
    version_ = 0;
    showNavigation();
    recordBaseline();
    // Lines copied are a bill not yet saved; closing asks about them.
    controller_->setChanged(!billLineRows(form_).empty());
    controller_->billShown();
    emit billReplaced();
    emit fixedFieldsChanged();
    emit commandsChanged();
}

void BillSession::showColour(bool red) {
    form_.grid.setRedText(red);
    redMark_ = red;
    setChecked(keys::Red, red);
    setChecked(keys::Blue, !red);
}

void BillSession::makeRed() {
    ctx_.gIsRedBill = 1;
    showColour(true);
    emit commandsChanged();
}

void BillSession::makeBlue() {
    ctx_.gIsRedBill = 0;
    showColour(false);
    emit commandsChanged();
}

void BillSession::insertLine() {
    LineGrid& grid = form_.grid;
    if (grid.isReadOnly()) return;
    if (!answeredYes(ctx_, prompter_, QStringLiteral("确定要新增吗?"))) return;
    const CellPos at = controller_->state().active;
    if (!controller_->leaveCell(at.column, at.row, form_.columns.itemCode, at.row)) return;
    grid.insertRowAt(at.row);
    grid.setCurrentRow(at.row);
    controller_->setChanged(true);
    history_->closeStep();
    emit commandsChanged();
}

void BillSession::deleteLine() {
    LineGrid& grid = form_.grid;
    if (grid.isReadOnly()) return;
    if (!answeredYes(ctx_, prompter_, QStringLiteral("确定要删除吗?"))) return;
    const CellPos at = controller_->state().active;
    grid.removeRowAt(at.row);
    if (grid.rows() < at.row) grid.appendRow();
    if (grid.column(at.column).lookupKindNumber() > 0)
        grid.setText(at.column, at.row, grid.code(at.column, at.row));
    grid.setCurrentRow(at.row);
    controller_->setChanged(true);
    // The sums follow the lines that are left.
    controller_->setSumCell();
    history_->closeStep();
    emit commandsChanged();
}

void BillSession::copyLine() {
    LineGrid& grid = form_.grid;
    const CellPos at = controller_->state().active;
    const int r = at.row;
    if (!controller_->leaveCell(at.column, r, form_.columns.itemCode, r)) return;
    grid.insertRowAt(r);
    // The copy is a new line: it takes no line id, so a changed bill never
    // stores two lines under one entry id.
    for (int c = 1; c <= grid.columns(); ++c)
        grid.setCell(c, r, grid.text(c, r + 1), grid.key(c, r + 1), grid.code(c, r + 1));
    grid.setCurrentRow(r);
    controller_->setChanged(true);
    controller_->setSumCell();
    controller_->leaveCell(form_.columns.itemCode, r, at.column, r);
    if (grid.column(at.column).lookupKindNumber() > 0)
        grid.setText(at.column, r, grid.code(at.column, r));
    emit commandsChanged();
}

bool BillSession::check() {
    if (ctx_.gEditMode == entry::kModeNew) {
        prompter_.message(QStringLiteral("请先保存单据!"), Icon::Exclamation, ctx_.msgTitle);
        return false;
    }
    if (!commitEdits()) return false;
    SaveEnv env{ctx_, prompter_, form_, *controller_};
    if (!holdsRight(env, QStringLiteral("04"))) return false;
    if (!bill::checkBill(ctx_, prompter_, QString::number(ctx_.gCurrentInterId))) return false;
    // The audit advanced the stored version; what is shown is that state.
    version_ = ctx_.gBillVersions.value(ctx_.gCurrentInterId, version_ + 1);
    prompter_.message(QStringLiteral("审核成功!"), Icon::Information, ctx_.msgTitle);
    form_.grid.setReadOnly(true);
    fixed_.checkerName = ctx_.gLoginUserName;
    fixed_.checkerCode = ctx_.gLoginUserId;
    auditedMark_ = true;
    for (HeaderField& f : form_.header) f.enabled = false;
    setLineCommandsAllowed(false);
    emit billReplaced();
    emit fixedFieldsChanged();
    emit commandsChanged();
    return true;
}

void BillSession::view() {
    controller_->lookupCommand();
}

void BillSession::preview() {
    printCommand(true);
}

void BillSession::print() {
    printCommand(false);
}

void BillSession::printCommand(bool preview) {
    if (!commitEdits()) return;
    SaveEnv env{ctx_, prompter_, form_, *controller_};
    if (!holdsRight(env, QStringLiteral("08"))) return;
    if (ctx_.gEditMode == entry::kModeNew) {
        prompter_.message(QStringLiteral("请选保存单据!"), Icon::Exclamation, ctx_.msgTitle);
        return;
    }
    if (printHandler_) {
        printHandler_(ctx_.gCurrentInterId, preview);
        return;
    }
    prompter_.message(QStringLiteral("打印功能尚未提供"), Icon::Information, ctx_.msgTitle);
}

void BillSession::queryStock() {
    if (!selectors_.stockQuery) return;
    const EntryState& st = controller_->state();
    stockQueryCommand(ctx_, prompter_, form_, st.focus == Focus::Grid, st.active.row,
                      *selectors_.stockQuery);
}

}  // namespace otherin::editor
