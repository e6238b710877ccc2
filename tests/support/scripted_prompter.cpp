#include "support/scripted_prompter.h"

#include <gtest/gtest.h>

#include "db/connection.h"

namespace otherin::testing {

void ScriptedPrompter::checkNoTransaction(const char* kind, const QString& text) const {
    for (const db::Connection* c : watched_) {
        if (c->transactionDepth() > 0) {
            ADD_FAILURE() << kind << " shown while a transaction is open: " << text.toStdString();
        }
    }
}

void ScriptedPrompter::message(const QString& text, entry::Icon icon, const QString& title) {
    checkNoTransaction("message", text);
    messages_.push_back({text, icon, title});
}

entry::Answer ScriptedPrompter::question(const QString& text, entry::Buttons, entry::Icon icon,
                                         const QString& title) {
    checkNoTransaction("question", text);
    questions_.push_back({text, icon, title});
    if (answers_.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return entry::Answer::Cancel;
    }
    const entry::Answer a = answers_.front();
    answers_.pop_front();
    return a;
}

std::optional<QString> ScriptedPrompter::input(const QString& prompt, const QString&,
                                               const QString&) {
    checkNoTransaction("input box", prompt);
    if (inputs_.empty()) {
        ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
        return std::nullopt;
    }
    const QString a = inputs_.front();
    inputs_.pop_front();
    if (a.isEmpty()) return std::nullopt;
    return a;
}

std::optional<QString> ScriptedPrompter::saveFileName(const QString& filter) {
    checkNoTransaction("save dialog", filter);
    if (files_.empty()) {
        ADD_FAILURE() << "unexpected save dialog: " << filter.toStdString();
        return std::nullopt;
    }
    const QString a = files_.front();
    files_.pop_front();
    if (a.isEmpty()) return std::nullopt;
    return a;
}

}  // namespace otherin::testing
