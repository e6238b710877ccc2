#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "bill/bill_save.h"

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::bill {

// The split list the database receives: one entry per line of the bill, in
// grid order, each closed by a comma. An empty text or "0" goes as 0, any
// other text as typed. `cutLines` counts the entries that take something off
// (not empty and not numerically 0, so "0.00" does not count).
struct SplitList {
    QString text;
    int cutLines = 0;
};
SplitList buildSplitList(const QStringList& splitTexts);

// Saves the split of bill ctx.gCurrentInterId, loaded at `version`:
// `splitTexts` are the split-quantity texts of the bill's lines in grid
// order. Refused with a message when the period is closed, without the right
// G13, or when nothing is cut. The database's sp_QV_splitSave stores it; its
// success message is shown and the answer is Saved. A bill changed since it
// was loaded is answered as Moved, untold; any other refusal of the procedure
// is told when it gives a reason. A database error is told. Without a
// version the bill is cut as it is stored now.
SaveOutcome splitSave(entry::LoginContext& ctx, entry::Prompter& prompter,
                      const QStringList& splitTexts, std::optional<int> version = std::nullopt);

}  // namespace otherin::bill
