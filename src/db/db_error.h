#pragma once

#include <QString>
#include <stdexcept>

namespace otherin::db {

// The one exception type of the database layer. It carries the database's own
// message so the operation that catches it can show the user exactly that text.
class DbError : public std::runtime_error {
  public:
    explicit DbError(const QString& message, const QString& code = QString())
        : std::runtime_error(message.toStdString()), message_(message), code_(code) {}

    const QString& message() const { return message_; }
    // The server's five-character SQLSTATE of the failure, or SQLite's
    // result code as a number; empty for an error of our own.
    const QString& code() const { return code_; }

  private:
    QString message_;
    QString code_;
};

}  // namespace otherin::db
