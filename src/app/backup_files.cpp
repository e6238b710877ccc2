#include "app/backup_files.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <tuple>
#include <vector>

#include "db/db_error.h"

namespace otherin::app {

QString backupFileName(const QString& stem, const QString& suffix, const QDateTime& at) {
    return stem + at.toString(QStringLiteral("-yyyyMMdd-HHmmss")) + suffix;
}

QStringList backupsIn(const QString& folder, const QString& stem, const QString& suffix) {
    const QRegularExpression named(QStringLiteral("^%1-(\\d{8}-\\d{6})(?:-(\\d+))?%2$")
                                       .arg(QRegularExpression::escape(stem),
                                            QRegularExpression::escape(suffix)));
    // By moment, then by the number that tells copies of one second apart.
    std::vector<std::tuple<QString, int, QString>> found;
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        const QRegularExpressionMatch m = named.match(name);
        if (m.hasMatch()) found.emplace_back(m.captured(1), m.captured(2).toInt(), name);
    }
    std::sort(found.begin(), found.end());
    QStringList names;
    for (const auto& copy : found) names << std::get<2>(copy);
    return names;
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
