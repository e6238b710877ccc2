#include "db/upgrade_bill_history.h"

#include "db/connection.h"
#include "db/query.h"
#include "db/schema.h"
#include "db/server_roles.h"

namespace otherin::db::schema {

namespace {

const char* const kAdministrativeTables[] = {"tblUser",
                                             "tblUserGroup",
                                             "tblUserGroupRelation",
                                             "tbluserPrivillenge",
                                             "tblgroupprivillenge",
                                             "tblSystemSwitch",
                                             "tblSystemInfo",
                                             "tblPeriod",
                                             "t_QV_tableinfo",
                                             "tblproject",
                                             "tblprojectEntry",
                                             "tblprojectOrder"};

// The compact text of a bill: its head, then one line per entry, numbers
// without trailing zeros (the same text the module writes in a file).
const char* const kTextFunctions = R"SQL(
create or replace function otherin_head_text(b icstockbill) returns text language sql stable
set search_path = %1, pg_temp as $f$
    select concat_ws('|', '单据', b.fbillno, coalesce(to_char(b.fdate, 'YYYY-MM-DD'), ''), b.fstockid1,
                     coalesce(b.fexplanation, ''), coalesce(b.fnote, ''))
$f$;
create or replace function otherin_line_text(e icstockbillentry) returns text language sql stable
set search_path = %1, pg_temp as $f$
    select concat_ws('|', e.fentryid, e.fitemid, e.funitid, coalesce(e.fbatchno, ''),
                     trim_scale(e.fqty), trim_scale(e.fprice), trim_scale(e.famount),
                     coalesce(e.fstockplace, 0))
$f$;
create or replace function otherin_lines_text(bill_id integer) returns text language sql stable
set search_path = %1, pg_temp as $f$
    select coalesce(string_agg(E'\n' || otherin_line_text(e), '' order by e.forderid, e.fentryid),
                    '')
    from icstockbillentry e where e.finterid = bill_id
$f$;
create or replace function otherin_bill_text(bill_id integer) returns text language sql stable
set search_path = %1, pg_temp as $f$
    select coalesce((select otherin_head_text(b) from icstockbill b where b.finterid = bill_id)
                    || otherin_lines_text(bill_id), '')
$f$)SQL";

// How the operation of a transaction's row of a bill grows by `label`: a
// posting alone is a weak label that the operation's own replaces; a state's
// operation (audit, void, write-off, delete, restore and their undoing) is
// joined on; a change after a new bill's insert adds nothing.
const char* const kMergeFunction = R"SQL(
create or replace function otherin_merge_op(existing text, label text) returns text
language sql immutable as $f$
    select case when existing in ('记账', '冲销记账') and label not in ('记账', '冲销记账')
                     then label
                when label in ('审核', '反审核', '作废', '反作废', '核销', '反核销', '删除', '还原')
                     and position(label in existing) = 0 then existing || '、' || label
                else existing end
$f$)SQL";

// Operations that change what a bill holds keep its text before and after;
// a state's operation keeps none (the bill's text is what it was).
const char* const kContentFunction = R"SQL(
create or replace function otherin_content_op(label text) returns boolean
language sql immutable as $f$
    select label ~ '新增|修改|拆分|还原|删除'
$f$)SQL";

// Adds `label` to the transaction's row of a bill, making the row (with the
// state before) when it is the transaction's first write to the bill; the
// owner's bill functions note their bills with it before they write them.
const char* const kNoteFunction = R"SQL(
create or replace function otherin_note_bill(tx bigint, bill_id integer, bill_no text,
                                             label text, before text) returns void
language plpgsql set search_path = %1, pg_temp as $f$
begin
    update otherin_history set fop = otherin_merge_op(fop, label),
           fbefore = case when fop in ('记账', '冲销记账') and otherin_content_op(label)
                          then before else fbefore end
        where ftxid = tx and fkind = 'bill' and finterid = bill_id;
    if not found then
        insert into otherin_history (ftxid, fkind, finterid, fbillno, fop, frole, fuserid,
                                     fbefore)
            values (tx, 'bill', bill_id, coalesce(bill_no, ''), label, session_user,
                    coalesce((select fuserid from tblUser where frolename = session_user), 0),
                    case when otherin_content_op(label) then coalesce(before, '') else '' end);
        insert into otherin_history_open (ftxid) values (tx) on conflict do nothing;
    end if;
