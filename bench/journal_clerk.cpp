#include "journal_clerk.h"

#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDate>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <vector>

#include "db/connection.h"
#include "db/db_error.h"
#include "entry/prompter.h"
#include "journal/ui/frm_main_bill_result.h"
#include "journal/ui/frozen_table_view.h"
#include "query/bill_find_controller.h"
#include "support/demo_login.h"

namespace otherin::bench {

namespace {

// A quick clerk's pace at the journal: a command, then this long to look.
constexpr int kAuditPauseMs = 250;
// After "stop" the journal has caught up once a reload begun after it has
// ended with nothing heard since, or once nothing was heard for this long.
constexpr qint64 kQuietMs = 3000;
constexpr qint64 kLongestCatchUpMs = 30000;

void say(const char* line) {
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// One line of standard input, read without the stdio buffer, so a later line
// is still there for the event loop's reader. Empty at the end of input.
QByteArray readLine() {
    QByteArray line;
    char ch = 0;
    while (::read(0, &ch, 1) == 1) {
        if (ch == '\n') return line;
        line += ch;
    }
    return line;
}

// Records what the clerk is told and confirms every question, as the
// auditing clerk confirms the deletes he asked for. Telling the clerk
// anything while a write transaction is open is a fault of the run.
class ClerkPrompter : public entry::Prompter {
  public:
    explicit ClerkPrompter(const db::Connection& watched) : watched_(watched) {}

    void message(const QString& text, entry::Icon, const QString&) override { note(text); }
    entry::Answer question(const QString& text, entry::Buttons buttons, entry::Icon,
                           const QString&) override {
        note(text);
        return buttons == entry::Buttons::Ok || buttons == entry::Buttons::OkCancel
                   ? entry::Answer::Ok
                   : entry::Answer::Yes;
    }
    std::optional<QString> input(const QString& prompt, const QString&, const QString&) override {
        note(prompt);
        return std::nullopt;
    }
    std::optional<QString> saveFileName(const QString&, const QString&) override {
        return std::nullopt;
    }

    QStringList texts;

  private:
    void note(const QString& text) {
        texts << (watched_.transactionDepth() > 0 ? QStringLiteral("(事务中) ") : QString()) +
                     text.simplified();
    }
    const db::Connection& watched_;
};

// The journal clerk's application. Each reload, whether the follower's own or
// the bar's 刷新, runs inside one event of the loop; the whole of that event
// is the reload's time, less the bench's own bookkeeping in it.
class JournalApplication : public QApplication {
  public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_ > 0) {
            ++depth_;
            const bool handled = QApplication::notify(receiver, event);
            --depth_;
            return handled;
        }
        resets = follows = 0;
        setAsideNs = 0;
        const qint64 begin = steadyNs();
        ++depth_;
        const bool handled = QApplication::notify(receiver, event);
        --depth_;
        if ((resets > 0 || follows > 0) && eventTimed)
            eventTimed(begin, steadyNs() - begin - setAsideNs);
        return handled;
    }

    int resets = 0;         // journal loads in this event
    int follows = 0;        // reloads of the follower's own in this event
    qint64 setAsideNs = 0;  // the bench's own time in this event
    std::function<void(qint64 beginNs, qint64 ns)> eventTimed;

  private:
    int depth_ = 0;
};

QString joined(const std::vector<double>& values) {
    QStringList texts;
    for (double v : values) texts << QString::number(v, 'f', 3);
    return texts.join(u' ');
}

QString joined(const QList<qint32>& ids) {
    QStringList texts;
    for (qint32 id : ids) texts << QString::number(id);
    return texts.join(u' ');
}

bool writeFile(const QString& path, const QStringList& lines) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write((lines.join(u'\n') + u'\n').toUtf8()) >= 0;
}

// The first data column the grid shows, where a click lands.
int firstShownColumn(journal::frmMainBillResult& window) {
    int column = 0;
    while (column < window.model().columnCount() - 1 && window.grid()->isColumnHidden(column))
        ++column;
    return column;
}

