// Passwords are kept only as salted slow hashes; a password still stored as
// text is turned into one.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "db/connection.h"
#include "db/password_hash.h"
#include "db/schema.h"
#include "entry/host_login.h"
#include "entry/settings_store.h"
#include "support/test_database.h"

using namespace otherin::entry;
using otherin::db::verifyPassword;
using otherin::testing::TestDatabase;
namespace schema = otherin::db::schema;

namespace {

QString storedHash(TestDatabase& db, qlonglong user) {
    return db.scalar(QStringLiteral("select fpasswordhash from tblUser where fuserid=?"), {user})
        .toString();
}
QString storedText(TestDatabase& db, qlonglong user) {
    return db.scalar(QStringLiteral("select fpassword from tblUser where fuserid=?"), {user})
        .toString();
}

TEST(PasswordLoginTest, OnlyTheRightPasswordLogsIn) {
    TestDatabase db;
    db.exec(
        QStringLiteral("insert into tblUser(fuserid,fnumber,fname) values(1,'a','甲'),"
                       "(2,'b','乙'),(3,'c','丙')"));
    auto& c = db.connection();
    setPassword(c, 2, QStringLiteral("秘密 pw"));
    // user 3 still has a password from before hashes were kept
    db.exec(QStringLiteral("update tblUser set fpassword='old' where fuserid=3"));

    struct Case {
        qlonglong user;
        const char* password;
        bool accepted;
    };
    const Case cases[] = {
        {1, "", true},         {1, "x", false},   {2, "秘密 pw", true},
        {2, "秘密 PW", false}, {3, "Old", false}, {9, "", false},
    };
    for (const Case& k : cases) {
        c.open(db.connectionString());
        const auto user = checkLogin(c, k.user, QString::fromUtf8(k.password));
        EXPECT_EQ(user.has_value(), k.accepted) << k.user << " " << k.password;
        if (user) {
            EXPECT_EQ(user->id, k.user);
        }
    }
    // a refused text password stays as it was
    EXPECT_EQ(storedText(db, 3), QStringLiteral("old"));
    EXPECT_TRUE(storedHash(db, 3).isEmpty());

    // the right one logs in once more and is hashed on the way
    c.open(db.connectionString());
    ASSERT_TRUE(checkLogin(c, 3, QStringLiteral("old")).has_value());
    EXPECT_TRUE(storedText(db, 3).isEmpty());
    EXPECT_TRUE(verifyPassword(storedHash(db, 3), QStringLiteral("old")));
    c.open(db.connectionString());
    EXPECT_TRUE(checkLogin(c, 3, QStringLiteral("old")).has_value());

    // the same password hashes differently
    c.open(db.connectionString());
    setPassword(c, 1, QStringLiteral("秘密 pw"));
    EXPECT_NE(storedHash(db, 1), storedHash(db, 2));
}

TEST(PasswordLoginTest, UpgradeHashesThePasswordsStoredAsText) {
    QTemporaryDir dir;
    otherin::db::Connection c;
    c.open(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("old.sqlite")));
    // a database as version 1 left it
    schema::runScript(c, schema::schemaScript());
    c.exec(
        QStringLiteral("insert into tblUser(fuserid,fnumber,fname,fpassword) values"
                       "(1,'a','甲','first'),(2,'b','乙',''),(3,'c','丙',null)"));
    schema::ensureSchema(c);
    EXPECT_EQ(schema::currentVersion(c), schema::kVersion);

    EXPECT_EQ(c.scalar(QStringLiteral("select count(*) from tblUser where fpassword<>''")).toInt(),
              0);
    EXPECT_TRUE(verifyPassword(
        c.scalar(QStringLiteral("select fpasswordhash from tblUser where fuserid=1")).toString(),
        QStringLiteral("first")));
    for (qlonglong user : {1, 2, 3}) {
        EXPECT_EQ(checkLogin(c, user, QString()).has_value(), user != 1) << user;
    }
    EXPECT_TRUE(checkLogin(c, 1, QStringLiteral("first")).has_value());
}

TEST(PasswordLoginTest, LoginSettingsCarryTheToken) {
    TestDatabase db(TestDatabase::Seed::Demo);
    auto user = checkLogin(db.connection(), 3, QString());
    ASSERT_TRUE(user.has_value());
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
    writeLoginSettings(store, *user, QStringLiteral("abc123"), db.connectionString(), dir.path());
    const auto login = [&](const char* key) {
        return store.value(QStringLiteral("SystemLogin"), QString::fromLatin1(key), {});
    };
    EXPECT_EQ(login("gLoginToken"), QStringLiteral("abc123"));
    EXPECT_EQ(login("gLoginUserId"), QStringLiteral("3"));
    EXPECT_EQ(store.value(QStringLiteral("DBOperation"), QStringLiteral("DBConnectionString"), {}),
              db.connectionString());
}

}  // namespace
