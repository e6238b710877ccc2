#include "journal/journal_commands.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <vector>

#include "bill/bill_operations.h"
#include "bill/relation_operations.h"
#include "db/db_error.h"
#include "entry/edit_mode.h"
#include "entry/error_report.h"
#include "entry/ini_file.h"
#include "entry/login_context.h"
#include "entry/permission.h"
#include "entry/prompter.h"

namespace otherin::journal {

namespace {

using entry::Icon;

constexpr int kPriceEditEntry = 3;

// The first selected row of each selected bill, in grid order, whatever row
// is current.
std::vector<int> selectedBillRows(const JournalView& view) {
    std::vector<int> rows;
    QSet<qint64> seen;
    for (int row = 0; row < view.rowCount(); ++row) {
        if (view.isTotalsRow(row) || !view.isRowSelected(row)) continue;
        const qint64 id = view.interId(row);
        if (id <= 0 || seen.contains(id)) continue;
        seen.insert(id);
        rows.push_back(row);
    }
    return rows;
}

// The selected bill rows' ids in grid order, each once.
QStringList selectedIds(const JournalView& view) {
    QStringList ids;
    for (const int row : selectedBillRows(view)) ids << QString::number(view.interId(row));
    return ids;
}

// A lock count as the user or the INI file gives it: a number, of which the
// whole part counts.
std::optional<int> parseCount(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > 1e6) return std::nullopt;
    return static_cast<int>(std::floor(value));
}

QString lockKey(const entry::LoginContext& ctx) {
    return QString::number(ctx.gBillTypeId) + QStringLiteral("Lock");
}

QString lockSection() {
    return QStringLiteral("LockCols");
}

bool checkSelection(entry::LoginContext& ctx, entry::Prompter& prompter) {
    return bill::checkBill(ctx, prompter, ctx.gIdList);
}

}  // namespace

bool isCommandAvailable(const entry::LoginContext& ctx, JournalCommand command) {
    if (ctx.gEntryKind != kPriceEditEntry) return true;
    switch (command) {
        case JournalCommand::New:
        case JournalCommand::Delete:
        case JournalCommand::Check:
        case JournalCommand::UnCheck:
        case JournalCommand::Cancel:
        case JournalCommand::UnCancel:
        case JournalCommand::Split:
        case JournalCommand::Restore:
        case JournalCommand::WriteOff:
        case JournalCommand::UnWriteOff:
            return false;
        default:
            return true;
    }
}

QString selectedIdList(const JournalView& view) {
    if (view.rowCount() == 0 || view.currentRow() < 0) return {};
    return selectedIds(view).join(QLatin1Char(','));
}

QString columnLayoutName(const entry::LoginContext& ctx) {
    return QStringLiteral("frmMainBillResult") + QString::number(ctx.gBillTypeId) +
           QStringLiteral("CC");
}

bool JournalCommands::permitted(JournalCommand command, const char* actionCode, bool periodCheck) {
    if (!isCommandAvailable(ctx_, command)) return false;
    if (periodCheck && ctx_.gIsCloseStock == 1) {
        prompter_.message(QStringLiteral("当前期间已经关账,不能再进行处理"), Icon::Critical,
                          ctx_.msgTitle);
        return false;
    }
    try {
        return entry::hasRight(ctx_, prompter_, ctx_.gRightPrefix + QLatin1String(actionCode));
    } catch (const db::DbError& e) {
        entry::reportError(ctx_, prompter_, e.message());
        return false;
    }
}

bool JournalCommands::isBillRow(int row) const {
    return row >= 0 && row < view_.rowCount() && !view_.isTotalsRow(row);
}

void JournalCommands::restoreRow() {
    restoreRowTo(ctx_.gJournalRow);
}

