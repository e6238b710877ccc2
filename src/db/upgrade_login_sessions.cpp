// Schema version 3: who is logged in and the switches every user shares.
//
// - tblUser.fpasswordhash holds the salted hash of a user's password; the old
//   text column fpassword is emptied here and no longer read once a hash is
//   stored. An empty hash and an empty text mean the user has no password.
// - tblLoginSession records each login of the host program: the hash of a
//   random token (the token itself only travels in the user's settings), the
//   user and the login time in UTC. The component believes the user id of a
//   session, never the one in the settings.
// - tblSystemSwitch holds the switches that decide how stock and bills move.
//   They must be the same for every user of one database: a bill saved under
//   one posting rule and audited under the other would be posted twice.

#include <utility>
#include <vector>

#include "db/connection.h"
#include "db/password_hash.h"
#include "db/upgrade_login_sessions.h"

namespace otherin::db::schema {

namespace {

void hashStoredPasswords(Connection& connection) {
    std::vector<std::pair<qlonglong, QString>> plain;
    {
        Query q = connection.prepare(QStringLiteral(
            "select fuserid,fpassword from tblUser where coalesce(fpassword,'')<>''"));
        q.exec();
        while (q.next()) plain.emplace_back(q.value(0).toLongLong(), q.value(1).toString());
    }
    for (const auto& [user, password] : plain) {
        connection.exec(
            QStringLiteral("update tblUser set fpasswordhash=?,fpassword='' where fuserid=?"),
            {hashPassword(password), user});
    }
}

}  // namespace

void upgradeLoginSessions(Connection& connection) {
    connection.exec(QStringLiteral("alter table tblUser add column fpasswordhash text default ''"));
    hashStoredPasswords(connection);

    connection.exec(
        QStringLiteral("create table tblLoginSession (ftokenhash text primary key, fuserid "
                       "integer not null, flogintime text not null)"));
    // Expired sessions are cleared by login time.
    connection.exec(QStringLiteral(
        "create index ix_tblLoginSession_flogintime on tblLoginSession (flogintime)"));

    connection.exec(
        QStringLiteral("create table tblSystemSwitch (fname text primary key, fvalue integer not "
                       "null default 0, fnote text default '')"));
    // Everything off: the behaviour of a database that was never configured.
    const QString insert =
        QStringLiteral("insert into tblSystemSwitch (fname,fvalue,fnote) values (?,0,?)");
    connection.exec(insert, {QStringLiteral("gIsCheckUpdate"),
                             QStringLiteral("1 = 审核时更新即时库存，0 = 保存时更新")});
    connection.exec(insert,
                    {QStringLiteral("gIsCloseStock"), QStringLiteral("1 = 当前期间及以前已结账")});
    connection.exec(insert, {QStringLiteral("gUpdateSingleBill"),
                             QStringLiteral("1 = 只能修改、删除自己制的单据")});
    connection.exec(
        insert, {QStringLiteral("gIsAddDelNumber"), QStringLiteral("1 = 重用已删除单据的编号")});
}

}  // namespace otherin::db::schema
