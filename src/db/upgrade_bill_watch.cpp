// Schema version 6: windows that follow the other clerks' work.
//
// - Writes to icstockbill announce the bills they touched, by a trigger, so
//   every way of writing a bill is heard (the module's statements, its
//   procedures, and anyone with plain SQL):
//   - on the server, one NOTIFY on the channel otherin_bills per statement,
//     sent when the transaction commits: "<writer's backend pid>:<ids>", or
//     "<pid>:many" when the statement touched more bills than fit;
//   - in the embedded file, a row per bill in tblBillChange, numbered in
//     order of writing. Programs sharing the file notice a commit by
//     `pragma data_version` and read the rows after the last one they saw;
//     the newest rows are kept, the rest removed as new ones come.
// - tblBillOpen holds who has which bill open in a changing mode: one row
//   per editor, written and removed by that editor alone.

#include "db/upgrade_bill_watch.h"

#include "db/connection.h"

namespace otherin::db::schema {

namespace {

// Above this many bills a statement's announcement says only "many" (a
// payload must stay under 8,000 bytes).
constexpr int kNamedBills = 500;
// How many announcements the embedded file keeps.
constexpr int kKeptChanges = 10000;

// Runs `statement` for each kind of write: %1 the event, %2 the rows it
// touched ("old" for a delete, else "new").
void forEachWrite(Connection& connection, const QString& statement) {
    for (const char* event : {"insert", "update", "delete"}) {
        const QString e = QString::fromLatin1(event);
        connection.exec(statement.arg(
            e, e == QLatin1String("delete") ? QStringLiteral("old") : QStringLiteral("new")));
    }
}

void addServerTriggers(Connection& connection) {
    connection.exec(
        QStringLiteral(
            "create or replace function otherin_announce_bills() returns trigger language plpgsql "
            "as $$ declare n integer; ids text; begin "
            "select count(distinct finterid), string_agg(distinct finterid::text, ',') "
            "into n, ids from changed_bills; "
            "if n = 0 then return null; end if; "
            "if n > %1 then ids := 'many'; end if; "
            "perform pg_notify('otherin_bills', pg_backend_pid()::text || ':' || ids); "
            "return null; end $$")
            .arg(kNamedBills));
    forEachWrite(connection,
                 QStringLiteral("create trigger trg_icstockbill_announce_%1 after %1 on "
                                "icstockbill referencing %2 table as changed_bills "
                                "for each statement execute function "
                                "otherin_announce_bills()"));
}

void addFileTriggers(Connection& connection) {
    forEachWrite(connection,
                 QStringLiteral("create trigger trg_icstockbill_announce_%1 after %1 on "
                                "icstockbill begin insert into tblBillChange(finterid) "
                                "values (%2.finterid); end"));
    connection.exec(QStringLiteral("create trigger trg_tblBillChange_keep after insert on "
                                   "tblBillChange begin delete from tblBillChange where "
                                   "fseq <= new.fseq - %1; end")
                        .arg(kKeptChanges));
}

}  // namespace

void addBillWatch(Connection& connection) {
    const Dialect& d = connection.dialect();
    for (const char* statement : {
             "create table tblBillChange (fseq integer primary key, finterid integer not null)",
             "create table tblBillOpen (fsession text primary key, finterid integer not null, "
             "fuserid integer not null default 0, fconnection integer not null default 0, "
             "fsince timestamp, fseen timestamp)",
             "create index ix_tblBillOpen_finterid on tblBillOpen (finterid)",
         })
        connection.exec(d.schemaText(QString::fromLatin1(statement)));
    if (d.isServer()) {
        addServerTriggers(connection);
    } else {
        addFileTriggers(connection);
    }
}

}  // namespace otherin::db::schema
