#pragma once

#include <QDate>
#include <QString>
#include <array>
#include <vector>

namespace otherin::entry {
struct LoginContext;
}

namespace otherin::query {

struct FilterEntry {
    QString text;
    int code = 0;
};

// One drop-down filter beside the condition grid.
struct QuickFilter {
    QString label;
    std::vector<FilterEntry> entries;
    int selected = 0;
    bool enabled = true;

    int selectedCode() const { return entries[selected].code; }
    // Selects the entry with this text; false when there is none.
    bool select(const QString& text);
};

// The five fixed filters: date range and four status flags. "全部" (code 10)
// adds nothing to the statement.
class QuickFilters {
  public:
    enum Kind { DateRange, Audit, Void, RedBlue, Posted, KindCount };
    static constexpr int kAll = 10;

    QuickFilters();

    QuickFilter& filter(Kind kind) { return filters_[kind]; }
    const QuickFilter& filter(Kind kind) const { return filters_[kind]; }

    // "本期", "全部", "正常", "全部", "全部", all enabled.
    void reset();
    // Entry through findInfo3: audited, not voided bills of the chosen period,
    // and the user cannot widen that.
    void presetForPriceEdit();

  private:
    std::array<QuickFilter, KindCount> filters_;
};

// The main clause: one fragment per filter, date range first. "今天" compares
// fdate with today's date range; "本期" and "本年" mean the context's current
// accounting period and year.
QString buildMainSQL(const QuickFilters& filters, const entry::LoginContext& ctx,
                     const QDate& today = QDate::currentDate());

}  // namespace otherin::query
