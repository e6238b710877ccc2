// Failures made to happen for real on the database under test, each told in
// the clerk's words with the database's own text on a second line; and texts
// that must reach the database exactly as typed, whatever string rules the
// server was started with.
#include <gtest/gtest.h>

#include <QFile>
#include <QSqlDatabase>
#include <functional>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/error_words.h"
#include "db/sql_text.h"
#include "db/transaction.h"
#include "support/test_database.h"

using namespace otherin;
using namespace otherin::db;
using otherin::testing::TestDatabase;
using namespace Qt::StringLiterals;

namespace {

enum class On { Both, File, Server };

struct FailureCase;
void PrintTo(const FailureCase& k, std::ostream* out);

struct FailureCase {
    const char* name;
    On on;
    std::function<void(TestDatabase& db, Connection& c, Connection& other)> act;
    const char* phrase;  // what the first line must say
    // What the first line names: "db", the file or the server's database
    // under test, or the name itself; null: no place.
    const char* place;
};

void exec(Connection& c, const char* sql) {
    c.exec(QString::fromUtf8(sql));
}

// The target of the test database with one part changed, and a password no
// message may show.
QString changedTarget(const TestDatabase& db,
                      const std::function<void(ConnectionTarget&)>& change) {
    ConnectionTarget t = parseConnectionString(db.connectionString());
    t.password = u"s3cret-word"_s;
    change(t);
    return t.toConnectionString();
}

// Each act gets the test database, `c` (open on it) and `other`, a second connection to it.
const FailureCase kFailures[] = {
    {"unique key", On::Both,
     [](auto&, auto& c, auto&) {
         exec(c, "insert into t(n) values(1)");
         exec(c, "insert into t(n) values(1)");
     },
     "重复", nullptr},
    {"check", On::Both, [](auto&, auto& c, auto&) { exec(c, "insert into t(n) values(-1)"); },
     "不符合数据库的规则", nullptr},
    {"lock held by another program", On::File,
     [](auto&, auto& c, auto& other) {
         TransactionGuard held(other);
         exec(c, "pragma busy_timeout=0");
         exec(c, "begin immediate");
     },
     "正被另一个程序锁定", "db"},
    {"lock held by another clerk", On::Server,
     [](auto&, auto& c, auto& other) {
         TransactionGuard held(other);
         exec(other, "lock table t in access exclusive mode");
         exec(c, "set lock_timeout='50ms'");
         exec(c, "select count(*) from t");
     },
     "正被其他用户锁定", nullptr},
    {"disk full", On::File,
     [](auto&, auto& c, auto&) {
         c.exec(u"pragma max_page_count=%1"_s.arg(c.scalar(u"pragma page_count"_s).toInt() + 1));
         c.exec(u"insert into t(n, s) values(7, ?)"_s, {QString(100000, u'x')});
     },
     "磁盘已满", "db"},
    {"read-only file", On::File,
     [](auto& db, auto&, auto&) {
         QSqlDatabase file = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"read-only"_s);
         file.setDatabaseName(db.path());
         file.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
         ASSERT_TRUE(file.open());
         Query(file, u"insert into t(n) values(5)"_s).exec();
     },
     "只读", "db"},
    {"not a database file", On::File,
     [](auto& db, auto&, auto&) {
         QFile notes(db.dir() + u"/notes.sqlite"_s);
         ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
         notes.write(QByteArray(4096, 'n'));
         notes.close();
         Connection().open(u"sqlite:"_s + notes.fileName());
     },
     "已损坏", "notes.sqlite"},
    {"connection ended by the server", On::Server,
     [](auto&, auto& c, auto& other) {
         other.scalar(u"select pg_terminate_backend(?)"_s,
                      {c.scalar(u"select pg_backend_pid()"_s)});
         exec(c, "select count(*) from t");
     },
     "连接已中断", "db"},
    {"read-only server", On::Server,
     [](auto&, auto& c, auto&) {
         exec(c, "set default_transaction_read_only=on");
         exec(c, "insert into t(n) values(3)");
     },
     "只允许读取", "db"},
    {"permission", On::Server,
     [](auto&, auto& c, auto&) {
         exec(c, "set role otherin_no_rights");
         exec(c, "select count(*) from t");
     },
     "没有相应的权限", nullptr},
    {"statement cancelled", On::Server,
     [](auto&, auto& c, auto&) {
         exec(c, "set statement_timeout='20ms'");
         exec(c, "select pg_sleep(2)");
     },
     "被取消", nullptr},
    {"serialization conflict", On::Server,
     [](auto&, auto& c, auto& other) {
         for (Connection* one : {&c, &other}) {
             exec(*one, "begin isolation level serializable");
             exec(*one, "select count(*) from t");
         }
         exec(c, "insert into t(n) values(10)");
         exec(other, "insert into t(n) values(11)");
         exec(c, "commit");
         exec(other, "commit");
     },
     "其他用户正在修改", nullptr},
    {"value the column cannot take", On::Server,
     [](auto&, auto& c, auto&) { c.exec(u"insert into t(n) values(?)"_s, {u"12x"_s}); },
     "格式或大小不符", nullptr},
    {"no server", On::Server,
     [](auto& db, auto&, auto&) {
         Connection().open(
             changedTarget(db, [](auto& t) { t.host = u"/nonexistent/otherin-socket"_s; }));
     },
     "无法连接数据库服务器", "/nonexistent/otherin-socket"},
    {"unknown login", On::Server,
     [](auto& db, auto&, auto&) {
         Connection().open(changedTarget(db, [](auto& t) { t.user = u"otherin_stranger"_s; }));
     },
     "拒绝了登录", "db"},
    {"no such database", On::Server,
     [](auto& db, auto&, auto&) {
         Connection().open(changedTarget(db, [](auto& t) { t.database = u"otherin_nowhere"_s; }));
     },
     "找不到数据库", "otherin_nowhere"},
};

