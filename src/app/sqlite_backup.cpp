#include "app/sqlite_backup.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/backup_files.h"
#include "app/verify_command.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/file_lock.h"
#include "entry/shared_switches.h"

namespace otherin::app {

namespace {

const QString kStem = QStringLiteral("otherin");
const QString kSuffix = QStringLiteral(".sqlite");
// A writer holding the file's lock is waited for this long.
constexpr int kBusyTimeoutMs = 10000;

// The engine's files that belong to a database file, besides itself.
const QStringList kCompanions{QStringLiteral("-wal"), QStringLiteral("-shm"),
                              QStringLiteral("-journal"), QStringLiteral(".lock")};

// What the engine and the checks left beside a file they opened.
void removeCompanions(const QString& path) {
    for (const QString& companion : kCompanions) QFile::remove(path + companion);
}

void removeWithCompanions(const QString& path) {
    QFile::remove(path);
    removeCompanions(path);
}

QString engineMessage(sqlite3* handle, int code) {
    const char* text = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(code);
    return QString::fromUtf8(text ? text : sqlite3_errstr(code));
}

// A handle of the engine itself, closed whatever happens.
class EngineFile {
  public:
    EngineFile(const QString& path, int flags) {
        code_ = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle_, flags, nullptr);
        if (code_ == SQLITE_OK) sqlite3_busy_timeout(handle_, kBusyTimeoutMs);
    }
    ~EngineFile() { sqlite3_close_v2(handle_); }
    EngineFile(const EngineFile&) = delete;
    EngineFile& operator=(const EngineFile&) = delete;
    bool ok() const { return code_ == SQLITE_OK; }
    QString problem() const { return engineMessage(handle_, code_); }
    sqlite3* handle() const { return handle_; }

  private:
    sqlite3* handle_ = nullptr;
    int code_ = SQLITE_OK;
};

// The engine's own check of every page and index: empty when it says "ok".
QString integrityProblem(const QString& path) {
    EngineFile file(path, SQLITE_OPEN_READONLY);
    if (!file.ok()) return file.problem();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(file.handle(), "pragma integrity_check", -1, &statement, nullptr) !=
        SQLITE_OK) {
        return engineMessage(file.handle(), SQLITE_ERROR);
    }
    QStringList found;
    int code;
    while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
        found << QString::fromUtf8(
            reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE) return engineMessage(file.handle(), code);
    if (found == QStringList{QStringLiteral("ok")}) return {};
    return found.mid(0, 5).join(u"; ");
}

// The check of `otherin verify`, under the file's own posting switch: empty
// when the ledger agrees with the bills, else its summary or error.
QString ledgerProblem(const QString& path) {
    const QString connectionString = QStringLiteral("sqlite:") + path;
    int checkUpdate = 0;
    try {
        db::Connection connection;
        connection.open(connectionString);
        checkUpdate = entry::postingSwitch(connection);
    } catch (const db::DbError& e) {
        return e.message();
    }
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    if (runVerify(connectionString, false, checkUpdate, outStream, errStream) == 0) return {};
    return (err.isEmpty() ? out : err).trimmed().section(u'\n', -1);
}

// Copies every page of `from` into the new file `to` in one step: the engine
// reads one snapshot of the source while its writers go on.
QString copyPages(const QString& from, const QString& to) {
    EngineFile source(from, SQLITE_OPEN_READWRITE);
    if (!source.ok()) return source.problem();
    EngineFile target(to, SQLITE_OPEN_READWRITE);
    if (!target.ok()) return target.problem();
    sqlite3_backup* backup = sqlite3_backup_init(target.handle(), "main", source.handle(), "main");
    if (!backup) return engineMessage(target.handle(), SQLITE_ERROR);
    // A writer in the middle of a checkpoint may keep the snapshot waiting
    // for a moment; never for ever.
    const QDeadlineTimer deadline(60000);
    int code;
    do {
        code = sqlite3_backup_step(backup, -1);
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED) sqlite3_sleep(50);
    } while ((code == SQLITE_BUSY || code == SQLITE_LOCKED) && !deadline.hasExpired());
    const int finished = sqlite3_backup_finish(backup);
    if (code != SQLITE_DONE) return engineMessage(target.handle(), code);
    if (finished != SQLITE_OK) return engineMessage(target.handle(), finished);
    return {};
}

// A new, empty file only its owner may read and write.
QString createPrivate(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return file.errorString();
    }
    return {};
}

// A name in `folder` no copy has yet: two copies in one second are told apart.
QString freshName(const QString& folder, const QDateTime& at) {
    QString name = backupFileName(kStem, kSuffix, at);
    for (int n = 2; QFileInfo::exists(QDir(folder).filePath(name)) ||
                    QFileInfo::exists(QDir(folder).filePath(name + QStringLiteral(".part")));
         ++n) {
        name = backupFileName(kStem, QStringLiteral("-%1").arg(n) + kSuffix, at);
    }
    return name;
}

}  // namespace

