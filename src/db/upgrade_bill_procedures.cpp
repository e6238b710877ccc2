#include "db/connection.h"
#include "db/upgrade_bill_rules.h"
#include "db/upgrade_numbering.h"

namespace otherin::db::schema {

namespace {

// The split: the same checks, texts and arithmetic as the module's own in a
// database file. The new bill's id and number were issued to the caller in
// this transaction; an id the counter never reached is refused.
const char* const kSplit = R"SQL(
declare
    h icstockbill;
    l icstockbillentry;
    entries text[];
    line_ids integer[];
    line_qty numeric[];
    line_amount numeric[];
    cut_lines integer[] := '{}';
    cut_qty numeric[] := '{}';
    cut_amount numeric[] := '{}';
    n integer;
    i integer;
    k integer;
    v numeric;
    whole numeric;
    q numeric;
begin
    done := 0;
    perform otherin_require_right('13');
    select * into h from icstockbill where finterid = source_id for update;
    if not found then
        info := '该单据不存在,不能进行拆分!';
        return;
    elsif coalesce(h.fstatus, 0) <> 1 then
        info := '该单据未审核,不能进行拆分!';
        return;
    elsif coalesce(h.fcancellation, 0) <> 0 then
        info := '该单据已经作废,不能进行拆分!';
        return;
    elsif coalesce(h.frscinterid, 0) <> 0 then
        info := '该单据为拆分单据,不能进行再拆分!';
        return;
    elsif coalesce(h.fhookinterid, 0) <> 0 then
        info := '该单据已经钩稽,不能进行再拆分!';
        return;
    elsif coalesce(h.fhxid, 0) <> 0 then
        info := '该单据已经核销,不能进行再拆分!';
        return;
    end if;
    if new_id > (select coalesce(max(fmaxnum), 0) from tblmaxNum
                 where lower(ftablename) = 'icstockbill') then
        raise exception '新单据内码 % 尚未发放', new_id using errcode = 'OI001';
    end if;
    select array_agg(fentryid order by forderid, fentryid), array_agg(fqty order by forderid, fentryid),
           array_agg(famount order by forderid, fentryid)
        into line_ids, line_qty, line_amount
        from icstockbillentry where finterid = source_id;
    n := coalesce(cardinality(line_ids), 0);
    -- The editor closes every entry with a comma; the final one ends the list.
    entries := string_to_array(coalesce(amounts, ''), ',');
    if cardinality(entries) > 0 and trim(entries[cardinality(entries)]) = '' then
        entries := entries[1:cardinality(entries) - 1];
    end if;
    if cardinality(entries) <> n then
        info := format('拆分数量个数(%s)与单据分录数(%s)不一致,不能进行拆分!',
                       cardinality(entries), n);
        return;
    end if;
    for i in 1 .. n loop
        begin
            v := trim(entries[i])::numeric;
        exception when others then
            v := 'NaN';
        end;
        if v = 'NaN'::numeric or v in ('Infinity'::numeric, '-Infinity'::numeric) then
            info := format('第%s行拆分数量"%s"不是数字,不能进行拆分!', i, entries[i]);
            return;
        elsif v < 0 then
            info := format('第%s行拆分数量不能为负数!', i);
            return;
        end if;
        whole := abs(line_qty[i]);
        q := round(v, 6);
        if q > whole then
            info := format('第%s行拆分数量不能大于原有数量!', i);
            return;
        end if;
        if q <> 0 then
            cut_lines := cut_lines || i;
            cut_qty := cut_qty || case when line_qty[i] < 0 then -q else q end;
            -- In proportion, to whole cents; a whole line takes its whole amount.
            cut_amount := cut_amount || case when q = whole then line_amount[i]
                                             else round(line_amount[i] * q / whole, 2) end;
        end if;
    end loop;
    if cardinality(cut_lines) = 0 then
        info := '拆单数量不能全都为零!';
        return;
    end if;
    perform otherin_note_bill(txid_current(), source_id, h.fbillno, '拆分',
                              otherin_bill_text(source_id));
    insert into icstockbill select * from jsonb_populate_record(null::icstockbill,
        to_jsonb(h) || jsonb_build_object('finterid', new_id, 'fbillno', new_number, 'fstatus', 1,
                                          'fyear', new_year, 'fperiod', new_period,
                                          'frscinterid', source_id, 'fhxid', 0,
                                          'fhookinterid', 0, 'fversion', 0));
    update icstockbill set fversion = fversion + 1, fmodifierid = user_id, fmodifytime = now()
        where finterid in (source_id, new_id);
    for k in 1 .. cardinality(cut_lines) loop
        i := cut_lines[k];
        select * into l from icstockbillentry where finterid = source_id and fentryid = line_ids[i];
        insert into icstockbillentry select * from jsonb_populate_record(null::icstockbillentry,
            to_jsonb(l) || jsonb_build_object('finterid', new_id, 'fentryid', k, 'forderid', k,
                                              'fqty', cut_qty[k], 'famount', cut_amount[k],
                                              'fsrcentryid', line_ids[i]));
        update icstockbillentry set fqty = line_qty[i] - cut_qty[k],
                                    famount = line_amount[i] - cut_amount[k]
            where finterid = source_id and fentryid = line_ids[i];
    end loop;
    done := 1;
    info := '拆分成功,新单据编号为:' || new_number;
end)SQL";

const char* const kRestore = R"SQL(
declare
    h icstockbill;
    src icstockbill;
    s icstockbill;
    splits icstockbill[] := '{}';
begin
    done := 0;
    perform otherin_require_right('14');
    select * into h from icstockbill where finterid = bill_id for update;
    if not found then
        info := '该单据不存在,不能进行还原!';
        return;
    end if;
    if coalesce(h.frscinterid, 0) <> 0 then
        splits := array[h];
    else
        for s in select * from icstockbill where frscinterid = bill_id order by finterid
                 for update loop
            splits := splits || s;
        end loop;
    end if;
    if cardinality(splits) = 0 then
        info := '该单据不是拆分单据,不能进行还原!';
        return;
    end if;
    select * into src from icstockbill where finterid = splits[1].frscinterid for update;
    if not found then
        info := '源单据不存在,不能进行还原!';
        return;
    elsif coalesce(src.fhxid, 0) <> 0 then
        info := '编号为:' || src.fbillno || '的源单据已经核销,不能进行还原!';
        return;
    elsif coalesce(src.fhookinterid, 0) <> 0 then
        info := '编号为:' || src.fbillno || '的源单据已经钩稽,不能进行还原!';
        return;
    end if;
    foreach s in array splits loop
        if coalesce(s.fhxid, 0) <> 0 then
            info := '编号为:' || s.fbillno || '的单据已经核销,不能进行还原!';
            return;
        elsif coalesce(s.fhookinterid, 0) <> 0 then
            info := '编号为:' || s.fbillno || '的单据已经钩稽,不能进行还原!';
            return;
        elsif exists (select 1 from icstockbillentry e where e.finterid = s.finterid
                      and not exists (select 1 from icstockbillentry o
                                      where o.finterid = s.frscinterid
                                        and o.fentryid = e.fsrcentryid)) then
            info := '编号为:' || s.fbillno || '的单据找不到源单据分录,不能进行还原!';
            return;
        end if;
    end loop;
    perform otherin_note_bill(txid_current(), src.finterid, src.fbillno, '还原',
                              otherin_bill_text(src.finterid));
    foreach s in array splits loop
        perform otherin_note_bill(txid_current(), s.finterid, s.fbillno, '还原',
                                  otherin_bill_text(s.finterid));
        update icstockbillentry o set fqty = o.fqty + e.fqty, famount = o.famount + e.famount
            from icstockbillentry e
            where e.finterid = s.finterid and o.finterid = s.frscinterid
              and o.fentryid = e.fsrcentryid;
        perform otherin_free_number(s.ftrantype, s.fbillno);
        delete from icstockbillentry where finterid = s.finterid;
        delete from icstockbill where finterid = s.finterid;
        delete from tblBillDeleted where finterid = s.finterid;
        insert into tblBillDeleted (finterid, fbillno, ftrantype, fuserid, fdeletetime)
            values (s.finterid, s.fbillno, s.ftrantype, user_id, now());
    end loop;
    update icstockbill set fversion = fversion + 1, fmodifierid = user_id, fmodifytime = now()
        where finterid = src.finterid;
    done := 1;
    info := '还原成功!';
end)SQL";

