#include "editor/bill_values.h"

#include <QRegularExpression>

#include "entry/typed_date.h"

#include <QStringList>
#include <cmath>

#include "db/connection.h"
#include "editor/bill_form.h"

namespace otherin::editor {

namespace {

bool named(const HeaderField& f, const char* name) {
    return f.fieldName.trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

template <typename Form>
auto fieldNamed(Form& form, const char* name) -> decltype(&form.header.front()) {
    for (auto& f : form.header) {
        if (named(f, name)) return &f;
    }
    return nullptr;
}

bool isZeroOrEmpty(const QString& text) {
    const QString t = text.trimmed();
    return t.isEmpty() || t == QLatin1String("0");
}

// Columns the saves write themselves, whatever the layout names.
bool writtenBySave(const HeaderField& f) {
    return named(f, "fbillno") || named(f, "fdate") || named(f, "foperator");
}

// Stored amounts keep the scale of the database's decimal columns, so a
// product like 0.1 × 3 does not land as 0.30000000000000004.
double toScale(double v) {
    const double scale = std::pow(10.0, db::Dialect::kDecimalScale);
    return std::round(v * scale) / scale;
}

}  // namespace

HeaderField* billNumberField(BillForm& form) {
    return fieldNamed(form, "fbillno");
}
const HeaderField* billNumberField(const BillForm& form) {
    return fieldNamed(form, "fbillno");
}
HeaderField* dateField(BillForm& form) {
    return fieldNamed(form, "fdate");
}
const HeaderField* dateField(const BillForm& form) {
    return fieldNamed(form, "fdate");
}

QString billNumberText(const BillForm& form) {
    const HeaderField* f = billNumberField(form);
    return f ? f->text : QString();
}

QDate billDate(const BillForm& form) {
    const HeaderField* f = dateField(form);
    return f ? parseDate(f->text) : QDate::currentDate();
}

QDate parseDate(const QString& text) {
    // A moment read from the database ("2026-12-05 00:00:00") counts by its day.
    QString t = text.trimmed();
    static const QRegularExpression kTimeGap(QStringLiteral("[ T]"));
    if (const qsizetype gap = t.indexOf(kTimeGap); gap > 0)
        t = t.left(gap);
    return entry::parseTypedDate(t).value_or(QDate());
}

QString dateText(const QDate& date) {
    return date.toString(Qt::ISODate);
}

std::vector<int> billLineRows(const BillForm& form) {
    std::vector<int> rows;
    const int itemCode = form.columns.itemCode;
    if (itemCode < 1) return rows;
    const int last = form.grid.lastDataRow();
    for (int r = 1; r <= last; ++r) {
        if (!form.grid.text(itemCode, r).trimmed().isEmpty()) rows.push_back(r);
    }
    return rows;
}

std::vector<HeaderValue> headerValues(const BillForm& form) {
    std::vector<HeaderValue> values;
    for (const HeaderField& f : form.header) {
        if (f.fieldName.trimmed().isEmpty() || writtenBySave(f)) continue;
        if (f.looksUp()) {
            values.push_back({f.fieldName.trimmed(), f.keyValue.trimmed().toLongLong()});
        } else if (isZeroOrEmpty(f.fieldType)) {
            values.push_back({f.fieldName.trimmed(), textValue(f.text)});
        }
    }
    return values;
}

std::vector<StoredColumn> storedColumns(const BillForm& form) {
    std::vector<StoredColumn> columns;
    for (int c = 1; c <= form.warehouseColumn(); ++c) {
        const GridColumn& col = form.grid.column(c);
        if (col.insertFlag.trimmed() == QLatin1String("1") && !col.fieldName.trimmed().isEmpty())
            columns.push_back({c, col.fieldName.trimmed()});
    }
    return columns;
}

QVariant storedValue(const BillForm& form, int c, int r, bool redBill) {
    const LineGrid& grid = form.grid;
    const GridColumn& col = grid.column(c);
    if (col.hasLookup()) return grid.key(c, r).trimmed().toLongLong();
    if (col.format.isNumeric()) {
        const double v = toScale(grid.value(c, r));
        return redBill && col.redFlag.trimmed() == QLatin1String("1") ? -v : v;
    }
    if (col.format.kind == CellKind::Date) {
        const QDate d = parseDate(grid.text(c, r));
        return d.isValid() ? dateText(d) : QStringLiteral("1900-01-01");
    }
    return textValue(grid.text(c, r).trimmed());
}

}  // namespace otherin::editor
