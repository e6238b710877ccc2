#include "db/schema.h"

#include <QFile>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/schema_upgrades.h"
#include "db/server_roles.h"
#include "db/transaction.h"

namespace otherin::db::schema {

namespace {
QString readResource(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw DbError(QStringLiteral("无法读取数据库脚本 %1").arg(path));
    }
    return QString::fromUtf8(file.readAll());
}
}  // namespace

QStringList splitScript(const QString& script) {
    QStringList statements;
    QString current;
    const auto lines = script.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QStringLiteral("--"))) continue;
        current += raw;
        current += QLatin1Char('\n');
        if (line.endsWith(QLatin1Char(';'))) {
            QString statement = current.trimmed();
            statement.chop(1);
            statements << statement;
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty()) statements << current.trimmed();
    return statements;
}

QString serverSchema(Connection& connection) {
    return connection.scalar(QStringLiteral("select quote_ident(current_schema())")).toString();
}

void runScript(Connection& connection, const QString& script) {
    TransactionGuard tx(connection);
    const QString text = connection.dialect().schemaText(script);
    for (const QString& statement : splitScript(text)) connection.exec(statement);
    tx.commit();
}

int currentVersion(Connection& connection) {
    return connection.scalar(QStringLiteral("select max(version) from schema_version")).toInt();
}

void upgrade(Connection& connection) {
    const int version = currentVersion(connection);
    if (version > kVersion) {
        throw DbError(
            QStringLiteral("数据库版本 %1 高于本程序支持的版本 %2").arg(version).arg(kVersion));
    }
    // On a server whose roles are set up, what the steps make belongs to the
    // owner role, as everything before them does.
    if (const auto roles = serverRoles(connection)) {
        if (connection.scalar(QStringLiteral("select pg_has_role(?, 'member')"), {roles->owner()})
                .toBool())
            connection.exec(QStringLiteral("set local role ") +
                            quotedName(connection, roles->owner()));
    }
    for (const Upgrade& step : upgrades()) {
        if (step.version <= version) continue;
        TransactionGuard tx(connection);
        step.apply(connection);
        connection.exec(QStringLiteral("insert into schema_version (version) values (?)"),
                        {step.version});
        tx.commit();
    }
}

bool ensureSchema(Connection& connection, Contents contents, const QDate& today) {
    const QString versionTable = QStringLiteral("schema_version");
    // Versions only rise, so a database at ours needs nothing now or later;
    // an ordinary start does not wait behind another user's write.
    if (connection.tableExists(versionTable) && currentVersion(connection) == kVersion) {
        return false;
    }
    TransactionGuard tx(connection);
    const QString lock = connection.dialect().schemaLock();
    if (!lock.isEmpty()) connection.exec(lock);
    const bool created = !connection.tableExists(versionTable);
    // On a server with roles only the administrators (members of the owner
    // role) upgrade; a clerk's start on an older database is told so.
    if (!created) {
        if (const auto roles = serverRoles(connection);
            roles && currentVersion(connection) < kVersion &&
            !connection.scalar(QStringLiteral("select pg_has_role(?, 'member')"), {roles->owner()})
                 .toBool()) {
            throw DbError(QStringLiteral("数据库是版本 %1，本程序要版本 %2：请管理员运行 "
                                         "otherin init --db … 升级数据库后再打开。")
                              .arg(currentVersion(connection))
                              .arg(kVersion));
        }
    }
    if (created) runScript(connection, schemaScript());
    upgrade(connection);
    if (created && contents == Contents::Demo) installDemoData(connection, today);
    tx.commit();
    return created;
}

void installDemoData(Connection& connection, const QDate& today) {
    TransactionGuard tx(connection);
    runScript(connection, demoDataScript());
    connection.exec(QStringLiteral("insert into tblBillPrint (ftypeid, fFileName, fViewName, "
                                   "fOrderSQL, fcontent) values (7, 'QTRK.html', 'vGOtherIn', "
                                   "'forderid', ?)"),
                    {billPrintTemplate().toUtf8()});
    connection.exec(QStringLiteral("insert into tblSystemInfo (fTypeid, fvalue, fname) values "
                                   "(4, ?, '当前会计年度'), (5, ?, '当前会计期间')"),
                    {QString::number(today.year()), QString::number(today.month())});
    // Calendar months; a period ends where the next one starts.
    Query period = connection.prepare(QStringLiteral(
        "insert into tblPeriod (fTypeid, fYear, fPeriod, fStartDate, fEndDate) values "
        "(2, ?, ?, ?, ?)"));
    for (int year = today.year() - 1; year <= today.year() + 1; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const QDate start(year, month, 1);
            period.bind(year).bind(month).bind(start).bind(start.addMonths(1)).exec();
        }
    }
    tx.commit();
}

QString schemaScript() {
    return readResource(QStringLiteral(":/otherin/sql/schema.sql"));
}

QString demoDataScript() {
    return readResource(QStringLiteral(":/otherin/sql/demo_data.sql"));
}

QString billPrintTemplate() {
    return readResource(QStringLiteral(":/otherin/sql/bill_print_7.html"));
}

QString firstBillPrintTemplate() {
    return readResource(QStringLiteral(":/otherin/sql/bill_print_7_v1.html"));
}

}  // namespace otherin::db::schema
