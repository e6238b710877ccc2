#include "db/transaction.h"

#include "db/db_error.h"

namespace otherin::db {

namespace {
// In write-ahead mode the log is only ever appended to, so forcing it to the
// disk forces every commit written before as well.
const QString kSyncAtCommit = QStringLiteral("pragma synchronous=full");
const QString kSyncLater = QStringLiteral("pragma synchronous=normal");
}  // namespace

TransactionGuard::TransactionGuard(Connection& connection, Sync sync)
    : connection_(connection), epoch_(connection.transactionEpoch_) {
    outer_ = connection_.transactionDepth_ == 0;
    if (outer_) {
        if (sync == Sync::WithNextCommit && connection_.dialect().kind() == DialectKind::Sqlite) {
            connection_.exec(kSyncLater);
            relaxed_ = true;
        }
        bool begun = false;
        try {
            connection_.exec(connection_.dialect().beginWrite());
            begun = true;
            // The server's log is written in order as well; the setting ends
            // with this transaction.
            if (sync == Sync::WithNextCommit && connection_.dialect().isServer())
                connection_.exec(QStringLiteral("set local synchronous_commit to off"));
        } catch (const DbError&) {
            if (begun) endOnDatabase();
            restoreSync();
            throw;
        }
    }
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

void TransactionGuard::restoreSync() {
    if (!relaxed_) return;
    relaxed_ = false;
    // Every later commit must reach the disk: a connection that cannot be set
    // back is not kept (a new one starts at full).
    if (!connection_.isOpen()) {
        if (connection_.isConnected()) connection_.disconnect();
        return;
    }
    try {
        connection_.exec(kSyncAtCommit);
    } catch (const DbError&) {
        connection_.disconnect();
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
    if (!leave()) {
        restoreSync();
        throw DbError(QStringLiteral("事务已结束,不能提交"));
    }
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
        restoreSync();
        throw;
    }
    restoreSync();
}

void TransactionGuard::rollback() {
    if (done_) return;
    if (!leave() || !outer_ || !connection_.isOpen()) {
        restoreSync();
        return;
    }
    try {
        connection_.exec(QStringLiteral("rollback"));
    } catch (const DbError&) {
        // Closing the connection is the one sure way to end the transaction.
        relaxed_ = false;
        connection_.disconnect();
        throw;
    }
    restoreSync();
}

void TransactionGuard::endOnDatabase() {
    try {
        connection_.exec(QStringLiteral("rollback"));
    } catch (const DbError&) {
        connection_.disconnect();
    }
}

}  // namespace otherin::db
