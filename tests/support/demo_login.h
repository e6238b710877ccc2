#pragma once

#include <QDate>
#include <QString>

#include "entry/login_context.h"
#include "entry/startup.h"

namespace otherin::testing {

// The day the tests' demo databases are made on: their current year and
// period are 2026/12, with periods from 2025 to 2027, whatever the calendar.
inline const QDate kDemoToday{2026, 12, 7};

// The context as start-up leaves it for the demo administrator (user 1,
// 系统管理员) on `connectionString`, in accounting period `period` of 2026.
// Shared by the test fixtures, the worker processes and the benchmarks.
inline void logInDemoAdministrator(entry::LoginContext& ctx, const QString& connectionString,
                                   int period) {
    ctx.DBConnectionString = connectionString;
    ctx.msgTitle = QStringLiteral("其它入库单");
    entry::setConstants(ctx);
    ctx.gLoginUserId = QStringLiteral("1");
    ctx.gLoginUserName = QStringLiteral("系统管理员");
    ctx.IsAdmin = 1;
    ctx.gCurrentYear = 2026;
    ctx.gCurrentPeriod = period;
    ctx.gPeriodStartDate = QStringLiteral("2026-%1-01").arg(period, 2, 10, QLatin1Char('0'));
}

}  // namespace otherin::testing
