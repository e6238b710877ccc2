#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

namespace otherin::db {

// A prepared statement with positional bound values. Every failure raises
// DbError with the database's own message, a failed row read included: next()
// answers false only at the true end of the rows.
class Query {
  public:
    Query(const QSqlDatabase& db, const QString& sql);

    Query& bind(const QVariant& value);
    Query& exec();

    bool next();
    QVariant value(int index) const { return query_.value(index); }
    // Column names compare without regard to case.
    // The position of each name is looked up once per statement.
    QVariant value(const QString& column) const;
    QString text(const QString& column) const { return value(column).toString(); }
    QSqlRecord record() const { return query_.record(); }
    int rowsAffected() const { return query_.numRowsAffected(); }
    QVariant lastInsertId() const { return query_.lastInsertId(); }

  private:
    QSqlQuery query_;
    QString sql_;
    mutable QHash<QString, int> positions_;
};

}  // namespace otherin::db
