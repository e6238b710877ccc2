// Every statement step of every writing operation fails once in turn: the operation tells the
// user and leaves the database as it was, or succeeds as a clean run; no write lock outlives it.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

#include "bill/bill_operations.h"
#include "bill/relation_operations.h"
#include "bill/split_save.h"
#include "db/database_copy.h"
#include "db/db_error.h"
#include "db/schema.h"
#include "editor/bill_session.h"
#include "editor/editor_fixture.h"
#include "entry/edit_mode.h"
#include "reliability/bill_desk.h"
#include "support/demo_login.h"

using namespace Qt::StringLiterals;
using namespace otherin;
using otherin::testing::column;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

// The seam is sqlite3_step itself: this program defines it (exported, so the
// Qt driver's calls land here), counts the driver's calls and, once armed,
// fails the n-th one. One thread only.
struct StepFaults {
    bool counting = false;
    long calls = 0;
    long failAt = 0;  // 0: no fault
    bool fired = false;
} faults;

using StepFunction = int (*)(sqlite3_stmt*);

StepFunction realStep() {
    static const auto real = reinterpret_cast<StepFunction>(dlsym(RTLD_NEXT, "sqlite3_step"));
    if (!real) {
        std::fprintf(stderr, "sqlite3_step of the SQLite library not found\n");
        std::abort();
    }
    return real;
}

// SQLite steps its own statements (the schema) through here too; failing those would pass
// for success, so only calls from outside the library count.
bool calledByTheDriver(void* returnAddress) {
    static const void* library = [] {
        Dl_info info{};
        return dladdr(reinterpret_cast<void*>(realStep()), &info) ? info.dli_fbase : nullptr;
    }();
    Dl_info caller{};
    return dladdr(returnAddress, &caller) && caller.dli_fbase != library;
}

// Counts the driver's steps of whatever runs inside; with failAt set, the
// step of that number fails.
class Armed {
  public:
    explicit Armed(long failAt) { faults = {true, 0, failAt, false}; }
    ~Armed() { faults.counting = false; }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
};

}  // namespace

extern "C" int sqlite3_step(sqlite3_stmt* statement) {
    if (faults.counting && calledByTheDriver(__builtin_return_address(0)) &&
        ++faults.calls == faults.failAt) {
        faults.fired = true;
        return SQLITE_IOERR;
    }
    return realStep()(statement);
}

namespace {

// Every table's rows, sorted, each table as one text. Values carry their type;
// the clock a write records is left out, since two runs differ in it.
using Dump = std::map<QString, QString>;

Dump dumpTables(db::Connection& c) {
    Dump dump;
    for (const QString& table : column(c, u"select name from sqlite_master where type='table'"_s)) {
        if (db::belongsToItsDatabase(table)) continue;
        db::Query q = c.prepare(u"select * from \"%1\""_s.arg(table));
        q.exec();
        QStringList rows;
        while (q.next()) {
            QString row;
            for (int i = 0; i < q.record().count(); ++i) {
                const QString name = q.record().fieldName(i).toLower();
                // Times of the clock: two runs differ there by nature.
                if (name == QLatin1String("fmodifytime") || name == QLatin1String("fdeletetime") ||
                    (name == QLatin1String("ftime") && table == QLatin1String("otherin_history")))
                    continue;
                const QVariant v = q.value(i);
                row += v.isNull() ? u"null|"_s : u"%1:%2|"_s.arg(v.typeId()).arg(v.toString());
            }
            rows << row;
        }
        rows.sort();
        dump[table] = rows.join(QLatin1Char('\n'));
    }
    return dump;
}

// True when another user could take the write lock at once.
bool writeLockFree(db::Connection& c) {
    try {
        c.scalar(u"pragma busy_timeout=0"_s);
        c.exec(u"begin immediate"_s);
        c.exec(u"rollback"_s);
        return true;
    } catch (const db::DbError&) {
        return false;
    }
}

// Answers every question with OK; questions count as telling the user too.
class SweepPrompter : public ScriptedPrompter {
  public:
    entry::Answer question(const QString& text, entry::Buttons buttons, entry::Icon icon,
                           const QString& title) override {
        expectQuestion(entry::Answer::Ok);
        return ScriptedPrompter::question(text, buttons, icon, title);
    }
    QStringList told() const {
        QStringList texts = messageTexts();
        for (const auto& q : questions()) texts << q.text;
        return texts;
    }
};

// The seeded bills, by their role in the sweep.
struct Bills {
    qint32 open = 0;        // unaudited, two lines
    qint32 second = 0;      // unaudited, one line
    qint32 voided = 0;      // voided
    qint32 audited = 0;     // audited
    qint32 source = 0;      // audited, two lines, split below
    qint32 split = 0;       // cut from both lines of `source`
    qint32 plus = 0;        // audited, +2 of 02.003
    qint32 minus = 0;       // audited red bill, -2 of 02.003: nets `plus` to zero
    qint32 writtenOff = 0;  // written off against its red twin
    qint32 uneven = 0;      // audited, 02.003 and 02.005
    qint32 unevenRed = 0;   // audited red bill: nets 02.003 to zero, but not 02.005
};

// One clerk at the editor and the journal, on one database file.
class Desk : public otherin::testing::BillDesk<SweepPrompter> {
  public:
    Desk(const QString& dir, const QString& path, int checkUpdate)
        : BillDesk(u"sqlite:"_s + path, 12, dir + u"/settings.ini"_s,
                   {&records_, nullptr, &units_, nullptr, &batches_}) {
        ctx.gIsCheckUpdate = checkUpdate;
        prompter.watch(ctx.gConnection);
    }

