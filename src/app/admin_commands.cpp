#include "app/admin_commands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include "db/connection.h"
#include "db/database_copy.h"
#include "db/db_error.h"
#include "db/schema.h"

namespace otherin::app {

namespace {

int init(const QCommandLineParser& parser, QTextStream& out) {
    db::Connection connection;
    connection.open(parser.value(QStringLiteral("db")));
    const bool created = db::schema::ensureSchema(connection);
    if (created && parser.isSet(QStringLiteral("demo"))) db::schema::installDemoData(connection);
    out << (created ? QStringLiteral("数据库已创建: ") : QStringLiteral("数据库已是最新版本: "))
        << connection.target().describe() << Qt::endl;
    return 0;
}

int copy(const QCommandLineParser& parser, QTextStream& out) {
    db::Connection from, to;
    from.open(parser.value(QStringLiteral("from")));
    to.open(parser.value(QStringLiteral("to")));
    const db::CopyReport report = db::copyDatabase(from, to);
    out << QStringLiteral("已复制 %1 个表, %2 行到 %3")
               .arg(report.tables)
               .arg(report.rows)
               .arg(to.target().describe())
        << Qt::endl;
    return 0;
}

}  // namespace

bool runAdminCommand(int argc, char* argv[], int& exitCode) {
    if (argc < 2) return false;
    const QString command = QString::fromLocal8Bit(argv[1]);
    if (command != QLatin1String("init") && command != QLatin1String("copy")) return false;
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("init or copy"));
    parser.addOptions({
        {QStringLiteral("db"), QStringLiteral("init: connection string"), QStringLiteral("url")},
        {QStringLiteral("demo"), QStringLiteral("init: load the demo data into a new database")},
        {QStringLiteral("from"), QStringLiteral("copy: source connection string"),
         QStringLiteral("url")},
        {QStringLiteral("to"), QStringLiteral("copy: target connection string"),
         QStringLiteral("url")},
    });
    parser.process(app);
    QTextStream out(stdout), err(stderr);
    const bool isInit = command == QLatin1String("init");
    if (isInit ? !parser.isSet(QStringLiteral("db"))
               : !parser.isSet(QStringLiteral("from")) || !parser.isSet(QStringLiteral("to"))) {
        err << (isInit ? QStringLiteral("用法: otherin init --db 连接字符串 [--demo]")
                       : QStringLiteral("用法: otherin copy --from 连接字符串 --to 连接字符串"))
            << Qt::endl;
        exitCode = 2;
        return true;
    }
    try {
        exitCode = isInit ? init(parser, out) : copy(parser, out);
    } catch (const db::DbError& e) {
        err << e.message() << Qt::endl;
        exitCode = 1;
    }
    return true;
}

}  // namespace otherin::app
