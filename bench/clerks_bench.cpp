// Many clerks saving at once against one database: N processes, each a clerk
// of its own on a connection of its own (on a server, the clerk's own login
// role, made with the module's own roles and logins), each saving new bills of
// the same `--lines` items through the editor (BillSession::save() in new-bill
// mode, the grid filled before the clock) for S seconds; then a floor measured
// the same way in the same run: N processes writing the same rows by hand, one
// transaction per bill (the header, the lines in one multi-row insert, one
// set-based ledger upsert in key order, and the number from the counter as the
// last write before the commit; on a server as a member of the owner role,
// with the triggers on). Every clerk posting the same items is the worst case
// for the ledger's rows.
//
//     clerks_bench [--db URL] [--clerks 1,2,4,8,16] [--seconds S] [--lines 10]
//
// Without --db (or OTHERIN_TEST_DB) a SQLite file in a temporary folder; with a
// server, a login that may create databases and roles: the run makes its own
// database and roles and drops them at the end. For each N it prints
//
//     clerks N saves/s X p50 A p99 B floor/s Y ratio R round-trips T
//
// (A and B the median and 99th percentile of one save in ms, R = Y / X, T the
// statements one save sends). After each N it checks that no bill id or
// number repeats and that the ledger equals the lines of the posted bills, and
// exits non-zero when not. The workers are this program again, started with
// --worker.
//
//     clerks_bench --journals [--db URL] [--clerks 1,2,4,8] [--seconds S] [--lines 10]
//
// A second mode: beside the N saving clerks, N clerks each at an open journal
// (the journal window itself, off screen, on the query dialog's default query
// of the period) that follows the others' writes as it does on a desk (the
// server's announcements, the file's change log), and one more clerk who,
// from a journal of his own, audits bills and deletes every third one by the
// journal's commands while the others save; every clerk with a login of his
// own. Each N works in a period of its own (March, April, … of 2026), so its
// journals hold its own bills only. No floor is run. For each N it prints
//
//     journals N saves/s X p50 A p99 B reloads/s Y reload-p50 C reload-p99 D
//         audits E deletes F lag-p99 G
//
// (on one line; C and D the time of one journal's reload in ms, the query,
// the load and the model's reset, not the repaint after; G in ms from the
// moment a saving clerk's editor told him the bill was saved, just after its
// commit, to the end of the first reload of a journal that showed it, over
// every journal and bill it showed). A journal longer than its follower
// reloads unasked shows a bar instead; its clerk presses the bar's 刷新 at
// once, and such reloads count too. A journal lists at most
// query::kJournalLineLimit lines: the bills past them are never shown (they
// are counted). After each N it checks that no bill id or number repeats,
// that the period holds exactly the bills saved and not deleted, that the
// audited ones are audited by the auditing clerk and the others not, that no
// line is left without its bill, that the ledger equals the lines of the
// posted bills and that every journal showed every bill that stayed within
// its limit, and exits non-zero when not.
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QUuid>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench_database.h"
#include "bench_support.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/retry.h"
#include "db/schema.h"
#include "db/server_logins.h"
#include "db/server_roles.h"
#include "db/transaction.h"
#include "editor/bill_session.h"
#include "entry/edit_mode.h"
#include "journal_clerk.h"
#include "query/result_loader.h"
#include "support/demo_login.h"

using namespace otherin;
using namespace otherin::bench;

