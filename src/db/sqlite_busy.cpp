#include "db/sqlite_busy.h"

#include <sqlite3.h>

#include <QRandomGenerator>
#include <QSqlDriver>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

namespace otherin::db {

namespace {

using Clock = std::chrono::steady_clock;

// The range of the first pause, and how it widens with each look until it
// reaches its cap.
constexpr int kFirstLowUs = 500;
constexpr int kFirstHighUs = 2000;
constexpr int kHighStepUs = 100;
constexpr int kHighCapUs = 6000;

// When the current wait began. A wait runs inside one call into SQLite on
// one thread, and SQLite numbers its looks from 0 for every new wait, so the
// thread's own clock needs no state per connection.
thread_local Clock::time_point waitStart;

// The pause before the next look, for the `tries`-th look of one wait.
std::chrono::microseconds pauseBefore(int tries) {
    const int high = std::min(kFirstHighUs + kHighStepUs * std::min(tries, 100), kHighCapUs);
    const int low = high * kFirstLowUs / kFirstHighUs;
    return std::chrono::microseconds(QRandomGenerator::global()->bounded(low, high + 1));
}

int waitBriefly(void* deadline, int tries) {
    const auto deadlineMs = static_cast<int>(reinterpret_cast<std::intptr_t>(deadline));
    const auto now = Clock::now();
    if (tries == 0) waitStart = now;
    const auto left = std::chrono::milliseconds(deadlineMs) - (now - waitStart);
    if (left <= Clock::duration::zero()) return 0;  // the statement answers busy
    std::this_thread::sleep_for(std::min<Clock::duration>(pauseBefore(tries), left));
    return 1;
}

}  // namespace

bool waitBrieflyWhenBusy(QSqlDriver* driver, int deadlineMs) {
    if (!driver) return false;
    const QVariant handle = driver->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0) return false;
    sqlite3* file = *static_cast<sqlite3* const*>(handle.constData());
    if (!file) return false;
    // Replaces the timed wait the driver set up when it opened the file.
    return sqlite3_busy_handler(
               file, &waitBriefly,
               reinterpret_cast<void*>(static_cast<std::intptr_t>(std::max(deadlineMs, 0)))) ==
           SQLITE_OK;
}

}  // namespace otherin::db
