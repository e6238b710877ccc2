#include "db/upgrade_numbering.h"

#include "db/connection.h"
#include "db/schema.h"

namespace otherin::db::schema {

void addDefinerFunction(Connection& connection, const QString& signature, const QString& body) {
    connection.exec(QStringLiteral("create or replace function %1 language plpgsql security "
                                   "definer set search_path = %2, pg_temp as $f$%3$f$")
                        .arg(signature, serverSchema(connection), body));
    const QString name = signature.left(signature.indexOf(u'('));
    connection.exec(QStringLiteral("revoke all on function %1 from public").arg(name));
}

void addNumberingFunctions(Connection& connection) {
    if (!connection.dialect().isServer()) return;
    // Each function: its signature and its body, run as the owner.
    const QList<std::pair<QString, QString>> functions = {
        {QStringLiteral("otherin_next_id(table_name text) returns bigint"), QStringLiteral(R"SQL(
declare v bigint;
begin
    update tblmaxNum set fmaxnum = fmaxnum + 1 where lower(ftablename) = lower(table_name)
        returning fmaxnum into v;
    if not found then
        insert into tblmaxNum (ftablename, fmaxnum) values (table_name, 1)
            on conflict (ftablename) do update set fmaxnum = tblmaxNum.fmaxnum + 1
            returning fmaxnum into v;
    end if;
    return v;
end)SQL")},
        {QStringLiteral("otherin_advance_counter(type_id integer, default_prefix text, "
                        "out counter bigint, out prefix text, out digits integer, "
                        "out created boolean)"),
         QStringLiteral(R"SQL(
begin
    update tblMaxBillNo set fbillno = fbillno + 1 where ftypeid = type_id
        returning fbillno, fPreLetter, coalesce(flength, 6) into counter, prefix, digits;
    if found then
        created := false;
        return;
    end if;
    insert into tblMaxBillNo (ftypeid, fbillno, fPreLetter) values (type_id, 1, default_prefix)
        on conflict (ftypeid) do update set fbillno = tblMaxBillNo.fbillno + 1
        returning fbillno, fPreLetter, coalesce(flength, 6) into counter, prefix, digits;
    created := counter = 1;
end)SQL")},
        // A freed number is usable while it is not blank and no bill of its
        // type carries it (a changed bill may have taken it since).
        {QStringLiteral("otherin_take_freed(type_id integer) returns text"), QStringLiteral(R"SQL(
declare number text;
begin
    delete from tblBillNoAdd f where f.fTypeId = type_id and not (trim(f.fbillnumber) <> ''
        and not exists (select 1 from icstockbill b where b.ftrantype = f.fTypeId
                        and b.fbillno = f.fbillnumber));
    select f.fbillnumber into number from tblBillNoAdd f where f.fTypeId = type_id
        order by f.finterid limit 1 for update skip locked;
    return number;
end)SQL")},
        {QStringLiteral("otherin_forget_freed(type_id integer, number text) returns void"),
         QStringLiteral(R"SQL(
begin
    delete from tblBillNoAdd where fTypeId = type_id and fbillnumber = number;
end)SQL")},
        {QStringLiteral("otherin_free_number(type_id integer, number text) returns void"),
         QStringLiteral(R"SQL(
begin
    insert into tblBillNoAdd (finterid, fTypeId, fbillnumber)
        select coalesce(max(finterid), 0) + 1, type_id, number from tblBillNoAdd;
end)SQL")},
    };
    for (const auto& [signature, body] : functions) addDefinerFunction(connection, signature, body);
}

}  // namespace otherin::db::schema
