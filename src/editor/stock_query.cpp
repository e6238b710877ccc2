#include "editor/stock_query.h"

#include <utility>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/sql_text.h"
#include "editor/bill_form.h"
#include "editor/line_checks.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "entry/permission.h"
#include "entry/prompter.h"
#include "entry/selectors.h"

namespace otherin::editor {

namespace {

const QString kItemColumn = QStringLiteral("fItemNumber");
const QString kStockColumn = QStringLiteral("fStockNumber");

// Reads the conditions one by one: "and", a column, "like", a quoted literal
// with its quotes doubled.
class ConditionReader {
  public:
    explicit ConditionReader(const QString& text) : text_(text) {}

    std::optional<StockFilter> read() {
        StockFilter filter;
        bool item = false;
        bool stock = false;
        while (skipSpaces()) {
            if (!word(QStringLiteral("and"))) return std::nullopt;
            const bool isItem = word(kItemColumn);
            if (!isItem && !word(kStockColumn)) return std::nullopt;
            bool& seen = isItem ? item : stock;
            if (seen || !word(QStringLiteral("like"))) return std::nullopt;
            auto literal = quoted();
            if (!literal) return std::nullopt;
            seen = true;
            (isItem ? filter.itemPattern : filter.stockPattern) = *literal;
        }
        return filter;
    }

  private:
    bool skipSpaces() {
        while (pos_ < text_.size() && text_[pos_].isSpace()) ++pos_;
        return pos_ < text_.size();
    }
    // A whole word, case aside, followed by a space or a quote.
    bool word(const QString& w) {
        skipSpaces();
        if (text_.mid(pos_, w.size()).compare(w, Qt::CaseInsensitive) != 0) return false;
        const qsizetype end = pos_ + w.size();
        if (end >= text_.size() || !(text_[end].isSpace() || text_[end] == QLatin1Char('\''))) {
            return false;
        }
        pos_ = end;
        return true;
    }
    std::optional<QString> quoted() {
        skipSpaces();
        if (pos_ >= text_.size() || text_[pos_] != QLatin1Char('\'')) return std::nullopt;
        QString out;
        for (++pos_; pos_ < text_.size(); ++pos_) {
            if (text_[pos_] != QLatin1Char('\'')) {
                out += text_[pos_];
            } else if (pos_ + 1 < text_.size() && text_[pos_ + 1] == QLatin1Char('\'')) {
                out += QLatin1Char('\'');
                ++pos_;
            } else {
                ++pos_;
                return out;
            }
        }
        return std::nullopt;
    }

    const QString& text_;
    qsizetype pos_ = 0;
};

}  // namespace

StockFilter StockFilter::containing(const QString& itemCode, const QString& stockCode) {
    const auto pattern = [](const QString& code) {
        return code.isEmpty() ? QString() : QLatin1Char('%') + code + QLatin1Char('%');
    };
    return {pattern(itemCode), pattern(stockCode)};
}

QString stockCondition(const StockFilter& filter) {
    QString condition;
    if (!filter.itemPattern.isEmpty()) {
        condition += QStringLiteral(" and fItemNumber like ") + db::quoteText(filter.itemPattern) +
                     QLatin1Char(' ');
    }
    if (!filter.stockPattern.isEmpty()) {
        condition += QStringLiteral(" and fStockNumber like  ") +
                     db::quoteText(filter.stockPattern) + QLatin1Char(' ');
    }
    return condition;
}

std::optional<StockFilter> parseStockCondition(const QString& condition) {
    return ConditionReader(condition).read();
}

std::vector<StockRow> queryStock(const db::Connection& connection, const StockFilter& filter) {
    QString sql = QStringLiteral(
        "select coalesce(s.fnumber,'') as fStockNumber,coalesce(s.fname,'') as fStockName,"
        "coalesce(i.fNumber,'') as fItemNumber,coalesce(i.fname,'') as fItemName,"
        "coalesce(i.fmodel,'') as fModel,coalesce(u.fname,'') as fUnitName,t.fbatchno,"
        "coalesce(p.fname,'') as fStockPlaceName,t.fqty,t.famount"
        " from tblTimeStock as t"
        " left outer join icitem as i on i.fitemid=t.fitemid"
        " left outer join tblStock as s on s.fitemid=t.fstockid"
        " left outer join tblMeasureUnit as u on u.fitemid=t.funitid"
        " left outer join tblItem as p on p.fitemid=t.fStockPlace and p.fitemclassid=8"
        " where 1=1");
    QVariantList values;
    if (!filter.itemPattern.isEmpty()) {
        sql += QStringLiteral(" and coalesce(i.fNumber,'') like ?");
        values << filter.itemPattern;
    }
    if (!filter.stockPattern.isEmpty()) {
        sql += QStringLiteral(" and coalesce(s.fnumber,'') like ?");
        values << filter.stockPattern;
    }
    sql += QStringLiteral(" order by fStockNumber,fItemNumber,t.fbatchno");
    db::Query q = connection.prepare(sql);
    for (const QVariant& v : values) q.bind(v);
    q.exec();
    std::vector<StockRow> rows;
    while (q.next()) {
        rows.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                        q.value(3).toString(), q.value(4).toString(), q.value(5).toString(),
                        q.value(6).toString(), q.value(7).toString(), q.value(8).toDouble(),
                        q.value(9).toDouble()});
    }
    return rows;
}

bool stockQueryCommand(entry::LoginContext& ctx, entry::Prompter& prompter, const BillForm& form,
                       bool gridFocused, int activeRow, entry::StockQueryViewer& viewer) {
    try {
        if (!entry::hasRight(ctx, prompter, QStringLiteral("R10"))) return false;
    } catch (const db::DbError& e) {
        entry::reportError(ctx, prompter, e.message());
        return false;
    }
    QString stockCode;
    QString stockField;
    if (const HeaderField* warehouse = form.headerField(3);
        warehouse && !warehouse->text.isEmpty()) {
        stockCode = warehouse->code;
        stockField = captionStem(warehouse->caption);
    }
    QString itemCode;
    QString itemField;
    if (gridFocused && form.columns.itemCode > 0) {
        itemCode = form.grid.text(form.columns.itemCode, activeRow).trimmed();
        itemField = cellName(form, form.columns.itemCode, activeRow);
    }
    // A pasted control character would end up in the window's patterns.
    const std::pair<QString, QString> codes[] = {{itemCode, itemField}, {stockCode, stockField}};
    for (const auto& [code, field] : codes) {
        if (!db::holdsControlCharacter(code)) continue;
        prompter.message(db::controlCharacterRefusal(field), entry::Icon::Exclamation,
                         ctx.msgTitle);
        return false;
    }
    viewer.show(stockCondition(StockFilter::containing(itemCode, stockCode)), 1);
    return true;
}

}  // namespace otherin::editor
