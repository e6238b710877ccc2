// Speed of typing into a long bill: one edit is the cursor moving into a
// line's quantity cell, a quantity typed, the cursor moving to the amount, an
// amount typed (the price follows it) and the cursor moving back, all through
// the editor's controller and grid model as the window drives them.
//
// Typing must cost the same wherever the line and however long the bill:
//   line 1,000 against line 10 of the same 1,000-line bill, and
//   the last line of a 1,000-line bill against the last of a 10-line bill.
// Each pair is measured in the same rounds, so both see the machine alike.
//
//     typing_bench            2,000 edits per case, 9 rounds
//     typing_bench --quick    a bill of 50 lines, a few edits; checks the
//                             prices, the strip's sums and that nothing was
//                             said, and prints no ratios
#include <QCoreApplication>
#include <cmath>
#include <cstdio>

#include "bench_support.h"
#include "editor/bill_session.h"
#include "entry/edit_mode.h"

using namespace otherin;
using namespace otherin::bench;

namespace {

// The layout of bill type 7: quantity in column 5, price 6, amount 7.
constexpr int kQuantity = 5;
constexpr int kPrice = 6;
constexpr int kAmount = 7;

class Typist {
  public:
    Typist(EditorBench& bench, qint32 billId) {
        bench.ctx.gEditMode = entry::kModeChange;
        bench.ctx.gCurrentInterId = billId;
        bench.ctx.gBillIdList = {QString::number(billId)};
        session_ = std::make_unique<editor::BillSession>(bench.ctx, bench.prompter, bench.selectors,
                                                         bench.settings.get());
        session_->prepare();
        session_->start();
    }

    editor::BillForm& form() { return session_->form(); }

    // True when every move and every typed text was taken.
    bool edit(int row, int k) {
        editor::LineGrid& grid = form().grid;
        const QString qty = QString::number(1 + k % 5);
        const QString amount = QString::number(10 + k % 7);
        return moveTo(kQuantity, row) &&
               grid.setData(grid.index(row - 1, kQuantity - 1), qty, Qt::EditRole) &&
               moveTo(kAmount, row) &&
               grid.setData(grid.index(row - 1, kAmount - 1), amount, Qt::EditRole) &&
               moveTo(kQuantity, row);
    }

  private:
    bool moveTo(int c, int r) {
        editor::EditorController& editor = session_->controller();
        const editor::CellPos at = editor.state().active;
        return editor.leaveCell(at.column, at.row, c, r);
    }

    std::unique_ptr<editor::BillSession> session_;
};

// Microseconds per edit over `edits` edits of line `row`.
double timeEdits(Typist& typist, int row, int edits, int& k, bool& ok) {
    const auto start = Clock::now();
    for (int i = 0; i < edits; ++i) ok = typist.edit(row, k++) && ok;
    return millisSince(start) * 1000.0 / edits;
}

// After the edits the edited lines' prices follow their amounts, and the
// strip shows the sums of the grid as it is.
bool agrees(editor::BillForm& form, const std::vector<int>& rows) {
    const editor::LineGrid& grid = form.grid;
    bool ok = true;
    for (const int r : rows) {
        const double q = grid.value(kQuantity, r);
        ok = ok && std::abs(q * grid.value(kPrice, r) - grid.value(kAmount, r)) < 1e-6;
    }
    for (const int c : {kQuantity, kAmount}) {
        double sum = 0;
        for (int r = 1; r <= grid.rows(); ++r) sum += grid.value(c, r);
        if (std::abs(form.strip.value(c) - sum) > 1e-6) {
            std::printf("!!! strip column %d shows %s, the grid sums to %g\n", c,
                        qPrintable(form.strip.text(c)), sum);
            ok = false;
        }
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int longBill = quick ? 50 : 1000;
    const int shortBill = 10;
    const int edits = quick ? 5 : 2000;
    const int rounds = quick ? 1 : 9;

    EditorBench bench;
    bench.storeBill(1, longBill);
    bench.storeBill(2, shortBill);
    Typist longTypist(bench, 1);
    Typist shortTypist(bench, 2);

    bool ok = true;
    int k = 0;
    // The first amount typed after loading makes every loaded line's price
    // agree with its amount once; that is loading's share, not typing's.
    ok = longTypist.edit(1, k++) && shortTypist.edit(1, k++) && ok;

    std::vector<double> early, late, shortLast;
    for (int round = 0; round < rounds; ++round) {
        early.push_back(timeEdits(longTypist, shortBill, edits, k, ok));
        late.push_back(timeEdits(longTypist, longBill, edits, k, ok));
        shortLast.push_back(timeEdits(shortTypist, shortBill, edits, k, ok));
    }
    printRatio(QStringLiteral("line %1 against line %2").arg(longBill).arg(shortBill),
               spread(early), spread(late), quick, "us/edit");
    printRatio(QStringLiteral("%1-line bill against %2-line").arg(longBill).arg(shortBill),
               spread(shortLast), spread(late), quick, "us/edit");

    ok = agrees(longTypist.form(), {1, shortBill, longBill}) &&
         agrees(shortTypist.form(), {1, shortBill}) && ok;
    if (!bench.prompter.texts.isEmpty())
        std::printf("!!! the editor said: %s\n", qPrintable(bench.prompter.texts.join(" | ")));
    if (!ok) std::printf("!!! an edit was refused or the sums disagree\n");
    return ok && bench.prompter.texts.isEmpty() ? 0 : 1;
}
