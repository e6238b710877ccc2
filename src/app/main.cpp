// The host program: plays the suite's main program. It prepares the database
// (creating the embedded demo database on first run), logs a user in, writes
// the login settings, creates the component and calls the entry operation
// asked for.

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>

#include "app/admin_commands.h"
#include "app/login_dialog.h"
#include "app/qt_window_factory.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/schema.h"
#include "entry/cls_other_in.h"
#include "entry/host_login.h"
#include "entry/settings_store.h"
#include "entry/startup.h"
#include "entry/ui/qt_prompter.h"

using namespace otherin;

namespace {

const QString kTitle = QStringLiteral("Mendaxo进销存");

// --db takes a connection string, or a bare file path for the embedded database.
QString commandLineDatabase(const QString& value) {
    if (value.contains(QStringLiteral("://")) || value.startsWith(QStringLiteral("sqlite:"))) {
        return value;
    }
    return QStringLiteral("sqlite:") + value;
}

void prepareDatabase(db::Connection& connection, const QString& connectionString) {
    connection.open(connectionString);
    if (db::schema::ensureSchema(connection)) db::schema::installDemoData(connection);
}

std::optional<entry::UserRecord> login(db::Connection& connection, const QString& userArg,
                                       const QString& password) {
    if (!userArg.isEmpty()) return entry::checkLogin(connection, userArg.toLongLong(), password);
    app::LoginDialog dialog(entry::listUsers(connection));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return entry::checkLogin(connection, dialog.userId(), dialog.password());
}

}  // namespace

int main(int argc, char* argv[]) {
    if (int exitCode = 0; app::runAdminCommand(argc, argv, exitCode)) return exitCode;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("otherin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("其它入库单"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("entry"),
                                 QStringLiteral("new, find or find3 (init and copy: see --help "
                                                "of each)"));
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
    parser.process(app);

    const QString entryName = parser.positionalArguments().value(0, QStringLiteral("new"));
    if (entryName != QLatin1String("new") && entryName != QLatin1String("find") &&
        entryName != QLatin1String("find3")) {
        parser.showHelp(2);
    }

    entry::SettingsStore settings = parser.isSet(settingsOption)
                                        ? entry::SettingsStore(parser.value(settingsOption))
                                        : entry::SettingsStore();
    const QString connectionString =
        parser.isSet(dbOption) ? commandLineDatabase(parser.value(dbOption))
                               : settings.value(QStringLiteral("DBOperation"),
                                                QStringLiteral("DBConnectionString"), QString());

    std::optional<entry::UserRecord> user;
    try {
        db::Connection connection;
        prepareDatabase(connection, connectionString);
        user = login(connection, parser.value(userOption), parser.value(passwordOption));
    } catch (const db::DbError& e) {
        QMessageBox::critical(nullptr, kTitle, e.message());
        return 1;
    }
    if (!user) {
        QMessageBox::warning(nullptr, kTitle, QStringLiteral("用户名或密码不正确"));
        return 1;
    }
    const QString appPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(appPath);
    entry::writeLoginSettings(settings, *user, connectionString, appPath);

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
    return 0;
}
