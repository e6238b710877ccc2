// Opens a database as the host does (or makes one as `otherin init`) once a line arrives on
// standard input; prints "opened" or init's answer. Exit 1 on a database error, 2 on bad args.

#include <QCoreApplication>
#include <cstdio>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "entry/database_file.h"

using namespace otherin;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool init = args.removeAll(QStringLiteral("--init")) > 0;
    const bool demo = args.removeAll(QStringLiteral("--demo")) > 0;
    const auto value = [&](const char* name) {
        const qsizetype at = args.indexOf(QLatin1String(name));
        return at > 0 ? args.value(at + 1) : QString();
    };
    const QString database = value("--db");
    const QString defaultPath = value("--default");
    char go[16];
    if (database.isEmpty() || (!init && defaultPath.isEmpty()) ||
        !std::fgets(go, sizeof go, stdin)) {
        std::fputs("startup_worker --db PATH|URL (--default PATH | --init [--demo])\n", stderr);
        return 2;
    }
    try {
        if (init) {
            std::puts(qPrintable(entry::initDatabase(database, demo)));
            return 0;
        }
        db::Connection connection;
        entry::openHostDatabase(connection, db::connectionStringFromArgument(database),
                                defaultPath);
        std::puts("opened");
        return 0;
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
}
