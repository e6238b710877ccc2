#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextDocument>

#include "editor/print/bill_print.h"
#include "editor/print/print_template.h"
#include "entry/login_context.h"
#include "support/qstring_print.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

using namespace otherin;
using otherin::testing::ScriptedPrompter;
using otherin::testing::TestDatabase;

namespace {

class RecordingViewer : public print::ReportViewer {
  public:
    void preview(const print::Report& report) override { texts << report.document->toPlainText(); }
    QStringList texts;
};

class PrintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctx.DBConnectionString = db.connectionString();
        ctx.msgTitle = QStringLiteral("其它入库单");
        ctx.gBillName = QStringLiteral("其它入库单");
        ctx.gBillTypeId = 7;
        ctx.gViewName = QStringLiteral("vGOtherIn");
        ctx.gRightPrefix = QStringLiteral("G");
        ctx.gLoginUserId = QStringLiteral("1");
        ctx.IsAdmin = 1;
        ctx.gEditMode = 1;
        options.workDir = work.path();
        // Three lines entered out of line order; the maker is 张三.
        db.exec(
            QStringLiteral("insert into icstockbill(finterid,fbillno,fdate,ftrantype,"
                           "fOperator,fstockid1,fexplanation) "
                           "values(1,'QTRK000001','2026-12-05',7,2,501,'盘盈入库')"));
        db.exec(QStringLiteral(
            "insert into icstockbillentry(finterid,fentryid,forderid,fitemid,funitid,fqty,"
            "fPrice,famount,fbatchno) values(1,1,3,1136,701,3,6.5,19.5,'B3'),"
            "(1,2,1,1101,704,2.5,5.8,14.5,'B1'),(1,3,2,1121,701,10,0.25,2.5,'B2')"));
    }

    void setTemplate(const QString& fileName, const QString& view, const QString& order,
                     const QString& content) {
        db.exec(QStringLiteral("update tblBillPrint set fFileName=?,fViewName=?,fOrderSQL=?,"
                               "fcontent=? where ftypeid=7"),
                {fileName, view, order, content.toUtf8()});
    }
    bool workDirEmpty() const {
        return QDir(work.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    TestDatabase db{TestDatabase::Seed::Demo};
    entry::LoginContext ctx;
    ScriptedPrompter prompter;
    QTemporaryDir work;
    print::PrintOptions options;
};

TEST_F(PrintTest, DemoTemplateGivesADocumentAndAPdfWithNumberLinesAndTotals) {
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("bill.pdf"));
    ASSERT_TRUE(print::printBill(ctx, prompter, 1, print::PrintTarget::pdf(pdf), nullptr, options));
    EXPECT_TRUE(prompter.messages().empty());
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("%PDF"));

    const auto report = print::prepareReport(ctx, prompter, 1, options);
    ASSERT_TRUE(report);
    const QString text = report->document->toPlainText();
    for (const char* expected : {"其它入库单", "QTRK000001", "2026-12-05", "原材料仓", "盘盈入库",
                                 "15.50", "36.50", "张三", "合计"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    }
    // Lines in line order, with the layout's decimals.
    const qsizetype a = text.indexOf(QStringLiteral("01.001"));
    const qsizetype b = text.indexOf(QStringLiteral("02.001"));
    const qsizetype c = text.indexOf(QStringLiteral("03.001"));
    EXPECT_TRUE(a > 0 && a < b && b < c) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("2.50")) && text.contains(QStringLiteral("19.50")));

    EXPECT_TRUE(workDirEmpty());
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