void quietOffScreen(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("propagateSizeHints")) ||
        text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

}  // namespace

qint64 steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int runJournalClerk(int& argc, char** argv, const JournalClerkRun& run) {
    // The window is made and shown, but never on a screen; the off-screen
    // platform's words about what it cannot do are not the run's.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietOffScreen);
    JournalApplication app(argc, argv);
    QTemporaryDir dir;
    entry::LoginContext ctx;
    otherin::testing::logInDemoAdministrator(ctx, run.connectionString, run.period);
    ctx.gLoginUserId = QString::number(run.userId);
    ctx.gLoginUserName = QStringLiteral("库管员%1").arg(run.userId);
    ctx.IsAdmin = 0;
    ctx.gAppPath = dir.path();
    ctx.settingsFile = dir.filePath(QStringLiteral("clerk.ini"));
    ClerkPrompter prompter(ctx.gConnection);
    query::BillFindController query(ctx, prompter);
    query.open();
    journal::frmMainBillResult window(ctx, prompter, query, journal::JournalWindowHooks{});
    if (!query.runQuery(window.model())) {
        std::fprintf(stderr, "the journal did not load: %s\n",
                     qPrintable(prompter.texts.join(QStringLiteral(" | "))));
        return 1;
    }
    // As the query dialog's OK shows it: modal, so the follower finds the
    // clerk between commands whenever nothing is above it.
    window.setWindowModality(Qt::ApplicationModal);
    window.show();
    query::JournalModel& model = window.model();
    journal::JournalFollower& follower = window.follower();
    auto* barRefresh =
        window.changeBar()->findChild<QAbstractButton*>(QStringLiteral("changeBarRefresh"));
    if (!barRefresh) return 1;

    bool running = false;
    qint64 goNs = 0;
    qint64 stopNs = 0;
    qint64 lastReloadBegin = 0;
    std::vector<double> reloadMs;
    int followed = 0, refreshed = 0, failed = 0;
    QHash<qint32, qint64> seen;

    QObject::connect(&model, &QAbstractItemModel::modelReset, &app, [&] {
        const qint64 at = steadyNs();
        ++app.resets;
        if (!running) return;
        // Only the first showing of each bill counts.
        for (const QStringView id : QStringView(model.idList()).split(u',', Qt::SkipEmptyParts))
            if (const qint32 bill = id.toInt(); !seen.contains(bill)) seen.insert(bill, at);
        app.setAsideNs += steadyNs() - at;
    });
    QObject::connect(&follower, &journal::JournalFollower::followed, &app, [&] { ++app.follows; });
    app.eventTimed = [&](qint64 begin, qint64 ns) {
        if (!running || run.audits) return;
        if (app.resets == 0) {
            ++failed;  // the follower reloaded, and nothing was loaded
            return;
        }
        lastReloadBegin = begin;
        if (stopNs != 0) return;
        reloadMs.push_back(static_cast<double>(ns) / 1e6);
        if (app.follows > 0) {
            ++followed;
        } else {
            ++refreshed;
        }
    };
    // A journal longer than the follower reloads unasked shows a bar instead;
    // the clerk presses its 刷新 at once (if it still shows then).
    bool refreshQueued = false;
    QObject::connect(&follower, &journal::JournalFollower::barChanged, &app,
                     [&](const QString& text) {
                         if (text.isEmpty() || refreshQueued || !running) return;
                         refreshQueued = true;
                         QTimer::singleShot(0, &window, [&] {
                             refreshQueued = false;
                             if (!follower.barText().isEmpty()) barRefresh->click();
                         });
                     });

    say("ready");
    if (readLine() != "go") return 1;
    running = true;
    goNs = steadyNs();
    QList<qint32> audited, deleted;
    int exitCode = 0;

    const auto finish = [&] {
        QStringList lines;
        const qint64 end = stopNs != 0 ? stopNs : steadyNs();
        if (run.audits) {
            lines << QStringLiteral("done %1 %2").arg(audited.size()).arg(deleted.size())
                  << QStringLiteral("audited ") + joined(audited)
                  << QStringLiteral("deleted ") + joined(deleted);
        } else {
            QStringList shown;
            for (auto it = seen.cbegin(); it != seen.cend(); ++it)
                shown << QStringLiteral("%1:%2").arg(it.key()).arg(it.value());
            lines << QStringLiteral("done %1 %2 %3 %4 %5")
                         .arg(reloadMs.size())
                         .arg(followed)
                         .arg(refreshed)
                         .arg(failed)
                         .arg(static_cast<double>(end - goNs) / 1e6, 0, 'f', 3)
                  << QStringLiteral("ms ") + joined(reloadMs)
                  << QStringLiteral("seen ") + shown.join(u' ');
        }
        lines << QStringLiteral("told ") + prompter.texts.join(u'|');
        if (!writeFile(run.outFile, lines)) exitCode = 1;
        say("done");
        app.quit();
    };

    // The auditing clerk: the first bill of the journal he has not yet
    // handled, clicked and then audited, or every third one deleted.
    QTimer work;
    QStringList expected;
    const auto act = [&] {
        if (static_cast<double>(steadyNs() - goNs) / 1e9 >= run.seconds) {
            work.stop();
            finish();
            return;
        }
        const QSet<qint32> handled(audited.cbegin(), audited.cend());
        const QSet<qint32> gone(deleted.cbegin(), deleted.cend());
        int row = -1;
        for (int r = 0; r < model.lineCount() && row < 0; ++r) {
            const auto id = static_cast<qint32>(model.interId(r));
            if (id > 0 && !handled.contains(id) && !gone.contains(id)) row = r;
        }
        if (row < 0) return;
        const auto id = static_cast<qint32>(model.interId(row));
        window.grid()->selectionModel()->setCurrentIndex(
            model.index(row, firstShownColumn(window)),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const bool remove = (audited.size() + deleted.size()) % 3 == 2;
        // All he is told is what each command tells on success; the number
        // is read before the reload the command ends with.
        if (remove) {
            expected << QStringLiteral("确定要删除所选定的单据吗? 单据编号: ") + model.billNo(row)
                     << QStringLiteral("删除成功!");
        } else {
            expected << QStringLiteral("审核成功!");
        }
        window.command(remove ? QStringLiteral("Delete") : QStringLiteral("Check"))->trigger();
        if (prompter.texts == expected) {
            (remove ? deleted : audited) << id;
        } else {
            std::fprintf(stderr, "auditing clerk, bill %d: %s\n", id,
                         qPrintable(prompter.texts.mid(expected.size() - (remove ? 2 : 1))
                                        .join(QStringLiteral(" | "))));
            exitCode = 1;
            work.stop();
            finish();
        }
    };
    if (run.audits) {
        QObject::connect(&work, &QTimer::timeout, &app, act);
        work.start(kAuditPauseMs);
    }

    // A journal clerk follows until "stop", then until he has caught up.
    QSocketNotifier input(0, QSocketNotifier::Read);
    QTimer catchUp;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        input.setEnabled(false);
        const QByteArray line = readLine();
        if (run.audits) return;
        stopNs = steadyNs();
        if (line != "stop") exitCode = 1;
        catchUp.start(100);
    });
    QObject::connect(&catchUp, &QTimer::timeout, &app, [&] {
        const qint64 since = (steadyNs() - stopNs) / 1000000;
        const bool settled = follower.barText().isEmpty() && !follower.isPending() &&
                             !refreshQueued && (lastReloadBegin > stopNs || since > kQuietMs);
        if (settled || since > kLongestCatchUpMs) {
            catchUp.stop();
            finish();
        }
    });
    try {
        app.exec();
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "%s: %s\n", run.audits ? "auditing clerk" : "journal clerk",
                     qPrintable(e.message()));
        return 1;
    }
    if (!run.audits && !prompter.texts.isEmpty()) exitCode = 1;
    return exitCode;
}

}  // namespace otherin::bench
