#include <gtest/gtest.h>

#include <barrier>
#include <set>
#include <thread>

#include "db/db_error.h"
#include "db/transaction.h"
#include "entry/login_context.h"
#include "stock/bill_numbering.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using namespace otherin::stock;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

struct Issued {
    qint32 id = 0;
    QString number;
};

void setUpContext(entry::LoginContext& ctx, const QString& connectionString) {
    ctx.DBConnectionString = connectionString;
    ctx.msgTitle = QStringLiteral("其它入库单");
    ctx.gBillTypeId = 7;
    ctx.gBillLength = 6;
}

// What the save of a new bill does with the numbering: the id before its
// transaction, the number inside it, then the header row. `failAfterNumber`
// stands for a save that fails once both keys are taken.
std::optional<Issued> saveBill(entry::LoginContext& ctx, entry::Prompter& prompter,
                               const QString& typed = QString(), bool failAfterNumber = false) {
    const auto id = issueBillId(ctx, prompter, typed);
    if (!id) return std::nullopt;
    db::TransactionGuard tx(ctx.gConnection);
    const QString number = issueBillNumber(ctx, typed);
    if (failAfterNumber) throw db::DbError(QStringLiteral("保存失败"));
    ctx.gConnection.exec(
        QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype) values(?,?,?)"),
        {*id, number, ctx.gBillTypeId});
    tx.commit();
    return Issued{*id, number};
}

class BillNumberingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setUpContext(ctx_, db_.connectionString());
        db_.exec(
            QStringLiteral("insert into tblmaxNum(ftablename,fmaxnum) values('ICStockBill',10)"));
    }

    void counterRow(int counter, const char* prefix, int digits) {
        db_.exec(QStringLiteral("insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength) "
                                "values(7,?,?,?)"),
                 {counter, QString::fromUtf8(prefix), digits});
    }
    int counter() {
        return db_.scalar(QStringLiteral("select fbillno from tblMaxBillNo where ftypeid=7"))
            .toInt();
    }
    int maxNum() {
        return db_
            .scalar(QStringLiteral("select fmaxnum from tblmaxNum where ftablename='ICStockBill'"))
            .toInt();
    }
    int bills() { return db_.scalar(QStringLiteral("select count(*) from icstockbill")).toInt(); }
    QString preview() { return previewBillNumber(ctx_, prompter_, 7); }

    TestDatabase db_;
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
};

TEST_F(BillNumberingTest, PreviewAndIssuePadTheAdvancedCounter) {
    counterRow(41, "QT", 6);
    ctx_.gBillLength = 0;
    EXPECT_EQ(preview(), QStringLiteral("QT000042"));
    EXPECT_EQ(ctx_.gBillLength, 6);
    EXPECT_FALSE(ctx_.gConnection.isOpen());
    EXPECT_EQ(counter(), 41);  // a preview reserves nothing

    const auto bill = saveBill(ctx_, prompter_);
    ASSERT_TRUE(bill);
    EXPECT_EQ(bill->id, 11);
    EXPECT_EQ(bill->number, QStringLiteral("QT000042"));
    EXPECT_EQ(counter(), 42);
    EXPECT_EQ(maxNum(), 11);
    EXPECT_EQ(preview(), QStringLiteral("QT000043"));
    EXPECT_TRUE(prompter_.messages().empty());
}

TEST_F(BillNumberingTest, CounterLongerThanTheDigitCountGetsNoPadding) {
    counterRow(99, "QT", 2);
    EXPECT_EQ(preview(), QStringLiteral("QT100"));
    EXPECT_EQ(saveBill(ctx_, prompter_)->number, QStringLiteral("QT100"));
    EXPECT_EQ(formatBillNumber(QStringLiteral("X"), 7, 0), QStringLiteral("X7"));
}

