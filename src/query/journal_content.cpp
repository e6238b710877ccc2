#include "query/journal_content.h"

#include <cmath>

#include "query/value_format.h"

namespace otherin::query {

namespace {

constexpr double kScale = 1e6;
constexpr qint64 kMicrosPerUnit = 1000000;
// Below this many whole units, units in millionths plus the added fractions
// stay well inside 64 bits.
constexpr long double kExactUnits = 9e12L;

bool isNumber(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Double:
            return true;
        default:
            return false;
    }
}

}  // namespace

void ColumnTotal::add(double value) {
    if (!std::isfinite(value)) {
        units_ += value;
        return;
    }
    const double whole = std::trunc(value);
    units_ += whole;
    micros_ += std::llround((value - whole) * kScale);
}

double ColumnTotal::value() const {
    // While the total fits 64 bits of millionths, one division gives the
    // double nearest to it, as a plain sum of millionths would.
    if (std::fabs(units_) < kExactUnits) {
        return static_cast<double>(static_cast<qint64>(units_) * kMicrosPerUnit + micros_) / kScale;
    }
    return static_cast<double>(units_ + static_cast<long double>(micros_) / kScale);
}

ValuePool::ValuePool() : values_(1) {}

quint32 ValuePool::add(const QVariant& value) {
    if (value.isNull()) return kEmpty;
    const auto next = static_cast<quint32>(values_.size());
    if (isNumber(value)) {
        // A new key reads as kEmpty, which no stored value has.
        quint32& id = numbers_[value.toDouble()];
        if (id == kEmpty) {
            id = next;
            values_.push_back(value);
        }
        return id;
    }
    // Dates and other types are kept in their text form.
    const bool isText = value.typeId() == QMetaType::QString;
    const QString text = isText ? value.toString() : valueText(value);
    quint32& id = texts_[text];
    if (id == kEmpty) {
        id = next;
        values_.push_back(isText ? value : QVariant(text));
    }
    return id;
}

JournalContent::JournalContent(std::vector<JournalColumn> columns)
    : columns_(std::move(columns)), pools_(columns_.size()), totals_(columns_.size()) {
    for (int c = 1; c < columnCount(); ++c) {
        if (columns_[c].summed) summed_.push_back(c);
    }
}

void JournalContent::appendLine(const QVariant* values, bool billStart, bool audited) {
    const size_t n = columns_.size();
    for (size_t c = 0; c < n; ++c) cells_.push_back(pools_[c].add(values[c]));
    for (const int c : summed_) {
        totals_[c].add(numberOf(values[c]));
    }
    flags_.push_back((billStart ? kBillStart : 0) | (audited ? kAudited : 0));
}

void JournalContent::addBill(const QString& interId) {
    if (billCount_ > 0) idList_ += QLatin1Char(',');
    idList_ += interId;
    ++billCount_;
}

}  // namespace otherin::query
