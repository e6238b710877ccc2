// Bills printed from their template row: document, refusals, rights, printer.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include "editor/print/amount_words.h"
#include "editor/print/bill_print.h"
#include "editor/print/print_template.h"
#include "editor/print/report_render.h"
#include "entry/conversions.h"
#include "query/query_fixture.h"

using namespace otherin;
using otherin::testing::QueryFixture;

using namespace Qt::StringLiterals;

namespace {

class RecordingViewer : public print::ReportViewer {
  public:
    void preview(const print::Report& report) override { texts << report.document->toPlainText(); }
    QStringList texts;
};

// Bill 1 of three lines entered out of line order; the maker is 张三.
class PrintTest : public ::testing::Test, protected QueryFixture {
  protected:
    void SetUp() override {
        ctx.gRightPrefix = u"G"_s;
        ctx.gEditMode = 1;
        options.workDir = work.path();
        addBill(1, u"QTRK000001"_s, u"2026-12-05"_s, 0, 2,
                {{1136, 3, 6.5}, {1101, 2.5, 5.8}, {1121, 10, 0.25}}, u"盘盈入库"_s);
        db.exec(u"update icstockbillentry set forderid=(fentryid+1)%3+1"_s);
    }
    void setTemplate(const QString& fileName, const QString& view, const QString& order,
                     const QString& content) {
        db.exec(
            u"update tblBillPrint set fFileName=?,fViewName=?,fOrderSQL=?,"
            "fcontent=? where ftypeid=7"_s,
            {fileName, view, order, content.toUtf8()});
    }
    bool workDirEmpty() const {
        return QDir(work.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    QTemporaryDir work;
    print::PrintOptions options;
};

TEST_F(PrintTest, DemoTemplateGivesADocumentWithNumberLinesAndTotals) {
    const auto report = print::prepareReport(ctx, prompter, 1, options);
    ASSERT_TRUE(report);
    const QString text = report->document->toPlainText();
    for (const char* expected : {"其它入库单", "QTRK000001", "2026-12-05", "原材料仓", "盘盈入库",
                                 "15.50", "36.50", "张三", "合计", "2.50", "19.50"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    // Lines in line order.
    EXPECT_TRUE(text.contains(QRegularExpression(u"01\\.001.*02\\.001.*03\\.001"_s,
                                                 QRegularExpression::DotMatchesEverythingOption)))
        << text.toStdString();
    EXPECT_TRUE(workDirEmpty());
    EXPECT_FALSE(ctx.gConnection.isOpen());
}

TEST_F(PrintTest, TemplateRowDecidesViewOrderAndFileButNotThePath) {
    // The report reads the template's own view; the context keeps its view.
    db.execAsOwner(
        u"create view vPrintOther as select a.*, 'ZZ' || a.fItemNumber as fTag "
        "from vGOtherIn as a"_s);
    QTemporaryDir outside;
    const QString stray = outside.filePath(u"evil.html"_s);
    setTemplate(stray, u"vPrintOther"_s, u"order by forderid desc"_s,
                u"<p>{{#lines}}[{{fTag}}:{{fItemName}}]{{/lines}}</p>"_s);
    db.exec(u"update icitem set fname='纸箱<b>&amp;' where fitemid=1136"_s);
    auto html = print::renderBill(ctx, prompter, 1, options);
    ASSERT_TRUE(html) << prompter.lastText().toStdString();
    EXPECT_TRUE(html->contains(u"[ZZ03.001:纸箱&lt;b&gt;&amp;amp;][ZZ02.001:六角螺栓][ZZ01.001:"_s))
        << html->toStdString();
    EXPECT_EQ(ctx.gViewName, u"vGOtherIn"_s);
    EXPECT_FALSE(QFile::exists(stray));
    EXPECT_TRUE(workDirEmpty());
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
        {"vGOtherIn where 1=1 --", "forderid", "x", "打印模板的视图名称无效: "},
        {"vGOtherIn", "fnoSuchColumn", "x", "fnoSuchColumn"},  // the database's own words
        {"vGOtherIn", "forderid", "{{#lines}}unclosed", "打印模板错误: "},
    };
    for (const auto& c : cases) {
        prompter.clear();
        setTemplate(u"t.html"_s, QString::fromUtf8(c.view), QString::fromUtf8(c.order),
                    QString::fromUtf8(c.content));
        EXPECT_FALSE(print::renderBill(ctx, prompter, 1, options)) << c.order;
        ASSERT_EQ(prompter.messages().size(), 1u) << c.order;
        EXPECT_TRUE(prompter.lastText().contains(QString::fromUtf8(c.message), Qt::CaseInsensitive))
            << prompter.lastText().toStdString();
        EXPECT_EQ(prompter.messages()[0].icon, entry::Icon::Critical);
        EXPECT_TRUE(workDirEmpty()) << c.content;
        EXPECT_FALSE(ctx.gConnection.isOpen());
    }
    EXPECT_EQ(db.scalar(u"select count(*) from icstockbill"_s).toInt(), 1);
    prompter.clear();
    db.exec(u"delete from tblBillPrint"_s);
    EXPECT_FALSE(print::renderBill(ctx, prompter, 1, options));
    EXPECT_EQ(prompter.lastText(), u"没有找到该单据的打印模板!"_s);
}

// The amount in words, by the rules of a Chinese slip.
TEST(AmountInCapitalsTest, FollowsTheRulesOfASlip) {
    const struct {
        double amount;
        const char* words;
    } cases[] = {
        {1234.56, "壹仟贰佰叁拾肆元伍角陆分"},
        {10, "壹拾元整"},
        {1005, "壹仟零伍元整"},
        {100000, "壹拾万元整"},
        {10.5, "壹拾元伍角"},
        {0.05, "伍分"},
        {0, "零元整"},
        {-1234.56, "负壹仟贰佰叁拾肆元伍角陆分"},
        {10.05, "壹拾元零伍分"},
        {10010, "壹万零壹拾元整"},
        {100010000, "壹亿零壹万元整"},
        {1000000000000, "壹万亿元整"},
        {2.675, "贰元陆角捌分"},  // rounded to the fen
        {0.004, "零元整"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(print::amountInCapitals(c.amount), QString::fromUtf8(c.words)) << c.amount;
}

// The text layer of a PDF, as a clerk copying from it would get it.
QString pdfText(const QString& pdf, int page = 0) {
    QProcess p;
    QStringList args{u"-layout"_s};
    if (page > 0) args << u"-f"_s << QString::number(page) << u"-l"_s << QString::number(page);
    p.start(u"pdftotext"_s, args << pdf << u"-"_s);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A bill of 40 lines: the table fills the page's width, its header comes
// again on page 2, the pages are numbered, the amount is in words, the slip
// has four signature lines; every way of making a PDF keeps every digit.
TEST_F(PrintTest, ALongBillPrintsAsASignedSlipOnNumberedPages) {
    QList<std::tuple<int, double, double>> lines;
    double total = 0;
    for (int i = 1; i <= 40; ++i) {
        lines << std::tuple{1101, i * 7.0, i * 3 + 0.5};
        total += i * 7.0 * (i * 3 + 0.5);
    }
    addBill(2, u"QTRK000002"_s, u"2026-12-06"_s, 0, 2, lines);
    const auto report = print::prepareReport(ctx, prompter, 2, options);
    ASSERT_TRUE(report);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    print::applyPageLayout(writer);
    const print::PagedDocument paged = print::paginate(*report->document, writer);
    EXPECT_EQ(paged.pages, 2);
    EXPECT_EQ(print::pageNumberText(1, 2), u"第 1 页 共 2 页"_s);
    qreal widest = 0;
    for (QTextFrame* frame : paged.document->rootFrame()->childFrames())
        if (qobject_cast<QTextTable*>(frame))
            widest = std::max(widest,
                              paged.document->documentLayout()->frameBoundingRect(frame).width());
    EXPECT_GT(widest, 0.98 * writer.width());

    QTemporaryDir out;
    QStringList pdfs{out.filePath(u"command.pdf"_s)};
    ASSERT_TRUE(
        print::printBill(ctx, prompter, 2, print::PrintTarget::pdf(pdfs.back()), nullptr, options));
    // The print dialog's "print to file", and the preview's printer (which
    // paints on a printer of its own resolution).
    for (const auto mode : {QPrinter::HighResolution, QPrinter::ScreenResolution}) {
        QPrinter printer(mode);
        printer.setOutputFormat(QPrinter::PdfFormat);
        pdfs << out.filePath(u"printer%1.pdf"_s.arg(int(mode)));
        printer.setOutputFileName(pdfs.back());
        ASSERT_TRUE(print::printBill(ctx, prompter, 2, print::PrintTarget::toPrinter(&printer),
                                     nullptr, options))
            << prompter.lastText().toStdString();
    }
    for (const QString& pdf : pdfs) {
        SCOPED_TRACE(pdf.toStdString());
        const QString text = pdfText(pdf);
        for (int i = 1; i <= 40; ++i) {
            const QString amount = entry::shownNumber(i * 7.0 * (i * 3 + 0.5), 2);
            EXPECT_TRUE(text.contains(amount)) << amount.toStdString();
        }
        for (const QString& expected :
             {u"大写金额"_s, print::amountInCapitals(total), entry::shownNumber(total, 2)})
            EXPECT_TRUE(text.contains(expected)) << expected.toStdString();
        // The text layer keeps no space between Chinese characters and digits.
        const QString unspaced = QString(text).remove(QRegularExpression(u"\\s"_s));
        for (int page : {1, 2})
            EXPECT_TRUE(unspaced.contains(print::pageNumberText(page, 2).remove(u' ')));
        EXPECT_TRUE(text.contains(QRegularExpression(u"制单：\\s*张三"_s))) << text.toStdString();
        for (const QString& label : {u"审核："_s, u"仓管："_s, u"经办："_s})
            EXPECT_TRUE(text.contains(label)) << label.toStdString();
        EXPECT_TRUE(pdfText(pdf, 2).contains(u"物料代码"_s));
    }
}

// A saved bill that is still there, and G08 (李四 lacks it); nothing shown if refused.
TEST_F(PrintTest, PreviewAndPrintNeedTheRightAndASavedBill) {
    const struct {
        int mode;
        const char* user;
        qint32 bill;
        const char* told;
    } cases[] = {
        {1, "1", 1, ""},
        {0, "1", 1, "请选保存单据!"},
        {1, "3", 1, "您无此权限！不能打印和预览单据（权限G08），请与系统管理员联系"},
        {1, "1", 99, "数据读取错误！"},
    };
    QTemporaryDir out;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told);
        prompter.clear();
        ctx.gEditMode = c.mode;
        ctx.gLoginUserId = QLatin1String(c.user);
        ctx.IsAdmin = ctx.gLoginUserId == u"1"_s;
        RecordingViewer viewer;
        const bool refused = *c.told != 0;
        EXPECT_EQ(print::printBill(ctx, prompter, c.bill, print::PrintTarget::preview(), &viewer,
                                   options),
                  !refused);
        EXPECT_EQ(prompter.messageTexts().join(u';'), QString::fromUtf8(c.told));
        EXPECT_EQ(viewer.texts.size(), refused ? 0 : 1);
        const QString pdf = out.filePath(QString::number(&c - cases) + u".pdf"_s);
        EXPECT_EQ(
            print::printBill(ctx, prompter, c.bill, print::PrintTarget::pdf(pdf), nullptr, options),
            !refused);
        EXPECT_EQ(QFile::exists(pdf), !refused);
    }
}

// Success only when pages went out; a cancelled dialog prints and says nothing.
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
        {"unwritable file", u"/nonexistent-folder/bill.pdf"_s, true, false,
         "打印失败: /nonexistent-folder/bill.pdf"},
        {"dialog cancelled", out.filePath(u"cancelled.pdf"_s), false, false, ""},
        {"printed", out.filePath(u"printed.pdf"_s), true, true, ""},
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
