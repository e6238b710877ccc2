#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QPrinter;
class QTextDocument;

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::print {

// A bill laid out from its print template.
struct Report {
    QString title;
    QString html;
    std::unique_ptr<QTextDocument> document;
};

struct PrintOptions {
    // Where the template gets its private folder; the system's temporary
    // folder when empty.
    QString workDir;
};

// Shows a report on screen; the Qt layer implements it with a preview dialog
// from which the user may also print.
class ReportViewer {
  public:
    virtual ~ReportViewer() = default;
    virtual void preview(const Report& report) = 0;
};

enum class PrintKind { Preview, Printer, Pdf };

struct PrintTarget {
    PrintKind kind = PrintKind::Preview;
    QString pdfPath;              // Pdf: the file written
    QPrinter* printer = nullptr;  // Printer: the one to use; the default printer when null
    // Printer: asked before printing (the print dialog); false prints nothing.
    std::function<bool(QPrinter&)> choose;

    static PrintTarget preview() { return {}; }
    static PrintTarget toPrinter(QPrinter* printer = nullptr) {
        return {PrintKind::Printer, QString(), printer, {}};
    }
    static PrintTarget pdf(const QString& path) { return {PrintKind::Pdf, path, nullptr, {}}; }
};

// Reads the bill type's template and the bill's rows and lays the report out,
// titled with the bill name. The rows come from the template's view for this
// report only: ctx.gViewName stays as it is. Every failure is told to the user
// and answers none.
std::optional<Report> prepareReport(entry::LoginContext& ctx, entry::Prompter& prompter,
                                    qint64 billId, const PrintOptions& options = {});

// The report's HTML, as prepareReport makes it.
std::optional<QString> renderBill(entry::LoginContext& ctx, entry::Prompter& prompter,
                                  qint64 billId, const PrintOptions& options = {});

// The editor's preview and print commands: the right <prefix>08, a saved bill
// (not new mode), then the report to the target. Preview needs a viewer. True
// when the report reached its target.
bool printBill(entry::LoginContext& ctx, entry::Prompter& prompter, qint64 billId,
               const PrintTarget& target, ReportViewer* viewer = nullptr,
               const PrintOptions& options = {});

}  // namespace otherin::print
