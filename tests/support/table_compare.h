#pragma once

#include <QString>
#include <QStringList>

#include "db/connection.h"

namespace otherin::testing {

// Compares every table of two databases (SQLite or a server's, in any pair)
// row by row, in the order of each table's primary key (of all its columns
// when it has none): the same tables, the same columns, the same rows with
// the same values. Names compare without regard to case; numbers compare as
// numbers to six decimals, dates and times as text, so a copy from one kind
// of database into the other compares equal. Columns named in `skipColumns`
// (bare "fmodifytime" for every table, or "table.column") are left out, and
// so are the history's transaction ids and times.
// Answers the first differences, one a line, naming the table, the row's key
// and the column; empty when the databases hold the same.
QString tableDifferences(db::Connection& a, db::Connection& b, const QStringList& skipColumns = {});

}  // namespace otherin::testing
