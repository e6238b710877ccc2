// Speed of opening a stored bill in the editor: from the bill's id to the
// filled header, line grid and totals strip of a BillSession in change mode,
// headless, against a floor measured in the same run: the loader's own select
// run through QtSql, every column of every row read by position. For scale,
// the time of "select *" over the same view is printed as well.
//
//     load_bench            bills of 1,000 and 10,000 lines, 9 rounds each
//     load_bench --quick    bills of 3 and 300 lines, one round; checks what
//                           was loaded and prints no ratios
//     load_bench --lines N  one bill of N lines, 9 rounds (for profiling)
//
// Each round opens a new session (a new editor window), so the grid grows
// from its first 30 rows as it does when a window opens on a bill. Exits
// non-zero when the loaded grid or strip disagrees with the database.
#include <QCoreApplication>
#include <cmath>
#include <cstdio>

#include "bench_support.h"
#include "db/connection.h"
#include "editor/bill_loader.h"
#include "editor/bill_session.h"
#include "entry/edit_mode.h"

using namespace otherin;
using namespace otherin::bench;

namespace {

int floorRead(entry::LoginContext& ctx, const QString& select, qint32 id) {
    entry::ConnectionScope scope(ctx);
    db::Query q = ctx.gConnection.prepare(select);
    q.bind(id).exec();
    int rows = 0;
    int columns = -1;
    while (q.next()) {
        if (columns < 0) columns = q.record().count();
        for (int i = 0; i < columns; ++i) q.value(i);
        ++rows;
    }
    return rows;
}

// The grid holds the bill's lines and nothing after them; the strip shows
// the bill's own sums.
bool agrees(EditorBench& bench, const editor::BillForm& form, qint32 id, int lines) {
    const editor::LineGrid& grid = form.grid;
    const auto sum = [&](const char* column) {
        return bench
            .scalar(QStringLiteral("select sum(%1) from icstockbillentry where finterid=?")
                        .arg(QLatin1String(column)),
                    {id})
            .toDouble();
    };
    const int qty = form.columns.quantity;
    const int amount = form.columns.amount;
    bool ok = grid.lastDataRow() == lines && grid.lineKey(lines) == QString::number(lines) &&
              grid.key(form.columns.itemCode, lines) == QString::number(1121 + lines % 15) &&
              std::abs(form.strip.value(qty) - sum("fqty")) < 1e-6 &&
              std::abs(form.strip.value(amount) - sum("famount")) < 1e-6 &&
              !form.strip.text(qty).isEmpty();
    if (!ok) {
        std::printf("!!! bill %d: last row %d of %d, strip %s / %s against %g / %g\n", id,
                    grid.lastDataRow(), lines, qPrintable(form.strip.text(qty)),
                    qPrintable(form.strip.text(amount)), sum("fqty"), sum("famount"));
    }
    return ok;
}

struct Selects {
    QString loader;  // what the editor runs
    QString all;     // every column of the view
};

bool runCase(EditorBench& bench, const Selects& selects, qint32 id, int lines, int rounds,
             bool quick) {
    std::vector<double> floorTimes;
    std::vector<double> allTimes;
    std::vector<double> loadTimes;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        ok = floorRead(bench.ctx, selects.all, id) == lines && ok;
        allTimes.push_back(millisSince(start));
        start = Clock::now();
        ok = floorRead(bench.ctx, selects.loader, id) == lines && ok;
        floorTimes.push_back(millisSince(start));

        bench.ctx.gEditMode = entry::kModeChange;
        bench.ctx.gCurrentInterId = id;
        bench.ctx.gBillIdList = {QString::number(id)};
        editor::BillSession session(bench.ctx, bench.prompter, bench.selectors,
                                    bench.settings.get());
        ok = session.prepare() && ok;
        start = Clock::now();
        session.start();
        loadTimes.push_back(millisSince(start));
        ok = agrees(bench, session.form(), id, lines) && ok;
    }
    const Spread all = spread(allTimes);
    std::printf("  select * of %d lines: %.3f ms (%.3f-%.3f)\n", lines, all.median, all.min,
                all.max);
    printRatio(QStringLiteral("open a bill of %1 lines").arg(lines), spread(floorTimes),
               spread(loadTimes), quick);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    std::vector<int> sizes = quick ? std::vector<int>{3, 300} : std::vector<int>{1000, 10000};
    if (const qsizetype at = app.arguments().indexOf(QStringLiteral("--lines")); at > 0)
        sizes = {app.arguments().value(at + 1).toInt()};
    const int rounds = quick ? 1 : 9;

    EditorBench bench;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        bench.storeBill(static_cast<qint32>(i + 1), sizes[i]);
    Selects selects;
    selects.all = QStringLiteral("select * from %1 where finterid=? order by forderid")
                      .arg(bench.ctx.gViewName);
    {
        editor::BillSession layout(bench.ctx, bench.prompter, bench.selectors,
                                   bench.settings.get());
        if (!layout.prepare()) return 1;
        selects.loader = editor::billSelect(bench.ctx, layout.form());
    }
    std::printf("the loader selects %lld columns\n",
                static_cast<long long>(selects.loader.count(QLatin1Char(',')) + 1));
    // A first read warms the page cache.
    floorRead(bench.ctx, selects.all, 1);

    bool ok = true;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        ok = runCase(bench, selects, static_cast<qint32>(i + 1), sizes[i], rounds, quick) && ok;
    if (!bench.prompter.texts.isEmpty())
        std::printf("!!! the editor said: %s\n", qPrintable(bench.prompter.texts.join(" | ")));
    return ok && bench.prompter.texts.isEmpty() ? 0 : 1;
}
