#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QWidget;

namespace otherin::entry {

struct LoginContext;
class SettingsStore;

// Windows come back where each user left them: the size and position of a
// window are kept per window and per user of the module in the user's own
// settings, written when the window hides and read when it first shows.
class WindowPlacement : public QObject {
    Q_OBJECT
  public:
    // Watches `window` (and is owned by it); `name` tells the window apart.
    WindowPlacement(QWidget& window, const QString& name, const LoginContext& ctx);
    ~WindowPlacement() override;

    // Where the placement is kept; the user's own settings when never set.
    void setStore(SettingsStore* store) { store_ = store; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    SettingsStore& store();
    QString key() const;
    void restore();
    void save();

    QWidget& window_;
    QString name_;
    const LoginContext& ctx_;
    SettingsStore* store_ = nullptr;
    std::unique_ptr<SettingsStore> own_;
    bool restored_ = false;
};

}  // namespace otherin::entry