end
$f$)SQL";

// What a header write did, from the row before and after; the posting's
// write of the marker alone (it takes no version step) first, as the
// cheapest to tell.
const char* const kHeadLabel = R"SQL(
case when o.fstockposted <> n.fstockposted and o.fversion = n.fversion then
        case when n.fstockposted = 1 then '记账' else '冲销记账' end
     when coalesce(o.fstatus, 0) = 0 and coalesce(n.fstatus, 0) = 1 then '审核'
     when coalesce(o.fstatus, 0) = 1 and coalesce(n.fstatus, 0) = 0 then '反审核'
     when coalesce(o.fcancellation, 0) = 0 and coalesce(n.fcancellation, 0) <> 0 then '作废'
     when coalesce(o.fcancellation, 0) <> 0 and coalesce(n.fcancellation, 0) = 0 then '反作废'
     when coalesce(o.fhxid, 0) = 0 and coalesce(n.fhxid, 0) <> 0 then '核销'
     when coalesce(o.fhxid, 0) <> 0 and coalesce(n.fhxid, 0) = 0 then '反核销'
     when to_jsonb(n) - array['fversion', 'fmodifierid', 'fmodifytime', 'fstockposted']
          = to_jsonb(o) - array['fversion', 'fmodifierid', 'fmodifytime', 'fstockposted'] then
        case when o.fstockposted = 0 and n.fstockposted = 1 then '记账'
             when o.fstockposted = 1 and n.fstockposted = 0 then '冲销记账'
             when coalesce(o.fstatus, 0) = 1 or coalesce(o.fcancellation, 0) <> 0
                  then '修改单价'
             else '修改' end
     else '修改' end)SQL";

// The state before a line statement: the bill's head, and its lines as they
// stand without the statement's new rows, with its old ones.
const char* const kLinesBefore = R"SQL(
coalesce((select otherin_head_text(h) from icstockbill h where h.finterid = b.finterid), '')
|| coalesce((select string_agg(E'\n' || otherin_line_text(e), '' order by e.forderid, e.fentryid)
             from (%1) e), ''))SQL";

const char* const kCurrentLines =
    "select c.* from icstockbillentry c where c.finterid = b.finterid";
const char* const kWithoutNew =
    " and not exists (select 1 from new_rows n where n.finterid = c.finterid and"
    " n.fentryid = c.fentryid)";
const char* const kOldLines = " union all select o.* from old_rows o where o.finterid = b.finterid";

// A line statement's bills that the transaction has not written yet get
// their row, with the state before; the others have theirs already.
const char* const kLinesNote = R"SQL(
        insert into otherin_history (ftxid, fkind, finterid, fbillno, fop, frole, fuserid,
                                     fbefore)
            select tx, 'bill', b.finterid, coalesce(otherin_bill_no(b.finterid), ''),
                   otherin_lines_label(b.finterid), session_user, writer, %2
            from (select distinct finterid from %1) b
            where not exists (select 1 from otherin_history h where h.ftxid = tx
                              and h.fkind = 'bill' and h.finterid = b.finterid);
        get diagnostics made = row_count;)SQL";

// A header statement's bills: the rows the transaction has get the
// statement's operation added, the others are made.
const char* const kHeadNote = R"SQL(
        with written as (%1),
        merged as (
            update otherin_history h
               set fop = otherin_merge_op(h.fop, w.label),
                   fbefore = case when h.fop in ('记账', '冲销记账')
                                       and otherin_content_op(w.label)
                                  then w.before else h.fbefore end
              from written w
             where w.label not in ('记账', '冲销记账') and h.ftxid = tx and h.fkind = 'bill'
               and h.finterid = w.finterid and otherin_merge_op(h.fop, w.label) <> h.fop)
        insert into otherin_history (ftxid, fkind, finterid, fbillno, fop, frole, fuserid,
                                     fbefore)
            select tx, 'bill', w.finterid, w.fbillno, w.label, session_user, writer, w.before
            from written w
            where (not trusted or w.label not in ('记账', '冲销记账'))
              and not exists (select 1 from otherin_history h where h.ftxid = tx
                              and h.fkind = 'bill' and h.finterid = w.finterid);
        get diagnostics made = row_count;)SQL";