    // Fills a new bill of warehouse 02 dated in the current period.
    bool fillNew(std::initializer_list<std::pair<const char*, const char*>> lines, bool red) {
        session->setBillDate(QDate(2026, 12, 5));
        if (!setHeader(3, u"02"_s)) return false;
        if (red) session->makeRed();
        return typeLines(lines);
    }
    // Saves a new bill; answers its id.
    qint32 saveNew(std::initializer_list<std::pair<const char*, const char*>> lines,
                   bool red = false) {
        EXPECT_TRUE(open(entry::kModeNew) && fillNew(lines, red) && session->save());
        return ctx.gCurrentInterId;
    }

  private:
    otherin::testing::FakeRecordSelector records_;
    otherin::testing::FakeUnitSelector units_;
    otherin::testing::FakeBatchPicker batches_;
};

// What is set up first (not swept), and the call whose every step fails once.
struct Operation {
    const char* name;
    int checkUpdate;
    std::function<void(Desk&, const Bills&)> prepare;
    std::function<bool(Desk&, const Bills&)> act;
    QStringList committedEarly;  // committed before the transaction (a save's id)
    bool writes = true;          // false: a refusal, which no fault may turn into a write
};

QString idList(std::initializer_list<qint32> ids) {
    QStringList parts;
    for (qint32 id : ids) parts << QString::number(id);
    return parts.join(QLatin1Char(','));
}

// A call with nothing set up first, under save posting.
Operation call(const char* name, std::function<bool(Desk&, const Bills&)> act,
               const QStringList& committedEarly = {}) {
    return {name, 0, {}, std::move(act), committedEarly};
}

// A journal command on the selected bills, the selection made beforehand.
Operation onSelection(const char* name, int checkUpdate, std::vector<qint32 Bills::*> selected,
                      bool (*command)(entry::LoginContext&, entry::Prompter&), bool writes = true) {
    return {name,
            checkUpdate,
            [selected](Desk& d, const Bills& b) {
                QStringList ids;
                for (qint32 Bills::*bill : selected) ids << QString::number(b.*bill);
                d.ctx.gIdList = ids.join(QLatin1Char(','));
            },
            [command](Desk& d, const Bills&) { return command(d.ctx, d.prompter); },
            {},
            writes};
}

// The journal's audit of the selected bills.
bool auditSelection(entry::LoginContext& ctx, entry::Prompter& prompter) {
    return bill::checkBill(ctx, prompter, ctx.gIdList);
}

// New and changed bills are opened, typed and saved inside the swept call.
const Operation kOperations[] = {
    call("TypedNew",
         [](Desk& d, const Bills&) {
             d.open(entry::kModeNew);
             d.fillNew({{"02.001", "2"}, {"02.002", "1"}}, false);
             return d.session->save();
         },
         {u"tblmaxNum"_s}),
    call("OpenedChange",
         [](Desk& d, const Bills& b) {
             d.open(entry::kModeChange, b.open);
             if (d.typeCell(5, 1, u"7"_s)) d.moveTo(8, 1);
             return d.session->save();
         }),
    {"PriceSave",
     0,
     [](Desk& d, const Bills& b) {
         EXPECT_TRUE(d.open(entry::kModePriceEdit, b.audited));
         EXPECT_TRUE(d.typeCell(6, 1, u"12.5"_s) && d.moveTo(8, 1));
     },
     [](Desk& d, const Bills&) { return d.session->save(); },
     {}},
    onSelection("Audit", 1, {&Bills::open, &Bills::second}, auditSelection),
    onSelection("RefusedAudit", 1, {&Bills::open, &Bills::audited}, auditSelection, false),
    onSelection("UnAudit", 1, {&Bills::audited}, bill::unCheckBill),
    onSelection("Void", 0, {&Bills::open, &Bills::second}, bill::cancelBill),
    onSelection("UnVoid", 0, {&Bills::voided}, bill::unCancelBill),
    onSelection("Delete", 0, {&Bills::open, &Bills::second}, bill::deleteBill),
    call("Split",
         [](Desk& d, const Bills& b) {
             d.ctx.gCurrentInterId = b.source;
             return bill::splitSave(d.ctx, d.prompter, {u"1"_s, u"0.5"_s}).saved();
         },
         {u"tblmaxNum"_s}),
    onSelection("WriteOff", 0, {&Bills::plus, &Bills::minus}, bill::hxBill),
    onSelection("UnevenWriteOff", 0, {&Bills::uneven, &Bills::unevenRed}, bill::hxBill, false),
    call("UnWriteOff",
         [](Desk& d, const Bills& b) { return bill::unHxBill(d.ctx, d.prompter, b.writtenOff); }),
    call("Restore",
         [](Desk& d, const Bills& b) { return bill::restoreBill(d.ctx, d.prompter, b.split); }),
};

void PrintTo(const Operation& op, std::ostream* os) {
    *os << op.name;
}

struct Outcome {
    bool result = false;
    long steps = 0;
    QStringList told;
    Dump before;  // taken only when asked for
    Dump after;
    bool lockFree = true;
};

// In memory where the system offers it: every run commits, and waits on the disk.
const QString kScratch = QDir(u"/dev/shm"_s).exists()
                             ? u"/dev/shm/otherin-faults-XXXXXX"_s
                             : QDir::tempPath() + u"/otherin-faults-XXXXXX"_s;

constexpr const char* kSqliteOnly =
    "faults are injected into SQLite's statement step; a server has no such seam here";

class FaultSweep : public ::testing::TestWithParam<Operation> {
  protected:
    void SetUp() override {
        if (TestDatabase::onServer()) GTEST_SKIP() << kSqliteOnly;
        // Keeps the library among the program's own, where RTLD_NEXT finds it.
        ASSERT_GT(sqlite3_libversion_number(), 0);
    }
    // The seeded database is built once; each run works on a copy of its file.
    static void SetUpTestSuite() {
        if (TestDatabase::onServer()) return;
        seedDir_ = std::make_unique<QTemporaryDir>(kScratch);
        seedPath_ = seedDir_->filePath(u"seed.sqlite"_s);
        db::Connection seed;
        seed.open(u"sqlite:"_s + seedPath_);
        db::schema::ensureSchema(seed);
        db::schema::installDemoData(seed, otherin::testing::kDemoToday);
        Bills& b = bills_;
        {
            Desk d(seedDir_->path(), seedPath_, 0);
            b.open = d.saveNew({{"02.001", "5"}, {"02.002", "3"}});
            b.second = d.saveNew({{"02.003", "4"}});
            b.voided = d.saveNew({{"02.001", "1"}});
            b.audited = d.saveNew({{"02.002", "2"}});
            b.source = d.saveNew({{"02.001", "4"}, {"02.002", "3"}});
            b.plus = d.saveNew({{"02.003", "2"}});
            b.minus = d.saveNew({{"02.003", "2"}}, true);
            b.writtenOff = d.saveNew({{"02.004", "1"}});
            const qint32 twin = d.saveNew({{"02.004", "1"}}, true);
            b.uneven = d.saveNew({{"02.003", "2"}, {"02.005", "1"}});
            b.unevenRed = d.saveNew({{"02.003", "2"}, {"02.005", "2"}}, true);
            d.session.reset();
            d.ctx.gIdList = idList({b.voided});
            ASSERT_TRUE(bill::cancelBill(d.ctx, d.prompter));
            ASSERT_TRUE(bill::checkBill(d.ctx, d.prompter,
                                        idList({b.audited, b.source, b.plus, b.minus, b.writtenOff,
                                                twin, b.uneven, b.unevenRed})));
            d.ctx.gCurrentInterId = b.source;
            ASSERT_TRUE(bill::splitSave(d.ctx, d.prompter, {u"2"_s, u"1"_s}).saved());
            b.split =
                seed.scalar(u"select finterid from icstockbill where frscinterid=?"_s, {b.source})
                    .toInt();
            d.ctx.gIdList = idList({b.writtenOff, twin});
            ASSERT_TRUE(bill::hxBill(d.ctx, d.prompter));
            ASSERT_EQ(d.prompter.lastText(), u"核销成功!"_s);
        }
        ASSERT_GT(b.split, 0);
        // Everything into the main file, so a copy of it alone is the database.
        seed.scalar(u"pragma wal_checkpoint(truncate)"_s);
    }
    static void TearDownTestSuite() { seedDir_.reset(); }