TEST_F(BillNumberingTest, CounterIsThirtyTwoBitsWide) {
    counterRow(32767, "QT", 6);
    EXPECT_EQ(preview(), QStringLiteral("QT032768"));
    EXPECT_EQ(saveBill(ctx_, prompter_)->number, QStringLiteral("QT032768"));
    EXPECT_EQ(saveBill(ctx_, prompter_)->number, QStringLiteral("QT032769"));
    EXPECT_EQ(counter(), 32769);

    // The last 32-bit value is issued; past it the save fails and rolls back.
    db_.exec(QStringLiteral("update tblMaxBillNo set fbillno=2147483646"));
    EXPECT_EQ(saveBill(ctx_, prompter_)->number, QStringLiteral("QT2147483647"));
    EXPECT_THROW(saveBill(ctx_, prompter_), db::DbError);
    EXPECT_EQ(counter(), 2147483647);
    EXPECT_EQ(bills(), 3);
}

TEST_F(BillNumberingTest, TypeWithoutCounterRowPreviewsNothingAndStartsAtBIn0000001) {
    db_.exec(QStringLiteral(
        "insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength) values(8,5,'X',3)"));
    EXPECT_EQ(preview(), QString());
    EXPECT_TRUE(prompter_.messages().empty());

    ctx_.gBillLength = 3;  // seven digits whatever the digit count
    EXPECT_EQ(saveBill(ctx_, prompter_)->number, QStringLiteral("BIn0000001"));
    EXPECT_EQ(db_.scalar(QStringLiteral(
                             "select fPreLetter||'/'||fbillno from tblMaxBillNo where ftypeid=7"))
                  .toString(),
              QStringLiteral("BIn/1"));
    EXPECT_EQ(saveBill(ctx_, prompter_)->number, QStringLiteral("BIn002"));
    EXPECT_EQ(
        db_.scalar(QStringLiteral("select fbillno from tblMaxBillNo where ftypeid=8")).toInt(), 5);
}

TEST_F(BillNumberingTest, DatabaseWithoutIdCounterRowStartsAtOne) {
    counterRow(0, "QT", 6);
    db_.exec(QStringLiteral("delete from tblmaxNum"));
    EXPECT_EQ(saveBill(ctx_, prompter_)->id, 1);
    EXPECT_EQ(maxNum(), 1);
    EXPECT_EQ(saveBill(ctx_, prompter_)->id, 2);
    // The counter row is found without regard to the case of its name.
    EXPECT_EQ(nextInternalId(db_.connection(), QStringLiteral("icstockbill")), 3);
    EXPECT_EQ(db_.scalar(QStringLiteral("select count(*) from tblmaxNum")).toInt(), 1);
}

TEST_F(BillNumberingTest, OldestFreedNumberIsReusedWithoutAdvancingTheCounter) {
    counterRow(41, "QT", 6);
    db_.exec(
        QStringLiteral("insert into tblBillNoAdd(finterid,fTypeId,fbillnumber) values"
                       "(9,7,'QT000005'),(3,7,'QT000007'),(1,8,'X001')"));
    ctx_.gIsAddDelNumber = 1;
    EXPECT_EQ(preview(), QStringLiteral("QT000007"));
    EXPECT_EQ(saveBill(ctx_, prompter_)->number, QStringLiteral("QT000007"));
    EXPECT_EQ(counter(), 41);
    EXPECT_EQ(db_.scalar(QStringLiteral("select group_concat(fbillnumber) from tblBillNoAdd "
                                        "where fTypeId=7"))
                  .toString(),
              QStringLiteral("QT000005"));

    // A freed number replaces a typed one too.
    ctx_.gIsUpdateBillNo = 1;
    EXPECT_EQ(saveBill(ctx_, prompter_, QStringLiteral("MY-1"))->number,
              QStringLiteral("QT000005"));
    EXPECT_EQ(counter(), 41);

    // Only other types' numbers are left: the counter takes over again.
    ctx_.gIsUpdateBillNo = 0;
    EXPECT_EQ(preview(), QStringLiteral("QT000042"));
    EXPECT_EQ(saveBill(ctx_, prompter_)->number, QStringLiteral("QT000042"));
    EXPECT_EQ(db_.scalar(QStringLiteral("select count(*) from tblBillNoAdd")).toInt(), 1);
}

