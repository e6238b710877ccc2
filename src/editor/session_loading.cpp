// The session's side of showing stored bills: loading, browsing the
// journal's list, and what a shown bill allows.
#include "db/db_error.h"
#include "editor/bill_loader.h"
#include "editor/bill_session.h"
#include "editor/bill_values.h"
#include "editor/grid_history.h"
#include "entry/edit_mode.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::editor {

namespace {

// Buttons 1 to 15 of the toolbar, separators counted: New to End.
const char* const kBillButtons[] = {keys::New,     keys::Copy,  keys::Save, keys::Check, keys::View,
                                    keys::Preview, keys::First, keys::Back, keys::Next,  keys::End};

const QString kReadError = QStringLiteral("数据读取错误!");

}  // namespace

bool BillSession::loadBill(bool keepShownOnFailure) {
    std::optional<LoadedBill> bill;
    try {
        bill = readBill(ctx_, form_);
        if (!bill) prompter_.message(kReadError, entry::Icon::Critical, ctx_.msgTitle);
    } catch (const db::DbError& e) {
        entry::reportError(ctx_, prompter_, e.message());
    }
    if (!bill) {
        // Browsing keeps the bill shown before; a window opened on a bill
        // that is not there has nothing to offer.
        if (!keepShownOnFailure) disableToolbar();
        offerOnlySaveAndExitWhenSplittingOrPricing();
        emit commandsChanged();
        return false;
    }
    // What the grid goes through until the bill is shown is no step to undo.
    if (history_) history_->awaitBill();
    const bool split = ctx_.gEditMode == entry::kModeSplit;
    if (!split) {
        form_.grid.clearCells();
        form_.grid.setReadOnly(false);
        moveCursorHome();
    }
    showBill(ctx_, form_, *bill);
    version_ = bill->version;
    ctx_.gBillVersions.insert(ctx_.gCurrentInterId, version_);
    // A bill as long as the grid or longer can still grow after its last line.
    controller_->keepRoomBelow(form_.grid.lastDataRow());
    fixed_ = {bill->makerName, bill->makerCode, bill->checkerName, bill->checkerCode};
    ctx_.gIsRedBill = bill->red;
    for (const char* key : kBillButtons) setCommand(key, true, true);
    offerOnlySaveAndExitWhenSplittingOrPricing();
    showNavigation();
    showLoadedState(bill->status >= 1);
    showColour(ctx_.gIsRedBill == 1);
    setChecked(keys::Red, ctx_.gIsRedBill == 1);
    setChecked(keys::Blue, ctx_.gIsRedBill != 1);
    // A stored bill keeps its colour.
    commands_[QLatin1String(keys::Red)].enabled = false;
    commands_[QLatin1String(keys::Blue)].enabled = false;
    if (split) {
        form_.grid.setReadOnly(false);
        lockAllBut({form_.splitColumn});
        moveCursorHome();
    } else if (ctx_.gEditMode == entry::kModePriceEdit) {
        form_.grid.setReadOnly(false);
        lockAllBut({form_.columns.price, form_.columns.amount});
    } else {
        restoreLayoutLocks();
    }
    recordBaseline();
    controller_->setChanged(false);
    controller_->billShown();
    emit billReplaced();
    emit fixedFieldsChanged();
    emit commandsChanged();
    return true;
}

void BillSession::showLoadedState(bool audited) {
    setLineCommandsAllowed(!audited);
    enableHeader(!audited);
    form_.grid.setReadOnly(audited);
    auditedMark_ = audited;
}

void BillSession::showNavigation() {
    const QStringList& list = ctx_.gBillIdList;
    int index = -1;
    if (ctx_.gEditMode != entry::kModeNew) {
        for (int i = 0; i < list.size(); ++i) {
            if (list[i].trimmed().toInt() == ctx_.gCurrentInterId) {
                index = i;
                break;
            }
        }
    }
    if (index >= 0) ctx_.gBillIdIndex = index;
    const bool listed = index >= 0;
    const int lastIndex = static_cast<int>(list.size()) - 1;
    commands_[QLatin1String(keys::First)].enabled = !list.isEmpty() && (!listed || index > 0);
    commands_[QLatin1String(keys::Back)].enabled = listed && index > 0;
    commands_[QLatin1String(keys::Next)].enabled = listed && index < lastIndex;
    commands_[QLatin1String(keys::End)].enabled = !list.isEmpty() && (!listed || index < lastIndex);
}

