#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

#include "editor/print/report_data.h"

class QPagedPaintDevice;
class QTextDocument;

namespace otherin::print {

// Fills the template's tags: the header fields and "title" at the top level,
// {{#lines}}…{{/lines}} once per line, {{totals.<column>}} for the sums. Tag
// values are HTML-escaped. A template that does not parse raises ReportError.
QString renderHtml(const QString& templateText, const QString& title, const ReportData& data);

// The rendered report as a document titled `title`, ready for a paint device.
std::unique_ptr<QTextDocument> layoutDocument(const QString& html, const QString& title);

// Our page: A4 upright with 15 mm margins.
void applyPageLayout(QPagedPaintDevice& device);

// The document laid out for a page device: as wide as the page inside its
// margins, cut into pages that leave room for the page number below. A table
// with a header (<thead>) repeats it on every page.
struct PagedDocument {
    std::unique_ptr<QTextDocument> document;
    qreal bodyHeight = 0;  // of each page's text, in device pixels
    int pages = 0;
};
PagedDocument paginate(const QTextDocument& document, QPagedPaintDevice& device);

// "第 1 页 共 3 页"
QString pageNumberText(int page, int pages);

// Prints the document onto a page device (a printer or a PDF writer) in the
// device's page layout, each page numbered; on a printer, only the pages of
// the range the clerk chose.
void paintDocument(const QTextDocument& document, QPagedPaintDevice& device);

// The document as the bytes of a PDF file.
QByteArray pdfBytes(const QTextDocument& document);

}  // namespace otherin::print
