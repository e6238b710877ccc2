#include <gtest/gtest.h>

#include "entry/typed_date.h"
#include "support/qstring_print.h"

using otherin::entry::parseTypedDate;

// Every form clerks type, with and without the year; days that do not exist
// and texts that are no date are refused, never turned into another day.
TEST(TypedDateTest, EveryUsualFormIsReadAndNoOtherDayIsMadeUp) {
    const QDate today(2026, 12, 7);
    const struct {
        const char* typed;
        QDate read;
    } cases[] = {
        {"2026-12-07", {2026, 12, 7}},
        {"2026/12/07", {2026, 12, 7}},
        {"2026.12.07", {2026, 12, 7}},
        {"20261207", {2026, 12, 7}},
        {" 2026-3-5 ", {2026, 3, 5}},
        {"12-07", {2026, 12, 7}},
        {"3/5", {2026, 3, 5}},
        {"1207", {2026, 12, 7}},
        {"0305", {2026, 3, 5}},
        {"2024-02-29", {2024, 2, 29}},
        {"2026-02-30", {}},
        {"2026-13-01", {}},
        {"20260230", {}},
        {"1331", {}},
        {"2026-12/07", {}},
        {"2026-12-07x", {}},
        {"abc", {}},
        {"", {}},
        {"12345", {}},
        {"0000-01-01", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const auto read = parseTypedDate(QString::fromUtf8(c.typed), today);
        EXPECT_EQ(read.value_or(QDate()), c.read);
    }
}