bool BillSession::first() {
    return browseTo(0);
}

bool BillSession::previous() {
    return browseTo(ctx_.gBillIdIndex - 1);
}

bool BillSession::next() {
    return browseTo(ctx_.gBillIdIndex + 1);
}

bool BillSession::last() {
    return browseTo(static_cast<int>(ctx_.gBillIdList.size()) - 1);
}

bool BillSession::browseTo(int index) {
    // Unsaved changes, of the header too, are offered for saving first, as New does.
    if (!mayLeaveBill()) return false;
    bool ok = index >= 0 && index < ctx_.gBillIdList.size();
    const qint32 id = ok ? ctx_.gBillIdList[index].trimmed().toInt(&ok) : 0;
    if (!ok) {
        prompter_.message(kReadError, entry::Icon::Critical, ctx_.msgTitle);
        return false;
    }
    const qint32 shownId = ctx_.gCurrentInterId;
    const int shownIndex = ctx_.gBillIdIndex;
    const int shownMode = ctx_.gEditMode;
    ctx_.gBillIdIndex = index;
    ctx_.gCurrentInterId = id;
    // A stored bill is changed, never saved again as a new one.
    if (shownMode == entry::kModeNew) ctx_.gEditMode = entry::kModeChange;
    if (!loadBill(true)) {
        ctx_.gCurrentInterId = shownId;
        ctx_.gBillIdIndex = shownIndex;
        ctx_.gEditMode = shownMode;
        return false;
    }
    emit titleChanged();
    return true;
}

bool BillSession::reopen() {
    if (ctx_.gEditMode == entry::kModeNew || ctx_.gCurrentInterId <= 0) return false;
    if (controller_->isChanged() &&
        prompter_.question(QStringLiteral("重新打开将放弃对此单据所做的修改，是否继续？"),
                           entry::Buttons::YesNo, entry::Icon::Question,
                           ctx_.msgTitle) != entry::Answer::Yes)
        return false;
    return loadBill(true);
}

void BillSession::showReadOnly() {
    setLineCommandsAllowed(false);
    enableHeader(false);
    form_.grid.setReadOnly(true);
    commands_[QLatin1String(keys::Save)].enabled = false;
    commands_[QLatin1String(keys::MenuSave)].enabled = false;
    emit commandsChanged();
}

void BillSession::enableHeader(bool enabled) {
    for (HeaderField& f : form_.header) f.enabled = enabled;
    if (HeaderField* number = editor::billNumberField(form_))
        number->enabled = enabled && ctx_.gIsUpdateBillNo == 1;
}

void BillSession::restoreLayoutLocks() {
    for (int c = 1; c <= form_.grid.columns() && c < static_cast<int>(layoutLocks_.size()); ++c)
        form_.grid.setColumnLocked(c, layoutLocks_[static_cast<std::size_t>(c)]);
}

void BillSession::lockAllBut(std::initializer_list<int> open) {
    for (int c = 1; c <= form_.grid.columns(); ++c) {
        bool isOpen = false;
        for (const int o : open) isOpen = isOpen || (o > 0 && o == c);
        form_.grid.setColumnLocked(c, !isOpen);
    }
}

// The cursor goes to the first cell through the grid's own leave check, so
// the line-entry state follows it; callers empty the grid first (or, in
// split mode, fill it), so the check has nothing to refuse.
void BillSession::moveCursorHome() {
    const CellPos at = controller_->state().active;
    if (form_.grid.rows() < 1) return;
    controller_->leaveCell(at.column, at.row, 1, 1);
}

}  // namespace otherin::editor
