#pragma once

#include <gtest/gtest.h>
#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <vector>

#include "entry/prompter.h"
#include "support/qstring_print.h"

namespace otherin::db {
class Connection;
}

namespace otherin::testing {

struct Shown {
    QString text;
    entry::Icon icon;
    QString title;
    entry::Buttons buttons{};  // those a question offered

    // The icon as a letter: 0 none, i information, ! exclamation, x critical,
    // ? question.
    QChar iconLetter() const { return QLatin1Char("0i!x?"[static_cast<int>(icon)]); }
    // The icon's letter, a space and the text.
    QString line() const { return iconLetter() + QStringLiteral(" ") + text; }
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
    std::optional<QString> saveFileName(const QString& filter, const QString& proposed) override;
    // Logged as "? " + the text + " [" + the choices joined by "/" + "]".
    std::optional<int> choose(const QString& text, const QStringList& choices, entry::Icon icon,
                              const QString& title) override;
    // Records each piece of long work with the furthest step it reached, and
    // stops it once it passes the step set by stopProgressAfter().
    std::unique_ptr<entry::Progress> progress(const QString& label, int total) override;

    struct ProgressSeen {
        QString label;
        int total = 0;
        int reached = 0;
    };
    const std::deque<ProgressSeen>& progressSeen() const { return progress_; }
    void stopProgressAfter(int done) { stopAfter_ = done; }

    void watch(const db::Connection& connection) { watched_.push_back(&connection); }

    void expectQuestion(entry::Answer answer) { answers_.push_back(answer); }
    // The choice by its text; an empty text closes the box.
    void expectChoice(const QString& choice) { choices_.push_back(choice); }
    // An empty text stands for a cancelled box.
    void expectInput(const QString& text) { inputs_.push_back(text); }
    // The prompts of the input boxes shown, in order.
    const QStringList& inputPrompts() const { return inputPrompts_; }
    void expectFileName(const QString& path) { files_.push_back(path); }

    const std::vector<Shown>& messages() const { return messages_; }
    const std::vector<Shown>& questions() const { return questions_; }
    // What each save dialog proposed, in order.
    const QStringList& proposedFiles() const { return proposed_; }
    QString lastText() const { return messages_.empty() ? QString() : messages_.back().text; }
    QStringList messageTexts() const;
    // Every message and question so far, in order, one a line: the icon as a
    // letter (0 none, i information, ! exclamation, x critical, ? question)
    // or "?" for a question, a space, and the text.
    QString transcript() const { return log_.join(QLatin1Char('\n')); }
    // Exactly one message was shown, with this text and icon, and with this
    // title unless it is null.
    ::testing::AssertionResult onlyMessage(const QString& text, entry::Icon icon,
                                           const QString& title = QString()) const;
    void clear() {
        messages_.clear();
        questions_.clear();
        log_.clear();
    }

  private:
    void checkNoTransaction(const char* kind, const QString& text) const;
    // The next scripted answer of `queue`, or a failure for an unexpected `kind`.
    template <class T>
    std::optional<T> next(std::deque<T>& queue, const char* kind, const QString& text);

    std::vector<const db::Connection*> watched_;
    std::vector<Shown> messages_;
    std::vector<Shown> questions_;
    QStringList log_;
    std::deque<entry::Answer> answers_;
    std::deque<QString> inputs_;
    QStringList inputPrompts_;
    std::deque<QString> choices_;
    std::deque<QString> files_;
    QStringList proposed_;
    std::deque<ProgressSeen> progress_;  // each stays where it is while in use
    int stopAfter_ = -1;
    // Progress objects may outlive the prompter; they share the count.
    std::shared_ptr<int> openProgress_ = std::make_shared<int>(0);
};

}  // namespace otherin::testing
