#include "db/upgrade_bill_rules.h"

#include "db/connection.h"
#include "db/schema.h"
#include "db/server_roles.h"

namespace otherin::db::schema {

namespace {

// Who may pass: a database without roles, the owner and its members
// (superusers among them), and the owner's own functions.
const char* const kTrust = R"SQL(
create or replace function otherin_session_trusted() returns boolean language sql stable
set search_path = %1, pg_temp as $f$
    select not exists (select 1 from tblServerRoles)
        or exists (select 1 from tblServerRoles r
                   where pg_has_role(session_user, r.fprefix || '_owner', 'member'))
$f$;
create or replace function otherin_bill_is_new(bill_id integer) returns boolean language sql stable
set search_path = %1, pg_temp as $f$
    select exists (select 1 from otherin_history where ftxid = txid_current() and fkind = 'bill'
                   and finterid = bill_id and fop like '新增%')
$f$)SQL";

// The user behind the login, and whether they are an administrator; a login
// no user stands behind may write nothing.
const char* const kRights = R"SQL(
create or replace function otherin_login_user(out user_id integer, out administrator boolean)
language plpgsql stable set search_path = %1, pg_temp as $f$
begin
    select fuserid, coalesce(fIsAdmin, 0) = 1 into user_id, administrator from tblUser
        where frolename = session_user;
    if not found then
        raise exception '服务器登录 % 没有对应的用户，不能修改单据', session_user
            using errcode = 'OI001';
    end if;
    administrator := administrator or exists (select 1 from tblServerRoles r
        where pg_has_role(session_user, r.fprefix || '_admin', 'member'));
end
$f$;
create or replace function otherin_require_right(digits text) returns void language plpgsql stable
set search_path = %1, pg_temp as $f$
declare
    me record;
    code text := 'G' || digits;
begin
    if otherin_session_trusted() then
        return;
    end if;
    select * into me from otherin_login_user();
    if me.administrator then
        return;
    end if;
    if exists (select 1 from tbluserPrivillenge a join tblSystemPrivillenge b
                   on a.fPrivillengeid = b.fitemid where a.fuserid = me.user_id and b.fnumber = code)
       or exists (select 1 from tblgroupprivillenge c join tblSystemPrivillenge d
                      on c.fprivillengeid = d.fitemid
                  where d.fnumber = code and c.fuserid in
                      (select fgroupid from tblUserGroupRelation where fuserid = me.user_id)) then
        return;
    end if;
    raise exception '您无此权限！不能%（权限%），请与系统管理员联系',
        case digits when '01' then '新增单据' when '02' then '修改单据' when '03' then '删除单据'
                    when '04' then '审核单据' when '05' then '反审核单据' when '06' then '作废单据'
                    when '07' then '反作废单据' when '11' then '核销单据'
                    when '12' then '反核销单据' when '13' then '拆分单据'
                    when '14' then '还原拆分单据' else '操作' end, code
        using errcode = 'OI001';
end
$f$;
create or replace function otherin_refuse(bill_no text, tail text) returns void language plpgsql
immutable as $f$
begin
    raise exception '编号为:%的单据%', bill_no, tail using errcode = 'OI001';
end
$f$)SQL";

const char* const kBillRules = R"SQL(
create or replace function otherin_bill_rules() returns trigger language plpgsql
set search_path = %1, pg_temp as $f$
declare
    kept text[] := array['fversion', 'fmodifierid', 'fmodifytime', 'fstockposted'];
    rest_same boolean;
begin
    if tg_op = 'INSERT' then
        perform otherin_require_right('01');
        if new.fstockposted <> 0 or coalesce(new.frscinterid, 0) <> 0
           or coalesce(new.fhxid, 0) <> 0 or coalesce(new.fhookinterid, 0) <> 0 then
            raise exception '新单据不能带库存记账、拆分、核销或钩稽的标记' using errcode = 'OI001';
        end if;
        if coalesce(new.fstatus, 0) <> 0 then
            perform otherin_require_right('04');
        end if;
        if coalesce(new.fcancellation, 0) <> 0 then
            perform otherin_require_right('06');
        end if;
        return new;
    end if;
    if tg_op = 'DELETE' then
        perform otherin_require_right('03');
        if coalesce(old.fstatus, 0) = 1 then
            perform otherin_refuse(old.fbillno, '已经审核!操作不成功');
        elsif coalesce(old.fcancellation, 0) <> 0 then
            perform otherin_refuse(old.fbillno, '作废!操作不成功');
        elsif old.fstockposted = 1 then
            perform otherin_refuse(old.fbillno, '已计入即时库存,不能删除,须先从即时库存冲回');
        end if;
        return old;
    end if;
    if new.fstockposted <> old.fstockposted and not (select administrator from otherin_login_user())
    then
        raise exception '库存记账标记只能由记账修改' using errcode = 'OI001';
    end if;
    if new.fversion < old.fversion then
        raise exception '单据版本不能倒退' using errcode = 'OI001';
    end if;
    if coalesce(new.fhxid, 0) <> coalesce(old.fhxid, 0)
       or coalesce(new.frscinterid, 0) <> coalesce(old.frscinterid, 0)
       or coalesce(new.fhookinterid, 0) <> coalesce(old.fhookinterid, 0) then
        raise exception '核销、拆分和钩稽只能由其操作修改' using errcode = 'OI001';
    end if;
    if coalesce(new.fstatus, 0) <> coalesce(old.fstatus, 0) then
        rest_same := to_jsonb(new) - kept - array['fstatus', 'fchecker']
                     = to_jsonb(old) - kept - array['fstatus', 'fchecker'];
        if coalesce(new.fstatus, 0) = 1 then
            perform otherin_require_right('04');
            if coalesce(old.fcancellation, 0) <> 0 then
                perform otherin_refuse(old.fbillno, '已经作废!操作不成功');
            end if;
        else
            perform otherin_require_right('05');
        end if;
        if not rest_same then
            perform otherin_refuse(old.fbillno, '审核或反审核时不能修改其它内容');
        end if;
        return new;
    end if;
    if coalesce(new.fcancellation, 0) <> coalesce(old.fcancellation, 0) then
        perform otherin_require_right(case when coalesce(new.fcancellation, 0) <> 0 then '06'
                                           else '07' end);
        if coalesce(old.fstatus, 0) = 1 then
            perform otherin_refuse(old.fbillno, '已经审核!操作不成功');
        end if;
        if to_jsonb(new) - kept - 'fcancellation' <> to_jsonb(old) - kept - 'fcancellation' then
            perform otherin_refuse(old.fbillno, '作废或反作废时不能修改其它内容');
        end if;
        return new;
    end if;
    -- A version step alone (the price edit's, or a save's first write).
    if to_jsonb(new) - kept = to_jsonb(old) - kept then
        return new;
    end if;
    if coalesce(old.fstatus, 0) = 1 then
        perform otherin_refuse(old.fbillno, '已经审核!操作不成功');
    elsif coalesce(old.fcancellation, 0) <> 0 then
        perform otherin_refuse(old.fbillno, '已经作废!操作不成功');
    end if;
    if not otherin_bill_is_new(old.finterid) then
        perform otherin_require_right('02');
    end if;
    return new;
