#pragma once

#include <QPointer>
#include <QWidget>

#include "entry/prompter.h"

namespace otherin::entry {

// Message boxes, input boxes and file dialogs of Qt.
class QtPrompter : public Prompter {
  public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void message(const QString& text, Icon icon, const QString& title) override;
    Answer question(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> secret(const QString& prompt, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& initial,
                                 const QString& title) override;
    std::optional<QString> saveFileName(const QString& filter, const QString& proposed) override;
    std::optional<int> choose(const QString& text, const QStringList& choices, Icon icon,
                              const QString& title) override;
    // A progress dialog that shows only when the work lasts, with 取消.
    std::unique_ptr<Progress> progress(const QString& label, int total) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace otherin::entry
