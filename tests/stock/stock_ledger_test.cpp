#include <gtest/gtest.h>

#include "db/db_error.h"
#include "db/transaction.h"
#include "stock/id_list.h"
#include "stock/stock_ledger.h"
#include "support/test_database.h"

using namespace otherin;
using namespace otherin::stock;
using otherin::testing::TestDatabase;

namespace {

// The shortest text that reads back as the same double: 0.3 and
// 0.30000000000000004 stay apart.
QString exact(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// A ledger row as text: "warehouse/item/unit/batch/place=qty;amount".
QStringList ledger(db::Connection& c) {
    QStringList rows;
    db::Query q = c.prepare(QStringLiteral(
        "select fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,famount from tblTimeStock "
        "order by fstockid,fitemid,funitid,fbatchno,fStockPlace"));
    q.exec();
    while (q.next()) {
        rows << QStringLiteral("%1/%2/%3/%4/%5=%6;%7")
                    .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                         q.value(3).toString(), q.value(4).toString())
                    .arg(exact(q.value(5).toDouble()), exact(q.value(6).toDouble()));
    }
    return rows;
}

class StockLedgerTest : public ::testing::Test {
  protected:
    db::Connection& c() { return db_.connection(); }

    void bill(int id, int warehouse) {
        db_.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype,fstockid1) "
                                "values(?,?,7,?)"),
                 {id, QStringLiteral("QT%1").arg(id), warehouse});
    }
    // Batch and stock place as given; an invalid QVariant stores NULL.
    void line(int id, int entry, int item, int unit, const QVariant& batch, const QVariant& place,
              double qty, double amount) {
        db_.exec(QStringLiteral("insert into icstockbillentry(finterid,fentryid,fitemid,funitid,"
                                "fbatchno,fstockplace,fqty,famount) values(?,?,?,?,?,?,?,?)"),
                 {id, entry, item, unit, batch, place, qty, amount});
    }
    void stock(int warehouse, int item, int unit, const char* batch, int place, double qty,
               double amount) {
        db_.exec(QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,"
                                "fStockPlace,fqty,famount) values(?,?,?,?,?,?,?)"),
                 {warehouse, item, unit, QString::fromUtf8(batch), place, qty, amount});
    }
    // Posts inside a transaction of its own, as the bill operations do; the
    // clean-up covers the keys of the bills posted.
    template <typename Selection>
    void post(const Selection& selection, PostDirection direction, bool cleanUp = false) {
        db::TransactionGuard tx(c());
        postToTimeStock(c(), selection, direction);
        if (cleanUp) removeZeroStockRows(c(), ids(selection));
        tx.commit();
    }
    static QList<qint32> ids(int id) { return {id}; }
    static QList<qint32> ids(const QString& idList) { return parseIdList(idList); }

    TestDatabase db_;
};

TEST_F(StockLedgerTest, ListPostsLinesToTheirKeysAndReverseRestoresTheLedgerExactly) {
    stock(1, 100, 5, "B1", 0, 10, 25.5);
    stock(1, 101, 5, "", 0, 3.333333, 9.99);
    stock(2, 100, 5, "B1", 0, 7, 7);
    const QStringList before = ledger(c());

    bill(1, 1);
    line(1, 1, 100, 5, QStringLiteral("B1"), 0, 4, 10.2);
    line(1, 2, 101, 5, QVariant(), QVariant(), 0.000001, 1.5);  // no batch, no stock place
    line(1, 3, 102, 5, QStringLiteral("B9"), 3, -2.5, -5);      // new key, negative line
    line(1, 4, 100, 5, QStringLiteral("B1"), 0, 1.25, 0.3);     // same key as line 1
    line(1, 5, 101, 5, QVariant(), QVariant(), 0, 2.5);         // an amount alone
    bill(2, 2);  // the same key in another warehouse, posted in the same list
    line(2, 1, 100, 5, QStringLiteral("B1"), 0, 1, 1);
    post(QStringLiteral("1,2"), PostDirection::Add);
    EXPECT_EQ(ledger(c()), QStringList({QStringLiteral("1/100/5/B1/0=15.25;36"),
                                        QStringLiteral("1/101/5//0=3.333334;13.99"),
                                        QStringLiteral("1/102/5/B9/3=-2.5;-5"),
                                        QStringLiteral("2/100/5/B1/0=8;8")}));

    post(QStringLiteral("1,2"), PostDirection::Reverse, true);
    EXPECT_EQ(ledger(c()), before);

    // Reversing lines that have no row yet inserts their negation.
    post(1, PostDirection::Reverse);
    EXPECT_TRUE(ledger(c()).contains(QStringLiteral("1/102/5/B9/3=2.5;5")));
}