namespace {

// The workers' connection string comes in the environment, not on the
// command line, as it carries the clerk's password.
constexpr char kWorkerDb[] = "OTHERIN_CLERK_DB";
constexpr int kBillType = 7;
constexpr int kWarehouse = 502;
constexpr int kClerksGroup = 10;  // the demo group that holds every right of the bills
const QString kDate = QStringLiteral("2026-03-15");

QString option(const QStringList& args, const char* name, const QString& fallback) {
    const qsizetype at = args.indexOf(QLatin1String(name));
    return at >= 0 && at + 1 < args.size() ? args[at + 1] : fallback;
}

void say(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

bool waitForGo() {
    char line[16];
    return std::fgets(line, sizeof line, stdin) != nullptr;
}

// ---- the clerk's save --------------------------------------------------------

// What a worker prints once its time is up: "done SAVES MS TRIPS", then
// "ids ..." and "ms ..." (one save's wall time each), and from a clerk "at
// ..." (when the editor told him each bill was saved, steadyNs()).
struct WorkerTally {
    std::vector<qint32> ids;
    std::vector<double> ms;
    std::vector<qint64> at;
    qint64 trips = 0;
    double elapsedMs = 0;

    void print() const {
        say(QStringLiteral("done %1 %2 %3").arg(ids.size()).arg(elapsedMs, 0, 'f', 3).arg(trips));
        QStringList idTexts, msTexts, atTexts;
        for (qint32 id : ids) idTexts << QString::number(id);
        for (double t : ms) msTexts << QString::number(t, 'f', 3);
        for (qint64 t : at) atTexts << QString::number(t);
        say(QStringLiteral("ids ") + idTexts.join(u' '));
        say(QStringLiteral("ms ") + msTexts.join(u' '));
        if (!at.empty()) say(QStringLiteral("at ") + atTexts.join(u' '));
    }
};

// Notes when the editor tells the clerk a bill is saved: the first thing it
// does after the commit, so the nearest a clerk's process knows of it.
class SaverPrompter : public RecordingPrompter {
  public:
    using RecordingPrompter::RecordingPrompter;
    void message(const QString& text, entry::Icon icon, const QString& title) override {
        if (text.startsWith(QStringLiteral("数据保存成功"))) savedAt = steadyNs();
        RecordingPrompter::message(text, icon, title);
    }
    qint64 savedAt = 0;
};

// A clerk at the editor, a new bill open, ready when told to go.
struct ClerkAtEditor {
    ClerkAtEditor(const QString& connectionString, qint64 userId, const QString& iniDir)
        : prompter(ctx.gConnection), settings(iniDir + QStringLiteral("/clerk.ini")) {
        otherin::testing::logInDemoAdministrator(ctx, connectionString, 1);
        ctx.gLoginUserId = QString::number(userId);
        ctx.gLoginUserName = QStringLiteral("库管员%1").arg(userId);
        ctx.IsAdmin = 0;
        ctx.gEditMode = entry::kModeNew;
        session = std::make_unique<editor::BillSession>(ctx, prompter, selectors, &settings);
    }
    // False when the editor could not be laid out or no "go" came.
    bool start() {
        if (!session->prepare()) {
            std::fprintf(stderr, "the editor's layout broke off\n");
            return false;
        }
        session->start();
        say(QStringLiteral("ready"));
        return waitForGo();
    }

    entry::LoginContext ctx;
    SaverPrompter prompter;
    entry::Selectors selectors;
    entry::SettingsStore settings;
    std::unique_ptr<editor::BillSession> session;
};

// `date`, when valid, is the bills' date instead of fillBill()'s.
int saveWorker(const QString& connectionString, qint64 userId, double seconds, int lines,
               const QDate& date) {
    QTemporaryDir dir;
    ClerkAtEditor clerk(connectionString, userId, dir.path());
    if (!clerk.start()) return 1;
    entry::LoginContext& ctx = clerk.ctx;
    SaverPrompter& prompter = clerk.prompter;
    editor::BillSession& session = *clerk.session;

    WorkerTally tally;
    const auto start = Clock::now();
    while (millisSince(start) < seconds * 1000) {
        fillBill(session, lines);
        if (date.isValid()) session.setBillDate(date);
        const qint64 trips = ctx.gConnection.roundTrips();
        const auto begin = Clock::now();
        const bool saved = session.save();
        tally.ms.push_back(millisSince(begin));
        tally.trips += ctx.gConnection.roundTrips() - trips;
        if (!saved) {
            std::fprintf(stderr, "clerk %lld: save refused: %s\n", static_cast<long long>(userId),
                         qPrintable(prompter.texts.value(prompter.texts.size() - 1)));
            return 1;
        }
        tally.ids.push_back(ctx.gCurrentInterId);
        if (date.isValid()) tally.at.push_back(prompter.savedAt);
    }
    tally.elapsedMs = millisSince(start);
    const QStringList told(static_cast<qsizetype>(tally.ids.size()),
                           QStringLiteral("数据保存成功！"));
    if (prompter.texts != told || prompter.insideTransaction != 0) {
        std::fprintf(stderr, "clerk %lld: the editor said: %s\n", static_cast<long long>(userId),
                     qPrintable(prompter.texts.join(QStringLiteral(" | "))));
        return 1;
    }
    tally.print();
    return 0;
}

// Entry as a clerk types it: each line's item code typed and the cell left,
// so the item is looked up and its name and unit filled in, then quantity and
// price typed. Nothing is saved; the bill is dropped and the next begun.
int entryWorker(const QString& connectionString, qint64 userId, double seconds, int lines) {
    QTemporaryDir dir;
    ClerkAtEditor clerk(connectionString, userId, dir.path());
    if (!clerk.start()) return 1;
    RecordingPrompter& prompter = clerk.prompter;
    editor::BillSession& session = *clerk.session;
    editor::EditorController& editor = session.controller();
    const auto type = [&](int c, int r, const QString& text, int nextColumn) {
        const editor::CellPos at = editor.state().active;
        editor::LineGrid& grid = session.form().grid;
        return editor.leaveCell(at.column, at.row, c, r) &&
               grid.setData(grid.index(r - 1, c - 1), text, Qt::EditRole) &&
               editor.leaveCell(c, r, nextColumn, r);
    };
    WorkerTally tally;
    const auto start = Clock::now();
    while (millisSince(start) < seconds * 1000) {
        editor.setChanged(false);
        session.newBill();
        const editor::ColumnMap& m = session.form().columns;
        const auto begin = Clock::now();
        bool typed = true;
        for (int r = 1; r <= lines && typed; ++r) {
            const Line l = lineAt(r);
            typed = type(m.itemCode, r,
                         QStringLiteral("02.%1").arg(l.item - 1120, 3, 10, QLatin1Char('0')),
                         m.quantity) &&
                    type(m.quantity, r, QString::number(l.qty), m.price) &&
                    type(m.price, r, QString::number(l.price), m.itemCode);
        }
        tally.ms.push_back(millisSince(begin));
        const editor::LineGrid& grid = session.form().grid;
        if (!typed || grid.text(m.itemName, lines).isEmpty() || !prompter.texts.isEmpty()) {
            std::fprintf(stderr, "clerk %lld: the entry was not taken: %s\n",
                         static_cast<long long>(userId),
                         qPrintable(prompter.texts.join(QStringLiteral(" | "))));
            return 1;
        }
        tally.ids.push_back(static_cast<qint32>(tally.ids.size()) + 1);
    }
    tally.elapsedMs = millisSince(start);
    tally.print();
    return 0;
}

// ---- the floor ---------------------------------------------------------------

// The same bill by hand, in one transaction: header, lines in one statement,
// the ledger in one set-based upsert in key order, and the number from the
// counter last, so the counter's row is held from there to the commit only.
// The ids are the worker's own range: a hand-written program would take them
// from a sequence, without a write. On SQLite, which has no writing subquery,
// the counter's update answers the number and a second statement writes it
// into the header; the file's write lock is held from the begin either way.
class FloorWriter {
  public:
    FloorWriter(db::Connection& c, int lines) : c_(c), lines_(lines) {
        const db::Dialect& d = c.dialect();
        QStringList rows;
        for (int r = 1; r <= lines; ++r) rows << QStringLiteral("(?,?,?,?,701,?,?,?,?,801,?)");
        linesSql_ = QStringLiteral(
                        "insert into icstockbillentry(finterid,forderid,fentryid,fitemid,funitid,"
                        "fqty,fPrice,famount,fbatchno,fstockplace,fnote) values ") +
                    rows.join(u',');
        const QString key = QStringLiteral(
            "a.fstockid1,b.fitemid,b.funitid,coalesce(b.fbatchno,''),coalesce(b.fstockplace,0)");
        ledgerSql_ =
            QStringLiteral(
                "insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,"
                "famount) select %1,%2,%3 from icstockbill as a inner join icstockbillentry as b "
                "on a.finterid=b.finterid where a.finterid=? group by %1 order by %1 "
                "on conflict(fstockid,fitemid,funitid,fbatchno,fStockPlace) do update set "
                "fqty=%4,famount=%5")
                .arg(key, d.decimal(QStringLiteral("sum(b.fqty)")),
                     d.decimal(QStringLiteral("sum(b.famount)")),
                     d.decimal(QStringLiteral("tblTimeStock.fqty+excluded.fqty")),
                     d.decimal(QStringLiteral("tblTimeStock.famount+excluded.famount")));
        for (int r = 1; r <= lines; ++r) lineValues_.push_back(lineAt(r));
    }

    void save(qint32 id) {
        db::TransactionGuard tx(c_);
        c_.exec(QStringLiteral("insert into icstockbill(finterid,fstatus,fcancellation,fstockid1,"
                               "fexplanation,fdate,fOperator,ftrantype,fyear,fperiod,frob,fbillno,"
                               "fstockposted) values(?,0,0,?,?,?,1,?,2026,3,0,'',1)"),
                {id, kWarehouse, QStringLiteral("%1 行").arg(lines_), kDate, kBillType});
        db::Query lines = c_.prepare(linesSql_);
        int r = 0;
        for (const Line& l : lineValues_) {
            ++r;
            lines.bind(id).bind(r).bind(r).bind(l.item).bind(l.qty).bind(l.price);
            lines.bind(l.amount).bind(l.batch).bind(l.note);
        }
        lines.exec();
        c_.exec(ledgerSql_, {id});
        if (c_.dialect().isServer()) {
            c_.exec(QStringLiteral(
                        "with n as (update tblMaxBillNo set fbillno=fbillno+1 where ftypeid=? "
                        "returning fbillno,fPreLetter,coalesce(flength,6) as digits) "
                        "update icstockbill set fbillno=n.fPreLetter||lpad(n.fbillno::text,"
                        "n.digits,'0') from n where finterid=?"),
                    {kBillType, id});
        } else {
            db::Query counter = c_.prepare(
                QStringLiteral("update tblMaxBillNo set fbillno=fbillno+1 where ftypeid=? "
                               "returning fbillno,fPreLetter,coalesce(flength,6)"));
            counter.bind(kBillType).exec();
            if (!counter.next()) throw db::DbError(QStringLiteral("no counter of bill type 7"));
            const QString digits = counter.value(0).toString();
            const QString number =
                counter.value(1).toString() +
                QString(std::max<qsizetype>(0, counter.value(2).toInt() - digits.size()), u'0') +
                digits;
            c_.exec(QStringLiteral("update icstockbill set fbillno=? where finterid=?"),
                    {number, id});
        }
        tx.commit();
    }

  private:
    db::Connection& c_;
    int lines_;
    QString linesSql_;
    QString ledgerSql_;
    std::vector<Line> lineValues_;
};

int floorWorker(const QString& connectionString, const QString& ownerRole, qint32 firstId,
                double seconds, int lines) {
    db::Connection c;
    c.open(connectionString);
    if (!ownerRole.isEmpty()) c.exec(QStringLiteral("set role ") + db::quotedName(c, ownerRole));
    FloorWriter writer(c, lines);
    say(QStringLiteral("ready"));
    if (!waitForGo()) return 1;
    WorkerTally tally;
    const auto start = Clock::now();
    qint32 id = firstId;
    while (millisSince(start) < seconds * 1000) {
        const qint64 trips = c.roundTrips();
        const auto begin = Clock::now();
        db::retrying(c, [&] { writer.save(id); });
        tally.ms.push_back(millisSince(begin));
        tally.trips += c.roundTrips() - trips;
        tally.ids.push_back(id++);
    }
    tally.elapsedMs = millisSince(start);
    tally.print();
    return 0;
}

int runWorker(const QStringList& args) {
    const QString connectionString = qEnvironmentVariable(kWorkerDb);
    const QString mode = option(args, "--worker", QString());
    const double seconds = option(args, "--seconds", QStringLiteral("20")).toDouble();
    const int lines = option(args, "--lines", QStringLiteral("10")).toInt();
    try {
        if (mode == QLatin1String("save"))
            return saveWorker(connectionString, option(args, "--user", {}).toLongLong(), seconds,
                              lines, QDate::fromString(option(args, "--date", {}), Qt::ISODate));
        if (mode == QLatin1String("entry"))
            return entryWorker(connectionString, option(args, "--user", {}).toLongLong(), seconds,
                               lines);
        if (mode == QLatin1String("floor"))
            return floorWorker(connectionString, option(args, "--owner", {}),
                               option(args, "--first-id", {}).toInt(), seconds, lines);
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "%s worker: %s\n", qPrintable(mode), qPrintable(e.message()));
        return 1;
    }
    std::fprintf(stderr, "unknown worker %s\n", qPrintable(mode));
    return 2;
}

// ---- the run -----------------------------------------------------------------

struct Clerk {
    qint64 userId = 0;
    QString connectionString;
};

// The clerks' logins and the roles of a server run, dropped after the run's
// database (which holds everything they own), so this is declared before it.
class ServerRolesDrop {
  public:
    ~ServerRolesDrop() {
        if (server.isEmpty()) return;
        try {
            db::Connection admin;
            admin.open(server);
            QStringList roles = logins;
            if (roles_)
                roles << roles_->admin() << roles_->clerk() << roles_->logins() << roles_->owner();
            for (const QString& role : roles)
                admin.exec(QStringLiteral("drop role if exists ") + db::quotedName(admin, role));
        } catch (const db::DbError& e) {
            std::fprintf(stderr, "could not drop the run's roles: %s\n", qPrintable(e.message()));
        }
    }
    void setRoles(const db::ServerRoles& r) { roles_ = r; }

