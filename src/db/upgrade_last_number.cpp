#include "db/upgrade_last_number.h"

#include "db/connection.h"
#include "db/upgrade_numbering.h"
#include "db/upgrade_stock_posting.h"

namespace otherin::db::schema {

namespace {

// Refuses a bill this transaction did not make or that has its number.
const char* const kNewBillCheck = R"SQL(
    if not otherin_bill_is_new(bill_id)
       or not exists (select 1 from icstockbill where finterid = bill_id and fbillno = '') then
        raise exception '单据(内码%)不是本次新增且尚无编号的单据,不能取号', bill_id
            using errcode = 'OI001';
    end if;)SQL";

// The number as the module formats it: the prefix, then the counter padded
// with zeros to `digits` (never cut); a type's very first number is the
// prefix's first. A number in use is passed over and no longer offered as
// freed.
const char* const kTakeNumber = R"SQL(
    loop
        select * into step from otherin_advance_counter(type_id, default_prefix);
        if step.counter > 2147483647 then
            raise exception '单据编号计数器 已达上限 2147483647,不能再编号' using errcode = 'OI001';
        end if;
        number := case when step.created then default_prefix || '0000001'
                       else step.prefix || lpad(step.counter::text,
                                                greatest(coalesce(digits, step.digits),
                                                         length(step.counter::text)), '0')
                  end;
        exit when not exists (select 1 from icstockbill where ftrantype = type_id
                              and fbillno = number and fbillno <> '');
    end loop;
    delete from tblBillNoAdd where fTypeId = type_id and fbillnumber = number;)SQL";

const char* const kNumberBody = R"SQL(
declare
    step record;
    number text;
begin
%1
%2
    update icstockbill set fbillno = number where finterid = bill_id;
    return number;
end)SQL";

// The save's end in one call: the new bill posted as otherin_post would post
// it (not voided; audited when the database posts at audit), the ledger rows
// it leaves empty dropped, and then the number, written with the marker in
// one write of the header.
const char* const kFinishBody = R"SQL(
declare
    step record;
    number text;
    posts boolean := false;
begin
%1
    if post then
        select b.fstockposted = 0 and coalesce(b.fcancellation, 0) = 0
               and (coalesce((select max(fvalue) from tblSystemSwitch
                              where fname = 'gIsCheckUpdate'), 0) <> 1
                    or coalesce(b.fstatus, 0) >= 1)
            into posts from icstockbill b where b.finterid = bill_id;
    end if;
    if posts then
%3;
        delete from tblTimeStock t using (
            select distinct a.fstockid1 as fstockid, b.fitemid, b.funitid,
                   coalesce(b.fbatchno, '') as fbatchno, coalesce(b.fstockplace, 0) as fStockPlace
            from icstockbill a join icstockbillentry b on a.finterid = b.finterid
            where a.finterid = bill_id) k
        where t.fstockid = k.fstockid and t.fitemid = k.fitemid and t.funitid = k.funitid
            and t.fbatchno = k.fbatchno and t.fStockPlace = k.fStockPlace
            and t.fqty = 0 and t.famount = 0;
    end if;
%2
    update icstockbill set fbillno = number,
           fstockposted = case when posts then 1 else fstockposted end
     where finterid = bill_id;
    return number;
end)SQL";

}  // namespace

void addLastNumbering(Connection& connection) {
    if (!connection.dialect().isServer()) return;
    addDefinerFunction(connection,
                       QStringLiteral("otherin_number_bill(bill_id integer, type_id integer, "
                                      "default_prefix text, digits integer) returns text"),
                       QString::fromUtf8(kNumberBody)
                           .arg(QString::fromUtf8(kNewBillCheck), QString::fromUtf8(kTakeNumber)));
}

void addBillFinish(Connection& connection) {
    if (!connection.dialect().isServer()) return;
    // The save's last call replaces the numbering alone; typed and freed
    // numbers are issued by the module inside the save's transaction.
    connection.exec(QStringLiteral(
        "drop function if exists otherin_number_bill(integer, integer, text, integer)"));
    addDefinerFunction(
        connection,
        QStringLiteral("otherin_finish_bill(bill_id integer, type_id integer, default_prefix "
                       "text, digits integer, post boolean) returns text"),
        QString::fromUtf8(kFinishBody)
            .arg(QString::fromUtf8(kNewBillCheck), QString::fromUtf8(kTakeNumber),
                 ledgerMoveSql(QStringLiteral("array[bill_id]"), QStringLiteral("1"))));
}

}  // namespace otherin::db::schema
