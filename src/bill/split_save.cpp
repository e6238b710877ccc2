#include "bill/split_save.h"

#include "bill/procedure_call.h"
#include "db/db_error.h"
#include "db/procedures.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "entry/permission.h"
#include "entry/prompter.h"
#include "stock/bill_numbering.h"

namespace otherin::bill {

SplitList buildSplitList(const QStringList& splitTexts) {
    SplitList list;
    for (const QString& text : splitTexts) {
        const bool empty = text.trimmed().isEmpty();
        list.text += (empty || text == QLatin1String("0")) ? QStringLiteral("0") : text;
        list.text += QLatin1Char(',');
        bool isNumber = false;
        const double value = text.trimmed().toDouble(&isNumber);
        if (!empty && !(isNumber && value == 0.0)) ++list.cutLines;
    }
    return list;
}

SaveOutcome splitSave(entry::LoginContext& ctx, entry::Prompter& prompter,
                      const QStringList& splitTexts, std::optional<int> version) {
    SaveOutcome out;
    if (ctx.gIsCloseStock == 1) {
        prompter.message(QStringLiteral("当前期间已经关账,不能新增当前及以前期间单据"),
                         entry::Icon::Critical, ctx.msgTitle);
        return out;
    }
    try {
        if (!entry::hasRight(ctx, prompter, ctx.gRightPrefix + QStringLiteral("13"))) return out;
        const SplitList list = buildSplitList(splitTexts);
        if (list.cutLines == 0) {
            prompter.message(QStringLiteral("拆单数量不能全都为零!"), entry::Icon::Exclamation,
                             ctx.msgTitle);
            return out;
        }
        db::ProcedureParams params;
        params.in(QStringLiteral("finterid"), QString::number(ctx.gCurrentInterId))
            .in(QStringLiteral("strvalue"), list.text)
            .out(QStringLiteral("strInfo"), QString())
            .out(QStringLiteral("intValue"), qint64{-1})
            .in(QStringLiteral("fyear"), qint64{ctx.gCurrentYear})
            .in(QStringLiteral("fperiod"), qint64{ctx.gCurrentPeriod})
            .in(QStringLiteral("fuserid"), ctx.gLoginUserId.trimmed().toLongLong());
        if (version) params.in(QStringLiteral("fversion"), qint64{*version});
        // The new bill's id is taken and committed first, as a new bill's is:
        // the split's transaction then holds no lock of the id counter, which
        // every clerk's save takes its ids from.
        entry::openConnection(ctx);
        params.in(QStringLiteral("newid"),
                  qint64{stock::nextInternalId(ctx.gConnection, QStringLiteral("ICStockBill"))});
        bill::callProcedure(ctx, QStringLiteral("sp_QV_splitSave"), params);
        const auto result = static_cast<qint16>(params.value(QStringLiteral("intValue")).toInt());
        const QString info = params.value(QStringLiteral("strInfo")).toString();
        entry::closeConnection(ctx);
        if (result == 2) {
            out.status = SaveStatus::Moved;
            out.movedText = info;
            return out;
        }
        if (result != 1) {
            // The database refused; its reason is the only thing the user can act on.
            if (!info.isEmpty()) prompter.message(info, entry::Icon::Exclamation, ctx.msgTitle);
            return out;
        }
        prompter.message(info, entry::Icon::Information, ctx.msgTitle);
        out.status = SaveStatus::Saved;
        out.interId = ctx.gCurrentInterId;
        out.version = version.value_or(0) + 1;
        return out;
    } catch (const db::DbError& e) {
        entry::reportError(ctx, prompter, e.message());
        return out;
    }
}

}  // namespace otherin::bill
