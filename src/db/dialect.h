#pragma once

#include <QString>
#include <QStringList>

namespace otherin::db {

enum class DialectKind { Sqlite, PostgreSql };

// The few places where the databases we run on really differ. Everything else
// is written in their common subset.
class Dialect {
  public:
    explicit Dialect(DialectKind kind) : kind_(kind) {}

    DialectKind kind() const { return kind_; }
    bool isServer() const { return kind_ == DialectKind::PostgreSql; }

    // A select limited to its first `rows` rows. `selectBody` starts after the
    // word "select" (e.g. "* from t order by a").
    QString limitRows(const QString& selectBody, int rows) const;

    // Wraps an arithmetic result that is stored back into a decimal column.
    // SQLite keeps decimals as binary doubles, so sums are rounded to a fixed
    // scale there; the server types are exact already.
    QString decimal(const QString& expression) const;

    // The statement that starts a write transaction. On SQLite the write lock
    // is taken at once so counters read inside it cannot go stale; the server
    // locks the rows a statement reads for a write (see forUpdate()).
    QString beginWrite() const;

    // Appended to a select whose rows decide a later write in the same
    // transaction: the server locks them until the end of the transaction.
    // SQLite's write lock already covers the whole file.
    QString forUpdate() const;

    // Run first in the write transaction that creates, upgrades or fills the
    // schema, so programs starting together on one database do that work one
    // after the other. Empty on SQLite, where beginWrite() already holds the
    // whole file; on the server an advisory lock that ends with the
    // transaction.
    QString schemaLock() const;

    // The schema scripts are written once with a few dialect words; this turns
    // them into the database's own types (see sql/schema.sql).
    QString schemaText(const QString& script) const;

    // The database's clock at the time of the statement, for a `timestamp`
    // column: the server's own time with its zone; on SQLite the time in UTC
    // as ISO text, so both read back as a moment in time.
    QString now() const;

    static constexpr int kDecimalScale = 6;

  private:
    DialectKind kind_;
};

}  // namespace otherin::db
