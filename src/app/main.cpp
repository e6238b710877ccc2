// The host program: plays the suite's main program. It prepares the database
// (creating the embedded demo database on first run), logs a user in, records
// the login session, writes the login settings, creates the component and
// calls the entry operation asked for. `init`, `passwd` and `switch` are the
// administrator's commands on the terminal (entry/host_commands.h).

#include <unistd.h>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <csignal>
#include <functional>

#include "app/backup_command.h"
#include "app/copy_command.h"
#include "app/daily_backup.h"
#include "app/history_command.h"
#include "app/keychain_keeper.h"
#include "app/login_dialog.h"
#include "app/qt_window_factory.h"
#include "app/server_login_dialog.h"
#include "app/terminal.h"
#include "app/usage.h"
#include "app/verify_command.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "entry/cls_other_in.h"
#include "entry/database_file.h"
#include "entry/host_commands.h"
#include "entry/host_login.h"
#include "entry/login_session.h"
#include "entry/settings_store.h"
#include "entry/shared_switches.h"
#include "entry/startup.h"
#include "entry/ui/qt_language.h"
#include "entry/ui/qt_prompter.h"

using namespace otherin;

namespace {

const QString kTitle = QStringLiteral("Mendaxo进销存");

// The user who logged in; none when the dialog was cancelled. A user and
// password from the command line that do not match open the dialog on that
// user, so the password can be typed again.
std::optional<entry::UserRecord> login(db::Connection& connection, const QString& userArg,
                                       const QString& password) {
    const qlonglong userId = userArg.toLongLong();
    if (!userArg.isEmpty()) {
        if (auto user = entry::checkLogin(connection, userId, password)) return user;
    }
    app::LoginDialog dialog(entry::listUsers(connection),
                            [&connection](qlonglong id, const QString& text) {
                                return entry::checkLogin(connection, id, text);
                            });
    if (!userArg.isEmpty()) dialog.retryFor(userId);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.user();
}

// Ends the login session when the program ends, whichever way it leaves main.
// The connection is left between operations while the component runs.
class LoginSessionScope {
  public:
    LoginSessionScope(db::Connection& connection, QString connectionString, QString token)
        : connection_(connection),
          connectionString_(std::move(connectionString)),
          token_(std::move(token)) {
        connection_.close();
    }
    ~LoginSessionScope() {
        if (token_.isEmpty()) return;  // a server login records no session
        try {
            connection_.open(connectionString_);
            entry::endLoginSession(connection_, token_);
            connection_.close();
        } catch (const db::DbError&) {
            // An unreachable database keeps the session until it expires.
        }
    }
    LoginSessionScope(const LoginSessionScope&) = delete;
    LoginSessionScope& operator=(const LoginSessionScope&) = delete;

  private:
    db::Connection& connection_;
    QString connectionString_;
    QString token_;
};

// The login token leaves the settings when the program ends, whichever way
// main is left; a token another program wrote since is left to it.
class LoginTokenScope {
  public:
    LoginTokenScope(entry::SettingsStore& settings, QString token)
        : settings_(settings), token_(std::move(token)) {}
    ~LoginTokenScope() {
        const QString login = QStringLiteral("SystemLogin");
        const QString key = QStringLiteral("gLoginToken");
        if (settings_.value(login, key, QString()) != token_) return;
        settings_.remove(login, key);
        settings_.sync();
    }
    LoginTokenScope(const LoginTokenScope&) = delete;
    LoginTokenScope& operator=(const LoginTokenScope&) = delete;

