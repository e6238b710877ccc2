#include "scenario.h"

#include <QCoreApplication>

#include <gtest/gtest.h>
#include <QRegularExpression>
#include <memory>

#include "bill/bill_operations.h"
#include "bill/embedded_procedures.h"
#include "bill/relation_operations.h"
#include "bill/split_save.h"
#include "db/db_error.h"
#include "db/procedures.h"
#include "support/qstring_print.h"
#include "support/scripted_prompter.h"

namespace otherin::testing {

namespace {

using Rx = QRegularExpression;

QString num(const QString& v) {
    return QString::number(v.toDouble(), 'g', 12);
}

QList<QStringList> rows(TestDatabase& db, const QString& sql) {
    QList<QStringList> out;
    db::Query q = db.connection().prepare(sql);
    q.exec();
    while (q.next()) {
        out.append(QStringList());
        for (int i = 0; i < q.record().count(); ++i) out.back() << q.value(i).toString();
    }
    return out;
}

// The rows of `sql` written with `pattern`, numbers as numbers on either database.
QString listOf(TestDatabase& db, const QString& sql, const QString& pattern,
               const char* sep = " ") {
    QStringList out;
    for (const QStringList& cells : rows(db, sql)) {
        QString row = pattern;
        for (const QString& cell : cells) {
            bool number = false;
            cell.toDouble(&number);
            row = row.arg(number ? num(cell) : cell);
        }
        out << row;
    }
    return out.join(QLatin1String(sep));
}

void seedBill(TestDatabase& db, const QString& text) {
    QStringList tokens = text.split(' ', Qt::SkipEmptyParts);
    const QString flags = tokens.takeFirst();
    const int id = flags.section(Rx("\\D"), 0, 0).toInt();
    const auto has = [&](char f) { return flags.contains(QLatin1Char(f)); };
    const auto link = [&](char f) {
        return Rx(QStringLiteral("%1(\\d+)").arg(f)).match(flags).captured(1).toInt();
    };
    const char* date = has('O') ? "2026-11-30" : has('F') ? "2026-12-01" : "2026-12-05";
    db.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,"
                           "fcancellation,fposted,frob,fOperator,frscinterid,fhxid,fhookinterid,"
                           "fchecker,fstockid1,fexplanation,fyear,fperiod) "
                           "values(?,?,?,7,?,?,?,?,?,?,?,?,?,1,'来料',2026,12)"),
            {id, QStringLiteral("QT%1").arg(id, 2, 10, QLatin1Char('0')), QLatin1String(date),
             int(has('A')), int(has('V')), int(has('P')), int(has('R')), link('U') ? link('U') : 2,
             link('S'), link('H'), link('K'), has('A') ? 5 : 0});
    static const Rx line(QStringLiteral("^(\\d+)\\*(-?[\\d.]+)(?:@([\\d.]+))?(?:=(-?[\\d.]+))?$"));
    for (int entry = 1; entry <= tokens.size(); ++entry) {
        const auto l = line.match(tokens[entry - 1]);
        ASSERT_TRUE(l.hasMatch()) << tokens[entry - 1].toStdString();
        const double qty = l.captured(2).toDouble();
        const double price = l.captured(3).isEmpty() ? 2 : l.captured(3).toDouble();
        db.exec(QStringLiteral("insert into icstockbillentry(finterid,fentryid,forderid,fitemid,"
                               "funitid,fqty,fPrice,famount,fbatchno,fnote,fsrcentryid) "
                               "values(?,?,?,?,1,?,?,?,'B1','备注',?)"),
                {id, entry, entry, l.captured(1).toInt(), qty, price,
                 l.captured(4).isEmpty() ? qty * price : l.captured(4).toDouble(), entry});
    }
}

// Each bill as the seed notation writes it: flags, and lines.
struct Bills {
    QList<int> ids;
    QStringList flags;
    QList<QString> lines;
    QString full() const {
        QStringList out;
        for (qsizetype i = 0; i < flags.size(); ++i) out << flags[i] + lines[i];
        return out.join("; ");
    }
};