const char* const kWriteOff = R"SQL(
declare
    h icstockbill;
    id integer;
    r record;
    item text;
    new_hxid bigint;
begin
    done := 0;
    perform otherin_require_right('11');
    if coalesce(cardinality(ids), 0) < 2 then
        info := '必须选定两张或以上的单据才能进行核销!';
        return;
    end if;
    perform 1 from icstockbill where finterid = any(ids) order by finterid for update;
    foreach id in array ids loop
        select * into h from icstockbill where finterid = id;
        if not found then
            info := format('内码为%s的单据不存在,不能进行核销!', id);
            return;
        elsif coalesce(h.fstatus, 0) <> 1 then
            info := '编号为:' || h.fbillno || '的单据未审核,不能进行核销!';
            return;
        elsif coalesce(h.fcancellation, 0) <> 0 then
            info := '编号为:' || h.fbillno || '的单据已经作废,不能进行核销!';
            return;
        elsif coalesce(h.fhxid, 0) <> 0 then
            info := '编号为:' || h.fbillno || '的单据已经核销,不能再次核销!';
            return;
        end if;
    end loop;
    for r in select b.fitemid, coalesce(b.fbatchno, '') as batch, sum(b.fqty) as qty
             from icstockbillentry b where b.finterid = any(ids)
             group by b.fitemid, b.funitid, coalesce(b.fbatchno, ''), coalesce(b.fstockplace, 0)
             order by b.fitemid, b.funitid, coalesce(b.fbatchno, ''),
                      coalesce(b.fstockplace, 0) loop
        if round(r.qty, 6) <> 0 then
            item := null;
            select coalesce(fNumber, '') into item from icitem where fitemid = r.fitemid;
            item := coalesce(item, r.fitemid::text);
            if r.batch <> '' then
                item := item || '(批号' || r.batch || ')';
            end if;
            info := '物料' || item || '的数量不能相互抵销,不能进行核销!';
            return;
        end if;
    end loop;
    new_hxid := otherin_next_id('hxid');
    update icstockbill set fhxid = new_hxid, fversion = fversion + 1, fmodifierid = user_id,
                           fmodifytime = now()
        where finterid = any(ids);
    done := 1;
    info := '核销成功!';
