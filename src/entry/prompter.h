#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace otherin::entry {

enum class Icon { None, Information, Exclamation, Critical, Question };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// How far a long piece of work is. Made by Prompter::progress() when the work
// starts; the work ends when it is destroyed.
class Progress {
  public:
    virtual ~Progress() = default;
    // `done` of the total; false when the user asked to stop.
    virtual bool advance(int done) = 0;
};

// Everything the core says to or asks of the user goes through this port; the
// windows implement it with message boxes, tests with a script.
class Prompter {
  public:
    virtual ~Prompter() = default;
    virtual void message(const QString& text, Icon icon, const QString& title) = 0;
    virtual Answer question(const QString& text, Buttons buttons, Icon icon,
                            const QString& title) = 0;
    // None when the user cancelled.
    virtual std::optional<QString> input(const QString& prompt, const QString& initial,
                                         const QString& title) = 0;
    // A password, typed unseen; none when the user cancelled. By default an
    // input box.
    virtual std::optional<QString> secret(const QString& prompt, const QString& title) {
        return input(prompt, QString(), title);
    }
    // The save dialog opens on `proposed` (a folder and file name); none when
    // the user cancelled.
    virtual std::optional<QString> saveFileName(const QString& filter, const QString& proposed) = 0;
    // A question answered by one of `choices`, each a button of its own;
    // answers the index of the one chosen, none when the box was closed. By
    // default nothing is chosen.
    virtual std::optional<int> choose(const QString& text, const QStringList& choices, Icon icon,
                                      const QString& title);
    // Long work (loading a large journal, exporting) shows how far it is and,
    // where nothing has been written yet, can be stopped. Never during a write
    // transaction: showing progress lets the user act. By default it shows
    // nothing and never stops.
    virtual std::unique_ptr<Progress> progress(const QString& label, int total);
};

// Tells the user nothing and answers every question with No or Cancel, for
// work the user did not ask for (a journal following other clerks' writes);
// the last thing it would have said is kept.
class SilentPrompter : public Prompter {
  public:
    void message(const QString& text, Icon, const QString&) override { lastMessage = text; }
    Answer question(const QString& text, Buttons buttons, Icon, const QString&) override {
        lastMessage = text;
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> saveFileName(const QString&, const QString&) override {
        return std::nullopt;
    }

    QString lastMessage;
};

}  // namespace otherin::entry
