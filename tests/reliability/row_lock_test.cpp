// Two clerks write one bill at once on a server: the first clerk's write is held open (a
// trigger waits for a lock the test holds) until the second runs into its locks. The second is
// refused naming the first, or works on what the first stored; the ledger still equals the bills.
#include <gtest/gtest.h>

#include <functional>
#include <future>

#include "bill/bill_operations.h"
#include "bill/bill_save.h"
#include "db/db_error.h"
#include "entry/login_context.h"
#include "stock/ledger_check.h"
#include "support/demo_login.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;
using namespace Qt::StringLiterals;

namespace {

constexpr qint32 kBill = 1;
// The advisory lock the test holds while the first clerk's write waits on it.
constexpr int kGate = 74311;

// What one clerk's operation did: went through, or what the clerk was told.
struct Outcome {
    bool went = false;
    QString told;
};

using Operation = std::function<Outcome(entry::LoginContext&, ScriptedPrompter&)>;

// An editor save of bill 1 as both clerks loaded it (version 1), its one line now `line`.
Operation editorSave(bill::SaveOutcome (*save)(entry::LoginContext&, entry::Prompter&,
                                               const bill::BillDraft&),
                     const bill::DraftLine& line) {
    return [save, line](entry::LoginContext& ctx, ScriptedPrompter& prompter) {
        bill::BillDraft d;
        d.interId = kBill;
        d.version = 1;
        d.billNo = u"NO1"_s;
        d.date = QDate(2026, 3, 15);
        d.header = {{u"fstockid1"_s, 502}};
        d.lineColumns = {u"fitemid"_s, u"funitid"_s, u"fqty"_s,
                         u"fPrice"_s,  u"famount"_s, u"fstockplace"_s};
        d.lines.push_back(line);
        const bill::SaveOutcome out = save(ctx, prompter, d);
        return Outcome{out.saved(), out.movedText + prompter.transcript()};
    };
}
// The editor's change: the line's 5 at 10 becomes 7 at 10.
const Operation changeSave =
    editorSave(bill::writeChangedBill, {10, {1121, 701, 7, 10, 70, 801}, 10, 70});
// The editor's price edit: the line's price becomes 12.
const Operation priceSave = editorSave(bill::savePrices, {10, {}, 12, 60});

// A journal command on bill 1; `listed`: the journal read it at version 1.
Operation journal(bool (*command)(entry::LoginContext&, entry::Prompter&), bool listed) {
    return [command, listed](entry::LoginContext& ctx, ScriptedPrompter& prompter) {
        ctx.gIdList = QString::number(kBill);
        if (listed) ctx.gBillVersions.insert(kBill, 1);
        const bool went = command(ctx, prompter);
        return Outcome{went, prompter.transcript()};
    };
}

// One clerk's operation on its own thread and connection (a connection serves one thread).
std::future<Outcome> startClerk(const QString& connectionString, const QString& user,
                                const QString& name, const Operation& op) {
    return std::async(std::launch::async, [=] {
        entry::LoginContext ctx;
        otherin::testing::logInDemoAdministrator(ctx, connectionString, 1);
        ctx.gLoginUserId = user;
        ctx.gLoginUserName = name;
        ScriptedPrompter prompter;
        prompter.watch(ctx.gConnection);
        try {
            return op(ctx, prompter);
        } catch (const db::DbError& e) {
            return Outcome{false, e.message()};
        }
    });
}

class RowLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TestDatabase::onServer()) GTEST_SKIP() << "needs a database server (OTHERIN_TEST_DB)";
    }

    // Bill 1, open, version 1 by user 1: 02.001 × 5 at 10 in warehouse 02, place A01, posted.
    void freshBill() {
        db.execAll(
            {u"delete from icstockbillentry"_s, u"delete from icstockbill"_s,
             u"delete from tblTimeStock"_s, u"delete from tblBillDeleted"_s,
             u"delete from tblBillNoAdd"_s,
             u"insert into icstockbill(finterid,fbillno,fdate,ftrantype,fOperator,fstockid1,"
             "fversion,fmodifierid,fstockposted) values(1,'NO1','2026-03-15',7,1,502,1,1,1)"_s,
             u"insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,"
             "fPrice,famount,fstockplace) values(1,10,1,1121,701,5,10,50,801)"_s,
             u"insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,"
             "famount) values(502,1121,701,'',801,5,50)"_s});
    }
    // The header's void flag, version and last writer; the line's quantity, price and amount.
    QString stored() {
        const auto rows = [this](const QString& sql) { return db.column(sql).join(u' '); };
        return rows(u"select fcancellation||'|'||fversion||'|'||fmodifierid from icstockbill"_s) +
               u" / "_s +
               rows(
                   u"select cast(fqty as integer)||'|'||cast(fPrice as integer)||'|'||"
                   "cast(famount as integer) from icstockbillentry"_s);
    }
    size_t ledgerDifferences() { return stock::checkLedger(db.connection(), 0).size(); }
    // True once a backend here waits for a lock of `kind`; false when `clerk` finished or a
    // minute passed (the test then fails instead of hanging).
    bool waitFor(const QString& kind, const std::future<Outcome>& clerk) {
        for (int i = 0; i < 6000; ++i) {
            if (db.scalar(u"select count(*) from pg_stat_activity where datname=current_database() "
                          "and wait_event_type='Lock' and wait_event "_s +
                          kind)
                    .toInt() > 0)
                return true;
            if (clerk.wait_for(std::chrono::milliseconds(10)) == std::future_status::ready)
                return false;
        }
        return false;
    }

    TestDatabase db{TestDatabase::Seed::Demo};
};

