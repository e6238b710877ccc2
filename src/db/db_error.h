#pragma once

#include <QString>
#include <stdexcept>

namespace otherin::db {

// The one exception type of the database layer. It carries the database's own
// message so the operation that catches it can show the user exactly that text.
class DbError : public std::runtime_error {
  public:
    explicit DbError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}

    const QString& message() const { return message_; }

  private:
    QString message_;
};

}  // namespace otherin::db
