#include "scenario.h"

#include <gtest/gtest.h>
#include <QRegularExpression>
#include <memory>
#include <vector>

#include "bill/bill_operations.h"
#include "bill/embedded_procedures.h"
#include "bill/relation_operations.h"
#include "bill/split_save.h"
#include "db/db_error.h"
#include "db/procedures.h"
#include "entry/login_context.h"
#include "support/qstring_print.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

namespace otherin::testing {

namespace {

using entry::Icon;

// Also records the buttons each question offered.
class Prompter : public ScriptedPrompter {
  public:
    entry::Answer question(const QString& text, entry::Buttons buttons, Icon icon,
                           const QString& title) override {
        buttons_.push_back(buttons);
        return ScriptedPrompter::question(text, buttons, icon, title);
    }
    std::vector<entry::Buttons> buttons_;
};

QString num(const QVariant& v) {
    return QString::number(v.toDouble(), 'g', 12);
}

QStringList rows(TestDatabase& db, const QString& sql) {
    QStringList out;
    db::Query q = db.connection().prepare(sql);
    q.exec();
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < q.record().count(); ++i) cells << q.value(i).toString();
        out << cells.join('|');
    }
    return out;
}

void seedBill(TestDatabase& db, const QString& text) {
    QStringList tokens = text.split(' ', Qt::SkipEmptyParts);
    static const QRegularExpression head(QStringLiteral("^(\\d+)([A-Z0-9]*)$"));
    const auto m = head.match(tokens.takeFirst());
    ASSERT_TRUE(m.hasMatch()) << text.toStdString();
    const int id = m.captured(1).toInt();
    const QString flags = m.captured(2);
    const auto has = [&](char f) { return flags.contains(QLatin1Char(f)); };
    const auto link = [&](char f) {
        const auto l = QRegularExpression(QStringLiteral("%1(\\d+)").arg(f)).match(flags);
        return l.hasMatch() ? l.captured(1).toInt() : 0;
    };
    const char* date = has('O') ? "2026-11-30" : has('F') ? "2026-12-01" : "2026-12-05";
    db.exec(QStringLiteral(
                "insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,"
                "fcancellation,fposted,frob,fOperator,frscinterid,fhxid,fhookinterid,"
                "fchecker,fstockid1,fexplanation,fyear,fperiod) values(?,?,?,7,?,?,?,?,?,?,?,?,?,1,"
                "'来料',2026,12)"),
            {id, QStringLiteral("QT%1").arg(id, 2, 10, QLatin1Char('0')), QLatin1String(date),
             int(has('A')), int(has('V')), int(has('P')), int(has('R')), link('U') ? link('U') : 2,
             link('S'), link('H'), link('K'), has('A') ? 5 : 0});
    static const QRegularExpression line(
        QStringLiteral("^(\\d+)\\*(-?[\\d.]+)(?:@([\\d.]+))?(?:=(-?[\\d.]+))?$"));
    for (int entry = 1; entry <= tokens.size(); ++entry) {
        const auto l = line.match(tokens[entry - 1]);
        ASSERT_TRUE(l.hasMatch()) << tokens[entry - 1].toStdString();
        const double qty = l.captured(2).toDouble();
        const double price = l.captured(3).isEmpty() ? 2 : l.captured(3).toDouble();
        const double amount = l.captured(4).isEmpty() ? qty * price : l.captured(4).toDouble();
        db.exec(QStringLiteral("insert into icstockbillentry(finterid,fentryid,forderid,fitemid,"
                               "funitid,fqty,fPrice,famount,fbatchno,fnote,fsrcentryid) "
                               "values(?,?,?,?,1,?,?,?,'B1','备注',?)"),
                {id, entry, entry, l.captured(1).toInt(), qty, price, amount, entry});
    }
}

}  // namespace

