// The current-stock ledger must always equal what the counting bills add up
// to. A seeded random stream of every operation a clerk has (saves, changes,
// price edits, audit, un-audit, void, un-void, delete, split, restore,
// write-off, un-write-off) runs against one database per posting switch, and
// after every step the ledger is recomputed from the bills and compared.
//
// OTHERIN_LEDGER_STEPS sets the number of steps per switch (a few hundred by
// default; scripts/soak runs tens of thousands), OTHERIN_LEDGER_SEED the seed.
// With OTHERIN_LEDGER_KEEP set to a folder, each run's database is copied
// there (ledger-switch0.sqlite, ledger-switch1.sqlite), to look into a
// divergence or to go on with it.
//
// The check that compares them is tested first, on bills in every state: a
// check that found nothing would let every run pass.

#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "app/verify_command.h"
#include "bill/bill_operations.h"
#include "bill/relation_operations.h"
#include "bill/split_save.h"
#include "db/db_error.h"
#include "editor/session_fixture.h"
#include "stock/ledger_check.h"

using namespace otherin;
using entry::Icon;

namespace {

// "warehouse/item/unit/batch/place ledgerQty;ledgerAmount billsQty;billsAmount",
// each number written shortest, so 0.3 and 0.30000000000000004 stay apart.
QStringList differenceTexts(const std::vector<stock::LedgerDifference>& differences) {
    const auto num = [](double v) {
        return QString::number(v, 'g', QLocale::FloatingPointShortest);
    };
    QStringList out;
    for (const auto& d : differences) {
        out << QStringLiteral("%1/%2/%3/%4/%5 %6;%7 %8;%9")
                   .arg(d.warehouseId)
                   .arg(d.itemId)
                   .arg(d.unitId)
                   .arg(d.batch)
                   .arg(d.place)
                   .arg(num(d.ledgerQty), num(d.ledgerAmount), num(d.billsQty), num(d.billsAmount));
    }
    return out;
}

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

