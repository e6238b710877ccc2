#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "entry/host_login.h"

class QComboBox;
class QLineEdit;

namespace otherin::app {

// The small login of the host program: pick a user, type the password.
class LoginDialog : public QDialog {
    Q_OBJECT
  public:
    LoginDialog(const std::vector<entry::UserRecord>& users, QWidget* parent = nullptr);
    qlonglong userId() const;
    QString password() const;

  private:
    QComboBox* users_;
    QLineEdit* password_;
};

}  // namespace otherin::app
