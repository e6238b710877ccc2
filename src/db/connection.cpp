#include "db/connection.h"
#include "db/login_probe.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

#include "db/db_error.h"
#include "db/error_words.h"
#include "db/sql_error.h"
#include "db/sqlite_busy.h"

namespace otherin::db {

namespace {
// Two processes share one embedded file: a writer waits this long for the
// other's lock before the database reports it busy.
constexpr int kBusyTimeoutMs = 10000;
// SQLite's result code for a lock held by another connection, and the pause
// before a change it refused for that is tried again.
constexpr int kSqliteBusy = 5;
constexpr int kBusyPauseMs = 20;
// A server connection idle for longer is asked whether it still answers
// before an operation uses it.
constexpr qint64 kUnprobedIdleMs = 30000;
// A statement asked for outside an operation, or after the connection was
// lost and could not be made again within it.
const QString kNotOpen =
    QStringLiteral("与数据库的连接已断开,这项操作没有完成。请重试;若仍连接不上,请联系系统管理员。");

QString driverName(DialectKind kind) {
    return kind == DialectKind::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
}

// A connection that could not be made, in the clerk's words; the library's
// own text, which may run over several lines, goes on the detail line.
DbError openError(const QSqlDatabase& db, const ConnectionTarget& target) {
    const QSqlError error = db.lastError();
    FailureReport report;
    report.kind = target.kind;
    report.code = error.nativeErrorCode();
    report.where = target.kind == DialectKind::Sqlite ? target.path : target.describe();
    report.opening = true;
    report.connectionBroken = true;
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) text = error.text().trimmed();
    report.serverText = text.simplified();
    return DbError(inClerksWords(report), report.code, report.serverText);
}

// Reads back the string rules the connection asked for: a server or a
// connection pool in front of it may not have taken them, and every text the
// module writes into a statement relies on them.
void requireStandardStrings(QSqlDatabase& db, const ConnectionTarget& target) {
    QSqlQuery show(db);
    const bool read = show.exec(QStringLiteral("show standard_conforming_strings")) && show.next();
    if (read && show.value(0).toString() == QLatin1String("on")) return;
    const QString detail =
        read ? QStringLiteral("standard_conforming_strings=") + show.value(0).toString()
             : databaseMessage(show.lastError());
    db.close();
    throw DbError(
        QStringLiteral("数据库服务器 %1 的连接没有按标准规则处理文字中的反斜杠 "
                       "(standard_conforming_strings 不是 on),为了不让输入的文字被误解,"
                       "程序不能使用这个连接。请系统管理员检查服务器或连接池的设置。\n%2%3")
            .arg(target.describe(), QString::fromUtf16(kDetailPrefix), detail),
        QString(), detail);
}

void prepareFolder(const QString& path) {
    QFileInfo file(path);
    if (!file.absoluteDir().exists() && !QDir().mkpath(file.absolutePath())) {
        throw DbError(QStringLiteral("无法创建数据库目录 %1").arg(file.absolutePath()));
    }
}

bool writesAheadLog(QSqlDatabase& db) {
    Query mode(db, QStringLiteral("pragma journal_mode"));
    mode.exec();
    return mode.next() &&
           mode.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
}

void openFile(QSqlDatabase& db, const QString& path, FileUseLock& inUse) {
    prepareFolder(path);
    if (!inUse.take(path, FileUseLock::Mode::Shared)) {
        throw DbError(QStringLiteral("数据库文件 %1 正在从备份恢复,现在不能打开。"
                                     "请等恢复结束后再试。")
                          .arg(path));
    }
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        ConnectionTarget file;
        file.path = path;
        throw openError(db, file);
    }
    // The driver's timed wait stays only where the handle cannot be reached.
    waitBrieflyWhenBusy(db.driver(), kBusyTimeoutMs);
    // The journal mode is stored in the file: set once, it holds for every
    // later connection, so only a file that is not in it yet is changed.
    // SQLite does not wait for the lock the change takes: beside a program
    // starting on the same new file, it is refused as busy at once. It is
    // tried again for the busy timeout, and needs no more once the other
    // program has made the change.
    const QDeadlineTimer deadline(kBusyTimeoutMs);
    while (!writesAheadLog(db)) {
        try {
            Query(db, QStringLiteral("pragma journal_mode=wal")).exec();
            return;
        } catch (const DbError& e) {
            if ((e.code().toInt() & 0xff) != kSqliteBusy || deadline.hasExpired()) throw;
        }
        QThread::msleep(kBusyPauseMs);
    }
}

void openServer(QSqlDatabase& db, const ConnectionTarget& target, int timeoutS) {
    db.setHostName(target.host);
    db.setPort(target.port);
    db.setDatabaseName(target.database);
    db.setUserName(target.user);
    db.setPassword(target.password.isEmpty() ? rememberedServerPassword(target).value_or(QString())
                                             : target.password);
    db.setConnectOptions(serverConnectOptions(target, timeoutS));
    if (!db.open()) throw openError(db, target);
    requireStandardStrings(db, target);
}
}  // namespace

