#include "support/test_database.h"
#include "support/demo_login.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QUuid>

#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/error_words.h"
#include "db/schema.h"
#include "db/schema_upgrades.h"
#include "db/server_logins.h"
#include "db/server_roles.h"
#include "db/sql_text.h"
#include "db/transaction.h"
#include "entry/login_session.h"
#include "stock/stock_ledger.h"

namespace otherin::testing {

namespace {

QString serverSetting() {
    return qEnvironmentVariable("OTHERIN_TEST_DB").trimmed();
}

db::ConnectionTarget serverTarget() {
    db::ConnectionTarget target = db::parseConnectionString(serverSetting());
    if (target.kind != db::DialectKind::PostgreSql)
        throw db::DbError("OTHERIN_TEST_DB names no database server: " + serverSetting());
    return target;
}

QString onDatabase(db::ConnectionTarget target, const QString& database) {
    target.database = database;
    return target.toConnectionString();
}

QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// Tests written for both backends aggregate lists with group_concat; the
// server gets the same aggregate in the template database. Decimals are
// written as SQLite writes them: 5 and 2.5, not 5.000000.
const QStringList kTestFunctions = {
    QStringLiteral("create function otherin_concat_text(v anyelement) returns text language sql "
                   "immutable as $$ select case when pg_typeof(v) = 'numeric'::regtype then "
                   "trim_scale(v::text::numeric)::text else v::text end $$"),
    QStringLiteral("create function otherin_concat_step(acc text, v anyelement, sep text) returns "
                   "text language sql immutable as $$ select case when v is null then acc when "
                   "acc is null then otherin_concat_text(v) else acc || sep || "
                   "otherin_concat_text(v) end $$"),
    QStringLiteral("create function otherin_concat_step(acc text, v anyelement) returns text "
                   "language sql immutable as $$ select otherin_concat_step(acc, v, ',') $$"),
    QStringLiteral("create aggregate group_concat(anyelement, text) "
                   "(sfunc = otherin_concat_step, stype = text)"),
    QStringLiteral("create aggregate group_concat(anyelement) "
                   "(sfunc = otherin_concat_step, stype = text)"),
};

// The template of one seed is rebuilt whenever the scripts change: its
// comment holds the digest of the scripts it was built from.
QString scriptDigest(TestDatabase::Seed seed, bool withRoles) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    // Bumped when the roles' rights change, so templates are set up again.
    if (withRoles) hash.addData(QString::fromUtf16(kTestRolePrefix).toUtf8() + "-rights-16");
    hash.addData(db::schema::schemaScript().toUtf8());
    hash.addData(QByteArray::number(db::schema::kVersion));
    // A step added below the newest one (two developers adding steps at once)
    // changes no version, but a template without it is stale all the same.
    for (const db::schema::Upgrade& step : db::schema::upgrades())
        hash.addData(QByteArray::number(step.version) + ',');
    if (seed == TestDatabase::Seed::Demo) hash.addData(db::schema::demoDataScript().toUtf8());
    hash.addData(kTestFunctions.join(QLatin1Char(';')).toUtf8());
    return QString::fromLatin1(hash.result().toHex());
}

// Makes sure the template of `seed` exists and is current; answers its name.
// Test programs run side by side, so one builds it under an advisory lock
// while the others wait.
QString ensureTemplate(const db::ConnectionTarget& target, TestDatabase::Seed seed,
                       bool withRoles) {
    const QString name = target.database +
                         (seed == TestDatabase::Seed::Demo ? QStringLiteral("_demo") : QString()) +
                         (withRoles ? QStringLiteral("_roles") : QString());
    const QString digest = scriptDigest(seed, withRoles);
    db::Connection admin;
    admin.open(onDatabase(target, QStringLiteral("postgres")));
    admin.exec(QStringLiteral("select pg_advisory_lock(74210)"));
    const QString stored =
        admin
            .scalar(QStringLiteral("select shobj_description(oid,'pg_database') from pg_database "
                                   "where datname=?"),
                    {name})
            .toString();
    if (stored != digest) {
        admin.exec(QStringLiteral("drop database if exists %1 with (force)").arg(quoted(name)));
        admin.exec(QStringLiteral("create database %1").arg(quoted(name)));
        {
            db::Connection build;
            build.open(onDatabase(target, name));
            db::schema::ensureSchema(build);
            if (seed == TestDatabase::Seed::Demo)
                db::schema::installDemoData(build, otherin::testing::kDemoToday);
            for (const QString& statement : kTestFunctions) build.exec(statement);
            if (withRoles) db::setUpServerRoles(build, QString::fromUtf16(kTestRolePrefix));
        }
        admin.exec(QStringLiteral("comment on database %1 is '%2'").arg(quoted(name), digest));
    }
    admin.exec(QStringLiteral("select pg_advisory_unlock(74210)"));
    return name;
}

// The target reached as `role` (SET ROLE at the session's start).
QString asRole(db::ConnectionTarget target, const QString& role) {
    target.options.append({QStringLiteral("options"), QStringLiteral("-c role=") + role});
    return target.toConnectionString();
}

}  // namespace