void PrintTo(const FailureCase& k, std::ostream* out) {
    *out << k.name;
}

class FailureWords : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureWords, AreToldInTheClerksWordsWithTheDatabasesTextBelow) {
    const FailureCase& k = GetParam();
    if (k.on == On::File && TestDatabase::onServer()) GTEST_SKIP() << "SQLite's own failure";
    if (k.on == On::Server && !TestDatabase::onServer()) GTEST_SKIP() << "a server's own failure";
    TestDatabase db{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
    Connection& other = db.connection();
    db.exec(u"create table t(n integer primary key check (n > 0), s text)"_s);
    const bool withRole = k.on == On::Server;
    if (withRole) {
        db.exec(
            QStringLiteral("do $$ begin if not exists (select from pg_roles where "
                           "rolname='otherin_no_rights') then create role "
                           "otherin_no_rights nologin; end if; end $$"));
    }
    Connection c;
    c.open(db.connectionString());
    try {
        k.act(db, c, other);
        ADD_FAILURE() << k.name << ": nothing failed";
    } catch (const DbError& e) {
        const QString first = e.message().section(u'\n', 0, 0);
        EXPECT_TRUE(first.contains(QString::fromUtf8(k.phrase))) << e.message().toStdString();
        if (k.place) {
            const QString named = QString::fromUtf8(k.place);
            const QString place = named != QLatin1String("db") ? named
                                  : TestDatabase::onServer()
                                      ? parseConnectionString(db.connectionString()).database
                                      : db.path();
            EXPECT_TRUE(first.contains(place)) << e.message().toStdString();
        }
        EXPECT_FALSE(e.message().contains(u"s3cret-word"_s));
        // The database's own text, never alone and never the first line.
        EXPECT_FALSE(e.detail().isEmpty());
        EXPECT_EQ(e.message(), first + u'\n' + QString::fromUtf16(kDetailPrefix) + e.detail());
    }
    c.disconnect();
    QSqlDatabase::removeDatabase(u"read-only"_s);
}

INSTANTIATE_TEST_SUITE_P(Classes, FailureWords, ::testing::ValuesIn(kFailures),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });

// Typed texts, bound or quoted, are stored as they stand and match only themselves.
TEST(TypedTexts, ReachTheDatabaseExactlyAndMatchOnlyThemselves) {
    TestDatabase db{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
    Connection& c = db.connection();
    db.exec(u"create table h(id integer, s varchar(60))"_s);
    const QStringList texts{
        u"\\' or 1=1 --"_s, u"\\"_s, u"C:\\temp\\"_s, u"O'Brien's"_s, u"x\\'); delete from h; --"_s,
        u"'' or ''='"_s};
    for (int i = 0; i < texts.size(); ++i) {
        c.exec(u"insert into h(id, s) values(?, ?)"_s, {i, texts[i]});
    }
    for (int i = 0; i < texts.size(); ++i) {
        const QString quoted = quoteText(texts[i]);
        EXPECT_EQ(db.column(u"select id from h where s="_s + quoted),
                  QStringList{QString::number(i)})
            << texts[i].toStdString();
        EXPECT_EQ(db.scalar(u"select s from h where id=?"_s, {i}).toString(), texts[i]);
    }
    EXPECT_EQ(db.scalar(u"select count(*) from h"_s).toInt(), texts.size());

    // A NUL is refused before any statement is built, on both databases.
    const QString withNul = u"a"_s + QChar(0) + u"b"_s;
    EXPECT_THROW(quoteText(withNul), DbError);
    try {
        c.exec(u"insert into h(id, s) values(?, ?)"_s, {99, withNul});
        ADD_FAILURE() << "a NUL reached the database";
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(), nulCharacterRefusal());
    }
    EXPECT_EQ(db.scalar(u"select count(*) from h"_s).toInt(), texts.size());
}

// The site's client options reach the server quoted; one the driver would mangle is refused.
TEST(ServerOptions, ReachTheServerQuotedAndKeepStandardStrings) {
    if (!TestDatabase::onServer()) GTEST_SKIP() << "client options of a server connection";
    TestDatabase db{TestDatabase::Seed::Empty, TestDatabase::Roles::None};
    const QString name = u"clerk's pc \\ 3"_s;
    const QString url = changedTarget(db, [&](ConnectionTarget& t) {
        t.options.append({u"application_name"_s, name});
        t.options.append({u"options"_s, u"-c work_mem=5MB"_s});
    });
    Connection c;
    c.open(url);
    EXPECT_EQ(c.scalar(u"select current_setting('application_name')"_s).toString(), name);
    EXPECT_EQ(c.scalar(u"select current_setting('work_mem')"_s).toString(), u"5MB"_s);
    EXPECT_EQ(c.scalar(u"select current_setting('standard_conforming_strings')"_s).toString(),
              u"on"_s);
    c.close();

    Connection mangled;
    try {
        mangled.open(changedTarget(db, [](ConnectionTarget& t) {
            t.options.append({u"application_name"_s, u"a;b"_s});
        }));
        ADD_FAILURE() << "an option with ';' was passed on";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(u"application_name"_s)) << e.message().toStdString();
    }
}

}  // namespace
