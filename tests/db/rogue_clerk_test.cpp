// A curious clerk with the server's own client: connected as their login,
// with plain SQL and not through the module, they try to get round the
// module's rules. Whatever the module refuses, the server must refuse too.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <map>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/server_logins.h"
#include "db/transaction.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::testing::TestDatabase;
using namespace Qt::StringLiterals;

namespace {

// What every table of the schema holds, one digest a table.
std::map<QString, QString> contents(db::Connection& c) {
    std::map<QString, QString> digests;
    for (const QString& table : otherin::testing::column(
             c, QStringLiteral("select tablename from pg_tables where schemaname = "
                               "current_schema() order by 1")))
        digests[table] =
            c.scalar(QStringLiteral("select coalesce(md5(string_agg(t::text, ',' order by "
                                    "t::text)), '') from %1 t")
                         .arg(table))
                .toString();
    return digests;
}

class RogueClerkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TestDatabase::onServer()) GTEST_SKIP() << "a server's own rules";
        db_ = std::make_unique<TestDatabase>(TestDatabase::Seed::Demo);
        login_ = QStringLiteral("r%1_li").arg(QCoreApplication::applicationPid());
        clerk_.open(db_->addClerkLogin(login_, QStringLiteral("李小四"), QStringLiteral("pw"),
                                       false, &userId_));
    }

    // Bills in the states the rules guard, on a database posting at save:
    // 51 audited, 52 open, 53 voided (51 and 52 posted, as they count), 54
    // open and not posted; and the clerk's rights G01 and G03.
    void seedBills() {
        db_->execAll(
            {QStringLiteral("insert into icstockbill (finterid, fbillno, ftrantype, fstatus, "
                            "fchecker, fcancellation, fversion, fstockid1) values (51, 'QT51', 7, "
                            "1, 1, 0, 2, 1), (52, 'QT52', 7, 0, 0, 0, 1, 1), (53, 'QT53', 7, 0, "
                            "0, 1, 2, 1), (54, 'QT54', 7, 0, 0, 0, 1, 1)"),
             QStringLiteral("insert into icstockbillentry (finterid, fentryid, forderid, fitemid, "
                            "funitid, fqty, fprice, famount) select id, 1, 1, 1101, 1, 5, 2, 10 "
                            "from unnest(array[51, 52, 53, 54]) id"),
             QStringLiteral("update icstockbill set fstockposted = 1 where finterid in (51, 52)"),
             QStringLiteral("insert into tblTimeStock (fstockid, fitemid, funitid, fqty, "
                            "famount) values (1, 1101, 1, 10, 20)")});
        db_->exec(QStringLiteral("insert into tbluserPrivillenge (fuserid, fPrivillengeid) select "
                                 "?, fitemid from tblSystemPrivillenge where fnumber in ('G01', "
                                 "'G03')"),
                  {userId_});
    }

    std::unique_ptr<TestDatabase> db_;
    QString login_;
    qlonglong userId_ = 0;
    db::Connection clerk_;
};

