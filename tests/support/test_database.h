#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "db/connection.h"
#include "entry/settings_store.h"
#include "support/qstring_print.h"

namespace otherin::testing {

// A fresh database built from the real schema script, on the backend the
// environment names: OTHERIN_TEST_DB unset or empty is a SQLite file in a
// temporary folder; a postgresql:// string names a server and the database
// there that serves as template (created with the schema when missing or
// older than the script, then copied for each test and dropped after it).
// Tests add the seed rows they need, visibly, with exec().
class TestDatabase {
  public:
    enum class Seed { Empty, Demo };
    explicit TestDatabase(Seed seed = Seed::Empty);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // True when the tests run against a database server.
    static bool onServer();

    // The database file on SQLite; empty on a server.
    QString path() const { return path_; }
    QString connectionString() const { return connectionString_; }
    QString dir() const { return dir_.path(); }

    // A second, independent connection (as another user's process would have).
    db::Connection& connection() { return *connection_; }
    void exec(const QString& sql, const QVariantList& values = {});
    void execAll(const QStringList& statements);
    QVariant scalar(const QString& sql, const QVariantList& values = {});
    // The first column of every row of `sql`, as text.
    QStringList column(const QString& sql);

    // Makes the database refuse `event` ("insert", "update" or "delete") on
    // `table` with `message`, for the rows where `condition` holds (on the row
    // "new", or "old" for a delete; empty: every row), as a trigger in the
    // database's own form.
    void refuseWrites(const QString& table, const QString& event, const QString& message,
                      const QString& condition = QString());
    // Makes the database run `statement` (plain SQL that may name the row as
    // "new") before each `event` on `table` where `condition` holds, as
    // another program's trigger would.
    void runBeforeWrites(const QString& table, const QString& event, const QString& statement,
                         const QString& condition = QString());
    // What the user is shown when such a refusal stopped an operation: the
    // database's rule, with `message` on the detail line.
    static QString refusedWrite(const QString& message);
    // Takes back every refusal and statement added on `table`.
    void allowWrites(const QString& table);

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
    // A trigger named `prefix`_table_n running `body` (SQLite's words, or
    // plpgsql on the server) before `event` where `condition` holds.
    void addTrigger(const char* prefix, const QString& table, const QString& event,
                    const QString& sqliteBody, const QString& serverBody, const QString& condition);

    QTemporaryDir dir_;
    QString path_;
    QString serverDatabase_;
    QString connectionString_;
    std::unique_ptr<db::Connection> connection_;
    QList<std::pair<QString, QString>> refusals_;  // (trigger, table)
};

// `count` bills of two lines each (ids from `first`), posted to the ledger as
// saves post them; every seventh bill is void and out of the ledger.
void addPostedBills(db::Connection& c, int count, int first = 1);

// The first column of every row of `sql` on `c`, as text.
QStringList column(db::Connection& c, const QString& sql);

}  // namespace otherin::testing