// One function for the six statement triggers of the bills and their lines;
// set-based, so a statement on two thousand bills costs one pass.
const char* const kBillTrigger = R"SQL(
create or replace function otherin_bill_history() returns trigger language plpgsql
security definer set search_path = %1, pg_temp as $f$
declare
    tx bigint := txid_current();
    writer integer := coalesce((select fuserid from tblUser where frolename = session_user), 0);
    -- A posting alone is recorded when a clerk or administrator makes it; the
    -- owner's own sessions (a copy, a repair) post as part of their work.
    trusted boolean := otherin_session_trusted();
    made bigint := 0;
begin
    if tg_table_name = 'icstockbill' then
        if tg_op = 'INSERT' then
%2
        elsif tg_op = 'UPDATE' then
            -- An owner's posting writes only markers: nothing to record. The
            -- posting says so; anyone else saying it is not trusted anyway.
            if trusted and current_setting('otherin.marking', true) = 'on' then
                return null;
            end if;
%3
        else
%4
        end if;
    elsif tg_op = 'INSERT' then
%5
    elsif tg_op = 'UPDATE' then
%6
    else
%7
    end if;
    if made > 0 then
        insert into otherin_history_open (ftxid) values (tx) on conflict do nothing;
    end if;
    return null;
end
$f$)SQL";

// The rows each header statement writes: bill, number, operation, and the
// state before where the operation changes what the bill holds.
const char* const kInsertedHeads =
    "select n.finterid, n.fbillno, case when coalesce(n.frscinterid, 0) <> 0 then '拆分' else "
    "'新增' end as label, ''::text as before from new_rows n";
const char* const kUpdatedHeads =
    "select n.finterid, n.fbillno, l.label, case when otherin_content_op(l.label) then "
    "otherin_head_text(o) || otherin_lines_text(n.finterid) else '' end as before from new_rows "
    "n join old_rows o on o.finterid = n.finterid cross join lateral (select %1 as label) l "
    "where not (trusted and o.fstockposted <> n.fstockposted and o.fversion = n.fversion)";
const char* const kDeletedHeads =
    "select o.finterid, o.fbillno, case when coalesce(o.frscinterid, 0) <> 0 and "
    "coalesce(o.fstatus, 0) = 1 then '还原' else '删除' end as label, otherin_head_text(o) || "
    "otherin_lines_text(o.finterid) as before from old_rows o";

// Small look-ups of the trigger; reads only, so anyone may call them.
const char* const kLookUps = R"SQL(
create or replace function otherin_bill_no(bill_id integer) returns text
language sql stable set search_path = %1, pg_temp as $f$
    select fbillno from icstockbill where finterid = bill_id
$f$;
create or replace function otherin_lines_label(bill_id integer) returns text
language sql stable set search_path = %1, pg_temp as $f$
    select case when exists (select 1 from icstockbill where finterid = bill_id
                             and (coalesce(fstatus, 0) = 1 or coalesce(fcancellation, 0) <> 0))
                then '修改单价' else '修改' end
$f$)SQL";

// An administrative table's statement: its old and new rows as JSON lines,
// added to the transaction's row of the table.
const char* const kAdminTrigger = R"SQL(
create or replace function otherin_admin_history() returns trigger language plpgsql
security definer set search_path = %1, pg_temp as $f$
declare
    tx bigint := txid_current();
    before text := '';
    after text := '';
    label text;
    writer integer;