// Each attack is refused by the server, and no table has changed after all of
// them; a clerk still writes their own rows.
TEST_F(RogueClerkTest, EveryAttackIsRefusedAndNoTableChanges) {
    const char* const attacks[] = {
        // making oneself an administrator, or someone else
        "update tblUser set fIsAdmin = 1 where frolename = session_user",
        "grant otherin_t_admin to current_user",
        "alter role current_user createrole",
        "set role otherin_t_owner",
        "select otherin_clerk_login('add', 'evil', 'SCRAM-SHA-256$4096:x', true)",
        "insert into tblUserGroupRelation (fuserid, fgroupid) values (4, 1)",
        "insert into tbluserPrivillenge (fuserid, fPrivillengeid) values (4, 1)",
        "update tblUser set frolename = session_user where fuserid = 1",
        // logging in as someone else
        "insert into tblLoginSession (ftokenhash, fuserid, flogintime) values ('x', 1, '2099')",
        "delete from tblLoginSession",
        // reading secrets
        "select fpasswordhash from tblUser",
        "select fpassword from tblUser",
        "select rolpassword from pg_authid",
        // the database's own rules and records
        "update tblSystemSwitch set fvalue = '0' where fname = 'gIsCheckUpdate'",
        "update tblPeriod set fYear = 2000",
        "update icitem set fname = 'x'",
        "update tblServerRoles set fprefix = 'x'",
        "delete from schema_version",
        "delete from tblBillPrint",
        // setting the numbering back, or taking numbers round its rules
        "update tblMaxBillNo set fbillno = 0",
        "update tblmaxNum set fmaxnum = 0",
        "delete from tblBillNoAdd",
        "insert into tblBillNoAdd (finterid, fTypeId, fbillnumber) values (99, 7, 'QTRK000001')",
        // the schema
        "truncate tblTimeStock",
        "truncate icstockbill cascade",
        "drop table icstockbill",
        "create table evil (n integer)",
        "alter table icstockbill disable trigger tr_icstockbill_writer",
        "alter table icstockbill drop column fmodifierid",
        "create or replace function otherin_bill_writer() returns trigger language plpgsql as "
        "$$ begin return new; end $$",
        // another clerk's own rows
        "insert into tblItemInput (fuserid, fitemid) values (2, 1102)",
        "alter table tblItemInput disable row level security",
        // the ledger, other than through posting
        "insert into tblTimeStock (fstockid, fitemid, funitid, fqty) values (1, 1101, 1, 100)",
        "update tblTimeStock set fqty = fqty + 100",
        "delete from tblTimeStock",
        "update icstockbill set fstockposted = 0 where finterid = 52",
        "insert into icstockbill (finterid, fbillno, ftrantype, fstockposted) values "
        "(60, 'X60', 7, 1)",
        "alter table icstockbill disable trigger tr_icstockbill_rules",
        // a state changed without its right (the clerk holds G01 and G03 only)
        "update icstockbill set fstatus = 1, fchecker = 4 where finterid = 54",
        "update icstockbill set fstatus = 0, fchecker = 0 where finterid = 51",
        "update icstockbill set fcancellation = 1 where finterid = 54",
        "update icstockbill set fcancellation = 0 where finterid = 53",
        "insert into icstockbill (finterid, fbillno, ftrantype, fstatus) values (61, 'X61', 7, 1)",
        "update icstockbill set fnote = 'x' where finterid = 54",
        "update icstockbillentry set fqty = 1 where finterid = 54",
        "insert into icstockbillentry (finterid, fentryid, fitemid, funitid, fqty) values "
        "(54, 9, 1101, 1, 1)",
        // an audited, voided or posted bill changed, or a bill audited twice
        "update icstockbillentry set fqty = 99 where finterid = 51",
        "delete from icstockbillentry where finterid = 51",
        "insert into icstockbillentry (finterid, fentryid, fitemid, funitid, fqty) values "
        "(51, 9, 1101, 1, 1)",
        "update icstockbill set fnote = 'x' where finterid = 51",
        "update icstockbill set fstatus = 1, fchecker = 4 where finterid = 51",
        "update icstockbill set fnote = 'x' where finterid = 53",
        "delete from icstockbill where finterid = 51",
        "delete from icstockbill where finterid = 52",
        "update icstockbillentry set fqty = 99 where finterid = 52",
        "update icstockbill set fversion = 0 where finterid = 52",
        // links only the operations write, and the operations without their rights
        "update icstockbill set fhxid = 9 where finterid = 51",
        "update icstockbill set frscinterid = 51 where finterid = 54",
        "select * from otherin_split(51, '1,', 20, 'X20', 2026, 12, 4)",
        "select * from otherin_restore(51, 4)",
        "select * from otherin_write_off(array[51, 52], 4)",
        "select * from otherin_undo_write_off(51, 4)",
        // a number for a bill that has one, or that another transaction made
        "select otherin_finish_bill(54, 7, 'QT', 6, true)",
        // the history
        "insert into otherin_history (ftxid, fkind) values (1, 'bill')",
        "update otherin_history set fop = 'x'",
        "delete from otherin_history",
        "truncate otherin_history",
        "alter table otherin_history disable trigger user",
    };
    // Another clerk's rows are not there to change: nothing is refused, nothing happens.
    const char* const unseen[] = {
        "delete from tblItemInput where fuserid = 2",
        "update tblItemInput set fqty = 9",
        "delete from tblBillOpen",
        "update tblBillOpen set fuserid = fuserid",
        // a bill posted twice, or taken off while audited or never posted
        "select otherin_post(array[51, 52], 1)",
        "select otherin_post(array[51, 54], -1)",
        "select otherin_post(array[53], 1)",
    };
    db_->execAll({QStringLiteral("insert into tblItemInput (fuserid, fitemid) values (2, 1101)"),
                  QStringLiteral("insert into tblBillOpen (fsession, finterid, fuserid) values "
                                 "('zhang', 1, 2)")});
    seedBills();
    const auto before = contents(db_->seed());
    // Refused for want of the right, not for a mistake in the statement: the
    // server's words, or the module's own.
    const QRegularExpression forbidden(QStringLiteral(
        "permission denied|must be owner|must have admin option|row-level security|您无此权限|"
        "操作不成功|只能由|不能"));
    for (const char* attack : attacks) {
        try {
            clerk_.exec(QString::fromUtf8(attack));
            ADD_FAILURE() << "the server let a clerk run: " << attack;
        } catch (const db::DbError& e) {
            EXPECT_TRUE(forbidden.match(e.detail()).hasMatch())
                << attack << ": " << e.message().toStdString();
        }
    }
    for (const char* attack : unseen) EXPECT_NO_THROW(clerk_.exec(QString::fromLatin1(attack)));
    EXPECT_EQ(contents(db_->seed()), before);
    // Their own rows are theirs to write.
    clerk_.exec(QStringLiteral("insert into tblItemInput (fuserid, fitemid) values (?, 1101)"),
                {userId_});
    EXPECT_EQ(clerk_.exec(QStringLiteral("delete from tblItemInput")), 1);
}

