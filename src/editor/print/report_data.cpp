#include "editor/print/report_data.h"

#include <QDateTime>
#include <QSqlField>
#include <QSqlRecord>

#include "db/connection.h"
#include "editor/cell_format.h"
#include "editor/print/amount_words.h"
#include "entry/conversions.h"

namespace otherin::print {

namespace {

bool isNumber(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
            return true;
        default:
            return false;
    }
}

QString shown(const QVariant& v, const ColumnFormat* format) {
    if (v.isNull()) return QString();
    if (isNumber(v)) {
        if (format) return entry::shownNumber(v.toDouble(), format->decimals);
        return QString::number(v.toDouble(), 'g', 15);
    }
    if (v.typeId() == QMetaType::QDateTime) {
        const QDateTime t = v.toDateTime();
        return t.time() == QTime(0, 0) ? t.toString(QStringLiteral("yyyy-MM-dd"))
                                       : t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    if (v.typeId() == QMetaType::QDate) return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    return v.toString();
}

void put(Fields& fields, const QString& name, const QString& text) {
    fields.insert(name, text);
    const QString lower = name.toLower();
    if (lower != name) fields.insert(lower, text);
}

}  // namespace

ColumnFormats readColumnFormats(const db::Connection& connection, int billTypeId) {
    db::Query q = connection.prepare(
        QStringLiteral("select FFieldName,fType,fNumberDec,fIsSum,fsystemTypeid from "
                       "tblBillInfoEntry where ftypeid=? and fType in (1,2,4)"));
    q.bind(billTypeId).exec();
    ColumnFormats formats;
    while (q.next()) {
        const int type = q.value(1).toInt();
        // Type 1 is a whole number; 2 and 4 carry their decimals.
        const int decimals = type == 1 ? 0 : q.value(2).toInt();
        formats.insert(q.value(0).toString().trimmed().toLower(),
                       ColumnFormat{decimals, q.value(3).toInt() == 1,
                                    q.value(4).toString().trimmed() == QLatin1String("9")});
    }
    return formats;
}

ReportData readReportData(const db::Connection& connection, const QString& viewName,
                          const QString& orderClause, qint64 billId, const ColumnFormats& formats) {
    db::Query q = connection.prepare(QStringLiteral("select * from ") + viewName +
                                     QStringLiteral(" where finterid=?") + orderClause);
    q.bind(billId).exec();
    const QSqlRecord record = q.record();
    QList<const ColumnFormat*> columnFormats;
    QHash<int, double> sums;
    for (int c = 0; c < record.count(); ++c) {
        const auto it = formats.constFind(record.fieldName(c).toLower());
        columnFormats << (it == formats.constEnd() ? nullptr : &it.value());
        if (it != formats.constEnd() && (it->summed || it->amount)) sums.insert(c, 0.0);
    }
    ReportData data;
    while (q.next()) {
        Fields line;
        for (int c = 0; c < record.count(); ++c) {
            const QVariant v = q.value(c);
            put(line, record.fieldName(c), shown(v, columnFormats[c]));
            if (sums.contains(c)) sums[c] += v.toDouble();
        }
        line.insert(QStringLiteral("lineNo"), QString::number(data.lines.size() + 1));
        data.lines << line;
    }
    if (!data.lines.isEmpty()) data.fields = data.lines.front();
    for (auto it = sums.cbegin(); it != sums.cend(); ++it) {
        const ColumnFormat* format = columnFormats[it.key()];
        if (format->summed) put(data.totals, record.fieldName(it.key()), shown(it.value(), format));
        if (format->amount)
            data.totals.insert(QStringLiteral("amountInWords"), amountInCapitals(it.value()));
    }
    return data;
}

}  // namespace otherin::print
