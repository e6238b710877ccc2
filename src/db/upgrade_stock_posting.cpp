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

// The lines of the chosen bills (%1, an id array) summed per ledger key,
// signed by %2, and added to the ledger in key order (two postings sharing
// rows never deadlock). Summed first and sorted after, so only the keys are
// sorted, not every line.
const char* const kLedgerMove = R"SQL(
    insert into tblTimeStock (fstockid, fitemid, funitid, fbatchno, fStockPlace, fqty, famount)
        select * from (
            select a.fstockid1, b.fitemid, b.funitid, coalesce(b.fbatchno, ''),
                   coalesce(b.fstockplace, 0), round(%2 * sum(b.fqty), 6),
                   round(%2 * sum(b.famount), 6)
            from icstockbill a join icstockbillentry b on a.finterid = b.finterid
            where a.finterid = any(%1)
            group by 1, 2, 3, 4, 5) s
        order by 1, 2, 3, 4, 5
    on conflict (fstockid, fitemid, funitid, fbatchno, fStockPlace) do update
        set fqty = round(tblTimeStock.fqty + excluded.fqty, 6),
            famount = round(tblTimeStock.famount + excluded.famount, 6))SQL";

}  // namespace

QString ledgerMoveSql(const QString& ids, const QString& direction) {
    return QString::fromUtf8(kLedgerMove).arg(ids, direction);
}

namespace {

// Moves the ledger for the bills in `chosen` by `direction`. A plan kept for
// the function guesses a handful of bills and walks the lines bill by bill;
// a long list is planned afresh for its length, which joins all lines at once.
QString ledgerMove() {
    return QStringLiteral(R"SQL(
    if cardinality(chosen) > 50 then
        execute $m$%1$m$ using chosen, direction;
    elsif chosen is not null then
%2;
    end if;)SQL")
        .arg(ledgerMoveSql(QStringLiteral("$1"), QStringLiteral("$2")),
             ledgerMoveSql(QStringLiteral("chosen"), QStringLiteral("direction")));
}

// The marker's write takes the bills' rows and names the bills that move.
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
    -- Only markers change: an owner's session has nothing to record of it.
    perform set_config('otherin.marking', 'on', true);
    with marked as (
        update icstockbill set fstockposted = case when direction = 1 then 1 else 0 end
         where finterid = any(ids)
           and case when direction = 1 then fstockposted = 0
                    and coalesce(fcancellation, 0) = 0
                    and (posting_switch <> 1 or coalesce(fstatus, 0) >= 1)
               else fstockposted = 1 and coalesce(fstatus, 0) = 0 end
        returning finterid)
    select array_agg(finterid) into chosen from marked;
    perform set_config('otherin.marking', '', true);
%1
end)SQL";

// The audit of a selection: one pass writes the state, the version and,
// when the database's switch or the caller posts at audit, the marker, and
// the bills it marked reach the ledger (an audited bill may be posted, as
// otherin_post allows; a caller cannot leave it unposted against the switch).
// A bill posted already (the switch changed since) comes back marked 2 and
// is set back to 1 without being posted again. The pass names the writer and
// the time itself, as the writer trigger would, and says so (otherin.stamped)
// for that trigger to pass over its rows. When it posts, the emptied ledger
// rows among the bills' keys are cleared too.
const char* const kAuditBody = R"SQL(
declare
    touched integer;
    again integer[];
    chosen integer[];
    direction integer := 1;
begin
    perform otherin_require_right('04');
    -- The checker is the login's own user, whoever the caller names (the
    -- caller's user stands only for a login that is no module user).
    user_id := coalesce((select fuserid from tblUser where frolename = session_user), user_id);
    -- Posting at audit by the database's switch posts whatever the caller said.
    post := post or exists (select 1 from tblSystemSwitch where fname = 'gIsCheckUpdate'
                                                          and fvalue = 1);
    perform set_config('otherin.stamped', 'on', true);
    with done as (
        update icstockbill set fchecker = user_id, fstatus = 1, fversion = fversion + 1,
               fmodifierid = user_id, fmodifytime = now(),
               fstockposted = case when post then fstockposted + 1
                                   else fstockposted end
         where finterid = any(ids) and coalesce(fstatus, 0) = 0
           and coalesce(fcancellation, 0) = 0
        returning finterid, fstockposted)
    select count(*), array_agg(finterid) filter (where fstockposted = 2),
           array_agg(finterid) filter (where post and fstockposted = 1)
        into touched, again, chosen from done;
    perform set_config('otherin.stamped', '', true);
%1
    if again is not null then
        update icstockbill set fstockposted = 1 where finterid = any(again);
    end if;
    if post then
        perform otherin_clean_ledger(ids);
    end if;
    return touched;
end)SQL";

}  // namespace

void addAuditFunction(Connection& connection) {
    addDefinerFunction(connection,
                       QStringLiteral("otherin_audit(ids integer[], user_id integer, post boolean) "
                                      "returns integer"),
                       QString::fromUtf8(kAuditBody).arg(ledgerMove()));
}

namespace {

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

// The posting's, the audit's, the clean-up's and the price edit's functions,
// as this version writes them.
void addPostingFunctions(Connection& connection) {
    addDefinerFunction(
        connection, QStringLiteral("otherin_post(ids integer[], direction integer) returns void"),
        QString::fromUtf8(kPostBody).arg(ledgerMove()));
    addAuditFunction(connection);
    addDefinerFunction(connection,
                       QStringLiteral("otherin_clean_ledger(ids integer[]) returns void"),
                       QString::fromUtf8(kCleanBody));
    addDefinerFunction(connection,
                       QStringLiteral("otherin_set_price(bill_id integer, entry_id integer, "
                                      "new_price numeric, new_amount numeric) returns void"),
                       QString::fromUtf8(kPriceBody));
}

}  // namespace

void addStockPosting(Connection& connection) {
    markPostedBills(connection);
    if (!connection.dialect().isServer()) return;
    // The posting's write of the marker alone is no clerk's write of the bill:
    // it keeps the last writer, and costs no trigger call per bill.
    connection.exec(QStringLiteral("drop trigger tr_icstockbill_writer on icstockbill"));
    connection.exec(QStringLiteral(
        "create trigger tr_icstockbill_writer before insert on icstockbill for each row execute "
        "function otherin_bill_writer()"));
    connection.exec(QStringLiteral(
        "create trigger tr_icstockbill_writer_update before update on icstockbill for each row "
        "when (old.fstockposted = new.fstockposted or old.fversion <> new.fversion) execute "
        "function otherin_bill_writer()"));
    addPostingFunctions(connection);
}

void speedUpPosting(Connection& connection) {
    if (!connection.dialect().isServer()) return;
    addPostingFunctions(connection);
    // Room on each page of the bills for new versions of its rows, so an
    // audit's or a posting's write of a selection stays on the pages and
    // leaves the indexes alone (a full page makes every index take the row
    // again). Applies to new pages; existing ones fill up as they are.
    connection.exec(QStringLiteral("alter table icstockbill set (fillfactor = 60)"));
}

}  // namespace otherin::db::schema
