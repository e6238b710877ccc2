#pragma once

#include <QString>
#include <vector>

#include "bill/bill_draft.h"
#include "entry/prompter.h"

namespace otherin::entry {
struct LoginContext;
}

namespace otherin::bill {

class OpenBills;

// The writes of a bill from a draft: a new bill, a changed bill and the price
// edit. Each runs in one transaction that rolls back on any error; refusals
// and errors are told through the prompter, except a bill that another user
// changed or deleted since it was loaded: that is answered as Moved with the
// text to tell, so the caller can offer what to do with the typed values
// once the transaction is over.
enum class SaveStatus { Saved, Refused, Moved };

struct SaveOutcome {
    SaveStatus status = SaveStatus::Refused;
    QString movedText;  // Moved: who changed or deleted the bill, and when
    bool deleted = false;
    // Saved: the bill's id, number and version, and each line's entry id in
    // the draft's order.
    qint32 interId = 0;
    QString billNo;
    int version = 0;
    std::vector<qint32> entryIds;

    bool saved() const { return status == SaveStatus::Saved; }
};

// Stores `draft` as a new bill: takes the id and the number (a freed number
// may replace a typed one), inserts header and lines, posts them when stock
// moves at save and sets the period. With `holder`, the editor that stays on
// the saved bill holds it from the same commit (OpenBills::open).
SaveOutcome saveNewBill(entry::LoginContext& ctx, entry::Prompter& prompter, const BillDraft& draft,
                        const OpenBills* holder = nullptr);

// Before a changed bill's write, outside any transaction: a typed number
// another bill carries, a stored bill that may not be changed (audited,
// voided, of an earlier period, another user's under single-user changes) or
// that moved on since draft.version. Answers Saved when the write may go on.
SaveOutcome checkChangedBill(entry::LoginContext& ctx, entry::Prompter& prompter,
                             const BillDraft& draft);

// Writes `draft` over bill draft.interId, only while it is still at
// draft.version and neither audited nor voided: the stored lines leave the
// ledger, the header is updated, the lines replaced (loaded lines keep their
// entry ids, new ones are numbered above the highest the bill had), posted,
// and the period set.
SaveOutcome writeChangedBill(entry::LoginContext& ctx, entry::Prompter& prompter,
                             const BillDraft& draft);

// The price edit: each loaded line of bill draft.interId gets the draft's
// price and amount, only while the bill is still at draft.version. While
// the bill's lines count in the ledger the ledger amounts move with them.
SaveOutcome savePrices(entry::LoginContext& ctx, entry::Prompter& prompter, const BillDraft& draft);

}  // namespace otherin::bill