end)SQL";

const char* const kUndoWriteOff = R"SQL(
declare
    h icstockbill;
begin
    done := 0;
    perform otherin_require_right('12');
    select * into h from icstockbill where finterid = bill_id for update;
    if not found then
        info := '该单据不存在,不能进行反核销!';
        return;
    elsif coalesce(h.fhxid, 0) = 0 then
        info := '编号为:' || h.fbillno || '的单据未核销,不能进行反核销!';
        return;
    end if;
    update icstockbill set fhxid = 0, fversion = fversion + 1, fmodifierid = user_id,
                           fmodifytime = now()
        where fhxid = h.fhxid;
    done := 1;
    info := '反核销成功!';
end)SQL";

}  // namespace

void addBillProcedures(Connection& connection) {
    const QList<std::pair<QString, const char*>> functions = {
        {QStringLiteral("otherin_split(source_id integer, amounts text, new_id integer, "
                        "new_number text, new_year integer, new_period integer, user_id integer, "
                        "out done integer, out info text)"),
         kSplit},
        {QStringLiteral("otherin_restore(bill_id integer, user_id integer, out done integer, "
                        "out info text)"),
         kRestore},
        {QStringLiteral("otherin_write_off(ids integer[], user_id integer, out done integer, "
                        "out info text)"),
         kWriteOff},
        {QStringLiteral("otherin_undo_write_off(bill_id integer, user_id integer, out done "
                        "integer, out info text)"),
         kUndoWriteOff},
    };
    for (const auto& [signature, body] : functions)
        addDefinerFunction(connection, signature, QString::fromUtf8(body));
}

}  // namespace otherin::db::schema
