#pragma once

#include "db/connection.h"

namespace otherin::db {

// Holds one write transaction: begun on construction, rolled back on
// destruction unless committed. Nested guards join the outer transaction, so an
// operation's posting steps can be called inside a larger save.
class TransactionGuard {
  public:
    explicit TransactionGuard(Connection& connection);
    ~TransactionGuard();
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    void commit();
    void rollback();

  private:
    Connection& connection_;
    bool outer_ = false;
    bool done_ = false;
};

}  // namespace otherin::db