// The clean-up removes the posted keys' rows that the posting emptied, and
// only those: a row that keeps a quantity or an amount stays, as does an
// empty row of another key.
TEST_F(StockLedgerTest, CleanUpTouchesOnlyEmptyRowsOfThePostedKeys) {
    bill(1, 1);
    line(1, 1, 100, 5, QStringLiteral("B1"), 3, 2, 4);
    line(1, 2, 101, 5, QVariant(), QVariant(), 1, 1);
    line(1, 3, 102, 5, QStringLiteral("B2"), 0, 1, 1);
    line(1, 4, 103, 5, QStringLiteral("B3"), 0, 1, 1);
    stock(1, 100, 5, "B1", 3, -2, -4);
    stock(1, 101, 5, "", 0, -1, -1);
    stock(1, 102, 5, "B2", 0, -1, 0);
    stock(1, 103, 5, "B3", 0, 0, -1);
    stock(1, 100, 5, "B1", 4, 0, 0);  // another stock place
    stock(1, 100, 6, "B1", 3, 0, 0);  // another unit
    stock(2, 100, 5, "B1", 3, 0, 0);  // another warehouse
    post(1, PostDirection::Add, true);
    EXPECT_EQ(ledger(c()),
              QStringList({QStringLiteral("1/100/5/B1/4=0;0"), QStringLiteral("1/100/6/B1/3=0;0"),
                           QStringLiteral("1/102/5/B2/0=0;1"), QStringLiteral("1/103/5/B3/0=1;0"),
                           QStringLiteral("2/100/5/B1/3=0;0")}));
}

TEST_F(StockLedgerTest, ErrorMidPostingPropagatesAndTheCallersRollbackLeavesNoChange) {
    stock(1, 100, 5, "", 0, 10, 100);
    const QStringList before = ledger(c());
    db_.refuseWrites(QStringLiteral("tblTimeStock"), QStringLiteral("insert"),
                     QStringLiteral("货品 666 已停用"), QStringLiteral("new.fitemid=666"));
    bill(1, 1);
    line(1, 1, 100, 5, QString(), 0, 4, 40);
    bill(2, 1);
    line(2, 1, 100, 5, QString(), 0, 1, 1);
    line(2, 2, 666, 5, QString(), 0, 1, 1);

    db::TransactionGuard tx(c());
    postToTimeStock(c(), 1, PostDirection::Add);
    try {
        postToTimeStock(c(), QStringLiteral("2"), PostDirection::Add);
        FAIL() << "the trigger did not stop the posting";
    } catch (const db::DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("货品 666 已停用")))
            << e.message().toStdString();
    }
    // The posting left the caller's transaction open with its earlier work
    // (on a server every statement is refused until the rollback).
    EXPECT_EQ(c().transactionDepth(), 1);
    if (!TestDatabase::onServer()) {
        EXPECT_EQ(c().scalar(QStringLiteral("select fqty from tblTimeStock")).toDouble(), 14.0);
    }
    tx.rollback();
    EXPECT_EQ(ledger(c()), before);
}

// A bad list is refused whole, before anything is posted.
TEST_F(StockLedgerTest, BadIdListPostsNothingAndABillListedTwicePostsOnce) {
    bill(1, 1);
    line(1, 1, 100, 5, QString(), 0, 4, 40);
    EXPECT_THROW(post(QStringLiteral("1,abc"), PostDirection::Add), db::DbError);
    EXPECT_THROW(post(QStringLiteral("0) or (1=1"), PostDirection::Add), db::DbError);
    EXPECT_EQ(ledger(c()), QStringList());
    post(QString(), PostDirection::Add);
    EXPECT_EQ(ledger(c()), QStringList());
    post(QStringLiteral("1,1"), PostDirection::Add);  // a bill listed twice posts once
    EXPECT_EQ(ledger(c()), QStringList({QStringLiteral("1/100/5//0=4;40")}));
}

}  // namespace
