#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <stdexcept>

namespace otherin::db {
class Connection;
}

namespace otherin::print {

// A report that cannot be made from what the template row holds, or a file
// that cannot be written. Database failures stay db::DbError.
class ReportError : public std::runtime_error {
  public:
    explicit ReportError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

  private:
    QString message_;
};

// The bill type's row of tblBillPrint.
struct PrintTemplate {
    QString fileName;
    QString viewName;
    QString orderSql;
    QByteArray content;
};

// The template row of the bill type; the last one read wins when there are
// several, none without a row.
std::optional<PrintTemplate> readPrintTemplate(const db::Connection& connection, int billTypeId);

// A view name we may put into SQL text: a plain identifier, optionally with
// one schema in front ("dbo.vGOtherIn").
bool isPlainName(const QString& name);

// The stored order clause as " order by a, b desc". It may start with
// "order by"; empty gives the line order. Anything but plain column names,
// each with an optional asc or desc, raises ReportError: this text ends up in
// SQL, so nothing else may pass.
QString orderClause(const QString& stored);

// The name the template is written under: the last part of the stored file
// name, so a stored folder or "..", in either slash style, never leads outside
// our own folder.
QString templateFileName(const QString& stored);

// Writes the template under its file name into a fresh private folder below
// `workDir` and loads it back as text. The file and the folder are gone when
// this returns, also when writing or loading failed (ReportError).
QString loadTemplateText(const PrintTemplate& tmpl, const QString& workDir);

}  // namespace otherin::print
