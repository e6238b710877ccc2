#include "db/upgrade_journal_index.h"
#include "db/connection.h"

namespace otherin::db::schema {

// The journal lists a bill type's bills in id order. An index on the type alone
// holds the ids in order within each type, so the database walks the bills in
// the order shown and sorts only the lines within each bill, instead of sorting
// every bill of the database before it can hand out the first rows.
void addBillTypeIndex(Connection& connection) {
    connection.exec(
        QStringLiteral("create index if not exists ix_icstockbill_ftrantype on icstockbill "
                       "(ftrantype)"));
}

}  // namespace otherin::db::schema
