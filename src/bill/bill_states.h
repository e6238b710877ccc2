#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

namespace otherin::db {
class Connection;
}
namespace otherin::entry {
struct LoginContext;
}

namespace otherin::bill {

// The stored state of one bill header, as the operations check it.
struct BillState {
    qint32 interId = 0;
    QString billNo;
    QDate date;
    int status = 0;
    bool cancelled = false;
    int posted = 0;
    qint32 sourceId = 0;  // the bill a split cut this one from
    qint32 writeOffId = 0;
    QString operatorId;
    int version = 0;  // advanced by every write to the bill
};

// Reads the headers of `ids` in the database's order.
std::vector<BillState> readBillStates(db::Connection& connection, const QList<qint32>& ids);

// True when `date` lies before the current period's start (no start known:
// nothing is earlier).
bool beforeCurrentPeriod(const entry::LoginContext& ctx, const QDate& date);

// The refusal text "编号为:" + number + tail.
// The year of the accounting period that holds `date`; none when no period
// does. Raises db::DbError when the database cannot tell.
std::optional<int> periodYearOf(entry::LoginContext& ctx, const QDate& date);

QString billRefusal(const BillState& bill, const QString& tail);

}  // namespace otherin::bill
