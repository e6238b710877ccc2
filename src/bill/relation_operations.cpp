#include "bill/relation_operations.h"

#include <QDate>
#include <optional>

#include "bill/procedure_call.h"
#include "db/db_error.h"
#include "db/procedures.h"
#include "db/retry.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "stock/id_list.h"

namespace otherin::bill {

namespace {

using entry::Icon;

// The parameters every relation procedure ends with, after its bill input.
db::ProcedureParams& periodAndAnswer(const entry::LoginContext& ctx, db::ProcedureParams& params) {
    return params.in(QStringLiteral("fuserid"), ctx.gLoginUserId.trimmed().toLongLong())
        .in(QStringLiteral("fyear"), qint64{ctx.gCurrentYear})
        .in(QStringLiteral("fperiod"), qint64{ctx.gCurrentPeriod})
        .out(QStringLiteral("strInfo"), QString())
        .out(QStringLiteral("intValue"), qint64{-1});
}

// The versions the journal listed the bills at ("12:3,15:4"), so the
// procedure writes only over bills nobody changed since.
QString listedVersions(const entry::LoginContext& ctx, const QList<qint32>& ids) {
    QStringList pairs;
    for (const qint32 id : ids) {
        if (const auto it = ctx.gBillVersions.constFind(id); it != ctx.gBillVersions.constEnd())
            pairs << QStringLiteral("%1:%2").arg(id).arg(*it);
    }
    return pairs.join(QLatin1Char(','));
}

bool callAndShow(entry::LoginContext& ctx, entry::Prompter& prompter, const QString& name,
                 db::ProcedureParams& params, const QString& idList) {
    try {
        params.in(QStringLiteral("fversions"), listedVersions(ctx, stock::parseIdList(idList)));
        entry::openConnection(ctx);
        db::retrying(ctx.gConnection, [&] { bill::callProcedure(ctx, name, params); });
        const QString info = params.value(QStringLiteral("strInfo")).toString();
        entry::closeConnection(ctx);
        if (params.value(QStringLiteral("intValue")).toInt() == 2) {
            prompter.message(info, Icon::Exclamation, ctx.msgTitle);
            return false;
        }
        prompter.message(info, Icon::Information, ctx.msgTitle);
        return true;
    } catch (const db::DbError& e) {
        prompter.question(e.message(), entry::Buttons::OkCancel, Icon::None, ctx.msgTitle);
        entry::closeConnection(ctx);
        return false;
    }
}

QDate toDate(const QVariant& v) {
    if (v.typeId() == QMetaType::QDate) return v.toDate();
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().date();
    return QDate::fromString(v.toString().left(10), Qt::ISODate);
}

struct Refusal {
    QString text;
    Icon icon = Icon::Exclamation;
};

// Why bill ctx.gCurrentInterId cannot be split, or nothing when it can.
std::optional<Refusal> splitRefusal(entry::LoginContext& ctx) {
    db::Query q = ctx.gConnection.prepare(QStringLiteral(
        "select coalesce(fstatus,0),coalesce(fcancellation,0),coalesce(fhookinterid,0),"
        "coalesce(fhxid,0),coalesce(frscinterid,0),fdate from icstockbill where finterid=?"));
    q.bind(ctx.gCurrentInterId).exec();
    if (!q.next()) return Refusal{QStringLiteral("数据读取错误!"), Icon::Critical};
    // The first day of the month the current year and period name, which is
    // not necessarily the period's start date.
    const QDate firstDay(ctx.gCurrentYear, ctx.gCurrentPeriod, 1);
    if (!firstDay.isValid()) {
        throw db::DbError(QStringLiteral("当前会计期间 %1-%2 无效")
                              .arg(ctx.gCurrentYear)
                              .arg(ctx.gCurrentPeriod));
    }
    if (q.value(0).toInt() == 0) return Refusal{QStringLiteral("该单据未审核,不能进行拆分!")};
    if (q.value(1).toInt() == 1) return Refusal{QStringLiteral("该单据已经作废,不能进行拆分!")};
    if (toDate(q.value(5)) < firstDay) return Refusal{QStringLiteral("不能进行拆分以前期间的单据")};
    if (q.value(4).toInt() != 0) return Refusal{QStringLiteral("该单据为拆分单据,不能进行再拆分!")};
    if (q.value(2).toInt() != 0) return Refusal{QStringLiteral("该单据已经钩稽,不能进行再拆分!")};
    if (q.value(3).toInt() != 0) return Refusal{QStringLiteral("该单据已经核销,不能进行再拆分!")};
    return std::nullopt;
}

}  // namespace

bool hxBill(entry::LoginContext& ctx, entry::Prompter& prompter) {
    db::ProcedureParams params;
    params.in(QStringLiteral("finterids"), ctx.gIdList);
    return callAndShow(ctx, prompter, QStringLiteral("sp_QV_hxBill"), periodAndAnswer(ctx, params),
                       ctx.gIdList);
}

bool unHxBill(entry::LoginContext& ctx, entry::Prompter& prompter, qint32 interId) {
    db::ProcedureParams params;
    params.in(QStringLiteral("finterid"), qint64{interId});
    return callAndShow(ctx, prompter, QStringLiteral("sp_QV_unhxBill"),
                       periodAndAnswer(ctx, params), QString::number(interId));
}

bool restoreBill(entry::LoginContext& ctx, entry::Prompter& prompter, qint32 interId) {
    db::ProcedureParams params;
    params.in(QStringLiteral("finterid"), QString::number(interId));
    return callAndShow(ctx, prompter, QStringLiteral("sp_QV_restoreBill"),
                       periodAndAnswer(ctx, params), QString::number(interId));
}

bool splitCheck(entry::LoginContext& ctx, entry::Prompter& prompter) {
    try {
        entry::openConnection(ctx);
        const std::optional<Refusal> refusal = splitRefusal(ctx);
        if (!refusal) return true;
        prompter.message(refusal->text, refusal->icon, ctx.msgTitle);
        entry::closeConnection(ctx);
        return false;
    } catch (const db::DbError& e) {
        entry::reportError(ctx, prompter, e.message());
        return false;
    }
}

}  // namespace otherin::bill
