#include "editor/line_grid.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "entry/conversions.h"

namespace otherin::editor {

// The shortest digits that read back as `value` decide: with at most 15 of
// them (and a normal value) they are also the value rounded to 15 digits,
// so they are laid out as printf's %.15g lays them out (fixed from 1e-4 to
// below 1e15, otherwise as the shortest form already is), which is what Qt
// writes too. Anything else is left to Qt.
QString numberText(double value, bool* readsBack) {
    if (readsBack) *readsBack = false;
    if (value == 0) {
        if (readsBack) *readsBack = true;
        return QStringLiteral("0");
    }
    if (std::isnormal(value)) {
        char shortest[32];
        const auto end = std::to_chars(shortest, shortest + sizeof shortest, value,
                                       std::chars_format::scientific);
        if (end.ec == std::errc()) {
            const char* p = shortest;
            const bool negative = *p == '-';
            if (negative) ++p;
            char digits[20];  // a double's shortest form has at most 17
            int count = 0;
            for (; p != end.ptr && *p != 'e'; ++p) {
                if (*p != '.') digits[count++] = *p;
            }
            if (count <= 15) {
                if (readsBack) *readsBack = true;
                const bool below = p[1] == '-';
                int exponent = 0;
                std::from_chars(p + 2, end.ptr, exponent);
                if (below) exponent = -exponent;
                if (exponent < -4 || exponent >= 15)
                    return QString::fromLatin1(shortest,
                                               static_cast<qsizetype>(end.ptr - shortest));
                char out[40];
                int n = 0;
                if (negative) out[n++] = '-';
                if (exponent < 0) {
                    out[n++] = '0';
                    out[n++] = '.';
                    for (int z = -1; z > exponent; --z) out[n++] = '0';
                    for (int i = 0; i < count; ++i) out[n++] = digits[i];
                } else {
                    for (int i = 0; i <= exponent; ++i) out[n++] = i < count ? digits[i] : '0';
                    if (count > exponent + 1) {
                        out[n++] = '.';
                        for (int i = exponent + 1; i < count; ++i) out[n++] = digits[i];
                    }
                }
                return QString::fromLatin1(out, n);
            }
        }
    }
    return QString::number(value, 'g', 15);
}

LineGrid::LineGrid(QObject* parent) : QAbstractTableModel(parent) {}

LineGrid::BulkChange::BulkChange(LineGrid& grid) : grid_(grid) {
    grid_.beginBulk();
}

LineGrid::BulkChange::~BulkChange() {
    grid_.endBulk();
}

void LineGrid::beginBulk() {
    if (bulk_++ == 0) beginResetModel();
}

void LineGrid::endBulk() {
    if (--bulk_ > 0) return;
    endResetModel();
    if (reshaped_) {
        reshaped_ = false;
        emit columnsReshaped();
    }
}

void LineGrid::reshape(int columns, int rows) {
    BulkChange bulk(*this);
    columns_.assign(static_cast<std::size_t>(std::max(columns, 0)) + 1, GridColumn());
    rows_.assign(static_cast<std::size_t>(std::max(rows, 0)), std::vector<Cell>(columns_.size()));
    currentRow_ = 0;
    reshaped_ = true;
    forgetIndexes();
}

const GridColumn& LineGrid::column(int c) const {
    if (c < 0 || c > columns()) return spare_;
    return columns_[static_cast<std::size_t>(c)];
}

GridColumn& LineGrid::column(int c) {
    if (c < 0 || c > columns()) {
        spare_ = GridColumn();
        return spare_;
    }
    return columns_[static_cast<std::size_t>(c)];
}

void LineGrid::insertColumn(int at, const GridColumn& column) {
    if (at < 1 || at > columns() + 1) return;
    if (bulk_ == 0) beginInsertColumns(QModelIndex(), at - 1, at - 1);
    for (GridColumn& c : columns_) {
        if (c.formula) c.formula->shiftColumns(at, 1);
    }
    columns_.insert(columns_.begin() + at, column);
    for (auto& row : rows_) row.insert(row.begin() + at, Cell());
    forgetIndexes();
    if (bulk_ == 0) {
        endInsertColumns();
        emit columnsReshaped();
    } else {
        reshaped_ = true;
    }
}

void LineGrid::setColumnWidth(int c, double twips) {
    if (c < 1 || c > columns()) return;
    column(c).width = twips;
    if (bulk_ > 0) return;
    emit headerDataChanged(Qt::Horizontal, c - 1, c - 1);
    emit columnWidthChanged(c);
}

void LineGrid::setColumnLocked(int c, bool locked) {
    if (c < 1 || c > columns() || column(c).locked == locked) return;
    column(c).locked = locked;
    if (bulk_ == 0 && rows() > 0) emit dataChanged(index(0, c - 1), index(rows() - 1, c - 1));
}

LineGrid::Cell* LineGrid::cell(int c, int r) {
    return valid(c, r) ? &rows_[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c)]
                       : nullptr;
}

