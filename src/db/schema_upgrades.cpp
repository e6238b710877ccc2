#include "db/schema_upgrades.h"

#include "db/connection.h"

namespace otherin::db::schema {

const std::vector<Upgrade>& upgrades() {
    static const std::vector<Upgrade> steps = {};
    return steps;
}

}  // namespace otherin::db::schema
