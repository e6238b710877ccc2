#include "editor/print/report_render.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
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

void paintDocument(const QTextDocument& document, QPagedPaintDevice& device) {
    document.print(&device);
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
