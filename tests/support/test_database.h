#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "db/connection.h"
#include "entry/settings_store.h"

namespace otherin::testing {

// A fresh SQLite database in a temporary folder, built from the real schema
// script. Tests add the seed rows they need, visibly, with exec().
class TestDatabase {
  public:
    enum class Seed { Empty, Demo };
    explicit TestDatabase(Seed seed = Seed::Empty);

    QString path() const { return path_; }
    QString connectionString() const { return QStringLiteral("sqlite:") + path_; }
    QString dir() const { return dir_.path(); }

    // A second, independent connection (as another user's process would have).
    db::Connection& connection() { return *connection_; }
    void exec(const QString& sql, const QVariantList& values = {});
    void execAll(const QStringList& statements);
    QVariant scalar(const QString& sql, const QVariantList& values = {});

    // A settings file pointing at this database, with the given extra
    // "section/key=value" entries, as the host leaves it at login: when the
    // entries name a user (SystemLogin/gLoginUserId) and give no
    // SystemLogin/gLoginToken, a login session is recorded for that user and
    // its token written. The user's row in tblUser is the test's to seed.
    std::unique_ptr<entry::SettingsStore> settings(const QStringList& entries = {});

    // Records a login session for `userId` at `at`, as the host does, and
    // answers its token.
    QString loginSession(qlonglong userId, const QDateTime& at = QDateTime::currentDateTimeUtc());

  private:
    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<db::Connection> connection_;
};

}  // namespace otherin::testing
