#pragma once

#include <chrono>
#include <thread>

#include "db/connection.h"
#include "db/db_error.h"

namespace otherin::db {

// How often one operation is tried in all when the server chose it as the
// victim of a deadlock or a serialization conflict.
constexpr int kOperationAttempts = 3;

// True when the server undid the failed transaction to let another one go on
// (deadlock, serialization failure): the same work may simply be done again.
bool isTransientConflict(const DbError& error);

// Runs the database work of one operation, `attempt`, which begins and ends
// its own transactions on `connection` (already opened). `attempt` is run
// again when it failed
//  - on a deadlock or serialization failure, up to kOperationAttempts in all;
//  - because the server connection broke, once, on a new connection;
// and in both cases only when it had made nothing durable (no commit asked
// for, no write outside a transaction), so nothing is ever done twice.
// Otherwise the DbError goes on to the caller, the last one when the attempts
// ran out.
template <typename Attempt>
auto retrying(Connection& connection, Attempt&& attempt) -> decltype(attempt()) {
    bool reconnected = false;
    for (int conflicts = 1;;) {
        const int durableBefore = connection.durableSteps();
        try {
            return attempt();
        } catch (const DbError& error) {
            if (connection.durableSteps() != durableBefore || connection.transactionDepth() > 0) {
                throw;
            }
            if (isTransientConflict(error) && conflicts < kOperationAttempts) {
                // The other transaction takes the locks it waited for before
                // this one asks for them again.
                std::this_thread::sleep_for(std::chrono::milliseconds(25 * conflicts));
                ++conflicts;
                continue;
            }
            if (reconnected || connection.dialect().kind() == DialectKind::Sqlite ||
                connection.answers()) {
                throw;
            }
            connection.reconnect();
            reconnected = true;
        }
    }
}

}  // namespace otherin::db
