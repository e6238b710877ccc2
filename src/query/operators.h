#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace otherin::query {

// The kind of value cell a condition row offers, chosen by its field type.
enum class ValueKind {
    None,      // no field chosen
    Number,    // starts at 0
    Text,      // starts empty
    TextPick,  // text with a picker: the field has base data behind it
    Date,      // starts at today's date
};

// The operators offered for one field type: display texts and, at the same
// index, their SQL texts.
struct OperatorFamily {
    QStringList display;
    QStringList sql;
};

// The family of field type "1", "2" or "3"; empty for any other type.
const OperatorFamily& operatorFamily(const QString& fieldType);

ValueKind valueKindOf(const QString& fieldType, const QString& itemClass);

// The value a fresh value cell of the kind shows; `today` as yyyy-MM-dd.
QString initialValue(ValueKind kind, const QString& today);

// Whether an item class names base data: neither empty nor a number equal to 0.
bool hasItemClass(const QString& itemClass);

// A number condition's value as the statement writes it: parsed and written
// anew, the empty text counting as 0. None when the text is not a plain
// decimal number: nothing of it may reach the statement.
std::optional<QString> numberLiteral(const QString& value);

// What the user is told when row `row` (from 1) holds a number value that is
// not one.
QString numberRefusal(int row, const QString& value);

// What the user is told when the value of row `row` (from 1) holds a control
// character; the value itself is not quoted, as it would not show.
QString controlCharacterRefusal(int row);

// Whether the operator compares the row's value; "为空" and "不为空" do not.
bool comparesValue(const QString& fieldType, const QString& op);

}  // namespace otherin::query