  private:
    entry::SettingsStore& settings_;
    QString token_;
};

// SIGTERM and SIGINT end the program the way closing it does: every window's
// loop is left and main returns, so the login session and token are cleared
// (a bill being typed stays in its recovery copy).
int signalPipe[2] = {-1, -1};
int stoppedBy = 0;  // the signal that ended the program

void onStopSignal(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

void stopOnSignals(QCoreApplication& app) {
    if (::pipe(signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const auto read = ::read(signalPipe[0], &byte, 1);
        stoppedBy = byte;
        QCoreApplication::exit(128 + byte);
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

// On a server, the clerk logs in as their own login (app::logInToServer):
// answers the connection string to go on with, with no password in it, or an
// empty one when the clerk cancelled; none for an embedded database. A
// password on the command line is refused: `ps` shows it to everyone.
std::optional<QString> logInToServer(const QString& connectionString, bool fromCommandLine,
                                     bool passwordOption) {
    const db::ConnectionTarget target = db::parseConnectionString(connectionString);
    if (target.kind != db::DialectKind::PostgreSql) return std::nullopt;
    if (passwordOption || (fromCommandLine && !target.password.isEmpty()))
        throw db::DbError(
            QStringLiteral("服务器的密码不能写在命令行上（ps 可以看到）：请在登录时输入，或用 "
                           "PGPASSWORD、.pgpass"));
    db::ConnectionTarget place = target;
    place.user.clear();
    app::KeychainKeeper keeper;
    const auto loggedIn =
        app::logInToServer(target, keeper, [&](const app::ServerLoginQuestion& question) {
            return app::askServerLogin(place.describe(), question);
        });
    return loggedIn ? loggedIn->toConnectionString() : QString();
}

int runTerminalCommand(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("otherin"));
    app::ProcessTerminal terminal;
    return entry::runHostCommand(QCoreApplication::arguments(), terminal);
}

// A terminal sub-command with options: the core application, the output
// streams and a usage error (exit 2) are the same for each.
using OptionsCommand = std::function<int(const QCommandLineParser&, QTextStream&, QTextStream&)>;
int runOptionsCommand(int argc, char* argv[], const QList<QCommandLineOption>& options,
                      const OptionsCommand& run) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("otherin"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QCommandLineParser parser;
    parser.addOptions(options);
    if (!parser.parse(QCoreApplication::arguments())) {
        err << parser.errorText() << Qt::endl;
        return 2;
    }
    return run(parser, out, err);
}

// The database a terminal command works on: --db, else the settings' own.
QString commandDatabase(const QCommandLineParser& parser, const QCommandLineOption& db,
                        const QCommandLineOption& settings) {
    if (parser.isSet(db)) return db::connectionStringFromArgument(parser.value(db));
    const entry::SettingsStore store = parser.isSet(settings)
                                           ? entry::SettingsStore(parser.value(settings))
                                           : entry::SettingsStore();
    return store.value(QStringLiteral("DBOperation"), QStringLiteral("DBConnectionString"),
                       QString());
}

// `otherin verify [--db PATH] [--settings FILE] [--repair]`: the ledger against
// the bills, under the posting switch the database holds.
int runVerifyCommand(int argc, char* argv[]) {
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("数据库文件"),
                                QStringLiteral("path"));
    const QCommandLineOption settings(QStringLiteral("settings"), QStringLiteral("设置文件"),
                                      QStringLiteral("file"));
    const QCommandLineOption repair(QStringLiteral("repair"), QStringLiteral("改正不一致的项"));
    return runOptionsCommand(
        argc, argv, {db, settings, repair},
        [&](const QCommandLineParser& parser, QTextStream& out, QTextStream& err) {
            const QString connectionString = commandDatabase(parser, db, settings);
            int checkUpdate = 0;
            try {
                db::Connection connection;
                entry::requireDatabaseFile(connectionString);
                entry::openHostDatabase(connection, connectionString, db::embeddedDatabasePath());
                checkUpdate = entry::postingSwitch(connection);
            } catch (const db::DbError& e) {
                err << e.message() << Qt::endl;
                return 1;
            }
            return app::runVerify(connectionString, parser.isSet(repair), checkUpdate, out, err);
        });
}

// `otherin history [--db …] [--settings FILE] [--bill ID] [--limit N]`: the
// change history, the administrative changes unless a bill is named.
int runHistoryCommand(int argc, char* argv[]) {
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("数据库"),
                                QStringLiteral("path"));
    const QCommandLineOption settings(QStringLiteral("settings"), QStringLiteral("设置文件"),
                                      QStringLiteral("file"));
    const QCommandLineOption bill(QStringLiteral("bill"), QStringLiteral("单据内码"),
                                  QStringLiteral("id"));
    const QCommandLineOption limit(QStringLiteral("limit"), QStringLiteral("最多列出几条"),
                                   QStringLiteral("n"), QStringLiteral("100"));
    return runOptionsCommand(
        argc, argv, {db, settings, bill, limit},
        [&](const QCommandLineParser& parser, QTextStream& out, QTextStream& err) {
            bool billOk = true, limitOk = true;
            const qint64 billId = parser.isSet(bill) ? parser.value(bill).toLongLong(&billOk) : 0;
            const int most = parser.value(limit).toInt(&limitOk);
            if (!billOk || billId < 0 || !limitOk || most <= 0) {
                err << QStringLiteral("--bill 须是单据内码，--limit 须是正整数") << Qt::endl;
                return 2;
            }
            const QString connectionString = commandDatabase(parser, db, settings);
            try {
                entry::requireDatabaseFile(connectionString);
            } catch (const db::DbError& e) {
                err << e.message() << Qt::endl;
                return 1;
            }
            return app::runHistory(connectionString, billId, most, out, err);
        });
}

// `otherin copy --from sqlite:FILE --to URL`: an embedded database into an
// empty one on a server.
int runCopyCommand(int argc, char* argv[]) {
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("源数据库"),
                                  QStringLiteral("connection"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("目标数据库"),
                                QStringLiteral("connection"));
    return runOptionsCommand(
        argc, argv, {from, to},
        [&](const QCommandLineParser& parser, QTextStream& out, QTextStream& err) {
            if (!parser.isSet(from) || !parser.isSet(to)) {
                err << QStringLiteral("用法: otherin copy --from sqlite:FILE --to postgresql://…")
                    << Qt::endl;
                return 2;
            }
            return app::runCopy(parser.value(from), parser.value(to), out, err);
        });
}

// `otherin backup [--db DB] [--to DIR] [--keep N]` and `otherin restore --from
// BACKUP [--db DB]`; the folder and count default to the settings' own.
int runBackupCommand(int argc, char* argv[], bool restore) {
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("数据库"),
                                QStringLiteral("path or URL"));
    const QCommandLineOption settings(QStringLiteral("settings"), QStringLiteral("设置文件"),
                                      QStringLiteral("file"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("备份文件夹"),
                                QStringLiteral("dir"));
    const QCommandLineOption keep(QStringLiteral("keep"), QStringLiteral("保留份数"),
                                  QStringLiteral("n"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("备份文件"),
                                  QStringLiteral("file"));
    return runOptionsCommand(
        argc, argv, {db, settings, to, keep, from},
        [&](const QCommandLineParser& parser, QTextStream& out, QTextStream& err) {
            const QString database = commandDatabase(parser, db, settings);
            if (restore) {
                if (!parser.isSet(from)) {
                    err << QStringLiteral("用法: otherin restore --from 备份文件 [--db 数据库]")
                        << Qt::endl;
                    return 2;
                }
                return app::runRestore(parser.value(from), database, out, err);
            }
            const app::BackupSettings defaults = app::readBackupSettings(
                parser.isSet(settings) ? entry::SettingsStore(parser.value(settings))
                                       : entry::SettingsStore());
            int count = defaults.keep;
            if (parser.isSet(keep)) {
                bool ok = false;
                count = parser.value(keep).toInt(&ok);
                if (!ok || count < 1) {
                    err << QStringLiteral("--keep 须为正整数: %1").arg(parser.value(keep))
                        << Qt::endl;
                    return 2;
                }
            }
            return app::runBackup(database, parser.isSet(to) ? parser.value(to) : defaults.folder,
                                  count, out, err);
        });
}

// The day's first start on the embedded database copies it in the
// background; a progress box shows only when the copy takes over a second,
// and a copy that failed is told.
void startDailyBackup(app::DailyBackup& daily, const QString& connectionString,
                      const entry::SettingsStore& settings) {
    const db::ConnectionTarget target = db::parseConnectionString(connectionString);
    if (target.kind != db::DialectKind::Sqlite) return;
    const app::BackupSettings backup = app::readBackupSettings(settings);
    if (!daily.start(target.path, backup)) return;
    auto* progress = new QProgressDialog(QStringLiteral("正在备份数据库到 %1 …").arg(backup.folder),
                                         QString(), 0, 0);
    progress->setWindowTitle(kTitle);
    progress->setWindowModality(Qt::NonModal);
    progress->setCancelButton(nullptr);
    progress->setMinimumDuration(1000);
    QObject::connect(&daily, &app::DailyBackup::finished, progress,
                     [progress, folder = backup.folder](const app::FileBackup& result) {
                         progress->deleteLater();
                         if (result.made) return;
                         QMessageBox::warning(
                             nullptr, kTitle,
                             QStringLiteral("今天的自动备份没有成功:\n%1\n\n备份文件夹: %2\n"
                                            "可在设置文件的 [Backup] 一节用 Folder= 改到另一块"
                                            "磁盘或网络文件夹。")
                                 .arg(result.problem, folder));
                     });
}

}  // namespace

int main(int argc, char* argv[]) {
    // Help, version and wrong commands are answered without a display or database.
    if (const auto status = app::answerWithoutWindows(argc, argv)) return *status;
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("verify")) {
        return runVerifyCommand(argc, argv);
    }
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("history")) {
        return runHistoryCommand(argc, argv);
    }
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("copy")) {
        return runCopyCommand(argc, argv);
    }
    if (argc > 1 && (QString::fromLocal8Bit(argv[1]) == QLatin1String("backup") ||
                     QString::fromLocal8Bit(argv[1]) == QLatin1String("restore"))) {
        return runBackupCommand(argc, argv, QString::fromLocal8Bit(argv[1]) == "restore");
    }
    if (argc > 1 && entry::isHostCommand({QString(), QString::fromLocal8Bit(argv[1])})) {
        return runTerminalCommand(argc, argv);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("otherin"));
    stopOnSignals(app);
    entry::installQtTranslations();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("其它入库单"));
    parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("entry"),
        QStringLiteral(
            "new, find or find3; administration: init, copy, passwd, switch, verify, history, "
            "backup, restore (see README)"));
    QCommandLineOption dbOption(
        QStringLiteral("db"),
        QStringLiteral("database file, or postgresql://user@host:port/dbname"),
        QStringLiteral("path or URL"));
    QCommandLineOption userOption(QStringLiteral("user"), QStringLiteral("user id"),
                                  QStringLiteral("id"));
    QCommandLineOption passwordOption(QStringLiteral("password"), QStringLiteral("password"),
                                      QStringLiteral("text"), QString());
    QCommandLineOption settingsOption(QStringLiteral("settings"),
                                      QStringLiteral("settings file instead of the user's own"),
                                      QStringLiteral("file"));
    parser.addOptions({dbOption, userOption, passwordOption, settingsOption});
    if (!parser.parse(QCoreApplication::arguments())) {
        QTextStream(stderr) << parser.errorText() << Qt::endl;
        return 2;
    }

    const QString entryName = parser.positionalArguments().value(0, QStringLiteral("new"));
    if (entryName != QLatin1String("new") && entryName != QLatin1String("find") &&
        entryName != QLatin1String("find3")) {
        parser.showHelp(2);
    }

    entry::SettingsStore settings = parser.isSet(settingsOption)
                                        ? entry::SettingsStore(parser.value(settingsOption))
                                        : entry::SettingsStore();
    QString connectionString =
        parser.isSet(dbOption) ? db::connectionStringFromArgument(parser.value(dbOption))
                               : settings.value(QStringLiteral("DBOperation"),
                                                QStringLiteral("DBConnectionString"), QString());

    db::Connection connection;
    QString token;
    try {
        if (const auto server = logInToServer(connectionString, parser.isSet(dbOption),
                                              parser.isSet(passwordOption))) {
            if (server->isEmpty()) return 1;
            connectionString = *server;
        }
        entry::openHostDatabase(connection, connectionString, db::embeddedDatabasePath());
        // A clerk who connected as their own server login is known already.
        const auto serverUser = entry::serverLoginUser(connection);
        const auto user =
            serverUser ? serverUser
                       : login(connection, parser.value(userOption), parser.value(passwordOption));
        if (!user) return 1;
        if (!serverUser) token = entry::beginLoginSession(connection, user->id);
        const QString appPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir().mkpath(appPath);
        entry::writeLoginSettings(settings, *user, token, connectionString, appPath);
    } catch (const db::DbError& e) {
        QMessageBox::critical(nullptr, kTitle, e.message());
        return 1;
    }
    LoginSessionScope session(connection, connectionString, token);
    LoginTokenScope tokenScope(settings, token);
    // Declared before the windows, so it outlives them and waits for its copy.
    app::DailyBackup daily;
    startDailyBackup(daily, connectionString, settings);

    entry::QtPrompter prompter;
    app::QtWindowFactory windows(prompter);
    try {
        entry::clsOtherIn component(settings, prompter, windows);
        if (entryName == QLatin1String("new")) {
            QString code = QString::fromLatin1(entry::clsOtherIn::kNewInfoCode);
            component.newInfo(code);
        } else if (entryName == QLatin1String("find")) {
            QString code = QString::fromLatin1(entry::clsOtherIn::kFindInfoCode);
            component.findInfo(code);
        } else {
            QString sql;
            component.findInfo3(sql);
        }
    } catch (const entry::SettingsError& e) {
        QMessageBox::critical(nullptr, kTitle, e.message());
        return 1;
    } catch (const db::DbError& e) {
        QMessageBox::critical(nullptr, kTitle, e.message());
        return 1;
    }
    return stoppedBy ? 128 + stoppedBy : 0;
}
