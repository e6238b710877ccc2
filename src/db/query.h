#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

namespace otherin::db {

// A prepared statement with positional bound values. Every failure raises
// DbError with the database's own message.
class Query {
  public:
    Query(const QSqlDatabase& db, const QString& sql);

    Query& bind(const QVariant& value);
    Query& exec();

    bool next() { return query_.next(); }
    QVariant value(int index) const { return query_.value(index); }
    // Column names compare without regard to case.
    QVariant value(const QString& column) const;
    QString text(const QString& column) const { return value(column).toString(); }
    QSqlRecord record() const { return query_.record(); }
    int rowsAffected() const { return query_.numRowsAffected(); }
    QVariant lastInsertId() const { return query_.lastInsertId(); }

  private:
    QSqlQuery query_;
    QString sql_;
};

}  // namespace otherin::db
