#pragma once

#include <QString>
#include <stdexcept>

namespace otherin::db {

// The one exception type of the database layer, carrying the message the
// operation that catches it shows the user.
class DbError : public std::runtime_error {
  public:
    explicit DbError(const QString& message, const QString& code = QString(),
                     const QString& detail = QString())
        : std::runtime_error(message.toStdString()),
          message_(message),
          code_(code),
          detail_(detail) {}

    // What the user is shown. A failure the database reported says in the
    // user's words what happened and what to do, and ends with the
    // database's own text on a line of its own ("详细信息：…").
    const QString& message() const { return message_; }
    // The database's own text of the failure, empty for an error of our own.
    const QString& detail() const { return detail_; }
    // The server's five-character SQLSTATE of the failure, or SQLite's
    // result code as a number; empty for an error of our own.
    const QString& code() const { return code_; }

  private:
    QString message_;
    QString code_;
    QString detail_;
};

}  // namespace otherin::db
