#include "query/journal_model.h"

#include "query/value_format.h"

namespace otherin::query {

namespace {

// The grid's alignment codes: 0-2 left, 3-5 centre, 6-8 right, each top,
// centre, bottom; 9 general (numbers right, the rest left).
Qt::Alignment alignmentOf(int code, const QVariant& value) {
    if (code < 0 || code > 8) {
        const bool number = value.typeId() == QMetaType::Double ||
                            value.typeId() == QMetaType::LongLong ||
                            value.typeId() == QMetaType::Int;
        return (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
    static constexpr Qt::AlignmentFlag horizontal[] = {Qt::AlignLeft, Qt::AlignHCenter,
                                                       Qt::AlignRight};
    static constexpr Qt::AlignmentFlag vertical[] = {Qt::AlignTop, Qt::AlignVCenter,
                                                     Qt::AlignBottom};
    return horizontal[code / 3] | vertical[code % 3];
}

}  // namespace

JournalModel::JournalModel(QObject* parent) : QAbstractTableModel(parent) {}

int JournalModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return lineCount() > 0 ? lineCount() + 1 : 0;
}

int JournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : content_.columnCount();
}

QVariant JournalModel::rawValue(int row, int column) const {
    if (isTotalsRow(row)) {
        if (this->column(column).summed) return content_.total(column);
        if (column == kTotalsLabelColumn) return QStringLiteral("合计");
        return {};
    }
    return content_.value(row, column);
}

QVariant JournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row();
    const int col = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return text(row, col);
        case Qt::TextAlignmentRole:
            return static_cast<int>(alignmentOf(column(col).align, rawValue(row, col)));
        case BackgroundRgbRole: {
            if (isTotalsRow(row)) return kTotalsRgb;
            const quint8 states = content_.states(row);
            if (states & kStateVoided) return kVoidedRgb;
            if (states & kStateWrittenOff) return kWrittenOffRgb;
            if (states & kStateSplitOff) return kSplitOffRgb;
            return states & kStateAudited ? kAuditedRgb : kNotAuditedRgb;
        }
        case TextRgbRole:
            if (isTotalsRow(row)) return {};
            if (content_.states(row) & kStateVoided) return kVoidedTextRgb;
            if (content_.states(row) & kStateRed) return kRedTextRgb;
            return {};
        case StruckOutRole:
            return !isTotalsRow(row) && (content_.states(row) & kStateVoided) != 0;
        case Qt::ToolTipRole:
            if (isTotalsRow(row)) return {};
            return billStateText(content_.states(row));
        case BillStartRole:
            return isTotalsRow(row) || content_.isBillStart(row);
        case ValueRole:
            return rawValue(row, col);
        default:
            return {};
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) return column(section).title;
    if (role == Qt::TextAlignmentRole) return static_cast<int>(Qt::AlignCenter);
    return {};
}

void JournalModel::setContent(JournalContent content) {
    beginResetModel();
    content_ = std::move(content);
    endResetModel();
    emit statusTextChanged(content_.statusText);
}

qint64 JournalModel::interId(int row) const {
    if (row < 0 || row >= lineCount()) return 0;
    return content_.value(row, 0).toLongLong();
}

QString JournalModel::billNo(int row) const {
    if (row < 0 || row >= lineCount() || columnCount() < 3) return {};
    return valueText(content_.value(row, 2));
}

QString JournalModel::text(int row, int column) const {
    return formatValue(rawValue(row, column), this->column(column).format);
}

}  // namespace otherin::query
