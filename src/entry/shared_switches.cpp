#include "entry/shared_switches.h"

#include <algorithm>
#include <map>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/transaction.h"
#include "entry/login_context.h"
#include "entry/startup.h"

namespace otherin::entry {

namespace {

const QString kCheckUpdate = QStringLiteral("gIsCheckUpdate");

struct Stored {
    QString value;
    QString note;
};

std::map<QString, Stored> readRows(db::Connection& connection) {
    std::map<QString, Stored> rows;
    db::Query q = connection.prepare(
        QStringLiteral("select fname,fvalue,coalesce(fnote,'') from tblSystemSwitch"));
    q.exec();
    while (q.next()) rows[q.value(0).toString()] = {q.value(1).toString(), q.value(2).toString()};
    return rows;
}

int switchValue(const std::map<QString, Stored>& rows, const QString& name) {
    const auto row = rows.find(name);
    if (row == rows.end()) return 0;
    bool ok = false;
    const int value = row->second.value.trimmed().toInt(&ok);
    if (!ok) {
        throw SettingsError(QStringLiteral("tblSystemSwitch 中 %1 的值“%2”不是有效的整数")
                                .arg(name, row->second.value));
    }
    return value;
}

}  // namespace

const std::vector<QString>& sharedSwitchNames() {
    static const std::vector<QString> names = {kCheckUpdate, QStringLiteral("gIsCloseStock"),
                                               QStringLiteral("gUpdateSingleBill"),
                                               QStringLiteral("gIsAddDelNumber")};
    return names;
}

void readSharedSwitches(LoginContext& ctx) {
    const auto rows = readRows(ctx.gConnection);
    ctx.gIsCheckUpdate = switchValue(rows, kCheckUpdate);
    ctx.gIsCloseStock = switchValue(rows, QStringLiteral("gIsCloseStock"));
    ctx.gUpdateSingleBill = switchValue(rows, QStringLiteral("gUpdateSingleBill"));
    ctx.gIsAddDelNumber = switchValue(rows, QStringLiteral("gIsAddDelNumber"));
}

std::vector<SharedSwitch> listSharedSwitches(db::Connection& connection) {
    const auto rows = readRows(connection);
    std::vector<SharedSwitch> list;
    for (const QString& name : sharedSwitchNames()) {
        const auto row = rows.find(name);
        list.push_back(
            {name, switchValue(rows, name), row == rows.end() ? QString() : row->second.note});
    }
    return list;
}

int postingSwitch(db::Connection& connection) {
    for (const SharedSwitch& s : listSharedSwitches(connection)) {
        if (s.name == kCheckUpdate) return s.value;
    }
    return 0;
}

void setSharedSwitch(db::Connection& connection, const QString& name, int value) {
    const auto& names = sharedSwitchNames();
    if (std::find(names.begin(), names.end(), name) == names.end()) {
        throw db::DbError(QStringLiteral("没有名为 %1 的开关").arg(name));
    }
    if (value != 0 && value != 1) {
        throw db::DbError(QStringLiteral("开关 %1 只能设为 0 或 1").arg(name));
    }
    db::TransactionGuard tx(connection);
    if (name == kCheckUpdate &&
        connection
                .scalar(QStringLiteral("select fvalue from tblSystemSwitch where fname=?"), {name})
                .toInt() != value) {
        const int open = connection
                             .scalar(QStringLiteral("select count(*) from icstockbill where "
                                                    "fstatus=0 and fcancellation=0"))
                             .toInt();
        if (open > 0) {
            throw db::DbError(QStringLiteral("还有 %1 张未审核的单据，不能更改 %2：请先审核或删除"
                                             "这些单据")
                                  .arg(open)
                                  .arg(name));
        }
    }
    if (connection.exec(QStringLiteral("update tblSystemSwitch set fvalue=? where fname=?"),
                        {value, name}) == 0) {
        connection.exec(QStringLiteral("insert into tblSystemSwitch (fname,fvalue) values (?,?)"),
                        {name, value});
    }
    tx.commit();
}

}  // namespace otherin::entry
