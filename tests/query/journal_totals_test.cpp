#include <gtest/gtest.h>

#include <QVariant>
#include <vector>

#include "query/journal_content.h"

using namespace otherin;

namespace {

// A journal with the three id columns and one summed amount column: each case
// appends `repeat` lines of `amount` (and the optional `last` once) and reads
// the totals row.
TEST(JournalTotalsTest, TotalsStayExactAndNeverWrap) {
    const struct {
        const char* what;
        QVariant amount;
        int repeat;
        QVariant last;
        double total;
    } cases[] = {
        {"millionths do not drift", 0.1, 20000, QVariant(), 2000.0},
        {"signs cancel to zero", 0.3, 3, -0.9, 0.0},
        {"just under the old limit", 4.6e12, 2, QVariant(), 9.2e12},
        {"past 9.22e12", 5e12, 2, QVariant(), 1e13},
        {"past 9.22e12 with cents", 4999999999999.75, 2, 0.5, 1e13},
        {"negative past the limit", -6e12, 3, QVariant(), -1.8e13},
        {"one line past 64 bits of millionths", 1e16, 1, 2.5, 10000000000000002.0},
        {"texts holding numbers", QStringLiteral("3000000000000.5"), 4, QVariant(),
         12000000000002.0},
    };
    std::vector<query::JournalColumn> columns(4);
    columns[3].summed = true;
    for (const auto& c : cases) {
        query::JournalContent content(columns);
        content.addBill(QStringLiteral("1"));
        const QVariant line[4] = {1, 1, QStringLiteral("QT1"), c.amount};
        for (int i = 0; i < c.repeat; ++i) content.appendLine(line, i == 0, false);
        if (c.last.isValid()) {
            const QVariant tail[4] = {1, 2, QStringLiteral("QT1"), c.last};
            content.appendLine(tail, false, false);
        }
        EXPECT_EQ(content.total(3), c.total) << c.what;
    }
}

}  // namespace
