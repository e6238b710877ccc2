#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <deque>
#include <memory>
#include <vector>

#include "editor/bill_form.h"
#include "editor/editor_controller.h"
#include "editor/layout_builder.h"
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

// The messages shown since the last call, each as its icon (! exclamation,
// i information, x critical, 0 none) and text; the record is cleared.
inline QString told(ScriptedPrompter& prompter) {
    QStringList out;
    for (const Shown& m : prompter.messages()) {
        const char* icon = m.icon == entry::Icon::Exclamation   ? "!"
                           : m.icon == entry::Icon::Information ? "i"
                           : m.icon == entry::Icon::Critical    ? "x"
                                                                : "0";
        out << QLatin1String(icon) + QLatin1Char(' ') + m.text;
    }
    prompter.clear();
    return out.join(QStringLiteral("; "));
}

// The demo layout of bill type 7, laid out for an administrator, with a
// controller over it and a model tester watching the line grid.
class EditorTest : public ::testing::Test {
  protected:
    EditorTest() {
        ctx.DBConnectionString = db.connectionString();
        ctx.msgTitle = QStringLiteral("其它入库单");
        ctx.gBillTypeId = 7;
        ctx.gLoginUserId = QStringLiteral("1");
        ctx.IsAdmin = 1;
        ctx.gItemClassList = QStringLiteral(",G01,G02,G03,");
        prompter.watch(ctx.gConnection);
    }

    // Lays out and starts the controller; the mode is the context's.
    void open() {
        form = std::make_unique<editor::BillForm>();
        ASSERT_TRUE(editor::buildLayout(ctx, prompter, *form));
        tester = std::make_unique<QAbstractItemModelTester>(
            &form->grid, QAbstractItemModelTester::FailureReportingMode::Fatal);
        entry::Selectors selectors;
        selectors.record = &records;
        selectors.unit = &units;
        selectors.batchPicker = &batches;
        editor = std::make_unique<editor::EditorController>(ctx, prompter, selectors, *form);
        editor->gridFocus();
    }

    editor::LineGrid& grid() { return form->grid; }
    // What the user types into a cell, through the model as a view would.
    bool type(int c, int r, const QString& text) {
        return grid().setData(grid().index(r - 1, c - 1), text, Qt::EditRole);
    }
    bool move(int c, int r, int c2, int r2) { return editor->leaveCell(c, r, c2, r2); }
    // Enters an item on row r and moves on to the name column.
    void enterItem(int r, const QString& code) {
        ASSERT_TRUE(move(editor->state().active.column, editor->state().active.row, 1, r));
        ASSERT_TRUE(type(1, r, code));
        ASSERT_TRUE(move(1, r, 2, r));
    }

    TestDatabase db{TestDatabase::Seed::Demo};
    entry::LoginContext ctx;
    ScriptedPrompter prompter;
    FakeRecordSelector records;
    FakeUnitSelector units;
    FakeBatchPicker batches;
    std::unique_ptr<editor::BillForm> form;
    std::unique_ptr<QAbstractItemModelTester> tester;
    std::unique_ptr<editor::EditorController> editor;
};

}  // namespace otherin::testing