const LineGrid::Cell* LineGrid::cell(int c, int r) const {
    return valid(c, r) ? &rows_[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c)]
                       : nullptr;
}

QString LineGrid::text(int c, int r) const {
    if (r == 0) return column(c).caption;
    const Cell* x = cell(c, r);
    if (!x) return QString();
    const GridColumn& col = column(c);
    if ((col.format.showsDecimals() || col.formula) && !x->text.trimmed().isEmpty()) {
        bool ok = false;
        const double v = x->text.trimmed().toDouble(&ok);
        if (ok) return entry::plainNumber(v, col.format.decimals);
    }
    return x->text;
}

QString LineGrid::shownText(int c, int r) const {
    const GridColumn& col = column(c);
    if (r == 0 || !(col.format.showsDecimals() || col.formula)) return text(c, r);
    const QString plain = text(c, r);
    bool ok = false;
    plain.toDouble(&ok);
    return ok ? entry::groupThousands(plain) : plain;
}

double LineGrid::value(int c, int r) const {
    const Cell* x = cell(c, r);
    if (!x) return 0.0;
    if (!x->numberRead) {
        x->number = entry::toDouble(x->text);
        x->numberRead = true;
    }
    return x->number;
}

bool LineGrid::isBlankCell(int c, int r) const {
    const Cell* x = cell(c, r);
    return !x || isBlank(x->text);
}

QString LineGrid::key(int c, int r) const {
    if (r == 0) return column(c).fieldType;
    const Cell* x = cell(c, r);
    return x ? x->key : QString();
}

QString LineGrid::code(int c, int r) const {
    if (r == 0) return column(c).fieldName;
    const Cell* x = cell(c, r);
    return x ? x->code : QString();
}

void LineGrid::setText(int c, int r, const QString& text) {
    storeText(c, r, text, 0);
}

void LineGrid::setNumber(int c, int r, double value) {
    storeText(c, r, numberText(value), 0);
}

void LineGrid::setKey(int c, int r, const QString& key) {
    if (r == 0 && c >= 1 && c <= columns()) {
        column(c).fieldType = key;
    } else if (Cell* x = cell(c, r); x && x->key != key) {
        aboutToChange(r);
        x->key = key;
        announce(c, r);
    }
}

void LineGrid::setCode(int c, int r, const QString& code) {
    if (r == 0 && c >= 1 && c <= columns()) {
        column(c).fieldName = code;
    } else if (Cell* x = cell(c, r); x && x->code != code) {
        aboutToChange(r);
        x->code = code;
        announce(c, r);
    }
}

void LineGrid::setCell(int c, int r, const QString& text, const QString& key, const QString& code) {
    setKey(c, r, key);
    setCode(c, r, code);
    setText(c, r, text);
}

void LineGrid::clearCell(int c, int r) {
    setCell(c, r, QString(), QString(), QString());
}

void LineGrid::storeText(int c, int r, const QString& text, int depth) {
    Cell* x = cell(c, r);
    if (!x || x->text == text) return;
    aboutToChange(r);
    indexText(c, r, x->text, text);
    x->text = text;
    x->numberRead = false;
    announce(c, r);
    recompute(c, r, depth);
}

// Formula cells of row r that name the changed column follow it; a chain of
// formulas is followed as far as there are columns, so a cycle ends.
void LineGrid::recompute(int changed, int r, int depth) {
    if (changed < 1 || depth > columns()) return;
    for (int f = 1; f <= columns(); ++f) {
        const GridColumn& col = column(f);
        if (f == changed || !col.formula || !col.formula->refersTo(changed)) continue;
        if (std::find(storedFormulas_.begin(), storedFormulas_.end(), f) != storedFormulas_.end())
            continue;
        const auto result = col.formula->evaluate([&](int n) { return value(n, r); });
        storeText(f, r, result ? numberText(*result) : QString(), depth + 1);
    }
}

bool LineGrid::userEdit(int c, int r, const QString& typed) {
    if (readOnly_ || c < 1 || !valid(c, r) || column(c).locked) return false;
    const auto stored = normaliseInput(column(c).format, typed);
    if (!stored) {
        emit inputRefused(c, r, typed);
        return false;
    }
    if (cell(c, r)->text == *stored) return true;
    setText(c, r, *stored);
    emit cellEdited(c, r);
    return true;
}

int LineGrid::lastDataRow() const {
    for (int r = rows(); r >= 1; --r) {
        for (int c = 1; c <= columns(); ++c) {
            if (!cell(c, r)->text.isEmpty()) return r;
        }
    }
    return 0;
}

