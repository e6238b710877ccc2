#include "app/server_backup.h"

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <QVersionNumber>
#include <algorithm>
#include <optional>

#include "app/backup_files.h"
#include "app/verify_command.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/error_words.h"
#include "entry/shared_switches.h"

namespace otherin::app {

namespace {

// What one run of a server tool left: its exit status (-1 when it did not
// start or was killed), its output and its own error text.
struct ToolRun {
    int status = -1;
    QByteArray output;
    QString errors;
};

// A tool of the server's client programs: on PATH, else in the newest
// versioned folder the packages install it into.
QString findTool(const QString& name) {
    const QString onPath = QStandardPaths::findExecutable(name);
    if (!onPath.isEmpty()) return onPath;
    QList<std::pair<QVersionNumber, QString>> found;
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    for (const QString& version : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString path = versions.filePath(version + QStringLiteral("/bin/") + name);
        if (QFileInfo(path).isExecutable())
            found.append({QVersionNumber::fromString(version), path});
    }
    if (found.isEmpty()) {
        throw db::DbError(
            QStringLiteral("找不到数据库服务器的工具 %1, 请安装 postgresql-client 软件包")
                .arg(name));
    }
    std::sort(found.begin(), found.end());
    return found.last().second;
}

// The target as the tools' connection string: every part but the password,
// which goes by the environment so it shows neither in the process list nor
// in a message.
QString toolConnection(const db::ConnectionTarget& target) {
    QStringList parts{QStringLiteral("dbname=") + db::libraryQuoted(target.database)};
    if (!target.host.isEmpty()) parts << QStringLiteral("host=") + db::libraryQuoted(target.host);
    if (target.port > 0) parts << QStringLiteral("port=%1").arg(target.port);
    if (!target.user.isEmpty()) parts << QStringLiteral("user=") + db::libraryQuoted(target.user);
    for (const auto& [key, value] : target.options) {
        if (key.compare(QStringLiteral("password"), Qt::CaseInsensitive) == 0) continue;
        parts << key + u'=' + db::libraryQuoted(value);
    }
    return parts.join(u' ');
}

ToolRun runTool(const QString& program, const QStringList& arguments,
                const db::ConnectionTarget& target) {
    QProcess process;
    // What the connection string leaves open (a host, a password from
    // ~/.pgpass or PGPASSWORD, sslmode …) the tools take from the same PG*
    // variables the module's own connection reads, so both reach the same
    // server as the same user.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!target.password.isEmpty())
        environment.insert(QStringLiteral("PGPASSWORD"), target.password);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForStarted()) {
        run.errors = process.errorString();
        return run;
    }
    process.closeWriteChannel();
    // A dump of a large database takes as long as it takes.
    process.waitForFinished(-1);
    run.output = process.readAllStandardOutput();
    run.errors = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (process.exitStatus() == QProcess::NormalExit) run.status = process.exitCode();
    return run;
}

// The reason, and the tool's own text on the line below it.
db::DbError toolFailed(const QString& reason, const ToolRun& run) {
    QString message = reason;
    if (!run.errors.isEmpty())
        message += u'\n' + QString::fromUtf16(db::kDetailPrefix) + run.errors;
    return db::DbError(message, QString(), run.errors);
}

void requireServer(const db::ConnectionTarget& target) {
    if (target.kind != db::DialectKind::PostgreSql || target.database.isEmpty())
        throw db::DbError(QStringLiteral("只能备份或恢复数据库服务器上的数据库"));
}

QString stemOf(const db::ConnectionTarget& target) {
    return QStringLiteral("otherin-") + target.database;
}

constexpr QLatin1StringView kDumpSuffix(".dump");

// The dated name for a dump taken now, not yet taken in `folder`. A second
// dump within the same second waits for the next one: the names must sort
// as the moments do for keepNewest, and a "-2" would sort before its plain
// name.
QString freeDumpName(const QString& folder, const QString& stem) {
    for (;;) {
        const QDateTime now = QDateTime::currentDateTime();
        const QString name = backupFileName(stem, kDumpSuffix, now);
        if (!QFileInfo::exists(QDir(folder).filePath(name))) return name;
        QThread::msleep(1000 - now.time().msec());
    }
}

int backup(const db::ConnectionTarget& target, const QString& folder, int keep, QTextStream& out) {
    requireServer(target);
    const QString dump = findTool(QStringLiteral("pg_dump"));
    const QString restore = findTool(QStringLiteral("pg_restore"));
    prepareBackupFolder(folder);

    // The dump is written under a name no reader takes for a backup, readable
    // by its owner alone (it holds every user's password hash), and gets its
    // dated name only once it is whole and checked.
    const QString stem = stemOf(target);
    QTemporaryFile partial(QDir(folder).filePath(QStringLiteral(".%1-XXXXXX.part").arg(stem)));
    if (!partial.open()) {
        throw db::DbError(QStringLiteral("无法在备份文件夹 %1 中写入文件, 请检查路径和写权限: %2")
                              .arg(folder, partial.errorString()));
    }
    partial.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    partial.close();
    const ToolRun dumped =
        runTool(dump,
                // Tables whose rows are each clerk's own have row rules: the
                // administrator's dump reads them all through the rules.
                {QStringLiteral("--format=custom"), QStringLiteral("--enable-row-security"),
                 QStringLiteral("--file=") + partial.fileName(),
                 QStringLiteral("--dbname=") + toolConnection(target)},
                target);
    if (dumped.status != 0) {
        throw toolFailed(
            QStringLiteral("数据库 %1 备份失败, 没有留下备份文件").arg(target.describe()), dumped);
    }
    const ToolRun listed = runTool(restore, {QStringLiteral("--list"), partial.fileName()}, target);
    if (listed.status != 0) {
        throw toolFailed(QStringLiteral("数据库 %1 的备份文件读不出来, 已删除, 请再备份一次")
                             .arg(target.describe()),
                         listed);
    }
    // A database without any table (a new one, or not the one meant) dumps
    // fine and restores nothing worth having.
    if (!listed.output.contains(" TABLE DATA ")) {
        throw db::DbError(
            QStringLiteral("数据库 %1 中没有任何表, 不是本程序的数据库, 没有留下备份文件")
                .arg(target.describe()));
    }

    const QString name = freeDumpName(folder, stem);
    const QString path = QDir(folder).filePath(name);
    if (!partial.rename(path)) {
        throw db::DbError(
            QStringLiteral("备份文件无法改名为 %1: %2").arg(path, partial.errorString()));
    }
    partial.setAutoRemove(false);
    const qint64 size = QFileInfo(path).size();
    out << QStringLiteral("已备份数据库 %1 到 %2 (%3 KB), 已检查可以恢复")
               .arg(target.describe(), path)
               .arg((size + 1023) / 1024)
        << Qt::endl;
    const QStringList removed = keepNewest(folder, stem, kDumpSuffix, keep);
    for (const QString& old : removed)
        out << QStringLiteral("已删除较早的备份 %1").arg(old) << Qt::endl;
    return 0;
}

// The first table in the target's schema, if any: a restore never merges.
std::optional<QString> firstTable(db::Connection& connection) {
    const QVariant table = connection.scalar(
        QStringLiteral("select table_name from information_schema.tables where "
                       "table_schema=current_schema() and table_type='BASE TABLE' "
                       "order by table_name limit 1"));
    if (!table.isValid() || table.isNull()) return std::nullopt;
    return table.toString();
}

int restore(const QString& from, const db::ConnectionTarget& target, QTextStream& out,
            QTextStream& err) {
    requireServer(target);
    if (!QFileInfo(from).isFile())
        throw db::DbError(QStringLiteral("备份文件不存在: %1").arg(from));
    const QString restoreTool = findTool(QStringLiteral("pg_restore"));
    const QString connectionString = target.toConnectionString();
    int tables = 0;
    {
        db::Connection connection;
        connection.open(connectionString);
        if (const auto table = firstTable(connection)) {
            throw db::DbError(
                QStringLiteral("数据库 %1 不是空的 (已有表 %2), 不能恢复到其中; 请新建一个空数据库"
                               "再恢复, 原数据库没有改动")
                    .arg(target.describe(), *table));
        }
    }
    // One transaction: a dump that stops halfway leaves the database empty.
    const ToolRun restored =
        runTool(restoreTool,
                {QStringLiteral("--no-owner"), QStringLiteral("--exit-on-error"),
                 QStringLiteral("--single-transaction"),
                 QStringLiteral("--dbname=") + toolConnection(target), from},
                target);
    if (restored.status != 0) {
        throw toolFailed(QStringLiteral("从 %1 恢复到数据库 %2 失败, 数据库没有改动")
                             .arg(from, target.describe()),
                         restored);
    }
    int checkUpdate = 0;
    {
        db::Connection connection;
        connection.open(connectionString);
        tables =
            connection
                .scalar(QStringLiteral("select count(*) from information_schema.tables where "
                                       "table_schema=current_schema() and table_type='BASE TABLE'"))
                .toInt();
        checkUpdate = entry::postingSwitch(connection);
    }
    out << QStringLiteral("已从 %1 恢复 %2 个表到数据库 %3")
               .arg(from)
               .arg(tables)
               .arg(target.describe())
        << Qt::endl;
    return runVerify(connectionString, false, checkUpdate, out, err);
}

}  // namespace

int backupServer(const db::ConnectionTarget& target, const QString& folder, int keep,
                 QTextStream& out, QTextStream& err) {
    int status = 1;
    try {
        status = backup(target, folder, keep, out);
    } catch (const db::DbError& e) {
        err << e.message() << Qt::endl;
    }
    out.flush();
    err.flush();
    return status;
}

int restoreServer(const QString& from, const db::ConnectionTarget& target, QTextStream& out,
                  QTextStream& err) {
    int status = 1;
    try {
        status = restore(from, target, out, err);
    } catch (const db::DbError& e) {
        err << e.message() << Qt::endl;
    }
    out.flush();
    err.flush();
    return status;
}

}  // namespace otherin::app
