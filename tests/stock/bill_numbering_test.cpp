#include <gtest/gtest.h>

#include <barrier>
#include <set>
#include <thread>

#include "db/db_error.h"
#include "db/transaction.h"
#include "entry/login_context.h"
#include "stock/bill_numbering.h"
#include "support/qstring_print.h"
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

    TestDatabase db_;
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
};

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
// save and takes no id; any other typing setting still never stores a number
// twice in a type. A stored typed number still moves the counter on.
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
        {1, "O'Brien-1", Outcome::Stored, "O'Brien-1"},
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
        const int counterBefore = counter();
        const int idsBefore = maxNum();
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
                EXPECT_EQ(counter(), counterBefore + 1);
                ++stored;
                break;
            }
            case Outcome::RefusedBeforeSave:
                EXPECT_FALSE(saveBill(ctx_, prompter_, typed));
                EXPECT_TRUE(prompter_.onlyMessage(QStringLiteral("单据编号不能重复!"),
                                                  entry::Icon::Critical,
                                                  QStringLiteral("其它入库单")));
                EXPECT_FALSE(ctx_.gConnection.isOpen());
                EXPECT_EQ(maxNum(), idsBefore);
                EXPECT_EQ(counter(), counterBefore);
                break;
            case Outcome::RefusedInsideSave:
                EXPECT_THROW(saveBill(ctx_, prompter_, typed), DuplicateBillNumber);
                EXPECT_EQ(counter(), counterBefore);
                break;
        }
        EXPECT_EQ(bills(), stored);
    }
    EXPECT_EQ(
        db_.scalar(QStringLiteral("select count(*) from icstockbill where fbillno='CG-9'")).toInt(),
        2);
}

