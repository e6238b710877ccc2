#include "bench_support.h"

#include <QDate>
#include <algorithm>
#include <cstdio>

#include "db/connection.h"
#include "db/schema.h"
#include "db/transaction.h"
#include "editor/bill_session.h"
#include "entry/startup.h"
#include "support/demo_login.h"

namespace otherin::bench {

void RecordingPrompter::note(const QString& text) {
    texts << text;
    if (watched_.transactionDepth() > 0) ++insideTransaction;
}

void RecordingPrompter::message(const QString& text, entry::Icon, const QString&) {
    note(text);
}

entry::Answer RecordingPrompter::question(const QString& text, entry::Buttons, entry::Icon,
                                          const QString&) {
    note(text);
    return entry::Answer::No;
}

EditorBench::EditorBench(const QString& connectionString) {
    otherin::testing::logInDemoAdministrator(
        ctx,
        connectionString.isEmpty()
            ? QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("bench.sqlite"))
            : connectionString,
        1);
    settings = std::make_unique<entry::SettingsStore>(
        dir_.filePath(QStringLiteral("MendaxoStock2007.ini")));
    entry::ConnectionScope scope(ctx);
    db::schema::ensureSchema(ctx.gConnection);
    db::schema::installDemoData(ctx.gConnection, QDate(2026, 12, 7));
}

void EditorBench::storeBill(qint32 id, int lines) {
    entry::ConnectionScope scope(ctx);
    db::Connection& c = ctx.gConnection;
    db::TransactionGuard tx(c);
    c.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,"
                          "fcancellation,frob,fOperator,fchecker,fstockid1,fexplanation,fyear,"
                          "fperiod) values(?,?,'2026-03-15',7,0,0,0,1,0,502,?,2026,3)"),
           {id, QStringLiteral("BENCH%1").arg(id), QStringLiteral("%1 行").arg(lines)});
    db::Query line = c.prepare(
        QStringLiteral("insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,"
                       "fqty,fPrice,famount,fbatchno,fstockplace,fnote) "
                       "values(?,?,?,?,701,?,1.25,?,?,801,?)"));
    for (int n = 1; n <= lines; ++n) {
        const int qty = n % 7 + 1;
        line.bind(id)
            .bind(n)
            .bind(n)
            .bind(1121 + n % 15)
            .bind(qty)
            .bind(qty * 1.25)
            .bind(QStringLiteral("B%1").arg(n % 3))
            .bind(QStringLiteral("第%1行").arg(n))
            .exec();
    }
    tx.commit();
}

QVariant EditorBench::scalar(const QString& sql, const QVariantList& values) {
    entry::ConnectionScope scope(ctx);
    return ctx.gConnection.scalar(sql, values);
}

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

Spread spread(std::vector<double> rounds) {
    if (rounds.empty()) return {};
    std::sort(rounds.begin(), rounds.end());
    return {rounds[rounds.size() / 2], rounds.front(), rounds.back()};
}

void printRatio(const QString& name, const Spread& floor, const Spread& measured, bool quick,
                const char* unit) {
    std::printf("%-36s floor %8.3f %s (%.3f-%.3f)  measured %8.3f %s (%.3f-%.3f)", qPrintable(name),
                floor.median, unit, floor.min, floor.max, measured.median, unit, measured.min,
                measured.max);
    if (!quick && floor.median > 0) std::printf("  ratio %.2fx", measured.median / floor.median);
    std::printf("\n");
}

}  // namespace otherin::bench

namespace otherin::bench {

Line lineAt(int r) {
    const int qty = r % 7 + 1;
    return {1121 + r % 15,
            qty,
            1.25,
            qty * 1.25,
            QStringLiteral("B%1").arg(r % 3),
            QStringLiteral("第%1行").arg(r)};
}

void fillBill(editor::BillSession& session, int lines) {
    session.newBill();
    editor::BillForm& form = session.form();
    session.setBillDate(QDate(2026, 3, 15));
    editor::HeaderField* warehouse = form.headerField(3);
    warehouse->text = warehouse->code = QStringLiteral("02");
    warehouse->keyValue = QStringLiteral("502");
    form.headerField(4)->text = QStringLiteral("%1 行").arg(lines);
    editor::LineGrid& grid = form.grid;
    const editor::ColumnMap& m = form.columns;
    editor::LineGrid::BulkChange bulk(grid);
    while (grid.rows() < lines + 10) grid.appendRow();
    for (int r = 1; r <= lines; ++r) {
        const Line l = lineAt(r);
        const QString code = QStringLiteral("02.%1").arg(l.item - 1120, 3, 10, QLatin1Char('0'));
        grid.setCell(m.itemCode, r, code, QString::number(l.item), code);
        grid.setText(m.itemName, r, QStringLiteral("六角螺栓"));
        grid.setCell(m.unit, r, QStringLiteral("个"), QStringLiteral("701"), QStringLiteral("PCS"));
        grid.setNumber(m.quantity, r, l.qty);
        grid.setNumber(m.price, r, l.price);
        grid.setText(m.batch, r, l.batch);
        grid.setCell(9, r, QStringLiteral("A区01号货架"), QStringLiteral("801"),
                     QStringLiteral("A01"));
        grid.setText(10, r, l.note);
        grid.setText(form.warehouseColumn(), r, QStringLiteral("502"));
        grid.setText(form.unitGroupColumn(), r, QStringLiteral("601"));
    }
}

}  // namespace otherin::bench