Bills readBills(TestDatabase& db) {
    Bills out;
    for (const QStringList& c :
         rows(db, QStringLiteral("select finterid,fbillno,coalesce(fstatus,0),coalesce("
                                 "fcancellation,0),coalesce(fposted,0),coalesce(frob,0),coalesce("
                                 "frscinterid,0),coalesce(fhxid,0),coalesce(fhookinterid,0),"
                                 "coalesce(fchecker,0) from icstockbill order by finterid"))) {
        const auto on = [&](int i, const char* letter) {
            return c[i] == "1" || c[i] == "true" ? QString::fromLatin1(letter) : QString();
        };
        QString token = c[0] + on(2, "A") + on(3, "V") + on(4, "P") + on(5, "R");
        for (const auto& [letter, i] : {std::pair{"S", 6}, {"H", 7}, {"K", 8}})
            if (c[i] != "0") token += letter + c[i];
        if (c[9] != (c[2] == "1" ? "5" : "0")) token += "C" + c[9];
        if (c[1] != QStringLiteral("QT%1").arg(c[0].toInt(), 2, 10, QLatin1Char('0')))
            token += "#" + c[1];
        out.lines << listOf(db,
                            QStringLiteral("select fitemid,fqty,famount from icstockbillentry "
                                           "where finterid=%1 order by fentryid")
                                .arg(c[0].toInt()),
                            " %1*%2=%3", "");
        out.ids << c[0].toInt();
        out.flags << token;
    }
    return out;
}

QString readLedger(TestDatabase& db) {
    return listOf(db, "select fitemid,fqty,famount from tblTimeStock order by fitemid", "%1:%2=%3");
}

QString readFreed(TestDatabase& db) {
    return listOf(db,
                  "select finterid,fbillnumber from tblBillNoAdd where ftypeid=7 order by finterid",
                  "%1:%2");
}

// Every line belongs to a bill; a split bill carries its source's header, and
// the item, price and note of the source line it names.
void expectWholeBills(TestDatabase& db) {
    EXPECT_EQ(
        db.scalar("select (select count(*) from icstockbillentry e where not exists (select 1 "
                  "from icstockbill b where b.finterid=e.finterid)) + (select count(*) from "
                  "icstockbill s where frscinterid<>0 and (fyear<>2026 or fperiod<>12 or "
                  "not exists (select 1 from icstockbill o where o.finterid=s.frscinterid "
                  "and o.fdate=s.fdate and o.fexplanation=s.fexplanation and o.fstockid1="
                  "s.fstockid1 and o.fchecker=s.fchecker and o.frob=s.frob))) + (select "
                  "count(*) from icstockbillentry s inner join icstockbill b on b.finterid="
                  "s.finterid and b.frscinterid<>0 where not exists (select 1 from "
                  "icstockbillentry o where o.finterid=b.frscinterid and o.fentryid="
                  "s.fsrcentryid and o.fitemid=s.fitemid and o.fPrice=s.fPrice and "
                  "o.fnote=s.fnote))")
            .toInt(),
        0);
}