    QString server;  // the server's admin database
    QStringList logins;

  private:
    std::optional<db::ServerRoles> roles_;
};

QString password() {
    QString text;
    for (int i = 0; i < 24; ++i) text += QChar(u'a' + QRandomGenerator::system()->bounded(26));
    return text;
}

// `count` clerks of the clerks' group of the demo data, each with a login of
// their own on a server.
std::vector<Clerk> makeClerks(db::Connection& c, const QString& connectionString, int count,
                              ServerRolesDrop& drop) {
    std::vector<Clerk> clerks;
    const bool server = c.dialect().isServer();
    std::optional<db::ServerRoles> roles;
    if (server) {
        roles = db::setUpServerRoles(
            c, QStringLiteral("otherin_cb_") + QUuid::createUuid().toString(QUuid::Id128).left(8));
        drop.setRoles(*roles);
    }
    for (int k = 1; k <= count; ++k) {
        Clerk clerk;
        const QString name = QStringLiteral("库管员%1").arg(k);
        if (server) {
            const QString login = roles->prefix + QStringLiteral("_clerk%1").arg(k);
            const QString secret = password();
            clerk.userId = db::addClerk(c, login, name, secret, false);
            drop.logins << login;
            db::ConnectionTarget target = db::parseConnectionString(connectionString);
            target.user = login;
            target.password = secret;
            clerk.connectionString = target.toConnectionString();
        } else {
            clerk.userId =
                c.scalar(QStringLiteral("select coalesce(max(fuserid),0)+1 from tblUser"))
                    .toLongLong();
            c.exec(QStringLiteral("insert into tblUser(fuserid,fnumber,fname,fIsAdmin,fUserType) "
                                  "values(?,?,?,0,1)"),
                   {clerk.userId, QStringLiteral("clerk%1").arg(k), name});
            clerk.connectionString = connectionString;
        }
        c.exec(QStringLiteral("insert into tblUserGroupRelation(fuserid,fgroupid) values(?,?)"),
               {clerk.userId, kClerksGroup});
        clerks.push_back(clerk);
    }
    return clerks;
}

struct Phase {
    std::vector<qint32> ids;
    std::vector<double> ms;
    std::vector<qint64> at;  // a clerk's: when the editor told him, by ids
    qint64 trips = 0;
    double perSecond = 0;
    bool ok = true;
};

// A worker: this program again, with the connection string (which may carry
// a password) in its environment.
std::unique_ptr<QProcess> startWorker(const QStringList& args, const QString& connectionString) {
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(kWorkerDb), connectionString);
    p->setProcessEnvironment(env);
    p->start(QCoreApplication::applicationFilePath(), args);
    return p;
}

