#pragma once

#include <QObject>
#include <optional>
#include <vector>

#include "editor/entry_state.h"

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::editor {

class BillForm;
class LineGrid;

// The rows whose cells changed since the last take(), learnt from the
// grid's own change signals. After a bulk change, or when rows were inserted
// or removed before others, every row counts as changed; a row added at the
// end does not (it is empty).
class ChangedRows : public QObject {
  public:
    explicit ChangedRows(const LineGrid& grid, QObject* parent = nullptr);
    // In row order; forgets them.
    std::vector<int> take();

  private:
    void mark(int first, int last);
    void markAll();

    const LineGrid& grid_;
    std::vector<char> marked_;  // by row, from row 1
    std::vector<int> rows_;
    bool all_ = true;
};

// After an amount was typed, the price of each changed line follows
// (price = amount ÷ quantity); then the sum columns are totalled into the
// strip. A line of quantity 0 keeps its price. Only the lines changed since
// the last amount was typed are looked at: the others were made to agree then.
void setSumCell(BillForm& form, ChangedRows& changed, int activeColumn);

// Writes every sum column's sum into the strip.
void showSums(BillForm& form);

// Cell (c, r) as messages name it: row and column caption ("第2行批号").
QString cellName(const BillForm& form, int c, int r);

// The first stored text of a line (any stored column but a look-up's, whose
// id is stored) that holds a control character, told to the user; none when
// every text can be stored as it is.
std::optional<CellPos> findControlCharacterCell(const BillForm& form, entry::LoginContext& ctx,
                                                entry::Prompter& prompter);

// Every line with an item needs a quantity and a unit. The first cell that
// lacks one is told to the user and answered; none when all lines are whole.
std::optional<CellPos> findMissingRequiredCell(const BillForm& form, entry::LoginContext& ctx,
                                               entry::Prompter& prompter);

}  // namespace otherin::editor
