// Start-up: from starting the program to the bill editor on the screen,
// against starting it to the bare login dialog (the floor), each in a fresh
// process, alternately, on one demo database made before the runs.
//
//   startup_bench [--runs N] [--quick]
//
// Prints the median of each and their ratio. --quick checks that both
// windows come up (one run each) and prints no ratio.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/login_dialog.h"
#include "app/qt_window_factory.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "editor/ui/frm_main_bill.h"
#include "entry/cls_other_in.h"
#include "entry/database_file.h"
#include "entry/host_login.h"
#include "entry/login_session.h"
#include "entry/settings_store.h"
#include "entry/ui/qt_language.h"
#include "entry/ui/qt_prompter.h"

using namespace otherin;

namespace {

// Ends the process once `shown` finds its window on the screen, exposed.
void exitWhenShown(const std::function<QWidget*()>& shown) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [shown] {
        QWidget* w = shown();
        if (w && w->isVisible() && w->windowHandle() && w->windowHandle()->isExposed()) {
            std::fflush(stdout);
            ::_exit(0);
        }
    });
    timer->start(0);
}

// The program's own steps as far as the login dialog.
int runLogin(const QString& work) {
    entry::installQtTranslations();
    db::Connection connection;
    const QString file = work + QStringLiteral("/demo.db");
    entry::openHostDatabase(connection, db::connectionStringFromArgument(file), file);
    app::LoginDialog dialog(entry::listUsers(connection),
                            [](qlonglong, const QString&) { return std::nullopt; });
    exitWhenShown([&dialog] { return &dialog; });
    return dialog.exec();
}

// The program's own steps for `otherin new --user 1`, as far as the editor.
int runEditor(const QString& work) {
    entry::installQtTranslations();
    db::Connection connection;
    const QString file = work + QStringLiteral("/demo.db");
    const QString connectionString = db::connectionStringFromArgument(file);
    entry::openHostDatabase(connection, connectionString, file);
    const auto user = entry::checkLogin(connection, 1, QString());
    if (!user) return 1;
    entry::SettingsStore settings(work + QStringLiteral("/otherin.ini"));
    const QString token = entry::beginLoginSession(connection, user->id);
    entry::writeLoginSettings(settings, *user, token, connectionString, work);
    connection.close();
    entry::QtPrompter prompter;
    app::QtWindowFactory windows(prompter);
    entry::clsOtherIn component(settings, prompter, windows);
    exitWhenShown([]() -> QWidget* {
        return qobject_cast<editor::frmMainBill*>(QApplication::activeModalWidget());
    });
    QString code = QString::fromLatin1(entry::clsOtherIn::kNewInfoCode);
    component.newInfo(code);
    return 1;
}

double runChild(const QString& mode, const QString& work) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode, work});
    if (!child.waitForFinished(60000) || child.exitCode() != 0) {
        std::fprintf(stderr, "startup_bench: the %s run failed: %s\n", qPrintable(mode),
                     child.readAllStandardError().constData());
        std::exit(1);
    }
    return clock.nsecsElapsed() / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc == 4 && QByteArray(argv[1]) == "--child") {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("otherin"));
        const QString work = QString::fromLocal8Bit(argv[3]);
        return QByteArray(argv[2]) == "login" ? runLogin(work) : runEditor(work);
    }
    QCoreApplication app(argc, argv);
    int runs = 15;
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--quick") quick = true;
        if (QByteArray(argv[i]) == "--runs" && i + 1 < argc) runs = std::max(1, atoi(argv[++i]));
    }
    if (quick) runs = 1;
    QTemporaryDir work;
    // The demo database is made once, before any run is timed.
    {
        db::Connection connection;
        const QString file = work.filePath(QStringLiteral("demo.db"));
        entry::openHostDatabase(connection, db::connectionStringFromArgument(file), file);
    }
    runChild(QStringLiteral("editor"), work.path());  // warms the file cache
    std::vector<double> login, editor;
    for (int i = 0; i < runs; ++i) {
        login.push_back(runChild(QStringLiteral("login"), work.path()));
        editor.push_back(runChild(QStringLiteral("editor"), work.path()));
    }
    if (quick) {
        std::printf("startup_bench --quick: the login dialog and the editor came up\n");
        return 0;
    }
    const double floor = median(login);
    const double measured = median(editor);
    std::printf("start-up, median of %d runs each\n", runs);
    std::printf("  to the login dialog (floor)  %8.1f ms\n", floor);
    std::printf("  to the bill editor           %8.1f ms   ratio %.2f\n", measured,
                measured / floor);
    return 0;
}
