#include <gtest/gtest.h>

#include <QFile>

#include "app/verify_command.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "ledger_text.h"
#include "stock/ledger_check.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::testing::differenceTexts;
using otherin::testing::TestDatabase;

namespace {

// Bills in every state that matters, with lines of one key at two prices,
// a red bill, a line without batch or place and a line without a bill.
class LedgerCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // id, warehouse, status, voided
        const int bills[][4] = {{1, 1, 0, 0}, {2, 1, 0, 1}, {3, 2, 1, 0}, {4, 1, 0, 0}};
        for (const auto& b : bills) {
            db_.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype,fstockid1,"
                                    "fstatus,fcancellation,frob) values(?,?,7,?,?,?,?)"),
                     {b[0], QStringLiteral("QT%1").arg(b[0]), b[1], b[2], b[3], b[0] == 4 ? 1 : 0});
        }
        line(1, 1, 100, QVariant(), QVariant(), 5, 10);
        line(1, 2, 100, QString(), 0, 3, 12);  // same key, another price
        line(1, 3, 101, QStringLiteral("A"), 0, 0.1, 0.1);
        line(1, 4, 101, QStringLiteral("A"), 0, 0.2, 0.2);
        line(1, 5, 104, QString(), 0, 2, 10);  // nets to quantity 0, amount 4
        line(1, 6, 104, QString(), 0, -2, -6);
        line(2, 1, 102, QString(), 0, 9, 90);  // voided
        line(3, 1, 100, QStringLiteral("B"), 3, 4, 10);
        line(4, 1, 100, QString(), 0, -2, -8);   // red: stored negative
        line(99, 1, 100, QString(), 0, 50, 50);  // no bill behind it
    }
    void line(int bill, int entry, int item, const QVariant& batch, const QVariant& place,
              double qty, double amount) {
        db_.exec(QStringLiteral("insert into icstockbillentry(finterid,fentryid,fitemid,funitid,"
                                "fbatchno,fstockplace,fqty,famount) values(?,?,?,5,?,?,?,?)"),
                 {bill, entry, item, batch, place, qty, amount});
    }
    void setLedger(const QStringList& rows) {
        db_.exec(QStringLiteral("delete from tblTimeStock"));
        for (const QString& row : rows) {
            const QStringList f = row.split(QLatin1Char('/'));
            db_.exec(
                QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,"
                               "fStockPlace,fqty,famount) values(?,?,5,?,?,?,?)"),
                {f[0].toInt(), f[1].toInt(), f[2], f[3].toInt(), f[4].toDouble(), f[5].toDouble()});
        }
    }
    db::Connection& c() { return db_.connection(); }

    TestDatabase db_;
};

// What the bills add up to: under save posting bills 1 and 4 on warehouse 1
// and bill 3 on warehouse 2; under audit posting bill 3 alone.
// Rows: warehouse/item/batch/place/qty/amount.
const QStringList kAtSave = {QStringLiteral("1/100//0/6/14"), QStringLiteral("1/101/A/0/0.3/0.3"),
                             QStringLiteral("1/104//0/0/4"), QStringLiteral("2/100/B/3/4/10")};
const QStringList kAtAudit = {QStringLiteral("2/100/B/3/4/10")};

TEST_F(LedgerCheckTest, EveryDifferingKeyIsFoundWithBothSides) {
    const struct {
        int checkUpdate;
        QStringList ledger;
        QStringList expected;
    } cases[] = {
        {0, kAtSave, {}},
        {1, kAtAudit, {}},
        // 0.1 + 0.2 summed in binary is not 0.3; at six decimals it is.
        {0,
         {kAtSave[0], QStringLiteral("1/101/A/0/0.30000000000000004/0.3"), kAtSave[2], kAtSave[3]},
         {}},
        // An empty row is the same as no row.
        {0, kAtSave + QStringList{QStringLiteral("3/100//0/0/0")}, {}},
        // Posted at audit, bills 1 and 4 do not count yet; under save posting
        // the audited bill 3 counts too.
        {1,
         kAtSave,
         {QStringLiteral("1/100/5//0 6;14 0;0"), QStringLiteral("1/101/5/A/0 0.3;0.3 0;0"),
          QStringLiteral("1/104/5//0 0;4 0;0")}},
        {0,
         kAtAudit,
         {QStringLiteral("1/100/5//0 0;0 6;14"), QStringLiteral("1/101/5/A/0 0;0 0.3;0.3"),
          QStringLiteral("1/104/5//0 0;0 0;4")}},
        // One millionth off, in the quantity or in the amount alone.
        {0,
         {QStringLiteral("1/100//0/6.000001/14"), kAtSave[1], kAtSave[2],
          QStringLiteral("2/100/B/3/4/10.000001")},
         {QStringLiteral("1/100/5//0 6.000001;14 6;14"),
          QStringLiteral("2/100/5/B/3 4;10.000001 4;10")}},
        // An amount off where the quantity agrees; a voided bill's key still
        // holding stock; quantity 0 with an amount no bill gives.
        {0,
         kAtSave.mid(1) + QStringList{QStringLiteral("1/100//0/6/16"),
                                      QStringLiteral("1/102//0/9/90"),
                                      QStringLiteral("1/103//0/0/-2")},
         {QStringLiteral("1/100/5//0 6;16 6;14"), QStringLiteral("1/102/5//0 9;90 0;0"),
          QStringLiteral("1/103/5//0 0;-2 0;0")}},
    };
    for (const auto& k : cases) {
        setLedger(k.ledger);
        EXPECT_EQ(differenceTexts(stock::checkLedger(c(), k.checkUpdate)), k.expected)
            << "switch " << k.checkUpdate << ": " << k.ledger.join(' ').toStdString();
    }
    EXPECT_THROW(stock::checkLedger(c(), 2), db::DbError);
}

