#include "stock/item_lookup.h"

#include <QVariantList>

#include "db/db_error.h"
#include "entry/error_report.h"
#include "entry/login_context.h"

namespace otherin::stock {

namespace {

using entry::LookupRecord;

// A column that is NULL cannot become text: the look-up fails on it.
QString textOf(const db::Query& q, const QString& column) {
    const QVariant v = q.value(column);
    if (v.isNull()) throw db::DbError(QStringLiteral("字段 %1 的值为空,无法取得").arg(column));
    return v.toString();
}

// Record ids are 32-bit, like the id counters that issue them.
QString idText(const db::Query& q, const QString& column) {
    bool ok = false;
    const qint32 value = textOf(q, column).toInt(&ok);
    if (!ok) throw db::DbError(QStringLiteral("字段 %1 的值超出范围").arg(column));
    return QString::number(value);
}

struct Statement {
    QString sql;
    QVariantList values;
};

Statement statementFor(int kind, int itemClass, const QString& code, int unitGroup) {
    if (kind == kLookupBaseData && itemClass == kClassItem) {
        return {QStringLiteral(
                    "select a.fitemid,a.fNumber,a.fname,a.fmodel,a.fUnitid,a.fInPrice,a.fOutPrice,"
                    "a.fUnitParentId,a.fstockid,b.fNumber as fUnitNumber,b.fname as fUnitName,b.fxs"
                    " from icitem as a left outer join tblMeasureUnit as b on a.fUnitid=b.fitemid"
                    " left outer join tblItem as d on a.fitemid=d.fitemid"
                    " where (d.fislock=0 or d.fislock is null) and a.fNumber=?"),
                {code}};
    }
    if (kind == kLookupBaseData && itemClass == kClassUnit) {
        Statement s{QStringLiteral("select a.fitemid,a.fNumber,a.fname,a.fxs,b.fParentId from"
                                   " tblMeasureUnit as a left outer join tblItem as b on"
                                   " a.fitemid=b.fitemid where a.fnumber=?"),
                    {code}};
        if (unitGroup != 0) {
            s.sql += QStringLiteral(" and b.fParentid=?");
            s.values << unitGroup;
        }
        return s;
    }
    if (kind == kLookupBaseData) {
        return {QStringLiteral("select fitemid,fNumber,fname from tblItem where fitemclassid=?"
                               " and fisdetail=1 and fislock=0 and fNumber=?"),
                {itemClass, code}};
    }
    if (kind == kLookupSubType) {
        return {QStringLiteral("select fitemid,fNumber,fname from tblsubtype where fitemclassid=?"
                               " and fNumber=?"),
                {itemClass, code}};
    }
    throw db::DbError(QStringLiteral("无效的查找类型 %1").arg(kind));
}

void copyItem(const db::Query& q, LookupRecord& r) {
    r.model = textOf(q, QStringLiteral("fmodel"));
    r.unitId = textOf(q, QStringLiteral("fUnitid"));
    r.unitName = textOf(q, QStringLiteral("fUnitName"));
    r.unitCode = textOf(q, QStringLiteral("fUnitNumber"));
    r.purchasePrice = textOf(q, QStringLiteral("fInPrice"));
    r.salesPrice = textOf(q, QStringLiteral("fOutPrice"));
    r.itemUnitFactor = textOf(q, QStringLiteral("fxs"));
    r.unitGroup = textOf(q, QStringLiteral("fUnitParentId"));
    r.defaultWarehouse = idText(q, QStringLiteral("fstockid"));
}

}  // namespace

LookupAnswer lookupCode(entry::LoginContext& ctx, entry::Prompter& prompter, int kind,
                        int itemClass, const QString& code, int unitGroup) {
    try {
        entry::openConnection(ctx);
        const Statement s = statementFor(kind, itemClass, code, unitGroup);
        db::Query q = ctx.gConnection.prepare(s.sql);
        for (const auto& v : s.values) q.bind(v);
        q.exec();
        if (!q.next()) {
            entry::closeConnection(ctx);
            return LookupAnswer::NotFound;
        }
        LookupRecord& r = ctx.lookup;
        r.name = textOf(q, QStringLiteral("fname"));
        r.code = textOf(q, QStringLiteral("fNumber"));
        r.id = textOf(q, QStringLiteral("fitemid"));
        if (kind == kLookupBaseData && itemClass == kClassUnit) {
            r.unitFactor = textOf(q, QStringLiteral("fxs"));
        } else if (kind == kLookupBaseData && itemClass == kClassItem) {
            copyItem(q, r);
        }
        entry::closeConnection(ctx);
        return LookupAnswer::Found;
    } catch (const db::DbError& e) {
        entry::reportError(ctx, prompter, e.message());
        return LookupAnswer::Failed;
    }
}

LookupAnswer unitInGroup(entry::LoginContext& ctx, entry::Prompter& prompter, int unitId,
                         int unitGroup) {
    try {
        entry::ConnectionScope scope(ctx);
        db::Query q = ctx.gConnection.prepare(
            QStringLiteral("select a.fitemid from tblMeasureUnit as a inner join tblItem as b on"
                           " a.fitemid=b.fitemid where a.fitemid=? and b.fParentId=?"));
        q.bind(unitId).bind(unitGroup).exec();
        return q.next() ? LookupAnswer::Found : LookupAnswer::NotFound;
    } catch (const db::DbError& e) {
        entry::reportError(ctx, prompter, e.message());
        return LookupAnswer::Failed;
    }
}

}  // namespace otherin::stock