bool TestDatabase::onServer() {
    return !serverSetting().isEmpty();
}

TestDatabase::TestDatabase(Seed seed, Roles roles)
    : connection_(std::make_unique<db::Connection>()) {
    if (!onServer()) {
        path_ = dir_.filePath(QStringLiteral("test.sqlite"));
        connectionString_ = QStringLiteral("sqlite:") + path_;
        seedConnectionString_ = connectionString_;
        connection_->open(connectionString_);
        db::schema::ensureSchema(*connection_);
        if (seed == Seed::Demo)
            db::schema::installDemoData(*connection_, otherin::testing::kDemoToday);
        return;
    }
    const db::ConnectionTarget target = serverTarget();
    const bool withRoles = roles != Roles::None;
    const QString templateName = ensureTemplate(target, seed, withRoles);
    serverDatabase_ =
        QStringLiteral("otherin_t_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
    db::Connection admin;
    admin.open(onDatabase(target, QStringLiteral("postgres")));
    admin.exec(QStringLiteral("create database %1 template %2")
                   .arg(quoted(serverDatabase_), quoted(templateName)));
    db::ConnectionTarget own = target;
    own.database = serverDatabase_;
    seedConnectionString_ = own.toConnectionString();
    connectionString_ = seedConnectionString_;
    if (withRoles) {
        const db::ServerRoles group{QString::fromUtf16(kTestRolePrefix)};
        connectionString_ = asRole(own, roles == Roles::Clerk ? group.clerk() : group.admin());
        seedConnection_ = std::make_unique<db::Connection>();
        seedConnection_->open(seedConnectionString_);
    }
    connection_->open(connectionString_);
}

QString TestDatabase::adminConnectionString() const {
    if (!onServer() || connectionString_ == seedConnectionString_) return connectionString_;
    return asRole(db::parseConnectionString(seedConnectionString_),
                  db::ServerRoles{QString::fromUtf16(kTestRolePrefix)}.admin());
}

db::Connection& TestDatabase::seed() {
    db::Connection& c = seedConnection_ ? *seedConnection_ : *connection_;
    c.open(seedConnectionString_);
    return c;
}

TestDatabase::~TestDatabase() {
    connection_.reset();
    seedConnection_.reset();
    if (serverDatabase_.isEmpty()) return;
    try {
        db::Connection admin;
        admin.open(onDatabase(serverTarget(), QStringLiteral("postgres")));
        admin.exec(
            QStringLiteral("drop database if exists %1 with (force)").arg(quoted(serverDatabase_)));
        for (const QString& login : logins_)
            admin.exec(QStringLiteral("drop role if exists %1").arg(quoted(login)));
    } catch (const db::DbError& e) {
        ADD_FAILURE() << "could not drop the test database: " << e.message().toStdString();
    }
}

void TestDatabase::exec(const QString& sql, const QVariantList& values) {
    seed().exec(sql, values);
}

void TestDatabase::execAsOwner(const QString& sql) {
    if (connectionString_ == seedConnectionString_) return exec(sql);
    db::Connection& c = seed();
    const db::ServerRoles roles{QString::fromUtf16(kTestRolePrefix)};
    c.exec(QStringLiteral("set role ") + roles.owner());
    try {
        c.exec(sql);
    } catch (...) {
        c.exec(QStringLiteral("reset role"));
        throw;
    }
    c.exec(QStringLiteral("reset role"));
}

void TestDatabase::markPostedBills(int checkUpdateSwitch) {
    exec(QStringLiteral("update icstockbill set fstockposted=case when %1 then 1 else 0 end")
             .arg(checkUpdateSwitch == 1 ? QStringLiteral("coalesce(fstatus,0)>=1")
                                         : QStringLiteral("coalesce(fcancellation,0)=0")));
}

void TestDatabase::execAll(const QStringList& statements) {
    for (const auto& s : statements) exec(s);
}

QVariant TestDatabase::scalar(const QString& sql, const QVariantList& values) {
    return seed().scalar(sql, values);
}

QStringList TestDatabase::column(const QString& sql) {
    return testing::column(seed(), sql);
}

void dropServerRoles(db::Connection& c, const QString& prefix, const QStringList& logins) {
    const db::ServerRoles groups{prefix};
    db::Query q = c.prepare(QStringLiteral(
        "select distinct r.rolname from pg_roles r join pg_auth_members m on m.member = r.oid "
        "join pg_roles g on g.oid = m.roleid where g.rolname in (?, ?) and "
        "not r.rolsuper and r.rolname <> current_user"));
    q.bind(groups.clerk()).bind(groups.admin()).exec();
    QStringList roles = logins;
    while (q.next()) roles << q.value(0).toString();
    roles << groups.admin() << groups.clerk() << groups.logins() << groups.owner();
    roles.removeDuplicates();
    for (const QString& role : roles) {
        if (!db::roleExists(c, role)) continue;
        c.exec(QStringLiteral("drop owned by ") + db::quotedName(c, role));
        c.exec(QStringLiteral("drop role ") + db::quotedName(c, role));
    }
}

QStringList column(db::Connection& c, const QString& sql) {
    db::Query q = c.prepare(sql);
    q.exec();
    QStringList out;
    while (q.next()) out << q.value(0).toString();
    return out;
}

void TestDatabase::addTrigger(const char* prefix, const QString& table, const QString& event,
                              const QString& sqliteBody, const QString& serverBody,
                              const QString& condition) {
    const QString name = QStringLiteral("%1_%2_%3").arg(prefix, table).arg(refusals_.size() + 1);
    refusals_.append({name, table});
    if (!onServer()) {
        const QString when =
            condition.isEmpty() ? QString() : QStringLiteral(" when %1").arg(condition);
        exec(QStringLiteral("create trigger %1 before %2 on %3%4 begin %5; end")
                 .arg(name, event, table, when, sqliteBody));
        return;
    }
    const QString row =
        event == QLatin1String("delete") ? QStringLiteral("old") : QStringLiteral("new");
    // allowWrites() drops the trigger and frees its name; the function behind
    // it stays, so a later trigger of that name replaces it.
    exec(QStringLiteral(
             "create or replace function %1() returns trigger language plpgsql as $$ begin if %2 "
             "then %3; end if; return %4; end $$")
             .arg(name, condition.isEmpty() ? QStringLiteral("true") : condition, serverBody, row));
    exec(QStringLiteral("create trigger %1 before %2 on %3 for each row execute function %1()")
             .arg(name, event, table));
}

QString TestDatabase::refusedWrite(const QString& message) {
    return db::failureSentence(db::Failure::RuleBroken, {}) + u'\n' +
           QString::fromUtf16(db::kDetailPrefix) + message;
}

void TestDatabase::refuseWrites(const QString& table, const QString& event, const QString& message,
                                const QString& condition) {
    addTrigger("refuse", table, event,
               QStringLiteral("select raise(abort,%1)").arg(db::quoteText(message)),
               QStringLiteral("raise exception %1").arg(db::quoteText(message)), condition);
}

void TestDatabase::runBeforeWrites(const QString& table, const QString& event,
                                   const QString& statement, const QString& condition) {
    addTrigger("before", table, event, statement, statement, condition);
}

void TestDatabase::allowWrites(const QString& table) {
    for (qsizetype i = refusals_.size() - 1; i >= 0; --i) {
        const auto& [trigger, on] = refusals_[i];
        if (on != table) continue;
        exec(onServer() ? QStringLiteral("drop trigger %1 on %2").arg(trigger, on)
                        : QStringLiteral("drop trigger %1").arg(trigger));
        refusals_.removeAt(i);
    }
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
    if (!user.isEmpty() && entries.filter(QStringLiteral("SystemLogin/gLoginToken=")).isEmpty())
        store->setValue(login, QStringLiteral("gLoginToken"), loginSession(user.toLongLong()));
    store->sync();
    return store;
}

QString TestDatabase::addClerkLogin(const QString& login, const QString& name,
                                    const QString& password, bool administrator,
                                    qlonglong* userId) {
    const qlonglong id = db::addClerk(seed(), login, name, password, administrator);
    logins_ << login;
    if (userId) *userId = id;
    db::ConnectionTarget target = db::parseConnectionString(seedConnectionString_);
    target.user = login;
    target.password = password;
    return target.toConnectionString();
}

void TestDatabase::grantBillRights(qlonglong userId) {
    db::Connection& c = seed();
    c.exec(QStringLiteral("insert into tblUser (fuserid, fnumber, fname) select ?, ?, ? where not "
                          "exists (select 1 from tblUser where fuserid = ?)"),
           {userId, QStringLiteral("user%1").arg(userId), QStringLiteral("用户%1").arg(userId),
            userId});
    for (int n = 1; n <= 14; ++n) {
        const QString code = QStringLiteral("G%1").arg(n, 2, 10, QLatin1Char('0'));
        c.exec(QStringLiteral("insert into tblSystemPrivillenge (fitemid, fnumber) select ?, ? "
                              "where not exists (select 1 from tblSystemPrivillenge where "
                              "fnumber = ?)"),
               {700 + n, code, code});
    }
    c.exec(QStringLiteral("insert into tbluserPrivillenge (fuserid, fPrivillengeid) select ?, "
                          "fitemid from tblSystemPrivillenge p where fnumber like 'G%' and not "
                          "exists (select 1 from tbluserPrivillenge u where u.fuserid = ? and "
                          "u.fPrivillengeid = p.fitemid)"),
           {userId, userId});
}

QString TestDatabase::linkClerkLogin(qlonglong userId, const QString& login,
                                     const QString& password) {
    grantBillRights(userId);
    db::linkClerk(seed(), userId, login, password, false);
    logins_ << login;
    db::ConnectionTarget target = db::parseConnectionString(seedConnectionString_);
    target.user = login;
    target.password = password;
    return target.toConnectionString();
}

QString TestDatabase::loginSession(qlonglong userId, const QDateTime& at) {
    return entry::beginLoginSession(seed(), userId, at);
}

void addPostedBills(db::Connection& c, int count, int first) {
    db::TransactionGuard tx(c);
    QList<qint32> counted;
    for (int id = first; id < first + count; ++id) {
        const bool voided = id % 7 == 0;
        c.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,"
                              "fcancellation,fstockid1) values(?,?,?,7,?,502)"),
               {id, QStringLiteral("QT%1").arg(id, 6, 10, QLatin1Char('0')),
                QStringLiteral("2026-12-05"), voided ? 1 : 0});
        for (int line = 1; line <= 2; ++line) {
            c.exec(QStringLiteral("insert into icstockbillentry(finterid,fentryid,fitemid,"
                                  "funitid,fqty,fPrice,famount) values(?,?,?,701,?,0.1,?)"),
                   {id, line, 1120 + line, id % 5 + 0.5, (id % 5 + 0.5) * 0.1});
        }
        if (!voided) counted << id;
    }
    stock::postToTimeStock(c, counted, stock::PostDirection::Add);
    tx.commit();
}

}  // namespace otherin::testing
