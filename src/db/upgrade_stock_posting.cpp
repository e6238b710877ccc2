#include "db/upgrade_stock_posting.h"

#include "db/connection.h"
#include "db/upgrade_numbering.h"

namespace otherin::db::schema {

namespace {

void markPostedBills(Connection& connection) {
    connection.exec(QStringLiteral(
        "alter table icstockbill add column fstockposted integer not null default 0"));
    const int postingSwitch =
        connection
            .scalar(QStringLiteral(
                "select coalesce(max(fvalue),0) from tblSystemSwitch where fname='gIsCheckUpdate'"))
            .toInt();
    connection.exec(
        postingSwitch == 1
            ? QStringLiteral("update icstockbill set fstockposted=1 where coalesce(fstatus,0)>=1")
            : QStringLiteral(
                  "update icstockbill set fstockposted=1 where coalesce(fcancellation,0)=0"));
}

// The lines of the chosen bills summed per ledger key, signed, and added to
// the ledger in key order (two postings sharing rows never deadlock).
const char* const kPostBody = R"SQL(
declare
    posting_switch integer;
    chosen integer[];
begin
    if direction not in (1, -1) then
        raise exception '记账方向只能是 1 或 -1';
    end if;
    select coalesce(max(fvalue), 0) into posting_switch from tblSystemSwitch
        where fname = 'gIsCheckUpdate';
    select array_agg(finterid) into chosen from (
        select finterid from icstockbill where finterid = any(ids)
            and case when direction = 1 then fstockposted = 0
                     and coalesce(fcancellation, 0) = 0
                     and (posting_switch <> 1 or coalesce(fstatus, 0) >= 1)
                else fstockposted = 1 and coalesce(fstatus, 0) = 0 end
            order by finterid for update) s;
    if chosen is null then
        return;
    end if;
    update icstockbill set fstockposted = case when direction = 1 then 1 else 0 end
        where finterid = any(chosen);
    insert into tblTimeStock (fstockid, fitemid, funitid, fbatchno, fStockPlace, fqty, famount)
        select a.fstockid1, b.fitemid, b.funitid, coalesce(b.fbatchno, ''),
               coalesce(b.fstockplace, 0), round(direction * sum(b.fqty), 6),
               round(direction * sum(b.famount), 6)
        from icstockbill a join icstockbillentry b on a.finterid = b.finterid
        where a.finterid = any(chosen)
        group by 1, 2, 3, 4, 5 order by 1, 2, 3, 4, 5
    on conflict (fstockid, fitemid, funitid, fbatchno, fStockPlace) do update
        set fqty = round(tblTimeStock.fqty + excluded.fqty, 6),
            famount = round(tblTimeStock.famount + excluded.famount, 6);
end)SQL";

const char* const kCleanBody = R"SQL(
begin
    delete from tblTimeStock t using (
        select distinct a.fstockid1 as fstockid, b.fitemid, b.funitid,
               coalesce(b.fbatchno, '') as fbatchno, coalesce(b.fstockplace, 0) as fStockPlace
        from icstockbill a join icstockbillentry b on a.finterid = b.finterid
        where a.finterid = any(ids)) k
    where t.fstockid = k.fstockid and t.fitemid = k.fitemid and t.funitid = k.funitid
        and t.fbatchno = k.fbatchno and t.fStockPlace = k.fStockPlace
        and t.fqty = 0 and t.famount = 0;
end)SQL";

const char* const kPriceBody = R"SQL(
declare
    bill record;
    line record;
begin
    select finterid, fstockid1, fstockposted into bill from icstockbill
        where finterid = bill_id for update;
    if not found then
        return;
    end if;
    select fitemid, funitid, coalesce(fbatchno, '') as batch, coalesce(fstockplace, 0) as place,
           famount into line
        from icstockbillentry where finterid = bill_id and fentryid = entry_id for update;
    if not found then
        return;
    end if;
    if bill.fstockposted = 1 and line.famount is distinct from new_amount then
        insert into tblTimeStock (fstockid, fitemid, funitid, fbatchno, fStockPlace, fqty, famount)
            values (bill.fstockid1, line.fitemid, line.funitid, line.batch, line.place, 0,
                    round(new_amount - line.famount, 6))
        on conflict (fstockid, fitemid, funitid, fbatchno, fStockPlace) do update
            set famount = round(tblTimeStock.famount + excluded.famount, 6);
    end if;
    update icstockbillentry set fPrice = new_price, famount = new_amount
        where finterid = bill_id and fentryid = entry_id;
end)SQL";

}  // namespace

void addStockPosting(Connection& connection) {
    markPostedBills(connection);
    if (!connection.dialect().isServer()) return;
    addDefinerFunction(
        connection, QStringLiteral("otherin_post(ids integer[], direction integer) returns void"),
        QString::fromUtf8(kPostBody));
    addDefinerFunction(connection,
                       QStringLiteral("otherin_clean_ledger(ids integer[]) returns void"),
                       QString::fromUtf8(kCleanBody));
    addDefinerFunction(connection,
                       QStringLiteral("otherin_set_price(bill_id integer, entry_id integer, "
                                      "new_price numeric, new_amount numeric) returns void"),
                       QString::fromUtf8(kPriceBody));
}

}  // namespace otherin::db::schema
