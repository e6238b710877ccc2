#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <vector>

namespace otherin::query {

// One column of the journal: the fixed id columns 0 to 2, then the columns
// configured in tblFindInfoEntry.
struct JournalColumn {
    QString fieldName;
    QString title;
    int align = 1;  // the grid alignment code 0 to 9
    QString format;
    bool hidden = false;
    bool summed = false;
};

// The distinct values of one column, each kept once: journals repeat names,
// units and dates on most lines, so a cell is just an index into its pool.
class ValuePool {
  public:
    static constexpr quint32 kEmpty = 0;

    ValuePool();
    quint32 add(const QVariant& value);
    const QVariant& at(quint32 id) const { return values_[id]; }
    int size() const { return static_cast<int>(values_.size()); }

  private:
    std::vector<QVariant> values_;
    QHash<QString, quint32> texts_;
    QHash<double, quint32> numbers_;
};

// The total of one summed column. Whole units and millionths are added apart:
// the millionths stay exact however many lines there are, and the whole units
// go far beyond what 64 bits of millionths hold (about 9.2e12), so a large
// journal never wraps into a negative total.
class ColumnTotal {
  public:
    void add(double value);
    double value() const;

  private:
    long double units_ = 0;
    qint64 micros_ = 0;
};

// Everything one load of the journal produced, built line by line and then
// handed to the model in one piece.
class JournalContent {
  public:
    JournalContent() = default;
    explicit JournalContent(std::vector<JournalColumn> columns);

    // `values` holds one value per column; an invalid one is an empty cell.
    void appendLine(const QVariant* values, bool billStart, bool audited);
    void addBill(const QString& interId);

    const std::vector<JournalColumn>& columns() const { return columns_; }
    int columnCount() const { return static_cast<int>(columns_.size()); }
    int lineCount() const { return static_cast<int>(flags_.size()); }
    int billCount() const { return billCount_; }
    const QVariant& value(int line, int column) const {
        return pools_[column].at(cells_[static_cast<size_t>(line) * columns_.size() + column]);
    }
    bool isBillStart(int line) const { return flags_[line] & kBillStart; }
    bool isAudited(int line) const { return flags_[line] & kAudited; }
    double total(int column) const { return totals_[column].value(); }

    // Bill ids in line order, joined by "," (a bill split by the order is
    // listed once per run of its lines).
    const QString& idList() const { return idList_; }
    QString statusText;

  private:
    static constexpr quint8 kBillStart = 1;
    static constexpr quint8 kAudited = 2;

    std::vector<JournalColumn> columns_;
    std::vector<ValuePool> pools_;
    std::vector<int> summed_;
    std::vector<quint32> cells_;
    std::vector<quint8> flags_;
    std::vector<ColumnTotal> totals_;
    int billCount_ = 0;
    QString idList_;
};

}  // namespace otherin::query