bool saidReady(QProcess& p) {
    while (p.state() != QProcess::NotRunning && !p.canReadLine()) p.waitForReadyRead(1000);
    return QString::fromUtf8(p.readLine()).trimmed() == QLatin1String("ready");
}

void tell(QProcess& p, const char* line) {
    p.write(line);
    p.waitForBytesWritten();
}

bool endedWell(QProcess& p) {
    p.closeWriteChannel();
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Waits for a saving worker's end and adds what it printed to `phase`.
void gather(QProcess& p, Phase& phase) {
    const bool finished = endedWell(p);
    const QStringList out = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
    if (!finished || out.size() < 3 || !out[0].startsWith(QLatin1String("done "))) {
        phase.ok = false;
        return;
    }
    const QStringList done = out[0].split(u' ');
    const int saves = done.value(1).toInt();
    phase.perSecond += saves / (done.value(2).toDouble() / 1000.0);
    phase.trips += done.value(3).toLongLong();
    const QStringList ids = out[1].split(u' ', Qt::SkipEmptyParts).mid(1);
    const QStringList ms = out[2].split(u' ', Qt::SkipEmptyParts).mid(1);
    if (ids.size() != saves || ms.size() != saves) phase.ok = false;
    for (const QString& id : ids) phase.ids.push_back(id.toInt());
    for (const QString& t : ms) phase.ms.push_back(t.toDouble());
    if (out.size() > 3 && out[3].startsWith(QLatin1String("at "))) {
        const QStringList at = out[3].split(u' ', Qt::SkipEmptyParts).mid(1);
        if (at.size() != saves) phase.ok = false;
        for (const QString& t : at) phase.at.push_back(t.toLongLong());
    }
}

// Starts `n` workers of `mode`, lets them go together once all are ready, and
// gathers what they printed.
Phase runPhase(const QString& mode, int n, const std::vector<Clerk>& clerks,
               const QString& floorConnection, const QString& ownerRole, qint32 firstId,
               const QStringList& common) {
    std::vector<std::unique_ptr<QProcess>> workers;
    Phase phase;
    for (int k = 0; k < n; ++k) {
        QStringList args{QStringLiteral("--worker"), mode};
        args += common;
        if (mode != QLatin1String("floor")) {
            args << QStringLiteral("--user") << QString::number(clerks[k].userId);
            workers.push_back(startWorker(args, clerks[k].connectionString));
        } else {
            args << QStringLiteral("--first-id") << QString::number(firstId + k * 1000000);
            if (!ownerRole.isEmpty()) args << QStringLiteral("--owner") << ownerRole;
            workers.push_back(startWorker(args, floorConnection));
        }
    }
    for (auto& p : workers)
        if (!saidReady(*p)) phase.ok = false;
    for (auto& p : workers) tell(*p, "go\n");
    for (auto& p : workers) gather(*p, phase);
    if (!phase.ok) std::printf("!!! a %s worker failed\n", qPrintable(mode));
    return phase;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto at = static_cast<size_t>(std::ceil(p * static_cast<double>(v.size()))) - 1;
    return v[std::min(at, v.size() - 1)];
}

qint64 count(db::Connection& c, const QString& sql) {
    return c.scalar(sql).toLongLong();
}

// The bills the workers said they saved are all there, each once, and no
// number is carried twice or left empty.
bool checkBills(db::Connection& c, const Phase& phase, qint64 billsBefore, const char* what) {
    QSet<qint32> distinct(phase.ids.begin(), phase.ids.end());
    const qint64 bills = count(c, QStringLiteral("select count(*) from icstockbill"));
    const qint64 repeated =
        count(c, QStringLiteral("select count(*) from (select fbillno from icstockbill "
                                "group by ftrantype,fbillno having count(*)>1) as d"));
    const qint64 unnumbered =
        count(c, QStringLiteral("select count(*) from icstockbill where coalesce(fbillno,'')=''"));
    const auto saves = static_cast<qint64>(phase.ids.size());
    if (distinct.size() == saves && bills - billsBefore == saves && repeated == 0 &&
        unnumbered == 0)
        return true;
    std::printf(
        "!!! %s: %lld saves of %lld distinct ids, %lld new bills; %lld numbers repeated, %lld "
        "bills without a number\n",
        what, static_cast<long long>(saves), static_cast<long long>(distinct.size()),
        static_cast<long long>(bills - billsBefore), static_cast<long long>(repeated),
        static_cast<long long>(unnumbered));
    return false;
}

// The ledger holds exactly the sums of the lines of the posted bills.
bool checkLedger(db::Connection& c) {
    const db::Dialect& d = c.dialect();
    const QString recomputed =
        QStringLiteral(
            "select a.fstockid1,b.fitemid,b.funitid,coalesce(b.fbatchno,''),"
            "coalesce(b.fstockplace,0),%1,%2 from icstockbill as a inner join icstockbillentry "
            "as b on a.finterid=b.finterid where a.fstockposted=1 group by a.fstockid1,b.fitemid,"
            "b.funitid,coalesce(b.fbatchno,''),coalesce(b.fstockplace,0) having not (%1=0 and "
            "%2=0)")
            .arg(d.decimal(QStringLiteral("sum(b.fqty)")),
                 d.decimal(QStringLiteral("sum(b.famount)")));
    const QString ledger = QStringLiteral(
        "select fstockid,fitemid,funitid,fbatchno,fStockPlace,fqty,famount from tblTimeStock");
    const qint64 extra = count(
        c, QStringLiteral("select count(*) from (%1 except %2) as x").arg(ledger, recomputed));
    const qint64 missing = count(
        c, QStringLiteral("select count(*) from (%1 except %2) as x").arg(recomputed, ledger));
    if (extra == 0 && missing == 0) return true;
    std::printf("!!! the ledger has %lld rows the posted lines do not give, and lacks %lld\n",
                static_cast<long long>(extra), static_cast<long long>(missing));
    return false;
}

std::vector<int> clerkCounts(const QString& text) {
    std::vector<int> counts;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        bool number = false;
        const int n = part.trimmed().toInt(&number);
        if (!number || n < 1) return {};
        counts.push_back(n);
    }
    return counts;
}

