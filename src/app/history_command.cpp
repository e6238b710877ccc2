#include "app/history_command.h"

#include "bill/bill_history.h"
#include "db/connection.h"
#include "db/db_error.h"

namespace otherin::app {

namespace {

void printRows(const QString& label, const QString& rows, QTextStream& out) {
    for (const QString& row : rows.split(u'\n', Qt::SkipEmptyParts))
        out << QStringLiteral("    %1 %2\n").arg(label, row);
}

}  // namespace

int runHistory(const QString& connectionString, qint64 billId, int limit, QTextStream& out,
               QTextStream& err) {
    try {
        db::Connection connection;
        connection.open(connectionString);
        if (!connection.tableExists(QStringLiteral("otherin_history")))
            throw db::DbError(QStringLiteral("数据库没有修改记录表，请先用 otherin init 升级"));
        if (billId > 0) {
            const auto entries = bill::billHistory(connection, static_cast<qint32>(billId));
            const bill::HistoryNames names = bill::historyNames(connection, entries);
            if (entries.empty()) out << QStringLiteral("单据 %1 没有修改记录\n").arg(billId);
            for (const bill::HistoryEntry& e : entries) {
                out << QStringLiteral("%1  %2  %3\n").arg(e.time, e.operation, e.who);
                for (const QString& change : bill::describeChange(e.before, e.after, names))
                    out << QStringLiteral("    ") << change << '\n';
            }
        } else {
            const auto changes = bill::administrativeHistory(connection, limit);
            if (changes.empty()) out << QStringLiteral("没有管理方面的修改记录\n");
            for (const bill::AdministrativeChange& c : changes) {
                out << QStringLiteral("%1  %2  %3  %4\n")
                           .arg(c.entry.time, c.what, c.entry.operation, c.entry.who);
                printRows(QStringLiteral("之前"), c.entry.before, out);
                printRows(QStringLiteral("之后"), c.entry.after, out);
            }
        }
    } catch (const db::DbError& e) {
        err << e.message() << '\n';
        err.flush();
        return 1;
    }
    out.flush();
    return 0;
}

}  // namespace otherin::app