// Where the number of each save comes from: the counter, padded to the digits
// the preview read and passing numbers a bill of the type carries; a freed
// number, oldest first, when reuse is on and no bill of the type took it
// since; or the text typed. Bills are saved from id 1 on a fresh database.
TEST(BillNumberSourcesTest, EachSaveTakesTheNextNumberNoBillOfTheTypeCarries) {
    struct Case {
        const char* name;
        QStringList counters = {};  // "type:counter:prefix:digits"
        QStringList bills = {};     // "type:number"
        QStringList freed = {};     // "id:type:number"
        int reuse = 1;
        const char* typed = nullptr;  // typed by hand, typing switch 1
        int digits = 0;               // the context's digit count before the preview
        const char* preview;
        QStringList issued;
        bool exhausted = false;  // the save after the issued ones fails
        const char* countersAfter;
        const char* freedAfter = "";
    };
    const Case cases[] = {
        {.name = "the counter is padded to the type's digits",
         .counters = {"7:41:QT:6"},
         .preview = "QT000042",
         .issued = {"QT000042", "QT000043"},
         .countersAfter = "7:QT43"},
        {.name = "a counter longer than its digits is not padded",
         .counters = {"7:99:QT:2"},
         .preview = "QT100",
         .issued = {"QT100"},
         .countersAfter = "7:QT100"},
        {.name = "the counter is 32 bits wide",
         .counters = {"7:32767:QT:6"},
         .preview = "QT032768",
         .issued = {"QT032768", "QT032769"},
         .countersAfter = "7:QT32769"},
        {.name = "past the last 32-bit number the save fails and rolls back",
         .counters = {"7:2147483646:QT:6"},
         .preview = "QT2147483647",
         .issued = {"QT2147483647"},
         .exhausted = true,
         .countersAfter = "7:QT2147483647"},
        {.name = "a type without a counter row starts at BIn0000001",
         .counters = {"8:5:X:3"},
         .digits = 3,
         .preview = "",
         .issued = {"BIn0000001", "BIn002"},
         .countersAfter = "7:BIn2,8:X5"},
        {.name = "the counter passes typed numbers",
         .counters = {"7:41:QT:6"},
         .bills = {"7:QT000042", "7:QT000043", "7:QT000045"},
         .preview = "QT000044",
         .issued = {"QT000044", "QT000046", "QT000047"},
         .countersAfter = "7:QT47"},
        {.name = "another type's number does not stop the counter",
         .counters = {"7:41:QT:6"},
         .bills = {"8:QT000042", "7:"},
         .preview = "QT000042",
         .issued = {"QT000042", "QT000043", "QT000044"},
         .countersAfter = "7:QT44"},
        {.name = "the oldest free freed number goes first, those taken since are dropped",
         .counters = {"7:41:QT:6"},
         .bills = {"7:QT000007", "7:QT000042"},
         .freed = {"3:7:QT000007", "5:7:  ", "9:7:QT000005", "1:8:X001", "4:7:QT000009"},
         .preview = "QT000009",
         .issued = {"QT000009", "QT000005", "QT000043"},
         .countersAfter = "7:QT43",
         .freedAfter = "X001"},
        {.name = "a freed number of another type's bill is still free",
         .counters = {"7:41:QT:6"},
         .bills = {"8:QT000007"},
         .freed = {"3:7:QT000007"},
         .preview = "QT000007",
         .issued = {"QT000007", "QT000042", "QT000043"},
         .countersAfter = "7:QT43"},
        {.name = "freed numbers wait while reuse is off, but an issued one leaves the list",
         .counters = {"7:41:QT:6"},
         .freed = {"3:7:QT000007", "4:7:QT000042"},
         .reuse = 0,
         .preview = "QT000042",
         .issued = {"QT000042"},
         .countersAfter = "7:QT42",
         .freedAfter = "QT000007"},
        {.name = "a freed number replaces a typed one; a typed one moves the counter",
         .counters = {"7:41:QT:6"},
         .freed = {"3:7:QT000007"},
         .typed = "MY-1",
         .preview = "QT000007",
         .issued = {"QT000007", "MY-1"},
         .countersAfter = "7:QT42"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDatabase db;
        entry::LoginContext ctx;
        setUpContext(ctx, db.connectionString());
        ctx.gIsAddDelNumber = c.reuse;
        ctx.gIsUpdateBillNo = c.typed ? 1 : 0;
        ctx.gBillLength = c.digits;
        ScriptedPrompter prompter;
        for (const QString& r : c.counters) {
            db.exec(QStringLiteral("insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength) "
                                   "values(?,?,?,?)"),
                    {r.section(':', 0, 0).toInt(), r.section(':', 1, 1).toLongLong(),
                     r.section(':', 2, 2), r.section(':', 3, 3).toInt()});
        }
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
        EXPECT_FALSE(ctx.gConnection.isOpen());
        QStringList issued;
        for (int i = 0; i < c.issued.size(); ++i) {
            const auto bill = saveBill(ctx, prompter, QString::fromUtf8(c.typed));
            ASSERT_TRUE(bill);
            EXPECT_EQ(bill->id, i + 1);
            issued << bill->number;
        }
        EXPECT_EQ(issued, c.issued);
        if (c.exhausted) {
            EXPECT_THROW(saveBill(ctx, prompter), db::DbError);
        }
        QStringList counters;
        db::Query q = db.connection().prepare(QStringLiteral(
            "select ftypeid||':'||fPreLetter||fbillno from tblMaxBillNo order by ftypeid"));
        q.exec();
        while (q.next()) counters << q.value(0).toString();
        EXPECT_EQ(counters.join(QLatin1Char(',')), QString::fromUtf8(c.countersAfter));
        EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from icstockbill")).toInt(),
                  c.bills.size() + c.issued.size());
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

// Only the bill number index's refusal is told as a doubled number (the
// editor's save shows that refusal; see the duplicate number test).
TEST_F(BillNumberingTest, OtherRefusedWritesAreNoBillNumberClash) {
    db_.exec(QStringLiteral(
        "insert into icstockbill(finterid,fbillno,ftrantype) values(1,'A',7),(2,'B',7)"));
    EXPECT_FALSE(isBillNumberClash(DuplicateBillNumber()));
    for (const char* other : {"insert into icstockbill(finterid,fbillno,ftrantype) values(1,'C',7)",
                              "update icstockbill set fbillno=null where finterid=2",
                              "insert into tblmaxNum(ftablename,fmaxnum) values('ICStockBill',1),"
                              "('ICStockBill',2)"}) {
        try {
            db_.exec(QString::fromUtf8(other));
            ADD_FAILURE() << "not refused: " << other;
        } catch (const db::DbError& e) {
            EXPECT_FALSE(isBillNumberClash(e)) << e.message().toStdString();
        }
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
    tx.rollback();
    EXPECT_EQ(maxNum(), 12);
    // The id counter row is found without regard to the case of its name.
    EXPECT_EQ(nextInternalId(db_.connection(), QStringLiteral("icstockbill")), 13);
    EXPECT_EQ(db_.scalar(QStringLiteral("select count(*) from tblmaxNum")).toInt(), 1);
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
