#pragma once

#include <QtGlobal>
#include <vector>

#include "db/query.h"
#include "editor/bill_values.h"

namespace otherin::db {
class Connection;
}

namespace otherin::editor {

class BillForm;

// Writes grid rows as lines of a bill through one insert prepared once and
// bound again for each line: a bill of a thousand lines is one statement for
// the database to compile, not a thousand. The stored columns are those of
// the form's layout (insert flag "1"), each cell as storedValue gives it.
class LineInserter {
  public:
    LineInserter(db::Connection& connection, const BillForm& form, bool redBill);

    // Grid row r as line `entryId` at position `orderId` of bill `interId`.
    void insert(qint32 interId, int orderId, int entryId, int r);

  private:
    const BillForm& form_;
    std::vector<StoredColumn> columns_;
    bool redBill_;
    db::Query query_;
};

}  // namespace otherin::editor