QString checkDatabaseFile(const QString& path) {
    if (!QFileInfo(path).isFile()) return QStringLiteral("文件 %1 不存在").arg(path);
    if (QString problem = integrityProblem(path); !problem.isEmpty())
        return QStringLiteral("完整性检查未通过: ") + problem;
    return ledgerProblem(path);
}

FileBackup backupDatabaseFile(const QString& database, const QString& folder, int keep) {
    FileBackup out;
    if (!QFileInfo(database).isFile()) {
        out.problem = QStringLiteral("数据库文件 %1 不存在,没有可备份的内容").arg(database);
        return out;
    }
    try {
        prepareBackupFolder(folder);
    } catch (const db::DbError& e) {
        out.problem = e.message();
        return out;
    }
    const QString name = freshName(folder, QDateTime::currentDateTime());
    const QString final = QDir(folder).filePath(name);
    const QString partial = final + QStringLiteral(".part");
    out.path = final;
    const auto fail = [&](const QString& why) {
        removeWithCompanions(partial);
        out.problem = why;
        return out;
    };
    if (QString problem = createPrivate(partial); !problem.isEmpty()) {
        out.problem = QStringLiteral("无法在 %1 写入备份: %2").arg(folder, problem);
        return out;
    }
    if (QString problem = copyPages(database, partial); !problem.isEmpty())
        return fail(QStringLiteral("复制数据库失败,备份已删除: ") + problem);
    if (QString problem = checkDatabaseFile(partial); !problem.isEmpty())
        return fail(QStringLiteral("备份未通过检查,已删除: ") + problem);
    removeCompanions(partial);
    if (!QFile::rename(partial, final))
        return fail(QStringLiteral("无法把备份命名为 %1").arg(final));
    out.made = true;
    out.bytes = QFileInfo(final).size();
    out.removed = keepNewest(folder, kStem, kSuffix, keep);
    return out;
}

FileRestore restoreDatabaseFile(const QString& backup, const QString& database) {
    FileRestore out;
    if (!QFileInfo(backup).isFile()) {
        out.problem = QStringLiteral("备份文件 %1 不存在").arg(backup);
        return out;
    }
    db::FileUseLock alone;
    if (!alone.take(database, db::FileUseLock::Mode::Alone)) {
        out.problem = QStringLiteral("数据库 %1 正被其他程序使用,不能恢复。"
                                     "请先关闭所有使用它的程序(包括其他用户的),再恢复。")
                          .arg(database);
        return out;
    }
    // The copy is made and checked beside the database, so that putting it in
    // place is a rename on one disk.
    const QString incoming = database + QStringLiteral(".restoring");
    removeWithCompanions(incoming);
    const auto fail = [&](const QString& why) {
        removeWithCompanions(incoming);
        out.problem = why;
        return out;
    };
    if (QString problem = createPrivate(incoming); !problem.isEmpty())
        return fail(QStringLiteral("无法在数据库旁写入: ") + problem);
    if (QString problem = copyPages(backup, incoming); !problem.isEmpty())
        return fail(QStringLiteral("无法读取备份 %1: %2").arg(backup, problem));
    if (QString problem = checkDatabaseFile(incoming); !problem.isEmpty())
        return fail(QStringLiteral("备份 %1 未通过检查,数据库没有改动: %2").arg(backup, problem));
    removeCompanions(incoming);
    out.told << QStringLiteral("备份 %1 检查通过").arg(backup);

    if (QFileInfo::exists(database)) {
        const QString aside = database + QDateTime::currentDateTime().toString(
                                             QStringLiteral(".'replaced'-yyyyMMdd-HHmmss"));
        if (!QFile::rename(database, aside))
            return fail(QStringLiteral("无法把原数据库移到 %1,数据库没有改动").arg(aside));
        for (const QString& companion : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            if (QFileInfo::exists(database + companion))
                QFile::rename(database + companion, aside + companion);
        }
        out.told << QStringLiteral("原数据库(连同它的 -wal、-shm 文件)已移到 %1").arg(aside);
    }
    if (!QFile::rename(incoming, database))
        return fail(QStringLiteral("无法把备份放到 %1").arg(database));
    // The check opens the file as any program does, beside this one's lock.
    alone.share();
    if (QString problem = checkDatabaseFile(database); !problem.isEmpty()) {
        out.problem = QStringLiteral("恢复后的数据库未通过检查: ") + problem;
        return out;
    }
    out.told << QStringLiteral("已从备份恢复 %1,检查通过").arg(database);
    out.restored = true;
    return out;
}

}  // namespace otherin::app
