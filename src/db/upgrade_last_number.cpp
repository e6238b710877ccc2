#include "db/upgrade_last_number.h"

#include "db/connection.h"
#include "db/upgrade_numbering.h"

namespace otherin::db::schema {

namespace {

// The number as the module formats it: the prefix, then the counter padded
// with zeros to `digits` (never cut); a type's very first number is the
// prefix's first.
const char* const kNumberBody = R"SQL(
declare
    step record;
    number text;
begin
    if not otherin_bill_is_new(bill_id)
       or not exists (select 1 from icstockbill where finterid = bill_id and fbillno = '') then
        raise exception '单据(内码%)不是本次新增且尚无编号的单据,不能取号', bill_id
            using errcode = 'OI001';
    end if;
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
    delete from tblBillNoAdd where fTypeId = type_id and fbillnumber = number;
    update icstockbill set fbillno = number where finterid = bill_id;
    return number;
end)SQL";

}  // namespace

void addLastNumbering(Connection& connection) {
    if (!connection.dialect().isServer()) return;
    addDefinerFunction(connection,
                       QStringLiteral("otherin_number_bill(bill_id integer, type_id integer, "
                                      "default_prefix text, digits integer) returns text"),
                       QString::fromUtf8(kNumberBody));
}

}  // namespace otherin::db::schema
