#pragma once

#include <QString>
#include <QTextStream>

namespace otherin::app {

// `otherin copy --from sqlite:FILE --to URL`: copies every table of an
// embedded database into an empty database (a server's, usually), with a
// progress line on `err`; then checks that each table holds as many rows as
// the source's and that the ledger agrees with the bills as well in the copy
// as in the source, and prints a summary on `out`. A target whose tables hold
// rows is refused and left as it was. Answers the process exit status: 0 when
// the copy was made and checked, 1 otherwise (the reason told on `err`).
int runCopy(const QString& from, const QString& to, QTextStream& out, QTextStream& err);

}  // namespace otherin::app
