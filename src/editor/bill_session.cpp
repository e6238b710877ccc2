#include "editor/bill_session.h"

#include "bill/bill_save.h"
#include "bill/split_save.h"
#include "editor/bill_checks.h"
#include "editor/bill_follow.h"
#include "editor/bill_values.h"
#include "editor/form_draft.h"
#include "editor/grid_history.h"
#include "editor/layout_builder.h"
#include "editor/recovery_copy.h"
#include "entry/edit_mode.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "entry/settings_store.h"
#include "stock/bill_numbering.h"

namespace otherin::editor {

namespace {

using entry::Icon;

// The toolbar from left to right; the "工具条" menu items share these keys.
const char* const kToolbarKeys[] = {keys::New,       keys::Copy,      keys::Save,  keys::Check,
                                    keys::View,      keys::Preview,   keys::First, keys::Back,
                                    keys::Next,      keys::End,       keys::Red,   keys::Blue,
                                    keys::InsertRow, keys::DeleteRow, keys::Print, keys::Exit};
const char* const kMenuKeys[] = {keys::MenuEdit,       keys::MenuInsertRow,    keys::MenuDeleteRow,
                                 keys::MenuCopyRow,    keys::MenuAfterSaveNew, keys::MenuCopyHeader,
                                 keys::MenuCopyEntry,  keys::MenuSave,         keys::MenuItemNotice,
                                 keys::MenuStockQuery, keys::MenuHistory,      keys::MenuClose};

bool isLineCommand(const QString& key) {
    for (const char* k : {keys::InsertRow, keys::DeleteRow, keys::MenuInsertRow,
                          keys::MenuDeleteRow, keys::MenuCopyRow}) {
        if (key == QLatin1String(k)) return true;
    }
    return false;
}

int optionValue(const entry::SettingsStore& store, const QString& section, const char* key,
                int fallback) {
    bool ok = false;
    const int v =
        store.value(section, QLatin1String(key), QString::number(fallback)).trimmed().toInt(&ok);
    return ok ? v : fallback;
}

}  // namespace

EditorOptions EditorOptions::read(const entry::SettingsStore& store, const QString& section) {
    EditorOptions o;
    o.afterSaveNew = optionValue(store, section, "AfterSaveNew", 1);
    o.copyHeader = optionValue(store, section, "CopyHeader", 0);
    o.copyEntry = optionValue(store, section, "CopyEntry", 0);
    o.itemNotice = optionValue(store, section, "ItemNotice", 0);
    return o;
}

void EditorOptions::write(entry::SettingsStore& store, const QString& section) const {
    store.setValue(section, QStringLiteral("AfterSaveNew"), QString::number(afterSaveNew));
    store.setValue(section, QStringLiteral("CopyHeader"), QString::number(copyHeader));
    store.setValue(section, QStringLiteral("CopyEntry"), QString::number(copyEntry));
    store.setValue(section, QStringLiteral("ItemNotice"), QString::number(itemNotice));
    store.sync();
}

BillSession::BillSession(entry::LoginContext& ctx, entry::Prompter& prompter,
                         entry::Selectors selectors, entry::SettingsStore* settings,
                         QObject* parent)
    : QObject(parent),
      ctx_(ctx),
      prompter_(prompter),
      selectors_(selectors),
      ownSettings_(settings ? nullptr : entry::SettingsStore::open(ctx.settingsFile)),
      settings_(settings ? *settings : *ownSettings_),
      controller_(std::make_unique<EditorController>(ctx, prompter, selectors, form_)) {
    controller_->setSaveCommand([this] { return save(); });
    connect(controller_.get(), &EditorController::commandsChanged, this,
            &BillSession::commandsChanged);
    status_ = QStringLiteral("就绪：");
    for (const char* key : kToolbarKeys) commands_[QLatin1String(key)] = CommandState();
    for (const char* key : kMenuKeys) commands_[QLatin1String(key)] = CommandState();
    setChecked(keys::Blue, true);
}

// Closed in order: what was typed and not saved was given up knowingly.
BillSession::~BillSession() {
    dropRecoveryCopy();
}

void BillSession::keepRecoveryCopy() {
    if (!recovery_ || ctx_.gEditMode != entry::kModeNew) return;
    if (!recoveryDue_ && !headerDiffersFromBaseline()) return;
    recoveryDue_ = false;
    recovery_->write(form_, ctx_.gIsRedBill == 1);
}

void BillSession::dropRecoveryCopy() {
    recoveryDue_ = false;
    if (recovery_) recovery_->discard();
}

// A new bill starts with what a crash left, if the clerk wants it.
void BillSession::offerRecoveryCopy() {
    const auto found = recovery_ ? recovery_->read() : std::nullopt;
    if (!found) return;
    if (prompter_.question(recoveryQuestion(*found), entry::Buttons::YesNo, entry::Icon::Question,
                           ctx_.msgTitle) != entry::Answer::Yes) {
        dropRecoveryCopy();
        return;
    }
    const bool red = RecoveryCopy::restore(*found, form_);
    ctx_.gIsRedBill = red ? 1 : 0;
    showColour(red);
    setChecked(keys::Red, red);
    setChecked(keys::Blue, !red);
    controller_->keepRoomBelow(form_.grid.lastDataRow());
    controller_->setChanged(true);
    controller_->setSumCell();
}

bool BillSession::undo() {
    return walkHistory(&GridHistory::undo);
}

bool BillSession::redo() {
    return walkHistory(&GridHistory::redo);
}

bool BillSession::walkHistory(bool (GridHistory::*step)()) {
    if (!history_ || form_.grid.isReadOnly() || !controller_->completeCellEdit()) return false;
    if (!((*history_).*step)()) return false;
    controller_->setChanged(true);
    controller_->setSumCell();
    emit commandsChanged();
    return true;
}

QString BillSession::optionsSection() const {
    return QStringLiteral("frmMainBill") + QString::number(ctx_.gBillTypeId);
}

bool BillSession::prepare() {
    if (!history_) {
        history_ = std::make_unique<GridHistory>(form_.grid);
        // Each command of the clerk on the lines is one step; a bill shown
        // afresh (loaded, new, copied, saved) is where undo stops.
        connect(controller_.get(), &EditorController::cellLeft, history_.get(),
                &GridHistory::closeStep);
        connect(this, &BillSession::billReplaced, history_.get(), &GridHistory::clear);
    }
    if (!recovery_) {
        recovery_ = std::make_unique<RecoveryCopy>(
            RecoveryCopy::pathFor(settings_.fileName(), ctx_.gBillTypeId, ctx_.gLoginUserId));
        connect(&form_.grid, &LineGrid::cellEdited, this, [this] { recoveryDue_ = true; });
        connect(controller_.get(), &EditorController::lineLeft, this,
                &BillSession::keepRecoveryCopy);
        recoveryTimer_.setInterval(kRecoveryEveryMs);
        connect(&recoveryTimer_, &QTimer::timeout, this, &BillSession::keepRecoveryCopy);
        recoveryTimer_.start();
    }
    ctx_.gIsRedBill = 0;
    readRights();
    if (!prepared_) layOut();
    options_ = EditorOptions::read(settings_, optionsSection());
    showOptions();
    recordBaseline();
    emit titleChanged();
    emit commandsChanged();
    return layoutWhole_;
}

// Only the split mode lays the grid out differently; a window kept open
// across modes lays it out again when it changes into or out of it.
void BillSession::layOut() {
    if (prepared_) {
        form_.header.clear();
        form_.columns = ColumnMap();
        form_.hiddenFieldList.clear();
        form_.splitColumn = 0;
    }
    layoutWhole_ = buildLayout(ctx_, prompter_, form_);
    prepared_ = true;
    layoutLocks_.clear();
    for (int c = 0; c <= form_.grid.columns(); ++c)
        layoutLocks_.push_back(form_.grid.column(c).locked);
}

void BillSession::start() {
    if (!follower_) {
        follower_ =
            std::make_unique<BillFollower>(ctx_, prompter_, *this, &entry::watchBills(ctx_));
        connect(this, &BillSession::billReplaced, follower_.get(), &BillFollower::billShown);
    }
    if (prepared_ && (ctx_.gEditMode == entry::kModeSplit) != (form_.splitColumn > 0)) layOut();
    for (const char* key : kToolbarKeys) setCommand(key, true, true);
    setCommand(keys::MenuEdit, true, true);
    if (ctx_.gEditMode == entry::kModeNew) {
        startNewBill();
    } else {
        loadBill(false);
    }
    if (!layoutWhole_) commands_[QLatin1String(keys::Save)].enabled = false;
    emit titleChanged();
    emit commandsChanged();
}

// Splitting and price editing offer only Save and Exit, whenever a bill is
// shown (also again after a split).
void BillSession::offerOnlySaveAndExitWhenSplittingOrPricing() {
    if (ctx_.gEditMode != entry::kModeSplit && ctx_.gEditMode != entry::kModePriceEdit) return;
    for (const char* key : kToolbarKeys) {
        const QString k = QLatin1String(key);
        if (k != QLatin1String(keys::Save) && k != QLatin1String(keys::Exit))
            commands_[k].visible = false;
    }
    commands_[QLatin1String(keys::MenuEdit)].visible = false;
}

// ---- state ---------------------------------------------------------------

QString BillSession::title() const {
    return ctx_.gBillName + entry::editModeSuffix(ctx_.gEditMode);
}

QString BillSession::titleLabel() const {
    return ctx_.gBillName;
}

CommandState BillSession::commandState(const QString& key) const {
    // "单据保存" is the Save command under another name.
    const QString own = key == QLatin1String(keys::MenuSave) ? QLatin1String(keys::Save) : key;
    const auto it = commands_.find(own);
    CommandState s = it == commands_.end() ? CommandState() : it->second;
    const EntryState& entry = controller_->state();
    if (key == QLatin1String(keys::View)) s.enabled = s.enabled && entry.lookupButtonEnabled;
    if (isLineCommand(key)) s.enabled = s.enabled && entry.lineCommandsEnabled;
    if (key == QLatin1String(keys::MenuHistory)) s.enabled = s.enabled && ctx_.gCurrentInterId > 0;
    // A command the user has no right to is not offered, rather than refused.
    const QString right = rightOf(key);
    if (rights_ && !right.isEmpty() && !rights_->contains(right)) s.enabled = false;
    return s;
}

QString BillSession::gridTip(int c, int /*r*/) const {
    if (ctx_.gIsShowTip && form_.grid.column(c).hasLookup())
        return QStringLiteral("请按F7或点击工具栏中的查看按钮进行选择");
    return QString();
}

int BillSession::billNumberField() const {
    const HeaderField* f = editor::billNumberField(form_);
    return f ? f->index : 0;
}

int BillSession::dateField() const {
    const HeaderField* f = editor::dateField(form_);
    return f ? f->index : 0;
}

QString BillSession::billNumber() const {
    return billNumberText(form_);
}

QDate BillSession::billDate() const {
    return editor::billDate(form_);
}

void BillSession::setBillNumber(const QString& text) {
    if (HeaderField* f = editor::billNumberField(form_)) {
        f->text = text;
        emit controller_->headerChanged(f->index);
    }
}

void BillSession::setBillDate(const QDate& date) {
    if (HeaderField* f = editor::dateField(form_)) {
        f->text = dateText(date);
        emit controller_->headerChanged(f->index);
    }
}

void BillSession::setCommand(const QString& key, bool visible, bool enabled) {
    CommandState& s = commands_[key];
    s.visible = visible;
    s.enabled = enabled;
}

void BillSession::setChecked(const QString& key, bool checked) {
    commands_[key].checked = checked;
}

void BillSession::setLineCommandsAllowed(bool allowed) {
    for (const char* key : {keys::InsertRow, keys::DeleteRow, keys::MenuInsertRow,
                            keys::MenuDeleteRow, keys::MenuCopyRow})
        commands_[QLatin1String(key)].enabled = allowed;
}

void BillSession::disableToolbar() {
    for (const char* key : kToolbarKeys) commands_[QLatin1String(key)].enabled = false;
}

void BillSession::showOptions() {
    setChecked(keys::MenuAfterSaveNew, options_.afterSaveNew == 0);
    setChecked(keys::MenuCopyHeader, options_.copyHeader == 0);
    setChecked(keys::MenuCopyEntry, options_.copyEntry == 0);
    setChecked(keys::MenuItemNotice, options_.itemNotice == 0);
}

void BillSession::setMode(int mode) {
    ctx_.gEditMode = mode;
    emit titleChanged();
}

void BillSession::setBusy(bool busy) {
    busy_ = busy;
    status_ = busy ? QStringLiteral("正在保存单据信息，请稍候...") : QStringLiteral("就绪：");
    emit statusChanged();
    emit commandsChanged();
}

// Look-up fields compare their record's code; plain fields their text, so
// a remark typed and never saved is not dropped without a word either.
void BillSession::recordBaseline() {
    baseline_.clear();
    for (const HeaderField& f : form_.header) baseline_[f.index] = f.looksUp() ? f.code : f.text;
}

bool BillSession::headerDiffersFromBaseline() const {
    for (const HeaderField& f : form_.header) {
        const auto it = baseline_.find(f.index);
        const QString now = f.looksUp() ? f.code : f.text;
        if (it != baseline_.end() && it->second != now) return true;
    }
    return false;
}

// ---- save and close ------------------------------------------------------

bool BillSession::save() {
    // A layout that broke off may lack the columns of quantity, price or
    // amount: saving through it would store the bill without them.
    if (!layoutWhole_) {
        prompter_.message(QStringLiteral("单据格式未能完整读取,不能保存单据!"), Icon::Exclamation,
                          ctx_.msgTitle);
        return false;
    }
    // What is still being typed into a header field or a cell belongs to the bill.
    if (!controller_->completeHeaderEdit() || !controller_->completeCellEdit()) return false;
    const int mode = ctx_.gEditMode;
    if ((mode == entry::kModeNew || mode == entry::kModeChange) &&
        !controller_->requiredCellsFilled())
        return false;
    setBusy(true);
    const bool saved = saveByMode();
    setBusy(false);
    return saved;
}

bool BillSession::checkChangedBill() {
    SaveEnv env{ctx_, prompter_, form_, *controller_};
    if (!editor::checkChangedBill(env)) return false;
    const std::vector<int> rows = billLineRows(form_);
    return settle(bill::checkChangedBill(
                      ctx_, prompter_,
                      draftOf(form_, ctx_.gIsRedBill == 1, rows, ctx_.gCurrentInterId, version_)),
                  rows);
}

bool BillSession::writeChangedBill() {
    const std::vector<int> rows = billLineRows(form_);
    return settle(bill::writeChangedBill(
                      ctx_, prompter_,
                      draftOf(form_, ctx_.gIsRedBill == 1, rows, ctx_.gCurrentInterId, version_)),
                  rows);
}

// A save's outcome on the form: a saved bill shows its number, line ids and
// version; a bill another user changed or deleted meanwhile is told, and the
// user chooses what becomes of what was typed: the stored bill shown again,
// or the typed one kept as a new bill. Nothing typed is merged or dropped
// without that choice. True when the save stored the bill.
bool BillSession::settle(const bill::SaveOutcome& outcome, const std::vector<int>& rows) {
    if (outcome.saved()) {
        // A stored new or changed bill is shown afresh after this (see
        // afterStoredSave): the line ids it takes now are no step to undo.
        const int mode = ctx_.gEditMode;
        if (history_ && outcome.interId > 0 &&
            (mode == entry::kModeNew || mode == entry::kModeChange))
            history_->awaitBill();
        showSaved(form_, rows, outcome);
        if (outcome.interId > 0) {
            version_ = outcome.version;
            ctx_.gBillVersions.insert(outcome.interId, outcome.version);
        }
        return true;
    }
    if (outcome.status != bill::SaveStatus::Moved) return false;
    const QString reopen = QStringLiteral("重新打开");
    const QString keepAsNew = QStringLiteral("另存为新单");
    QStringList choices;
    QString text = outcome.movedText;
    if (!outcome.deleted) {
        choices << reopen;
        text += QStringLiteral("。\n重新打开：放弃本次修改，显示已保存的单据。");
    }
    // Split quantities and prices belong to the stored bill; a new bill is
    // made of header and lines only.
    const int mode = ctx_.gEditMode;
    if (mode == entry::kModeNew || mode == entry::kModeChange) {
        choices << keepAsNew;
        text += QStringLiteral("\n另存为新单：保留录入的内容，作为一张未保存的新单据。");
    }
    const auto chosen = prompter_.choose(text, choices, Icon::Exclamation, ctx_.msgTitle);
    if (!chosen) return false;
    if (choices[*chosen] == reopen) {
        controller_->setChanged(false);
        form_.grid.clearCells();
        loadBill(true);
    } else {
        keepAsNewBill();
    }
    return false;
}

// What was typed over a bill that is no longer there to change becomes a new
// bill of its own, not yet saved.
void BillSession::keepAsNewBill() {
    const QString number = stock::previewBillNumber(ctx_, prompter_, ctx_.gBillTypeId);
    LineGrid& grid = form_.grid;
    for (int r = 1; r <= grid.rows(); ++r) grid.setLineKey(r, QString());
    setBillNumber(number);
    setMode(entry::kModeNew);
    fixed_ = {ctx_.gLoginUserName, ctx_.gLoginUserId, QString(), QString()};
    version_ = 0;
    // A new bill may take either colour, as a copy may.
    for (const char* key : {keys::Red, keys::Blue}) commands_[QLatin1String(key)].enabled = true;
    showNavigation();
    controller_->setChanged(true);
    controller_->billShown();
    emit billReplaced();
    emit fixedFieldsChanged();
    emit commandsChanged();
}

QStringList BillSession::splitTexts() const {
    QStringList texts;
    const int last = form_.grid.lastDataRow();
    for (int r = 1; r <= last; ++r) {
        if (!form_.grid.lineKey(r).trimmed().isEmpty())
            texts << (form_.splitColumn > 0 ? form_.grid.text(form_.splitColumn, r) : QString());
    }
    return texts;
}

bool BillSession::saveNewBill() {
    SaveEnv env{ctx_, prompter_, form_, *controller_};
    if (!checkNewBill(env)) return false;
    const std::vector<int> rows = billLineRows(form_);
    const QString typed = billNumber().trimmed();
    // An editor that stays on the saved bill holds it from the save's commit.
    const bool stays = follower_ && options_.afterSaveNew != 0;
    const bill::SaveOutcome outcome =
        bill::saveNewBill(ctx_, prompter_, draftOf(form_, ctx_.gIsRedBill == 1, rows, 0, 0),
                          stays ? &follower_->openBills() : nullptr);
    if (!settle(outcome, rows)) return false;
    if (stays) follower_->heldBySave(outcome.interId);
    ctx_.gCurrentInterId = outcome.interId;
    QString text = QStringLiteral("数据保存成功！");
    // A freed number takes the place of a typed one; the user hears of it.
    if (ctx_.gIsUpdateBillNo != 0 && !typed.isEmpty() && outcome.billNo != typed)
        text += QStringLiteral("单据编号已改为 %1（重用已删除单据的编号）").arg(outcome.billNo);
    prompter_.message(text, Icon::Information, ctx_.msgTitle);
    return true;
}

bool BillSession::saveByMode() {
    switch (ctx_.gEditMode) {
        case entry::kModeNew:
            if (!saveNewBill()) return false;
            break;
        case entry::kModeChange:
            if (!checkChangedBill() || !writeChangedBill()) return false;
            prompter_.message(QStringLiteral("数据修改成功！"), Icon::Information, ctx_.msgTitle);
            break;
        case entry::kModeSplit:
        case entry::kModePriceEdit: {
            const bool split = ctx_.gEditMode == entry::kModeSplit;
            const std::vector<int> rows = storedLineRows(form_);
            const bill::SaveOutcome outcome =
                split ? bill::splitSave(ctx_, prompter_, splitTexts(), version_)
                      : bill::savePrices(ctx_, prompter_,
                                         draftOf(form_, ctx_.gIsRedBill == 1, rows,
                                                 ctx_.gCurrentInterId, version_));
            if (outcome.status == bill::SaveStatus::Moved) return settle(outcome, rows);
            const bool saved = settle(outcome, rows);
            controller_->setChanged(!saved);
            if (!saved) return false;
            if (split) {
                // The window shows what the split left on the bill.
                form_.grid.clearCells();
                loadBill(true);
            }
            if (!split)
                prompter_.message(QStringLiteral("数据保存成功"), Icon::Information, ctx_.msgTitle);
            commands_[QLatin1String(keys::Save)].enabled = false;
            return true;
        }
        default:
            return false;
    }
    afterStoredSave();
    return true;
}

// The records a clerk picks in the header (the warehouse) are kept per user
// in the editor's options, so the next new bill starts with them.
void BillSession::rememberHeader() {
    for (const HeaderField& f : form_.header) {
        if (!f.looksUp() || f.keyValue.trimmed().isEmpty()) continue;
        settings_.setValue(optionsSection(), QStringLiteral("Last") + f.fieldName,
                           QStringList{f.keyValue, f.code, f.text}.join(QLatin1Char('\t')));
    }
    settings_.sync();
}

void BillSession::recallHeader() {
    for (HeaderField& f : form_.header) {
        if (!f.looksUp() || !f.enabled || !f.keyValue.isEmpty()) continue;
        const QStringList last =
            settings_.value(optionsSection(), QStringLiteral("Last") + f.fieldName, QString())
                .split(QLatin1Char('\t'));
        if (last.size() != 3 || last[0].isEmpty()) continue;
        f.keyValue = last[0];
        f.code = last[1];
        f.text = last[2];
    }
}

void BillSession::afterStoredSave() {
    dropRecoveryCopy();
    rememberHeader();
    if (options_.afterSaveNew == 0) {
        startNewBill();
    } else {
        setMode(entry::kModeChange);
        commands_[QLatin1String(keys::Red)].enabled = false;
        commands_[QLatin1String(keys::Blue)].enabled = false;
    }
    recordBaseline();
    controller_->setChanged(false);
    emit billReplaced();
    emit commandsChanged();
    focusFirstRequiredField();
}

bool BillSession::close() {
    // A code refused in a cell does not hold the window open: the cell is
    // checked and told about, and the bill is then offered for saving.
    if (!controller_->completeHeaderEdit()) return false;
    if (controller_->state().focus == Focus::Grid) controller_->completeCellEdit();
    if (headerDiffersFromBaseline()) controller_->setChanged(true);
    if (!controller_->askToSave()) return false;
    options_.write(settings_, optionsSection());
    dropRecoveryCopy();
    if (follower_) follower_->leave();
    // The journal re-reads its query whenever the editor closes.
    ctx_.gFromJournal = 0;
    return true;
}

void BillSession::toggleAfterSaveNew() {
    options_.afterSaveNew = options_.afterSaveNew == 0 ? 1 : 0;
    showOptions();
    emit commandsChanged();
}

void BillSession::toggleItemNotice() {
    options_.itemNotice = options_.itemNotice == 0 ? 1 : 0;
    showOptions();
    emit commandsChanged();
}

bool BillSession::runCommand(const QString& key) {
    const auto is = [&key](const char* k) { return key == QLatin1String(k); };
    if (is(keys::New)) {
        newBill();
    } else if (is(keys::Copy)) {
        copyBill();
    } else if (is(keys::Save) || is(keys::MenuSave)) {
        save();
    } else if (is(keys::Check)) {
        check();
    } else if (is(keys::View)) {
        view();
    } else if (is(keys::Preview)) {
        preview();
    } else if (is(keys::Print)) {
        print();
    } else if (is(keys::First)) {
        first();
    } else if (is(keys::Back)) {
        previous();
    } else if (is(keys::Next)) {
        next();
    } else if (is(keys::End)) {
        last();
    } else if (is(keys::Red)) {
        makeRed();
    } else if (is(keys::Blue)) {
        makeBlue();
    } else if (is(keys::InsertRow) || is(keys::MenuInsertRow)) {
        insertLine();
    } else if (is(keys::DeleteRow) || is(keys::MenuDeleteRow)) {
        deleteLine();
    } else if (is(keys::MenuCopyRow)) {
        copyLine();
    } else if (is(keys::Undo)) {
        undo();
    } else if (is(keys::Redo)) {
        redo();
    } else if (is(keys::MenuStockQuery)) {
        queryStock();
    } else if (is(keys::MenuHistory)) {
        // The stored bill's history; a bill not yet saved has none.
        if (selectors_.history && ctx_.gCurrentInterId > 0)
            selectors_.history->show(ctx_.gCurrentInterId);
    } else if (is(keys::MenuAfterSaveNew)) {
        toggleAfterSaveNew();
    } else if (is(keys::MenuItemNotice)) {
        toggleItemNotice();
    } else if (is(keys::Exit) || is(keys::MenuClose)) {
        return close();
    } else {
        return is(keys::MenuCopyHeader) || is(keys::MenuCopyEntry);
    }
    return true;
}

}  // namespace otherin::editor
