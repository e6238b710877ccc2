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
    // A progress dialog still open would stand over the box.
    if (*openProgress_ > 0)
        ADD_FAILURE() << kind << " shown under an open progress dialog: " << text.toStdString();
}

QStringList ScriptedPrompter::messageTexts() const {
    QStringList texts;
    for (const Shown& m : messages_) texts << m.text;
    return texts;
}

::testing::AssertionResult ScriptedPrompter::onlyMessage(const QString& text, entry::Icon icon,
                                                         const QString& title) const {
    if (messages_.size() == 1 && messages_[0].text == text && messages_[0].icon == icon &&
        (title.isNull() || messages_[0].title == title))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "wanted only \"" << text.toStdString() << "\" icon " << static_cast<int>(icon)
           << " title \"" << title.toStdString() << "\"; shown:\n"
           << transcript().toStdString() << "\n(last title \""
           << (messages_.empty() ? std::string() : messages_.back().title.toStdString()) << "\")";
}

template <class T>
std::optional<T> ScriptedPrompter::next(std::deque<T>& queue, const char* kind,
                                        const QString& text) {
    checkNoTransaction(kind, text);
    if (queue.empty()) {
        ADD_FAILURE() << "unexpected " << kind << ": " << text.toStdString();
        return std::nullopt;
    }
    const T a = queue.front();
    queue.pop_front();
    return a;
}

void ScriptedPrompter::message(const QString& text, entry::Icon icon, const QString& title) {
    checkNoTransaction("message", text);
    messages_.push_back({text, icon, title});
    log_ << messages_.back().line();
}

entry::Answer ScriptedPrompter::question(const QString& text, entry::Buttons buttons,
                                         entry::Icon icon, const QString& title) {
    questions_.push_back({text, icon, title, buttons});
    log_ << QStringLiteral("? ") + text;
    return next(answers_, "question", text).value_or(entry::Answer::Cancel);
}

std::optional<int> ScriptedPrompter::choose(const QString& text, const QStringList& choices,
                                            entry::Icon icon, const QString& title) {
    questions_.push_back({text, icon, title, entry::Buttons::Ok});
    log_ << QStringLiteral("? %1 [%2]").arg(text, choices.join(QLatin1Char('/')));
    const auto a = next(choices_, "choice", text);
    if (!a || a->isEmpty()) return std::nullopt;
    const qsizetype at = choices.indexOf(*a);
    EXPECT_GE(at, 0) << "no choice " << a->toStdString() << " in " << text.toStdString();
    if (at < 0) return std::nullopt;
    return static_cast<int>(at);
}

// An empty scripted text stands for a cancelled box.
std::optional<QString> ScriptedPrompter::input(const QString& prompt, const QString&,
                                               const QString&) {
    inputPrompts_ << prompt;
    const auto a = next(inputs_, "input box", prompt);
    return a && !a->isEmpty() ? a : std::nullopt;
}

std::optional<QString> ScriptedPrompter::saveFileName(const QString& filter,
                                                      const QString& proposed) {
    proposed_ << proposed;
    const auto a = next(files_, "save dialog", filter);
    return a && !a->isEmpty() ? a : std::nullopt;
}

namespace {
class ScriptedProgress : public entry::Progress {
  public:
    ScriptedProgress(ScriptedPrompter::ProgressSeen& seen, int stopAfter, std::shared_ptr<int> open)
        : seen_(seen), stopAfter_(stopAfter), open_(std::move(open)) {
        ++*open_;
    }
    ~ScriptedProgress() override { --*open_; }
    bool advance(int done) override {
        seen_.reached = done;
        return stopAfter_ < 0 || done <= stopAfter_;
    }

  private:
    ScriptedPrompter::ProgressSeen& seen_;
    int stopAfter_;
    std::shared_ptr<int> open_;
};
}  // namespace

std::unique_ptr<entry::Progress> ScriptedPrompter::progress(const QString& label, int total) {
    checkNoTransaction("progress", label);
    progress_.push_back({label, total, 0});
    return std::make_unique<ScriptedProgress>(progress_.back(), stopAfter_, openProgress_);
}

}  // namespace otherin::testing