void JournalCommands::restoreRowTo(int row) {
    // The bill that was current, where it is still listed: on its old row
    // when that still shows it, otherwise on its first line.
    if (keptBill_ > 0 && !(isBillRow(row) && view_.interId(row) == keptBill_)) {
        for (int r = 0; r < view_.rowCount(); ++r) {
            if (isBillRow(r) && view_.interId(r) == keptBill_) {
                view_.setCurrentRow(r);
                return;
            }
        }
    }
    // Otherwise the same row; when the list got shorter, the last bill above
    // it. The totals line never becomes current.
    int r = std::min(row, view_.rowCount() - 1);
    while (r > 0 && !isBillRow(r)) --r;
    if (isBillRow(r)) view_.setCurrentRow(r);
}

void JournalCommands::keepCurrentBill() {
    keptBill_ = isBillRow(ctx_.gJournalRow) ? view_.interId(ctx_.gJournalRow) : 0;
}

bool JournalCommands::reloadKeepingRow() {
    keepCurrentBill();
    if (!view_.reload()) return false;
    restoreRow();
    return true;
}

void JournalCommands::reloadKeepingPosition() {
    if (!reloadKeepingRow()) return;
    if (ctx_.gJournalTopRow >= 0 && ctx_.gJournalTopRow < view_.rowCount() - 1) {
        view_.setTopRow(ctx_.gJournalTopRow);
    }
}

void JournalCommands::openEditorAndRefresh() {
    view_.openEditor();
    // Whatever the editor did (saved, audited, deleted, split, or browsed to
    // other bills and changed them), the list shows the stored bills again.
    ctx_.gFromJournal = 0;
    reloadKeepingPosition();
}

bool JournalCommands::addNew() {
    if (!permitted(JournalCommand::New, "01")) return false;
    ctx_.gEditMode = entry::kModeNew;
    ctx_.gFromJournal = 1;
    ctx_.gJournalTopRow = view_.topRow();
    // Kept too, so the refresh after the editor stays on the user's row
    // rather than one saved by an earlier command.
    ctx_.gJournalRow = view_.currentRow();
    openEditorAndRefresh();
    return true;
}

bool JournalCommands::change() {
    if (!permitted(JournalCommand::Change, "02")) return false;
    return openCurrent();
}

bool JournalCommands::openCurrent() {
    const int row = view_.currentRow();
    if (!isBillRow(row)) return false;
    ctx_.gJournalRow = row;
    ctx_.gJournalTopRow = view_.topRow();
    ctx_.gCurrentInterId = static_cast<qint32>(view_.interId(row));
    ctx_.gEditMode =
        ctx_.gEntryKind == kPriceEditEntry ? entry::kModePriceEdit : entry::kModeChange;
    ctx_.gFromJournal = 1;
    ctx_.gLoadingBill = 1;
    openEditorAndRefresh();
    return true;
}

bool JournalCommands::runOnSelection(JournalCommand command, const char* actionCode,
                                     Operation operation, const QString& success) {
    if (!permitted(command, actionCode)) return false;
    if (command == JournalCommand::Delete || command == JournalCommand::Cancel) {
        if (view_.rowCount() == 0 || view_.isTotalsRow(view_.currentRow())) return false;
        // Nothing to act on: no point in asking.
        if (selectedIdList(view_).isEmpty()) return false;
        const QString question = command == JournalCommand::Delete
                                     ? QStringLiteral("确定要删除所选定的单据吗?")
                                     : QStringLiteral("确定要作废所选定的单据吗?");
        if (prompter_.question(question + QStringLiteral("\n\n") + selectedNumbers(),
                               entry::Buttons::YesNo, Icon::Question,
                               ctx_.msgTitle) != entry::Answer::Yes) {
            return false;
        }
    }
    ctx_.gJournalTopRow = view_.topRow();
    const QString ids = selectedIdList(view_);
    if (ids.isEmpty()) return false;
    ctx_.gJournalRow = view_.currentRow();
    ctx_.gIdList = ids;
    if (!operation(ctx_, prompter_)) return false;
    prompter_.message(success, Icon::Information, ctx_.msgTitle);
    reloadKeepingPosition();
    return true;
}

