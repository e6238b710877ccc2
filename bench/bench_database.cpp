#include "bench_database.h"

#include <QUuid>
#include <cstdio>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/db_error.h"

namespace otherin::bench {

namespace {

QString serverSetting(const QStringList& arguments) {
    const qsizetype at = arguments.indexOf(QStringLiteral("--db"));
    if (at >= 0 && at + 1 < arguments.size()) return arguments[at + 1];
    return qEnvironmentVariable("OTHERIN_TEST_DB").trimmed();
}

QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

}  // namespace

BenchDatabase::BenchDatabase(const QString& name, const QStringList& arguments) {
    const QString setting = serverSetting(arguments);
    if (setting.isEmpty()) {
        connectionString_ =
            QStringLiteral("sqlite:") + dir_.filePath(name + QStringLiteral(".sqlite"));
        return;
    }
    db::ConnectionTarget target = db::parseConnectionString(setting);
    if (target.kind == db::DialectKind::Sqlite) {
        throw db::DbError(QStringLiteral("--db names no database server: %1").arg(setting));
    }
    target.database = QStringLiteral("postgres");
    server_ = target.toConnectionString();
    serverDatabase_ = QStringLiteral("otherin_bench_%1_%2")
                          .arg(name.toLower(), QUuid::createUuid().toString(QUuid::Id128).left(8));
    db::Connection admin;
    admin.open(server_);
    admin.exec(QStringLiteral("create database %1").arg(quoted(serverDatabase_)));
    target.database = serverDatabase_;
    connectionString_ = target.toConnectionString();
}

BenchDatabase::~BenchDatabase() {
    if (serverDatabase_.isEmpty()) return;
    try {
        db::Connection admin;
        admin.open(server_);
        admin.exec(
            QStringLiteral("drop database if exists %1 with (force)").arg(quoted(serverDatabase_)));
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "could not drop %s: %s\n", qPrintable(serverDatabase_),
                     qPrintable(e.message()));
    }
}

QString BenchDatabase::backend() const {
    if (!onServer()) return QStringLiteral("SQLite");
    return QStringLiteral("PostgreSQL at %1")
        .arg(db::parseConnectionString(connectionString_).describe());
}

}  // namespace otherin::bench
