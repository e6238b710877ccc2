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

    // Bill QT<id> by user `operatorId`; each line is (item, qty) at price 2.
    void addBill(int id, const QString& date, int status,
                 std::initializer_list<std::pair<int, double>> lines, int operatorId = 1) {
        QList<std::tuple<int, double, double>> priced;
        for (const auto& [item, qty] : lines) priced.append({item, qty, 2.0});
        QueryFixture::addBill(id, QStringLiteral("QT%1").arg(id, 4, 10, QLatin1Char('0')), date,
                              status, operatorId, priced);
    }
};

}  // namespace otherin::testing
