#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

#include "entry/host_login.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace otherin::app {

// The small login of the host program: pick a user, type the password. A
// wrong password is said in the dialog, which stays open for another try.
class LoginDialog : public QDialog {
    Q_OBJECT
  public:
    // Answers the user when the password is theirs; may raise db::DbError.
    using Check = std::function<std::optional<entry::UserRecord>(qlonglong, const QString&)>;

    LoginDialog(const std::vector<entry::UserRecord>& users, Check check,
                QWidget* parent = nullptr);

    // The user who logged in, once the dialog was accepted.
    const std::optional<entry::UserRecord>& user() const { return user_; }

  private:
    void tryLogin();

    Check check_;
    QComboBox* users_;
    QLineEdit* password_;
    QLabel* problem_;
    std::optional<entry::UserRecord> user_;
};

}  // namespace otherin::app
