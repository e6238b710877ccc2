#include "db/upgrade_bill_number_index.h"

#include <QStringList>

#include "db/connection.h"
#include "db/db_error.h"

namespace otherin::db::schema {

namespace {

// Enough to find the bills; the rest is counted, so the box stays readable.
constexpr int kListedNumbers = 20;

// One line per doubled number: its type, the number and the ids carrying it.
QStringList doubledNumbers(Connection& connection, int& total) {
    Query q = connection.prepare(QStringLiteral(
        "select a.ftrantype,a.fbillno,a.finterid from icstockbill a where a.fbillno<>'' and "
        "exists (select 1 from icstockbill b where b.fbillno=a.fbillno and "
        "b.ftrantype=a.ftrantype and b.finterid<>a.finterid) "
        "order by a.ftrantype,a.fbillno,a.finterid"));
    q.exec();
    QStringList lines;
    QString key;
    QStringList ids;
    int type = 0;
    QString number;
    total = 0;
    const auto flush = [&] {
        if (ids.isEmpty()) return;
        ++total;
        if (lines.size() < kListedNumbers) {
            lines << QStringLiteral("单据类型%1 编号\"%2\": 内码 %3")
                         .arg(type)
                         .arg(number, ids.join(QStringLiteral("、")));
        }
        ids.clear();
    };
    while (q.next()) {
        const QString rowKey = q.value(0).toString() + QLatin1Char('\n') + q.value(1).toString();
        if (rowKey != key) {
            flush();
            key = rowKey;
            type = q.value(0).toInt();
            number = q.value(1).toString();
        }
        ids << q.value(2).toString();
    }
    flush();
    return lines;
}

}  // namespace

void addBillNumberIndex(Connection& connection) {
    int total = 0;
    QStringList doubled = doubledNumbers(connection, total);
    if (total > 0) {
        if (total > doubled.size()) {
            doubled << QStringLiteral("……另有%1个重复编号").arg(total - doubled.size());
        }
        throw DbError(QStringLiteral("数据库中有%1个单据编号被同类型的多张单据重复使用,"
                                     "无法建立单据编号的唯一约束:\n")
                          .arg(total) +
                      doubled.join(QLatin1Char('\n')) +
                      QStringLiteral("\n请将重复的单据改为不同的编号后再启动本程序;"
                                     "在此之前数据库保持原样,未做任何修改。"));
    }
    connection.exec(
        QStringLiteral("create unique index %1 on icstockbill (ftrantype, fbillno) where "
                       "fbillno<>''")
            .arg(QLatin1String(kBillNumberIndex)));
}

}  // namespace otherin::db::schema
