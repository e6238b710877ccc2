#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QVariantList>
#include <memory>

#include "db/connection_string.h"
#include "db/dialect.h"
#include "db/file_lock.h"
#include "db/procedures.h"
#include "db/query.h"

class QSqlDatabase;
class QSqlDriver;

namespace otherin::db {

// The database connection of one component instance. open() and close() mark
// the start and end of an operation; the physical connection behind them is
// made at the first open and kept for the instance's life, so an operation
// pays neither a reconnect (a login on a server) nor a fresh write-ahead log.
// Opening an open connection does nothing. Each instance has its own name in
// QtSql, so two components in one process never share a handle.
class Connection {
  public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Raises DbError when the string is not understood or the database cannot
    // be reached. A server connection found broken at the start of an
    // operation is made again once.
    void open(const QString& connectionString);
    // Ends the operation: a transaction still open is rolled back; the
    // physical connection stays.
    void close();
    // True between open() and close().
    bool isOpen() const;
    // Drops the physical connection as well (the destructor does it).
    void disconnect();
    bool isConnected() const;

    const Dialect& dialect() const { return dialect_; }
    QString databasePath() const { return target_.path; }
    const ConnectionTarget& target() const { return target_; }

    Query prepare(const QString& sql) const;
    // Runs one statement with the values bound in order; answers rows affected.
    int exec(const QString& sql, const QVariantList& values = {}) const;
    // First column of the first row, or an invalid QVariant without rows.
    QVariant scalar(const QString& sql, const QVariantList& values = {}) const;
    bool tableExists(const QString& table) const;

    ProcedureRegistry& procedures() { return procedures_; }
    // Calls a stored procedure (a registered C++ function) inside the
    // caller's transaction; output parameters are written back into params.
    void call(const QString& name, ProcedureParams& params);

    // Depth of open write transactions (see TransactionGuard).
    int transactionDepth() const { return transactionDepth_; }

    // How often the physical connection was made (1 after the first open).
    int connectCount() const { return connectCount_; }
    // Statements sent to the database so far, preparations and liveness
    // probes included: on a server, the round trips the module waited for.
    qint64 roundTrips() const { return statements_->trips(); }

    // Counts the steps that may have left something in the database for good:
    // commits asked for, and statements other than reads run outside a
    // transaction. An operation that failed without advancing it wrote
    // nothing and may be run again.
    int durableSteps() const { return durableSteps_; }
    // Makes the physical connection again, to the same database, inside the
    // current operation (after the server dropped it).
    void reconnect();
    // True when the physical connection still answers.
    bool answers() const;
    // How long a server that does not answer is waited for, in seconds.
    void setConnectTimeout(int seconds) { connectTimeoutS_ = seconds; }
    // The driver of the physical connection (notifications of the server);
    // null before the first open.
    QSqlDriver* driver() const;
    // The server process behind the physical connection; 0 on SQLite.
    int serverProcessId() const;

  private:
    friend class TransactionGuard;
    QSqlDatabase handle() const;
    void connect(const QString& connectionString);
    bool physicallyAlive() const;
    // See StatementPool::expectFirstStatement.
    bool reviveForFirstStatement(QSqlDatabase& db);
    void noteStatement(const QString& sql) const;

    QString name_;
    QString connectedTo_;
    ConnectionTarget target_;
    bool inOperation_ = false;
    Dialect dialect_{DialectKind::Sqlite};
    ProcedureRegistry procedures_;
    int transactionDepth_ = 0;
    int connectCount_ = 0;
    // Since the end of the last operation (or the connection's making).
    QElapsedTimer lastUse_;
    // A server that does not answer is reported after this many seconds.
    int connectTimeoutS_ = 10;
    mutable int durableSteps_ = 0;
    // Advances whenever close() or disconnect() ends what was open, so a guard
    // that outlives its operation cannot end a later operation's transaction.
    int transactionEpoch_ = 0;
    // Held shared while connected to an embedded file (see FileUseLock).
    FileUseLock fileInUse_;
    // Statements already parsed on the physical connection.
    std::shared_ptr<StatementPool> statements_ = std::make_shared<StatementPool>();
};

}  // namespace otherin::db
