#include "db/upgrade_own_rows.h"

#include "db/connection.h"
#include "db/schema.h"

namespace otherin::db::schema {

void addOwnRowRules(Connection& connection) {
    if (!connection.dialect().isServer()) return;
    const QString schema = serverSchema(connection);
    connection.exec(QStringLiteral(R"SQL(
create or replace function otherin_may_write_for(owner_id integer) returns boolean
language sql stable set search_path = %1, pg_temp as $f$
    select not exists (select 1 from tblUser where frolename = session_user)
        or exists (select 1 from tblUser where frolename = session_user and fuserid = owner_id)
        or exists (select 1 from tblServerRoles r
                   where pg_has_role(session_user, r.fprefix || '_admin', 'member'))
$f$)SQL")
                        .arg(schema));
    for (const char* table : {"tblItemInput", "tblEntryVisible", "tblBillOpen"}) {
        const QString t = QString::fromLatin1(table);
        const QString own = QStringLiteral("otherin_may_write_for(fuserid)");
        connection.exec(QStringLiteral("alter table %1 enable row level security").arg(t));
        connection.exec(
            QStringLiteral("create policy %1_read on %1 for select using (true)").arg(t));
        connection.exec(
            QStringLiteral("create policy %1_add on %1 for insert with check (%2)").arg(t, own));
        connection.exec(
            QStringLiteral("create policy %1_change on %1 for update using (%2) with check (%2)")
                .arg(t, own));
        connection.exec(
            QStringLiteral("create policy %1_remove on %1 for delete using (%2)").arg(t, own));
    }
}

}  // namespace otherin::db::schema
