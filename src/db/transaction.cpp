#include "db/transaction.h"

namespace otherin::db {

TransactionGuard::TransactionGuard(Connection& connection) : connection_(connection) {
    outer_ = connection_.transactionDepth_ == 0;
    if (outer_) connection_.exec(connection_.dialect().beginWrite());
    ++connection_.transactionDepth_;
}

TransactionGuard::~TransactionGuard() {
    if (done_) return;
    try {
        rollback();
    } catch (...) {
        // The connection is gone; the database drops the transaction itself.
    }
}

void TransactionGuard::commit() {
    if (done_) return;
    done_ = true;
    --connection_.transactionDepth_;
    if (outer_) connection_.exec(QStringLiteral("commit"));
}

void TransactionGuard::rollback() {
    if (done_) return;
    done_ = true;
    if (connection_.transactionDepth_ > 0) --connection_.transactionDepth_;
    if (outer_ && connection_.isOpen()) connection_.exec(QStringLiteral("rollback"));
}

}  // namespace otherin::db
