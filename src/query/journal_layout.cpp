#include "query/journal_layout.h"

#include <QSet>
#include <algorithm>

#include "entry/login_context.h"

namespace otherin::query {

namespace {

// Field names compare without regard to case.
QSet<QString> hiddenFields(entry::LoginContext& ctx) {
    QSet<QString> hidden;
    if (ctx.IsAdmin == 1) return hidden;
    db::Query q = ctx.gConnection.prepare(
        QStringLiteral("select fFieldName from tblEntryVisible where ftypeid=? and "
                       "fbilltypeid=2 and fuserid=?"));
    q.bind(ctx.gBillTypeId).bind(ctx.gLoginUserId.trimmed().toLongLong()).exec();
    while (q.next()) hidden.insert(q.value(0).toString().toLower());
    return hidden;
}

}  // namespace

JournalLayout loadJournalLayout(entry::LoginContext& ctx) {
    JournalLayout layout;
    auto& columns = layout.columns;
    columns.push_back({QStringLiteral("finterid"), {}, 1, {}, true, false});
    columns.push_back({QStringLiteral("fentryid"), {}, 4, {}, true, false});
    columns.push_back({QStringLiteral("fbillno"), {}, 1, {}, true, false});

    const QSet<QString> hidden = hiddenFields(ctx);
    std::vector<int> summed;
    db::Query q = ctx.gConnection.prepare(
        QStringLiteral("select fFieldname,fTitleName,fAlign,fDataFormat,fIsMerge,fIsSum,fentryid "
                       "from tblFindInfoEntry where ftypeid=? order by fentryid"));
    q.bind(ctx.gBillTypeId).exec();
    while (q.next()) {
        if (q.value(4).toInt() == 1) ++layout.billLevelColumns;
        // The sum flag names column fentryid + 2, which is the row's own column
        // only while the configured ids run 1, 2, 3, … without gaps.
        if (q.value(5).toInt() == 1) summed.push_back(q.value(6).toInt() + 2);
        if (static_cast<int>(columns.size()) >= kMaxJournalColumns) continue;
        const QString field = q.value(0).toString();
        columns.push_back({field, q.value(1).toString(), q.value(2).toInt(), q.value(3).toString(),
                           hidden.contains(field.toLower()), false});
    }
    for (const int c : summed) {
        if (c >= 1 && c < static_cast<int>(columns.size())) columns[c].summed = true;
    }
    const int configured = static_cast<int>(columns.size()) - kFixedJournalColumns;
    layout.billLevelColumns = std::min(layout.billLevelColumns, configured);
    return layout;
}

}  // namespace otherin::query