// ---- the journals' mode -------------------------------------------------------

// What the journal clerks and the auditing clerk of one N did.
struct JournalsRound {
    Phase saves;
    std::vector<double> reloadMs;
    double reloadsPerSecond = 0;
    int followed = 0;   // reloads of the followers' own
    int refreshed = 0;  // reloads by the bar's 刷新
    int failed = 0;     // follower reloads that loaded nothing
    QList<qint32> audited, deleted;
    std::vector<QHash<qint32, qint64>> seen;  // each journal's: bill -> first shown
    bool ok = true;
};

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(u'\n');
}

// The words after a line's first, from the line that starts with `head`.
QStringList wordsAfter(const QStringList& lines, const QString& head) {
    for (const QString& line : lines)
        if (line == head || line.startsWith(head + u' '))
            return line.split(u' ', Qt::SkipEmptyParts).mid(1);
    return {};
}

// What the clerk was told, from his file; a clerk who left no file ended
// before he could say.
QString toldText(const QStringList& lines) {
    for (const QString& line : lines)
        if (line.startsWith(QLatin1String("told"))) return line.mid(4).trimmed();
    return QStringLiteral("(he ended without an account)");
}

void readJournal(const QString& path, bool finished, JournalsRound& round) {
    const QStringList lines = fileLines(path);
    const QStringList done = wordsAfter(lines, QStringLiteral("done"));
    if (!finished || done.size() != 5 || toldText(lines) != QString()) {
        std::printf("!!! a journal clerk failed; he was told: %s\n", qPrintable(toldText(lines)));
        round.ok = false;
        if (done.size() != 5) return;
    }
    round.followed += done[1].toInt();
    round.refreshed += done[2].toInt();
    round.failed += done[3].toInt();
    const double runMs = done[4].toDouble();
    if (runMs > 0) round.reloadsPerSecond += done[0].toInt() / (runMs / 1000.0);
    for (const QString& t : wordsAfter(lines, QStringLiteral("ms")))
        round.reloadMs.push_back(t.toDouble());
    QHash<qint32, qint64> seen;
    for (const QString& pair : wordsAfter(lines, QStringLiteral("seen"))) {
        const qsizetype colon = pair.indexOf(u':');
        seen.insert(pair.left(colon).toInt(), pair.mid(colon + 1).toLongLong());
    }
    round.seen.push_back(seen);
}

void readAuditor(const QString& path, bool finished, JournalsRound& round) {
    const QStringList lines = fileLines(path);
    const QStringList done = wordsAfter(lines, QStringLiteral("done"));
    for (const QString& id : wordsAfter(lines, QStringLiteral("audited")))
        round.audited << id.toInt();
    for (const QString& id : wordsAfter(lines, QStringLiteral("deleted")))
        round.deleted << id.toInt();
    if (finished && done.size() == 2 && done[0].toInt() == round.audited.size() &&
        done[1].toInt() == round.deleted.size())
        return;
    std::printf("!!! the auditing clerk failed; the last he was told: %s\n",
                qPrintable(toldText(lines).section(u'|', -1)));
    round.ok = false;
}

