#pragma once

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
    // "section/key=value" entries.
    std::unique_ptr<entry::SettingsStore> settings(const QStringList& entries = {});

  private:
    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<db::Connection> connection_;
};

}  // namespace otherin::testing
