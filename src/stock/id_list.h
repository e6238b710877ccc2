#pragma once

#include <QList>
#include <QString>
#include <QVariantList>

namespace otherin::stock {

// The journal hands its selection over as internal bill ids joined by commas
// ("12,15,31"). That text reaches SQL only through parseIdList: each piece must
// be a plain non-negative decimal number that fits a 32-bit id, anything else
// (blanks, signs, empty pieces, letters, quotes) raises db::DbError. An empty
// text is an empty selection.
QList<qint32> parseIdList(const QString& text);

// The ids re-formatted for an "in (...)" list: digits and commas only.
QString sqlIdList(const QList<qint32>& ids);

// The ids for an "in (...)" list in a statement: one id as "?" with its value
// to bind, so the statement of a single bill is prepared once and kept; more
// as digits (a long list stays one statement, under the bound values' limits).
struct IdSelection {
    QString list;
    QVariantList values;
};
IdSelection idSelection(const QList<qint32>& ids);

}  // namespace otherin::stock
