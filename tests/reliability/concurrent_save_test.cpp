// Four workstations save new bills into one database at the same moment,
// each in its own process (tests/reliability/save_worker.cpp), with typed
// numbers ahead of the counter and freed numbers waiting, one of them taken
// since it was freed. What the workers said must be what the database holds.

#include <gtest/gtest.h>

#include <QProcess>
#include <map>
#include <set>

#include "support/test_database.h"

using otherin::testing::TestDatabase;

namespace {

constexpr int kWorkers = 4;
constexpr int kSavesEach = 25;
const QString kDuplicate = QStringLiteral("单据编号不能重复!");

struct Reported {
    std::map<qint32, QString> stored;  // id -> number, over every worker
    QStringList refusedTyped;          // the typed texts of refused saves
    QStringList problems;              // anything a worker should not have said
};

void readWorker(const QString& out, Reported& r, int worker) {
    int results = 0;
    bool done = false;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.value(0) == QLatin1String("ok") && f.size() == 3) {
            ++results;
            const qint32 id = f[1].toInt();
            if (!r.stored.emplace(id, f[2]).second)
                r.problems << QStringLiteral("内码重复: ") + line;
        } else if (f.value(0) == QLatin1String("fail") && f.size() == 3) {
            ++results;
            if (f[1].trimmed().isEmpty() || f[2] != kDuplicate) r.problems << line;
            r.refusedTyped << f[1];
        } else if (f.value(0) == QLatin1String("done") && f.size() == 3) {
            done = true;
        } else {
            r.problems << line;
        }
    }
    if (results != kSavesEach || !done) {
        r.problems
            << QStringLiteral("worker %1: %2 results, done %3").arg(worker).arg(results).arg(done);
    }
}

QStringList column(TestDatabase& db, const QString& sql) {
    auto q = db.connection().prepare(sql);
    q.exec();
    QStringList out;
    while (q.next()) out << q.value(0).toString();
    return out;
}

TEST(ConcurrentSaveTest, FourProcessesSavingAtOnceNeverDoubleANumberOrAnId) {
    TestDatabase db(TestDatabase::Seed::Demo);
    // Bills 1 to 5 were saved before: numbers typed ahead of the counter, one
    // of another type (a different numbering) and one without a number.
    db.execAll({QStringLiteral("update tblmaxNum set fmaxnum=10 where ftablename='ICStockBill'"),
                QStringLiteral("insert into icstockbill(finterid,ftrantype,fbillno) values"
                               "(1,7,'QTRK000002'),(2,7,'QTRK000003'),(3,7,'QTRK000005'),"
                               "(4,1,'QTRK000001'),(5,7,'')"),
                QStringLiteral("insert into tblBillNoAdd(finterid,fTypeId,fbillnumber) values"
                               "(1,7,'QTRK000003'),(2,7,'QTRK000090'),(3,7,'DEL-1'),(4,1,'X-1')")});

    std::vector<std::unique_ptr<QProcess>> workers;
    for (int k = 0; k < kWorkers; ++k) {
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral(SAVE_WORKER),
                 {QStringLiteral("--db"), db.connectionString(), QStringLiteral("--count"),
                  QString::number(kSavesEach), QStringLiteral("--seed"), QString::number(k + 1),
                  QStringLiteral("--typed-every"), QStringLiteral("3"),
                  QStringLiteral("--wait-for-go")});
        workers.push_back(std::move(p));
    }
    // All four are up before any saves, so their saves overlap.
    for (auto& p : workers) ASSERT_TRUE(p->waitForStarted()) << p->errorString().toStdString();
    for (auto& p : workers) {
        p->write("go\n");
        p->closeWriteChannel();
    }
    Reported r;
    for (int k = 0; k < kWorkers; ++k) {
        QProcess& p = *workers[k];
        ASSERT_TRUE(p.waitForFinished(120000)) << "worker " << k << " hangs";
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << err.toStdString();
        EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
        readWorker(QString::fromUtf8(p.readAllStandardOutput()), r, k);
    }
    EXPECT_TRUE(r.problems.isEmpty()) << r.problems.join(QLatin1Char('\n')).toStdString();
    // One result per save; only typed numbers may be refused (checked above).
    EXPECT_EQ(r.stored.size() + r.refusedTyped.size(), size_t{kWorkers * kSavesEach});
    EXPECT_LE(r.refusedTyped.size(), kWorkers * (kSavesEach / 3));  // the typed ones at most

    // No number twice in a type, blanks around it or not.
    EXPECT_EQ(column(db, QStringLiteral("select ftrantype||':'||trim(fbillno) from icstockbill "
                                        "where fbillno<>'' group by ftrantype,trim(fbillno) "
                                        "having count(*)>1")),
              QStringList());
    // Each reported bill is stored under its id with its number and its line,
    // and nothing else was stored: no refused save left a row.
    QStringList reported;
    for (const auto& [id, number] : r.stored) {
        reported << QStringLiteral("%1:%2:1").arg(id).arg(number);
    }
    EXPECT_EQ(column(db, QStringLiteral("select b.finterid||':'||b.fbillno||':'||"
                                        "(select count(*) from icstockbillentry e where "
                                        "e.finterid=b.finterid) from icstockbill b where "
                                        "b.finterid>10 order by b.finterid")),
              reported);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from icstockbillentry e where not exists "
                                       "(select 1 from icstockbill b where b.finterid=e.finterid)"))
                  .toInt(),
              0);
    // Every posting is one stored bill's.
    EXPECT_EQ(db.scalar(QStringLiteral("select sum(fqty) from tblTimeStock where fitemid=(select "
                                       "fitemid from icitem where fNumber='02.001')"))
                  .toDouble(),
              3.0 * static_cast<double>(r.stored.size()));

    // A refused typed number is one a bill carries (typed checks span types).
    const QStringList carried = column(db, QStringLiteral("select fbillno from icstockbill"));
    for (const QString& typed : r.refusedTyped) {
        EXPECT_TRUE(carried.contains(typed.trimmed())) << typed.toStdString();
    }
    // The free freed numbers were issued; the taken one left the list unissued.
    std::multiset<QString> numbers;
    for (const auto& [id, number] : r.stored) numbers.insert(number);
    EXPECT_EQ(numbers.count(QStringLiteral("QTRK000090")), 1u);
    EXPECT_EQ(numbers.count(QStringLiteral("DEL-1")), 1u);
    EXPECT_EQ(numbers.count(QStringLiteral("QTRK000003")), 0u);
    EXPECT_EQ(column(db, QStringLiteral("select fbillnumber from tblBillNoAdd")),
              QStringList{QStringLiteral("X-1")});
}

}  // namespace
