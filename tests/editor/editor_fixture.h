#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "editor/bill_form.h"
#include "entry/login_context.h"
#include "entry/selectors.h"
#include "support/qstring_print.h"
#include "support/scripted_prompter.h"
#include "support/test_database.h"

namespace otherin::testing {

// Selectors that answer from a queue and keep what they were given.
class FakeRecordSelector : public entry::RecordSelector {
  public:
    entry::SelectorAnswer choose(const entry::RecordSelectorInput& input) override {
        inputs.push_back(input);
        if (answers.empty()) return {};
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<entry::SelectorAnswer> answers;
    std::vector<entry::RecordSelectorInput> inputs;
};

class FakeUnitSelector : public entry::UnitSelector {
  public:
    entry::SelectorAnswer choose(const entry::UnitSelectorInput& input) override {
        inputs.push_back(input);
        return answer;
    }
    entry::SelectorAnswer answer;
    std::vector<entry::UnitSelectorInput> inputs;
};

class FakeBatchPicker : public entry::BatchPicker {
  public:
    void pick(entry::LoginContext& ctx) override {
        itemIds.push_back(ctx.batchItemId);
        ctx.pickedBatch = batch;
        ctx.pickedUnitCost = unitCost;
    }
    QString batch;
    QString unitCost;
    std::vector<QString> itemIds;
};

// Line r as shown: its line key, then each cell's text with its key after a
// '#', the empty cells at the end left out.
inline QString shownLine(const editor::LineGrid& grid, int r) {
    QStringList out{grid.lineKey(r)};
    for (int c = 1; c <= grid.columns(); ++c) {
        const QString key = grid.key(c, r);
        out << grid.text(c, r) + (key.isEmpty() ? QString() : QLatin1Char('#') + key);
    }
    while (!out.isEmpty() && out.last().isEmpty()) out.removeLast();
    return out.join(QLatin1Char('|'));
}

// The messages shown since the last call, each as `Shown::line()` writes it;
// the record is cleared.
inline QString told(ScriptedPrompter& prompter) {
    QStringList out;
    for (const Shown& m : prompter.messages()) out << m.line();
    prompter.clear();
    return out.join(QStringLiteral("; "));
}

}  // namespace otherin::testing