TEST_F(BillNumberingTest, FreedNumbersWaitWhileReuseIsOffButAnIssuedOneLeavesTheList) {
    counterRow(41, "QT", 6);
    db_.exec(
        QStringLiteral("insert into tblBillNoAdd(finterid,fTypeId,fbillnumber) values"
                       "(3,7,'QT000007'),(4,7,'QT000042')"));
    EXPECT_EQ(preview(), QStringLiteral("QT000042"));
    EXPECT_EQ(saveBill(ctx_, prompter_)->number, QStringLiteral("QT000042"));
    EXPECT_EQ(counter(), 42);
    EXPECT_EQ(
        db_.scalar(QStringLiteral("select group_concat(fbillnumber) from tblBillNoAdd")).toString(),
        QStringLiteral("QT000007"));
}

TEST_F(BillNumberingTest, TypedNumbersAreIssuedAsTypedAndDuplicatesOfAnyTypeRefused) {
    counterRow(41, "QT", 6);
    db_.exec(
        QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype) values(1,'CG-9',1)"));
    ctx_.gIsUpdateBillNo = 1;

    EXPECT_FALSE(saveBill(ctx_, prompter_, QStringLiteral(" CG-9 ")));
    EXPECT_TRUE(prompter_.onlyMessage(QStringLiteral("单据编号不能重复!"), entry::Icon::Critical,
                                      QStringLiteral("其它入库单")));
    EXPECT_FALSE(ctx_.gConnection.isOpen());
    EXPECT_EQ(maxNum(), 10);
    EXPECT_EQ(counter(), 41);
    EXPECT_EQ(bills(), 1);

    // A typed number still advances the counter.
    EXPECT_EQ(saveBill(ctx_, prompter_, QStringLiteral("O'Brien-1"))->number,
              QStringLiteral("O'Brien-1"));
    EXPECT_EQ(counter(), 42);
}

TEST_F(BillNumberingTest, TypedNumberTakenAfterTheCheckFailsInsideTheTransaction) {
    counterRow(41, "QT", 6);
    ctx_.gIsUpdateBillNo = 1;
    const auto id = issueBillId(ctx_, prompter_, QStringLiteral("A-1"));
    ASSERT_TRUE(id);
    db_.exec(
        QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype) values(99,'A-1',7)"));
    db::TransactionGuard tx(ctx_.gConnection);
    EXPECT_THROW(issueBillNumber(ctx_, QStringLiteral("A-1")), DuplicateBillNumber);
    tx.rollback();
    EXPECT_EQ(counter(), 41);
}

// Typed numbers, saved one after the other on bills CG-9 (type 1), QT-5 and
// one without a number (type 7). What is checked is what is stored: the text
// trimmed. With gIsUpdateBillNo 1 the check spans every type before the
// save; any other typing setting still never stores a number twice in a type.
TEST_F(BillNumberingTest, TypedNumbersAreStoredTrimmedAndNeverTwiceInAType) {
    counterRow(41, "QT", 6);
    db_.exec(
        QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype) values"
                       "(1,'CG-9',1),(2,'QT-5',7),(3,'',7)"));
    enum class Outcome { Stored, RefusedBeforeSave, RefusedInsideSave };
    struct Case {
        int typing;
        const char* typed;
        Outcome outcome;
        const char* stored;
    };
    const Case cases[] = {
        {1, " DUP ", Outcome::Stored, "DUP"},
        {1, "DUP", Outcome::RefusedBeforeSave, ""},
        {1, "DUP  ", Outcome::RefusedBeforeSave, ""},
        {1, " CG-9", Outcome::RefusedBeforeSave, ""},
        {2, "CG-9 ", Outcome::Stored, "CG-9"},  // another type's number
        {2, " QT-5", Outcome::RefusedInsideSave, ""},
        {2, " DUP", Outcome::RefusedInsideSave, ""},
        {2, "", Outcome::Stored, ""},  // bills without a number may be many
    };
    int stored = bills();
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 \"%2\"")
                         .arg(c.typing)
                         .arg(QString::fromUtf8(c.typed))
                         .toStdString());
        ctx_.gIsUpdateBillNo = c.typing;
        prompter_.clear();
        const QString typed = QString::fromUtf8(c.typed);
        switch (c.outcome) {
            case Outcome::Stored: {
                const auto bill = saveBill(ctx_, prompter_, typed);
                ASSERT_TRUE(bill);
                EXPECT_EQ(bill->number, QString::fromUtf8(c.stored));
                EXPECT_EQ(
                    db_.scalar(QStringLiteral("select fbillno from icstockbill where finterid=?"),
                               {bill->id})
                        .toString(),
                    QString::fromUtf8(c.stored));
                ++stored;
                break;
            }
            case Outcome::RefusedBeforeSave:
                EXPECT_FALSE(saveBill(ctx_, prompter_, typed));
                EXPECT_EQ(prompter_.lastText(), QStringLiteral("单据编号不能重复!"));
                break;
            case Outcome::RefusedInsideSave:
                EXPECT_THROW(saveBill(ctx_, prompter_, typed), DuplicateBillNumber);
                break;
        }
        EXPECT_EQ(bills(), stored);
    }
    EXPECT_EQ(
        db_.scalar(QStringLiteral("select count(*) from icstockbill where fbillno='CG-9'")).toInt(),
        2);
}