// Runs `op` on `arg`; answers its answer, and for a procedure what it told.
bool runOp(const QString& op, const QString& arg, entry::LoginContext& ctx,
           entry::Prompter& prompter, TestDatabase& db, QString& told) {
    const QString id = arg.section(':', 0, 0);
    ctx.gIdList = arg;
    ctx.gCurrentInterId = id.toInt();
    if (op == "audit") return bill::checkBill(ctx, prompter, arg);
    if (op == "unaudit") return bill::unCheckBill(ctx, prompter);
    if (op == "void") return bill::cancelBill(ctx, prompter);
    if (op == "unvoid") return bill::unCancelBill(ctx, prompter);
    if (op == "delete") return bill::deleteBill(ctx, prompter);
    if (op == "check") return bill::splitCheck(ctx, prompter);
    if (op == "split")
        return bill::splitSave(ctx, prompter, arg.section(':', 1).split(',')).saved();
    if (op == "restore") return bill::restoreBill(ctx, prompter, id.toInt());
    if (op == "hx") return bill::hxBill(ctx, prompter);
    if (op == "unhx") return bill::unHxBill(ctx, prompter, id.toInt());
    // The procedures themselves, as a caller outside the component reaches them.
    static const QMap<QString, QString> procedures = {{"p-split", "sp_QV_splitSave"},
                                                      {"p-restore", "sp_QV_restoreBill"},
                                                      {"p-hx", "sp_QV_hxBill"},
                                                      {"p-unhx", "sp_QV_unhxBill"}};
    EXPECT_TRUE(procedures.contains(op)) << op.toStdString();
    db::ProcedureParams p;
    p.in(op == "p-hx" ? "finterids" : "finterid", op == "p-unhx" ? QVariant(id.toLongLong()) : id)
        .in("fyear", qint64{2026})
        .in("fperiod", qint64{12})
        .out("strInfo", QString())
        .out("intValue", qint64{-1});
    if (op == "p-split") p.in("strvalue", arg.section(':', 1));
    try {
        db.connection().call(procedures.value(op), p);
    } catch (const db::DbError& e) {
        told = e.message();
        return false;
    }
    told = p.value("strInfo").toString();
    EXPECT_TRUE(p.value("intValue").toInt() == 0 || p.value("intValue").toInt() == 1);
    return p.value("intValue").toInt() == 1;
}

// Every dialogue shown: the icon's letter (`Shown::iconLetter`) or ? for an OK/Cancel
// question, then the text; a title other than the component's marks it with ~.
QString dialogues(const ScriptedPrompter& prompter, const QString& title) {
    QStringList out;
    for (const Shown& m : prompter.messages())
        out << m.iconLetter() + QLatin1String(m.title == title ? " " : "~") + m.text;
    for (const Shown& q : prompter.questions())
        out << (q.buttons == entry::Buttons::OkCancel && q.title == title ? "? " : "?~") + q.text;
    return out.join('\n');
}

}  // namespace

void seedBills(TestDatabase& db, const QString& given, const QStringList& modes) {
    db.execAll(
        {QStringLiteral("insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength) "
                        "values(7,11,'QTRK',6)"),
         QStringLiteral("insert into tblmaxNum(ftablename,fmaxnum) values('ICStockBill',20)"),
         QStringLiteral("insert into icitem(fitemid,fNumber) values(101,'01.001')")});
    for (const QString& bill : given.section(" | ", 0, 0).split("; ")) seedBill(db, bill);
    for (const QString& row : given.section(" | ", 1).split(' ', Qt::SkipEmptyParts)) {
        const QStringList p = row.split(Rx("[:=]"));
        db.exec(QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,"
                               "fStockPlace,fqty,famount) values(1,?,1,'B1',0,?,?)"),
                {p[0].toInt(), p[1].toDouble(), p.value(2, QString::number(p[1].toDouble() * 2))});
    }
    if (modes.contains("freed"))
        db.exec(QStringLiteral("insert into tblBillNoAdd values(4,7,'QTRK000003')"));
    if (modes.contains("protect"))
        db.refuseWrites("icstockbillentry", "delete", QStringLiteral("lines are protected"));
}

QString stateOf(TestDatabase& db) {
    return readBills(db).flags.join("; ") + " | " + readLedger(db);
}

void logIn(entry::LoginContext& ctx, const TestDatabase& db, const QString& user) {
    ctx.DBConnectionString = db.connectionString();
    ctx.msgTitle = QStringLiteral("标题");
    ctx.gLoginUserId = user;
    ctx.gRightPrefix = QStringLiteral("G");
    ctx.gBillTypeId = 7;
    ctx.gCurrentYear = 2026;
    ctx.gCurrentPeriod = 12;
    ctx.gPeriodStartDate = QStringLiteral("2026-12-01");
}

