#include "editor/print/print_template.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>

#include "db/connection.h"

namespace otherin::print {

namespace {

const QRegularExpression& identifier() {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re;
}

bool isIdentifier(const QString& text) {
    return identifier().match(text).hasMatch();
}

// Removes a file when the scope ends, whatever happened in it.
class FileRemover {
  public:
    explicit FileRemover(QString path) : path_(std::move(path)) {}
    ~FileRemover() { QFile::remove(path_); }
    FileRemover(const FileRemover&) = delete;
    FileRemover& operator=(const FileRemover&) = delete;

  private:
    QString path_;
};

}  // namespace

std::optional<PrintTemplate> readPrintTemplate(const db::Connection& connection, int billTypeId) {
    db::Query q = connection.prepare(QStringLiteral(
        "select fFileName,fViewName,fOrderSQL,fcontent from tblBillPrint where ftypeid=?"));
    q.bind(billTypeId).exec();
    std::optional<PrintTemplate> found;
    while (q.next()) {
        found = PrintTemplate{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                              q.value(3).toByteArray()};
    }
    return found;
}

bool isPlainName(const QString& name) {
    const QStringList parts = name.trimmed().split(QLatin1Char('.'));
    if (parts.size() > 2) return false;
    for (const QString& part : parts) {
        if (!isIdentifier(part)) return false;
    }
    return true;
}

QString orderClause(const QString& stored) {
    QString text = stored.simplified();
    static const QRegularExpression orderBy(QStringLiteral("^order by "),
                                            QRegularExpression::CaseInsensitiveOption);
    text.remove(orderBy);
    if (text.isEmpty()) return QStringLiteral(" order by forderid");
    QStringList items;
    for (const QString& item : text.split(QLatin1Char(','))) {
        const QStringList words = item.simplified().split(QLatin1Char(' '));
        const bool directionOk =
            words.size() == 1 ||
            (words.size() == 2 &&
             (words[1].compare(QStringLiteral("asc"), Qt::CaseInsensitive) == 0 ||
              words[1].compare(QStringLiteral("desc"), Qt::CaseInsensitive) == 0));
        if (!directionOk || !isIdentifier(words[0])) {
            throw ReportError(QStringLiteral("打印模板的排序字段无效: ") + stored);
        }
        items << words.join(QLatin1Char(' '));
    }
    return QStringLiteral(" order by ") + items.join(QStringLiteral(", "));
}

QString templateFileName(const QString& stored) {
    QString name = stored.trimmed();
    name = name.mid(
        std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\'))) + 1);
    name.remove(QRegularExpression(QStringLiteral("[\\x00-\\x1f:]")));
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral("..")) {
        return QStringLiteral("bill_template.html");
    }
    return name;
}

QString loadTemplateText(const PrintTemplate& tmpl, const QString& workDir) {
    QTemporaryDir dir(QDir(workDir).filePath(QStringLiteral("otherin-print-XXXXXX")));
    if (!dir.isValid()) {
        throw ReportError(QStringLiteral("无法建立打印模板的临时文件夹: ") + dir.errorString());
    }
    const QString path = dir.filePath(templateFileName(tmpl.fileName));
    FileRemover remover(path);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(tmpl.content) != tmpl.content.size() || !out.flush()) {
        throw ReportError(QStringLiteral("无法写入打印模板: ") + out.errorString());
    }
    out.close();
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        throw ReportError(QStringLiteral("无法读取打印模板: ") + in.errorString());
    }
    return QString::fromUtf8(in.readAll());
}

}  // namespace otherin::print
