#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "entry/login_context.h"
#include "journal/excel_export.h"
#include "query/journal_model.h"
#include "support/scripted_prompter.h"

using namespace otherin;
using otherin::testing::ScriptedPrompter;

using namespace Qt::StringLiterals;

namespace {

// One member of an .xlsx file (the dependencies install unzip).
QByteArray zipMember(const QString& zip, const QString& member) {
    QProcess p;
    p.start(u"unzip"_s, {u"-p"_s, zip, member});
    p.waitForFinished(30000);
    return p.readAllStandardOutput();
}

struct Cell {
    QString type;
    int style = 0;
    QString value;
};

// Cells of sheet 1 by (row, column) from 0, shared strings resolved.
using Sheet = QMap<QPair<int, int>, Cell>;

Sheet readSheet(const QString& zip) {
    QStringList strings;
    QXmlStreamReader shared(zipMember(zip, u"xl/sharedStrings.xml"_s));
    while (!shared.atEnd()) {
        shared.readNext();
        if (shared.isStartElement() && shared.name() == u"t"_s) strings << shared.readElementText();
    }
    Sheet sheet;
    QXmlStreamReader xml(zipMember(zip, u"xl/worksheets/sheet1.xml"_s));
    QPair<int, int> at;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == u"c"_s) {
            const auto a = xml.attributes();
            const QString ref = a.value(u"r"_s).toString();
            // Columns A to Z are enough for this journal.
            at = {ref.mid(1).toInt() - 1, ref[0].unicode() - 'A'};
            sheet[at] = {a.value(u"t"_s).toString(), a.value(u"s"_s).toInt(), QString()};
        } else if (xml.name() == u"v"_s) {
            Cell& c = sheet[at];
            const QString v = xml.readElementText();
            c.value = c.type == u"s"_s ? strings.value(v.toInt()) : v;
        }
    }
    return sheet;
}

// A journal of two bills whose remarks hold texts a spreadsheet would turn into numbers.
query::JournalContent journal(const QString& longNote = {}, const QString& longerNote = {}) {
    const std::vector<query::JournalColumn> columns = {
        {"finterid", "finterid", 1, {}, true, false},
        {"fentryid", "fentryid", 1, {}, true, false},
        {"fbillno", "fbillno", 1, {}, true, false},
        {"fdate", "日期", 4, {}, false, false},
        {"fItemNumber", "物料代码", 1, {}, false, false},
        {"fqty", "数量", 7, "#,##0.00", false, true},
        {"fnote", "备注", 1, {}, false, false},
    };
    query::JournalContent content(columns);
    const QVariant lines[][7] = {
        {1, 1, u"QTRK000001"_s, u"2026-12-05"_s, u"01.001"_s, 1234.5, u"007"_s},
        {1, 2, u"QTRK000001"_s, QVariant(), u"02.001"_s, 2,
         longNote.isEmpty() ? u"12345678901234567890"_s : longNote},
        {2, 1, u"QTRK000002"_s, u"2026-12-06"_s, u"03.001"_s, 0.5,
         longerNote.isEmpty() ? QVariant() : QVariant(longerNote)},
    };
    content.addBill(u"1"_s);
    content.appendLine(lines[0], true, false);
    content.appendLine(lines[1], false, false);
    content.addBill(u"2"_s);
    content.appendLine(lines[2], true, true);
    return content;
}

class ExcelExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        model.setContent(journal());
        ctx.msgTitle = u"其它入库单"_s;
        ctx.gBillName = u"其它入库单"_s;
    }
    query::JournalModel model;
    entry::LoginContext ctx;
    ScriptedPrompter prompter;
    QTemporaryDir dir;
};

