#pragma once

#include <QString>
#include <initializer_list>
#include <ostream>
#include <utility>

#include "entry/login_context.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace otherin::testing {

// The demo database, period 2026/12, and a context logged in as the
// administrator the way the journal sees it after start-up.
class JournalFixture {
  public:
    JournalFixture() : db(TestDatabase::Seed::Demo) {
        ctx.DBConnectionString = db.connectionString();
        ctx.msgTitle = QStringLiteral("其它入库单");
        ctx.gBillName = QStringLiteral("其它入库单");
        ctx.gBillTypeId = 7;
        ctx.gViewName = QStringLiteral("vGOtherIn");
        ctx.gRightPrefix = QStringLiteral("G");
        ctx.gLoginUserId = QStringLiteral("1");
        ctx.IsAdmin = 1;
        ctx.gCurrentYear = 2026;
        ctx.gCurrentPeriod = 12;
        ctx.gPeriodStartDate = QStringLiteral("2026-12-01");
        ctx.gAppPath = db.dir();
        prompter.watch(ctx.gConnection);
    }

    // A bill of warehouse 501 by user `operatorId`; each line is (item, qty)
    // at price 2.
    void addBill(int id, const QString& date, int status,
                 std::initializer_list<std::pair<int, double>> lines, int operatorId = 1) {
        db.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,"
                               "fyear,fperiod,fOperator,fstockid1) values(?,?,?,7,?,?,?,?,501)"),
                {id, QStringLiteral("QT%1").arg(id, 4, 10, QLatin1Char('0')), date, status,
                 date.left(4).toInt(), date.mid(5, 2).toInt(), operatorId});
        int entry = 0;
        for (const auto& [item, qty] : lines) {
            ++entry;
            db.exec(
                QStringLiteral("insert into icstockbillentry(finterid,fentryid,forderid,fitemid,"
                               "funitid,fqty,fPrice,famount) values(?,?,?,?,701,?,2,?)"),
                {id, entry, entry, item, qty, qty * 2});
        }
    }

    int billCount() {
        return db.scalar(QStringLiteral("select count(*) from icstockbill")).toInt();
    }
    int status(int id) {
        return db.scalar(QStringLiteral("select fstatus from icstockbill where finterid=?"), {id})
            .toInt();
    }

    TestDatabase db;
    entry::LoginContext ctx;
    ScriptedPrompter prompter;
};

}  // namespace otherin::testing
