#pragma once

#include <QString>
#include <QVariantList>
#include <memory>

#include "db/dialect.h"
#include "db/procedures.h"
#include "db/query.h"

namespace otherin::db {

// The database connection of one component instance. open() and close() mark
// the start and end of an operation; the physical connection behind them is
// made at the first open and kept for the instance's life, so an operation
// pays neither a reconnect nor a fresh write-ahead log. Opening an open
// connection does nothing. Each instance has its own name in QtSql, so two
// components in one process never share a handle.
class Connection {
  public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Raises DbError when the string is not understood or the database cannot
    // be opened.
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
    QString databasePath() const { return path_; }

    Query prepare(const QString& sql) const;
    // Runs one statement with the values bound in order; answers rows affected.
    int exec(const QString& sql, const QVariantList& values = {}) const;
    // First column of the first row, or an invalid QVariant without rows.
    QVariant scalar(const QString& sql, const QVariantList& values = {}) const;
    bool tableExists(const QString& table) const;

    ProcedureRegistry& procedures() { return procedures_; }
    // Calls a stored procedure; output parameters are written back into params.
    void call(const QString& name, ProcedureParams& params);

    // Depth of open write transactions (see TransactionGuard).
    int transactionDepth() const { return transactionDepth_; }

  private:
    friend class TransactionGuard;
    void connect(const QString& connectionString);

    QString name_;
    QString path_;
    QString connectedTo_;
    bool inOperation_ = false;
    Dialect dialect_{DialectKind::Sqlite};
    ProcedureRegistry procedures_;
    int transactionDepth_ = 0;
    // Advances whenever close() or disconnect() ends what was open, so a guard
    // that outlives its operation cannot end a later operation's transaction.
    int transactionEpoch_ = 0;
    // Statements already parsed on the physical connection.
    std::shared_ptr<StatementPool> statements_ = std::make_shared<StatementPool>();
};

}  // namespace otherin::db