// N saving clerks, N journal clerks and the auditing clerk, the bills dated
// in `period` of 2026, each clerk on his own login: clerks [0, N) save,
// [most, most + N) watch journals, `auditor` audits and deletes.
JournalsRound runJournals(int n, const std::vector<Clerk>& clerks, int most, int period,
                          const QStringList& common, const QString& dir) {
    JournalsRound round;
    const QString date = QDate(2026, period, 15).toString(Qt::ISODate);
    const auto clerkArgs = [&](const char* mode, const Clerk& clerk) {
        QStringList args{QStringLiteral("--worker"), QLatin1String(mode), QStringLiteral("--user"),
                         QString::number(clerk.userId)};
        return args + common;
    };
    const auto outFile = [&](const QString& name) {
        return QStringLiteral("%1/%2-%3.txt").arg(dir, name).arg(n);
    };
    std::vector<std::unique_ptr<QProcess>> journals, savers;
    for (int k = 0; k < n; ++k) {
        const Clerk& clerk = clerks[static_cast<size_t>(most + k)];
        journals.push_back(startWorker(clerkArgs("journal", clerk)
                                           << QStringLiteral("--period") << QString::number(period)
                                           << QStringLiteral("--out")
                                           << outFile(QStringLiteral("journal%1").arg(k)),
                                       clerk.connectionString));
    }
    const Clerk& auditing = clerks[static_cast<size_t>(2 * most)];
    std::unique_ptr<QProcess> auditor =
        startWorker(clerkArgs("auditor", auditing)
                        << QStringLiteral("--period") << QString::number(period)
                        << QStringLiteral("--out") << outFile(QStringLiteral("auditor")),
                    auditing.connectionString);
    for (int k = 0; k < n; ++k)
        savers.push_back(startWorker(clerkArgs("save", clerks[static_cast<size_t>(k)])
                                         << QStringLiteral("--date") << date,
                                     clerks[static_cast<size_t>(k)].connectionString));

    std::vector<QProcess*> everyone;
    for (auto& p : journals) everyone.push_back(p.get());
    everyone.push_back(auditor.get());
    for (auto& p : savers) everyone.push_back(p.get());
    for (QProcess* p : everyone)
        if (!saidReady(*p)) round.ok = false;
    for (QProcess* p : everyone) tell(*p, "go\n");

    for (auto& p : savers) gather(*p, round.saves);
    if (!round.saves.ok) {
        std::printf("!!! a saving clerk failed\n");
        round.ok = false;
    }
    readAuditor(outFile(QStringLiteral("auditor")), endedWell(*auditor), round);
    // Every write of the round is committed: the journals catch up and end.
    for (auto& p : journals) tell(*p, "stop\n");
    for (int k = 0; k < n; ++k)
        readJournal(outFile(QStringLiteral("journal%1").arg(k)),
                    endedWell(*journals[static_cast<size_t>(k)]), round);
    return round;
}

// The period's bills, read by one statement: id -> (status, checker).
QHash<qint32, std::pair<int, qint64>> periodBills(db::Connection& c, int period) {
    QHash<qint32, std::pair<int, qint64>> bills;  // id -> (status, checker)
    db::Query q =
        c.prepare(QStringLiteral("select finterid,coalesce(fstatus,0),coalesce(fchecker,0) from "
                                 "icstockbill where fyear=? and fperiod=?"));
    q.bind(2026).bind(period).exec();
    while (q.next())
        bills.insert(q.value(0).toInt(), {q.value(1).toInt(), q.value(2).toLongLong()});
    return bills;
}

// The bills that stayed, by id: those a journal can show, in its order (by id
// here), up to its limit of lines; a journal shows no more, and tells its
// clerk to narrow the query.
std::vector<qint32> showable(const JournalsRound& round, int lines) {
    const QSet<qint32> deleted(round.deleted.begin(), round.deleted.end());
    std::vector<qint32> stayed;
    for (const qint32 id : round.saves.ids)
        if (!deleted.contains(id)) stayed.push_back(id);
    std::sort(stayed.begin(), stayed.end());
    stayed.resize(std::min(stayed.size(), static_cast<size_t>(query::kJournalLineLimit / lines)));
    return stayed;
}

// The period holds exactly the bills saved and not deleted, the audited ones
// audited by the auditing clerk and the others not; no bill id or number
// repeats, no line is left without its bill, and every journal showed every
// bill that stayed, as far as its limit of lines goes.
bool checkJournalsRound(db::Connection& c, const JournalsRound& round, int period, qint64 auditorId,
                        int lines) {
    bool right = true;
    const auto fault = [&right](const QString& text) {
        std::printf("!!! %s\n", qPrintable(text));
        right = false;
    };
    const std::vector<qint32>& ids = round.saves.ids;
    const QSet<qint32> saved(ids.begin(), ids.end());
    const QSet<qint32> audited(round.audited.begin(), round.audited.end());
    const QSet<qint32> deleted(round.deleted.begin(), round.deleted.end());
    if (saved.size() != static_cast<qsizetype>(ids.size()))
        fault(QStringLiteral("%1 saves of %2 distinct ids").arg(ids.size()).arg(saved.size()));
    if (!saved.contains(audited) || !saved.contains(deleted) || audited.intersects(deleted) ||
        audited.size() != round.audited.size() || deleted.size() != round.deleted.size())
        fault(QStringLiteral("the auditing clerk handled bills not saved, or one twice"));

    const QHash<qint32, std::pair<int, qint64>> bills = periodBills(c, period);
    int missing = 0, unexpected = 0, leftDeleted = 0, wrongAudit = 0, wrongOpen = 0;
    for (const qint32 id : saved) {
        const auto it = bills.constFind(id);
        if (deleted.contains(id)) {
            if (it != bills.cend()) ++leftDeleted;
        } else if (it == bills.cend()) {
            ++missing;
        } else if (audited.contains(id)) {
            if (it->first != 1 || it->second != auditorId) ++wrongAudit;
        } else if (it->first != 0 || it->second != 0) {
            ++wrongOpen;
        }
    }
    for (auto it = bills.cbegin(); it != bills.cend(); ++it)
        if (!saved.contains(it.key())) ++unexpected;
    if (missing + unexpected + leftDeleted + wrongAudit + wrongOpen > 0)
        fault(QStringLiteral("the period lacks %1 saved bills and has %2 it should not; %3 "
                             "deleted bills are still there; %4 audited bills are not audited "
                             "by the auditing clerk, %5 others are")
                  .arg(missing)
                  .arg(unexpected)
                  .arg(leftDeleted)
                  .arg(wrongAudit)
                  .arg(wrongOpen));

    const qint64 repeated =
        count(c, QStringLiteral("select count(*) from (select fbillno from icstockbill "
                                "group by ftrantype,fbillno having count(*)>1) as d"));
    const qint64 unnumbered =
        count(c, QStringLiteral("select count(*) from icstockbill where coalesce(fbillno,'')=''"));
    const qint64 orphans = count(
        c, QStringLiteral("select count(*) from icstockbillentry as e where not exists (select "
                          "1 from icstockbill as b where b.finterid=e.finterid)"));
    if (repeated + unnumbered + orphans > 0)
        fault(QStringLiteral("%1 numbers repeated, %2 bills without a number, %3 lines without "
                             "their bill")
                  .arg(repeated)
                  .arg(unnumbered)
                  .arg(orphans));

    const std::vector<qint32> shown = showable(round, lines);
    for (size_t j = 0; j < round.seen.size(); ++j) {
        int unseen = 0;
        for (const qint32 id : shown)
            if (!round.seen[j].contains(id)) ++unseen;
        if (unseen > 0)
            fault(QStringLiteral("journal %1 never showed %2 bills").arg(j).arg(unseen));
    }
    if (round.failed > 0)
        fault(QStringLiteral("%1 reloads of the followers loaded nothing").arg(round.failed));
    return checkLedger(c) && right;
}

