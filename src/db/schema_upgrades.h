#pragma once

#include <vector>

namespace otherin::db {
class Connection;
}

namespace otherin::db::schema {

// One step of the schema's history: brings a database of version `version - 1`
// to `version`. A step runs inside the transaction that records its version.
struct Upgrade {
    int version;
    void (*apply)(Connection& connection);
};

// Every step after the base script (version 1), in order. A new database runs
// the base script and then every step, so the steps are exercised on every
// database the program creates, not only on old files.
const std::vector<Upgrade>& upgrades();

}  // namespace otherin::db::schema
