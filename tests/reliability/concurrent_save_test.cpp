// Four workstations (save_worker.cpp) save at once, typed numbers ahead of the counter and
// freed numbers waiting: what the workers said must be what the database holds.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <map>

#include "support/qstring_print.h"
#include "support/test_database.h"
#include "worker_processes.h"

using namespace Qt::StringLiterals;

using otherin::testing::runTogether;
using otherin::testing::TestDatabase;

namespace {

constexpr int kWorkers = 4;
constexpr int kSavesEach = 25;

TEST(ConcurrentSaveTest, FourProcessesSavingAtOnceNeverDoubleANumberOrAnId) {
    TestDatabase db(TestDatabase::Seed::Demo);
    // Bills 1 to 5 were saved before: numbers typed ahead of the counter, one
    // of another type (a different numbering) and one without a number.
    db.execAll({u"update tblmaxNum set fmaxnum=10 where ftablename='ICStockBill'"_s,
                u"insert into icstockbill(finterid,ftrantype,fbillno) values"
                "(1,7,'QTRK000002'),(2,7,'QTRK000003'),(3,7,'QTRK000005'),"
                "(4,1,'QTRK000001'),(5,7,'')"_s,
                u"insert into tblBillNoAdd(finterid,fTypeId,fbillnumber) values"
                "(1,7,'QTRK000003'),(2,7,'QTRK000090'),(3,7,'DEL-1'),(4,1,'X-1')"_s});

    // On a server each workstation is a clerk's own login, held to the
    // server's rules, not the owner.
    QStringList logins;
    for (int k = 0; k < kWorkers; ++k) {
        logins << (TestDatabase::onServer()
                       ? db.linkClerkLogin(
                             2 + k, u"cs%1_%2"_s.arg(QCoreApplication::applicationPid()).arg(k),
                             u"pw"_s)
                       : db.connectionString());
    }

    std::map<qint32, QString> stored;  // id -> number, over every worker
    QStringList refused;               // the typed texts of refused saves, trimmed
    QStringList problems;              // anything a worker should not have said
    // A worker that did not end well answers with its error, a problem.
    for (const QString& out : runTogether(QStringLiteral(SAVE_WORKER), kWorkers, [&](int k) {
             return QStringList{"--db",          logins[k],
                                "--count",       QString::number(kSavesEach),
                                "--seed",        QString::number(k + 1),
                                "--typed-every", "3"};
         })) {
        int results = 0;
        for (const QString& line : out.split('\n')) {
            const QStringList f = line.split('\t');
            if (f.size() == 3 && f[0] == "ok" && stored.emplace(f[1].toInt(), f[2]).second) {
                ++results;
            } else if (f.size() == 3 && f[0] == "fail" && f[2] == "单据编号不能重复!" &&
                       !f[1].trimmed().isEmpty()) {
                ++results;
                refused << f[1].trimmed();
            } else if (!line.isEmpty() && f[0] != "done") {
                problems << line;
            }
        }
        EXPECT_EQ(results, kSavesEach);
    }
    EXPECT_EQ(problems, QStringList());

    // No number twice in a type, blanks around it or not.
    EXPECT_EQ(db.column(u"select ftrantype||':'||trim(fbillno) from icstockbill "
                        "where fbillno<>'' group by ftrantype,trim(fbillno) "
                        "having count(*)>1"_s),
              QStringList());
    // Each reported bill is stored under its id with its number, its line and
    // its posting, and nothing else: no refused save left a row.
    QStringList reported;
    for (const auto& [id, number] : stored) reported << u"%1:%2:1"_s.arg(id).arg(number);
    EXPECT_EQ(db.column(u"select b.finterid||':'||b.fbillno||':'||count(e.finterid) "
                        "from icstockbill b left join icstockbillentry e on "
                        "e.finterid=b.finterid where b.finterid>10 group by "
                        "b.finterid,b.fbillno order by b.finterid"_s),
              reported);
    EXPECT_EQ(db.column(u"select count(*) from icstockbillentry where finterid>10"_s),
              QStringList{QString::number(stored.size())});
    EXPECT_EQ(db.scalar(u"select sum(fqty) from tblTimeStock where fitemid=1121"_s).toDouble(),
              3.0 * static_cast<double>(stored.size()));

    // A refused typed number is one a bill carries (typed checks span types).
    const QStringList carried = db.column(u"select fbillno from icstockbill"_s);
    for (const QString& typed : refused)
        EXPECT_TRUE(carried.contains(typed)) << typed.toStdString();
    // The free freed numbers were issued once; the taken one left the list
    // unissued; another type's stays.
    QStringList issued;
    for (const auto& [id, number] : stored) issued << number;
    for (const char* freed : {"QTRK000090", "DEL-1"}) EXPECT_EQ(issued.count(freed), 1) << freed;
    EXPECT_EQ(issued.count("QTRK000003"), 0);
    EXPECT_EQ(db.column(u"select fbillnumber from tblBillNoAdd"_s), QStringList{"X-1"});
}

}  // namespace