// The time from a saving clerk's "saved" to a journal's first showing of the
// bill, over every journal and every bill it showed that was within its
// limit of lines from its save on: one among the first ids of all saved. (A
// later one comes into the list when the auditing clerk deletes bills before
// it, long after its save, and says nothing of how soon a journal follows.)
std::vector<double> lags(const JournalsRound& round, int lines) {
    std::vector<qint32> ids = round.saves.ids;
    std::sort(ids.begin(), ids.end());
    ids.resize(std::min(ids.size(), static_cast<size_t>(query::kJournalLineLimit / lines)));
    const QSet<qint32> within(ids.begin(), ids.end());
    QHash<qint32, qint64> savedAt;
    for (size_t i = 0; i < round.saves.ids.size() && i < round.saves.at.size(); ++i)
        if (within.contains(round.saves.ids[i]))
            savedAt.insert(round.saves.ids[i], round.saves.at[i]);
    std::vector<double> lag;
    for (const QHash<qint32, qint64>& seen : round.seen)
        for (auto it = seen.cbegin(); it != seen.cend(); ++it)
            if (const auto at = savedAt.constFind(it.key()); at != savedAt.cend())
                lag.push_back(static_cast<double>(it.value() - *at) / 1e6);
    return lag;
}

int runJournalsMode(db::Connection& c, const std::vector<int>& counts,
                    const std::vector<Clerk>& clerks, int most, int lines,
                    const QStringList& common) {
    QTemporaryDir dir;
    bool ok = true;
    QStringList results;
    for (size_t i = 0; i < counts.size(); ++i) {
        const int n = counts[i];
        const int period = 3 + static_cast<int>(i);
        const JournalsRound round = runJournals(n, clerks, most, period, common, dir.path());
        const bool right =
            checkJournalsRound(c, round, period, clerks[static_cast<size_t>(2 * most)].userId,
                               lines) &&
            round.ok;
        const auto stayed = static_cast<qsizetype>(round.saves.ids.size()) - round.deleted.size();
        const qsizetype beyond =
            std::max<qsizetype>(0, stayed - static_cast<qsizetype>(showable(round, lines).size()));
        ok = right && ok;
        const std::vector<double> lag = lags(round, lines);
        const QString line =
            QStringLiteral(
                "journals %1 saves/s %2 p50 %3 p99 %4 reloads/s %5 reload-p50 %6 reload-p99 %7 "
                "audits %8 deletes %9 lag-p99 %10")
                .arg(n)
                .arg(round.saves.perSecond, 0, 'f', 1)
                .arg(percentile(round.saves.ms, 0.5), 0, 'f', 2)
                .arg(percentile(round.saves.ms, 0.99), 0, 'f', 2)
                .arg(round.reloadsPerSecond, 0, 'f', 2)
                .arg(percentile(round.reloadMs, 0.5), 0, 'f', 1)
                .arg(percentile(round.reloadMs, 0.99), 0, 'f', 1)
                .arg(round.audited.size())
                .arg(round.deleted.size())
                .arg(percentile(lag, 0.99), 0, 'f', 0);
        std::printf(
            "  %d journals (2026/%d): %zu saves, %zu reloads (%d followed, %d by the bar's "
            "刷新), longest reload %.1f ms, lag p50 %.0f ms max %.0f ms over %zu showings; %lld "
            "bills beyond the journal's %d lines%s\n",
            n, period, round.saves.ids.size(), round.reloadMs.size(), round.followed,
            round.refreshed, percentile(round.reloadMs, 1.0), percentile(lag, 0.5),
            percentile(lag, 1.0), lag.size(), static_cast<long long>(beyond),
            query::kJournalLineLimit, right ? "" : "  !!! CHECK FAILED");
        std::fflush(stdout);
        results << line;
    }
    for (const QString& line : results) std::printf("%s\n", qPrintable(line));
    return ok ? 0 : 1;
}

