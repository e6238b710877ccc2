#include "db/upgrade_bill_writer.h"

#include "db/connection.h"
#include "db/schema.h"
#include "db/server_roles.h"

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

void passOverStampedAudits(Connection& connection, const ServerRoles* roles) {
    if (!connection.dialect().isServer()) return;
    // A write the owner's audit stamped itself: it says so, it audits an open
    // bill, and it runs in the owner's code (with roles; inside any function
    // of the owner's, the server's current user is the owner) or for a
    // superuser. The owner's other functions never audit, so a clerk who sets
    // the flag before calling them, or before a write of their own (under any
    // role they may take), is stamped as ever. All of it is tested per row
    // without a call, as the rules' triggers do.
    QString trusted = QStringLiteral("current_setting('is_superuser') = 'on'");
    if (roles) {
        const QString owner =
            connection.scalar(QStringLiteral("select quote_literal(?)"), {roles->owner()})
                .toString();
        trusted.prepend(QStringLiteral("pg_has_role(current_user, %1, 'member') or ").arg(owner));
    }
    connection.exec(
        QStringLiteral("drop trigger if exists tr_icstockbill_writer_update on "
                       "icstockbill"));
    connection.exec(
        QStringLiteral(
            "create trigger tr_icstockbill_writer_update before update on icstockbill for each "
            "row when ((old.fstockposted = new.fstockposted or old.fversion <> new.fversion) and "
            "not (coalesce(current_setting('otherin.stamped', true), '') = 'on' and "
            "coalesce(old.fstatus, 0) = 0 and coalesce(new.fstatus, 0) = 1 and (%1))) execute "
            "function otherin_bill_writer()")
            .arg(trusted));
}

void passOverStampedAuditsFor(Connection& connection, const ServerRoles& roles) {
    if (currentVersion(connection) >= kStampedAuditsVersion)
        passOverStampedAudits(connection, &roles);
}

}  // namespace otherin::db::schema