end
$f$)SQL";

const char* const kLineRules = R"SQL(
create or replace function otherin_line_rules() returns trigger language plpgsql
set search_path = %1, pg_temp as $f$
declare
    b record;
begin
    if tg_op = 'UPDATE' and new.finterid <> old.finterid then
        raise exception '分录不能移到另一张单据' using errcode = 'OI001';
    end if;
    select finterid, fbillno, fstatus, fcancellation, fstockposted into b from icstockbill
        where finterid = coalesce(new.finterid, old.finterid);
    if not found then
        if tg_op = 'DELETE' then
            return old;
        end if;
        raise exception '单据(内码%)不存在,不能写入分录', new.finterid using errcode = 'OI001';
    end if;
    if coalesce(b.fstatus, 0) = 1 then
        perform otherin_refuse(b.fbillno, '已经审核!操作不成功');
    elsif coalesce(b.fcancellation, 0) <> 0 then
        perform otherin_refuse(b.fbillno, '已经作废!操作不成功');
    elsif b.fstockposted = 1 then
        perform otherin_refuse(b.fbillno, '已计入即时库存,不能修改分录,须先从即时库存冲回');
    end if;
    if not otherin_bill_is_new(b.finterid) then
        perform otherin_require_right('02');
    end if;
    return coalesce(new, old);
end
$f$)SQL";

// A script of functions, each closed by "$f$;" (their bodies hold other
// semicolons).
QStringList functionsOf(const QString& script) {
    QStringList statements = script.split(QStringLiteral("$f$;"), Qt::SkipEmptyParts);
    for (QString& statement : statements) statement = statement.trimmed();
    statements.removeAll(QString());
    for (qsizetype i = 0; i + 1 < statements.size(); ++i) statements[i] += QStringLiteral("$f$");
    return statements;
}

}  // namespace

void addBillRules(Connection& connection) {
    if (!connection.dialect().isServer()) return;
    const QString schema = serverSchema(connection);
    for (const char* script : {kTrust, kRights})
        for (const QString& statement : functionsOf(QString::fromUtf8(script).arg(schema)))
            connection.exec(statement);
    connection.exec(QString::fromUtf8(kBillRules).arg(schema));
    connection.exec(QString::fromUtf8(kLineRules).arg(schema));
    addBillProcedures(connection);
    if (const auto roles = serverRoles(connection)) addBillRuleTriggers(connection, *roles);
}

void addBillRuleTriggers(Connection& connection, const ServerRoles& roles) {
    if (connection.scalar(QStringLiteral("select to_regproc('otherin_bill_rules') is null"))
            .toBool())
        return;
    // The owner's sessions and functions never enter the rules: the test is
    // an expression the server checks per row without calling a function.
    const QString owner =
        connection.scalar(QStringLiteral("select quote_literal(?)"), {roles.owner()}).toString();
    const QString when = QStringLiteral(
                             "when (not pg_has_role(session_user, %1, 'member') and not "
                             "pg_has_role(current_user, %1, 'member'))")
                             .arg(owner);
    for (const auto& [table, function] :
         {std::pair{QStringLiteral("icstockbill"), QStringLiteral("otherin_bill_rules")},
          std::pair{QStringLiteral("icstockbillentry"), QStringLiteral("otherin_line_rules")}}) {
        connection.exec(QStringLiteral("drop trigger if exists tr_%1_rules on %1").arg(table));
        connection.exec(QStringLiteral("create trigger tr_%1_rules before insert or update or "
                                       "delete on %1 for each row %2 execute function %3()")
                            .arg(table, when, function));
    }
}

}  // namespace otherin::db::schema
