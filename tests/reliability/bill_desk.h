#pragma once

#include <memory>
#include <utility>

#include "editor/bill_session.h"
#include "entry/prompter.h"
#include "entry/settings_store.h"
#include "support/demo_login.h"

namespace otherin::testing {

// Keeps the last thing the user was told; answers No to every question, so
// a question the save was not expected to ask shows up as a refused save.
class LastWordPrompter : public entry::Prompter {
  public:
    void message(const QString& text, entry::Icon, const QString&) override { last = text; }
    entry::Answer question(const QString& text, entry::Buttons, entry::Icon,
                           const QString&) override {
        last = QStringLiteral("问: ") + text;
        return entry::Answer::No;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return {};
    }
    std::optional<QString> saveFileName(const QString&, const QString&) override { return {}; }
    // Offered a choice (another clerk has the bill open), the clerk takes the first.
    std::optional<int> choose(const QString& text, const QStringList&, entry::Icon,
                              const QString&) override {
        last = QStringLiteral("选: ") + text;
        return 0;
    }
    QString last;
};

// One clerk of the demo database at the bill editor, typing as the window
// lets them: the cursor moves cell by cell and each cell is checked on
// leaving. Grid: 1 item, 5 quantity, 6 price, 8 batch; header: 3 warehouse.
template <class Prompter>
class BillDesk {
  public:
    BillDesk(const QString& connectionString, int period, const QString& settingsFile,
             entry::Selectors selectors = {})
        : settings_(settingsFile), selectors_(selectors) {
        logInDemoAdministrator(ctx, connectionString, period);
        ctx.gBillLength = 6;  // as start-up reads it, before any preview
    }

    // The layout, then the bill; false when the layout broke off.
    bool open(int mode, qint32 billId = 0) {
        session.reset();
        ctx.gEditMode = mode;
        ctx.gCurrentInterId = billId;
        session = std::make_unique<editor::BillSession>(ctx, prompter, selectors_, &settings_);
        const bool whole = session->prepare();
        session->start();
        return whole;
    }
    bool moveTo(int c, int r) {
        const auto at = session->controller().state().active;
        return session->controller().leaveCell(at.column, at.row, c, r);
    }
    bool typeCell(int c, int r, const QString& text) {
        editor::LineGrid& grid = session->form().grid;
        return moveTo(c, r) && grid.setData(grid.index(r - 1, c - 1), text, Qt::EditRole);
    }
    // False when the field refuses the text (the cursor then stays in it).
    bool setHeader(int index, const QString& text) {
        editor::EditorController& e = session->controller();
        e.headerFocus(index);
        e.setHeaderText(index, text);
        if (!e.headerValidate(index)) return false;
        e.headerLeave(index);
        return true;
    }
    // Each line an item and a quantity at price 10, from line 1 on.
    bool typeLines(std::initializer_list<std::pair<const char*, const char*>> lines) {
        int r = 0;
        for (const auto& [item, qty] : lines) {
            if (!typeCell(1, ++r, QLatin1String(item)) || !typeCell(5, r, QLatin1String(qty)) ||
                !typeCell(6, r, QStringLiteral("10")) || !moveTo(8, r))
                return false;
        }
        return true;
    }

    entry::LoginContext ctx;
    Prompter prompter;

  private:
    entry::SettingsStore settings_;
    entry::Selectors selectors_;

  public:
    std::unique_ptr<editor::BillSession> session;  // last: uses the members above
};

}  // namespace otherin::testing
