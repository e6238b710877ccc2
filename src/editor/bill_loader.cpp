#include "editor/bill_loader.h"

#include <QHash>
#include <QStringList>
#include <cmath>

#include "db/connection.h"
#include "db/db_error.h"
#include "editor/bill_form.h"
#include "editor/bill_values.h"
#include "editor/line_checks.h"
#include "entry/login_context.h"

namespace otherin::editor {

namespace {

bool isZeroOrEmpty(const QString& text) {
    const QString t = text.trimmed();
    return t.isEmpty() || t == QLatin1String("0");
}

// Names from the layout become column names of the select; only a plain
// name can be a column of the view, and anything else could change what
// the select means.
bool isPlainName(const QString& name) {
    if (name.isEmpty() || name.front().isDigit()) return false;
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_')) return false;
    }
    return true;
}

// Red bills store these columns negated; the grid shows them as typed.
bool shownUnsigned(const ColumnMap& m, int c) {
    for (const int role : {m.quantity, m.price, m.role7, m.amount, m.role10}) {
        if (role > 0 && role == c) return true;
    }
    return false;
}

// What QVariant::toString() gives, written straight for the integers that
// ids come back as, without the general conversion.
QString textOf(const QVariant& v) {
    if (!v.isNull()) {
        switch (v.typeId()) {
            case QMetaType::Int:
                return QString::number(*static_cast<const int*>(v.constData()));
            case QMetaType::LongLong:
                return QString::number(*static_cast<const qlonglong*>(v.constData()));
            default:
                break;
        }
    }
    return v.toString();
}

QString trimmedText(const db::Query& q, int at) {
    return at < 0 ? QString() : textOf(q.value(at)).trimmed();
}

// A number shown unsigned (times `scale`); a sum of the column then reads
// the cell's number as kept, not its text again, when the text reads back
// as that number.
void setNumber(LineGrid::Cell& cell, double value) {
    bool readsBack = false;
    cell.text = numberText(value, &readsBack);
    cell.number = value;
    cell.numberRead = readsBack;
}

// What the loading reads from the bill view, worked out once from the layout
// before the first row: the select names only the view's columns the editor
// shows, each once, and every row is read by position straight into a row
// of the grid's shape. The driver converts every selected column of every
// row, so a column not selected costs nothing.
class ReadPlan {
  public:
    explicit ReadPlan(const BillForm& form);

    QString select(const QString& view) const {
        // The view's name is this module's constant, never typed.
        return QStringLiteral("select %1 from %2 where finterid=? order by forderid")
            .arg(names_.join(QLatin1Char(',')), view);
    }
    void readHeader(const db::Query& q, LoadedBill& bill) const;
    LineGrid::Row readLine(const db::Query& q) const;
    std::vector<int> storedFormulas() const;
    int status() const { return status_; }
    int red() const { return red_; }
    int version() const { return version_; }

  private:
    enum class Shown { Trimmed, AsStored, Unsigned, Hundredfold };
    struct Read {
        int at = 0;  // grid column or header field index
        Shown shown = Shown::Trimmed;
        bool date = false;  // a header date: shown as the day
        int text = -1;      // positions in the select; -1 for none
        int key = -1;
        int code = -1;
    };

    int column(const QString& name);
    void cell(int c, Shown shown, const QString& text, const QString& key = QString(),
              const QString& code = QString());