// Who and when of a bill's last write come from the clerk's login and the
// server's clock: a forged writer or time is overwritten, also with a
// temporary tblUser of the clerk's own in the way.
TEST_F(RogueClerkTest, WhoAndWhenOfAWriteCannotBeForged) {
    const int bill = 41;
    db_->exec(QStringLiteral("insert into icstockbill (finterid, fbillno, ftrantype, fmodifierid) "
                             "values (?, 'QT0041', 7, 1)"),
              {bill});
    const QString writer =
        QStringLiteral(
            "select fmodifierid || ' ' || (fmodifytime > now() - interval '1 minute') "
            "from icstockbill where finterid = %1")
            .arg(bill);
    clerk_.exec(QStringLiteral("update icstockbill set fmodifierid = 1, fmodifytime = "
                               "'2000-01-01' where finterid = ?"),
                {bill});
    EXPECT_EQ(db_->scalar(writer).toString(), QStringLiteral("%1 true").arg(userId_));
    clerk_.exec(QStringLiteral("create temporary table tblUser (fuserid integer, frolename text)"));
    clerk_.exec(QStringLiteral("insert into tblUser values (1, session_user)"));
    clerk_.exec(QStringLiteral("update icstockbill set fmodifierid = 1 where finterid = ?"),
                {bill});
    EXPECT_EQ(db_->scalar(writer).toString(), QStringLiteral("%1 true").arg(userId_));
    clerk_.exec(
        QStringLiteral("insert into tblBillDeleted (finterid, fuserid, fdeletetime) "
                       "values (77, 1, '2000-01-01')"));
    EXPECT_EQ(db_->scalar(QStringLiteral("select fuserid || ' ' || (fdeletetime > now() - "
                                         "interval '1 minute') from tblBillDeleted where "
                                         "finterid = 77"))
                  .toString(),
              QStringLiteral("%1 true").arg(userId_));
}