// Whatever the source of a number, one a bill of the type carries is never
// issued: the counter passes it, a freed one leaves the list. Three bills are
// saved per case from counter 41 (prefix QT, six digits).
TEST(BillNumberSourcesTest, NumbersCarriedByABillOfTheTypeAreNeverIssued) {
    struct Case {
        const char* name;
        QStringList bills;  // "type:number"
        QStringList freed;  // "id:type:number"
        const char* preview;
        QStringList issued;
        int counterAfter;
        const char* freedAfter;
    };
    const Case cases[] = {
        {"counter passes typed numbers",
         {"7:QT000042", "7:QT000043", "7:QT000045"},
         {},
         "QT000044",
         {"QT000044", "QT000046", "QT000047"},
         47,
         ""},
        {"another type's number does not stop the counter",
         {"8:QT000042", "7:"},
         {},
         "QT000042",
         {"QT000042", "QT000043", "QT000044"},
         44,
         ""},
        {"freed numbers taken since are dropped",
         {"7:QT000007", "7:QT000042"},
         {"3:7:QT000007", "5:7:  ", "9:7:QT000005", "1:8:X001"},
         "QT000005",
         {"QT000005", "QT000043", "QT000044"},
         44,
         "X001"},
        {"a freed number of another type's bill is still free",
         {"8:QT000007"},
         {"3:7:QT000007"},
         "QT000007",
         {"QT000007", "QT000042", "QT000043"},
         43,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDatabase db;
        entry::LoginContext ctx;
        setUpContext(ctx, db.connectionString());
        ctx.gIsAddDelNumber = 1;
        ScriptedPrompter prompter;
        db.exec(QStringLiteral(
            "insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength) values(7,41,'QT',6)"));
        int id = 100;
        for (const QString& b : c.bills) {
            const QString number = b.section(':', 1);  // null when blank: stored as ''
            db.exec(
                QStringLiteral("insert into icstockbill(finterid,ftrantype,fbillno) values(?,?,?)"),
                {++id, b.section(':', 0, 0).toInt(),
                 number.isNull() ? QStringLiteral("") : number});
        }
        for (const QString& f : c.freed) {
            db.exec(
                QStringLiteral(
                    "insert into tblBillNoAdd(finterid,fTypeId,fbillnumber) values(?,?,?)"),
                {f.section(':', 0, 0).toInt(), f.section(':', 1, 1).toInt(), f.section(':', 2)});
        }
        EXPECT_EQ(previewBillNumber(ctx, prompter, 7), QString::fromUtf8(c.preview));
        QStringList issued;
        for (int i = 0; i < c.issued.size(); ++i) {
            const auto bill = saveBill(ctx, prompter);
            ASSERT_TRUE(bill);
            issued << bill->number;
        }
        EXPECT_EQ(issued, c.issued);
        EXPECT_EQ(
            db.scalar(QStringLiteral("select fbillno from tblMaxBillNo where ftypeid=7")).toInt(),
            c.counterAfter);
        EXPECT_EQ(db.scalar(QStringLiteral("select coalesce(group_concat(fbillnumber),'') from "
                                           "tblBillNoAdd"))
                      .toString(),
                  QString::fromUtf8(c.freedAfter));
        EXPECT_TRUE(prompter.messages().empty());
    }
}

// The split numbers its bill from the counter alone, with the type's own digit
// count, past numbers typed by hand.
TEST_F(BillNumberingTest, CounterNumberForASplitPassesTakenNumbersWithTheTypesDigits) {
    counterRow(41, "QT", 4);
    db_.exec(
        QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype) values"
                       "(1,'QT0042',7),(2,'QT0043',8)"));
    db_.exec(
        QStringLiteral("insert into tblBillNoAdd(finterid,fTypeId,fbillnumber) values"
                       "(1,7,'QT0043'),(2,7,'QT0001')"));
    db::Connection& c = db_.connection();
    EXPECT_THROW(issueCounterNumber(c, 7), db::DbError);  // only inside a transaction
    db::TransactionGuard tx(c);
    EXPECT_EQ(issueCounterNumber(c, 7), QStringLiteral("QT0043"));
    EXPECT_EQ(issueCounterNumber(c, 7), QStringLiteral("QT0044"));
    tx.commit();
    EXPECT_EQ(counter(), 44);
    EXPECT_EQ(
        db_.scalar(QStringLiteral("select group_concat(fbillnumber) from tblBillNoAdd")).toString(),
        QStringLiteral("QT0001"));
}

