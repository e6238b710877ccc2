#include "bill/embedded_procedures.h"

#include <QMap>
#include <QSqlRecord>
#include <cmath>
#include <optional>
#include <vector>

#include "bill/bill_history.h"
#include "bill/bill_versions.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/transaction.h"
#include "stock/bill_numbering.h"
#include "stock/id_list.h"

namespace otherin::bill {

namespace {

// What a procedure answers: done (intValue 1), refused (0) or refused
// because the bill moved on since the caller read it (2), and strInfo.
struct Answer {
    bool done = false;
    QString info;
    bool moved = false;
};

Answer refused(const QString& info) {
    return {false, info};
}

using Body = Answer (*)(db::Connection&, const db::ProcedureParams&);

// Quantities and amounts are stored to six decimals. Working in millionths
// keeps cuts, remainders and restores exact, so a restored line is the line
// it was.
qint64 micros(const QVariant& v) {
    return std::llround(v.toDouble() * 1e6);
}
double fromMicros(qint64 m) {
    return static_cast<double>(m) / 1e6;
}
constexpr qint64 kMicrosPerCent = 10000;

struct Head {
    qint32 id = 0;
    QString billNo;
    int type = 0;
    int status = 0;
    bool cancelled = false;
    qint32 writeOffId = 0;
    qint32 hookId = 0;
    qint32 sourceId = 0;
    int version = 0;
};

std::vector<Head> readHeads(db::Connection& c, const QString& condition,
                            const QVariantList& values) {
    db::Query q = c.prepare(
        QStringLiteral("select finterid,fbillno,ftrantype,coalesce(fstatus,0),"
                       "coalesce(fcancellation,0),coalesce(fhxid,0),coalesce(fhookinterid,0),"
                       "coalesce(frscinterid,0),fversion from icstockbill where ") +
        condition + QStringLiteral(" order by finterid") + c.dialect().forUpdate());
    for (const auto& v : values) q.bind(v);
    q.exec();
    std::vector<Head> heads;
    while (q.next()) {
        heads.push_back({q.value(0).toInt(), q.value(1).toString(), q.value(2).toInt(),
                         q.value(3).toInt(), q.value(4).toInt() != 0, q.value(5).toInt(),
                         q.value(6).toInt(), q.value(7).toInt(), q.value(8).toInt()});
    }
    return heads;
}

std::optional<Head> readHead(db::Connection& c, qint32 id) {
    auto heads = readHeads(c, QStringLiteral("finterid=?"), {id});
    if (heads.empty()) return std::nullopt;
    return heads.front();
}

// The user a procedure writes for; 0 when the caller named none.
qint64 userOf(const db::ProcedureParams& p) {
    return p.optional(QStringLiteral("fuserid")).toLongLong();
}

// Every bill a procedure writes moves on to its next version, once.
void advanceVersions(db::Connection& c, const QString& condition, const QVariantList& values,
                     qint64 user) {
    QVariantList all{user};
    all += values;
    c.exec(QStringLiteral("update icstockbill set ") + versionAdvance(c.dialect()) +
               QStringLiteral(" where ") + condition,
           all);
}

QString named(const Head& h, const QString& tail) {
    return QStringLiteral("编号为:") + h.billNo + tail;
}

// A single bill id handed over as text or number; parsed, never pasted.
qint32 singleId(const QVariant& v) {
    const QList<qint32> ids = stock::parseIdList(v.toString().trimmed());
    if (ids.size() != 1) {
        throw db::DbError(QStringLiteral("单据内码无效: \"%1\"").arg(v.toString()));
    }
    return ids.front();
}

// Column names reach the statement text, so they must be plain names.
bool isPlainName(const QString& name) {
    if (name.isEmpty() || name.front().isDigit()) return false;
    for (const QChar ch : name) {
        if (!(ch.isLetterOrNumber() && ch.unicode() < 128) && ch != QLatin1Char('_')) return false;
    }
    return true;
}

// Copies one row of `table` into a new row, with the columns of `overrides`
// (lower-case names) set to bound values. The column list is the table's own,
// so the columns the layouts add travel along.
void copyRow(db::Connection& c, const QString& table, const QString& condition,
             const QVariantList& conditionValues, const QMap<QString, QVariant>& overrides) {
    db::Query probe = c.prepare(QStringLiteral("select * from %1 where 1=0").arg(table));
    probe.exec();
    const QSqlRecord record = probe.record();
    QStringList columns, selected;
    QVariantList values;
    for (int i = 0; i < record.count(); ++i) {
        const QString name = record.fieldName(i);
        if (!isPlainName(name)) {
            throw db::DbError(QStringLiteral("%1 的列名无效: %2").arg(table, name));
        }
        columns << name;
        const auto it = overrides.constFind(name.toLower());
        if (it == overrides.constEnd()) {
            selected << name;
        } else {
            selected << QStringLiteral("?");
            values << it.value();
        }
    }
    if (values.size() != overrides.size()) {
        throw db::DbError(QStringLiteral("%1 缺少拆分所需的列").arg(table));
    }
    values += conditionValues;
    c.exec(QStringLiteral("insert into %1(%2) select %3 from %1 where %4")
               .arg(table, columns.join(','), selected.join(','), condition),
           values);
}

// On a server the owner's function of the same name does the work, with the
// rights and states the server checks (see db/upgrade_bill_rules.h); it
// answers done and the text like the functions here.
Answer serverAnswer(db::Connection& c, const QString& call, const QVariantList& values) {
    db::Query q = c.prepare(QStringLiteral("select done, info from ") + call);
    for (const auto& v : values) q.bind(v);
    q.exec();
    if (!q.next()) throw db::DbError(QStringLiteral("服务器没有回答: ") + call);
    return {q.value(0).toInt() == 1, q.value(1).toString()};
}

// ---- split ---------------------------------------------------------------

struct Line {
    qint32 entryId = 0;
    qint64 qty = 0;
    qint64 amount = 0;
};

// What is cut off one line, signed like the line.
struct Cut {
    Line line;
    qint64 qty = 0;
    qint64 amount = 0;
};

std::vector<Line> readLines(db::Connection& c, qint32 billId) {
    db::Query q = c.prepare(
        QStringLiteral("select fentryid,fqty,famount from icstockbillentry where finterid=?"
                       " order by forderid,fentryid"));
    q.bind(billId).exec();
    std::vector<Line> lines;
    while (q.next()) lines.push_back({q.value(0).toInt(), micros(q.value(1)), micros(q.value(2))});
    return lines;
}

// The editor closes every entry with a comma; the final one ends the list.
QStringList splitEntries(const QString& text) {
    QStringList entries = text.split(QLatin1Char(','));
    if (entries.last().trimmed().isEmpty()) entries.removeLast();
    return entries;
}

std::optional<QString> splitRefusal(const Head& h) {
    if (h.status != 1) return QStringLiteral("该单据未审核,不能进行拆分!");
    if (h.cancelled) return QStringLiteral("该单据已经作废,不能进行拆分!");
    if (h.sourceId != 0) return QStringLiteral("该单据为拆分单据,不能进行再拆分!");
    if (h.hookId != 0) return QStringLiteral("该单据已经钩稽,不能进行再拆分!");
    if (h.writeOffId != 0) return QStringLiteral("该单据已经核销,不能进行再拆分!");
    return std::nullopt;
}

// The amount that goes with `qty` of the line: in proportion, to whole cents.
// A whole line takes its whole amount, so nothing is left on a line of 0.
qint64 amountFor(const Line& line, qint64 qty) {
    const qint64 whole = std::llabs(line.qty);
    if (qty == whole) return line.amount;
    const long double share = static_cast<long double>(line.amount) * qty / whole;
    return std::llroundl(share / kMicrosPerCent) * kMicrosPerCent;
}

// Reads entry `row` (1-based) against its line; a refusal text or the cut
// (a cut of 0 when nothing is taken off).
std::optional<QString> readCut(const QString& entry, int row, const Line& line, Cut& cut) {
    bool ok = false;
    const double value = entry.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        return QStringLiteral("第%1行拆分数量\"%2\"不是数字,不能进行拆分!").arg(row).arg(entry);
    }
    if (value < 0) return QStringLiteral("第%1行拆分数量不能为负数!").arg(row);
    const qint64 whole = std::llabs(line.qty);
    if (value > fromMicros(whole) + 1.0 || std::llround(value * 1e6) > whole) {
        return QStringLiteral("第%1行拆分数量不能大于原有数量!").arg(row);
    }
    const qint64 qty = std::llround(value * 1e6);
    cut = {line, line.qty < 0 ? -qty : qty, qty == 0 ? 0 : amountFor(line, qty)};
    return std::nullopt;
}

// The new bill's id: the caller's, taken before the transaction (so the id
// counter is not held locked while the split runs), else taken here.
qint32 splitBillId(db::Connection& c, const db::ProcedureParams& p) {
    const QVariant given = p.optional(QStringLiteral("newid"));
    if (given.isValid() && !given.isNull() && given.toLongLong() > 0) return given.toInt();
    return stock::nextInternalId(c, QStringLiteral("ICStockBill"));
}

Answer splitSave(db::Connection& c, const db::ProcedureParams& p) {
    const qint32 sourceId = singleId(p.value(QStringLiteral("finterid")));
    const auto head = readHead(c, sourceId);
    if (!head) return refused(QStringLiteral("该单据不存在,不能进行拆分!"));
    // The split quantities were typed against the bill as the caller loaded
    // it; a bill changed since then is not cut by them.
    const QVariant loaded = p.optional(QStringLiteral("fversion"));
    if (loaded.isValid() && !loaded.isNull() && loaded.toInt() != head->version) {
        return {false, movedSaveText(lastWrite(c, sourceId)), true};
    }
    if (c.dialect().isServer()) {
        const qint32 newId = splitBillId(c, p);
        const QString number = stock::issueCounterNumber(c, head->type);
        return serverAnswer(c, QStringLiteral("otherin_split(?,?,?,?,?,?,?)"),
                            {sourceId, p.value(QStringLiteral("strvalue")).toString(), newId,
                             number, p.value(QStringLiteral("fyear")).toLongLong(),
                             p.value(QStringLiteral("fperiod")).toLongLong(), userOf(p)});
    }
    if (auto refusal = splitRefusal(*head)) return refused(*refusal);
    const std::vector<Line> lines = readLines(c, sourceId);
    const QStringList entries = splitEntries(p.value(QStringLiteral("strvalue")).toString());
    if (entries.size() != static_cast<qsizetype>(lines.size())) {
        return refused(QStringLiteral("拆分数量个数(%1)与单据分录数(%2)不一致,不能进行拆分!")
                           .arg(entries.size())
                           .arg(lines.size()));
    }
    std::vector<Cut> cuts;
    for (size_t i = 0; i < lines.size(); ++i) {
        Cut cut;
        if (auto refusal = readCut(entries[i], static_cast<int>(i) + 1, lines[i], cut)) {
            return refused(*refusal);
        }
        if (cut.qty != 0) cuts.push_back(cut);
    }
    if (cuts.empty()) return refused(QStringLiteral("拆单数量不能全都为零!"));

    const qint32 newId = splitBillId(c, p);
    const QString number = stock::issueCounterNumber(c, head->type);
    BillHistory history(c, QStringLiteral("拆分"), userOf(p));
    history.note(sourceId);
    history.noteNew(newId);
    copyRow(c, QStringLiteral("icstockbill"), QStringLiteral("finterid=?"), {sourceId},
            {{QStringLiteral("finterid"), newId},
             {QStringLiteral("fbillno"), number},
             {QStringLiteral("fstatus"), 1},
             {QStringLiteral("fyear"), p.value(QStringLiteral("fyear")).toLongLong()},
             {QStringLiteral("fperiod"), p.value(QStringLiteral("fperiod")).toLongLong()},
             {QStringLiteral("frscinterid"), sourceId},
             {QStringLiteral("fhxid"), 0},
             {QStringLiteral("fhookinterid"), 0},
             {QStringLiteral("fversion"), 0}});
    advanceVersions(c, QStringLiteral("finterid in (?,?)"), {sourceId, newId}, userOf(p));
    int entryId = 0;
    for (const Cut& cut : cuts) {
        ++entryId;
        copyRow(c, QStringLiteral("icstockbillentry"), QStringLiteral("finterid=? and fentryid=?"),
                {sourceId, cut.line.entryId},
                {{QStringLiteral("finterid"), newId},
                 {QStringLiteral("fentryid"), entryId},
                 {QStringLiteral("forderid"), entryId},
                 {QStringLiteral("fqty"), fromMicros(cut.qty)},
                 {QStringLiteral("famount"), fromMicros(cut.amount)},
                 {QStringLiteral("fsrcentryid"), cut.line.entryId}});
        c.exec(QStringLiteral(
                   "update icstockbillentry set fqty=?,famount=? where finterid=? and fentryid=?"),
               {fromMicros(cut.line.qty - cut.qty), fromMicros(cut.line.amount - cut.amount),
                sourceId, cut.line.entryId});
    }
    history.record();
    return {true, QStringLiteral("拆分成功,新单据编号为:") + number};
}

// ---- restore -------------------------------------------------------------

std::optional<QString> restoreRefusal(db::Connection& c, const Head& split) {
    if (split.writeOffId != 0) return named(split, QStringLiteral("的单据已经核销,不能进行还原!"));
    if (split.hookId != 0) return named(split, QStringLiteral("的单据已经钩稽,不能进行还原!"));
    const int orphans =
        c.scalar(QStringLiteral("select count(*) from icstockbillentry s where s.finterid=? and"
                                " not exists (select 1 from icstockbillentry o where"
                                " o.finterid=? and o.fentryid=s.fsrcentryid)"),
                 {split.id, split.sourceId})
            .toInt();
    if (orphans > 0) return named(split, QStringLiteral("的单据找不到源单据分录,不能进行还原!"));
    return std::nullopt;
}

// Adds the split bill's lines back onto their source lines, frees its number
// and deletes it.
void putBack(db::Connection& c, const Head& split) {
    db::Query q = c.prepare(QStringLiteral(
        "select s.fsrcentryid,s.fqty,s.famount,o.fqty,o.famount from icstockbillentry s"
        " inner join icstockbillentry o on o.finterid=? and o.fentryid=s.fsrcentryid"
        " where s.finterid=?"));
    q.bind(split.sourceId).bind(split.id).exec();
    std::vector<Line> restored;
    while (q.next()) {
        restored.push_back({q.value(0).toInt(), micros(q.value(3)) + micros(q.value(1)),
                            micros(q.value(4)) + micros(q.value(2))});
    }
    for (const Line& l : restored) {
        c.exec(QStringLiteral(
                   "update icstockbillentry set fqty=?,famount=? where finterid=? and fentryid=?"),
               {fromMicros(l.qty), fromMicros(l.amount), split.sourceId, l.entryId});
    }
    stock::freeBillNumber(c, split.type, split.billNo);
    c.exec(QStringLiteral("delete from icstockbillentry where finterid=?"), {split.id});
    c.exec(QStringLiteral("delete from icstockbill where finterid=?"), {split.id});
}

Answer restoreBill(db::Connection& c, const db::ProcedureParams& p) {
    const qint32 id = singleId(p.value(QStringLiteral("finterid")));
    if (c.dialect().isServer())
        return serverAnswer(c, QStringLiteral("otherin_restore(?,?)"), {id, userOf(p)});
    const auto head = readHead(c, id);
    if (!head) return refused(QStringLiteral("该单据不存在,不能进行还原!"));
    const std::vector<Head> splits = head->sourceId != 0
                                         ? std::vector<Head>{*head}
                                         : readHeads(c, QStringLiteral("frscinterid=?"), {id});
    if (splits.empty()) return refused(QStringLiteral("该单据不是拆分单据,不能进行还原!"));
    // Restoring changes the source's quantities: not under a write-off or
    // reconciliation that was made with them.
    const auto source = readHead(c, splits.front().sourceId);
    if (!source) return refused(QStringLiteral("源单据不存在,不能进行还原!"));
    if (source->writeOffId != 0) {
        return refused(named(*source, QStringLiteral("的源单据已经核销,不能进行还原!")));
    }
    if (source->hookId != 0) {
        return refused(named(*source, QStringLiteral("的源单据已经钩稽,不能进行还原!")));
    }
    for (const Head& split : splits) {
        if (auto refusal = restoreRefusal(c, split)) return refused(*refusal);
    }
    BillHistory history(c, QStringLiteral("还原"), userOf(p));
    history.note(splits.front().sourceId);
    for (const Head& split : splits) history.note(split.id);
    for (const Head& split : splits) {
        putBack(c, split);
        recordDeletion(c, split.id, split.billNo, split.type, userOf(p));
    }
    advanceVersions(c, QStringLiteral("finterid=?"), {splits.front().sourceId}, userOf(p));
    history.record();
    return {true, QStringLiteral("还原成功!")};
}

// ---- write-off -----------------------------------------------------------

std::optional<QString> writeOffRefusal(const Head& h) {
    if (h.status != 1) return named(h, QStringLiteral("的单据未审核,不能进行核销!"));
    if (h.cancelled) return named(h, QStringLiteral("的单据已经作废,不能进行核销!"));
    if (h.writeOffId != 0) return named(h, QStringLiteral("的单据已经核销,不能再次核销!"));
    return std::nullopt;
}

// The first item, unit, batch and stock place whose quantities do not net to
// zero over the bills, named for the user.
std::optional<QString> unbalancedItem(db::Connection& c, const QList<qint32>& ids) {
    const QString key =
        QStringLiteral("b.fitemid,b.funitid,coalesce(b.fbatchno,''),coalesce(b.fstockplace,0)");
    db::Query q =
        c.prepare(QStringLiteral("select %1,sum(b.fqty) from icstockbillentry b where b.finterid"
                                 " in (%2) group by %1 order by %1")
                      .arg(key, stock::sqlIdList(ids)));
    q.exec();
    while (q.next()) {
        if (micros(q.value(4)) == 0) continue;
        const QVariant code =
            c.scalar(QStringLiteral("select fNumber from icitem where fitemid=?"), {q.value(0)});
        QString item = code.isValid() ? code.toString() : q.value(0).toString();
        if (!q.value(2).toString().isEmpty()) {
            item += QStringLiteral("(批号%1)").arg(q.value(2).toString());
        }
        return QStringLiteral("物料") + item + QStringLiteral("的数量不能相互抵销,不能进行核销!");
    }
    return std::nullopt;
}

Answer hxBill(db::Connection& c, const db::ProcedureParams& p) {
    QList<qint32> ids;
    for (qint32 id : stock::parseIdList(p.value(QStringLiteral("finterids")).toString())) {
        if (!ids.contains(id)) ids.append(id);
    }
    if (c.dialect().isServer()) {
        return serverAnswer(
            c,
            QStringLiteral("otherin_write_off(array[%1]::integer[],?)").arg(stock::sqlIdList(ids)),
            {userOf(p)});
    }
    if (ids.size() < 2) return refused(QStringLiteral("必须选定两张或以上的单据才能进行核销!"));
    QMap<qint32, Head> heads;
    for (const Head& h :
         readHeads(c, QStringLiteral("finterid in (%1)").arg(stock::sqlIdList(ids)), {})) {
        heads.insert(h.id, h);
    }
    for (qint32 id : ids) {
        if (!heads.contains(id)) {
            return refused(QStringLiteral("内码为%1的单据不存在,不能进行核销!").arg(id));
        }
        if (auto refusal = writeOffRefusal(heads.value(id))) return refused(*refusal);
    }
    if (auto refusal = unbalancedItem(c, ids)) return refused(*refusal);
    const qint32 writeOffId = stock::nextInternalId(c, QStringLiteral("hxid"));
    BillHistory history(c, QStringLiteral("核销"), userOf(p));
    history.note(ids);
    c.exec(QStringLiteral("update icstockbill set fhxid=? where finterid in (%1)")
               .arg(stock::sqlIdList(ids)),
           {writeOffId});
    advanceVersions(c, QStringLiteral("fhxid=?"), {writeOffId}, userOf(p));
    history.record();
    return {true, QStringLiteral("核销成功!")};
}

Answer unHxBill(db::Connection& c, const db::ProcedureParams& p) {
    const qint32 id = singleId(p.value(QStringLiteral("finterid")));
    if (c.dialect().isServer())
        return serverAnswer(c, QStringLiteral("otherin_undo_write_off(?,?)"), {id, userOf(p)});
    const auto head = readHead(c, id);
    if (!head) return refused(QStringLiteral("该单据不存在,不能进行反核销!"));
    if (head->writeOffId == 0) {
        return refused(named(*head, QStringLiteral("的单据未核销,不能进行反核销!")));
    }
    BillHistory history(c, QStringLiteral("反核销"), userOf(p));
    QList<qint32> group;
    for (const Head& h : readHeads(c, QStringLiteral("fhxid=?"), {head->writeOffId})) group << h.id;
    history.note(group);
    advanceVersions(c, QStringLiteral("fhxid=?"), {head->writeOffId}, userOf(p));
    c.exec(QStringLiteral("update icstockbill set fhxid=0 where fhxid=?"), {head->writeOffId});
    history.record();
    return {true, QStringLiteral("反核销成功!")};
}

// The bills a caller listed with the versions it saw ("12:3,15:4"): the
// first one another user changed or deleted since, as the refusal to give.
std::optional<Answer> movedListed(db::Connection& c, const db::ProcedureParams& p) {
    const QString listed = p.optional(QStringLiteral("fversions")).toString().trimmed();
    if (listed.isEmpty()) return std::nullopt;
    QList<qint32> ids;
    QMap<qint32, int> seen;
    for (const QString& pair : listed.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool idOk = false, versionOk = false;
        const qint32 id = pair.section(QLatin1Char(':'), 0, 0).toInt(&idOk);
        const int version = pair.section(QLatin1Char(':'), 1, 1).toInt(&versionOk);
        if (!idOk || !versionOk)
            throw db::DbError(QStringLiteral("单据版本列表无效: \"%1\"").arg(listed));
        ids << id;
        seen.insert(id, version);
    }
    QMap<qint32, Head> heads;
    for (const Head& h :
         readHeads(c, QStringLiteral("finterid in (%1)").arg(stock::sqlIdList(ids)), {}))
        heads.insert(h.id, h);
    for (const qint32 id : ids) {
        const auto head = heads.constFind(id);
        if (head != heads.constEnd() && head->version == seen.value(id)) continue;
        const auto write = lastWrite(c, id);
        if (head == heads.constEnd() && !(write && write->deleted)) continue;
        Head named = head != heads.constEnd() ? *head : Head{};
        if (head == heads.constEnd()) named.billNo = write->billNo;
        return Answer{false,
                      QStringLiteral("编号为:") + named.billNo + QStringLiteral("的单据") +
                          movedPhrase(write) + QStringLiteral("，操作不成功"),
                      true};
    }
    return std::nullopt;
}

// A refusal leaves nothing behind: every check runs before the first write.
void runInTransaction(db::Connection& c, db::ProcedureParams& p, Body body) {
    db::TransactionGuard tx(c);
    const std::optional<Answer> moved = movedListed(c, p);
    const Answer answer = moved ? *moved : body(c, p);
    if (answer.done) {
        tx.commit();
    } else {
        tx.rollback();
    }
    p.set(QStringLiteral("intValue"), qint64{answer.done ? 1 : answer.moved ? 2 : 0});
    p.set(QStringLiteral("strInfo"), answer.info);
}

}  // namespace

void registerEmbeddedProcedures(db::Connection& connection) {
    db::ProcedureRegistry& registry = connection.procedures();
    const auto add = [&registry](const QString& name, Body body) {
        if (registry.find(name)) return;
        registry.add(name, [body](db::Connection& c, db::ProcedureParams& p) {
            runInTransaction(c, p, body);
        });
    };
    add(QStringLiteral("sp_QV_splitSave"), &splitSave);
    add(QStringLiteral("sp_QV_restoreBill"), &restoreBill);
    add(QStringLiteral("sp_QV_hxBill"), &hxBill);
    add(QStringLiteral("sp_QV_unhxBill"), &unHxBill);
}

}  // namespace otherin::bill
