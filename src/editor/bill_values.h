#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <vector>

#include "bill/bill_draft.h"

namespace otherin::db {
class Connection;
}

namespace otherin::editor {

class BillForm;
struct HeaderField;

// The header fields that hold the bill number and the date; none when the
// layout has no field of that name.
HeaderField* billNumberField(BillForm& form);
const HeaderField* billNumberField(const BillForm& form);
HeaderField* dateField(BillForm& form);
const HeaderField* dateField(const BillForm& form);
QString billNumberText(const BillForm& form);
// The bill's date: the date field's text read as a date (invalid when it is
// not one); today when the layout has no date field.
QDate billDate(const BillForm& form);
// A date as typed into a field or cell (entry::parseTypedDate), or as read
// from the database with a time of day after it; invalid when it is none.
QDate parseDate(const QString& text);
QString dateText(const QDate& date);

using bill::textValue;

// Rows 1 to the last row with data whose item code is not empty.
std::vector<int> billLineRows(const BillForm& form);

// A header column the saves write from a header field. The bill number, the
// date and the operator are written by the saves themselves; a field that is
// neither a look-up nor plain contributes nothing.
struct HeaderValue {
    QString column;
    QVariant value;
};
std::vector<HeaderValue> headerValues(const BillForm& form);

// A grid column stored with each line (insert flag "1"), up to C − 4.
struct StoredColumn {
    int column = 0;
    QString fieldName;
};
std::vector<StoredColumn> storedColumns(const BillForm& form);

// Cell (c, r) as stored: a look-up cell's key, a number (negated on red
// bills in red-flag columns), a trimmed text, or a date (1900-01-01 when the
// text is not one).
QVariant storedValue(const BillForm& form, int c, int r, bool redBill);

}  // namespace otherin::editor
