// Saves new bills (warehouse 02, one line of 02.001) through the editor
// session, as a clerk at one workstation would, and prints one flushed line
// per result (so a killed worker leaves whole lines): "ok<TAB>id<TAB>number",
// "fail<TAB>typed text<TAB>what the user was told", then "done<TAB>stored<TAB>refused".
// Every K-th save types a number in the counter's format drawn from the first
// 2N, sometimes padded with blanks; --wait-for-go waits for a line on standard
// input first. Exit code 0 when every save was attempted, 1 when the editor
// could not be set up, 2 for a wrong command line.

#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

#include "db/connection_string.h"
#include "db/db_error.h"
#include "editor/bill_session.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "entry/settings_store.h"
#include "entry/startup.h"
#include "stock/bill_numbering.h"
#include "support/demo_login.h"

using namespace otherin;

namespace {

// Keeps the last thing the user was told; answers No to every question, so
// a question the save was not expected to ask shows up as a refused save.
class LastWordPrompter : public entry::Prompter {
  public:
    void message(const QString& text, entry::Icon, const QString&) override { last = text; }
    entry::Answer question(const QString& text, entry::Buttons, entry::Icon,
                           const QString&) override {
        last = QStringLiteral("问: ") + text;
        return entry::Answer::No;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return {};
    }
    std::optional<QString> saveFileName(const QString&, const QString&) override { return {}; }
    QString last;
};

struct Options {
    QString db;
    int count = 0;
    quint32 seed = 1;
    int typedEvery = 0;
    bool waitForGo = false;
};

// The counter's prefix and digit count, so typed numbers look like its own.
std::pair<QString, int> numberFormat(entry::LoginContext& ctx) {
    entry::ConnectionScope scope(ctx);
    db::Query q = ctx.gConnection.prepare(
        QStringLiteral("select fPreLetter,coalesce(flength,6) from tblMaxBillNo where ftypeid=?"));
    q.bind(ctx.gBillTypeId).exec();
    if (!q.next()) return {QStringLiteral("BIn"), 7};
    return {q.value(0).toString(), q.value(1).toInt()};
}

void printLine(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

class Worker {
  public:
    Worker(const Options& options, entry::SettingsStore& settings)
        : options_(options), settings_(settings), random_(options.seed) {
        otherin::testing::logInDemoAdministrator(ctx_, db::connectionStringFromArgument(options.db),
                                                 1);
        ctx_.gBillLength = 6;
        ctx_.gIsAddDelNumber = 1;
    }

    // False when the editor could not even be laid out.
    bool run() {
        const auto [prefix, digits] = numberFormat(ctx_);
        if (options_.waitForGo) {
            char line[16];
            if (!std::fgets(line, sizeof line, stdin)) return false;
        }
        int stored = 0;
        for (int i = 1; i <= options_.count; ++i) {
            QString typed;
            if (options_.typedEvery > 0 && i % options_.typedEvery == 0) {
                std::uniform_int_distribution<int> pick(1, 2 * options_.count);
                typed = stock::formatBillNumber(prefix, pick(random_), digits);
                if (random_() % 2 == 0) typed = QStringLiteral(" ") + typed + QStringLiteral(" ");
            }
            const auto result = saveOne(typed);
            if (!result) return false;
            if (*result) ++stored;
        }
        printLine(QStringLiteral("done\t%1\t%2").arg(stored).arg(options_.count - stored));
        return true;
    }

  private:
    // Empty when the session could not be prepared; else whether it stored.
    std::optional<bool> saveOne(const QString& typed) {
        ctx_.gIsUpdateBillNo = typed.isEmpty() ? 0 : 1;
        ctx_.gEditMode = 0;
        ctx_.gCurrentInterId = 0;
        editor::BillSession session(ctx_, prompter_, entry::Selectors{}, &settings_);
        if (!session.prepare()) return std::nullopt;
        session.start();
        prompter_.last.clear();
        editor::EditorController& editor = session.controller();
        session.setBillDate(QDate(2026, 3, 15));
        if (!typed.isEmpty()) enterHeader(editor, session.billNumberField(), typed);
        enterHeader(editor, 3, QStringLiteral("02"));
        editor::LineGrid& grid = session.form().grid;
        // The cursor moves as the window moves it: each cell is checked on leaving.
        const auto moveTo = [&](int c) {
            const auto at = editor.state().active;
            return editor.leaveCell(at.column, at.row, c, 1);
        };
        const auto type = [&](int c, const QString& text) {
            return moveTo(c) && grid.setData(grid.index(0, c - 1), text, Qt::EditRole);
        };
        const bool entered = type(1, QStringLiteral("02.001")) && type(5, QStringLiteral("3")) &&
                             type(6, QStringLiteral("10")) && moveTo(8);
        if (entered && session.save()) {
            printLine(
                QStringLiteral("ok\t%1\t%2").arg(ctx_.gCurrentInterId).arg(session.billNumber()));
            return true;
        }
        const QString told = prompter_.last.isEmpty() ? QStringLiteral("(无提示)") : prompter_.last;
        printLine(QStringLiteral("fail\t%1\t%2").arg(typed, told.simplified()));
        return false;
    }

    static void enterHeader(editor::EditorController& editor, int index, const QString& text) {
        editor.headerFocus(index);
        editor.setHeaderText(index, text);
        if (editor.headerValidate(index)) editor.headerLeave(index);
    }

    Options options_;
    entry::SettingsStore& settings_;
    std::mt19937 random_;
    entry::LoginContext ctx_;
    LastWordPrompter prompter_;
};

// The options of the usage line above; empty when one is missing or wrong.
std::optional<Options> parse(QStringList args) {
    Options o;
    o.waitForGo = args.removeAll(QStringLiteral("--wait-for-go")) > 0;
    const auto value = [&](const char* name, const char* fallback) {
        const qsizetype at = args.indexOf(QLatin1String(name));
        return at > 0 ? args.value(at + 1) : QString::fromLatin1(fallback);
    };
    bool countOk = false, seedOk = false, typedOk = false;
    o.db = value("--db", "");
    o.count = value("--count", "").toInt(&countOk);
    o.seed = value("--seed", "1").toUInt(&seedOk);
    o.typedEvery = value("--typed-every", "0").toInt(&typedOk);
    if (o.db.isEmpty() || !countOk || !seedOk || !typedOk || o.count < 0 || o.typedEvery < 0)
        return std::nullopt;
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto options = parse(app.arguments());
    if (!options) {
        std::fputs(
            "save_worker --db PATH|URL --count N --seed S [--typed-every K] "
            "[--wait-for-go]\n",
            stderr);
        return 2;
    }
    // The editor's options live in a settings file of the worker's own.
    QTemporaryDir settingsDir;
    entry::SettingsStore settings(settingsDir.filePath(QStringLiteral("worker.ini")));
    try {
        Worker worker(*options, settings);
        return worker.run() ? 0 : 1;
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
}
