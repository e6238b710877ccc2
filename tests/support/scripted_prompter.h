#pragma once

#include <QString>
#include <deque>
#include <vector>

#include "entry/prompter.h"

namespace otherin::db {
class Connection;
}

namespace otherin::testing {

struct Shown {
    QString text;
    entry::Icon icon;
    QString title;
};

// Records every message and answers questions from a queue. A question it was
// not told to expect fails the test.
//
// The user is never spoken to while a write transaction is open: a box left
// waiting would hold the database's write lock against every other user. So
// any dialogue while a watched connection is inside a transaction fails the
// test; the fixtures watch the component's connection.
class ScriptedPrompter : public entry::Prompter {
  public:
    void message(const QString& text, entry::Icon icon, const QString& title) override;
    entry::Answer question(const QString& text, entry::Buttons buttons, entry::Icon icon,
                           const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& initial,
                                 const QString& title) override;
    std::optional<QString> saveFileName(const QString& filter) override;

    void watch(const db::Connection& connection) { watched_.push_back(&connection); }

    void expectQuestion(entry::Answer answer) { answers_.push_back(answer); }
    // An empty text stands for a cancelled box.
    void expectInput(const QString& text) { inputs_.push_back(text); }
    void expectFileName(const QString& path) { files_.push_back(path); }

    const std::vector<Shown>& messages() const { return messages_; }
    const std::vector<Shown>& questions() const { return questions_; }
    QString lastText() const { return messages_.empty() ? QString() : messages_.back().text; }
    void clear() {
        messages_.clear();
        questions_.clear();
    }

  private:
    void checkNoTransaction(const char* kind, const QString& text) const;

    std::vector<const db::Connection*> watched_;
    std::vector<Shown> messages_;
    std::vector<Shown> questions_;
    std::deque<entry::Answer> answers_;
    std::deque<QString> inputs_;
    std::deque<QString> files_;
};

}  // namespace otherin::testing
