// Schema version 5: bill versions.
//
// - icstockbill.fversion counts the writes to a bill and its lines; every
//   operation advances it once, in the statement that writes the header, and
//   sets fmodifierid (the user) and fmodifytime (the database's clock). A
//   write that starts from what a clerk loaded names the version it loaded,
//   so a change made on stale data is refused instead of overwriting
//   another clerk's work.
// - tblBillDeleted keeps the id, number, user and time of each deleted bill,
//   so a clerk still holding it is told who deleted it and when.
// - The bill view is rebuilt with the new columns.

#include "db/upgrade_bill_versions.h"

#include <QFile>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/schema.h"

namespace otherin::db::schema {

QString billViewScript() {
    QFile file(QStringLiteral(":/otherin/sql/bill_view.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("无法读取数据库脚本 %1").arg(file.fileName()));
    return QString::fromUtf8(file.readAll());
}

void addBillVersions(Connection& connection) {
    const Dialect& d = connection.dialect();
    for (const char* statement : {
             "alter table icstockbill add column fversion integer not null default 0",
             "alter table icstockbill add column fmodifierid integer not null default 0",
             "alter table icstockbill add column fmodifytime timestamp",
             "create table tblBillDeleted (finterid integer primary key, fbillno text not null "
             "default '', ftrantype integer not null default 0, fuserid integer not null default "
             "0, fdeletetime timestamp)",
             "drop view if exists vGOtherIn",
         })
        connection.exec(d.schemaText(QString::fromLatin1(statement)));
    for (const QString& statement : splitScript(d.schemaText(billViewScript())))
        connection.exec(statement);
}

}  // namespace otherin::db::schema
