#pragma once

#include <optional>

#include "editor/entry_state.h"

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::editor {

class BillForm;

// After an amount was typed, the price of each changed line follows
// (price = amount ÷ quantity); then the sum columns are totalled into the
// strip. A line of quantity 0 keeps its price.
void setSumCell(BillForm& form, int activeColumn);

// Every line with an item needs a quantity and a unit. The first cell that
// lacks one is told to the user and answered; none when all lines are whole.
std::optional<CellPos> findMissingRequiredCell(const BillForm& form, entry::LoginContext& ctx,
                                               entry::Prompter& prompter);

}  // namespace otherin::editor
