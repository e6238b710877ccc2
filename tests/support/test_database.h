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
//
// On a server the database has the module's roles (prefix "otherin_t", shared
// by every test database of the server) and the code under test runs as a
// clerk: connection() and connectionString() take the clerks' group role, so
// every operation is proven to work without owning the tables. exec(),
// scalar(), column(), the refusals and the login sessions are the seeding
// hand: the server's superuser, as an administrator's tools would be.
// Roles::None gives a database whose roles are not set up yet (`init`'s own
// tests), reached as the superuser throughout.
class TestDatabase {
  public:
    enum class Seed { Empty, Demo };
    enum class Roles { Clerk, Administrator, None };
    explicit TestDatabase(Seed seed = Seed::Empty, Roles roles = Roles::Clerk);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // True when the tests run against a database server.
    static bool onServer();

    // The database file on SQLite; empty on a server.
    QString path() const { return path_; }
    // The code under test's connection string (a clerk's on a server).
    QString connectionString() const { return connectionString_; }
    // The same database as the server's superuser (the file on SQLite).
    QString seedConnectionString() const { return seedConnectionString_; }
    // The same database as a member of the administrators' group.
    QString adminConnectionString() const;
    QString dir() const { return dir_.path(); }

    // A second, independent connection (as another user's process would
    // have), on connectionString().
    db::Connection& connection() { return *connection_; }
    // The seeding hand's connection, open (connection() on SQLite).
    db::Connection& seed();
    void exec(const QString& sql, const QVariantList& values = {});
    // Runs `sql` as the owner role on a server, so what it makes (a view, a
    // table) is granted to the groups as the module's own objects are.
    void execAsOwner(const QString& sql);
    void execAll(const QStringList& statements);
    // Marks the seeded bills posted as the posting switch says they count (0:
    // every bill not voided, 1: the audited ones), as the module would have.
    void markPostedBills(int checkUpdateSwitch);
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

    // A clerk's own login on the server: a user row named `name` and the
    // login role `login` with `password` (in the administrators' group when
    // asked), made as `otherin user add` makes them and dropped after the
    // database. Answers the connection string that logs in as it, password
    // included, and the user's id through `userId`.
    QString addClerkLogin(const QString& login, const QString& name, const QString& password,
                          bool administrator = false, qlonglong* userId = nullptr);

    // Gives user `userId` (made when missing) every right of the bills (G01
    // to G14) and nothing more.
    void grantBillRights(qlonglong userId);
    // Gives user `userId` those rights and a clerk's own login, dropped after
    // the database; answers the connection string that logs in as it.
    QString linkClerkLogin(qlonglong userId, const QString& login, const QString& password);

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
    QString seedConnectionString_;
    std::unique_ptr<db::Connection> connection_;
    // The seeding hand's own connection on a server; connection_ on SQLite.
    std::unique_ptr<db::Connection> seedConnection_;

    QList<std::pair<QString, QString>> refusals_;  // (trigger, table)
    QStringList logins_;                           // dropped after the database
};

// The role prefix of every test database on a server.
inline constexpr char16_t kTestRolePrefix[] = u"otherin_t";

// `count` bills of two lines each (ids from `first`), posted to the ledger as
// saves post them; every seventh bill is void and out of the ledger.
void addPostedBills(db::Connection& c, int count, int first = 1);

// Drops the roles of `prefix` (its four group roles and every login in its
// groups but the connection's own) and `logins` from the server, each after
// what it owns in the database of `c`. Roles are the server's: a test that
// makes its own drops them.
void dropServerRoles(db::Connection& c, const QString& prefix, const QStringList& logins = {});

// The first column of every row of `sql` on `c`, as text.
QStringList column(db::Connection& c, const QString& sql);

}  // namespace otherin::testing