// Where the first clerk's write is held: table, event, and a row condition only it meets.
struct Hold {
    QString table, event, condition;
};
const Hold kChangedLineInsert{u"icstockbillentry"_s, u"insert"_s, u"new.fqty = 7"_s};
const Hold kPriceUpdate{u"icstockbillentry"_s, u"update"_s, u"new.fPrice = 12"_s};
const Hold kVoidUpdate{u"icstockbill"_s, u"update"_s, u"new.fcancellation = 1"_s};

TEST_F(RowLockTest, ASecondClerkWaitsForTheFirstClerksOpenWriteOrIsRefused) {
    const struct {
        const char* name;
        Operation first;  // 张三 (user 2), held open at `hold`
        Hold hold;
        Operation second;  // 系统管理员 (user 1), started while the first is held
        bool secondGoes;
        const char* stored;  // void|version|last writer / qty|price|amount
    } pairs[] = {
        // Lock guard (also for the voids): without the lock the delete takes
        // the old 5 off the ledger instead of the 7.
        {"change, delete", changeSave, kChangedLineInsert, journal(bill::deleteBill, false), true,
         " / "},
        // Lock guard too: the listed version is compared with what the read
        // answers, and only a read that waited answers version 2.
        {"change, delete of the listed version", changeSave, kChangedLineInsert,
         journal(bill::deleteBill, true), false, "0|2|2 / 7|10|70"},
        {"change, void", changeSave, kChangedLineInsert, journal(bill::cancelBill, false), true,
         "1|3|1 / 7|10|70"},
        // Version guard: the price save's version update waits for the row and
        // finds version 2.
        {"change, price save", changeSave, kChangedLineInsert, priceSave, false, "0|2|2 / 7|10|70"},
        // Lock guard: without it the delete takes the old amount 50 off.
        {"price save, delete", priceSave, kPriceUpdate, journal(bill::deleteBill, false), true,
         " / "},
        {"price save, void", priceSave, kPriceUpdate, journal(bill::cancelBill, false), true,
         "1|3|1 / 5|12|60"},
        // Version guard: the void advanced the version the price save names.
        // The price save's own state read comes after its version update has
        // taken the row, so its lock adds nothing here.
        {"void, price save", journal(bill::cancelBill, false), kVoidUpdate, priceSave, false,
         "1|2|2 / 5|10|50"},
    };
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.name);
        freshBill();
        ASSERT_EQ(ledgerDifferences(), 0u);
        db.runBeforeWrites(p.hold.table, p.hold.event,
                           u"perform pg_advisory_xact_lock_shared(%1)"_s.arg(kGate),
                           p.hold.condition);
        db.exec(u"select pg_advisory_lock(?)"_s, {kGate});
        auto a = startClerk(db.connectionString(), u"2"_s, u"张三"_s, p.first);
        const bool aHeld = waitFor(u"='advisory'"_s, a);
        auto b = startClerk(db.connectionString(), u"1"_s, u"系统管理员"_s, p.second);
        // The first is let go only once the second waits for its locks (or finished without).
        const bool bWaited = aHeld && waitFor(u"<>'advisory'"_s, b);
        db.exec(u"select pg_advisory_unlock(?)"_s, {kGate});
        const Outcome first = a.get();
        const Outcome second = b.get();
        db.allowWrites(p.hold.table);

        EXPECT_TRUE(aHeld) << "the first clerk's write was never held: "
                           << first.told.toStdString();
        EXPECT_TRUE(bWaited) << "the second clerk never waited for the first";
        EXPECT_TRUE(first.went) << first.told.toStdString();
        EXPECT_EQ(second.went, p.secondGoes) << second.told.toStdString();
        // A refusal names the clerk who wrote first.
        EXPECT_TRUE(p.secondGoes || second.told.contains(u"张三"_s)) << second.told.toStdString();
        EXPECT_EQ(stored(), QString::fromUtf8(p.stored));
        EXPECT_EQ(ledgerDifferences(), 0u) << "the ledger no longer equals the bills";
    }
}

}  // namespace