// The database's own refusal of a second bill of a type with one number is
// told apart from every other failure of an insert.
TEST_F(BillNumberingTest, UniqueIndexRefusalIsRecognisedAsADuplicateNumber) {
    db_.exec(QStringLiteral(
        "insert into icstockbill(finterid,fbillno,ftrantype) values(1,'A',7),(2,'B',7)"));
    const auto failure = [this](const QString& sql) -> std::optional<db::DbError> {
        try {
            db_.exec(sql);
        } catch (const db::DbError& e) {
            return e;
        }
        return std::nullopt;
    };
    const auto clash = failure(
        QStringLiteral("insert into icstockbill(finterid,fbillno,ftrantype) values(3,'A',7)"));
    ASSERT_TRUE(clash);
    EXPECT_TRUE(isBillNumberClash(*clash)) << clash->message().toStdString();
    EXPECT_TRUE(isBillNumberClash(db::DbError(QStringLiteral(
        "duplicate key value violates unique constraint \"ux_icstockbill_ftrantype_fbillno\""))));
    EXPECT_FALSE(isBillNumberClash(DuplicateBillNumber()));
    for (const char* other : {"insert into icstockbill(finterid,fbillno,ftrantype) values(1,'C',7)",
                              "update icstockbill set fbillno=null where finterid=2",
                              "insert into tblmaxNum(ftablename,fmaxnum) values('ICStockBill',1),"
                              "('ICStockBill',2)"}) {
        const auto e = failure(QString::fromUtf8(other));
        ASSERT_TRUE(e) << other;
        EXPECT_FALSE(isBillNumberClash(*e)) << e->message().toStdString();
    }
}

TEST_F(BillNumberingTest, FailedSaveKeepsTheIdUsedAndTheNumberCounterUnchanged) {
    counterRow(41, "QT", 6);
    db_.exec(QStringLiteral(
        "insert into tblBillNoAdd(finterid,fTypeId,fbillnumber) values(3,7,'QT000007')"));
    EXPECT_THROW(saveBill(ctx_, prompter_, QString(), true), db::DbError);
    EXPECT_EQ(maxNum(), 11);
    EXPECT_EQ(counter(), 41);
    ctx_.gIsAddDelNumber = 1;
    EXPECT_THROW(saveBill(ctx_, prompter_, QString(), true), db::DbError);
    EXPECT_EQ(maxNum(), 12);
    EXPECT_EQ(db_.scalar(QStringLiteral("select count(*) from tblBillNoAdd")).toInt(), 1);
    EXPECT_EQ(bills(), 0);

    // The two halves refuse to run on the wrong side of the transaction.
    entry::openConnection(ctx_);
    EXPECT_THROW(issueBillNumber(ctx_, QString()), db::DbError);
    db::TransactionGuard tx(ctx_.gConnection);
    EXPECT_THROW(issueBillId(ctx_, prompter_, QString()), db::DbError);
    EXPECT_EQ(maxNum(), 12);
}

