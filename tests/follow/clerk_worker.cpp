// A clerk at another workstation, driven line by line on standard input, for
// the tests of windows that follow other clerks' work. Each command prints
// one flushed line:
//   save                 -> "saved <id>"       a new bill (warehouse 02, 02.001 × 3 at 10)
//   change <id> <qty>    -> "changed <id>"     opened to change, quantity typed, saved
//   audit <id>           -> "audited <id>"
//   delete <id>          -> "deleted <id>"
//   open <id>            -> "opened <id>"      left open in the editor to change
//   close                -> "closed"           the editor closed
//   type                 -> "typed"            a new bill of two lines typed, the
//                                              cursor on the third, not saved
// and "fail <what the clerk was told>" when refused. The event loop runs
// between commands, as in the host program. Exit code 2 for a wrong command
// line.

#include <unistd.h>
#include <QCoreApplication>
#include <QDate>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <cstdio>

#include "bill/bill_operations.h"
#include "db/connection_string.h"
#include "entry/edit_mode.h"
#include "reliability/bill_desk.h"

using namespace otherin;

namespace {

using Desk = otherin::testing::BillDesk<otherin::testing::LastWordPrompter>;

void say(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QString refused(Desk& desk) {
    return QStringLiteral("fail ") + (desk.prompter.last.isEmpty()
                                          ? QStringLiteral("(无提示)")
                                          : desk.prompter.last.simplified());
}

QString run(Desk& desk, const QStringList& words) {
    const QString command = words.value(0);
    const qint32 id = words.value(1).toInt();
    desk.prompter.last.clear();
    if (command == QLatin1String("save")) {
        desk.open(entry::kModeNew);
        desk.session->setBillDate(QDate(2026, 12, 5));
        desk.setHeader(3, QStringLiteral("02"));
        if (!desk.typeLines({{"02.001", "3"}}) || !desk.session->save()) return refused(desk);
        const qint32 saved = desk.ctx.gCurrentInterId;
        desk.session.reset();
        return QStringLiteral("saved %1").arg(saved);
    }
    if (command == QLatin1String("change")) {
        desk.open(entry::kModeChange, id);
        if (!desk.typeCell(5, 1, words.value(2)) || !desk.moveTo(8, 1) || !desk.session->save())
            return refused(desk);
        desk.session.reset();
        return QStringLiteral("changed %1").arg(id);
    }
    if (command == QLatin1String("audit")) {
        return bill::checkBill(desk.ctx, desk.prompter, QString::number(id))
                   ? QStringLiteral("audited %1").arg(id)
                   : refused(desk);
    }
    if (command == QLatin1String("delete")) {
        desk.ctx.gIdList = QString::number(id);
        return bill::deleteBill(desk.ctx, desk.prompter) ? QStringLiteral("deleted %1").arg(id)
                                                         : refused(desk);
    }
    if (command == QLatin1String("open")) {
        desk.open(entry::kModeChange, id);
        return QStringLiteral("opened %1").arg(id);
    }
    if (command == QLatin1String("type")) {
        desk.open(entry::kModeNew);
        desk.session->setBillDate(QDate(2026, 12, 5));
        desk.setHeader(3, QStringLiteral("02"));
        if (!desk.typeLines({{"02.001", "3"}, {"02.002", "4"}}) || !desk.moveTo(1, 3))
            return refused(desk);
        return QStringLiteral("typed");
    }
    if (command == QLatin1String("close")) {
        if (desk.session) desk.session->close();
        desk.session.reset();
        return QStringLiteral("closed");
    }
    return QStringLiteral("fail unknown command ") + command;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qsizetype at = app.arguments().indexOf(QStringLiteral("--db"));
    if (at < 0 || at + 1 >= app.arguments().size()) {
        std::fputs("clerk_worker --db PATH|URL [--settings FILE]\n", stderr);
        return 2;
    }
    // The clerk's settings: a file of the test's, or one of the worker's own.
    QTemporaryDir settingsDir;
    const qsizetype s = app.arguments().indexOf(QStringLiteral("--settings"));
    const QString settings =
        s > 0 ? app.arguments().value(s + 1) : settingsDir.filePath(QStringLiteral("clerk.ini"));
    Desk desk(db::connectionStringFromArgument(app.arguments().at(at + 1)), 12, settings);
    desk.ctx.gIsCheckUpdate = 0;
    // Standard input is read as it comes, so several commands sent at once
    // are all run.
    QSocketNotifier input(0, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char chunk[4096];
        const ssize_t n = ::read(0, chunk, sizeof chunk);
        if (n <= 0) {
            input.setEnabled(false);
            app.quit();
            return;
        }
        pending.append(chunk, n);
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QStringList words =
                QString::fromUtf8(pending.left(end)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            pending.remove(0, end + 1);
            if (!words.isEmpty()) say(run(desk, words));
        }
    });
    say(QStringLiteral("ready"));
    return app.exec();
}
