#include "db/upgrade_bill_writer.h"

#include "db/connection.h"
#include "db/schema.h"

namespace otherin::db::schema {

void addBillWriterTrigger(Connection& connection) {
    if (!connection.dialect().isServer()) return;
    const QString schema = serverSchema(connection);
    // The search path is pinned, the temporary schema last: a clerk's own
    // temporary tblUser cannot stand in for the real one.
    connection.exec(QStringLiteral(R"SQL(
create or replace function otherin_bill_writer() returns trigger language plpgsql
set search_path = %1, pg_temp as $f$
declare
    writer integer;
begin
    select fuserid into writer from tblUser where frolename = session_user;
    if not found then
        return new;
    end if;
    if tg_table_name = 'icstockbill' then
        new.fmodifierid := writer;
        new.fmodifytime := now();
    else
        new.fuserid := writer;
        new.fdeletetime := now();
    end if;
    return new;
end
$f$)SQL")
                        .arg(schema));
    connection.exec(QStringLiteral(
        "create trigger tr_icstockbill_writer before insert or update on icstockbill for each "
        "row execute function otherin_bill_writer()"));
    connection.exec(QStringLiteral(
        "create trigger tr_tblBillDeleted_writer before insert or update on tblBillDeleted for "
        "each row execute function otherin_bill_writer()"));
}

}  // namespace otherin::db::schema
