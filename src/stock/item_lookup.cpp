#include "stock/item_lookup.h"

#include <QVariantList>

#include "db/db_error.h"
#include "entry/error_report.h"
#include "entry/login_context.h"

namespace otherin::stock {

namespace {

using entry::LookupRecord;

// A column of a look-up's select: read by its position, named in a failure.
struct Column {
    int at;
    const char* name;
};

// Every look-up selects these first, in this order.
constexpr Column kId{0, "fitemid"};
constexpr Column kCode{1, "fNumber"};
constexpr Column kName{2, "fname"};
// Then units their factor; items the rest of the item select, in its order.
constexpr Column kUnitFactor{3, "fxs"};
constexpr Column kModel{3, "fmodel"};
constexpr Column kItemUnit{4, "fUnitid"};
constexpr Column kPurchasePrice{5, "fInPrice"};
constexpr Column kSalesPrice{6, "fOutPrice"};
constexpr Column kUnitGroup{7, "fUnitParentId"};
constexpr Column kWarehouse{8, "fstockid"};
constexpr Column kUnitCode{9, "fUnitNumber"};
constexpr Column kUnitName{10, "fUnitName"};
constexpr Column kItemUnitFactor{11, "fxs"};

// A column that is NULL cannot become text: the look-up fails on it.
QString textOf(const db::Query& q, Column column) {
    const QVariant v = q.value(column.at);
    if (v.isNull())
        throw db::DbError(
            QStringLiteral("字段 %1 的值为空,无法取得").arg(QLatin1String(column.name)));
    return v.toString();
}

// Record ids are 32-bit, like the id counters that issue them.
QString idText(const db::Query& q, Column column) {
    bool ok = false;
    const qint32 value = textOf(q, column).toInt(&ok);
    if (!ok)
        throw db::DbError(QStringLiteral("字段 %1 的值超出范围").arg(QLatin1String(column.name)));
    return QString::number(value);
}

struct Statement {
    QString sql;
    QVariantList values;
};

// The columns of each select stand where the Column constants above say.
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
    r.model = textOf(q, kModel);
    r.unitId = textOf(q, kItemUnit);
    r.unitName = textOf(q, kUnitName);
    r.unitCode = textOf(q, kUnitCode);
    r.purchasePrice = textOf(q, kPurchasePrice);
    r.salesPrice = textOf(q, kSalesPrice);
    r.itemUnitFactor = textOf(q, kItemUnitFactor);
    r.unitGroup = textOf(q, kUnitGroup);
    r.defaultWarehouse = idText(q, kWarehouse);
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
        r.name = textOf(q, kName);
        r.code = textOf(q, kCode);
        r.id = textOf(q, kId);
        if (kind == kLookupBaseData && itemClass == kClassUnit) {
            r.unitFactor = textOf(q, kUnitFactor);
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
