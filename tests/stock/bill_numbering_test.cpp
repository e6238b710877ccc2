#include <gtest/gtest.h>

#include <barrier>
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

using namespace Qt::StringLiterals;

namespace {

struct Issued {
    qint32 id = 0;
    QString number;
};

void setUpContext(entry::LoginContext& ctx, const QString& connectionString) {
    ctx.DBConnectionString = connectionString;
    ctx.msgTitle = u"其它入库单"_s;
    ctx.gBillTypeId = 7;
    ctx.gBillLength = 6;
}

// The numbering of a new bill's save: the id before its transaction, the number
// inside it, then the row; `failAfterNumber`: a save failing after both.
std::optional<Issued> saveBill(entry::LoginContext& ctx, entry::Prompter& prompter,
                               const QString& typed = QString(), bool failAfterNumber = false) {
    const auto id = issueBillId(ctx, prompter, typed);
    if (!id) return std::nullopt;
    db::TransactionGuard tx(ctx.gConnection);
    const QString number = issueBillNumber(ctx, typed);
    if (failAfterNumber) throw db::DbError(u"保存失败"_s);
    ctx.gConnection.exec(u"insert into icstockbill(finterid,fbillno,ftrantype) values(?,?,?)"_s,
                         {*id, number, ctx.gBillTypeId});
    tx.commit();
    return Issued{*id, number};
}

// given: "counters | bills | freed", items separated by ','; a counter is
// type:counter:prefix:digits, a bill type:number (ids from 101 on), a freed
// number id:type:number.
void seedNumbering(TestDatabase& db, const char* given) {
    const QStringList parts = QString::fromUtf8(given).split(u" | "_s);
    const auto items = [&](int i) { return parts.value(i).split(',', Qt::SkipEmptyParts); };
    for (const QString& r : items(0)) {
        db.exec(u"insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength) values(?,?,?,?)"_s,
                {r.section(':', 0, 0).toInt(), r.section(':', 1, 1).toLongLong(),
                 r.section(':', 2, 2), r.section(':', 3, 3).toInt()});
    }
    int id = 100;
    for (const QString& b : items(1)) {
        db.exec(u"insert into icstockbill(finterid,ftrantype,fbillno) values(?,?,?)"_s,
                {++id, b.section(':', 0, 0).toInt(),
                 b.section(':', 1).isEmpty() ? u""_s : b.section(':', 1)});
    }
    for (const QString& f : items(2)) {
        db.exec(u"insert into tblBillNoAdd(finterid,fTypeId,fbillnumber) values(?,?,?)"_s,
                {f.section(':', 0, 0).toInt(), f.section(':', 1, 1).toInt(), f.section(':', 2)});
    }
}

// "counters | freed numbers left", as the rows below write them.
QString numberingState(TestDatabase& db) {
    return db.column(
                 u"select ftypeid||':'||fPreLetter||fbillno from tblMaxBillNo order by ftypeid"_s)
               .join(',') +
           " | " + db.column(u"select fbillnumber from tblBillNoAdd order by finterid"_s).join(',');
}

class BillNumberingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setUpContext(ctx_, db_.connectionString());
        db_.exec(u"insert into tblmaxNum(ftablename,fmaxnum) values('ICStockBill',10)"_s);
    }

    TestDatabase db_;
    entry::LoginContext ctx_;
    ScriptedPrompter prompter_;
};

// Typed numbers are checked as stored (trimmed): with typing switch 1 across
// types before the save, taking no id; with any other inside it, in the type.
TEST_F(BillNumberingTest, TypedNumbersAreStoredTrimmedAndNeverTwiceInAType) {
    seedNumbering(db_, "7:41:QT:6 | 1:CG-9,7:QT-5,7:");
    const struct {
        int typing;
        const char* typed;
        const char* outcome;  // "stored NUMBER", "refused" before the save, or "clash" inside
    } cases[] = {
        {1, " DUP ", "stored DUP"},  {1, "DUP", "refused"},
        {1, " CG-9", "refused"},     {1, "O'Brien-1", "stored O'Brien-1"},
        {2, "CG-9 ", "stored CG-9"},  // another type's number
        {2, " QT-5", "clash"},       {2, " DUP", "clash"},
        {2, "", "stored "},  // bills without a number may be many
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ctx_.gIsUpdateBillNo = c.typing;
        prompter_.clear();
        QString outcome = u"clash"_s;
        try {
            const auto bill = saveBill(ctx_, prompter_, QString::fromUtf8(c.typed));
            outcome = bill ? u"stored "_s + bill->number : u"refused"_s;
        } catch (const DuplicateBillNumber&) {
        }
        EXPECT_EQ(outcome, QString::fromUtf8(c.outcome));
        if (outcome == u"refused"_s) {
            EXPECT_TRUE(prompter_.onlyMessage(u"单据编号不能重复!"_s, entry::Icon::Critical,
                                              ctx_.msgTitle));
            EXPECT_FALSE(ctx_.gConnection.isOpen());
        }
    }
    // Four stored: the counter moved four times; ids went to the stored bills
    // and the two clashes, none to a refusal.
    EXPECT_EQ(db_.column(u"select fbillno from icstockbill order by finterid"_s),
              QStringList({"DUP", "O'Brien-1", "CG-9", "", "CG-9", "QT-5", ""}));
    EXPECT_EQ(numberingState(db_), u"7:QT45 | "_s);
    EXPECT_EQ(db_.scalar(u"select fmaxnum from tblmaxNum"_s).toInt(), 16);
}

