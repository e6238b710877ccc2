#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace otherin::editor {

// The letter that names column n in formulas ("A" for 1); empty past "Z".
QString columnLetter(int n);

// An arithmetic expression over the cells of one grid row: numbers, column
// references written as a letter and "#" (E# is column E of the row), the
// four operators (* and / or × and ÷), unary signs and parentheses.
class Formula {
  public:
    // None when the text is not such an expression.
    static std::optional<Formula> parse(const QString& text);
    // left# * right#, built from column numbers so it also works past "Z".
    static Formula product(int left, int right);

    // None when the result has no value (a division by zero).
    std::optional<double> evaluate(const std::function<double(int column)>& cell) const;

    bool refersTo(int column) const;
    // A column was inserted before `from`: references from there on move by `by`.
    void shiftColumns(int from, int by);
    QString text() const;

  private:
    struct Token {
        enum Kind { Number, Reference, Operator, Open, Close } kind = Number;
        QString source;
        double number = 0;
        int column = 0;
        QChar op;

        static Token of(Kind kind, const QString& source, double number = 0, int column = 0,
                        QChar op = QChar()) {
            Token t;
            t.kind = kind;
            t.source = source;
            t.number = number;
            t.column = column;
            t.op = op;
            return t;
        }
    };
    struct Step {
        enum Kind { Push, Load, Add, Subtract, Multiply, Divide, Negate } kind;
        double number = 0;
        int column = 0;
    };
    class Parser;

    std::vector<Token> tokens_;
    std::vector<Step> program_;  // the expression in postfix order
};

}  // namespace otherin::editor