double LineGrid::columnSum(int c) const {
    if (c < 1 || c > columns()) return 0;
    auto found = sums_.find(c);
    if (found == sums_.end()) {
        std::vector<double> values;
        values.reserve(rows_.size());
        for (int r = 1; r <= rows(); ++r) values.push_back(value(c, r));
        found = sums_.emplace(c, PairwiseSum(values)).first;
    }
    return found->second.total();
}

int LineGrid::firstBlankRow(int c) const {
    if (c < 0 || c > columns()) return 1;
    auto found = blankRows_.find(c);
    if (found == blankRows_.end()) {
        BlankRows blank;
        for (int r = 1; r <= rows(); ++r) blank.set(r, isBlank(cell(c, r)->text));
        found = blankRows_.emplace(c, std::move(blank)).first;
    }
    return found->second.first(rows() + 1);
}

void LineGrid::indexText(int c, int r, const QString& before, const QString& after) {
    if (const auto sum = sums_.find(c); sum != sums_.end())
        sum->second.set(r, entry::toDouble(after));
    if (const auto blank = blankRows_.find(c); blank != blankRows_.end()) {
        const bool nowBlank = isBlank(after);
        if (nowBlank != isBlank(before)) blank->second.set(r, nowBlank);
    }
}

void LineGrid::forgetIndexes() {
    sums_.clear();
    blankRows_.clear();
}

void LineGrid::appendRow() {
    insertRowAt(rows() + 1);
}

void LineGrid::insertRowAt(int r) {
    if (r < 1 || r > rows() + 1) return;
    if (bulk_ == 0) beginInsertRows(QModelIndex(), r - 1, r - 1);
    const bool appended = r == rows() + 1;
    rows_.insert(rows_.begin() + (r - 1), std::vector<Cell>(columns_.size()));
    if (currentRow_ >= r) ++currentRow_;
    // A row added at the end moves no other row: it only adds a blank cell
    // to each column (and nothing to its sum). Anywhere else rows move.
    if (appended) {
        for (auto& column : blankRows_) column.second.set(r, true);
    } else {
        forgetIndexes();
    }
    if (bulk_ == 0) endInsertRows();
}

void LineGrid::removeRowAt(int r) {
    if (r < 1 || r > rows()) return;
    if (bulk_ == 0) beginRemoveRows(QModelIndex(), r - 1, r - 1);
    rows_.erase(rows_.begin() + (r - 1));
    forgetIndexes();
    if (currentRow_ > r || currentRow_ > rows()) --currentRow_;
    if (bulk_ == 0) endRemoveRows();
}

void LineGrid::clearCells() {
    BulkChange bulk(*this);
    for (auto& row : rows_) row.assign(columns_.size(), Cell());
    forgetIndexes();
}

void LineGrid::replaceRows(std::vector<Row> rows, const std::vector<int>& storedFormulas) {
    BulkChange bulk(*this);
    const int given = static_cast<int>(rows.size());
    for (Row& row : rows) row.resize(columns_.size());
    if (rows.size() < rows_.size()) rows.resize(rows_.size(), Row(columns_.size()));
    rows_.swap(rows);
    forgetIndexes();
    // A formula column not given is computed as if its row had been typed:
    // each filled cell it refers to sets it off once.
    std::vector<int> inputs;
    for (int c = 1; c <= columns(); ++c) {
        for (int f = 1; f <= columns(); ++f) {
            const GridColumn& col = column(f);
            if (f != c && col.formula && col.formula->refersTo(c) &&
                std::find(storedFormulas.begin(), storedFormulas.end(), f) ==
                    storedFormulas.end()) {
                inputs.push_back(c);
                break;
            }
        }
    }
    if (inputs.empty()) return;
    storedFormulas_ = storedFormulas;
    for (int r = 1; r <= given; ++r) {
        for (const int c : inputs) {
            if (!cell(c, r)->text.isEmpty()) recompute(c, r, 0);
        }
    }
    storedFormulas_.clear();
}

void LineGrid::setCurrentRow(int r) {
    if (r == currentRow_) return;
    const int old = currentRow_;
    currentRow_ = r;
    announceRow(old);
    announceRow(r);
}

void LineGrid::setReadOnly(bool readOnly) {
    if (readOnly_ == readOnly) return;
    BulkChange bulk(*this);
    readOnly_ = readOnly;
}

void LineGrid::setRedText(bool red) {
    if (redText_ == red) return;
    BulkChange bulk(*this);
    redText_ = red;
}

void LineGrid::announce(int c, int r) {
    if (bulk_ > 0 || c < 1 || !valid(c, r)) return;
    const QModelIndex at = index(r - 1, c - 1);
    emit dataChanged(at, at);
}

void LineGrid::announceRow(int r) {
    if (bulk_ > 0 || r < 1 || r > rows() || columns() < 1) return;
    emit dataChanged(index(r - 1, 0), index(r - 1, columns() - 1), {BackgroundColorRole});
}

}  // namespace otherin::editor
