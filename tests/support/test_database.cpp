#include "support/test_database.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "db/schema.h"
#include "entry/login_session.h"

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
    const QString login = QStringLiteral("SystemLogin");
    const QString user = store->value(login, QStringLiteral("gLoginUserId"), QString());
    const bool tokenGiven = std::any_of(entries.begin(), entries.end(), [](const QString& e) {
        return e.startsWith(QStringLiteral("SystemLogin/gLoginToken="));
    });
    if (!user.isEmpty() && !tokenGiven) {
        store->setValue(login, QStringLiteral("gLoginToken"), loginSession(user.toLongLong()));
    }
    store->sync();
    return store;
}

QString TestDatabase::loginSession(qlonglong userId, const QDateTime& at) {
    connection_->open(connectionString());
    return entry::beginLoginSession(*connection_, userId, at);
}

}  // namespace otherin::testing
