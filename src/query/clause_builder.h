#pragma once

#include <QString>
#include <stdexcept>

namespace otherin::query {

class ConditionGrid;
class SortGrid;

// A condition the user must correct before the query runs; the message says
// which row and why.
class ConditionError : public std::runtime_error {
  public:
    explicit ConditionError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

  private:
    QString message_;
};

// The complete condition rows, joined left to right by their connectors:
// " and ( " first, then " and " / " or ". The parenthesis is left open for the
// statement to close. Empty when no row is complete. Values are made safe:
// texts and dates quoted, numbers parsed and written anew; a value that is
// not what its field type needs raises ConditionError.
QString buildSeekSQL(const ConditionGrid& grid);

// " order by  " and the sort fields joined by ",", each with " desc" when its
// ascending box holds 0. Empty when no sort row has a title.
QString buildOrderSQL(const SortGrid& grid);

// One condition row as SQL: the field and its comparison with the value;
// exposed for the conditions' own tests. Raises ConditionError naming `row`
// (1-based).
QString conditionSQL(const QString& field, const QString& fieldType, const QString& op,
                     const QString& value, int row);

}  // namespace otherin::query