begin
    if tg_op in ('UPDATE', 'DELETE') then
        select coalesce(string_agg((to_jsonb(o) - 'fpasswordhash' - 'fpassword')::text, E'\n'),
                        '') into before from old_rows o;
    end if;
    if tg_op in ('UPDATE', 'INSERT') then
        select coalesce(string_agg((to_jsonb(n) - 'fpasswordhash' - 'fpassword')::text, E'\n'),
                        '') into after from new_rows n;
    end if;
    if before = '' and after = '' then
        return null;
    end if;
    label := case tg_op when 'INSERT' then '新增' when 'UPDATE' then '修改' else '删除' end;
    select fuserid into writer from tblUser where frolename = session_user;
    insert into otherin_history as h (ftxid, fkind, finterid, fop, frole, fuserid, fbefore,
                                      fafter)
        values (tx, tg_table_name, 0, label, session_user, coalesce(writer, 0), before, after)
    on conflict (ftxid, fkind, finterid) where ftxid <> 0 do update set
        fop = case when position(excluded.fop in h.fop) > 0 then h.fop
                   else h.fop || '、' || excluded.fop end,
        fbefore = concat_ws(E'\n', nullif(h.fbefore, ''), nullif(excluded.fbefore, '')),
        fafter = concat_ws(E'\n', nullif(h.fafter, ''), nullif(excluded.fafter, ''));
    return null;
end
$f$)SQL";

// At commit, once per transaction that wrote a bill: the state it left, for
// the bills whose operation changed what they hold (a deleted bill has none).
const char* const kFinishTrigger = R"SQL(
create or replace function otherin_history_finish() returns trigger language plpgsql
security definer set search_path = %1, pg_temp as $f$
begin
    update otherin_history set fafter = otherin_bill_text(finterid),
           fbillno = coalesce(otherin_bill_no(finterid), fbillno)
        where ftxid = new.ftxid and fkind = 'bill' and otherin_content_op(fop);
    delete from otherin_history_open where ftxid = new.ftxid;
    return null;
end
$f$)SQL";

void addServerHistory(Connection& c) {
    const QString schema = serverSchema(c);
    c.exec(QStringLiteral(
        "create table otherin_history (fid bigint generated by default as identity primary key,"
        " ftxid bigint not null, fkind text not null, finterid integer not null default 0,"
        " fbillno text not null default '', fop text not null default '', frole text not null"
        " default '', fuserid integer not null default 0, ftime timestamptz not null default"
        " now(), fbefore text not null default '', fafter text not null default '')"));
    c.exec(QStringLiteral(
        "create unique index ux_otherin_history_tx on otherin_history (ftxid, fkind, finterid)"
        " where ftxid <> 0"));
    c.exec(QStringLiteral(
        "create index ix_otherin_history_kind on otherin_history (fkind, finterid, fid)"));
    for (const QString& statement : splitScript(QString::fromUtf8(kTextFunctions).arg(schema)))
        c.exec(statement);
    for (const QString& statement : splitScript(QString::fromUtf8(kLookUps).arg(schema)))
        c.exec(statement);
    // The transactions that wrote bills and still owe the state they leave.
    c.exec(QStringLiteral("create table otherin_history_open (ftxid bigint primary key)"));
    c.exec(QString::fromUtf8(kMergeFunction));
    c.exec(QString::fromUtf8(kContentFunction));
    c.exec(QString::fromUtf8(kNoteFunction).arg(schema));
    const QString before = QString::fromUtf8(kLinesBefore);
    const QString current = QString::fromLatin1(kCurrentLines);
    const QString withoutNew = QString::fromLatin1(kWithoutNew);
    const QString old = QString::fromLatin1(kOldLines);
    const QString head = QString::fromUtf8(kHeadNote);
    const QString lines = QString::fromUtf8(kLinesNote);
    const QString newRows = QStringLiteral("new_rows");
    c.exec(QString::fromUtf8(kBillTrigger)
               .arg(schema, head.arg(QString::fromUtf8(kInsertedHeads)),
                    head.arg(QString::fromUtf8(kUpdatedHeads).arg(QString::fromUtf8(kHeadLabel))),
                    head.arg(QString::fromUtf8(kDeletedHeads)),
                    lines.arg(newRows, before.arg(current + withoutNew)),
                    lines.arg(newRows, before.arg(current + withoutNew + old)),
                    lines.arg(QStringLiteral("old_rows"), before.arg(current + old))));
    c.exec(QString::fromUtf8(kAdminTrigger).arg(schema));
    c.exec(QString::fromUtf8(kFinishTrigger).arg(schema));
    c.exec(QStringLiteral(
        "create constraint trigger tr_otherin_history_finish after insert on otherin_history_open"
        " deferrable initially deferred for each row execute function otherin_history_finish()"));
    const auto statementTriggers = [&c](const QString& table, const QString& function) {
        const struct {
            const char* event;
            const char* referencing;
        } events[] = {{"insert", "new table as new_rows"},
                      {"update", "old table as old_rows new table as new_rows"},
                      {"delete", "old table as old_rows"}};
        for (const auto& e : events) {
            c.exec(QStringLiteral("create trigger tr_%1_history_%2 after %2 on %1 referencing %3"
                                  " for each statement execute function %4()")
                       .arg(table, QLatin1String(e.event), QLatin1String(e.referencing), function));
        }
    };
    statementTriggers(QStringLiteral("icstockbill"), QStringLiteral("otherin_bill_history"));
    statementTriggers(QStringLiteral("icstockbillentry"), QStringLiteral("otherin_bill_history"));
    for (const QString& table : historyAdministrativeTables())
        statementTriggers(table, QStringLiteral("otherin_admin_history"));
    // The owner's default grants gave the clerks writes on the new table.
    if (const auto roles = serverRoles(c)) protectHistory(c, *roles);
}

