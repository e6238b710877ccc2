#pragma once

#include <QDialog>

#include "app/server_login.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace otherin::app {

// The login to a database server: the clerk's login name and password, and
// "记住密码" (kept in the desktop's keyring), disabled with the reason when
// there is no keyring. The problem of the last try shows in red.
class ServerLoginDialog : public QDialog {
    Q_OBJECT
  public:
    ServerLoginDialog(const QString& server, const ServerLoginQuestion& question,
                      QWidget* parent = nullptr);
    ServerLoginAnswer answer() const;

  private:
    QLineEdit* user_;
    QLineEdit* password_;
    QCheckBox* remember_;
};

// Shows the dialog for `server` once; none when cancelled.
std::optional<ServerLoginAnswer> askServerLogin(const QString& server,
                                                const ServerLoginQuestion& question);

}  // namespace otherin::app