    otherin::testing::TestDatabase db_;
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

enum class Op {
    Save,
    SaveMirror,
    EmptyKey,
    Change,
    PriceEdit,
    Audit,
    UnAudit,
    Void,
    UnVoid,
    Delete,
    Split,
    Restore,
    WriteOff,
    UnWriteOff,
    Count
};

constexpr std::array<const char*, static_cast<int>(Op::Count)> kOpNames = {
    "save", "save-mirror", "empty-key", "change", "price",   "audit",    "unaudit",
    "void", "unvoid",      "delete",    "split",  "restore", "writeoff", "unwriteoff"};

// How often each operation comes up, out of the sum.
constexpr std::array<int, static_cast<int>(Op::Count)> kWeights = {20, 6, 5, 12, 5, 12, 7,
                                                                   7,  5, 6, 7,  4, 6,  5};

constexpr int kDefaultSeed = 20260315;

int envInt(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

class LedgerInvariantTest : public otherin::testing::SessionTest,
                            public ::testing::WithParamInterface<int> {
  protected:
    LedgerInvariantTest() { ctx.gIsCheckUpdate = GetParam(); }

    void TearDown() override {
        const QString keep = qEnvironmentVariable("OTHERIN_LEDGER_KEEP");
        if (keep.isEmpty() || otherin::testing::TestDatabase::onServer()) return;
        const QString copy = QStringLiteral("%1/ledger-switch%2.sqlite").arg(keep).arg(GetParam());
        QFile::remove(copy);
        // A consistent copy whatever the write-ahead log still holds.
        db.connection().exec(QStringLiteral("vacuum into ?"), {copy});
    }

    // ---- picking bills ----------------------------------------------------

    std::vector<qint32> ids(const QString& condition) {
        std::vector<qint32> out;
        db::Query q = db.connection().prepare(
            QStringLiteral("select finterid from icstockbill where %1 order by finterid")
                .arg(condition));
        q.exec();
        while (q.next()) out.push_back(q.value(0).toInt());
        return out;
    }
    // Mostly a bill the operation can act on, sometimes any bill, so the
    // refusals run as well.
    std::vector<qint32> candidates(const QString& fitting) {
        auto fit = ids(fitting);
        if (fit.empty() || rng.bounded(5) == 0) return ids(QStringLiteral("1=1"));
        return fit;
    }
    qint32 pick(const std::vector<qint32>& from) {
        return from.empty() ? 0 : from[rng.bounded(static_cast<int>(from.size()))];
    }
    QString idList(const std::vector<qint32>& from) {
        QStringList out;
        const int n = 1 + rng.bounded(3);
        for (int i = 0; i < n && !from.empty(); ++i) out << QString::number(pick(from));
        return out.join(QLatin1Char(','));
    }

    // ---- driving the editor without aborting on a locked cell ------------

    bool type(int c, int r, const QString& text) {
        return moveTo(c, r) && grid().setData(grid().index(r - 1, c - 1), text, Qt::EditRole);
    }
    bool line(int r, const QString& item, const QString& qty, const QString& price) {
        return type(1, r, item) && type(5, r, qty) && type(6, r, price) && moveTo(8, r);
    }
    // Lines of one warehouse's items share few keys and carry varied prices.
    QString item(int warehouse) {
        return QStringLiteral("0%1.00%2").arg(warehouse).arg(1 + rng.bounded(3));
    }
    QString qty() {
        // Halves and whole numbers only: with as many red bills as blue ones a
        // key's quantity keeps coming back to exactly 0, while its amount,
        // at mixed prices, does not.
        static const char* const kQty[] = {"1", "2", "3", "0.5", "2.5"};
        return QLatin1String(kQty[rng.bounded(5)]);
    }
    QString price() {
        static const char* const kPrice[] = {"10", "12", "8.5", "3.333333", "0.07"};
        return QLatin1String(kPrice[rng.bounded(5)]);
    }

    // ---- the operations ---------------------------------------------------

    bool saveNew() {
        open(0);
        const int warehouse = 1 + rng.bounded(3);
        // Now and then a date before the period: the save refuses it.
        session->setBillDate(rng.bounded(12) == 0 ? QDate(2025, 12, 20) : QDate(2026, 3, 15));
        setHeader(3, QStringLiteral("0%1").arg(warehouse));
        if (rng.bounded(2) == 0) session->makeRed();
        const int lines = 1 + rng.bounded(3);
        for (int r = 1; r <= lines; ++r) {
            if (!line(r, item(warehouse), qty(), price())) return false;
        }
        return session->save();
    }
    // A copy of a stored bill in the other colour, then both audited, as a
    // clerk prepares a write-off: the two net to zero.
    bool saveMirror() {
        const qint32 id = pick(ids(QStringLiteral("fcancellation=0 and coalesce(fhxid,0)=0")));
        if (id == 0) return false;
        open(1, id);
        const bool red = ctx.gIsRedBill == 1;
        session->copyBill();
        red ? session->makeBlue() : session->makeRed();
        if (!session->save()) return false;
        mirrors.emplace_back(id, ctx.gCurrentInterId);
        const auto toAudit = ids(
            QStringLiteral("finterid in (%1,%2) and fstatus=0").arg(id).arg(ctx.gCurrentInterId));
        QStringList list;
        for (qint32 a : toAudit) list << QString::number(a);
        return list.isEmpty() || bill::checkBill(ctx, prompter, list.join(QLatin1Char(',')));
    }
    // Takes all the stock of one ledger key out (or, below zero, back in) at a
    // price of its own, and audits the bill: the key then holds quantity 0
    // with an amount left over, the state a careless clean-up destroys.
    bool emptyKey() {
        db::Query q = db.connection().prepare(QStringLiteral(
            "select t.fstockid-500,i.fNumber,t.fqty from tblTimeStock t inner join icitem i on"
            " i.fitemid=t.fitemid where t.fqty<>0 order by t.fstockid,t.fitemid"));
        q.exec();
        std::vector<std::tuple<int, QString, double>> keys;
        while (q.next())
            keys.emplace_back(q.value(0).toInt(), q.value(1).toString(), q.value(2).toDouble());
        if (keys.empty()) return false;
        const auto& [warehouse, item, onHand] = keys[rng.bounded(static_cast<int>(keys.size()))];
        open(0);
        session->setBillDate(QDate(2026, 3, 15));
        setHeader(3, QStringLiteral("0%1").arg(warehouse));
        if (onHand > 0) session->makeRed();
        if (!line(1, item, QString::number(std::abs(onHand), 'g', 12), price()) || !session->save())
            return false;
        return bill::checkBill(ctx, prompter, QString::number(ctx.gCurrentInterId));
    }
    bool change() {
        const qint32 id = pick(candidates(QStringLiteral("fstatus=0 and fcancellation=0")));
        if (id == 0) return false;
        open(1, id);
        const int last = std::max(1, grid().lastDataRow());
        // Items of the bill's own warehouse, so no line asks about another.
        const int warehouse =
            scalar(QStringLiteral("select fstockid1-500 from icstockbill where finterid=?"), {id})
                .toInt();
        switch (rng.bounded(4)) {
            case 0:
                type(5, 1 + rng.bounded(last), qty());
                break;
            case 1:
                type(6, 1 + rng.bounded(last), price());
                break;
            case 2:
                // Another item on a line: its old key loses the line.
                type(1, 1 + rng.bounded(last), item(warehouse));
                break;
            default:
                if (last > 1 && moveTo(5, last) && !grid().isReadOnly()) {
                    prompter.expectQuestion(entry::Answer::Yes);
                    session->deleteLine();
                } else {
                    line(last + 1, item(warehouse), qty(), price());
                }
        }
        moveTo(8, 1);
        return session->save();
    }
    bool editPrices() {
        const qint32 id = pick(ids(QStringLiteral("1=1")));
        if (id == 0) return false;
        open(4, id);
        type(6, 1 + rng.bounded(std::max(1, grid().lastDataRow())), price());
        moveTo(7, 1);
        return session->save();
    }
    // The journal's commands on a selection of one to three bills (an empty
    // selection never reaches them).
    bool journal(Op op) {
        static const std::map<Op, QString> kFitting = {
            {Op::Audit, QStringLiteral("fstatus=0 and fcancellation=0")},
            {Op::UnAudit, QStringLiteral("fstatus=1")},
            {Op::Void, QStringLiteral("fstatus=0 and fcancellation=0")},
            {Op::UnVoid, QStringLiteral("fcancellation=1")},
            {Op::Delete, QStringLiteral("fstatus=0 and fcancellation=0")}};
        ctx.gIdList = idList(candidates(kFitting.at(op)));
        if (ctx.gIdList.isEmpty()) return false;
        switch (op) {
            case Op::Audit:
                return bill::checkBill(ctx, prompter, ctx.gIdList);
            case Op::UnAudit:
                return bill::unCheckBill(ctx, prompter);
            case Op::Void:
                return bill::cancelBill(ctx, prompter);
            case Op::UnVoid:
                return bill::unCancelBill(ctx, prompter);
            default:
                return bill::deleteBill(ctx, prompter);
        }
    }
    bool split() {
        ctx.gCurrentInterId =
            pick(candidates(QStringLiteral("fstatus=1 and fcancellation=0 and "
                                           "coalesce(frscinterid,0)=0 and coalesce(fhxid,0)=0")));
        if (ctx.gCurrentInterId == 0) return false;
        QStringList cuts;
        db::Query q = db.connection().prepare(QStringLiteral(
            "select abs(fqty) from icstockbillentry where finterid=? order by forderid,fentryid"));
        q.bind(ctx.gCurrentInterId).exec();
        while (q.next()) {
            const double whole = q.value(0).toDouble();
            const int share = rng.bounded(4);  // none, a third, two thirds, all
            cuts << (share == 0 ? QStringLiteral("0")
                                : QString::number(whole * share / 3, 'f', rng.bounded(3)));
        }
        return bill::splitSave(ctx, prompter, cuts);
    }
    bool restore() {
        const qint32 id = pick(candidates(QStringLiteral("coalesce(frscinterid,0)<>0")));
        return id != 0 && bill::restoreBill(ctx, prompter, id) &&
               prompter.lastText() == QStringLiteral("还原成功!");
    }
    // A saved mirror pair when both are still audited and free, else any two
    // audited bills (which the write-off mostly refuses).
    bool writeOff() {
        const QString free =
            QStringLiteral("fstatus=1 and fcancellation=0 and coalesce(fhxid,0)=0");
        const auto audited = ids(free);
        const std::set<qint32> open(audited.begin(), audited.end());
        std::vector<std::pair<qint32, qint32>> ready;
        for (const auto& [a, b] : mirrors) {
            if (open.count(a) && open.count(b)) ready.emplace_back(a, b);
        }
        std::pair<qint32, qint32> pair{pick(audited), pick(audited)};
        if (!ready.empty() && rng.bounded(4) != 0)
            pair = ready[rng.bounded(static_cast<int>(ready.size()))];
        if (pair.first == 0) return false;
        ctx.gIdList = QStringLiteral("%1,%2").arg(pair.first).arg(pair.second);
        return bill::hxBill(ctx, prompter) && prompter.lastText() == QStringLiteral("核销成功!");
    }
    bool unWriteOff() {
        const qint32 id = pick(candidates(QStringLiteral("coalesce(fhxid,0)<>0")));
        return id != 0 && bill::unHxBill(ctx, prompter, id) &&
               prompter.lastText() == QStringLiteral("反核销成功!");
    }

    bool run(Op op) {
        switch (op) {
            case Op::Save:
                return saveNew();
            case Op::SaveMirror:
                return saveMirror();
            case Op::EmptyKey:
                return emptyKey();
            case Op::Change:
                return change();
            case Op::PriceEdit:
                return editPrices();
            case Op::Split:
                return split();
            case Op::Restore:
                return restore();
            case Op::WriteOff:
                return writeOff();
            case Op::UnWriteOff:
                return unWriteOff();
            default:
                return journal(op);
        }
    }

    Op draw() {
        int total = 0;
        for (int w : kWeights) total += w;
        int at = rng.bounded(total);
        for (int i = 0; i < static_cast<int>(Op::Count); ++i) {
            if ((at -= kWeights[i]) < 0) return static_cast<Op>(i);
        }
        return Op::Save;
    }

    // A database error reaches the user as a critical or plain box; a
    // refusal is an exclamation, a success information.
    int faultsShown() {
        int faults = 0;
        for (const auto& m : prompter.messages()) {
            if (m.icon == Icon::Critical || m.icon == Icon::None) {
                ADD_FAILURE() << "step " << step << ": " << m.text.toStdString();
                ++faults;
            }
        }
        prompter.clear();
        return faults;
    }

    const int seed = envInt("OTHERIN_LEDGER_SEED", kDefaultSeed);
    QRandomGenerator rng{static_cast<quint32>(seed)};
    int step = 0;
    std::vector<std::pair<qint32, qint32>> mirrors;  // a bill and its saved mirror
};

TEST_P(LedgerInvariantTest, LedgerEqualsTheCountingBillsAfterEveryOperation) {
    const int steps = envInt("OTHERIN_LEDGER_STEPS", 150);
    std::array<int, static_cast<int>(Op::Count)> done{}, refused{};
    int faults = 0;
    for (step = 1; step <= steps; ++step) {
        const Op op = draw();
        const bool ok = run(op);
        ++(ok ? done : refused)[static_cast<int>(op)];
        faults += faultsShown();
        const auto differences = stock::checkLedger(db.connection(), GetParam());
        ASSERT_TRUE(differences.empty())
            << "after step " << step << " (" << kOpNames[static_cast<int>(op)] << ", done: " << ok
            << ", seed " << seed << "):\n"
            << differenceTexts(differences).join('\n').toStdString();
    }
    QString figures;
    for (int i = 0; i < static_cast<int>(Op::Count); ++i)
        figures += QStringLiteral(" %1=%2/%3")
                       .arg(QLatin1String(kOpNames[i]))
                       .arg(done[i])
                       .arg(refused[i]);
    std::printf("ledger invariant: switch %d steps %d faults %d divergences 0 (done/refused)%s\n",
                GetParam(), steps, faults, qPrintable(figures));
    // Every kind of operation must have really happened, or the stream
    // proves less than it claims. The default stream is known to reach them
    // all; a short run on another seed may miss a rare one (a write-off needs
    // two audited bills that net to zero first).
    if (seed != kDefaultSeed && steps < 1000) return;
    for (int i = 0; i < static_cast<int>(Op::Count); ++i)
        EXPECT_GT(done[i], 0) << kOpNames[i] << " never succeeded";
}

INSTANTIATE_TEST_SUITE_P(BothPostingSwitches, LedgerInvariantTest, ::testing::Values(0, 1),
                         [](const auto& info) {
                             return info.param == 0 ? std::string("PostAtSave")
                                                    : std::string("PostAtAudit");
                         });

// An operation that takes a key to quantity 0 and amount 0 removes its row:
// each cleans up the keys of the bills it posted, while their lines are still
// stored to name them. Un-audit alone leaves the empty row.
class EmptyRowTest : public otherin::testing::SessionTest {
  protected:
    void stockOf(double qty, double amount) {
        db.exec(QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,"
                               "fStockPlace,fqty,famount) values(502,1121,701,'',0,?,?)"),
                {qty, amount});
    }
    int rows() { return scalar(QStringLiteral("select count(*) from tblTimeStock")).toInt(); }
};

TEST_F(EmptyRowTest, OperationThatEmptiesAKeyRemovesItsRow) {
    // Each case saves a bill of 5 × 02.001 at 10 onto `stockBefore` × 10,
    // selects it and runs its operation on it.
    const struct {
        const char* what;
        int checkUpdate;
        double stockBefore;
        std::function<bool(qint32 id)> run;
        int rowsLeft;
    } cases[] = {
        {"save", 0, -5, [](qint32 id) { return id > 0; }, 0},
        {"change", 0, -3,
         [&](qint32 id) {
             open(1, id);
             typeCell(5, 1, QStringLiteral("3"));
             return moveTo(8, 1) && session->save();
         },
         0},
        {"void", 0, 0, [&](qint32) { return bill::cancelBill(ctx, prompter); }, 0},
        {"un-void", 0, 0,
         [&](qint32) {
             if (!bill::cancelBill(ctx, prompter)) return false;
             stockOf(-5, -50);
             return bill::unCancelBill(ctx, prompter);
         },
         0},
        {"delete", 0, 0, [&](qint32) { return bill::deleteBill(ctx, prompter); }, 0},
        {"audit", 1, -5, [&](qint32) { return bill::checkBill(ctx, prompter, ctx.gIdList); }, 0},
        {"un-audit", 1, 0,
         [&](qint32) {
             return bill::checkBill(ctx, prompter, ctx.gIdList) && bill::unCheckBill(ctx, prompter);
         },
         1},
    };
    for (const auto& c : cases) {
        db.execAll({QStringLiteral("delete from icstockbillentry"),
                    QStringLiteral("delete from icstockbill"),
                    QStringLiteral("delete from tblTimeStock")});
        ctx.gIsCheckUpdate = c.checkUpdate;
        if (c.stockBefore != 0) stockOf(c.stockBefore, c.stockBefore * 10);
        const qint32 id = saveNewBill({QStringLiteral("5")});
        ctx.gIdList = QString::number(id);
        EXPECT_TRUE(c.run(id)) << c.what << ": " << prompter.lastText().toStdString();
        EXPECT_EQ(rows(), c.rowsLeft) << c.what;
        prompter.clear();
    }
}

}  // namespace
