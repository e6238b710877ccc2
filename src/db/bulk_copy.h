#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

typedef struct pg_conn PGconn;

namespace otherin::db {

class Connection;

// Whole tables moved in and out of a server database with `copy`, on the
// connection's own client-library handle and in the server's text format:
// one statement per table instead of one per row. Each runs inside the
// transaction open on the connection, so a failure ends the statement and
// the rollback that follows takes everything with it. No statement of the
// driver may run on the connection between the start and the end of one.

// Rows streamed into one table with `copy table (columns) from stdin`.
class ServerTableWriter {
  public:
    // Starts the copy; raises DbError when the server refuses it.
    ServerTableWriter(Connection& to, const QString& table, const QStringList& columns);
    // A copy not finished is ended as failed, so the connection is free for
    // the rollback that follows.
    ~ServerTableWriter();
    ServerTableWriter(const ServerTableWriter&) = delete;
    ServerTableWriter& operator=(const ServerTableWriter&) = delete;

    // The next column's value of the row being written: a null is the
    // server's NULL, every other value goes in the form the server reads
    // back exactly (numbers to their last digit, moments in ISO form with
    // their zone, binary content byte for byte).
    void add(const QVariant& value);
    // Ends the row; a value must have been added for every column.
    void endRow();
    // One row already in the server's text format (what a server's
    // `copy ... to stdout` gives), its line end included.
    void addLine(const char* data, int size);
    // Sends what is left and ends the copy; raises DbError in the clerk's
    // words, with the server's text and the row it refused, when it refused
    // one.
    void finish();

  private:
    void sendBuffer();
    [[noreturn]] void sendFailed();

    Connection& to_;
    PGconn* conn_ = nullptr;
    int columns_ = 0;
    int column_ = 0;
    QList<bool> binary_;  // per column: bytea
    QByteArray buffer_;
    bool open_ = false;
};

// Rows read from one table with `copy table (columns) to stdout`, each a
// line of the server's text format.
class ServerTableReader {
  public:
    // Starts the copy; raises DbError when the server refuses it.
    ServerTableReader(Connection& from, const QString& table, const QStringList& columns);
    // Reads what is left of a copy not read to its end.
    ~ServerTableReader();
    ServerTableReader(const ServerTableReader&) = delete;
    ServerTableReader& operator=(const ServerTableReader&) = delete;

    // The next row, its line end included, or false after the last one;
    // the row stays valid until the next call.
    bool next(const char*& data, int& size);

  private:
    void release();

    Connection& from_;
    PGconn* conn_ = nullptr;
    char* row_ = nullptr;
    bool open_ = false;
};

}  // namespace otherin::db
