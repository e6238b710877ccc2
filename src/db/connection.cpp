#include "db/connection.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include "db/db_error.h"
#include "db/sql_error.h"

namespace otherin::db {

namespace {
// Two processes share one embedded file: a writer waits this long for the
// other's lock before the database reports it busy.
constexpr int kBusyTimeoutMs = 10000;
// A server that does not answer is reported after this many seconds.
constexpr int kConnectTimeoutS = 10;

QString driverName(DialectKind kind) {
    return kind == DialectKind::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
}

QString openError(const QSqlError& error) {
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

void prepareFolder(const QString& path) {
    QFileInfo file(path);
    if (!file.absoluteDir().exists() && !QDir().mkpath(file.absolutePath())) {
        throw DbError(QStringLiteral("无法创建数据库目录 %1").arg(file.absolutePath()));
    }
}
}  // namespace

Connection::Connection()
    : name_(QStringLiteral("otherin-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

Connection::~Connection() {
    close();
    dropPhysical();
    if (QSqlDatabase::contains(name_)) QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase Connection::handle() const {
    return QSqlDatabase::database(name_, false);
}

void Connection::open(const QString& connectionString) {
    if (open_) return;
    const bool sameTarget = connectCount_ > 0 && connectionString == connectionString_;
    if (!sameTarget) {
        target_ = parseConnectionString(connectionString);
        dialect_ = Dialect(target_.kind);
        connectionString_ = connectionString;
        dropPhysical();
    }
    // A server may have restarted since the last operation; nothing of this
    // operation has run yet, so a new connection loses nothing.
    if (handle().isOpen() && !physicallyAlive()) dropPhysical();
    if (!handle().isOpen()) connectPhysically();
    open_ = true;
}

void Connection::connectPhysically() {
    if (!QSqlDatabase::contains(name_)) QSqlDatabase::addDatabase(driverName(target_.kind), name_);
    QSqlDatabase db = handle();
    if (!db.isValid() || db.driverName() != driverName(target_.kind)) {
        QSqlDatabase::removeDatabase(name_);
        db = QSqlDatabase::addDatabase(driverName(target_.kind), name_);
    }
    if (!db.isValid()) {
        throw DbError(QStringLiteral("缺少数据库驱动 %1").arg(driverName(target_.kind)));
    }
    if (target_.kind == DialectKind::Sqlite) {
        prepareFolder(target_.path);
        db.setDatabaseName(target_.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!db.open()) throw DbError(openError(db.lastError()));
        Query(db, QStringLiteral("pragma journal_mode=wal")).exec();
    } else {
        db.setHostName(target_.host);
        db.setPort(target_.port);
        db.setDatabaseName(target_.database);
        db.setUserName(target_.user);
        db.setPassword(target_.password);
        QString options = QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutS);
        if (!target_.options.isEmpty()) options += QLatin1Char(';') + target_.options;
        db.setConnectOptions(options);
        if (!db.open()) {
            throw DbError(QStringLiteral("无法连接数据库服务器 %1: %2")
                              .arg(target_.describe(), openError(db.lastError())));
        }
    }
    ++connectCount_;
}

bool Connection::physicallyAlive() const {
    if (target_.kind == DialectKind::Sqlite) return true;
    QSqlQuery probe(handle());
    return probe.exec(QStringLiteral("select 1")) && probe.next();
}

void Connection::dropPhysical() {
    if (!QSqlDatabase::contains(name_)) return;
    QSqlDatabase db = handle();
    if (db.isOpen()) db.close();
}

void Connection::close() {
    if (transactionDepth_ > 0 && handle().isOpen()) {
        // An operation that ends with its transaction open leaves nothing behind.
        QSqlQuery rollback(handle());
        rollback.exec(QStringLiteral("rollback"));
    }
    transactionDepth_ = 0;
    open_ = false;
}

Query Connection::prepare(const QString& sql) const {
    if (!open_) throw DbError(QStringLiteral("数据库连接未打开"));
    return Query(handle(), sql);
}

int Connection::exec(const QString& sql, const QVariantList& values) const {
    if (values.isEmpty()) {
        // Run as it stands: the server prepares no transaction control or
        // database statements, and a statement without values gains nothing
        // from being prepared.
        if (!open_) throw DbError(QStringLiteral("数据库连接未打开"));
        QSqlQuery q(handle());
        if (!q.exec(sql)) throw DbError(databaseMessage(q.lastError()));
        return q.numRowsAffected();
    }
    Query q = prepare(sql);
    for (const auto& v : values) q.bind(v);
    q.exec();
    return q.rowsAffected();
}

QVariant Connection::scalar(const QString& sql, const QVariantList& values) const {
    Query q = prepare(sql);
    for (const auto& v : values) q.bind(v);
    q.exec();
    return q.next() ? q.value(0) : QVariant();
}

bool Connection::tableExists(const QString& table) const {
    const QString sql =
        dialect_.kind() == DialectKind::Sqlite
            ? QStringLiteral(
                  "select count(*) from sqlite_master where type in ('table','view') "
                  "and lower(name)=lower(?)")
            : QStringLiteral(
                  "select count(*) from information_schema.tables where "
                  "table_schema=current_schema() and lower(table_name)=lower(?)");
    return scalar(sql, {table}).toInt() > 0;
}

void Connection::call(const QString& name, ProcedureParams& params) {
    const EmbeddedProcedure* procedure = procedures_.find(name);
    if (!procedure) throw DbError(QStringLiteral("找不到存储过程 %1").arg(name));
    (*procedure)(*this, params);
}

}  // namespace otherin::db
