#include "editor/print/report_render.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextDocument>
#include <algorithm>
#include <kainjow/mustache.hpp>

#include "editor/print/print_template.h"

namespace otherin::print {

namespace {

using Data = kainjow::mustache::data;

// Field names are matched without regard to case: a database server may
// report the view's columns in lower case (fstockname for fStockName), so
// the data's names and the template's tags are both taken in lower case.
Data objectOf(const Fields& fields) {
    Data object;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        object.set(it.key().toLower().toStdString(), it.value().toStdString());
    }
    return object;
}

QString lowerCaseTags(const QString& templateText) {
    static const QRegularExpression tag(
        QStringLiteral("(\\{\\{\\{?\\s*[#^/&]?\\s*)([A-Za-z_][\\w.]*)(\\s*\\}?\\}\\})"));
    QString text;
    qsizetype last = 0;
    auto it = tag.globalMatch(templateText);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        text += templateText.mid(last, m.capturedStart() - last);
        text += m.captured(1) + m.captured(2).toLower() + m.captured(3);
        last = m.capturedEnd();
    }
    return text + templateText.mid(last);
}

}  // namespace

QString renderHtml(const QString& templateText, const QString& title, const ReportData& data) {
    kainjow::mustache::mustache tmpl(lowerCaseTags(templateText).toStdString());
    if (!tmpl.is_valid()) {
        throw ReportError(QStringLiteral("打印模板错误: ") +
                          QString::fromStdString(tmpl.error_message()));
    }
    Data root = objectOf(data.fields);
    root.set("title", title.toStdString());
    Data lines{Data::type::list};
    for (const Fields& line : data.lines) lines.push_back(objectOf(line));
    root.set("lines", lines);
    root.set("totals", objectOf(data.totals));
    const std::string html = tmpl.render(root);
    if (!tmpl.is_valid()) {
        throw ReportError(QStringLiteral("打印模板错误: ") +
                          QString::fromStdString(tmpl.error_message()));
    }
    return QString::fromStdString(html);
}

std::unique_ptr<QTextDocument> layoutDocument(const QString& html, const QString& title) {
    auto document = std::make_unique<QTextDocument>();
    document->setHtml(html);
    document->setMetaInformation(QTextDocument::DocumentTitle, title);
    return document;
}

void applyPageLayout(QPagedPaintDevice& device) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
}

namespace {

QFont pageNumberFont(const QTextDocument& document) {
    QFont font = document.defaultFont();
    font.setPointSizeF(9);
    return font;
}

}  // namespace

PagedDocument paginate(const QTextDocument& document, QPagedPaintDevice& device) {
    PagedDocument paged;
    paged.document.reset(document.clone());
    QTextDocument& doc = *paged.document;
    // Laid out in the device's own pixels, so the page's width is the width
    // the text fills and no scaling comes between layout and paper.
    doc.documentLayout()->setPaintDevice(&device);
    doc.setDocumentMargin(0);
    const QFontMetricsF metrics(pageNumberFont(document), &device);
    paged.bodyHeight = device.height() - 2 * metrics.height();
    doc.setPageSize(QSizeF(device.width(), paged.bodyHeight));
    paged.pages = doc.pageCount();
    return paged;
}

QString pageNumberText(int page, int pages) {
    return QStringLiteral("第 %1 页 共 %2 页").arg(page).arg(pages);
}

void paintDocument(const QTextDocument& document, QPagedPaintDevice& device) {
    const PagedDocument paged = paginate(document, device);
    int first = 1;
    int last = paged.pages;
    if (auto* printer = dynamic_cast<QPrinter*>(&device); printer && printer->fromPage() > 0) {
        first = std::max(first, printer->fromPage());
        last = std::min(last, printer->toPage() > 0 ? printer->toPage() : last);
    }
    QPainter painter(&device);
    const qreal width = device.width();
    for (int page = first; page <= last; ++page) {
        if (page > first) device.newPage();
        const QRectF body(0, (page - 1) * paged.bodyHeight, width, paged.bodyHeight);
        painter.save();
        painter.translate(0, -body.top());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = body;
        context.palette.setColor(QPalette::Text, Qt::black);
        paged.document->documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(pageNumberFont(document));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, paged.bodyHeight, width, device.height() - paged.bodyHeight),
                         Qt::AlignCenter, pageNumberText(page, paged.pages));
    }
}

QByteArray pdfBytes(const QTextDocument& document) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
        writer.setCreator(QStringLiteral("otherin"));
        applyPageLayout(writer);
        paintDocument(document, writer);
    }
    return bytes;
}

}  // namespace otherin::print