int run(const QStringList& args) {
    const bool journals = args.contains(QStringLiteral("--journals"));
    const std::vector<int> counts = clerkCounts(option(
        args, "--clerks", journals ? QStringLiteral("1,2,4,8") : QStringLiteral("1,2,4,8,16")));
    const double seconds = option(args, "--seconds", QStringLiteral("20")).toDouble();
    const int lines = option(args, "--lines", QStringLiteral("10")).toInt();
    // The journals' mode gives each N a period of its own, March to December.
    if (counts.empty() || seconds <= 0 || lines < 1 || lines > 500 ||
        (journals && counts.size() > 10)) {
        std::fprintf(stderr,
                     "usage: clerks_bench [--db URL] [--clerks 1,2,4,8,16] [--seconds S] "
                     "[--lines 10]\n"
                     "       clerks_bench --journals [--db URL] [--clerks 1,2,4,8] (at most ten "
                     "counts) [--seconds S] [--lines 10]\n");
        return 2;
    }

    ServerRolesDrop drop;
    const BenchDatabase database(QStringLiteral("clerks"), args);
    db::Connection c;
    c.open(database.connectionString());
    db::schema::ensureSchema(c);
    db::schema::installDemoData(c, otherin::testing::kDemoToday);
    std::printf("clerks_bench%s on %s, %g s per run, bills of %d lines\n",
                journals ? " --journals" : "", qPrintable(database.backend()), seconds, lines);
    QString ownerRole;
    if (database.onServer()) {
        db::ConnectionTarget admin = db::parseConnectionString(database.connectionString());
        admin.database = QStringLiteral("postgres");
        drop.server = admin.toConnectionString();
        std::printf(
            "server settings: fsync %s, synchronous_commit %s\n",
            qPrintable(c.scalar(QStringLiteral("select current_setting('fsync')")).toString()),
            qPrintable(c.scalar(QStringLiteral("select current_setting('synchronous_commit')"))
                           .toString()));
    } else {
        std::printf(
            "file settings: journal_mode %s, synchronous %s (of the bench's own "
            "connection)\n",
            qPrintable(c.scalar(QStringLiteral("pragma journal_mode")).toString()),
            qPrintable(c.scalar(QStringLiteral("pragma synchronous")).toString()));
    }
    const int most = *std::max_element(counts.begin(), counts.end());
    // In the journals' mode as many clerks again at the journals, and the
    // auditing clerk.
    const std::vector<Clerk> clerks =
        makeClerks(c, database.connectionString(), journals ? 2 * most + 1 : most, drop);
    if (const auto roles = db::serverRoles(c)) ownerRole = roles->owner();
    if (!checkLedger(c)) return 1;

    const QStringList common{QStringLiteral("--seconds"), QString::number(seconds),
                             QStringLiteral("--lines"), QString::number(lines)};
    if (journals) return runJournalsMode(c, counts, clerks, most, lines, common);
    bool ok = true;
    qint32 floorIds = 100000000;  // far above the ids the counter issues
    QStringList results;
    for (const int n : counts) {
        qint64 before = count(c, QStringLiteral("select count(*) from icstockbill"));
        const Phase saves = runPhase(QStringLiteral("save"), n, clerks, {}, {}, 0, common);
        bool right = saves.ok && checkBills(c, saves, before, "clerks' saves") && checkLedger(c);

        before = count(c, QStringLiteral("select count(*) from icstockbill"));
        const Phase floor = runPhase(QStringLiteral("floor"), n, clerks,
                                     database.connectionString(), ownerRole, floorIds, common);
        floorIds += 64 * 1000000;
        right = floor.ok && checkBills(c, floor, before, "floor") && checkLedger(c) && right;
        ok = right && ok;

        const double perSave = saves.ids.empty() ? 0 : double(saves.trips) / saves.ids.size();
        const QString line =
            QStringLiteral("clerks %1 saves/s %2 p50 %3 p99 %4 floor/s %5 ratio %6 round-trips %7")
                .arg(n)
                .arg(saves.perSecond, 0, 'f', 1)
                .arg(percentile(saves.ms, 0.5), 0, 'f', 2)
                .arg(percentile(saves.ms, 0.99), 0, 'f', 2)
                .arg(floor.perSecond, 0, 'f', 1)
                .arg(saves.perSecond > 0 ? floor.perSecond / saves.perSecond : 0.0, 0, 'f', 2)
                .arg(perSave, 0, 'f', 1);
        std::printf(
            "  %d clerks: %zu saves, %zu floor bills (floor p50 %.2f ms, %.1f statements a "
            "bill), longest save %.2f ms%s\n",
            n, saves.ids.size(), floor.ids.size(), percentile(floor.ms, 0.5),
            floor.ids.empty() ? 0.0 : double(floor.trips) / floor.ids.size(),
            percentile(saves.ms, 1.0), right ? "" : "  !!! CHECK FAILED");
        std::fflush(stdout);
        results << line;

        // Entry with its look-ups, on a line of its own: as many clerks
        // typing bills (the same lines, by item code) without saving them.
        const Phase entries = runPhase(QStringLiteral("entry"), n, clerks, {}, {}, 0, common);
        ok = entries.ok && ok;
        results << QStringLiteral("entry %1 bills/s %2 p50 %3 p99 %4 look-ups a bill %5")
                       .arg(n)
                       .arg(entries.perSecond, 0, 'f', 1)
                       .arg(percentile(entries.ms, 0.5), 0, 'f', 2)
                       .arg(percentile(entries.ms, 0.99), 0, 'f', 2)
                       .arg(lines);
    }
    // Each worker saved as a clerk of its own: on a server the writer is
    // taken from the login by the database itself.
    const qint64 writers = count(
        c, QStringLiteral("select count(distinct fmodifierid) from icstockbill where finterid<%1")
               .arg(100000000));
    if (writers != *std::max_element(counts.begin(), counts.end())) {
        std::printf("!!! the clerks' bills name %lld writers\n", static_cast<long long>(writers));
        ok = false;
    }
    for (const QString& line : results) std::printf("%s\n", qPrintable(line));
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // The clerks at a journal show its window (off screen): their process
    // needs the widgets' application, made by runJournalClerk().
    QStringList words;
    for (int i = 0; i < argc; ++i) words << QString::fromLocal8Bit(argv[i]);
    const QString worker = option(words, "--worker", {});
    if (worker == QLatin1String("journal") || worker == QLatin1String("auditor")) {
        JournalClerkRun clerk;
        clerk.connectionString = qEnvironmentVariable(kWorkerDb);
        clerk.userId = option(words, "--user", {}).toLongLong();
        clerk.period = option(words, "--period", QStringLiteral("3")).toInt();
        clerk.audits = worker == QLatin1String("auditor");
        clerk.seconds = option(words, "--seconds", QStringLiteral("20")).toDouble();
        clerk.outFile = option(words, "--out", {});
        try {
            return runJournalClerk(argc, argv, clerk);
        } catch (const db::DbError& e) {
            std::fprintf(stderr, "%s clerk: %s\n", qPrintable(worker), qPrintable(e.message()));
            return 1;
        }
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--worker"))) return runWorker(args);
    try {
        return run(args);
    } catch (const db::DbError& e) {
        std::printf("!!! database error: %s\n", qPrintable(e.message()));
        return 2;
    }
}
