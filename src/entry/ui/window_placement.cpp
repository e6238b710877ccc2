#include "entry/ui/window_placement.h"

#include <QByteArray>
#include <QEvent>
#include <QWidget>

#include "entry/login_context.h"
#include "entry/settings_store.h"

namespace otherin::entry {

namespace {
const QString kSection = QStringLiteral("Windows");
}  // namespace

WindowPlacement::WindowPlacement(QWidget& window, const QString& name, const LoginContext& ctx)
    : QObject(&window), window_(window), name_(name), ctx_(ctx) {
    window.installEventFilter(this);
}

WindowPlacement::~WindowPlacement() = default;

SettingsStore& WindowPlacement::store() {
    if (store_) return *store_;
    if (!own_) own_ = SettingsStore::open(ctx_.settingsFile);
    return *own_;
}

QString WindowPlacement::key() const {
    const QString user = ctx_.gLoginUserId.trimmed();
    return name_ + QLatin1Char('_') + (user.isEmpty() ? QStringLiteral("0") : user);
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        if (event->type() == QEvent::Show && !restored_) {
            restored_ = true;
            restore();
        } else if (event->type() == QEvent::Hide && restored_) {
            save();
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowPlacement::restore() {
    const QString saved = store().value(kSection, key(), QString());
    if (saved.isEmpty()) return;
    // restoreGeometry() keeps the window on a screen that is there now.
    window_.restoreGeometry(QByteArray::fromBase64(saved.toLatin1()));
}

void WindowPlacement::save() {
    store().setValue(kSection, key(), QString::fromLatin1(window_.saveGeometry().toBase64()));
    store().sync();
}

}  // namespace otherin::entry
