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
// Prints the document onto a page device (a printer or a PDF writer) in the
// device's page layout.
void paintDocument(const QTextDocument& document, QPagedPaintDevice& device);

// The document as the bytes of a PDF file.
QByteArray pdfBytes(const QTextDocument& document);

}  // namespace otherin::print
