#include "query/bill_find_controller.h"

#include "db/db_error.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "query/clause_builder.h"
#include "query/result_loader.h"

namespace otherin::query {

namespace {
constexpr int kUnitClass = 7;
}

BillFindController::BillFindController(entry::LoginContext& ctx, entry::Prompter& prompter,
                                       entry::Selectors selectors)
    : ctx_(ctx), prompter_(prompter), selectors_(selectors), schemes_(ctx, prompter) {}

QString BillFindController::caption() const {
    return QStringLiteral("查询") + ctx_.gBillName;
}

void BillFindController::open() {
    try {
        catalogue_.load(ctx_);
    } catch (const db::DbError& e) {
        prompter_.message(e.message(), entry::Icon::None, ctx_.msgTitle);
        entry::closeConnection(ctx_);
    }
    filters_.reset();
    if (schemes_.loadList()) loadScheme(schemes_.defaultId());
    if (ctx_.gEntryKind == 3) filters_.presetForPriceEdit();
}

QString BillFindController::seekSQL() const {
    return buildSeekSQL(conditions_);
}

QString BillFindController::mainSQL() const {
    return buildMainSQL(filters_, ctx_);
}

QString BillFindController::orderSQL() const {
    return buildOrderSQL(sort_);
}

bool BillFindController::runQuery(JournalModel& journal) {
    return runQuery(journal, prompter_);
}

bool BillFindController::runQuery(JournalModel& journal, entry::Prompter& prompter) {
    QString seek;
    QString order;
    try {
        seek = seekSQL();
        order = orderSQL();
    } catch (const ConditionError& e) {
        prompter.message(e.message(), entry::Icon::Exclamation, ctx_.msgTitle);
        return false;
    }
    return find(ctx_, prompter, journal, seek, mainSQL(), order);
}

bool BillFindController::pickValue(int row) {
    if (row < 0 || row >= ConditionGrid::kRows) return false;
    const QString itemClass = conditions_.cell(row, ConditionGrid::ItemClass).trimmed();
    if (!hasItemClass(itemClass)) return false;
    const QString itemType = conditions_.cell(row, ConditionGrid::ItemType).trimmed();
    entry::SelectorAnswer answer;
    if (itemType == QLatin1String("0") && itemClass.toInt() == kUnitClass) {
        if (!selectors_.unit) return false;
        answer = selectors_.unit->choose({QString::fromLatin1(entry::kUnitSelectorCode),
                                          ctx_.gItemClassList, ctx_.DBConnectionString, 0});
    } else if (itemType == QLatin1String("0")) {
        if (!selectors_.record) return false;
        answer = selectors_.record->choose(
            {QString::fromLatin1(entry::kRecordSelectorCode), ctx_.gItemClassList,
             ctx_.DBConnectionString, ctx_.gSeekItem, conditions_.cell(row, ConditionGrid::Value),
             itemClass, ctx_.gLoginUserId});
    } else {
        if (!selectors_.second) return false;
        answer =
            selectors_.second->choose({QString::fromLatin1(entry::kSecondSelectorCode),
                                       ctx_.gItemClassList, ctx_.DBConnectionString, itemClass});
    }
    const QString kind = conditions_.cell(row, ConditionGrid::ResultKind).trimmed();
    const bool wantsCode = kind.isEmpty() || kind == QLatin1String("0");
    QString value;
    if (answer.chosen()) value = wantsCode ? answer.code : answer.name;
    conditions_.setValue(row, value);
    return true;
}

bool BillFindController::addSortField(int titleIndex) {
    const QStringList& titles = catalogue_.sortTitles();
    if (titleIndex < 0 || titleIndex >= titles.size()) return false;
    return sort_.add(titles[titleIndex], catalogue_.sortFieldNames()[titleIndex]);
}

bool BillFindController::removeSortRow(int row) {
    return sort_.remove(row, prompter_, ctx_.msgTitle);
}

bool BillFindController::loadScheme(int id) {
    return schemes_.load(id, conditions_, sort_);
}

}  // namespace otherin::query
