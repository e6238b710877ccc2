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

namespace {

enum class On { Both, File, Server };

struct FailureCase;
void PrintTo(const FailureCase& k, std::ostream* out);

struct FailureCase {
    const char* name;
    On on;
    // Does what fails on `c` (open, on the test database); `other` is a
    // second connection to the same database.
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
QString changedTarget(const TestDatabase& db, const std::function<void(ConnectionTarget&)>& change) {
    ConnectionTarget t = parseConnectionString(db.connectionString());
    t.password = QStringLiteral("s3cret-word");
    change(t);
    return t.toConnectionString();
}

const FailureCase kFailures[] = {
    {"unique key", On::Both,
     [](TestDatabase&, Connection& c, Connection&) {
         exec(c, "insert into t(n) values(1)");
         exec(c, "insert into t(n) values(1)");
     },
     "重复", nullptr},
    {"check", On::Both,
     [](TestDatabase&, Connection& c, Connection&) { exec(c, "insert into t(n) values(-1)"); },
     "不符合数据库的规则", nullptr},
    {"lock held by another program", On::File,
     [](TestDatabase&, Connection& c, Connection& other) {
         TransactionGuard held(other);
         exec(c, "pragma busy_timeout=0");
         exec(c, "begin immediate");
     },
     "正被另一个程序锁定", "db"},
    {"lock held by another clerk", On::Server,
     [](TestDatabase&, Connection& c, Connection& other) {
         TransactionGuard held(other);
         exec(other, "lock table t in access exclusive mode");
         exec(c, "set lock_timeout='50ms'");
         exec(c, "select count(*) from t");
     },
     "正被其他用户锁定", nullptr},
    {"disk full", On::File,
     [](TestDatabase&, Connection& c, Connection&) {
         const int pages = c.scalar(QStringLiteral("pragma page_count")).toInt();
         c.exec(QStringLiteral("pragma max_page_count=%1").arg(pages + 1));
         c.exec(QStringLiteral("insert into t(n, s) values(7, ?)"),
                {QString(100000, QLatin1Char('x'))});
     },
     "磁盘已满", "db"},
    {"read-only file", On::File,
     [](TestDatabase& db, Connection&, Connection&) {
         QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                       QStringLiteral("read-only"));
         file.setDatabaseName(db.path());
         file.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
         ASSERT_TRUE(file.open());
         Query(file, QStringLiteral("insert into t(n) values(5)")).exec();
     },
     "只读", "db"},
    {"not a database file", On::File,
     [](TestDatabase& db, Connection&, Connection&) {
         const QString path = db.dir() + QStringLiteral("/notes.sqlite");
         QFile notes(path);
         ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
         notes.write(QByteArray(4096, 'n'));
         notes.close();
         Connection wrong;
         wrong.open(QStringLiteral("sqlite:") + path);
     },
     "已损坏", "notes.sqlite"},
    {"connection ended by the server", On::Server,
     [](TestDatabase&, Connection& c, Connection& other) {
         const QVariant backend = c.scalar(QStringLiteral("select pg_backend_pid()"));
         other.scalar(QStringLiteral("select pg_terminate_backend(?)"), {backend});
         exec(c, "select count(*) from t");
     },
     "连接已中断", "db"},
    {"read-only server", On::Server,
     [](TestDatabase&, Connection& c, Connection&) {
         exec(c, "set default_transaction_read_only=on");
         exec(c, "insert into t(n) values(3)");
     },
     "只允许读取", "db"},
    {"permission", On::Server,
     [](TestDatabase&, Connection& c, Connection&) {
         exec(c, "set role otherin_no_rights");
         exec(c, "select count(*) from t");
     },
     "没有相应的权限", nullptr},
    {"statement cancelled", On::Server,
     [](TestDatabase&, Connection& c, Connection&) {
         exec(c, "set statement_timeout='20ms'");
         exec(c, "select pg_sleep(2)");
     },
     "被取消", nullptr},
    {"serialization conflict", On::Server,
     [](TestDatabase&, Connection& c, Connection& other) {
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
     [](TestDatabase&, Connection& c, Connection&) {
         c.exec(QStringLiteral("insert into t(n) values(?)"), {QStringLiteral("12x")});
     },
     "格式或大小不符", nullptr},
    {"no server", On::Server,
     [](TestDatabase& db, Connection&, Connection&) {
         Connection none;
         none.open(changedTarget(db, [](ConnectionTarget& t) {
             t.host = QStringLiteral("/nonexistent/otherin-socket");
         }));
     },
     "无法连接数据库服务器", "/nonexistent/otherin-socket"},
    {"unknown login", On::Server,
     [](TestDatabase& db, Connection&, Connection&) {
         Connection stranger;
         stranger.open(changedTarget(
             db, [](ConnectionTarget& t) { t.user = QStringLiteral("otherin_stranger"); }));
     },
     "拒绝了登录", "db"},
    {"no such database", On::Server,
     [](TestDatabase& db, Connection&, Connection&) {
         Connection none;
         none.open(changedTarget(
             db, [](ConnectionTarget& t) { t.database = QStringLiteral("otherin_nowhere"); }));
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
    TestDatabase db;
    Connection& other = db.connection();
    db.exec(QStringLiteral("create table t(n integer primary key check (n > 0), s text)"));
    const bool withRole = k.on == On::Server;
    if (withRole) {
        db.exec(QStringLiteral("do $$ begin if not exists (select from pg_roles where "
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
            const QString place =
                named != QLatin1String("db") ? named
                : TestDatabase::onServer()   ? parseConnectionString(db.connectionString()).database
                                             : db.path();
            EXPECT_TRUE(first.contains(place)) << e.message().toStdString();
        }
        EXPECT_FALSE(e.message().contains(QStringLiteral("s3cret-word")));
        // The database's own text, never alone and never the first line.
        EXPECT_FALSE(e.detail().isEmpty());
        EXPECT_EQ(e.message(), first + u'\n' + QString::fromUtf16(kDetailPrefix) + e.detail());
    }
    c.disconnect();
    QSqlDatabase::removeDatabase(QStringLiteral("read-only"));
}

INSTANTIATE_TEST_SUITE_P(Classes, FailureWords, ::testing::ValuesIn(kFailures),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });

// Texts a curious clerk types: bound or quoted, each is stored and found as it
// stands and matches only itself, also on a server that still treats a
// backslash as an escape by default.
TEST(TypedTexts, ReachTheDatabaseExactlyAndMatchOnlyThemselves) {
    TestDatabase db;
    Connection& c = db.connection();
    db.exec(QStringLiteral("create table h(id integer, s varchar(60))"));
    const QStringList texts{QStringLiteral("\\' or 1=1 --"),
                            QStringLiteral("\\"),
                            QStringLiteral("C:\\temp\\"),
                            QStringLiteral("O'Brien's"),
                            QStringLiteral("x\\'); delete from h; --"),
                            QStringLiteral("'' or ''='")};
    for (int i = 0; i < texts.size(); ++i) {
        c.exec(QStringLiteral("insert into h(id, s) values(?, ?)"), {i, texts[i]});
    }
    for (int i = 0; i < texts.size(); ++i) {
        const QString quoted = quoteText(texts[i]);
        EXPECT_EQ(db.column(QStringLiteral("select id from h where s=") + quoted),
                  QStringList{QString::number(i)})
            << texts[i].toStdString();
        EXPECT_EQ(db.scalar(QStringLiteral("select s from h where id=?"), {i}).toString(),
                  texts[i]);
    }
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from h")).toInt(), texts.size());

    // A NUL is refused before any statement is built, on both databases.
    const QString withNul = QStringLiteral("a") + QChar(0) + QStringLiteral("b");
    EXPECT_THROW(quoteText(withNul), DbError);
    try {
        c.exec(QStringLiteral("insert into h(id, s) values(?, ?)"), {99, withNul});
        ADD_FAILURE() << "a NUL reached the database";
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(), nulCharacterRefusal());
    }
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from h")).toInt(), texts.size());
}

// The site's own client options reach the server, quoted, beside the string
// rules every connection asks for; an option the driver would mangle is
// refused with its name.
TEST(ServerOptions, ReachTheServerQuotedAndKeepStandardStrings) {
    if (!TestDatabase::onServer()) GTEST_SKIP() << "client options of a server connection";
    TestDatabase db;
    const QString name = QStringLiteral("clerk's pc \\ 3");
    const QString url = changedTarget(db, [&](ConnectionTarget& t) {
        t.options.append({QStringLiteral("application_name"), name});
        t.options.append({QStringLiteral("options"), QStringLiteral("-c work_mem=5MB")});
    });
    Connection c;
    c.open(url);
    EXPECT_EQ(c.scalar(QStringLiteral("select current_setting('application_name')")).toString(), name);
    EXPECT_EQ(c.scalar(QStringLiteral("select current_setting('work_mem')")).toString(), QStringLiteral("5MB"));
    EXPECT_EQ(c.scalar(QStringLiteral("select current_setting('standard_conforming_strings')")).toString(),
              QStringLiteral("on"));
    c.close();

    Connection mangled;
    try {
        mangled.open(changedTarget(db, [](ConnectionTarget& t) {
            t.options.append({QStringLiteral("application_name"), QStringLiteral("a;b")});
        }));
        ADD_FAILURE() << "an option with ';' was passed on";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("application_name")))
            << e.message().toStdString();
    }
}

}  // namespace
