#pragma once

#include <QString>

#include "entry/selectors.h"
#include "query/clause_builder.h"
#include "query/condition_grid.h"
#include "query/field_catalogue.h"
#include "query/query_schemes.h"
#include "query/quick_filters.h"
#include "query/sort_grid.h"

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::query {

class JournalModel;

// Everything the query dialog does, without widgets: the window shows the
// two grid models, the five filters and the scheme list, and forwards its
// buttons and cell events here.
class BillFindController {
  public:
    BillFindController(entry::LoginContext& ctx, entry::Prompter& prompter,
                       entry::Selectors selectors = {});
    BillFindController(const BillFindController&) = delete;
    BillFindController& operator=(const BillFindController&) = delete;

    // "查询" and the bill name.
    QString caption() const;

    // Loads the field catalogue, resets the quick filters, lists the schemes
    // and loads the default one; after entry through findInfo3 the filters
    // are fixed to audited, not voided bills. Failures are told; the dialog
    // stays usable.
    void open();

    const FieldCatalogue& catalogue() const { return catalogue_; }
    ConditionGrid& conditions() { return conditions_; }
    SortGrid& sortFields() { return sort_; }
    QuickFilters& filters() { return filters_; }
    const QuerySchemes& schemes() const { return schemes_; }

    // The three clauses of the current inputs; seek and order raise
    // ConditionError for a value or field that cannot be used.
    QString seekSQL() const;
    QString mainSQL() const;
    QString orderSQL() const;

    // OK, and the journal's Refresh: builds the clauses and loads the journal.
    // A refused condition is told with the row that needs correcting.
    bool runQuery(JournalModel& journal);
    // The same, telling its failures (if any) through `prompter`.
    bool runQuery(JournalModel& journal, entry::Prompter& prompter);

    // F7 or the value cell's button in a condition row: asks the selector the
    // row's field calls for and writes the chosen code or name (empty when
    // nothing was chosen). False when the row's field has no base data.
    bool pickValue(int row);

    // The sort buttons; index into catalogue().sortTitles().
    bool addSortField(int titleIndex);
    int moveSortUp(int row) { return sort_.moveUp(row); }
    int moveSortDown(int row) { return sort_.moveDown(row); }
    bool removeSortRow(int row);

    // The scheme list and its buttons.
    bool loadScheme(int id);
    bool saveScheme() { return schemes_.saveAs(conditions_, sort_); }
    bool deleteScheme(int id) { return schemes_.remove(id); }
    void clearConditions() { QuerySchemes::clear(conditions_, sort_); }

  private:
    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
    entry::Selectors selectors_;
    FieldCatalogue catalogue_;
    ConditionGrid conditions_{catalogue_};
    SortGrid sort_;
    QuickFilters filters_;
    QuerySchemes schemes_;
};

}  // namespace otherin::query