Connection::Connection()
    : name_(QStringLiteral("otherin-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

Connection::~Connection() {
    disconnect();
    if (QSqlDatabase::contains(name_)) QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase Connection::handle() const {
    return QSqlDatabase::database(name_, false);
}

void Connection::open(const QString& connectionString) {
    if (isOpen()) return;
    if (!isConnected() || connectedTo_ != connectionString) {
        connect(connectionString);
    } else if (dialect_.isServer()) {
        // A server may have restarted since the last operation; nothing of
        // this operation has run yet, so a new connection loses nothing. A
        // connection used moments ago is not asked first: its first
        // statement is run again on a new one if it finds it broken.
        if (lastUse_.isValid() && !lastUse_.hasExpired(kUnprobedIdleMs)) {
            statements_->expectFirstStatement(
                [this](QSqlDatabase& db) { return reviveForFirstStatement(db); });
        } else if (!physicallyAlive()) {
            connect(connectionString);
        }
    }
    inOperation_ = true;
}

bool Connection::reviveForFirstStatement(QSqlDatabase& db) {
    if (transactionDepth_ > 0 || !inOperation_ || physicallyAlive()) return false;
    // Nothing of the operation ran: it goes on, on the new connection, under
    // the guards it has (none holds a transaction yet).
    const QString connectionString = connectedTo_;
    const int epoch = transactionEpoch_;
    connect(connectionString);
    inOperation_ = true;
    transactionEpoch_ = epoch;
    db = handle();
    return true;
}

void Connection::connect(const QString& connectionString) {
    disconnect();
    target_ = parseConnectionString(connectionString);
    dialect_ = Dialect(target_.kind);
    const QString driver = driverName(target_.kind);
    if (QSqlDatabase::contains(name_) && handle().driverName() != driver) {
        QSqlDatabase::removeDatabase(name_);
    }
    QSqlDatabase db =
        QSqlDatabase::contains(name_) ? handle() : QSqlDatabase::addDatabase(driver, name_);
    if (!db.isValid()) throw DbError(QStringLiteral("缺少数据库驱动 %1").arg(driver));
    if (target_.kind == DialectKind::Sqlite) {
        try {
            openFile(db, target_.path, fileInUse_);
        } catch (const DbError&) {
            fileInUse_.release();
            throw;
        }
    } else {
        openServer(db, target_, connectTimeoutS_);
    }
    connectedTo_ = connectionString;
    ++connectCount_;
    lastUse_.start();
}

bool Connection::physicallyAlive() const {
    if (target_.kind == DialectKind::Sqlite) return true;
    QSqlQuery probe(handle());
    statements_->noteTrip();
    return probe.exec(QStringLiteral("select 1")) && probe.next();
}

void Connection::reconnect() {
    const QString connectionString = connectedTo_;
    const bool inOperation = inOperation_;
    connect(connectionString);
    inOperation_ = inOperation;
}

bool Connection::answers() const {
    return isConnected() && physicallyAlive();
}

QSqlDriver* Connection::driver() const {
    return QSqlDatabase::contains(name_) ? handle().driver() : nullptr;
}

int Connection::serverProcessId() const {
    return isConnected() ? serverLink(driver()).backendPid : 0;
}

void Connection::noteStatement(const QString& sql) const {
    if (transactionDepth_ > 0) return;
    const QString head = sql.trimmed().left(8).toLower();
    const bool read =
        head.startsWith(QLatin1String("select")) || head.startsWith(QLatin1String("pragma")) ||
        head.startsWith(QLatin1String("begin")) || head.startsWith(QLatin1String("rollback"));
    if (!read) ++durableSteps_;
}

void Connection::close() {
    inOperation_ = false;
    ++transactionEpoch_;
    statements_->firstStatementRan();
    if (isConnected()) lastUse_.start();
    if (transactionDepth_ > 0 && isConnected()) {
        transactionDepth_ = 0;
        QSqlQuery rollback(handle());
        // A transaction that cannot be rolled back would keep its locks on the
        // kept connection; dropping the connection ends it.
        if (!rollback.exec(QStringLiteral("rollback"))) disconnect();
    }
    transactionDepth_ = 0;
}

void Connection::disconnect() {
    inOperation_ = false;
    ++transactionEpoch_;
    transactionDepth_ = 0;
    connectedTo_.clear();
    statements_->clear();
    if (QSqlDatabase::contains(name_)) {
        QSqlDatabase db = handle();
        if (db.isOpen()) db.close();
    }
    // Only once the file is closed may a restore replace it.
    fileInUse_.release();
}

bool Connection::isConnected() const {
    return QSqlDatabase::contains(name_) && handle().isOpen();
}

bool Connection::isOpen() const {
    return inOperation_ && isConnected();
}

Query Connection::prepare(const QString& sql) const {
    if (!isOpen()) throw DbError(kNotOpen);
    noteStatement(sql);
    return Query(statements_, handle(), sql);
}

int Connection::exec(const QString& sql, const QVariantList& values) const {
    if (values.isEmpty()) {
        // Run as it stands: the server prepares no transaction control or
        // database statements, and a statement without values gains nothing
        // from being prepared.
        if (!isOpen()) throw DbError(kNotOpen);
        noteStatement(sql);
        QSqlQuery q(handle());
        statements_->noteTrip();
        if (!q.exec(sql)) {
            const auto revive = statements_->takeReviver();
            QSqlDatabase db;
            if (!revive || !revive(db)) raise(q.lastError(), q.driver());
            q = QSqlQuery(db);
            statements_->noteTrip();
            if (!q.exec(sql)) raise(q.lastError(), q.driver());
        }
        statements_->firstStatementRan();
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
