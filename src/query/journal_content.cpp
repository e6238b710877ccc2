#include "query/journal_content.h"

#include <cmath>

#include "query/value_format.h"

namespace otherin::query {

namespace {

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
    : columns_(std::move(columns)), pools_(columns_.size()), totals_(columns_.size(), 0) {
    for (int c = 1; c < columnCount(); ++c) {
        if (columns_[c].summed) summed_.push_back(c);
    }
}

void JournalContent::appendLine(const QVariant* values, bool billStart, bool audited) {
    const size_t n = columns_.size();
    for (size_t c = 0; c < n; ++c) cells_.push_back(pools_[c].add(values[c]));
    for (const int c : summed_) {
        totals_[c] += std::llround(numberOf(values[c]) * kTotalScale);
    }
    flags_.push_back((billStart ? kBillStart : 0) | (audited ? kAudited : 0));
}

void JournalContent::addBill(const QString& interId) {
    if (billCount_ > 0) idList_ += QLatin1Char(',');
    idList_ += interId;
    ++billCount_;
}

}  // namespace otherin::query
