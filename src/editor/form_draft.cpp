#include "editor/form_draft.h"

#include "bill/bill_save.h"
#include "editor/bill_form.h"
#include "editor/bill_values.h"

namespace otherin::editor {

bill::BillDraft draftOf(const BillForm& form, bool redBill, const std::vector<int>& rows,
                        qint32 interId, int version) {
    bill::BillDraft draft;
    draft.interId = interId;
    draft.version = version;
    draft.billNo = billNumberText(form);
    draft.date = billDate(form);
    draft.red = redBill;
    for (const HeaderValue& h : headerValues(form)) draft.header.emplace_back(h.column, h.value);
    const std::vector<StoredColumn> columns = storedColumns(form);
    for (const StoredColumn& s : columns) draft.lineColumns << s.fieldName;
    const auto stored = [&](int c, int r) {
        return c > 0 ? storedValue(form, c, r, redBill) : QVariant(0.0);
    };
    for (const int r : rows) {
        bill::DraftLine line;
        line.entryId = form.grid.lineKey(r).trimmed().toInt();
        for (const StoredColumn& s : columns)
            line.values << storedValue(form, s.column, r, redBill);
        line.price = stored(form.columns.price, r);
        line.amount = stored(form.columns.amount, r);
        draft.lines.push_back(std::move(line));
    }
    return draft;
}

std::vector<int> storedLineRows(const BillForm& form) {
    std::vector<int> rows;
    const int last = form.grid.lastDataRow();
    for (int r = 1; r <= last; ++r) {
        if (!form.grid.lineKey(r).trimmed().isEmpty()) rows.push_back(r);
    }
    return rows;
}

void showSaved(BillForm& form, const std::vector<int>& rows, const bill::SaveOutcome& saved) {
    if (HeaderField* f = billNumberField(form); f && !saved.billNo.isNull()) f->text = saved.billNo;
    for (std::size_t i = 0; i < rows.size() && i < saved.entryIds.size(); ++i)
        form.grid.setLineKey(rows[i], QString::number(saved.entryIds[i]));
}

}  // namespace otherin::editor
