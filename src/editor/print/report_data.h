#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

namespace otherin::db {
class Connection;
}

namespace otherin::print {

// Texts by tag name, as the template's tags ask for them.
using Fields = QMap<QString, QString>;

// What the template is filled with: the first line's columns serve as the
// header fields (bill number, date, warehouse, maker, auditor), every line
// gives one entry of `lines`, and `totals` holds the summed columns and
// "amountInWords", the bill's amount in Chinese financial capitals.
struct ReportData {
    Fields fields;
    QList<Fields> lines;
    Fields totals;
};

// How a column of the bill's grid layout is shown: its decimals, and whether
// the bill totals it.
struct ColumnFormat {
    int decimals = 0;
    bool summed = false;
    bool amount = false;  // the line's amount (the layout's role 9)
};
// Keyed by the lower-case column name.
using ColumnFormats = QHash<QString, ColumnFormat>;

// The number columns of the bill type's grid layout (tblBillInfoEntry).
ColumnFormats readColumnFormats(const db::Connection& connection, int billTypeId);

// The bill's rows from `viewName` in the order of `orderClause` (both checked
// by the caller). Every column becomes a tag under its own name and, where
// that differs, under its lower-case name too, as some databases fold names.
// Each line also has "lineNo", counting from 1.
ReportData readReportData(const db::Connection& connection, const QString& viewName,
                          const QString& orderClause, qint64 billId, const ColumnFormats& formats);

}  // namespace otherin::print
