#include "bill/bill_history.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <utility>

#include "bill/bill_versions.h"
#include "db/connection.h"
#include "stock/id_list.h"

namespace otherin::bill {

namespace {

// Up to six decimals, without trailing zeros; -0 reads 0.
QString figure(const QVariant& value) {
    QString text = QString::number(value.toDouble() + 0.0, 'f', 6);
    while (text.endsWith(u'0')) text.chop(1);
    if (text.endsWith(u'.')) text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString dateText(const QVariant& value) {
    if (value.isNull()) return {};
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd"));
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    return value.toString().left(10);
}

// A compact text split into its head's fields and its lines' fields by entry.
struct Parsed {
    QStringList head;
    QList<QStringList> lines;
};

Parsed parse(const QString& text) {
    Parsed p;
    const QStringList rows = text.split(u'\n', Qt::SkipEmptyParts);
    for (const QString& row : rows) {
        const QStringList fields = row.split(u'|');
        if (fields.value(0) == QStringLiteral("单据")) {
            p.head = fields;
        } else {
            p.lines << fields;
        }
    }
    return p;
}

const char* const kHeadNames[] = {"", "编号", "日期", "仓库", "摘要", "备注"};
const char* const kLineNames[] = {"", "物料", "单位", "批号", "数量", "单价", "金额", "仓位"};

// A line's field as the clerk knows it: an item by code and name, a unit by
// name, where known.
QString shown(int field, const QString& value, const HistoryNames& names) {
    if (field == 1) return names.items.value(value, value);
    if (field == 2) return names.units.value(value, value);
    return value;
}

QString lineSummary(const QStringList& fields, const HistoryNames& names) {
    QStringList parts;
    for (int i = 1; i < fields.size() && i < 8; ++i) {
        if (fields[i].isEmpty() || (i == 7 && fields[i] == QLatin1String("0"))) continue;
        parts << QString::fromUtf8(kLineNames[i]) + u' ' + shown(i, fields[i], names);
    }
    return parts.join(u' ');
}

}  // namespace

std::vector<std::pair<qint32, QString>> billTexts(db::Connection& c, const QList<qint32>& ids) {
    std::vector<std::pair<qint32, QString>> texts;
    if (ids.isEmpty()) return texts;
    const stock::IdSelection chosen = stock::idSelection(ids);
    QHash<qint32, QString> lines;
    {
        db::Query q = c.prepare(
            QStringLiteral("select finterid,fentryid,fitemid,funitid,coalesce(fbatchno,''),fqty,"
                           "fPrice,famount,coalesce(fstockplace,0) from icstockbillentry where"
                           " finterid in (%1) order by finterid,forderid,fentryid")
                .arg(chosen.list));
        for (const QVariant& v : chosen.values) q.bind(v);
        q.exec();
        while (q.next()) {
            lines[q.value(0).toInt()] +=
                u'\n' + QStringList{q.value(1).toString(), q.value(2).toString(),
                                    q.value(3).toString(), q.value(4).toString(),
                                    figure(q.value(5)),    figure(q.value(6)),
                                    figure(q.value(7)),    q.value(8).toString()}
                            .join(u'|');
        }
    }
    db::Query q = c.prepare(
        QStringLiteral("select finterid,fbillno,fdate,fstockid1,coalesce(fexplanation,''),"
                       "coalesce(fnote,'') from icstockbill where finterid in (%1) order by"
                       " finterid")
            .arg(chosen.list));
    for (const QVariant& v : chosen.values) q.bind(v);
    q.exec();
    while (q.next()) {
        const qint32 id = q.value(0).toInt();
        const QString head =
            QStringList{QStringLiteral("单据"), q.value(1).toString(), dateText(q.value(2)),
                        q.value(3).toString(),  q.value(4).toString(), q.value(5).toString()}
                .join(u'|');
        texts.emplace_back(id, head + lines.value(id));
    }
    return texts;
}

namespace {

// Operations that change what a bill holds keep its text before and after.
const QRegularExpression& contentOperation() {
    static const QRegularExpression kContent(QStringLiteral("新增|修改|拆分|还原|删除"));
    return kContent;
}

}  // namespace

BillHistory::BillHistory(db::Connection& connection, QString operation, qint64 userId)
    : connection_(connection),
      operation_(std::move(operation)),
      userId_(userId),
      active_(!connection.dialect().isServer()),
      texts_(operation_.contains(contentOperation())) {}

void BillHistory::note(const QList<qint32>& ids) {
    if (!active_) return;
    if (!texts_) {
        for (const qint32 id : ids) before_.emplace_back(id, QString());
        return;
    }
    for (auto& text : billTexts(connection_, ids)) before_.push_back(std::move(text));
}

void BillHistory::noteNew(qint32 id) {
    if (active_) before_.emplace_back(id, QString());
}

void BillHistory::record() {
    if (!active_ || before_.empty()) return;
    QList<qint32> ids;
    for (const auto& [id, text] : before_) ids << id;
    if (!texts_) {
        // A state's operation keeps no texts: one statement writes a row per
        // noted bill, in the order noted, with the number the bill has (none
        // for a bill no longer stored). The ids are parsed integers.
        connection_.exec(
            QStringLiteral(
                "insert into otherin_history (fkind,finterid,fbillno,fop,fuserid,fbefore,fafter)"
                " select 'bill',c.value,coalesce(b.fbillno,''),?,?,'','' from json_each(?) as c"
                " left join icstockbill as b on b.finterid=c.value order by c.key"),
            {operation_, userId_, QStringLiteral("[%1]").arg(stock::sqlIdList(ids))});
        before_.clear();
        return;
    }
    QHash<qint32, QString> after;
    for (auto& [id, text] : billTexts(connection_, ids)) after.insert(id, text);
    db::Query q = connection_.prepare(
        QStringLiteral("insert into otherin_history (fkind,finterid,fbillno,fop,fuserid,fbefore,"
                       "fafter) values ('bill',?,?,?,?,?,?)"));
    for (const auto& [id, before] : before_) {
        const QString now = after.value(id);
        const QString number = parse(now.isEmpty() ? before : now).head.value(1);
        // An empty text, not a missing one: a bill made or deleted.
        const auto text = [](const QString& t) { return t.isNull() ? QStringLiteral("") : t; };
        q.bind(id)
            .bind(text(number))
            .bind(operation_)
            .bind(userId_)
            .bind(text(before))
            .bind(text(now));
        q.exec();
    }
    before_.clear();
}

namespace {

// Rows of the history as listed: time, operation, who (the user's name and
// the login, as far as known), before, after; then the kind.
const char* const kHistoryColumns =
    "select h.ftime,h.fop,coalesce(u.fname,''),h.frole,h.fbefore,h.fafter,h.fkind from"
    " otherin_history h left join tblUser u on u.fuserid=h.fuserid and h.fuserid<>0 ";

HistoryEntry entryOf(const db::Query& q) {
    const QDateTime at = readMoment(q.value(0));
    const QString name = q.value(2).toString();
    const QString login = q.value(3).toString();
    QString who = name.isEmpty() ? login : name;
    if (!name.isEmpty() && !login.isEmpty()) who += QStringLiteral("(%1)").arg(login);
    return {
        at.isValid() ? at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : q.value(0).toString(),
        q.value(1).toString(), who, q.value(4).toString(), q.value(5).toString()};
}

}  // namespace

std::vector<HistoryEntry> billHistory(db::Connection& c, qint32 interId) {
    db::Query q = c.prepare(QLatin1String(kHistoryColumns) +
                            QStringLiteral("where h.fkind='bill' and h.finterid=? order by h.fid"
                                           " desc"));
    q.bind(interId).exec();
    std::vector<HistoryEntry> entries;
    while (q.next()) entries.push_back(entryOf(q));
    return entries;
}

std::vector<AdministrativeChange> administrativeHistory(db::Connection& c, int limit) {
    db::Query q = c.prepare(QLatin1String(kHistoryColumns) +
                            QStringLiteral("where h.fkind<>'bill' order by h.fid desc limit ?"));
    q.bind(limit).exec();
    std::vector<AdministrativeChange> changes;
    while (q.next()) changes.push_back({entryOf(q), q.value(6).toString()});
    return changes;
}

HistoryNames historyNames(db::Connection& c, const std::vector<HistoryEntry>& entries) {
    QList<qint32> items, units;
    for (const HistoryEntry& e : entries) {
        for (const QString* text : {&e.before, &e.after}) {
            for (const QStringList& line : parse(*text).lines) {
                bool ok = false;
                if (const qint32 id = line.value(1).toInt(&ok); ok && !items.contains(id))
                    items << id;
                if (const qint32 id = line.value(2).toInt(&ok); ok && !units.contains(id))
                    units << id;
            }
        }
    }
    // What `shown` of `table` says for each of `ids`, by id.
    const auto named = [&c](const char* shown, const char* table, const QList<qint32>& ids) {
        QHash<QString, QString> names;
        if (ids.isEmpty()) return names;
        db::Query q =
            c.prepare(QStringLiteral("select fitemid,%1 from %2 where fitemid in (%3)")
                          .arg(QLatin1String(shown), QLatin1String(table), stock::sqlIdList(ids)));
        q.exec();
        while (q.next()) names.insert(q.value(0).toString(), q.value(1).toString());
        return names;
    };
    return {named("trim(fNumber||' '||coalesce(fname,''))", "icitem", items),
            named("coalesce(nullif(fname,''),fNumber)", "tblMeasureUnit", units)};
}

QStringList describeChange(const QString& before, const QString& after, const HistoryNames& names) {
    const Parsed was = parse(before);
    const Parsed now = parse(after);
    QStringList changes;
    if (was.head.isEmpty() && !now.head.isEmpty()) changes << QStringLiteral("新建单据");
    if (!was.head.isEmpty() && now.head.isEmpty()) {
        changes << QStringLiteral("删除单据");
        return changes;
    }
    if (!was.head.isEmpty()) {
        for (int i = 1; i < 6; ++i) {
            if (was.head.value(i) != now.head.value(i))
                changes << QStringLiteral("%1 %2 → %3")
                               .arg(QString::fromUtf8(kHeadNames[i]), was.head.value(i),
                                    now.head.value(i));
        }
    }
    // Line by line in their order: a save numbers the lines it writes anew,
    // so the entry ids say nothing about which line became which.
    const qsizetype common = std::min(was.lines.size(), now.lines.size());
    for (qsizetype row = 0; row < common; ++row) {
        for (int i = 1; i < 8; ++i) {
            if (was.lines[row].value(i) != now.lines[row].value(i))
                changes << QStringLiteral("第%1行 %2 %3 → %4")
                               .arg(row + 1)
                               .arg(QString::fromUtf8(kLineNames[i]),
                                    shown(i, was.lines[row].value(i), names),
                                    shown(i, now.lines[row].value(i), names));
        }
    }
    for (qsizetype row = common; row < now.lines.size(); ++row)
        changes
            << QStringLiteral("新增第%1行 %2").arg(row + 1).arg(lineSummary(now.lines[row], names));
    for (qsizetype row = common; row < was.lines.size(); ++row)
        changes
            << QStringLiteral("删除第%1行 %2").arg(row + 1).arg(lineSummary(was.lines[row], names));
    return changes;
}

}  // namespace otherin::bill
