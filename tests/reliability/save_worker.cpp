// Saves new bills (warehouse 02, one line of 02.001) through the editor
// session, as a clerk at one workstation would, and prints one flushed line
// per result (so a killed worker leaves whole lines): "ok<TAB>id<TAB>number",
// "fail<TAB>typed text<TAB>what the user was told", then "done<TAB>stored<TAB>refused".
// Every K-th save types a number in the counter's format drawn from the first
// 2N, sometimes padded with blanks. The saves start once a line arrives on
// standard input. Exit code 0 when every save was attempted, 1 when the
// editor could not be set up, 2 for a wrong command line.

#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

#include "db/connection_string.h"
#include "db/db_error.h"
#include "editor/bill_session.h"
#include "entry/prompter.h"
#include "reliability/bill_desk.h"
#include "stock/bill_numbering.h"

using namespace otherin;

namespace {

struct Options {
    QString db;
    int count = 0;
    quint32 seed = 1;
    int typedEvery = 0;
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
    Worker(const Options& options, const QString& settingsFile)
        : options_(options),
          random_(options.seed),
          desk_(db::connectionStringFromArgument(options.db), 1, settingsFile) {
        desk_.ctx.gIsAddDelNumber = 1;
    }

    // False when the editor could not even be laid out.
    bool run() {
        const auto [prefix, digits] = numberFormat(desk_.ctx);
        char line[16];
        if (!std::fgets(line, sizeof line, stdin)) return false;
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
        desk_.ctx.gIsUpdateBillNo = typed.isEmpty() ? 0 : 1;
        if (!desk_.open(0)) return std::nullopt;
        desk_.prompter.last.clear();
        desk_.session->setBillDate(QDate(2026, 3, 15));
        // A refused number or warehouse is left for the save to refuse.
        if (!typed.isEmpty()) desk_.setHeader(desk_.session->billNumberField(), typed);
        desk_.setHeader(3, QStringLiteral("02"));
        if (desk_.typeLines({{"02.001", "3"}}) && desk_.session->save()) {
            printLine(QStringLiteral("ok\t%1\t%2")
                          .arg(desk_.ctx.gCurrentInterId)
                          .arg(desk_.session->billNumber()));
            return true;
        }
        const QString told =
            desk_.prompter.last.isEmpty() ? QStringLiteral("(无提示)") : desk_.prompter.last;
        printLine(QStringLiteral("fail\t%1\t%2").arg(typed, told.simplified()));
        return false;
    }

    Options options_;
    std::mt19937 random_;
    otherin::testing::BillDesk<otherin::testing::LastWordPrompter> desk_;
};

// The options of the usage line above; empty when one is missing or wrong.
std::optional<Options> parse(QStringList args) {
    Options o;
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
        std::fputs("save_worker --db PATH|URL --count N --seed S [--typed-every K]\n", stderr);
        return 2;
    }
    // The editor's options live in a settings file of the worker's own.
    QTemporaryDir settingsDir;
    try {
        Worker worker(*options, settingsDir.filePath(QStringLiteral("worker.ini")));
        return worker.run() ? 0 : 1;
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
}