// The repair rewrites only the differing keys: the key no bill counts is
// gone, the agreeing row and the empty row of an untouched key stay.
TEST_F(LedgerCheckTest, VerifyCommandReportsRepairsAndAnswersWithItsStatus) {
    const struct {
        QStringList ledger;
        bool repair;
        int status;
        QStringList outLines;
    } cases[] = {
        {kAtSave, false, 0, {QStringLiteral("即时库存与单据一致")}},
        {{kAtSave[0], kAtSave[2], kAtSave[3]},
         false,
         1,
         {QStringLiteral(
              "仓库 1 物料 101 单位 5 批号 \"A\" 仓位 0: 即时库存 0 / 0, 单据 0.3 / 0.3"),
          QStringLiteral("即时库存有 1 项与单据不一致 (数量 / 金额)")}},
        {{QStringLiteral("1/100//0/5/12"), QStringLiteral("1/102//0/0/-2"),
          QStringLiteral("2/100/B/3/4/10"), QStringLiteral("4/100//0/0/0")},
         true,
         0,
         {QStringLiteral("仓库 1 物料 100 单位 5 批号 \"\" 仓位 0: 即时库存 5 / 12, 单据 6 / 14"),
          QStringLiteral(
              "仓库 1 物料 101 单位 5 批号 \"A\" 仓位 0: 即时库存 0 / 0, 单据 0.3 / 0.3"),
          QStringLiteral("仓库 1 物料 102 单位 5 批号 \"\" 仓位 0: 即时库存 0 / -2, 单据 0 / 0"),
          QStringLiteral("仓库 1 物料 104 单位 5 批号 \"\" 仓位 0: 即时库存 0 / 0, 单据 0 / 4"),
          QStringLiteral("即时库存有 4 项与单据不一致 (数量 / 金额)"),
          QStringLiteral("已按单据重写 4 项即时库存"),
          QStringLiteral("重新核对: 即时库存与单据一致")}},
    };
    for (const auto& k : cases) {
        setLedger(k.ledger);
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        EXPECT_EQ(app::runVerify(db_.connectionString(), k.repair, 0, outStream, errStream),
                  k.status);
        outStream.flush();
        EXPECT_EQ(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), k.outLines);
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    }
    QStringList rows;
    db::Query q = c().prepare(QStringLiteral(
        "select fstockid,fitemid,fbatchno,fqty,famount from tblTimeStock order by fstockid,"
        "fitemid,fbatchno"));
    q.exec();
    while (q.next()) {
        rows << QStringLiteral("%1/%2/%3=%4;%5")
                    .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString())
                    .arg(q.value(3).toDouble())
                    .arg(q.value(4).toDouble());
    }
    EXPECT_EQ(rows.join(QLatin1Char(' ')),
              QStringLiteral("1/100/=6;14 1/101/A=0.3;0.3 1/104/=0;4 2/100/B=4;10 4/100/=0;0"));

    // A missing file is an error, not a new empty database that agrees.
    const QString missing = db_.dir() + QStringLiteral("/missing.sqlite");
    for (const auto& [connection, checkUpdate] : {std::pair{QStringLiteral("sqlite:") + missing, 0},
                                                  std::pair{db_.connectionString(), 7}}) {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        EXPECT_EQ(app::runVerify(connection, false, checkUpdate, outStream, errStream), 1);
        errStream.flush();
        EXPECT_FALSE(err.isEmpty()) << connection.toStdString();
    }
    EXPECT_FALSE(QFile::exists(missing));
}

}  // namespace
