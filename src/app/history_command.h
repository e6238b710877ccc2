#pragma once

#include <QString>
#include <QTextStream>

namespace otherin::app {

// `otherin history [--db …] [--bill ID] [--limit N]`: the change history,
// newest first. Without a bill, the administrative changes (users, groups,
// rights, switches, periods, shared layouts and schemes) with the rows before
// and after; with one, the bill's operations and what each changed. Answers 0,
// or 1 after an error told on `err`.
int runHistory(const QString& connectionString, qint64 billId, int limit, QTextStream& out,
               QTextStream& err);

}  // namespace otherin::app
