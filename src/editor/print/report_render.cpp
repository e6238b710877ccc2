#include "editor/print/report_render.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextDocument>
#include <kainjow/mustache.hpp>

#include "editor/print/print_template.h"

namespace otherin::print {

namespace {

using Data = kainjow::mustache::data;

Data objectOf(const Fields& fields) {
    Data object;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        object.set(it.key().toStdString(), it.value().toStdString());
    }
    return object;
}

}  // namespace

QString renderHtml(const QString& templateText, const QString& title, const ReportData& data) {
    kainjow::mustache::mustache tmpl(templateText.toStdString());
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
