#include "db/retry.h"

namespace otherin::db {

bool isTransientConflict(const DbError& error) {
    // 40P01 deadlock detected, 40001 serialization failure.
    return error.code() == QLatin1String("40P01") || error.code() == QLatin1String("40001");
}

}  // namespace otherin::db