// The owner's audit stamps who and when itself and says so to the writer
// trigger; a clerk who says the same, of a write of their own (under any role
// they may take) or of another of the owner's functions, is stamped anyway.
TEST_F(RogueClerkTest, AWriteSaidToBeStampedIsStampedAnyway) {
    seedBills();
    db_->execAll(
        {QStringLiteral("insert into icstockbill (finterid, fbillno, ftrantype, fstatus, "
                        "fchecker, fstockid1, fmodifierid) values (55, 'QT55', 7, 1, 1, 1, 1), "
                        "(56, 'QT56', 7, 1, 1, 1, 1)"),
         QStringLiteral("insert into icstockbillentry (finterid, fentryid, forderid, fitemid, "
                        "funitid, fqty, fprice, famount) values (55, 1, 1, 1101, 1, 5, 2, 10), "
                        "(56, 1, 1, 1101, 1, -5, 2, -10)")});
    db_->exec(QStringLiteral("insert into tbluserPrivillenge (fuserid, fPrivillengeid) select ?, "
                             "fitemid from tblSystemPrivillenge where fnumber in ('G04', 'G11')"),
              {userId_});
    const QString stamped = QStringLiteral("select set_config('otherin.stamped', 'on', false)");
    const QString audit = QStringLiteral(
                              "update icstockbill set fstatus = 1, fchecker = %1, fmodifierid = "
                              "1, fmodifytime = '2000-01-01' where finterid = %2")
                              .arg(userId_);
    const struct {
        const char* what;
        QStringList statements;
        int bill;
    } cases[] = {
        {"an audit of the clerk's own", {stamped, audit.arg(54)}, 54},
        {"an audit under the clerks' group role",
         {QStringLiteral("set role otherin_t_clerk"), stamped, audit.arg(52),
          QStringLiteral("reset role")},
         52},
        {"the owner's write-off naming user 1",
         {stamped, QStringLiteral("select * from otherin_write_off(array[55, 56], 1)")},
         55},
    };
    for (const auto& c : cases) {
        for (const QString& statement : c.statements) clerk_.exec(statement);
        EXPECT_EQ(db_->scalar(QStringLiteral("select fmodifierid || ' ' || (fmodifytime > now() - "
                                             "interval '1 minute') from icstockbill where "
                                             "finterid = %1")
                                  .arg(c.bill))
                      .toString(),
                  QStringLiteral("%1 true").arg(userId_))
            << c.what;
    }
}

// The owner's posting tells the history it writes markers alone; a clerk
// saying the same of a change still leaves the change in the history.
TEST_F(RogueClerkTest, AClerksChangeIsRecordedWhateverTheSessionClaims) {
    db_->exec(
        QStringLiteral("insert into icstockbill (finterid, fbillno, ftrantype) values (41, "
                       "'QT0041', 7)"));
    db_->exec(QStringLiteral("insert into tbluserPrivillenge (fuserid, fPrivillengeid) select ?, "
                             "fitemid from tblSystemPrivillenge where fnumber = 'G02'"),
              {userId_});
    db::TransactionGuard tx(clerk_);
    clerk_.exec(QStringLiteral("select set_config('otherin.marking', 'on', true)"));
    clerk_.exec(QStringLiteral("update icstockbill set fexplanation = '来料' where finterid = 41"));
    tx.commit();
    EXPECT_EQ(db_->column(QStringLiteral("select fop from otherin_history where fkind = 'bill' "
                                         "and finterid = 41 and frole = '%1'")
                              .arg(login_)),
              QStringList{u"修改"_s});
}

}  // namespace

namespace {

// Posting at audit by the database's switch, a clerk's own audit through the
// server's function posts the bill whatever the clerk asks for, and names the
// clerk as its checker and writer whoever the clerk says audited it.
TEST_F(RogueClerkTest, AnAuditPostsWhenTheDatabasePostsAtAudit) {
    seedBills();
    db_->exec(
        QStringLiteral("update tblSystemSwitch set fvalue = 1 where fname = 'gIsCheckUpdate'"));
    db_->exec(QStringLiteral("insert into tbluserPrivillenge (fuserid, fPrivillengeid) select ?, "
                             "fitemid from tblSystemPrivillenge where fnumber = 'G04'"),
              {userId_});
    EXPECT_EQ(clerk_.scalar(QStringLiteral("select otherin_audit(array[54], 1, false)")).toInt(),
              1);
    EXPECT_EQ(db_->scalar(QStringLiteral("select fstatus || '/' || fstockposted || '/' || fchecker "
                                         "|| '/' || fmodifierid from icstockbill where finterid "
                                         "= 54"))
                  .toString(),
              QStringLiteral("1/1/%1/%1").arg(userId_));
    EXPECT_EQ(db_->scalar(QStringLiteral("select fqty from tblTimeStock")).toDouble(), 15);
}

}  // namespace
