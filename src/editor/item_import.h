#pragma once

#include <optional>

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::editor {

class BillForm;

// Brings the items the record selector left in the user's tblItemInput rows
// into the line grid at `activeRow`: the first fills that row, each further
// one gets a row inserted below it, so the lines that were below follow the
// block. Item code, name, model, quantity, unit and the hidden unit group and
// warehouse are filled; price and amount are not. The rows are read and then
// deleted in one transaction, so a later import cannot bring them twice.
// Answers how many lines were filled (0 with no rows), or none after a
// database failure, which has been reported; the grid is then unchanged.
std::optional<int> importItemInput(entry::LoginContext& ctx, entry::Prompter& prompter,
                                   BillForm& form, int activeRow);

}  // namespace otherin::editor
