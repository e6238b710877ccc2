#pragma once

#include <QString>
#include <memory>

#include "entry/login_context.h"

namespace otherin::entry {

class SettingsStore;
class Prompter;
class WindowFactory;
class ModalWindow;

// The component the host creates. Creating it runs the start-up; its entry
// operations open the bill editor or the query dialog modally.
class clsOtherIn {
  public:
    static constexpr const char* kNewInfoCode = "%%@RTvbnmqw";
    static constexpr const char* kFindInfoCode = "[[@Pqmz:";

    clsOtherIn(const SettingsStore& settings, Prompter& prompter, WindowFactory& windows);
    ~clsOtherIn();
    clsOtherIn(const clsOtherIn&) = delete;
    clsOtherIn& operator=(const clsOtherIn&) = delete;

    void setUserRight(const QString& vData) { userRight_ = vData; }
    QString UserRight() const { return userRight_; }

    // The results carry nothing: every effect is in the database.
    bool newInfo(QString& strSerialNo);
    bool findInfo(QString& strSerialNo);
    QString findInfo3(QString& strSql);

    LoginContext& context() { return ctx_; }

  private:
    void showEditor();
    void showQueryDialog();

    LoginContext ctx_;
    Prompter& prompter_;
    WindowFactory& windows_;
    QString userRight_;
    std::unique_ptr<ModalWindow> editor_;
    std::unique_ptr<ModalWindow> queryDialog_;
};

}  // namespace otherin::entry