// The selected bills by number, as the question names them; a long selection
// is cut after the first few.
QString JournalCommands::selectedNumbers() const {
    constexpr size_t kNamed = 10;
    const std::vector<int> rows = selectedBillRows(view_);
    QStringList numbers;
    for (size_t i = 0; i < rows.size() && i < kNamed; ++i) {
        const QString number = view_.billNumber(rows[i]);
        numbers << (number.isEmpty() ? QStringLiteral("内码 %1").arg(view_.interId(rows[i]))
                                     : number);
    }
    QString text = QStringLiteral("单据编号: ") + numbers.join(QStringLiteral("、"));
    if (rows.size() > kNamed) text += QStringLiteral(" 等 %1 张").arg(rows.size());
    return text;
}

bool JournalCommands::check() {
    return runOnSelection(JournalCommand::Check, "04", checkSelection, QStringLiteral("审核成功!"));
}

bool JournalCommands::unCheck() {
    return runOnSelection(JournalCommand::UnCheck, "05", bill::unCheckBill,
                          QStringLiteral("反审核成功!"));
}

bool JournalCommands::cancel() {
    return runOnSelection(JournalCommand::Cancel, "06", bill::cancelBill,
                          QStringLiteral("作废成功!"));
}

bool JournalCommands::unCancel() {
    return runOnSelection(JournalCommand::UnCancel, "07", bill::unCancelBill,
                          QStringLiteral("反作废成功!"));
}

bool JournalCommands::remove() {
    return runOnSelection(JournalCommand::Delete, "03", bill::deleteBill,
                          QStringLiteral("删除成功!"));
}

bool JournalCommands::writeOff() {
    if (!permitted(JournalCommand::WriteOff, "11")) return false;
    if (view_.rowCount() == 0) return false;
    const QStringList ids = selectedIds(view_);
    if (ids.isEmpty()) return false;
    if (ids.size() < 2) {
        prompter_.message(QStringLiteral("必须选定两张或以上的单据才能进行核销!"),
                          Icon::Exclamation, ctx_.msgTitle);
        return false;
    }
    ctx_.gIdList = ids.join(QLatin1Char(','));
    ctx_.gJournalRow = view_.currentRow();
    if (!bill::hxBill(ctx_, prompter_)) return false;
    reloadKeepingRow();
    return true;
}

bool JournalCommands::unWriteOff() {
    if (!permitted(JournalCommand::UnWriteOff, "12")) return false;
    if (view_.rowCount() == 0) return false;
    if (selectedIds(view_).isEmpty()) {
        prompter_.message(QStringLiteral("请选定要反核销的单据!"), Icon::Exclamation,
                          ctx_.msgTitle);
        return false;
    }
    // The selection only lets the command run; it acts on the current row.
    const int row = view_.currentRow();
    ctx_.gJournalRow = row;
    if (!isBillRow(row)) return false;
    if (!bill::unHxBill(ctx_, prompter_, static_cast<qint32>(view_.interId(row)))) return false;
    reloadKeepingRow();
    return true;
}

bool JournalCommands::split() {
    if (!permitted(JournalCommand::Split, "13")) return false;
    const int row = view_.currentRow();
    if (!isBillRow(row)) return false;
    ctx_.gJournalRow = row;
    ctx_.gCurrentInterId = static_cast<qint32>(view_.interId(row));
    ctx_.gEditMode = entry::kModeSplit;
    ctx_.gFromJournal = 1;
    if (!bill::splitCheck(ctx_, prompter_)) {
        ctx_.gFromJournal = 0;
        return false;
    }
    openEditorAndRefresh();
    return true;
}