// A file's administrative tables record each changed row by a trigger of
// their own (SQLite has no statement triggers); the bills are the module's.
void addFileHistory(Connection& c) {
    c.exec(QStringLiteral(
        "create table otherin_history (fid integer primary key autoincrement, ftxid integer not"
        " null default 0, fkind text not null, finterid integer not null default 0, fbillno text"
        " not null default '', fop text not null default '', frole text not null default '',"
        " fuserid integer not null default 0, ftime text not null default"
        " (strftime('%Y-%m-%dT%H:%M:%SZ','now')), fbefore text not null default '', fafter"
        " text not null default '')"));
    c.exec(QStringLiteral(
        "create index ix_otherin_history_kind on otherin_history (fkind, finterid, fid)"));
    for (const QString& table : historyAdministrativeTables()) {
        QStringList pairsOld, pairsNew;
        Query q = c.prepare(QStringLiteral("select name from pragma_table_info(?)"));
        q.bind(table).exec();
        while (q.next()) {
            const QString column = q.value(0).toString();
            if (column.compare(QLatin1String("fpasswordhash"), Qt::CaseInsensitive) == 0 ||
                column.compare(QLatin1String("fpassword"), Qt::CaseInsensitive) == 0)
                continue;
            pairsOld << QStringLiteral("'%1',old.%1").arg(column);
            pairsNew << QStringLiteral("'%1',new.%1").arg(column);
        }
        const QString lower = table.toLower();
        const QString insert = QStringLiteral(
            "insert into otherin_history (fkind, fop, fbefore, fafter) values ('%1', '%2', %3, "
            "%4);");
        const QString oldJson = QStringLiteral("json_object(%1)").arg(pairsOld.join(u','));
        const QString newJson = QStringLiteral("json_object(%1)").arg(pairsNew.join(u','));
        c.exec(QStringLiteral("create trigger tr_%1_history_insert after insert on %2 begin %3 end")
                   .arg(lower, table,
                        insert.arg(lower, QStringLiteral("新增"), QStringLiteral("''"), newJson)));
        c.exec(QStringLiteral("create trigger tr_%1_history_update after update on %2 begin %3 end")
                   .arg(lower, table, insert.arg(lower, QStringLiteral("修改"), oldJson, newJson)));
        c.exec(QStringLiteral("create trigger tr_%1_history_delete after delete on %2 begin %3 end")
                   .arg(lower, table,
                        insert.arg(lower, QStringLiteral("删除"), oldJson, QStringLiteral("''"))));
    }
}

}  // namespace

QStringList historyAdministrativeTables() {
    QStringList tables;
    for (const char* t : kAdministrativeTables) tables << QString::fromLatin1(t);
    return tables;
}

void addChangeHistory(Connection& connection) {
    if (connection.dialect().isServer()) {
        addServerHistory(connection);
    } else {
        addFileHistory(connection);
    }
}

}  // namespace otherin::db::schema
