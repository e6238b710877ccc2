#include "editor/formula.h"

#include <cmath>

namespace otherin::editor {

QString columnLetter(int n) {
    if (n < 1 || n > 26) return QString();
    return QString(QChar(QLatin1Char('A').unicode() + n - 1));
}

namespace {

QChar canonicalOperator(QChar c) {
    if (c == QChar(0x00D7)) return QLatin1Char('*');  // ×
    if (c == QChar(0x00F7)) return QLatin1Char('/');  // ÷
    if (c == QChar(0x2212)) return QLatin1Char('-');  // −
    return c;
}

bool isOperator(QChar c) {
    return c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('*') ||
           c == QLatin1Char('/');
}

}  // namespace

// Recursive descent over the tokens, writing the postfix program:
//   expr   := term (("+" | "-") term)*
//   term   := factor (("*" | "/") factor)*
//   factor := ("+" | "-") factor | number | reference | "(" expr ")"
class Formula::Parser {
  public:
    Parser(const std::vector<Token>& tokens, std::vector<Step>& out) : tokens_(tokens), out_(out) {}

    bool run() { return expression() && pos_ == tokens_.size(); }

  private:
    bool atOperator(char a, char b) const {
        if (pos_ >= tokens_.size() || tokens_[pos_].kind != Token::Operator) return false;
        const QChar op = tokens_[pos_].op;
        return op == QLatin1Char(a) || op == QLatin1Char(b);
    }

    bool expression() {
        if (!term()) return false;
        while (atOperator('+', '-')) {
            const bool add = tokens_[pos_++].op == QLatin1Char('+');
            if (!term()) return false;
            out_.push_back({add ? Step::Add : Step::Subtract});
        }
        return true;
    }

    bool term() {
        if (!factor()) return false;
        while (atOperator('*', '/')) {
            const bool multiply = tokens_[pos_++].op == QLatin1Char('*');
            if (!factor()) return false;
            out_.push_back({multiply ? Step::Multiply : Step::Divide});
        }
        return true;
    }

    bool factor() {
        if (pos_ >= tokens_.size()) return false;
        const Token& t = tokens_[pos_];
        if (atOperator('+', '-')) {
            ++pos_;
            if (!factor()) return false;
            if (t.op == QLatin1Char('-')) out_.push_back({Step::Negate});
            return true;
        }
        ++pos_;
        switch (t.kind) {
            case Token::Number:
                out_.push_back({Step::Push, t.number});
                return true;
            case Token::Reference:
                out_.push_back({Step::Load, 0, t.column});
                return true;
            case Token::Open:
                if (!expression() || pos_ >= tokens_.size()) return false;
                return tokens_[pos_++].kind == Token::Close;
            default:
                return false;
        }
    }

    const std::vector<Token>& tokens_;
    std::vector<Step>& out_;
    std::size_t pos_ = 0;
};

std::optional<Formula> Formula::parse(const QString& text) {
    Formula f;
    int i = 0;
    while (i < text.size()) {
        const QChar c = canonicalOperator(text.at(i));
        if (c.isSpace()) {
            ++i;
        } else if (isOperator(c)) {
            f.tokens_.push_back(Token::of(Token::Operator, QString(c), 0, 0, c));
            ++i;
        } else if (c == QLatin1Char('(') || c == QLatin1Char(')')) {
            f.tokens_.push_back(
                Token::of(c == QLatin1Char('(') ? Token::Open : Token::Close, QString(c)));
            ++i;
        } else if (c.isDigit() || c == QLatin1Char('.')) {
            int end = i;
            while (end < text.size() &&
                   (text.at(end).isDigit() || text.at(end) == QLatin1Char('.')))
                ++end;
            bool ok = false;
            const QString source = text.mid(i, end - i);
            const double value = source.toDouble(&ok);
            if (!ok) return std::nullopt;
            f.tokens_.push_back(Token::of(Token::Number, source, value));
            i = end;
        } else if (c.toUpper() >= QLatin1Char('A') && c.toUpper() <= QLatin1Char('Z') &&
                   i + 1 < text.size() && text.at(i + 1) == QLatin1Char('#')) {
            const int column = c.toUpper().unicode() - QLatin1Char('A').unicode() + 1;
            f.tokens_.push_back(Token::of(Token::Reference, QString(), 0, column));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    if (f.tokens_.empty() || !Parser(f.tokens_, f.program_).run()) return std::nullopt;
    return f;
}

Formula Formula::product(int left, int right) {
    Formula f;
    f.tokens_ = {Token::of(Token::Reference, QString(), 0, left),
                 Token::of(Token::Operator, QStringLiteral("*"), 0, 0, QLatin1Char('*')),
                 Token::of(Token::Reference, QString(), 0, right)};
    f.program_ = {{Step::Load, 0, left}, {Step::Load, 0, right}, {Step::Multiply}};
    return f;
}

std::optional<double> Formula::evaluate(const std::function<double(int column)>& cell) const {
    std::vector<double> stack;
    for (const Step& s : program_) {
        if (s.kind == Step::Push || s.kind == Step::Load) {
            stack.push_back(s.kind == Step::Push ? s.number : cell(s.column));
            continue;
        }
        if (s.kind == Step::Negate) {
            stack.back() = -stack.back();
            continue;
        }
        const double right = stack.back();
        stack.pop_back();
        double& left = stack.back();
        switch (s.kind) {
            case Step::Add:
                left += right;
                break;
            case Step::Subtract:
                left -= right;
                break;
            case Step::Multiply:
                left *= right;
                break;
            default:
                if (right == 0) return std::nullopt;
                left /= right;
                break;
        }
    }
    if (stack.size() != 1 || !std::isfinite(stack.back())) return std::nullopt;
    return stack.back();
}

bool Formula::refersTo(int column) const {
    for (const Step& s : program_) {
        if (s.kind == Step::Load && s.column == column) return true;
    }
    return false;
}

void Formula::shiftColumns(int from, int by) {
    for (Token& t : tokens_) {
        if (t.kind == Token::Reference && t.column >= from) t.column += by;
    }
    for (Step& s : program_) {
        if (s.kind == Step::Load && s.column >= from) s.column += by;
    }
}

QString Formula::text() const {
    QString out;
    for (const Token& t : tokens_) {
        out += t.kind == Token::Reference ? columnLetter(t.column) + QLatin1Char('#') : t.source;
    }
    return out;
}

}  // namespace otherin::editor