bool JournalCommands::restore() {
    if (!isCommandAvailable(ctx_, JournalCommand::Restore)) return false;
    if (ctx_.gIsCloseStock == 1) {
        prompter_.message(QStringLiteral("当前期间已经关账,不能再进行处理"), Icon::Critical,
                          ctx_.msgTitle);
        return false;
    }
    // The right is only asked of a list that has bills.
    if (view_.rowCount() == 0) return false;
    if (!permitted(JournalCommand::Restore, "14", false)) return false;
    if (prompter_.question(QStringLiteral("确定要还原吗?"), entry::Buttons::YesNo, Icon::Question,
                           ctx_.msgTitle) != entry::Answer::Yes) {
        return false;
    }
    const int row = view_.currentRow();
    ctx_.gJournalRow = row;
    if (!isBillRow(row)) return false;
    if (!bill::restoreBill(ctx_, prompter_, static_cast<qint32>(view_.interId(row)))) return false;
    reloadKeepingRow();
    return true;
}

bool JournalCommands::followChanges() {
    // Each line kept is found again by its bill and its place in the bill.
    using Line = std::pair<qint64, int>;
    const auto firstRows = [this] {
        QHash<qint64, int> first;
        for (int r = 0; r < view_.rowCount(); ++r)
            if (isBillRow(r) && !first.contains(view_.interId(r)))
                first.insert(view_.interId(r), r);
        return first;
    };
    QHash<qint64, int> first = firstRows();
    const auto lineAt = [&](int r) {
        return isBillRow(r) ? Line{view_.interId(r), r - first.value(view_.interId(r))}
                            : Line{0, r};
    };
    const auto rowOf = [&](const Line& line) {
        if (line.first == 0) return line.second;
        const int r = first.value(line.first, -1) + line.second;
        return first.contains(line.first) && isBillRow(r) && view_.interId(r) == line.first ? r
                                                                                            : -1;
    };
    const int row = view_.currentRow();
    const Line current = lineAt(row);
    const Line top = lineAt(view_.topRow());
    std::vector<Line> selected;
    for (int r = 0; r < view_.rowCount(); ++r)
        if (r != row && isBillRow(r) && view_.isRowSelected(r)) selected.push_back(lineAt(r));
    keptBill_ = current.first;
    if (!view_.reloadQuietly()) return false;
    first = firstRows();
    const int currentNow = rowOf(current);
    if (currentNow >= 0) {
        view_.setCurrentRow(currentNow);
    } else {
        restoreRowTo(row);
    }
    for (const Line& line : selected)
        if (const int r = rowOf(line); r >= 0) view_.selectRow(r);
    const int topNow = rowOf(top);
    if (topNow >= 0 && topNow < view_.rowCount() - 1) view_.setTopRow(topNow);
    return true;
}

bool JournalCommands::refresh() {
    ctx_.gJournalRow = view_.currentRow();
    return reloadKeepingRow();
}

void JournalCommands::filter() {
    ctx_.gJournalRow = view_.currentRow();
    keepCurrentBill();
    view_.showQuery();
    restoreRow();
}

int ColumnLock::load(int columnCount) {
    ctx_.gIniFile = entry::setupIniPath(ctx_);
    count_ = entry::readIni(ctx_, lockSection(), lockKey(ctx_), QStringLiteral("0"));
    const std::optional<int> n = parseCount(count_);
    if (!n || *n < 1 || *n + 2 >= columnCount) return 0;
    return *n;
}

std::optional<int> ColumnLock::ask(entry::Prompter& prompter, int columnCount) {
    const std::optional<int> current = parseCount(count_);
    const std::optional<QString> answer =
        prompter.input(QStringLiteral("请输入锁定列数(整型)"),
                       current ? QString::number(*current) : QString(), ctx_.msgTitle);
    if (!answer || answer->trimmed().isEmpty()) return std::nullopt;
    const std::optional<int> n = parseCount(*answer);
    if (!n || *n < 0 || columnCount <= *n + 2) return std::nullopt;
    count_ = QString::number(*n);
    return n;
}

void ColumnLock::save() const {
    if (ctx_.gIniFile.isEmpty()) ctx_.gIniFile = entry::setupIniPath(ctx_);
    entry::writeIni(ctx_, lockSection(), lockKey(ctx_), count_);
}

}  // namespace otherin::journal
