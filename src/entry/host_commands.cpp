#include "entry/host_commands.h"

#include "db/server_logins.h"
#include "db/server_roles.h"

#include <QCommandLineParser>
#include <memory>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "entry/database_file.h"
#include "entry/host_login.h"
#include "entry/settings_store.h"
#include "entry/shared_switches.h"
#include "entry/startup.h"

namespace otherin::entry {

namespace {

const QString kInit = QStringLiteral("init");
const QString kPasswd = QStringLiteral("passwd");
const QString kSwitch = QStringLiteral("switch");
const QString kUser = QStringLiteral("user");
const QString kMigrate = QStringLiteral("migrate");

// A refusal told on the terminal; the command ends with status 1.
struct Refused {
    QString message;
};

struct Options {
    QCommandLineOption db{QStringLiteral("db"), QStringLiteral("数据库文件"),
                          QStringLiteral("path")};
    QCommandLineOption settings{QStringLiteral("settings"), QStringLiteral("设置文件"),
                                QStringLiteral("file")};
    QCommandLineOption user{QStringLiteral("user"), QStringLiteral("用户编号"),
                            QStringLiteral("id")};
    QCommandLineOption password{QStringLiteral("password"), QStringLiteral("密码"),
                                QStringLiteral("text")};
    QCommandLineOption oldPassword{QStringLiteral("old-password"), QStringLiteral("当前密码"),
                                   QStringLiteral("text")};
    QCommandLineOption demo{QStringLiteral("demo"), QStringLiteral("装入演示数据")};
    QCommandLineOption rolePrefix{QStringLiteral("role-prefix"), QStringLiteral("服务器角色的前缀"),
                                  QStringLiteral("prefix")};
    QCommandLineOption login{QStringLiteral("login"), QStringLiteral("录单员的登录名"),
                             QStringLiteral("name")};
    QCommandLineOption name{QStringLiteral("name"), QStringLiteral("录单员的姓名"),
                            QStringLiteral("text")};
    QCommandLineOption admin{QStringLiteral("admin"), QStringLiteral("作为管理员")};
    QCommandLineOption sharedLogin{QStringLiteral("shared-login"),
                                   QStringLiteral("原来共用的服务器登录"), QStringLiteral("name")};
};

QString connectionString(const QCommandLineParser& parser, const Options& o) {
    if (parser.isSet(o.db)) return db::connectionStringFromArgument(parser.value(o.db));
    const auto settings = parser.isSet(o.settings)
                              ? std::make_unique<SettingsStore>(parser.value(o.settings))
                              : std::make_unique<SettingsStore>();
    return settings->value(QStringLiteral("DBOperation"), QStringLiteral("DBConnectionString"),
                           QString());
}

qlonglong userId(const QCommandLineParser& parser, const Options& o) {
    bool ok = false;
    const qlonglong id = parser.value(o.user).toLongLong(&ok);
    if (!parser.isSet(o.user) || !ok) throw Refused{QStringLiteral("请用 --user 指定用户编号")};
    return id;
}

QString secret(Terminal& terminal, const QString& prompt) {
    const auto line = terminal.readSecret(prompt);
    if (!line) throw Refused{QStringLiteral("没有读到输入")};
    return *line;
}

QString optionOrSecret(const QCommandLineParser& parser, const QCommandLineOption& option,
                       Terminal& terminal, const QString& prompt) {
    return parser.isSet(option) ? parser.value(option) : secret(terminal, prompt);
}

int init(const QCommandLineParser& parser, const Options& o, Terminal& terminal) {
    if (!parser.isSet(o.db)) throw Refused{QStringLiteral("请用 --db 指定要新建的数据库文件")};
    terminal.print(
        initDatabase(parser.value(o.db), parser.isSet(o.demo), parser.value(o.rolePrefix)));
    return 0;
}

QString newPassword(const QCommandLineParser& parser, const Options& o, Terminal& terminal) {
    if (parser.isSet(o.password)) return parser.value(o.password);
    const QString first = secret(terminal, QStringLiteral("新密码: "));
    if (secret(terminal, QStringLiteral("再输入一次新密码: ")) != first) {
        throw Refused{QStringLiteral("两次输入的密码不一致，密码未更改")};
    }
    return first;
}

int passwd(const QCommandLineParser& parser, const Options& o, Terminal& terminal,
           db::Connection& connection) {
    const qlonglong id = userId(parser, o);
    const auto user = findUser(connection, id);
    if (!user) throw Refused{QStringLiteral("没有编号为 %1 的用户").arg(id)};
    // Whoever changes a password must know the one it has.
    if (!checkLogin(connection, id, QString())) {
        const QString current =
            optionOrSecret(parser, o.oldPassword, terminal, QStringLiteral("当前密码: "));
        if (!checkLogin(connection, id, current)) {
            throw Refused{QStringLiteral("当前密码不正确，密码未更改")};
        }
    }
    const QString password = newPassword(parser, o, terminal);
    if (password.isEmpty()) throw Refused{QStringLiteral("新密码不能为空，密码未更改")};
    setPassword(connection, id, password);
    terminal.print(QStringLiteral("用户 %1 %2 的密码已更改").arg(id).arg(user->name));
    return 0;
}

int switches(const QCommandLineParser& parser, const Options& o, Terminal& terminal,
             db::Connection& connection) {
    const QStringList args = parser.positionalArguments();
    if (args.size() < 3) {
        bool listed = false;
        for (const SharedSwitch& s : listSharedSwitches(connection)) {
            if (args.size() == 2 && s.name != args[1]) continue;
            terminal.print(QStringLiteral("%1=%2  %3").arg(s.name).arg(s.value).arg(s.note));
            listed = true;
        }
        if (!listed) throw Refused{QStringLiteral("没有名为 %1 的开关").arg(args[1])};
        return 0;
    }
    const qlonglong id = userId(parser, o);
    const auto user = checkLogin(
        connection, id,
        optionOrSecret(parser, o.password, terminal, QStringLiteral("用户 %1 的密码: ").arg(id)));
    if (!user) throw Refused{QStringLiteral("用户编号或密码不正确")};
    if (user->isAdmin != 1) throw Refused{QStringLiteral("只有系统管理员可以更改开关")};
    bool ok = false;
    const int value = args[2].toInt(&ok);
    if (!ok) throw Refused{QStringLiteral("开关 %1 只能设为 0 或 1").arg(args[1])};
    setSharedSwitch(connection, args[1], value);
    terminal.print(
        QStringLiteral("%1 已设为 %2，此后打开的单据窗口按新值处理").arg(args[1]).arg(value));
    return 0;
}

// `otherin user add|passwd|disable|list`: the clerks' server logins, by an
// administrator; passwords are only ever typed at the prompt.
int users(const QCommandLineParser& parser, const Options& o, Terminal& terminal,
          db::Connection& connection) {
    if (!connection.dialect().isServer())
        throw Refused{QStringLiteral("录单员的登录只在服务器数据库上管理；数据库文件用 passwd")};
    const QString action = parser.positionalArguments().value(1);
    if (action == QLatin1String("list")) {
        for (const db::ClerkLogin& k : db::listClerks(connection))
            terminal.print(QStringLiteral("%1  %2  %3%4%5")
                               .arg(k.userId)
                               .arg(k.login, k.name)
                               .arg(k.administrator ? QStringLiteral("  管理员") : QString())
                               .arg(k.canLogIn ? QString() : QStringLiteral("  已停用")));
        return 0;
    }
    const QString login = parser.value(o.login).trimmed();
    if (login.isEmpty()) throw Refused{QStringLiteral("请用 --login 指定录单员的登录名")};
    if (action == QLatin1String("add")) {
        const QString password = newPassword(parser, o, terminal);
        const qlonglong id =
            db::addClerk(connection, login, parser.value(o.name), password, parser.isSet(o.admin));
        terminal.print(
            QStringLiteral("已建立%1 %2（用户 %3）")
                .arg(parser.isSet(o.admin) ? QStringLiteral("管理员") : QStringLiteral("录单员"),
                     login)
                .arg(id));
        return 0;
    }
    if (action == QLatin1String("passwd")) {
        db::setClerkPassword(connection, login, newPassword(parser, o, terminal));
        terminal.print(QStringLiteral("%1 的密码已更改").arg(login));
        return 0;
    }
    if (action == QLatin1String("disable")) {
        db::disableClerk(connection, login);
        terminal.print(QStringLiteral("%1 已停用，其连接已断开").arg(login));
        return 0;
    }
    throw Refused{
        QStringLiteral("用法: otherin user add|passwd|disable|list --db URL "
                       "[--login 登录名] [--name 姓名] [--admin]")};
}

// `otherin migrate --db URL [--role-prefix P] [--shared-login L]`: a server
// database that all clerks reached through one shared login gets the roles
// and a login for each user; the shared login is disabled.
int migrate(const QCommandLineParser& parser, const Options& o, Terminal& terminal,
            db::Connection& connection) {
    if (!connection.dialect().isServer())
        throw Refused{QStringLiteral("migrate 只用于服务器数据库")};
    const QString database = connection.target().database;
    const db::SharedLoginMove move = db::moveFromSharedLogin(
        connection,
        parser.isSet(o.rolePrefix) ? parser.value(o.rolePrefix) : db::defaultRolePrefix(database),
        parser.value(o.sharedLogin));
    for (const db::ClerkLogin& k : move.made)
        terminal.print(
            QStringLiteral("用户 %1 %2 → 登录名 %3%4")
                .arg(k.userId)
                .arg(k.name, k.login, k.administrator ? QStringLiteral("（管理员）") : QString()));
    terminal.print(QStringLiteral("共用的登录 %1 已停用，其连接已断开。").arg(move.sharedLogin));
    if (!move.made.empty())
        terminal.print(
            QStringLiteral("请为每个登录设置密码: otherin user passwd --db … --login 登录名"));
    return 0;
}

}  // namespace

bool isHostCommand(const QStringList& arguments) {
    if (arguments.size() < 2) return false;
    const QString& command = arguments[1];
    return command == kInit || command == kPasswd || command == kSwitch || command == kUser ||
           command == kMigrate;
}

int runHostCommand(const QStringList& arguments, Terminal& terminal) {
    Options o;
    QCommandLineParser parser;
    parser.addOptions({o.db, o.settings, o.user, o.password, o.oldPassword, o.demo, o.rolePrefix,
                       o.login, o.name, o.admin, o.sharedLogin});
    if (!parser.parse(arguments)) {
        terminal.error(parser.errorText());
        return 2;
    }
    const QString command = parser.positionalArguments().value(0);
    try {
        if (command == kInit) return init(parser, o, terminal);
        db::Connection connection;
        openHostDatabase(connection, connectionString(parser, o), db::embeddedDatabasePath());
        if (command == kPasswd) return passwd(parser, o, terminal, connection);
        if (command == kSwitch) return switches(parser, o, terminal, connection);
        if (command == kMigrate) return migrate(parser, o, terminal, connection);
        if (command == kUser) {
            if (parser.isSet(o.password))
                throw Refused{
                    QStringLiteral("服务器的密码不能写在命令行上（ps 可以看到）：请在提示时输入")};
            return users(parser, o, terminal, connection);
        }
        terminal.error(QStringLiteral("未知的命令: %1").arg(command));
        return 2;
    } catch (const Refused& r) {
        terminal.error(r.message);
    } catch (const db::DbError& e) {
        terminal.error(e.message());
    } catch (const SettingsError& e) {
        terminal.error(e.message());
    }
    return 1;
}

}  // namespace otherin::entry