void seedScenario(TestDatabase& db, const Scenario& s) {
    db.execAll(
        {QStringLiteral("insert into tblMaxBillNo(ftypeid,fbillno,fPreLetter,flength) "
                        "values(7,11,'QTRK',6)"),
         QStringLiteral("insert into tblmaxNum(ftablename,fmaxnum) values('ICStockBill',20)"),
         QStringLiteral("insert into icitem(fitemid,fNumber) values(101,'01.001')")});
    for (const QString& bill : QString::fromUtf8(s.bills).split(';', Qt::SkipEmptyParts))
        seedBill(db, bill);
    for (const QString& row : QString::fromUtf8(s.ledger).split(' ', Qt::SkipEmptyParts)) {
        const QStringList p = row.split(QRegularExpression(QStringLiteral("[:=]")));
        db.exec(
            QStringLiteral("insert into tblTimeStock(fstockid,fitemid,funitid,fbatchno,"
                           "fStockPlace,fqty,famount) values(1,?,1,'B1',0,?,?)"),
            {p[0].toInt(), p[1].toDouble(), p.size() > 2 ? p[2].toDouble() : p[1].toDouble() * 2});
    }
    if (QString::fromUtf8(s.mode).contains(QStringLiteral("freed")))
        db.exec(QStringLiteral("insert into tblBillNoAdd values(4,7,'QTRK000003')"));
    if (QString::fromUtf8(s.mode).contains(QStringLiteral("protect")))
        db.refuseWrites(QStringLiteral("icstockbillentry"), QStringLiteral("delete"),
                        QStringLiteral("lines are protected"));
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

namespace {

// The bills as the seed notation writes them: flags alone, and with lines.
struct Bills {
    QList<int> ids;
    QStringList flags;
    QString full;
    QMap<int, QString> lines;
};

Bills readBills(TestDatabase& db) {
    Bills out;
    QStringList full;
    for (const QString& r :
         rows(db,
              QStringLiteral(
                  "select finterid,fbillno,coalesce(fstatus,0),coalesce(fcancellation,0),"
                  "coalesce(fposted,0),coalesce(frob,0),coalesce(frscinterid,0),coalesce(fhxid,0),"
                  "coalesce(fhookinterid,0),coalesce(fchecker,0) from icstockbill order by "
                  "finterid"))) {
        const QStringList c = r.split('|');
        const bool audited = c[2] == "1";
        const auto on = [&](int i) { return c[i] == "1" || c[i] == "true"; };
        QString token = c[0] + (audited ? "A" : "") + (on(3) ? "V" : "") + (on(4) ? "P" : "") +
                        (on(5) ? "R" : "");
        for (const auto& [letter, i] : {std::pair{'S', 6}, {'H', 7}, {'K', 8}})
            if (c[i] != "0") token += QLatin1Char(letter) + c[i];
        if (c[9] != (audited ? "5" : "0")) token += "C" + c[9];
        if (c[1] != QStringLiteral("QT%1").arg(c[0].toInt(), 2, 10, QLatin1Char('0')))
            token += "#" + c[1];
        QString lines;
        for (const QString& l : rows(db, QStringLiteral("select fitemid,fqty,famount from "
                                                        "icstockbillentry where finterid=%1 "
                                                        "order by fentryid")
                                             .arg(c[0].toInt()))) {
            const QStringList v = l.split('|');
            lines += " " + v[0] + "*" + num(v[1]) + "=" + num(v[2]);
        }
        out.ids << c[0].toInt();
        out.lines.insert(c[0].toInt(), lines);
        out.flags << token;
        full << token + lines;
    }
    out.full = full.join("; ");
    return out;
}

QString readLedger(TestDatabase& db) {
    QStringList out;
    for (const QString& r : rows(db, QStringLiteral("select fitemid,fqty,famount from "
                                                    "tblTimeStock order by fitemid,fbatchno"))) {
        const QStringList c = r.split('|');
        out << c[0] + ":" + num(c[1]) + "=" + num(c[2]);
    }
    return out.join(' ');
}

QString readFreed(TestDatabase& db) {
    return rows(db, QStringLiteral("select finterid,fbillnumber,ftypeid from tblBillNoAdd "
                                   "order by finterid"))
        .join(' ')
        .replace(QStringLiteral("|7"), QString())
        .replace('|', ':');
}

// A split bill carries its source's header and the item, price and note of the
// source line it names.
void expectSplitsCopySources(TestDatabase& db) {
    QStringList same;
    for (const char* column : {"fdate", "fexplanation", "fstockid1", "fchecker", "frob"})
        same << QStringLiteral("o.%1=s.%1").arg(QLatin1String(column));
    EXPECT_EQ(rows(db, QStringLiteral("select s.finterid from icstockbill s where frscinterid<>0 "
                                      "and (fyear<>2026 or fperiod<>12 or not exists (select 1 "
                                      "from icstockbill o where o.finterid=s.frscinterid and %1))")
                           .arg(same.join(" and "))),
              QStringList());
    EXPECT_EQ(rows(db, QStringLiteral(
                           "select s.finterid,s.fentryid from icstockbillentry s inner join "
                           "icstockbill b on b.finterid=s.finterid and b.frscinterid<>0 where "
                           "not exists (select 1 from icstockbillentry o where o.finterid="
                           "b.frscinterid and o.fentryid=s.fsrcentryid and o.fitemid=s.fitemid "
                           "and o.fPrice=s.fPrice and o.fnote=s.fnote)")),
              QStringList());
}

bool runOp(const Scenario& s, entry::LoginContext& ctx, Prompter& prompter, TestDatabase& db,
           QString& told) {
    const QString arg = QString::fromUtf8(s.arg);
    const QString id = arg.section(':', 0, 0);
    const QStringList cuts = arg.section(':', 1).split(',');
    ctx.gIdList = arg;
    ctx.gCurrentInterId = id.toInt();
    switch (s.op) {
        case Op::Audit:
            return bill::checkBill(ctx, prompter, arg);
        case Op::UnAudit:
            return bill::unCheckBill(ctx, prompter);
        case Op::Void:
            return bill::cancelBill(ctx, prompter);
        case Op::UnVoid:
            return bill::unCancelBill(ctx, prompter);
        case Op::Delete:
            return bill::deleteBill(ctx, prompter);
        case Op::SplitCheck:
            return bill::splitCheck(ctx, prompter);
        case Op::SplitSave:
            return bill::splitSave(ctx, prompter, cuts);
        case Op::Restore:
            return bill::restoreBill(ctx, prompter, id.toInt());
        case Op::WriteOff:
            return bill::hxBill(ctx, prompter);
        case Op::UnWriteOff:
            return bill::unHxBill(ctx, prompter, id.toInt());
        default:
            break;
    }
    static const QMap<Op, std::pair<const char*, const char*>> procs = {
        {Op::ProcSplit, {"sp_QV_splitSave", "finterid"}},
        {Op::ProcRestore, {"sp_QV_restoreBill", "finterid"}},
        {Op::ProcWriteOff, {"sp_QV_hxBill", "finterids"}},
        {Op::ProcUnWriteOff, {"sp_QV_unhxBill", "finterid"}}};
    db::ProcedureParams p;
    p.in(QLatin1String(procs[s.op].second),
         s.op == Op::ProcUnWriteOff ? QVariant(id.toLongLong()) : QVariant(id))
        .in(QStringLiteral("fyear"), qint64{2026})
        .in(QStringLiteral("fperiod"), qint64{12})
        .out(QStringLiteral("strInfo"), QString())
        .out(QStringLiteral("intValue"), qint64{-1});
    if (s.op == Op::ProcSplit) p.in(QStringLiteral("strvalue"), arg.section(':', 1));
    try {
        db.connection().call(QLatin1String(procs[s.op].first), p);
    } catch (const db::DbError& e) {
        told = e.message();
        return false;
    }
    told = p.value(QStringLiteral("strInfo")).toString();
    const int answer = p.value(QStringLiteral("intValue")).toInt();
    EXPECT_TRUE(answer == 0 || answer == 1) << answer;
    return answer == 1;
}

}  // namespace

void runScenarios(std::span<const Scenario> rowsToRun) {
    std::unique_ptr<TestDatabase> db;
    int n = 0;
    for (const Scenario& s : rowsToRun) {
        SCOPED_TRACE(
            QStringLiteral("row %1: %2").arg(++n).arg(QString::fromUtf8(s.arg)).toStdString());
        if (s.bills) {
            db = std::make_unique<TestDatabase>();
            seedScenario(*db, s);
            bill::registerEmbeddedProcedures(db->connection());
        }
        ASSERT_TRUE(db) << "the first row seeds the database";
        const QString mode = QString::fromUtf8(s.mode);
        entry::LoginContext ctx;
        logIn(ctx, *db, QStringLiteral("2"));
        if (mode.contains("start10")) ctx.gPeriodStartDate = QStringLiteral("2026-12-10");
        ctx.gIsCheckUpdate = s.posting;
        ctx.gUpdateSingleBill = mode.contains("own") ? 1 : 0;
        ctx.IsAdmin = mode.contains("admin") ? 1 : 0;
        ctx.gIsCloseStock = mode.contains("closed") ? 1 : 0;
        Prompter prompter;
        prompter.watch(ctx.gConnection);
        prompter.expectQuestion(entry::Answer::Ok);
        const Bills before = readBills(*db);
        const QString ledger = readLedger(*db);
        const QString freed = readFreed(*db);

        QString told;
        EXPECT_EQ(runOp(s, ctx, prompter, *db, told), s.answer);
        const bool proc = s.op >= Op::ProcSplit;
        if (proc) {
            EXPECT_EQ(told, QString::fromUtf8(s.text));
        } else if (s.asked) {
            ASSERT_EQ(prompter.questions().size(), 1u);
            EXPECT_EQ(prompter.questions()[0].text, QString::fromUtf8(s.text));
            EXPECT_EQ(prompter.buttons_.back(), entry::Buttons::OkCancel);
            EXPECT_TRUE(prompter.messages().empty());
        } else if (*s.text == 0) {
            EXPECT_TRUE(prompter.messages().empty()) << prompter.lastText().toStdString();
        } else if (mode.contains("protect")) {
            ASSERT_EQ(prompter.messages().size(), 1u);
            EXPECT_TRUE(prompter.lastText().contains(QString::fromUtf8(s.text)));
            EXPECT_EQ(prompter.messages()[0].icon, s.icon);
        } else {
            EXPECT_TRUE(prompter.onlyMessage(QString::fromUtf8(s.text), s.icon, ctx.msgTitle));
        }
        if (!s.asked && !proc) {
            EXPECT_TRUE(prompter.questions().empty());
        }
        // Only a split check that lets the editor go on keeps the connection.
        EXPECT_EQ(ctx.gConnection.isOpen(), s.op == Op::SplitCheck && s.answer);
        EXPECT_EQ(ctx.gConnection.transactionDepth(), 0);

        // A bill written with lines is compared whole; one written without keeps
        // the lines it had.
        const Bills now = readBills(*db);
        const QStringList wanted =
            QString::fromUtf8(s.after ? s.after : "").split("; ", Qt::SkipEmptyParts);
        QStringList seen;
        for (qsizetype i = 0; i < now.flags.size(); ++i) {
            const int id = now.ids[i];
            const bool whole = !s.after || (i < wanted.size() && wanted[i].contains('*'));
            seen << (whole ? now.flags[i] + now.lines[id] : now.flags[i]);
            if (!whole && before.lines.contains(id)) {
                EXPECT_EQ(now.lines[id], before.lines[id]) << "lines of bill " << id;
            }
        }
        EXPECT_EQ(seen.join("; "), s.after ? QString::fromUtf8(s.after) : before.full);
        EXPECT_EQ(db->scalar("select count(*) from icstockbillentry e where not exists "
                             "(select 1 from icstockbill b where b.finterid=e.finterid)")
                      .toInt(),
                  0);
        expectSplitsCopySources(*db);
        EXPECT_EQ(readLedger(*db), s.ledgerAfter ? QString::fromUtf8(s.ledgerAfter) : ledger);
        EXPECT_EQ(readFreed(*db), s.freed ? QString::fromUtf8(s.freed) : freed);
    }
}

}  // namespace otherin::testing
