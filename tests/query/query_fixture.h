#pragma once

#include <QList>
#include <QString>
#include <tuple>

#include "entry/login_context.h"
#include "support/qstring_print.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

namespace otherin::testing {

// The demo database and a context logged in as the administrator in period
// 2026/3, as the query dialog sees it after start-up.
class QueryFixture {
  public:
    QueryFixture() : db(TestDatabase::Seed::Demo) {
        ctx.DBConnectionString = db.connectionString();
        ctx.msgTitle = QStringLiteral("其它入库单");
        ctx.gBillName = QStringLiteral("其它入库单");
        ctx.gBillTypeId = 7;
        ctx.gViewName = QStringLiteral("vGOtherIn");
        ctx.gLoginUserId = QStringLiteral("1");
        ctx.IsAdmin = 1;
        ctx.gCurrentYear = 2026;
        ctx.gCurrentPeriod = 3;
        prompter.watch(ctx.gConnection);
    }

    // A bill of type 7 in period 2026/3; each line is (item id, qty, price).
    void addBill(int id, const QString& billNo, const QString& date, int status, int operatorId,
                 const QList<std::tuple<int, double, double>>& lines,
                 const QString& explanation = QString()) {
        db.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,"
                               "fyear,fperiod,fOperator,fstockid1,fexplanation) "
                               "values(?,?,?,7,?,?,?,?,501,?)"),
                {id, billNo, date, status, date.left(4).toInt(), date.mid(5, 2).toInt(), operatorId,
                 explanation});
        int entry = 0;
        for (const auto& [item, qty, price] : lines) {
            ++entry;
            db.exec(
                QStringLiteral("insert into icstockbillentry(finterid,fentryid,forderid,fitemid,"
                               "funitid,fqty,fPrice,famount) values(?,?,?,?,701,?,?,?)"),
                {id, entry, entry, item, qty, price, qty * price});
        }
    }

    TestDatabase db;
    entry::LoginContext ctx;
    ScriptedPrompter prompter;
};

}  // namespace otherin::testing
