#pragma once

#include <QString>

namespace otherin::db {

// A lock on the file "<database>.lock" beside an embedded database, the one
// way to tell whether any program has the database open: the database engine
// itself cannot say. Every connection to the file holds it shared for its
// life; a restore, which replaces the file, holds it alone.
class FileUseLock {
  public:
    enum class Mode { Shared, Alone };
    FileUseLock() = default;
    ~FileUseLock();
    FileUseLock(const FileUseLock&) = delete;
    FileUseLock& operator=(const FileUseLock&) = delete;

    // False when another holder's lock is in the way (never waits). A lock
    // file that cannot be made (a read-only folder) takes no lock and
    // answers true: such a database is opened as before.
    bool take(const QString& databasePath, Mode mode);
    void release();
    // Turns a lock held alone into a shared one.
    void share();
    bool held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

QString lockFilePath(const QString& databasePath);

}  // namespace otherin::db