// Every grid cell is stored as text, so a spreadsheet turns none into a number;
// a cell too long is cut and marked, and the rest still written.
TEST_F(ExcelExportTest, EveryGridCellIsStoredAsTextAndALongOneCut) {
    const qsizetype keep = journal::kCellTextLimit - journal::cutCellMark().size();
    const QString longNote(40000, u'x');
    // A character of two code units lies across the cut: it goes whole.
    const QString longerNote = QString(keep - 1, u'y') + u"\U0001F600"_s + QString(100, u'z');
    model.setContent(journal(longNote, longerNote));
    const QString path = dir.filePath(u"长备注.xlsx"_s);
    prompter.expectFileName(path);
    EXPECT_TRUE(journal::exportJournalCommand(ctx, prompter, model));
    EXPECT_TRUE(prompter.onlyMessage(
        u"导出成功!\n"_s + QDir::toNativeSeparators(path) +
            u"\n有2个单元格的内容超过32767个字符,已截断并标为红色:第3行第7列、第4行第7列"_s,
        entry::Icon::Exclamation));

    const Sheet sheet = readSheet(path);
    ASSERT_EQ(model.rowCount(), 4);  // three lines and the totals row
    const QString cut[] = {QString(keep, u'x') + journal::cutCellMark(),
                           QString(keep - 1, u'y') + journal::cutCellMark()};
    for (int r = -1; r < model.rowCount(); ++r) {
        for (int c = 0; c < model.columnCount(); ++c) {
            SCOPED_TRACE(u"%1,%2"_s.arg(r).arg(c).toStdString());
            const bool isCut = c == 6 && (r == 1 || r == 2);
            const QString expected = r < 0   ? model.headerData(c, Qt::Horizontal).toString()
                                     : isCut ? cut[r - 1]
                                             : model.text(r, c);
            const Cell cell = sheet.value({r + 1, c});
            // Compared whole but not printed whole.
            EXPECT_TRUE(cell.value == expected) << cell.value.right(20).toStdString();
            if (!expected.isEmpty()) {
                EXPECT_EQ(cell.type, u"s"_s);
            }
            // A cut cell is marked by a format of its own.
            if (isCut) {
                EXPECT_NE(cell.style, sheet.value({1, 5}).style);
            }
        }
    }
    EXPECT_EQ(sheet.value({4, 5}).value, u"1,237.00"_s);
    EXPECT_EQ(sheet.value({1, 6}).value, u"007"_s);
}

TEST_F(ExcelExportTest, CommandSaysSuccessOnlyWhenTheFileWasWritten) {
    const QString base = dir.filePath(u"序时簿"_s);
    prompter.expectFileName(base + u".xls"_s);
    EXPECT_TRUE(journal::exportJournalCommand(ctx, prompter, model));
    // The dialog offers the bill name and the day in the documents folder,
    // or in the home folder while there is no documents folder.
    ASSERT_EQ(prompter.proposedFiles().size(), 1u);
    const QString day = QDate::currentDate().toString(u"yyyy-MM-dd"_s);
    EXPECT_EQ(QFileInfo(prompter.proposedFiles()[0]).fileName(),
              u"其它入库单_"_s + day + u".xlsx"_s);
    const QByteArray home = qgetenv("HOME");
    const QString ownHome = dir.filePath(u"home"_s);
    ASSERT_TRUE(QDir().mkpath(ownHome));
    qputenv("HOME", ownHome.toLocal8Bit());
    const QString atHome = journal::proposedExportPath(ctx, QDate::currentDate());
    ASSERT_TRUE(QDir(ownHome).mkdir(u"Documents"_s));
    const QString inDocuments = journal::proposedExportPath(ctx, QDate::currentDate());
    qputenv("HOME", home);
    EXPECT_EQ(QFileInfo(atHome).absolutePath(), QDir(ownHome).absolutePath());
    EXPECT_EQ(QFileInfo(inDocuments).absolutePath(),
              QDir(ownHome).absoluteFilePath(u"Documents"_s));
    // A name typed with ".xls" is written as the workbook it is.
    const QString written = base + u".xlsx"_s;
    EXPECT_TRUE(QFile::exists(written));
    EXPECT_FALSE(QFile::exists(base + u".xls"_s));
    EXPECT_TRUE(prompter.onlyMessage(u"导出成功!\n"_s + QDir::toNativeSeparators(written),
                                     entry::Icon::Information, u"其它入库单"_s));

    prompter.clear();
    prompter.expectFileName(QString());
    EXPECT_FALSE(journal::exportJournalCommand(ctx, prompter, model));
    EXPECT_TRUE(prompter.messages().empty());

    // A folder that does not exist: the reason is told, success is not.
    const QString nowhere = dir.filePath(u"missing/journal.xlsx"_s);
    prompter.expectFileName(nowhere);
    EXPECT_FALSE(journal::exportJournalCommand(ctx, prompter, model));
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_TRUE(prompter.lastText().startsWith(u"导出失败!\n"_s + nowhere))
        << prompter.lastText().toStdString();
    EXPECT_FALSE(QFile::exists(nowhere));
}

// Only a real extension is replaced: a dot in a folder or in the name stays.
TEST(WorkbookPathTest, TheFileIsAlwaysAnXlsxWorkbook) {
    const QString cases[][2] = {
        {"a.XLS", "a.xlsx"},
        {"a.XLSX", "a.XLSX"},
        {"/d.v1/报表.2026", "/d.v1/报表.2026.xlsx"},
        {"/d.v1/a", "/d.v1/a.xlsx"},
    };
    for (const auto& [typed, written] : cases) EXPECT_EQ(journal::workbookPath(typed), written);
}

}  // namespace
