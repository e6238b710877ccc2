#include "db/transaction.h"

#include "db/db_error.h"

namespace otherin::db {

TransactionGuard::TransactionGuard(Connection& connection)
    : connection_(connection), epoch_(connection.transactionEpoch_) {
    outer_ = connection_.transactionDepth_ == 0;
    if (outer_) connection_.exec(connection_.dialect().beginWrite());
    ++connection_.transactionDepth_;
}

TransactionGuard::~TransactionGuard() {
    if (done_) return;
    try {
        rollback();
    } catch (...) {
        // rollback() has dropped the connection; the database drops the
        // transaction with it.
    }
}

bool TransactionGuard::leave() {
    done_ = true;
    // The operation was closed under this guard: its transaction is over and
    // whatever is open now belongs to someone else.
    if (epoch_ != connection_.transactionEpoch_) return false;
    if (connection_.transactionDepth_ > 0) --connection_.transactionDepth_;
    return true;
}

void TransactionGuard::commit() {
    if (done_) return;
    if (!leave()) throw DbError(QStringLiteral("事务已结束,不能提交"));
    if (!outer_) return;
    // From here the transaction may have been made durable, even when the
    // answer to the commit never arrives.
    ++connection_.durableSteps_;
    try {
        connection_.exec(QStringLiteral("commit"));
    } catch (const DbError&) {
        // A commit that failed may leave the transaction open, and with it the
        // write lock that every other user waits for.
        endOnDatabase();
        throw;
    }
}

void TransactionGuard::rollback() {
    if (done_) return;
    if (!leave() || !outer_ || !connection_.isOpen()) return;
    try {
        connection_.exec(QStringLiteral("rollback"));
    } catch (const DbError&) {
        // Closing the connection is the one sure way to end the transaction.
        connection_.disconnect();
        throw;
    }
}

void TransactionGuard::endOnDatabase() {
    try {
        connection_.exec(QStringLiteral("rollback"));
    } catch (const DbError&) {
        connection_.disconnect();
    }
}

}  // namespace otherin::db
