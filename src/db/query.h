#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace otherin::db {

// Column positions of one prepared statement, looked up by name.
using ColumnPositions = QHash<QString, int>;

// Prepared statements of one physical connection that have finished and can
// be run again: the same text is parsed once per connection, not once per
// use. Each keeps the column positions its runs looked up, so a name is
// looked up once per preparation, not once per run. Cleared (and its
// generation advanced) when the connection is dropped, so a statement of an
// earlier connection is never handed out again.
class StatementPool {
  public:
    // A finished statement of this text with its known positions, or none.
    bool take(const QString& sql, QSqlQuery& into, ColumnPositions& positions);
    void give(const QString& sql, QSqlQuery&& query, ColumnPositions&& positions, int generation);
    void clear();
    int generation() const { return generation_; }
    // Statements sent to the database on this connection, each preparation
    // counted apart (on a server each is a round trip).
    void noteTrip() { ++trips_; }
    qint64 trips() const { return trips_; }

    // The operation's first statement runs on a connection not probed first
    // (it was in use moments ago): when that statement fails, `revive` is
    // asked for a new physical connection, and answers false when the old one
    // still answers or a transaction was open (the failure is then the
    // statement's own). Any statement that runs ends the state.
    void expectFirstStatement(std::function<bool(QSqlDatabase&)> revive) {
        revive_ = std::move(revive);
    }
    void firstStatementRan() { revive_ = nullptr; }
    // Takes the reviver (once): null when the statement is not the first.
    std::function<bool(QSqlDatabase&)> takeReviver() { return std::exchange(revive_, nullptr); }

  private:
    // Enough for every fixed statement of the module; texts built per search
    // beyond it are simply not kept.
    static constexpr int kMaxIdle = 256;
    struct Idle {
        QSqlQuery query;
        ColumnPositions positions;
    };
    // A standard map: its values are moved, never copied (a statement is
    // not meant to be copied).
    std::unordered_map<QString, std::vector<Idle>> idle_;
    int idleCount_ = 0;
    int generation_ = 0;
    qint64 trips_ = 0;
    std::function<bool(QSqlDatabase&)> revive_;
};

// A prepared statement with positional bound values. Every failure raises
// DbError with the database's own message, a failed row read included: next()
// answers false only at the true end of the rows.
class Query {
  public:
    Query(const QSqlDatabase& db, const QString& sql);
    // Takes the statement from the pool when it holds one of this text, and
    // gives it back, finished, when the query goes out of scope.
    Query(const std::shared_ptr<StatementPool>& pool, const QSqlDatabase& db, const QString& sql);
    ~Query();
    Query(Query&& other) noexcept;
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;
    Query& operator=(Query&&) = delete;

    Query& bind(const QVariant& value);
    // Raises DbError when fewer or more values were bound than the last run of
    // the same statement had (a kept statement still holds its old values).
    Query& exec();

    bool next();
    QVariant value(int index) const { return query_.value(index); }
    // Column names compare without regard to case. The position of each
    // name is looked up once per preparation of the statement and kept
    // across its runs, also in the pool: the text fixes its columns. A text
    // with a star ("select *", "a.*") keeps them for one run only, as its
    // columns follow the tables'.
    QVariant value(const QString& column) const;
    QString text(const QString& column) const { return value(column).toString(); }
    QSqlRecord record() const { return query_.record(); }
    int rowsAffected() const { return query_.numRowsAffected(); }
    QVariant lastInsertId() const { return query_.lastInsertId(); }

  private:
    void prepareFresh(const QString& sql);
    // After the first statement of an operation failed on a connection that
    // broke unnoticed: prepares it on a new connection, binds `values` again
    // and runs it; false when there was nothing to revive.
    bool runOnRevivedConnection(const QVariantList& values, bool run);

    QSqlQuery query_;
    QString sql_;
    std::shared_ptr<StatementPool> pool_;
    int generation_ = 0;
    int bound_ = 0;
    bool starColumns_ = false;
    mutable ColumnPositions positions_;
};

}  // namespace otherin::db
