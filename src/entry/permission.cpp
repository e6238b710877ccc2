#include "entry/permission.h"

#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::entry {

bool hasRight(LoginContext& ctx, Prompter& prompter, const QString& code) {
    if (ctx.IsAdmin == 1) return true;
    bool held = false;
    {
        ConnectionScope scope(ctx);
        db::Query q = ctx.gConnection.prepare(QStringLiteral(
            "select b.fitemid from tbluserPrivillenge as a inner join tblSystemPrivillenge as b"
            " on a.fPrivillengeid=b.fitemid where a.fuserid=? and b.fnumber=?"
            " union select d.fitemid from tblgroupprivillenge as c inner join tblSystemPrivillenge"
            " as d on c.fprivillengeid=d.fitemid where c.fuserid in (select fgroupid from"
            " tblUserGroupRelation where fuserid=?) and d.fnumber=?"));
        const qlonglong user = ctx.gLoginUserId.trimmed().toLongLong();
        q.bind(user).bind(code).bind(user).bind(code).exec();
        held = q.next();
    }
    if (!held) {
        prompter.message(QStringLiteral("您无此权限！请与系统管理员联系"), Icon::Exclamation,
                         ctx.msgTitle);
    }
    return held;
}

}  // namespace otherin::entry
