// Pictures of the real windows, driven by keys and clicks as a clerk would,
// for the README and the user guide. Run by scripts/screenshots under a
// display of its own:
//
//   otherin_screenshots SCENE OUT_DIR WORK_DIR
//
// WORK_DIR holds the scene's demo database and settings (made on first use);
// pictures are written to OUT_DIR as SCENE-*.png.
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <functional>

#include "app/keychain_keeper.h"
#include "app/qt_window_factory.h"
#include "app/server_login_dialog.h"
#include "bill/bill_operations.h"
#include "bill/ui/history_window.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "editor/bill_session.h"
#include "editor/print/bill_print.h"
#include "editor/ui/frm_main_bill.h"
#include "editor/ui/header_panel.h"
#include "editor/ui/line_grid_view.h"
#include "entry/cls_other_in.h"
#include "entry/database_file.h"
#include "entry/host_login.h"
#include "entry/login_context.h"
#include "entry/login_session.h"
#include "entry/settings_store.h"
#include "entry/ui/qt_language.h"
#include "entry/ui/qt_prompter.h"

using namespace otherin;

namespace {

QString outDir;
QString scene;

// The windows on the screen, cut to the ones the program shows.
void shoot(const QString& name) {
    QTest::qWait(300);
    QRect area;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isWindow()) area |= w->frameGeometry();
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(
        0, area.x(), area.y(), area.width(), area.height());
    const QString file = outDir + QLatin1Char('/') + scene +
                         (name.isEmpty() ? QString() : QLatin1Char('-') + name) +
                         QStringLiteral(".png");
    if (!picture.save(file)) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
}

// Pictures the box that `action` opens and answers it with `key`; no picture
// when no box opens.
void throughBox(const QString& name, int key, const std::function<void()>& action) {
    QTimer::singleShot(600, [name, key] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        shoot(name);
        QTest::keyClick(box, static_cast<Qt::Key>(key));
    });
    action();
    QTest::qWait(800);
}

editor::frmMainBill* editorWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* editor = qobject_cast<editor::frmMainBill*>(w); editor && editor->isVisible())
            return editor;
    return nullptr;
}

