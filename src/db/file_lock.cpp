#include "db/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

namespace otherin::db {

QString lockFilePath(const QString& databasePath) {
    return databasePath + QStringLiteral(".lock");
}

FileUseLock::~FileUseLock() {
    release();
}

bool FileUseLock::take(const QString& databasePath, Mode mode) {
    release();
    const QByteArray path = QFile::encodeName(lockFilePath(databasePath));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true;
    int result;
    do {
        result = ::flock(fd, (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void FileUseLock::share() {
    if (fd_ >= 0) ::flock(fd_, LOCK_SH);
}

void FileUseLock::release() {
    if (fd_ < 0) return;
    ::close(fd_);  // ends the lock
    fd_ = -1;
}

}  // namespace otherin::db
