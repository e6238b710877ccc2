#include <gtest/gtest.h>

#include "db/transaction.h"
#include "stock/id_list.h"
#include "stock/stock_ledger.h"
#include "support/qstring_print.h"
#include "support/test_database.h"

using namespace Qt::StringLiterals;

using namespace otherin;
using namespace otherin::stock;
using otherin::testing::TestDatabase;

namespace {

class StockLedgerTest : public ::testing::Test {
  protected:
    db::Connection& c() { return db_.connection(); }

    // Bills as "id:warehouse ...", then their lines and the ledger as rows of
    // SQL values: (bill,entry,item,unit,batch,place,qty,amount) and
    // (warehouse,item,unit,batch,place,qty,amount).
    void seed(const char* bills, const char* lines, const char* ledger) {
        for (const QString& b : QString::fromLatin1(bills).split(' ')) {
            db_.exec(
                u"insert into icstockbill(finterid,fbillno,ftrantype,fstockid1) "
                "values(?,?,7,?)"_s,
                {b.section(':', 0, 0).toInt(), b, b.section(':', 1).toInt()});
        }
        db_.exec(
            u"insert into icstockbillentry(finterid,fentryid,fitemid,funitid,"
            "fbatchno,fstockplace,fqty,famount) values"_s +
            QString::fromUtf8(lines));
        db_.exec(
            u"insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,"
            "fStockPlace,fqty,famount) values"_s +
            QString::fromUtf8(ledger));
    }
    // "warehouse/item/unit/batch/place=qty;amount" of each row, numbers
    // written shortest, so 0.3 and 0.30000000000000004 stay apart.
    QString ledger() {
        const auto exact = [](const QVariant& v) {
            return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
        };
        QStringList rows;
        db::Query q = c().prepare(
            u"select fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,famount from tblTimeStock "
            "order by fstockid,fitemid,funitid,fbatchno,fStockPlace"_s);
        q.exec();
        while (q.next()) {
            rows << u"%1/%2/%3/%4/%5=%6;%7"_s.arg(
                q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                q.value(3).toString(), q.value(4).toString(), exact(q.value(5)), exact(q.value(6)));
        }
        return rows.join(' ');
    }
    // Posts inside a transaction of its own, as the bill operations do; the
    // clean-up covers the keys of the bills posted.
    void post(const QString& idList, PostDirection direction, bool cleanUp = false) {
        db::TransactionGuard tx(c());
        postToTimeStock(c(), idList, direction);
        if (cleanUp) removeZeroStockRows(c(), parseIdList(idList));
        tx.commit();
    }

    TestDatabase db_;
};

// 1.2 has no batch or place, 1.3 a new key with a negative line, 1.4 1.1's key, 1.5 an
// amount alone; bill 2 posts the same key in another warehouse.
TEST_F(StockLedgerTest, ListPostsLinesToTheirKeysAndReverseRestoresTheLedgerExactly) {
    seed("1:1 2:2",
         "(1,1,100,5,'B1',0,4,10.2),(1,2,101,5,null,null,0.000001,1.5),"
         "(1,3,102,5,'B9',3,-2.5,-5),(1,4,100,5,'B1',0,1.25,0.3),(1,5,101,5,null,null,0,2.5),"
         "(2,1,100,5,'B1',0,1,1)",
         "(1,100,5,'B1',0,10,25.5),(1,101,5,'',0,3.333333,9.99),(2,100,5,'B1',0,7,7)");
    const QString before = ledger();
    post(u"1,2"_s, PostDirection::Add);
    EXPECT_EQ(ledger(),
              u"1/100/5/B1/0=15.25;36 1/101/5//0=3.333334;13.99 "
              "1/102/5/B9/3=-2.5;-5 2/100/5/B1/0=8;8"_s);
    // Posted once only: a bill already on the ledger is passed over.
    const QString posted = ledger();
    post(u"2,1"_s, PostDirection::Add);
    EXPECT_EQ(ledger(), posted);
    EXPECT_EQ(db_.scalar(u"select sum(fstockposted) from icstockbill"_s).toInt(), 2);

    post(u"1,2"_s, PostDirection::Reverse, true);
    EXPECT_EQ(ledger(), before);
    // Taken off once only; the markers say so.
    post(u"1"_s, PostDirection::Reverse);
    EXPECT_EQ(ledger(), before);
    EXPECT_EQ(db_.scalar(u"select sum(fstockposted) from icstockbill"_s).toInt(), 0);
}

// The clean-up removes only the posted keys' rows the posting emptied.
TEST_F(StockLedgerTest, CleanUpTouchesOnlyEmptyRowsOfThePostedKeys) {
    seed("1:1",
         "(1,1,100,5,'B1',3,2,4),(1,2,101,5,null,null,1,1),(1,3,102,5,'B2',0,1,1),"
         "(1,4,103,5,'B3',0,1,1)",
         "(1,100,5,'B1',3,-2,-4),(1,101,5,'',0,-1,-1),(1,102,5,'B2',0,-1,0),"
         "(1,103,5,'B3',0,0,-1),(1,100,5,'B1',4,0,0),(1,100,6,'B1',3,0,0),(2,100,5,'B1',3,0,0)");
    post(u"1"_s, PostDirection::Add, true);
    EXPECT_EQ(ledger(),
              u"1/100/5/B1/4=0;0 1/100/6/B1/3=0;0 1/102/5/B2/0=0;1 "
              "1/103/5/B3/0=1;0 2/100/5/B1/3=0;0"_s);
}

}  // namespace
