#include "editor/layout_builder.h"

#include <vector>

#include "db/db_error.h"
#include "editor/bill_form.h"
#include "entry/edit_mode.h"
#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::editor {

namespace {

constexpr int kRowCountSetting = 68;
constexpr int kRowHeightSetting = 69;
constexpr int kHiddenColumns = 5;
constexpr double kLargestAmount = 9999999999.0;

QString textOr(const db::Query& q, const char* column, const QString& whenNull) {
    const QVariant v = q.value(QString::fromLatin1(column));
    return v.isNull() ? whenNull : v.toString();
}

int intOf(const db::Query& q, const char* column, int whenNull = 0) {
    const QVariant v = q.value(QString::fromLatin1(column));
    return v.isNull() ? whenNull : v.toString().trimmed().toInt();
}

// One row of tblBillInfoEntry, NULLs already read as the layout means them.
struct ColumnRow {
    int col = 0;
    QString caption;
    double width = 0;
    QString fieldName;
    QString fieldType;
    int type = 0;
    int decimals = 0;
    bool multiRows = false;
    QString lookupKind;
    bool locked = false;
    QString formula;
    QString insertFlag;
    QString role;
    bool isSum = false;
    QString redFlag;
    QString canNull;
    bool hidden = false;
};

void readGridSize(entry::LoginContext& ctx, BillForm& form) {
    db::Query q = ctx.gConnection.prepare(
        QStringLiteral("select fvalue,ftypeid from tblSystemInfo where fTypeId in (68,69)"));
    q.exec();
    while (q.next()) {
        bool numeric = false;
        const double value = textOr(q, "fvalue", QString()).trimmed().toDouble(&numeric);
        if (!numeric) continue;
        const int type = intOf(q, "ftypeid");
        if (type == kRowCountSetting && value >= 1 && value <= 32767) {
            form.grid.reshape(form.grid.columns(), static_cast<int>(value));
        } else if (type == kRowHeightSetting) {
            form.grid.setRowHeight(value);
        }
    }
}

QString readHiddenFields(entry::LoginContext& ctx) {
    db::Query q = ctx.gConnection.prepare(
        QStringLiteral("select fFieldName from tblEntryVisible where ftypeid=? and fbilltypeid=1"
                       " and fuserid=?"));
    q.bind(ctx.gBillTypeId).bind(ctx.gLoginUserId).exec();
    QString list;
    while (q.next()) list += QLatin1Char(',') + textOr(q, "fFieldName", QString());
    if (!list.isEmpty()) list += QLatin1Char(',');
    return list;
}

void readHeader(entry::LoginContext& ctx, BillForm& form) {
    db::Query q = ctx.gConnection.prepare(
        QStringLiteral("select * from tblBillInfo where ftypeid=? order by findex"));
    q.bind(ctx.gBillTypeId).exec();
    while (q.next()) {
        HeaderField f;
        f.index = intOf(q, "fIndex");
        f.visible = intOf(q, "fisvisible") == 1;
        f.caption = textOr(q, "fcaption", QString());
        f.left = q.value(QStringLiteral("fLeft")).toFloat();
        f.top = q.value(QStringLiteral("ftop")).toFloat();
        f.width = q.value(QStringLiteral("fwidth")).toFloat();
        f.tabOrder = intOf(q, "ftabindex");
        f.fieldName = textOr(q, "FFieldName", QString());
        f.itemClass = textOr(q, "fItemclassid", QString());
        f.fieldType = textOr(q, "fFieldType", QString());
        f.canBeEmpty = intOf(q, "fCanNull") == 1;
        if (f.tabOrder == 0) {
            f.carriesLookupImage = true;
            form.lookupImage = lookupImageBeside(f, form.lookupImage.visible);
        }
        if (HeaderField* existing = form.headerField(f.index)) {
            *existing = f;
        } else {
            form.header.push_back(f);
        }
    }
}

std::vector<ColumnRow> readColumns(entry::LoginContext& ctx) {
    db::Query q = ctx.gConnection.prepare(
        QStringLiteral("select * from tblBillInfoEntry where ftypeid=? order by fcol"));
    q.bind(ctx.gBillTypeId).exec();
    std::vector<ColumnRow> rows;
    while (q.next()) {
        ColumnRow r;
        r.col = intOf(q, "fcol");
        r.caption = textOr(q, "fcaption", QString());
        r.width = q.value(QStringLiteral("fwidth")).toDouble();
        r.fieldName = textOr(q, "FFieldName", QString());
        r.fieldType = textOr(q, "fFieldType", QStringLiteral("0"));
        r.type = intOf(q, "fType");
        r.decimals = intOf(q, "fNumberDec");
        r.multiRows = intOf(q, "fismultirows") == 1;
        r.lookupKind = textOr(q, "fcolid", QString()).trimmed();
        r.locked = intOf(q, "fislock") == 1;
        r.formula = textOr(q, "FFormula", QString()).trimmed();
        r.insertFlag = textOr(q, "fisinsert", QStringLiteral("0"));
        r.role = textOr(q, "fsystemTypeid", QString()).trimmed();
        r.isSum = intOf(q, "fIsSum") == 1;
        r.redFlag = textOr(q, "fIsRed", QStringLiteral("0"));
        r.canNull = textOr(q, "fCanNull", QStringLiteral("1"));
        r.hidden = !q.value(QStringLiteral("fisvisible")).isNull() && intOf(q, "fisvisible") == 0;
        rows.push_back(r);
    }
    return rows;
}

void applyType(GridColumn& column, const ColumnRow& row) {
    switch (row.type) {
        case 1:
            column.format = column.stripFormat = CellFormat::of(CellKind::Number);
            break;
        case 2:
            column.format = column.stripFormat = CellFormat::of(CellKind::Number, row.decimals);
            break;
        case 3:
            column.format = CellFormat::of(CellKind::Text);
            column.format.multiLine = row.multiRows;
            break;
        case 4:
            column.format = column.stripFormat = CellFormat::of(CellKind::Currency, row.decimals);
            break;
        case 6:
            column.format = CellFormat::of(CellKind::Date);
            break;
        case 7:
            column.format = CellFormat::of(CellKind::Percent);
            column.format.min = 0.0;
            column.format.max = 100.0;
            break;
        default:
            break;
    }
}

void applyColumn(BillForm& form, const ColumnRow& row) {
    const int n = row.col;
    GridColumn& column = form.grid.column(n);
    column.caption = row.caption;
    column.width = row.width;
    if (row.hidden ||
        form.hiddenFieldList.contains(QLatin1Char(',') + row.fieldName + QLatin1Char(',')))
        column.hidden = true;
    column.fieldName = column.fieldName.isEmpty()
                           ? row.fieldName
                           : column.fieldName + QLatin1Char(',') + row.fieldName;
    column.fieldType = row.fieldType;
    if (row.isSum) form.sumColumnList += QString::number(n) + QLatin1Char(',');
    column.redFlag = row.redFlag;
    column.canNull = row.canNull;
    applyType(column, row);
    if (!row.lookupKind.isEmpty() && row.lookupKind != QStringLiteral("0"))
        column.lookupKind = row.lookupKind;
    column.locked = row.locked;
    if (!row.formula.isEmpty()) column.formula = Formula::parse(row.formula);
    if (row.insertFlag != QStringLiteral("0")) column.insertFlag = row.insertFlag;

    bool numeric = false;
    const int role = row.role.toInt(&numeric);
    if (!numeric || !form.columns.record(role, n)) return;
    if (role == 9 || role == 10) {
        column.format.min = 0.0;
        column.format.max = kLargestAmount;
    }
}

void buildColumns(entry::LoginContext& ctx, BillForm& form) {
    const std::vector<ColumnRow> rows = readColumns(ctx);
    form.columnCount = static_cast<int>(rows.size()) + kHiddenColumns;
    form.grid.reshape(form.columnCount, form.grid.rows());
    for (int c = form.columnCount - 4; c <= form.columnCount; ++c)
        form.grid.column(c).hidden = true;
    form.sumColumnList = QStringLiteral(",");
    // A column number outside the layout's own columns would overwrite the
    // hidden per-line columns; such rows are left out.
    for (const ColumnRow& row : rows) {
        if (row.col >= 1 && row.col <= form.columnCount - kHiddenColumns) applyColumn(form, row);
    }
}

void applyAmountFormula(BillForm& form) {
    const ColumnMap& m = form.columns;
    if (m.amount > 0 && m.quantity > 0 && m.price > 0)
        form.grid.column(m.amount).formula = Formula::product(m.quantity, m.price);
}

// The split quantity goes right after the quantity. Every later column moves
// right, and so do the roles and C, so that each role keeps naming its data.
void addSplitColumn(BillForm& form) {
    const int quantity = form.columns.quantity;
    if (quantity < 1) return;
    const GridColumn& source = form.grid.column(quantity);
    GridColumn split;
    split.caption = QStringLiteral("拆分数量");
    split.width = source.width;
    split.format = source.format;
    split.stripFormat = source.stripFormat;
    form.grid.insertColumn(quantity + 1, split);
    form.columns.shiftFrom(quantity + 1);
    form.columnCount += 1;
    form.splitColumn = quantity + 1;
    form.sumColumnList = QStringLiteral(",%1,%2,").arg(quantity).arg(quantity + 1);
}

}  // namespace

bool buildLayout(entry::LoginContext& ctx, entry::Prompter& prompter, BillForm& form) {
    try {
        entry::ConnectionScope connection(ctx);
        LineGrid::BulkChange bulk(form.grid);
        readGridSize(ctx, form);
        if (!ctx.IsAdmin) form.hiddenFieldList = readHiddenFields(ctx);
        readHeader(ctx, form);
        buildColumns(ctx, form);
        applyAmountFormula(form);
        if (ctx.gEditMode == entry::kModeSplit) addSplitColumn(form);
        return true;
    } catch (const db::DbError& e) {
        prompter.message(e.message(), entry::Icon::None, ctx.msgTitle);
        entry::closeConnection(ctx);
        return false;
    }
}

}  // namespace otherin::editor