void runScenarios(std::span<const Scenario> scenarios) {
    std::unique_ptr<TestDatabase> db;
    QString clerkLogin;
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.run);
        const QString run = QString::fromUtf8(s.run);
        const QStringList modes = run.section(' ', 0, 0).split('/');
        if (QLatin1String(s.given) != "~") {
            db.reset();
            clerkLogin.clear();
            db = std::make_unique<TestDatabase>();
            seedBills(*db, QString::fromUtf8(s.given), modes);
            bill::registerEmbeddedProcedures(db->connection());
        }
        entry::LoginContext ctx;
        logIn(ctx, *db, QStringLiteral("2"));
        // On a server, the clerk's own login: the server's rules judge it.
        // A clerk holding the rights, on a server with a login of their own:
        // the server's rules judge it.
        if (modes.contains("clerk") && clerkLogin.isEmpty()) {
            clerkLogin = db->connectionString();
            if (TestDatabase::onServer())
                clerkLogin = db->linkClerkLogin(
                    2, QStringLiteral("sc%1_zhang").arg(QCoreApplication::applicationPid()),
                    QStringLiteral("pw"));
            else
                db->grantBillRights(2);
        }
        if (modes.contains("clerk")) ctx.DBConnectionString = clerkLogin;
        if (modes.contains("start10")) ctx.gPeriodStartDate = QStringLiteral("2026-12-10");
        ctx.gIsCheckUpdate = modes.contains("save") ? 0 : 1;
        if (QLatin1String(s.given) != "~") db->markPostedBills(ctx.gIsCheckUpdate);
        ctx.gUpdateSingleBill = modes.contains("own");
        ctx.IsAdmin = modes.contains("admin");
        ctx.gIsCloseStock = modes.contains("closed");
        ScriptedPrompter prompter;
        prompter.watch(ctx.gConnection);
        prompter.expectQuestion(entry::Answer::Ok);
        const Bills before = readBills(*db);
        const QString ledger = readLedger(*db);
        const QString freed = readFreed(*db);

        QString told;
        const bool answer = runOp(modes[0], run.section(' ', 1), ctx, prompter, *db, told);
        const QString expected = QString::fromUtf8(s.told);
        EXPECT_EQ(answer, expected.startsWith('+'));
        const QString shown = dialogues(prompter, ctx.msgTitle);
        if (!told.isNull()) {
            EXPECT_EQ(told, expected.mid(3));
        } else if (modes.contains("protect")) {
            // the database's own text, worded by each backend
            EXPECT_TRUE(shown.startsWith(expected.mid(1, 2)) &&
                        shown.endsWith(TestDatabase::refusedWrite(expected.mid(3))))
                << shown.toStdString();
        } else {
            EXPECT_EQ(shown, expected.mid(1));
        }
        // Only a split check that lets the editor go on keeps the connection.
        EXPECT_EQ(ctx.gConnection.isOpen(), modes[0] == "check" && answer);
        EXPECT_EQ(ctx.gConnection.transactionDepth(), 0);

        const QStringList after = QString::fromUtf8(s.after).split(" | ");
        const auto part = [&](int i, const QString& was) {
            const QString p = after.value(i, "~");
            return p == "~" || p.isEmpty() ? was : p == "-" ? QString() : p;
        };
        // A bill written with lines is compared whole; one written without
        // keeps the lines it had.
        const Bills now = readBills(*db);
        const QStringList wanted = part(0, before.full()).split("; ", Qt::SkipEmptyParts);
        QStringList seen;
        for (qsizetype i = 0; i < now.flags.size(); ++i) {
            const bool whole = wanted.value(i).contains('*');
            seen << now.flags[i] + (whole ? now.lines[i] : QString());
            const qsizetype was = before.ids.indexOf(now.ids[i]);
            if (!whole && was >= 0) {
                EXPECT_EQ(now.lines[i], before.lines[was]) << now.ids[i];
            }
        }
        EXPECT_EQ(seen.join("; "), wanted.join("; "));
        expectWholeBills(*db);
        EXPECT_EQ(readLedger(*db), part(1, ledger));
        EXPECT_EQ(readFreed(*db), part(2, freed));
    }
}

}  // namespace otherin::testing
