#include "db/connection.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QUuid>

#include "db/connection_string.h"
#include "db/db_error.h"

namespace otherin::db {

namespace {
// Two processes share one embedded file: a writer waits this long for the
// other's lock before the database reports it busy.
constexpr int kBusyTimeoutMs = 10000;
}  // namespace

Connection::Connection()
    : name_(QStringLiteral("otherin-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

Connection::~Connection() {
    disconnect();
    if (QSqlDatabase::contains(name_)) QSqlDatabase::removeDatabase(name_);
}

void Connection::open(const QString& connectionString) {
    if (isOpen()) return;
    if (!isConnected() || connectedTo_ != connectionString) connect(connectionString);
    inOperation_ = true;
}

void Connection::connect(const QString& connectionString) {
    disconnect();
    const ConnectionTarget target = parseConnectionString(connectionString);
    dialect_ = Dialect(target.kind);
    path_ = target.path;
    QFileInfo file(path_);
    if (!file.absoluteDir().exists() && !QDir().mkpath(file.absolutePath())) {
        throw DbError(QStringLiteral("无法创建数据库目录 %1").arg(file.absolutePath()));
    }
    QSqlDatabase db = QSqlDatabase::contains(name_)
                          ? QSqlDatabase::database(name_, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    if (!db.isValid()) throw DbError(QStringLiteral("缺少 SQLite 数据库驱动 (QSQLITE)"));
    db.setDatabaseName(path_);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        const QString message = db.lastError().databaseText().isEmpty()
                                    ? db.lastError().text()
                                    : db.lastError().databaseText();
        throw DbError(message);
    }
    // The journal mode is stored in the file: set once, it holds for every
    // later connection, so only a file that is not in it yet is changed.
    bool wal = false;
    {
        Query mode(db, QStringLiteral("pragma journal_mode"));
        mode.exec();
        wal = mode.next() &&
              mode.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
    }
    if (!wal) Query(db, QStringLiteral("pragma journal_mode=wal")).exec();
    connectedTo_ = connectionString;
}

void Connection::close() {
    inOperation_ = false;
    ++transactionEpoch_;
    if (transactionDepth_ > 0 && isConnected()) {
        transactionDepth_ = 0;
        try {
            Query(QSqlDatabase::database(name_, false), QStringLiteral("rollback")).exec();
        } catch (const DbError&) {
            // A transaction that cannot be rolled back would keep its write
            // lock on the kept connection; dropping the connection ends it.
            disconnect();
        }
    }
    transactionDepth_ = 0;
}

void Connection::disconnect() {
    inOperation_ = false;
    ++transactionEpoch_;
    transactionDepth_ = 0;
    connectedTo_.clear();
    statements_->clear();
    if (!QSqlDatabase::contains(name_)) return;
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    if (db.isOpen()) db.close();
}

bool Connection::isConnected() const {
    return QSqlDatabase::contains(name_) && QSqlDatabase::database(name_, false).isOpen();
}

bool Connection::isOpen() const {
    return inOperation_ && isConnected();
}

Query Connection::prepare(const QString& sql) const {
    if (!isOpen()) throw DbError(QStringLiteral("数据库连接未打开"));
    return Query(statements_, QSqlDatabase::database(name_, false), sql);
}

int Connection::exec(const QString& sql, const QVariantList& values) const {
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
    return scalar(QStringLiteral("select count(*) from sqlite_master where type in "
                                 "('table','view') and lower(name)=lower(?)"),
                  {table})
               .toInt() > 0;
}

void Connection::call(const QString& name, ProcedureParams& params) {
    if (dialect_.kind() == DialectKind::Sqlite) {
        const EmbeddedProcedure* procedure = procedures_.find(name);
        if (!procedure) throw DbError(QStringLiteral("找不到存储过程 %1").arg(name));
        (*procedure)(*this, params);
        return;
    }
    QSqlQuery q(QSqlDatabase::database(name_, false));
    q.prepare(dialect_.procedureCall(name, static_cast<int>(params.all().size())));
    for (const auto& p : params.all()) {
        q.addBindValue(p.value, p.output ? QSql::InOut : QSql::In);
    }
    if (!q.exec()) throw DbError(q.lastError().text());
    int i = 0;
    for (auto& p : params.all()) {
        if (p.output) p.value = q.boundValue(i);
        ++i;
    }
}

}  // namespace otherin::db
