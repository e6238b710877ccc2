#pragma once

#include <QString>
#include <QVariantList>

namespace otherin::db {
class Dialect;
}
namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::query {

class JournalModel;

inline constexpr int kJournalLineLimit = 20000;

// The journal's select with its bound values (the user id of the operator
// scoping); the conditions are composed text, made safe by their builders.
struct FindStatement {
    QString sql;
    QVariantList values;
};

// The bill view's lines that pass the operator scoping, the seek clause
// (closed here), the main clause and the order clause (by default
// "finterid,forderid"), one more than kJournalLineLimit at most, so the
// loader knows when the limit cut the result.
FindStatement buildFindStatement(const entry::LoginContext& ctx, const db::Dialect& dialect,
                                 const QString& seek, const QString& main, const QString& order);

// Runs the query and fills the journal: lines, totals, the id list (also into
// ctx.gBillIdList) and the status text. A failure is told in a plain box and
// leaves the journal as it was; answers false then.
bool find(entry::LoginContext& ctx, entry::Prompter& prompter, JournalModel& journal,
          const QString& seek, const QString& main, const QString& order);

// "共计:3张单据,5条记录(取数时间0.250秒)": seconds rounded to 2 decimals,
// written with 3; a result cut at kJournalLineLimit lines says so after it.
QString statusText(int bills, int lines, qint64 elapsedMs, bool cut = false);

// What the status text adds for this clerk: that only the bills of the
// clerk (or the clerk's groups) are listed, and, when a price-editing journal
// comes up empty, why.
QString scopeNote(const entry::LoginContext& ctx, int bills);

}  // namespace otherin::query