    const BillForm& form_;
    QStringList names_;
    QHash<QString, int> positions_;  // lower-case name -> position
    std::vector<Read> header_;
    std::vector<Read> cells_;  // in the order the cells were always filled
    int makerName_ = -1;
    int makerCode_ = -1;
    int checkerName_ = -1;
    int checkerCode_ = -1;
    int status_ = -1;
    int red_ = -1;
    int version_ = -1;
    int lineId_ = -1;
};

int ReadPlan::column(const QString& name) {
    const QString key = name.toLower();
    if (const auto found = positions_.constFind(key); found != positions_.constEnd()) return *found;
    if (!isPlainName(name)) throw db::DbError(QStringLiteral("列 %1 不存在").arg(name));
    names_ << name;
    positions_.insert(key, static_cast<int>(names_.size()) - 1);
    return static_cast<int>(names_.size()) - 1;
}

void ReadPlan::cell(int c, Shown shown, const QString& text, const QString& key,
                    const QString& code) {
    if (c < 1 || c > form_.grid.columns()) return;
    Read r;
    r.at = c;
    r.shown = shown;
    r.text = column(text);
    if (!key.isEmpty()) r.key = column(key);
    if (!code.isEmpty()) r.code = column(code);
    cells_.push_back(r);
}

ReadPlan::ReadPlan(const BillForm& form) : form_(form) {
    for (const HeaderField& f : form.header) {
        const QString name = f.fieldName.trimmed();
        if (name.isEmpty()) continue;
        Read r;
        r.at = f.index;
        if (isZeroOrEmpty(f.fieldType)) {
            r.text = column(name);
            r.date = &f == dateField(form);
        } else if (!f.itemClass.trimmed().isEmpty()) {
            r.text = column(QStringLiteral("Name") + name);
            r.key = column(name);
            r.code = f.fieldType.trimmed() == QLatin1String("5")
                         ? r.text
                         : column(QStringLiteral("Number") + name);
        } else {
            continue;
        }
        header_.push_back(r);
    }
    makerName_ = column(QStringLiteral("fOperatorName"));
    makerCode_ = column(QStringLiteral("fOperator"));
    checkerName_ = column(QStringLiteral("fCheckerName"));
    checkerCode_ = column(QStringLiteral("fchecker"));
    status_ = column(QStringLiteral("fstatus"));
    red_ = column(QStringLiteral("frob"));
    version_ = column(QStringLiteral("fversion"));
    lineId_ = column(QStringLiteral("fentryid"));

    const ColumnMap& m = form.columns;
    const QString itemCode = QStringLiteral("fitemIdNumber");
    cell(m.itemCode, Shown::Trimmed, itemCode, QStringLiteral("fitemid"), itemCode);
    cell(m.itemName, Shown::Trimmed, QStringLiteral("fItemIdname"));
    cell(m.itemModel, Shown::Trimmed, QStringLiteral("fModel"));
    cell(form.unitGroupColumn(), Shown::Trimmed, QStringLiteral("fUnitParentId"));
    cell(form.warehouseColumn(), Shown::Trimmed, QStringLiteral("fItemStockId"));
    for (const StoredColumn& s : storedColumns(form)) {
        const int c = s.column;
        const QString& f = s.fieldName;
        if (c == m.itemCode) continue;
        if (form.grid.column(c).hasLookup()) {
            cell(c, Shown::Trimmed, QStringLiteral("Name") + f, f, QStringLiteral("Number") + f);
        } else if (shownUnsigned(m, c)) {
            cell(c, Shown::Unsigned, f);
        } else if (c == m.role8) {
            cell(c, Shown::Hundredfold, f);
        } else {
            cell(c, Shown::AsStored, f);
        }
    }
}

void ReadPlan::readHeader(const db::Query& q, LoadedBill& bill) const {
    for (const Read& r : header_) {
        QString text = trimmedText(q, r.text);
        // Dates come back as the database keeps them; the field shows the day.
        if (r.date && parseDate(text).isValid()) text = dateText(parseDate(text));
        bill.header.push_back({r.at, text, trimmedText(q, r.key), trimmedText(q, r.code)});
    }
    bill.makerName = trimmedText(q, makerName_);
    bill.makerCode = trimmedText(q, makerCode_);
    bill.checkerName = trimmedText(q, checkerName_);
    bill.checkerCode = trimmedText(q, checkerCode_);
}

LineGrid::Row ReadPlan::readLine(const db::Query& q) const {
    LineGrid::Row row(static_cast<std::size_t>(form_.grid.columns()) + 1);
    row[0].key = trimmedText(q, lineId_);
    for (const Read& r : cells_) {
        LineGrid::Cell& cell = row[static_cast<std::size_t>(r.at)];
        switch (r.shown) {
            case Shown::Trimmed:
                cell.text = trimmedText(q, r.text);
                break;
            case Shown::AsStored:
                cell.text = textOf(q.value(r.text));
                break;
            case Shown::Unsigned:
                setNumber(cell, std::abs(q.value(r.text).toDouble()));
                break;
            case Shown::Hundredfold:
                setNumber(cell, std::abs(q.value(r.text).toDouble()) * 100);
                break;
        }
        cell.key = trimmedText(q, r.key);
        cell.code = trimmedText(q, r.code);
    }
    return row;
}

std::vector<int> ReadPlan::storedFormulas() const {
    std::vector<int> columns;
    for (const Read& r : cells_) {
        if (form_.grid.column(r.at).formula) columns.push_back(r.at);
    }
    return columns;
}

}  // namespace

QString billSelect(const entry::LoginContext& ctx, const BillForm& form) {
    return ReadPlan(form).select(ctx.gViewName);
}

std::optional<LoadedBill> readBill(entry::LoginContext& ctx, const BillForm& form) {
    const ReadPlan plan(form);
    entry::ConnectionScope connection(ctx);
    db::Query q = ctx.gConnection.prepare(plan.select(ctx.gViewName));
    q.bind(ctx.gCurrentInterId).exec();
    if (!q.next()) return std::nullopt;
    LoadedBill bill;
    bill.storedFormulas = plan.storedFormulas();
    plan.readHeader(q, bill);
    // The header's columns stand alike on every line of the view.
    bill.status = q.value(plan.status()).toInt();
    bill.red = q.value(plan.red()).toInt();
    bill.version = q.value(plan.version()).toInt();
    do {
        bill.rows.push_back(plan.readLine(q));
    } while (q.next());
    return bill;
}

void showBill(entry::LoginContext& ctx, BillForm& form, LoadedBill& bill) {
    ctx.gLoadingBill = 1;
    for (const LoadedValue& v : bill.header) {
        if (HeaderField* f = form.headerField(v.at)) {
            f->text = v.text;
            f->keyValue = v.key;
            f->code = v.code;
        }
    }
    form.grid.replaceRows(std::move(bill.rows), bill.storedFormulas);
    bill.rows.clear();
    ctx.gLoadingBill = 0;
    // The strip shows the sums of the bill on screen, never those of the last.
    showSums(form);
}

}  // namespace otherin::editor
