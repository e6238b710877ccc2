#include "app/backup_files.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "db/db_error.h"

namespace otherin::app {

QString backupFileName(const QString& stem, const QString& suffix, const QDateTime& at) {
    return stem + at.toString(QStringLiteral("-yyyyMMdd-HHmmss")) + suffix;
}

QStringList backupsIn(const QString& folder, const QString& stem, const QString& suffix) {
    const QRegularExpression named(QStringLiteral("^%1-\\d{8}-\\d{6}(-\\d+)?%2$")
                                       .arg(QRegularExpression::escape(stem),
                                            QRegularExpression::escape(suffix)));
    QStringList found;
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
        if (named.match(name).hasMatch()) found << name;
    }
    return found;
}

QStringList keepNewest(const QString& folder, const QString& stem, const QString& suffix,
                       int keep) {
    QStringList removed;
    QStringList copies = backupsIn(folder, stem, suffix);
    while (copies.size() > std::max(keep, 1)) {
        const QString oldest = copies.takeFirst();
        if (QFile::remove(QDir(folder).filePath(oldest))) removed << oldest;
    }
    return removed;
}

void prepareBackupFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        throw db::DbError(QStringLiteral("备份位置 %1 不是文件夹").arg(folder));
    if (!info.exists() && !QDir().mkpath(folder))
        throw db::DbError(QStringLiteral("无法创建备份文件夹 %1,请检查路径和写权限").arg(folder));
}

}  // namespace otherin::app