TEST_F(PrintTest, TemplateRowDecidesViewOrderAndFileButNotThePath) {
    // The report reads the template's own view; the context keeps its view.
    db.exec(
        QStringLiteral("create view vPrintOther as select a.*, 'ZZ' || a.fbatchno as fTag "
                       "from vGOtherIn as a"));
    QTemporaryDir outside;
    const QString stray = outside.filePath(QStringLiteral("evil.html"));
    setTemplate(stray, QStringLiteral("vPrintOther"), QStringLiteral("order by forderid desc"),
                QStringLiteral("<p>{{#lines}}[{{fTag}}:{{fItemName}}]{{/lines}}</p>"));
    db.exec(QStringLiteral("update icitem set fname='纸箱<b>&amp;' where fitemid=1136"));
    auto html = print::renderBill(ctx, prompter, 1, options);
    ASSERT_TRUE(html) << prompter.lastText().toStdString();
    EXPECT_TRUE(html->contains(QStringLiteral("[ZZB3:纸箱&lt;b&gt;&amp;amp;][ZZB2:")));
    EXPECT_TRUE(html->indexOf(QStringLiteral("ZZB2")) < html->indexOf(QStringLiteral("ZZB1")));
    EXPECT_EQ(ctx.gViewName, QStringLiteral("vGOtherIn"));
    EXPECT_FALSE(QFile::exists(stray));
    EXPECT_TRUE(workDirEmpty());

    // Empty order: line order.
    setTemplate(QStringLiteral("C:\\Reports\\..\\QTRK.rpt"), QString(), QString(),
                QStringLiteral("{{#lines}}{{lineNo}}={{fItemNumber}};{{/lines}}"));
    html = print::renderBill(ctx, prompter, 1, options);
    ASSERT_TRUE(html);
    EXPECT_EQ(*html, QStringLiteral("1=01.001;2=02.001;3=03.001;"));
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(PrintTest, UnsafeOrBrokenTemplateRowsAreRefusedAndLeaveNoFile) {
    const struct {
        const char* view;
        const char* order;
        const char* content;
        const char* message;
    } cases[] = {
        {"vGOtherIn", "forderid; delete from icstockbill", "x", "打印模板的排序字段无效: "},
        {"vGOtherIn", "forderid, (select 1)", "x", "打印模板的排序字段无效: "},
        {"vGOtherIn", "forderid;delete", "x", "打印模板的排序字段无效: "},
        {"vGOtherIn where 1=1 --", "forderid", "x", "打印模板的视图名称无效: "},
        {"vGOtherIn", "fnoSuchColumn", "x", "fnoSuchColumn"},  // the database's own words
        {"vGOtherIn", "forderid", "{{#lines}}unclosed", "打印模板错误: "},
    };
    for (const auto& c : cases) {
        prompter.clear();
        setTemplate(QStringLiteral("t.html"), QString::fromUtf8(c.view), QString::fromUtf8(c.order),
                    QString::fromUtf8(c.content));
        EXPECT_FALSE(print::renderBill(ctx, prompter, 1, options)) << c.order;
        ASSERT_EQ(prompter.messages().size(), 1u) << c.order;
        EXPECT_TRUE(prompter.lastText().contains(QString::fromUtf8(c.message), Qt::CaseInsensitive))
            << prompter.lastText().toStdString();
        EXPECT_EQ(prompter.messages()[0].icon, entry::Icon::Critical);
        EXPECT_TRUE(workDirEmpty()) << c.content;
        EXPECT_FALSE(ctx.gConnection.isOpen());
    }
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from icstockbill")).toInt(), 1);

    prompter.clear();
    db.exec(QStringLiteral("delete from tblBillPrint"));
    EXPECT_FALSE(print::renderBill(ctx, prompter, 1, options));
    EXPECT_EQ(prompter.lastText(), QStringLiteral("没有找到该单据的打印模板!"));
}

TEST_F(PrintTest, PreviewNeedsTheRightAndASavedBill) {
    RecordingViewer viewer;
    ASSERT_TRUE(
        print::printBill(ctx, prompter, 1, print::PrintTarget::preview(), &viewer, options));
    ASSERT_EQ(viewer.texts.size(), 1);
    EXPECT_TRUE(viewer.texts[0].contains(QStringLiteral("QTRK000001")));

    ctx.gEditMode = 0;
    EXPECT_FALSE(
        print::printBill(ctx, prompter, 1, print::PrintTarget::preview(), &viewer, options));
    EXPECT_TRUE(prompter.onlyMessage(QStringLiteral("请选保存单据!"), entry::Icon::Exclamation,
                                     QStringLiteral("其它入库单")));

    // 李四 holds no G08: refused before anything is read.
    prompter.clear();
    ctx.gEditMode = 1;
    ctx.IsAdmin = 0;
    ctx.gLoginUserId = QStringLiteral("3");
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("bill.pdf"));
    EXPECT_FALSE(
        print::printBill(ctx, prompter, 1, print::PrintTarget::pdf(pdf), nullptr, options));
    EXPECT_EQ(prompter.lastText(),
              QStringLiteral("您无此权限！不能打印和预览单据（权限G08），请与系统管理员联系"));
    EXPECT_EQ(prompter.messages().size(), 1u);
    EXPECT_FALSE(QFile::exists(pdf));

    // A bill that is gone is told, not printed empty.
    prompter.clear();
    ctx.IsAdmin = 1;
    EXPECT_FALSE(
        print::printBill(ctx, prompter, 99, print::PrintTarget::pdf(pdf), nullptr, options));
    EXPECT_EQ(prompter.lastText(), QStringLiteral("数据读取错误！"));
    EXPECT_FALSE(QFile::exists(pdf));
}

// Printing claims success only when pages went out: a printer that cannot
// start is told, a cancelled print dialog prints nothing and says nothing.
TEST_F(PrintTest, PrinterFailuresAreToldAndCancelledDialogsPrintNothing) {
    QTemporaryDir out;
    struct Case {
        const char* what;
        QString file;  // printed to this file; none: no printer at all
        bool chosen;   // the dialog's answer
        bool printed;
        const char* message;
    };
    const std::vector<Case> cases{
        {"no printer", {}, true, false, "没有可用的打印机!"},
        {"unwritable file", QStringLiteral("/nonexistent-folder/bill.pdf"), true, false,
         "打印失败: /nonexistent-folder/bill.pdf"},
        {"dialog cancelled", out.filePath(QStringLiteral("cancelled.pdf")), false, false, ""},
        {"printed", out.filePath(QStringLiteral("printed.pdf")), true, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prompter.clear();
        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName(QString());  // printing to a file, whatever is installed
        printer.setOutputFileName(c.file);
        print::PrintTarget target = print::PrintTarget::toPrinter(&printer);
        int asked = 0;
        target.choose = [&](QPrinter&) {
            ++asked;
            return c.chosen;
        };
        EXPECT_EQ(print::printBill(ctx, prompter, 1, target, nullptr, options), c.printed);
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(prompter.lastText(), QString::fromUtf8(c.message));
        EXPECT_EQ(!c.file.isEmpty() && QFileInfo(c.file).size() > 0, c.printed);
    }
}

}  // namespace
