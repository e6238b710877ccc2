#pragma once

#include "query/query_fixture.h"

namespace otherin::testing {

// The query's demo database and administrator, in period 2026/12 the way the
// journal sees it after start-up.
class JournalFixture : public QueryFixture {
  public:
    JournalFixture() {
        ctx.gRightPrefix = QStringLiteral("G");
        ctx.gCurrentPeriod = 12;
        ctx.gPeriodStartDate = QStringLiteral("2026-12-01");
        ctx.gAppPath = db.dir();
    }

    // Rows 0-1 bill 1, row 2 bill 2, rows 3-4 bill 3 (by the administrator at
    // price 2), row 5 the totals; bill 1 has the given status.
    void addJournalBills(int firstStatus = 0) {
        addBill(1, "QT0001", "2026-12-02", firstStatus, 1, {{1101, 5, 2}, {1102, 3, 2}});
        addBill(2, "QT0002", "2026-12-03", 0, 1, {{1101, 2, 2}});
        addBill(3, "QT0003", "2026-12-04", 0, 1, {{1103, 1, 2}, {1104, 1, 2}});
    }
};

}  // namespace otherin::testing