    // Runs the operation on a copy of the seeded file, its n-th step failing (0: none).
    Outcome runOnce(const Operation& op, long failAt, bool withBefore) {
        Outcome out;
        const QString dir = runs_.filePath(u"run%1"_s.arg(++runCount_));
        QDir().mkpath(dir);
        const QString path = dir + u"/bills.sqlite"_s;
        EXPECT_TRUE(QFile::copy(seedPath_, path));
        {
            Desk desk(dir, path, op.checkUpdate);
            if (op.prepare) op.prepare(desk, bills_);
            db::Connection probe;  // another user's, idle while the operation runs
            probe.open(u"sqlite:"_s + path);
            if (withBefore) out.before = dumpTables(probe);
            desk.prompter.clear();
            {
                Armed armed(failAt);
                out.result = op.act(desk, bills_);
                out.steps = faults.calls;
            }
            out.told = desk.prompter.told();
            out.lockFree = writeLockFree(probe);
            out.after = dumpTables(probe);
        }
        QDir(dir).removeRecursively();
        return out;
    }

    static inline std::unique_ptr<QTemporaryDir> seedDir_;
    static inline QString seedPath_;
    static inline Bills bills_;
    QTemporaryDir runs_{kScratch};
    int runCount_ = 0;
};

QStringList differing(const Dump& a, const Dump& b, const QStringList& skip = {}) {
    QStringList names;
    for (const auto& [table, rows] : a) {
        if (skip.contains(table)) continue;
        const auto other = b.find(table);
        if (other == b.end() || other->second != rows) names << table;
    }
    return names;
}

// The messages of a run end with those of the clean run (none when it has none).
bool endsAsClean(const QStringList& told, const QStringList& clean) {
    if (clean.isEmpty()) return told.isEmpty();
    return told.size() >= clean.size() && told.mid(told.size() - clean.size()) == clean;
}

TEST_P(FaultSweep, EachFailingStepIsToldAndUndoneOrEndsAsACleanRun) {
    const Operation& op = GetParam();
    const Outcome clean = runOnce(op, 0, true);
    ASSERT_TRUE(clean.result || !op.writes) << clean.told.join(QLatin1Char('/')).toStdString();
    ASSERT_GT(clean.steps, 0) << "the driver's steps do not reach the seam";
    ASSERT_EQ(differing(clean.before, clean.after).isEmpty(), !op.writes);
    ASSERT_TRUE(clean.lockFree);

    for (long n = 1; n <= clean.steps; ++n) {
        SCOPED_TRACE(u"%1, step %2 of %3 fails"_s.arg(QLatin1String(op.name))
                         .arg(n)
                         .arg(clean.steps)
                         .toStdString());
        const Outcome run = runOnce(op, n, false);
        ASSERT_TRUE(faults.fired);
        EXPECT_TRUE(run.lockFree) << "the write lock outlived the operation";
        // A failed look-up or number preview may be reported before a normal save.
        if (run.result == clean.result && endsAsClean(run.told, clean.told)) {
            EXPECT_EQ(differing(clean.after, run.after), QStringList());
            continue;
        }
        EXPECT_FALSE(run.result) << run.told.join(QLatin1Char('/')).toStdString();
        EXPECT_FALSE(run.told.isEmpty()) << "failed without a word";
        for (const QString& success : clean.told) EXPECT_FALSE(run.told.contains(success));
        EXPECT_EQ(differing(clean.before, run.after, op.committedEarly), QStringList());
        for (const QString& table : op.committedEarly) {
            const QString& rows = run.after.at(table);
            EXPECT_TRUE(rows == clean.before.at(table) || rows == clean.after.at(table))
                << table.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, FaultSweep, ::testing::ValuesIn(kOperations),
                         [](const auto& info) { return std::string(info.param.name); });

// A layout that broke off saves nothing: the columns it lacks would be stored empty.
TEST(BrokenLayout, OffersNoSave) {
    if (TestDatabase::onServer()) GTEST_SKIP() << kSqliteOnly;
    TestDatabase db(TestDatabase::Seed::Demo);
    Desk desk(db.dir(), db.path(), 0);
    {
        Armed firstLayoutRead(1);
        EXPECT_FALSE(desk.open(entry::kModeNew));
        EXPECT_TRUE(faults.fired);
    }
    EXPECT_FALSE(desk.session->commandState(editor::keys::Save).enabled);
    desk.prompter.clear();
    EXPECT_FALSE(desk.session->save());
    EXPECT_EQ(desk.prompter.told(), QStringList{u"单据格式未能完整读取,不能保存单据!"_s});
    EXPECT_EQ(db.scalar(u"select count(*) from icstockbill"_s).toInt(), 0);
}

}  // namespace
