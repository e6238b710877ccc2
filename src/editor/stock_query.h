#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace otherin::db {
class Connection;
}
namespace otherin::entry {
struct LoginContext;
class Prompter;
class StockQueryViewer;
}  // namespace otherin::entry

namespace otherin::editor {

class BillForm;

// What the stock window is narrowed to: LIKE patterns over the item code and
// the warehouse code; an empty pattern does not narrow.
struct StockFilter {
    QString itemPattern;
    QString stockPattern;

    // Codes matched anywhere in the stored code.
    static StockFilter containing(const QString& itemCode, const QString& stockCode);
    bool operator==(const StockFilter&) const = default;
};

// The condition handed to the stock window: " and fItemNumber like '…' "
// followed by " and fStockNumber like  '…' ", each only with its pattern,
// the patterns quoted by db::quoteText.
QString stockCondition(const StockFilter& filter);

// Reads such a condition back into its patterns. Anything else (other
// columns, other operators, a clause twice, text after a literal) gives none:
// the window binds the patterns and never runs the condition text itself.
std::optional<StockFilter> parseStockCondition(const QString& condition);

// One row of the current-stock ledger with the codes and names behind it.
struct StockRow {
    QString stockNumber;
    QString stockName;
    QString itemNumber;
    QString itemName;
    QString model;
    QString unitName;
    QString batchNo;
    QString stockPlace;
    double qty = 0;
    double amount = 0;
};

// The ledger rows the filter lets through, by warehouse, item and batch.
std::vector<StockRow> queryStock(const db::Connection& connection, const StockFilter& filter);

// The editor's stock query command: the right R10, then the bill's warehouse
// (header field 3) and, when the grid has the focus, the item of `activeRow`
// narrow the stock window. False when the right was refused or could not be
// checked, or a code holds a control character (reported).
bool stockQueryCommand(entry::LoginContext& ctx, entry::Prompter& prompter, const BillForm& form,
                       bool gridFocused, int activeRow, entry::StockQueryViewer& viewer);

}  // namespace otherin::editor