void clickCell(editor::frmMainBill* w, int column, int row) {
    editor::LineGridView* view = w->gridView();
    const QRect cell = view->visualRect(view->model()->index(row - 1, column - 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
}

// Where the keys go: the focused widget, else the active window.
// (A display without a window manager gives no window the focus back when a
// box closes: the editor takes it again.)
editor::frmMainBill* editorWindow();
QWidget* keyTarget() {
    for (int wait = 0; wait < 40; ++wait) {
        if (QWidget* w = QApplication::focusWidget()) return w;
        if (QWidget* w = QApplication::activeWindow()) return w;
        if (QWidget* w = editorWindow()) w->activateWindow();
        QTest::qWait(50);
    }
    std::fprintf(stderr, "no window has the focus\n");
    ::_exit(1);
}

void typeInCell(editor::frmMainBill* w, const QString& text) {
    QTest::keyClick(w->gridView(), text.at(0).toLatin1());
    QTest::keyClicks(keyTarget(), text.mid(1));
}

// Text the test keyboard has no key for (Chinese), as one key event.
void typeText(const QString& text) {
    QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QApplication::sendEvent(QApplication::focusWidget(), &down);
}

void press(Qt::Key key) {
    QTest::keyClick(keyTarget(), key);
}

// Item, quantity and price of line `row`, left by a click on the next line.
void typeLine(editor::frmMainBill* w, int row, const QString& item, const QString& qty,
              const QString& price) {
    clickCell(w, 1, row);
    typeInCell(w, item);
    press(Qt::Key_Tab);
    clickCell(w, 5, row);
    typeInCell(w, qty);
    press(Qt::Key_Tab);
    typeInCell(w, price);
    press(Qt::Key_Tab);
    clickCell(w, 1, row + 1);
}

entry::clsOtherIn* component = nullptr;
entry::Prompter* prompter = nullptr;
db::Connection* database = nullptr;

// From now on every box is told on the error output and answered with Enter.
void answerEveryBox() {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "answered: %s\n", qPrintable(box->text()));
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    timer->start(200);
}

// Types the warehouse and `lines` lines from `first`, then saves with Ctrl+S.
void typeAndSave(editor::frmMainBill* w, int lines, int first) {
    QWidget* warehouse = w->headerPanel()->input(3);
    QTest::mouseClick(warehouse, Qt::LeftButton);
    QTest::keyClick(warehouse, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(warehouse, QStringLiteral("01"));
    for (int r = 1; r <= lines; ++r) {
        const int item = (first + r - 2) % 15 + 1;
        typeLine(w, r, QStringLiteral("01.%1").arg(item, 3, 10, QLatin1Char('0')),
                 QString::number(r * 7), QStringLiteral("%1.5").arg(item * 3));
    }
    QTest::keyClick(keyTarget(), Qt::Key_S, Qt::ControlModifier);
    QTest::qWait(500);
}

// The scenes, each run once the editor (or the query dialog) is up.
void runScene() {
    editor::frmMainBill* w = editorWindow();
    if (!w) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        std::fprintf(stderr, "no editor on the screen%s%s\n", box ? ": " : "",
                     box ? qPrintable(box->text()) : "");
        ::_exit(1);
    }
    if (scene == QLatin1String("date")) {
        QWidget* date = w->headerPanel()->input(w->session()->dateField());
        auto* text = date->findChild<QLineEdit*>();
        QTest::mouseClick(text, Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("2026-03-16"));
        throughBox(QStringLiteral("asked"), Qt::Key_Return, [] { press(Qt::Key_Tab); });
        typeText(QStringLiteral("盘盈"));
        shoot(QStringLiteral("typed"));
    } else if (scene == QLatin1String("cell")) {
        clickCell(w, 1, 1);
        typeInCell(w, QStringLiteral("01.001"));
        press(Qt::Key_Tab);
        clickCell(w, 5, 1);
        typeInCell(w, QStringLiteral("1a2"));
        throughBox(QStringLiteral("refused"), Qt::Key_Return, [] { press(Qt::Key_Tab); });
        shoot(QStringLiteral("after"));
    } else if (scene == QLatin1String("crash")) {
        typeLine(w, 1, QStringLiteral("01.001"), QStringLiteral("5"), QStringLiteral("12.5"));
        typeLine(w, 2, QStringLiteral("01.002"), QStringLiteral("20"), QStringLiteral("3"));
        typeLine(w, 3, QStringLiteral("02.001"), QStringLiteral("2"), QStringLiteral("48"));
        shoot(QStringLiteral("typed"));
        QTest::qWait(3500);
        std::raise(SIGKILL);
    } else if (scene == QLatin1String("print")) {
        // A bill of 40 lines, saved, then printed to PDF as the print
        // dialog's "print to file" would; the script makes pictures of its pages.
        answerEveryBox();
        typeAndSave(w, 40, 1);
        const qint64 bill =
            database->scalar(QStringLiteral("select max(finterid) from icstockbill")).toLongLong();
        if (!print::printBill(component->context(), *prompter, bill,
                              print::PrintTarget::pdf(outDir + QStringLiteral("/print.pdf"))))
            ::_exit(1);
    } else if (scene == QLatin1String("editor")) {
        // Two bills saved (the journal and query scenes find them), the
        // second shown as saved.
        answerEveryBox();
        typeAndSave(w, 4, 1);
        QTest::keyClick(keyTarget(), Qt::Key_N, Qt::ControlModifier);
        QTest::qWait(300);
        typeAndSave(w, 3, 5);
        shoot(QString());
    } else if (scene == QLatin1String("guide")) {
        press(Qt::Key_F1);
        QTest::qWait(800);
        if (auto* guide = w->findChild<QWidget*>(QStringLiteral("userGuide")))
            guide->grab().save(outDir + QStringLiteral("/guide.png"));
    } else if (scene == QLatin1String("recover")) {
        // The box, when there is one, was answered before this ran.
        shoot(QStringLiteral("after"));
    }
    ::_exit(0);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: otherin_screenshots SCENE OUT_DIR WORK_DIR\n");
        return 2;
    }
    scene = QString::fromLocal8Bit(argv[1]);
    outDir = QString::fromLocal8Bit(argv[2]);
    const QString work = QString::fromLocal8Bit(argv[3]);
    QDir().mkpath(outDir);
    QDir().mkpath(work);
    entry::installQtTranslations();
    if (scene == QLatin1String("server-login")) {
        // The login to a server after a wrong password, with no keyring here.
        app::KeychainKeeper keeper;
        app::ServerLoginDialog dialog(
            QStringLiteral("db.example.lan:5432/stock"),
            {QStringLiteral("stock_zhang"), QStringLiteral("密码不正确，请重新输入"),
             keeper.whyUnavailable(), false});
        dialog.show();
        shoot(QString());
        return 0;
    }

    const QString connectionString =
        db::connectionStringFromArgument(work + QStringLiteral("/demo.db"));
    entry::SettingsStore settings(work + QStringLiteral("/otherin.ini"));
    db::Connection connection;
    entry::openHostDatabase(connection, connectionString, work + QStringLiteral("/demo.db"));
    const auto user = entry::findUser(connection, 1);
    if (!user) return 1;
    if (scene == QLatin1String("history")) {
        // The last bill the editor scene saved, audited, in its 修改记录.
        entry::LoginContext ctx;
        ctx.DBConnectionString = connectionString;
        ctx.gLoginUserId = QStringLiteral("1");
        ctx.gRightPrefix = QStringLiteral("G");
        ctx.IsAdmin = 1;
        entry::QtPrompter prompter;
        const qint32 bill =
            connection.scalar(QStringLiteral("select max(finterid) from icstockbill")).toInt();
        connection.close();
        bill::checkBill(ctx, prompter, QString::number(bill));
        bill::HistoryWindow window(ctx, prompter);
        if (!window.load(bill)) return 1;
        window.show();
        shoot(QString());
        return 0;
    }
    if (scene == QLatin1String("empty-journal")) {
        // A period without a bill: the journal comes up empty.
        connection.exec(QStringLiteral("delete from icstockbillentry"));
        connection.exec(QStringLiteral("delete from icstockbill"));
    }
    const QString token = entry::beginLoginSession(connection, user->id);
    entry::writeLoginSettings(settings, *user, token, connectionString, work);

    // A scene that stops on a box nobody answers is told and ended.
    QTimer::singleShot(90000, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        std::fprintf(stderr, "scene stuck%s%s\n", box ? ": " : "",
                     box ? qPrintable(box->text()) : "");
        ::_exit(1);
    });
    entry::QtPrompter prompter;
    app::QtWindowFactory windows(prompter);
    entry::clsOtherIn component(settings, prompter, windows);
    ::component = &component;
    ::prompter = &prompter;
    ::database = &connection;
    if (scene == QLatin1String("query") || scene.endsWith(QLatin1String("journal"))) {
        // The query dialog; the journal behind its 确定.
        QTimer::singleShot(1000, [] {
            if (scene == QLatin1String("query")) {
                shoot(QString());
                ::_exit(0);
            }
            QTimer::singleShot(1500, [] {
                shoot(QString());
                ::_exit(0);
            });
            for (auto* b : QApplication::activeModalWidget()->findChildren<QPushButton*>())
                if (b->text().contains(QStringLiteral("确定")))
                    QTest::mouseClick(b, Qt::LeftButton);
        });
        QString sql;
        if (scene == QLatin1String("empty-journal")) {
            component.findInfo3(sql);
        } else {
            sql = QString::fromLatin1(entry::clsOtherIn::kFindInfoCode);
            component.findInfo(sql);
        }
        return 0;
    }
    if (scene == QLatin1String("recover")) {
        QTimer::singleShot(800, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shoot(QStringLiteral("asked"));
                QTest::keyClick(box, Qt::Key_Y);
            }
        });
    }
    QTimer::singleShot(1600, runScene);
    QString code = QString::fromLatin1(entry::clsOtherIn::kNewInfoCode);
    component.newInfo(code);
    return 0;
}
