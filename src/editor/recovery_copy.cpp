#include "editor/recovery_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include "editor/bill_form.h"

namespace otherin::editor {

QString RecoveryCopy::pathFor(const QString& settingsFile, int billType, const QString& userId) {
    return QFileInfo(settingsFile)
        .absoluteDir()
        .filePath(QStringLiteral("recovery/%1-%2.json").arg(billType).arg(userId.trimmed()));
}

bool RecoveryCopy::write(const BillForm& form, bool red) const {
    QJsonArray header;
    for (const HeaderField& f : form.header)
        header.append(QJsonArray{f.index, f.text, f.code, f.keyValue});
    QJsonArray cells;
    const LineGrid& grid = form.grid;
    const int last = grid.lastDataRow();
    for (int r = 1; r <= last; ++r) {
        for (int c = 1; c <= grid.columns(); ++c) {
            if (grid.isBlankCell(c, r) && grid.key(c, r).isEmpty()) continue;
            cells.append(QJsonArray{c, r, grid.text(c, r), grid.key(c, r), grid.code(c, r)});
        }
    }
    const QJsonObject bill{
        {QStringLiteral("savedAt"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate)},
        {QStringLiteral("red"), red},
        {QStringLiteral("lines"), last},
        {QStringLiteral("header"), header},
        {QStringLiteral("cells"), cells}};
    if (!QDir().mkpath(QFileInfo(path_).absolutePath())) return false;
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(bill).toJson(QJsonDocument::Compact));
    return file.commit();
}

std::optional<RecoveryCopy::Found> RecoveryCopy::read() const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject()) return std::nullopt;
    const QJsonObject bill = doc.object();
    const QDateTime at =
        QDateTime::fromString(bill.value(QStringLiteral("savedAt")).toString(), Qt::ISODate);
    return Found{at.toLocalTime(), bill.value(QStringLiteral("lines")).toInt(), bill};
}

bool RecoveryCopy::restore(const Found& copy, BillForm& form) {
    for (const QJsonValue& v : copy.bill.value(QStringLiteral("header")).toArray()) {
        const QJsonArray f = v.toArray();
        if (HeaderField* field = form.headerField(f.at(0).toInt())) {
            field->text = f.at(1).toString();
            field->code = f.at(2).toString();
            field->keyValue = f.at(3).toString();
        }
    }
    LineGrid& grid = form.grid;
    for (const QJsonValue& v : copy.bill.value(QStringLiteral("cells")).toArray()) {
        const QJsonArray cell = v.toArray();
        const int c = cell.at(0).toInt();
        const int r = cell.at(1).toInt();
        if (c < 1 || c > grid.columns() || r < 1) continue;
        while (grid.rows() < r) grid.appendRow();
        grid.setCell(c, r, cell.at(2).toString(), cell.at(3).toString(), cell.at(4).toString());
    }
    return copy.bill.value(QStringLiteral("red")).toBool();
}

void RecoveryCopy::discard() const {
    QFile::remove(path_);
}

QString recoveryQuestion(const RecoveryCopy::Found& copy) {
    return QStringLiteral("发现未保存的单据（%1，%2 行），是否恢复？")
        .arg(copy.savedAt.toString(QStringLiteral("HH:mm")))
        .arg(copy.lines);
}

}  // namespace otherin::editor
