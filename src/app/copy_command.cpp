#include "app/copy_command.h"

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/database_copy.h"
#include "db/db_error.h"
#include "entry/database_file.h"
#include "entry/shared_switches.h"
#include "entry/startup.h"
#include "stock/ledger_check.h"

namespace otherin::app {

namespace {

int copy(const QString& fromString, const QString& toString, QTextStream& out, QTextStream& err) {
    entry::requireDatabaseFile(fromString);
    db::Connection from, to;
    from.open(fromString);
    to.open(toString);
    const QString target = to.target().describe();
    const db::CopyReport report = db::copyDatabase(from, to, [&err](qint64 copied, qint64 total) {
        err << QStringLiteral("已复制 %1 / %2 行 (%3%)")
                   .arg(copied)
                   .arg(total)
                   .arg(total > 0 ? copied * 100 / total : 100)
            << Qt::endl;
    });
    out << QStringLiteral("已复制 %1 个表, %2 行到 %3, 各表行数与源数据库相同")
               .arg(report.tables)
               .arg(report.rows)
               .arg(target)
        << Qt::endl;
    // The copy must agree with its bills exactly as far as the source did.
    const int checkUpdate = entry::postingSwitch(to);
    const std::size_t inSource = stock::checkLedger(from, checkUpdate).size();
    const std::size_t inCopy = stock::checkLedger(to, checkUpdate).size();
    if (inCopy != inSource) {
        err << QStringLiteral("复制后的即时库存有 %1 项与单据不一致, 源数据库 %2 项")
                   .arg(inCopy)
                   .arg(inSource)
            << Qt::endl;
        return 1;
    }
    out << (inCopy == 0 ? QStringLiteral("即时库存与单据一致")
                        : QStringLiteral("即时库存有 %1 项与单据不一致, 与源数据库相同,"
                                         "可用 otherin verify --repair 改正")
                              .arg(inCopy))
        << Qt::endl;
    return 0;
}

}  // namespace

int runCopy(const QString& from, const QString& to, QTextStream& out, QTextStream& err) {
    int status = 1;
    try {
        status = copy(db::connectionStringFromArgument(from), db::connectionStringFromArgument(to),
                      out, err);
    } catch (const db::DbError& e) {
        err << e.message() << Qt::endl;
    } catch (const entry::SettingsError& e) {
        err << e.message() << Qt::endl;
    }
    out.flush();
    err.flush();
    return status;
}

}  // namespace otherin::app