// Where each save's number comes from: the counter (passing numbers the type's
// bills carry), the oldest freed number still free, or the text typed.
TEST(BillNumberSourcesTest, EachSaveTakesTheNextNumberNoBillOfTheTypeCarries) {
    const struct {
        const char* name;
        const char* given;  // as seedNumbering writes it
        const char* run;    // "noreuse", "typed:TEXT", "digits:N" (the context's, before)
        const char* preview;
        const char* after;  // "issued | counters | freed left"; "!": the next save fails
    } cases[] = {
        {"padded to the type's digits", "7:41:QT:6", "", "QT000042",
         "QT000042 QT000043 | 7:QT43 | "},
        {"a counter longer than its digits is not padded", "7:99:QT:2", "", "QT100",
         "QT100 | 7:QT100 | "},
        {"the counter is 32 bits wide; past its last number the save fails and rolls back",
         "7:2147483646:QT:6", "", "QT2147483647", "QT2147483647 ! | 7:QT2147483647 | "},
        {"a type without a counter row starts at BIn0000001", "8:5:X:3", "digits:3", "",
         "BIn0000001 BIn002 | 7:BIn2,8:X5 | "},
        {"the counter passes typed numbers", "7:41:QT:6 | 7:QT000042,7:QT000043,7:QT000045", "",
         "QT000044", "QT000044 QT000046 QT000047 | 7:QT47 | "},
        {"another type's number does not stop the counter", "7:41:QT:6 | 8:QT000042,7:", "",
         "QT000042", "QT000042 QT000043 QT000044 | 7:QT44 | "},
        {"the oldest free freed number first, those taken since dropped",
         "7:41:QT:6 | 7:QT000007,7:QT000042 | "
         "3:7:QT000007,5:7:  ,9:7:QT000005,1:8:X001,4:7:QT000009",
         "", "QT000009", "QT000009 QT000005 QT000043 | 7:QT43 | X001"},
        {"a freed number another type's bill carries is still free",
         "7:41:QT:6 | 8:QT000007 | 3:7:QT000007", "", "QT000007",
         "QT000007 QT000042 QT000043 | 7:QT43 | "},
        {"freed numbers wait while reuse is off, but an issued one leaves the list",
         "7:41:QT:6 |  | 3:7:QT000007,4:7:QT000042", "noreuse", "QT000042",
         "QT000042 | 7:QT42 | QT000007"},
        {"a freed number replaces a typed one; a typed one moves the counter",
         "7:41:QT:6 |  | 3:7:QT000007", "typed:MY-1", "QT000007", "QT000007 MY-1 | 7:QT42 | "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDatabase db;
        seedNumbering(db, c.given);
        const QString run = QString::fromUtf8(c.run);
        const QString typed = run.startsWith("typed:") ? run.mid(6) : QString();
        entry::LoginContext ctx;
        setUpContext(ctx, db.connectionString());
        ctx.gIsAddDelNumber = run != "noreuse";
        ctx.gIsUpdateBillNo = !typed.isEmpty();
        ctx.gBillLength = run.startsWith("digits:") ? run.mid(7).toInt() : 0;
        ScriptedPrompter prompter;
        EXPECT_EQ(previewBillNumber(ctx, prompter, 7), QString::fromUtf8(c.preview));
        EXPECT_FALSE(ctx.gConnection.isOpen());

        // Each save answers its number, "!" for a failed one (rolled back).
        const QString after = QString::fromUtf8(c.after);
        QStringList issued;
        for (qsizetype i = 0; i <= after.section(" | ", 0, 0).count(' '); ++i) {
            try {
                const auto bill = saveBill(ctx, prompter, typed);
                issued << (bill && bill->id == i + 1 ? bill->number : u"?"_s);
            } catch (const db::DbError&) {
                issued << "!";
            }
        }
        EXPECT_EQ(issued.join(' ') + " | " + numberingState(db), after);
        EXPECT_TRUE(prompter.messages().empty());
    }
}

// The split numbers its bill from the counter alone, with the type's own digit
// count, past numbers typed by hand; it runs only inside a transaction.
TEST_F(BillNumberingTest, CounterNumberForASplitPassesTakenNumbersWithTheTypesDigits) {
    seedNumbering(db_, "7:41:QT:4 | 7:QT0042,8:QT0043 | 1:7:QT0043,2:7:QT0001");
    db::Connection& c = db_.connection();
    EXPECT_THROW(issueCounterNumber(c, 7), db::DbError);
    db::TransactionGuard tx(c);
    EXPECT_EQ(issueCounterNumber(c, 7), u"QT0043"_s);
    EXPECT_EQ(issueCounterNumber(c, 7), u"QT0044"_s);
    tx.commit();
    EXPECT_EQ(numberingState(db_), u"7:QT44 | QT0001"_s);
}

// Only the bill number index's refusal is a doubled number, not another key's.
TEST_F(BillNumberingTest, OtherRefusedWritesAreNoBillNumberClash) {
    seedNumbering(db_, " | 7:A");
    for (const char* other :
         {"insert into icstockbill(finterid,fbillno,ftrantype) values(101,'C',7)",
          "insert into tblmaxNum(ftablename,fmaxnum) values('ICStockBill',1)"}) {
        try {
            db_.exec(QString::fromUtf8(other));
            ADD_FAILURE() << other;
        } catch (const db::DbError& e) {
            EXPECT_FALSE(isBillNumberClash(e)) << e.message().toStdString();
        }
    }
}

// A failed save uses its id but issues no number; a typed number taken after the check fails
// inside the transaction.
TEST_F(BillNumberingTest, FailedSaveUsesItsIdButIssuesNoNumber) {
    seedNumbering(db_, "7:41:QT:6 |  | 3:7:QT000007");
    EXPECT_THROW(saveBill(ctx_, prompter_, QString(), true), db::DbError);
    ctx_.gIsAddDelNumber = 1;
    EXPECT_THROW(saveBill(ctx_, prompter_, QString(), true), db::DbError);
    ctx_.gIsAddDelNumber = 0;
    ctx_.gIsUpdateBillNo = 1;
    ASSERT_TRUE(issueBillId(ctx_, prompter_, u"A-1"_s));
    db_.exec(u"insert into icstockbill(finterid,fbillno,ftrantype) values(99,'A-1',7)"_s);
    EXPECT_THROW(issueBillNumber(ctx_, QString()), db::DbError);
    {
        db::TransactionGuard tx(ctx_.gConnection);
        EXPECT_THROW(issueBillNumber(ctx_, u"A-1"_s), DuplicateBillNumber);
        EXPECT_THROW(issueBillId(ctx_, prompter_, QString()), db::DbError);
    }
    EXPECT_EQ(numberingState(db_), u"7:QT41 | QT000007"_s);
    // Three ids used; the id counter row is found whatever the case of its name.
    EXPECT_EQ(nextInternalId(db_.connection(), u"icstockbill"_s), 14);
    EXPECT_EQ(db_.scalar(u"select count(*) from tblmaxNum"_s).toInt(), 1);
}

// Two clients saving in lock-step, each on its own thread: every id and number (freed ones
// too) is issued once, else the keys refuse a save.
TEST(BillNumberingRaceTest, TwoClientsSavingAtOnceNeverShareAnIdOrANumber) {
    constexpr int kClients = 2;
    constexpr int kSavesEach = 150;
    constexpr int kFreed = 20;
    TestDatabase db;
    QStringList freed;
    for (int i = 1; i <= kFreed; ++i) freed << u"%1:7:DEL%1"_s.arg(i);
    seedNumbering(db, ("7:0:QT:6 |  | " + freed.join(',')).toUtf8().constData());
    std::barrier step(kClients);
    std::vector<QString> failures(kClients);
    auto client = [&](int k) {
        entry::LoginContext ctx;  // its connection lives and dies in this thread
        setUpContext(ctx, db.connectionString());
        ctx.gIsAddDelNumber = 1;
        ScriptedPrompter prompter;
        try {
            for (int i = 0; i < kSavesEach; ++i) {
                step.arrive_and_wait();
                if (!saveBill(ctx, prompter)) failures[k] = prompter.lastText();
            }
        } catch (const db::DbError& e) {
            failures[k] = e.message();
            step.arrive_and_drop();
        }
    };
    std::vector<std::thread> threads;
    for (int k = 0; k < kClients; ++k) threads.emplace_back(client, k);
    for (auto& t : threads) t.join();

    EXPECT_EQ(failures, std::vector<QString>(kClients));
    // bills, distinct numbers, the highest id, freed numbers issued
    EXPECT_EQ(db.column(u"select count(*)||' '||count(distinct fbillno)||' '||"
                        "max(finterid)||' '||sum(case when fbillno like 'DEL%' "
                        "then 1 else 0 end) from icstockbill"_s),
              QStringList{u"300 300 300 20"_s});
    EXPECT_EQ(numberingState(db), u"7:QT%1 | "_s.arg(kClients * kSavesEach - kFreed));
}

}  // namespace
