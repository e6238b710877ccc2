#include "support/test_database.h"

#include <gtest/gtest.h>

#include "db/schema.h"

namespace otherin::testing {

TestDatabase::TestDatabase(Seed seed)
    : path_(dir_.filePath(QStringLiteral("test.sqlite"))),
      connection_(std::make_unique<db::Connection>()) {
    connection_->open(connectionString());
    db::schema::ensureSchema(*connection_);
    if (seed == Seed::Demo) db::schema::installDemoData(*connection_);
}

void TestDatabase::exec(const QString& sql, const QVariantList& values) {
    connection_->open(connectionString());
    connection_->exec(sql, values);
}

void TestDatabase::execAll(const QStringList& statements) {
    for (const auto& s : statements) exec(s);
}

QVariant TestDatabase::scalar(const QString& sql, const QVariantList& values) {
    connection_->open(connectionString());
    return connection_->scalar(sql, values);
}

std::unique_ptr<entry::SettingsStore> TestDatabase::settings(const QStringList& entries) {
    auto store =
        std::make_unique<entry::SettingsStore>(dir_.filePath(QStringLiteral("settings.ini")));
    store->setValue(QStringLiteral("DBOperation"), QStringLiteral("DBConnectionString"),
                    connectionString());
    for (const QString& e : entries) {
        const int slash = e.indexOf(QLatin1Char('/'));
        const int eq = e.indexOf(QLatin1Char('='));
        store->setValue(e.left(slash), e.mid(slash + 1, eq - slash - 1), e.mid(eq + 1));
    }
    store->sync();
    return store;
}

}  // namespace otherin::testing
