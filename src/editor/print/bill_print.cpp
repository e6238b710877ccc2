#include "editor/print/bill_print.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QTextDocument>

#include "db/db_error.h"
#include "editor/print/print_template.h"
#include "editor/print/report_data.h"
#include "editor/print/report_render.h"
#include "entry/edit_mode.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "entry/permission.h"
#include "entry/prompter.h"

namespace otherin::print {

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw ReportError(QStringLiteral("文件保存失败: ") + path + QStringLiteral(": ") +
                          file.errorString());
    }
}

const QString kNoPrinter = QStringLiteral("没有可用的打印机!");

// The report on the printer. Painting on a printer that cannot start (none
// installed, a file that cannot be written) does nothing and says nothing, so
// the printer is checked before and after: success only when pages went out.
void printOn(const Report& report, QPrinter& printer) {
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    if (toFile ? printer.outputFileName().isEmpty() : QPrinterInfo(printer).isNull())
        throw ReportError(kNoPrinter);
    if (!printer.isValid()) throw ReportError(kNoPrinter);
    printer.setDocName(report.title);
    applyPageLayout(printer);
    paintDocument(*report.document, printer);
    const bool failed = printer.printerState() == QPrinter::Error ||
                        printer.printerState() == QPrinter::Aborted ||
                        (toFile && QFileInfo(printer.outputFileName()).size() == 0);
    if (failed) {
        throw ReportError(QStringLiteral("打印失败: ") +
                          (toFile ? printer.outputFileName() : printer.printerName()));
    }
}

}  // namespace

std::optional<Report> prepareReport(entry::LoginContext& ctx, entry::Prompter& prompter,
                                    qint64 billId, const PrintOptions& options) {
    try {
        QString templateText;
        ReportData data;
        {
            entry::ConnectionScope scope(ctx);
            const auto tmpl = readPrintTemplate(ctx.gConnection, ctx.gBillTypeId);
            if (!tmpl) {
                prompter.message(QStringLiteral("没有找到该单据的打印模板!"),
                                 entry::Icon::Exclamation, ctx.msgTitle);
                return std::nullopt;
            }
            // The template's view serves this report only; the editor and the
            // journal keep reading the module's own view.
            const QString view =
                tmpl->viewName.trimmed().isEmpty() ? ctx.gViewName : tmpl->viewName.trimmed();
            if (!isPlainName(view)) {
                throw ReportError(QStringLiteral("打印模板的视图名称无效: ") + view);
            }
            const QString order = orderClause(tmpl->orderSql);
            templateText = loadTemplateText(
                *tmpl, options.workDir.isEmpty() ? QDir::tempPath() : options.workDir);
            data = readReportData(ctx.gConnection, view, order, billId,
                                  readColumnFormats(ctx.gConnection, ctx.gBillTypeId));
        }
        if (data.lines.isEmpty()) {
            prompter.message(QStringLiteral("数据读取错误！"), entry::Icon::Exclamation,
                             ctx.msgTitle);
            return std::nullopt;
        }
        Report report;
        report.title = ctx.gBillName;
        report.html = renderHtml(templateText, report.title, data);
        report.document = layoutDocument(report.html, report.title);
        return report;
    } catch (const db::DbError& e) {
        entry::reportError(ctx, prompter, e.message());
    } catch (const ReportError& e) {
        prompter.message(e.message(), entry::Icon::Critical, ctx.msgTitle);
    }
    return std::nullopt;
}

std::optional<QString> renderBill(entry::LoginContext& ctx, entry::Prompter& prompter,
                                  qint64 billId, const PrintOptions& options) {
    auto report = prepareReport(ctx, prompter, billId, options);
    if (!report) return std::nullopt;
    return report->html;
}

bool printBill(entry::LoginContext& ctx, entry::Prompter& prompter, qint64 billId,
               const PrintTarget& target, ReportViewer* viewer, const PrintOptions& options) {
    try {
        if (!entry::hasRight(ctx, prompter, ctx.gRightPrefix + QStringLiteral("08"))) return false;
    } catch (const db::DbError& e) {
        entry::reportError(ctx, prompter, e.message());
        return false;
    }
    if (ctx.gEditMode == entry::kModeNew || billId <= 0) {
        prompter.message(QStringLiteral("请选保存单据!"), entry::Icon::Exclamation, ctx.msgTitle);
        return false;
    }
    if (target.kind == PrintKind::Preview && !viewer) return false;
    const auto report = prepareReport(ctx, prompter, billId, options);
    if (!report) return false;
    try {
        switch (target.kind) {
            case PrintKind::Preview:
                viewer->preview(*report);
                break;
            case PrintKind::Pdf:
                writeFile(target.pdfPath, pdfBytes(*report->document));
                break;
            case PrintKind::Printer: {
                QPrinter fallback(QPrinter::HighResolution);
                QPrinter& printer = target.printer ? *target.printer : fallback;
                // The user picks printer, copies and pages; cancelling prints
                // nothing and says nothing.
                if (target.choose && !target.choose(printer)) return false;
                printOn(*report, printer);
                break;
            }
        }
    } catch (const ReportError& e) {
        prompter.message(e.message(), entry::Icon::Critical, ctx.msgTitle);
        return false;
    }
    return true;
}

}  // namespace otherin::print
