#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <memory>

#include "editor/bill_session.h"
#include "editor_fixture.h"
#include "entry/edit_mode.h"
#include "entry/startup.h"
#include "support/demo_login.h"

namespace otherin::testing {

// A clerk's bill editor session on a connection of its own, driven as the
// window drives it; the demo administrator unless another user is named.
// Grid: 1 item code, 4 unit, 5 quantity, 6 price, 7 amount, 8 batch, 10 note;
// header: 1 number, 2 date, 3 warehouse, 4 remark.
struct Clerk {
    Clerk(const TestDatabase& db, entry::SettingsStore* settings, const QString& user = {},
          const QString& name = {})
        : settings_(settings) {
        logInDemoAdministrator(ctx, db.connectionString(), 1);
        if (!user.isEmpty()) {
            ctx.gLoginUserId = user;
            ctx.gLoginUserName = name;
            ctx.IsAdmin = 0;
        }
        selectors.record = &records;
        selectors.unit = &units;
        selectors.batchPicker = &batches;
        prompter.watch(ctx.gConnection);
    }

    // A new window on the context's mode and bill, as the window opens it.
    void open(int mode = 0, qint32 billId = 0) {
        tester.reset();
        session.reset();
        ctx.gEditMode = mode;
        ctx.gCurrentInterId = billId;
        session = std::make_unique<editor::BillSession>(ctx, prompter, selectors, settings_);
        ASSERT_TRUE(session->prepare());
        tester = std::make_unique<QAbstractItemModelTester>(
            &session->form().grid, QAbstractItemModelTester::FailureReportingMode::Fatal);
        session->start();
    }

    editor::EditorController& editor() { return session->controller(); }
    editor::LineGrid& grid() { return session->form().grid; }

    bool moveTo(int c, int r) {
        const auto at = editor().state().active;
        return editor().leaveCell(at.column, at.row, c, r);
    }
    void typeCell(int c, int r, const QString& text) {
        ASSERT_TRUE(moveTo(c, r)) << c << "," << r;
        ASSERT_TRUE(grid().setData(grid().index(r - 1, c - 1), text, Qt::EditRole));
    }
    void changeCell(int c, int r, const QString& text) {
        typeCell(c, r, text);
        ASSERT_TRUE(moveTo(8, r));
    }
    // Item, quantity and price of line r; the item brings its own unit.
    void enterLine(int r, const QString& item, const QString& qty, const QString& price) {
        typeCell(1, r, item);
        typeCell(5, r, qty);
        changeCell(6, r, price);
    }
    QString shownLine(int r) { return testing::shownLine(grid(), r); }
    // Types into a header field, which keeps the focus.
    void typeIntoHeader(int index, const QString& text) {
        editor().headerFocus(index);
        editor().setHeaderText(index, text);
    }
    void setHeader(int index, const QString& text) {
        typeIntoHeader(index, text);
        ASSERT_TRUE(editor().headerValidate(index));
        editor().headerLeave(index);
    }
    // Warehouse 02 (五金仓) is the default warehouse of the 02.xxx items.
    void fillHeader(const QDate& date = QDate(2026, 3, 15)) {
        session->setBillDate(date);
        setHeader(3, QStringLiteral("02"));
    }
    QString told() { return testing::told(prompter); }

    entry::LoginContext ctx;
    ScriptedPrompter prompter;
    FakeRecordSelector records;
    FakeUnitSelector units;
    FakeBatchPicker batches;
    entry::Selectors selectors;
    std::unique_ptr<editor::BillSession> session;
    std::unique_ptr<QAbstractItemModelTester> tester;

  private:
    entry::SettingsStore* settings_;
};

struct DemoDatabase {
    TestDatabase db{TestDatabase::Seed::Demo};
    std::unique_ptr<entry::SettingsStore> settings = db.settings();
};

// The demo administrator's session on the demo database, and what it stored.
class SessionTest : public ::testing::Test, protected DemoDatabase, protected Clerk {
  protected:
    SessionTest() : Clerk(db, settings.get()) {}

    // A new bill, unsaved, with line n of item 02.00n at these quantities and price 10.
    void newBill(const QStringList& quantities, const QDate& date = QDate(2026, 3, 15)) {
        open(0);
        fillHeader(date);
        for (int i = 0; i < quantities.size(); ++i)
            enterLine(i + 1, QStringLiteral("02.00%1").arg(i + 1), quantities[i],
                      QStringLiteral("10"));
    }
    qint32 saveNewBill(const QStringList& quantities) {
        newBill(quantities);
        EXPECT_TRUE(session->save());
        prompter.clear();
        return ctx.gCurrentInterId;
    }

    // A bill of `lines` lines of item 1120 + n with entry ids 10, 20, ...;
    // line n has quantity n, price 3.33 and the stored amount 10 × n.
    void seedBill(qint32 id, int lines, int status = 0, int red = 0) {
        db.exec(QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,fstatus,"
                               "frob,fOperator,fchecker,fstockid1,fexplanation) values(?,?,"
                               "'2026-03-15',7,?,?,1,?,502,?)"),
                {id, QStringLiteral("NO%1").arg(id), status, red, status ? 2 : 0,
                 QStringLiteral("摘要%1").arg(id)});
        const int sign = red ? -1 : 1;
        for (int n = 1; n <= lines; ++n) {
            db.exec(
                QStringLiteral("insert into icstockbillentry(finterid,fentryid,forderid,fitemid,"
                               "funitid,fqty,fPrice,famount,fbatchno,fstockplace,fnote) "
                               "values(?,?,?,?,701,?,3.33,?,?,801,?)"),
                {id, 10 * n, n, 1120 + n, sign * n, sign * 10 * n, QStringLiteral("B%1").arg(n),
                 QStringLiteral("备注%1").arg(n)});
        }
    }
    QVariant scalar(const QString& sql, const QVariantList& values = {}) {
        return db.scalar(sql, values);
    }
    // Every row's columns joined by '|', the rows by ' ', numbers written
    // shortest (5, 2.5) as each database stores decimals its own way.
    QString rows(const QString& sql, const QVariantList& values = {}) {
        db.exec(QStringLiteral("select 1"));  // opens the connection
        db::Query q = db.connection().prepare(sql);
        for (const auto& v : values) q.bind(v);
        q.exec();
        QStringList out;
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i) {
                const QVariant v = q.value(i);
                const int type = v.typeId();
                if (type == QMetaType::Double || type == QMetaType::Int ||
                    type == QMetaType::LongLong)
                    fields << QString::number(v.toDouble());
                else if (type == QMetaType::QDate || type == QMetaType::QDateTime)
                    fields << v.toDate().toString(Qt::ISODate);
                else
                    fields << v.toString();
            }
            out << fields.join(QLatin1Char('|'));
        }
        return out.join(QLatin1Char(' '));
    }
    QString ledger() {
        return rows(
            QStringLiteral("select fstockid,fitemid,fqty,famount from tblTimeStock "
                           "order by fstockid,fitemid"));
    }
};

}  // namespace otherin::testing
