#pragma once

#include <QString>
#include <optional>

namespace otherin::entry {

enum class Icon { None, Information, Exclamation, Critical, Question };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

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
    // The save dialog opens on `proposed` (a folder and file name); none when
    // the user cancelled.
    virtual std::optional<QString> saveFileName(const QString& filter, const QString& proposed) = 0;
};

}  // namespace otherin::entry
