#include "db/connection_string.h"

#include <QDir>
#include <QStandardPaths>

#include "db/db_error.h"

namespace otherin::db {

ConnectionTarget parseConnectionString(const QString& connectionString) {
    const QString text = connectionString.trimmed();
    if (text.isEmpty()) return {DialectKind::Sqlite, embeddedDatabasePath()};
    const QString prefix = QStringLiteral("sqlite:");
    if (text.startsWith(prefix, Qt::CaseInsensitive) && text.size() > prefix.size()) {
        return {DialectKind::Sqlite, text.mid(prefix.size())};
    }
    throw DbError(QStringLiteral("无法识别的数据库连接字符串: %1\n可用的形式: 空 (内置数据库) 或 "
                                 "sqlite:数据库文件路径")
                      .arg(connectionString));
}

QString embeddedDatabasePath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(QStringLiteral("MendaxoStock2007/otherin.sqlite"));
}

}  // namespace otherin::db