TEST_F(BillNumberingTest, PreviewFailureIsReportedAndGivesNothing) {
    db_.exec(QStringLiteral("drop table tblMaxBillNo"));
    EXPECT_EQ(preview(), QString());
    ASSERT_EQ(prompter_.messages().size(), 1u);
    EXPECT_TRUE(
        prompter_.messages()[0].text.contains(QStringLiteral("tblMaxBillNo"), Qt::CaseInsensitive));
    EXPECT_EQ(prompter_.messages()[0].icon, entry::Icon::Critical);
    EXPECT_EQ(prompter_.messages()[0].title, QStringLiteral("其它入库单"));
    EXPECT_FALSE(ctx_.gConnection.isOpen());
}

// Two clients save bills on one database file at the same moment, step by
// step in lock-step, each on its own connection and thread. Every id and every
// number must be issued exactly once, freed numbers included.
TEST(BillNumberingRaceTest, TwoClientsSavingAtOnceNeverShareAnIdOrANumber) {
    constexpr int kClients = 2;
    constexpr int kSavesEach = 150;
    constexpr int kFreed = 20;
    TestDatabase db;
    db.exec(QStringLiteral(
        "insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength) values(7,0,'QT',6)"));
    for (int i = 1; i <= kFreed; ++i) {
        db.exec(
            QStringLiteral("insert into tblBillNoAdd(finterid,fTypeId,fbillnumber) values(?,7,?)"),
            {i, QStringLiteral("DEL%1").arg(i)});
    }

    std::barrier step(kClients);
    std::vector<std::vector<Issued>> issued(kClients);
    std::vector<QString> failures(kClients);
    auto client = [&](int k) {
        entry::LoginContext ctx;  // its connection lives and dies in this thread
        setUpContext(ctx, db.connectionString());
        ctx.gIsAddDelNumber = 1;
        ScriptedPrompter prompter;
        for (int i = 0; i < kSavesEach; ++i) {
            step.arrive_and_wait();
            try {
                issued[k].push_back(*saveBill(ctx, prompter));
            } catch (const db::DbError& e) {
                failures[k] = e.message();
                step.arrive_and_drop();
                return;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int k = 0; k < kClients; ++k) threads.emplace_back(client, k);
    for (auto& t : threads) t.join();

    for (const QString& f : failures) EXPECT_TRUE(f.isEmpty()) << f.toStdString();
    std::set<qint32> ids;
    std::set<QString> numbers;
    for (const auto& list : issued) {
        EXPECT_EQ(list.size(), static_cast<size_t>(kSavesEach));
        for (const Issued& b : list) {
            ids.insert(b.id);
            numbers.insert(b.number);
        }
    }
    constexpr int kTotal = kClients * kSavesEach;
    EXPECT_EQ(ids.size(), static_cast<size_t>(kTotal));
    EXPECT_EQ(*ids.begin(), 1);
    EXPECT_EQ(*ids.rbegin(), kTotal);
    EXPECT_EQ(numbers.size(), static_cast<size_t>(kTotal));
    EXPECT_TRUE(numbers.count(QStringLiteral("DEL1")) && numbers.count(QStringLiteral("DEL20")));
    EXPECT_TRUE(numbers.count(formatBillNumber(QStringLiteral("QT"), kTotal - kFreed, 6)));
    EXPECT_EQ(db.scalar(QStringLiteral("select fmaxnum from tblmaxNum")).toInt(), kTotal);
    EXPECT_EQ(db.scalar(QStringLiteral("select fbillno from tblMaxBillNo")).toInt(),
              kTotal - kFreed);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tblBillNoAdd")).toInt(), 0);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(distinct fbillno) from icstockbill")).toInt(),
              kTotal);
}

}  // namespace
