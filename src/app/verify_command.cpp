#include "app/verify_command.h"

#include <QFileInfo>
#include <vector>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "stock/ledger_check.h"

namespace otherin::app {

namespace {

// Up to six decimals, without trailing zeros; -0 prints as 0.
QString figure(double value) {
    QString text = QString::number(value + 0.0, 'f', 6);
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

void printDifferences(const std::vector<stock::LedgerDifference>& differences, QTextStream& out) {
    for (const stock::LedgerDifference& d : differences) {
        out << QStringLiteral(
                   "仓库 %1 物料 %2 单位 %3 批号 \"%4\" 仓位 %5: 即时库存 %6 / %7,"
                   " 单据 %8 / %9\n")
                   .arg(d.warehouseId)
                   .arg(d.itemId)
                   .arg(d.unitId)
                   .arg(d.batch)
                   .arg(d.place)
                   .arg(figure(d.ledgerQty), figure(d.ledgerAmount), figure(d.billsQty),
                        figure(d.billsAmount));
    }
}

void printMarkers(const std::vector<stock::MarkerDifference>& wrong, QTextStream& out) {
    for (const stock::MarkerDifference& m : wrong) {
        out << QStringLiteral("单据 %1 (内码 %2): %3\n")
                   .arg(m.billNo)
                   .arg(m.interId)
                   .arg(m.posted ? QStringLiteral("不应计入即时库存, 却已记入")
                                 : QStringLiteral("应计入即时库存, 却未记入"));
    }
    if (!wrong.empty())
        out << QStringLiteral("有 %1 张单据的库存记账标记与库存更新方式不符\n").arg(wrong.size());
}

void printSummary(std::size_t differing, QTextStream& out) {
    if (differing == 0) {
        out << QStringLiteral("即时库存与单据一致\n");
    } else {
        out << QStringLiteral("即时库存有 %1 项与单据不一致 (数量 / 金额)\n").arg(differing);
    }
}

// Refuses a file that is not there: opening it would create an empty database
// that then agrees with its no bills.
void requireDatabase(db::Connection& connection, const QString& connectionString) {
    const db::ConnectionTarget target = db::parseConnectionString(connectionString);
    if (target.kind == db::DialectKind::Sqlite && !QFileInfo(target.path).isFile()) {
        throw db::DbError(QStringLiteral("数据库文件不存在: %1").arg(target.path));
    }
    connection.open(connectionString);
    for (const char* table : {"tblTimeStock", "icstockbill", "icstockbillentry"}) {
        if (!connection.tableExists(QLatin1String(table))) {
            throw db::DbError(QStringLiteral("数据库中没有表 %1").arg(QLatin1String(table)));
        }
    }
}

int verify(const QString& connectionString, bool repair, int checkUpdateSwitch, QTextStream& out,
           QTextStream& err) {
    try {
        db::Connection connection;
        requireDatabase(connection, connectionString);
        const auto found = stock::checkLedger(connection, checkUpdateSwitch);
        const auto markers = stock::checkPostedMarkers(connection, checkUpdateSwitch);
        printDifferences(found, out);
        printMarkers(markers, out);
        printSummary(found.size(), out);
        const bool agree = found.empty() && markers.empty();
        if (!repair || agree) return agree ? 0 : 1;

        const auto rewritten = stock::repairLedger(connection, checkUpdateSwitch);
        out << QStringLiteral("已按单据重写 %1 项即时库存\n").arg(rewritten.size());
        const auto after = stock::checkLedger(connection, checkUpdateSwitch);
        const auto markersAfter = stock::checkPostedMarkers(connection, checkUpdateSwitch);
        printDifferences(after, out);
        printMarkers(markersAfter, out);
        out << QStringLiteral("重新核对: ");
        printSummary(after.size(), out);
        return after.empty() && markersAfter.empty() ? 0 : 1;
    } catch (const db::DbError& e) {
        err << e.message() << '\n';
        return 1;
    }
}

}  // namespace

int runVerify(const QString& connectionString, bool repair, int checkUpdateSwitch, QTextStream& out,
              QTextStream& err) {
    const int status = verify(connectionString, repair, checkUpdateSwitch, out, err);
    out.flush();
    err.flush();
    return status;
}

}  // namespace otherin::app
