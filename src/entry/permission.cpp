#include "entry/permission.h"

#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::entry {

namespace {

// The actions of the rights this module asks for, by the two digits after the
// context's prefix; R10 is asked for as a whole code.
struct RightAction {
    const char* digits;
    const char* action;
};
const RightAction kActions[] = {
    {"01", "新增单据"},   {"02", "修改单据"},   {"03", "删除单据"},   {"04", "审核单据"},
    {"05", "反审核单据"}, {"06", "作废单据"},   {"07", "反作废单据"}, {"08", "打印和预览单据"},
    {"11", "核销单据"},   {"12", "反核销单据"}, {"13", "拆分单据"},   {"14", "还原拆分单据"},
};

constexpr auto kGrantedSql =
    "select b.fnumber from tbluserPrivillenge as a inner join tblSystemPrivillenge as b"
    " on a.fPrivillengeid=b.fitemid where a.fuserid=? and b.fnumber=?"
    " union select d.fnumber from tblgroupprivillenge as c inner join tblSystemPrivillenge"
    " as d on c.fprivillengeid=d.fitemid where c.fuserid in (select fgroupid from"
    " tblUserGroupRelation where fuserid=?) and d.fnumber=?";

bool granted(LoginContext& ctx, const QString& code) {
    db::Query q = ctx.gConnection.prepare(QString::fromLatin1(kGrantedSql));
    const qlonglong user = ctx.gLoginUserId.trimmed().toLongLong();
    q.bind(user).bind(code).bind(user).bind(code).exec();
    return q.next();
}

}  // namespace

QString rightAction(const LoginContext& ctx, const QString& code) {
    if (code == QLatin1String("R10")) return QStringLiteral("查询即时库存");
    if (code.startsWith(ctx.gRightPrefix)) {
        const QString digits = code.mid(ctx.gRightPrefix.size());
        for (const RightAction& a : kActions) {
            if (digits == QLatin1String(a.digits)) return QString::fromUtf8(a.action);
        }
    }
    return {};
}

bool hasRight(LoginContext& ctx, Prompter& prompter, const QString& code) {
    if (ctx.IsAdmin == 1) return true;
    bool held = false;
    {
        ConnectionScope scope(ctx);
        held = granted(ctx, code);
    }
    if (!held) {
        const QString action = rightAction(ctx, code);
        prompter.message(
            QStringLiteral("您无此权限！%1（权限%2），请与系统管理员联系")
                .arg(action.isEmpty() ? QString() : QStringLiteral("不能") + action, code),
            Icon::Exclamation, ctx.msgTitle);
    }
    return held;
}

QStringList heldRights(LoginContext& ctx, const QStringList& codes) {
    if (ctx.IsAdmin == 1) return codes;
    QStringList held;
    ConnectionScope scope(ctx);
    for (const QString& code : codes) {
        if (granted(ctx, code)) held << code;
    }
    return held;
}

}  // namespace otherin::entry
