#include "editor/bill_follow.h"

#include <QUuid>
#include <utility>

#include "bill/bill_versions.h"
#include "db/bill_watch.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "editor/bill_session.h"
#include "entry/edit_mode.h"
#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::editor {

namespace {

bool changingMode(int mode) {
    return mode == entry::kModeChange || mode == entry::kModeSplit || mode == entry::kModePriceEdit;
}

}  // namespace

BillFollower::BillFollower(entry::LoginContext& ctx, entry::Prompter& prompter,
                           BillSession& session, db::BillWatch* watch, QObject* parent)
    : QObject(parent),
      ctx_(ctx),
      prompter_(prompter),
      session_(session),
      watch_(watch),
      open_(QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    if (watch_) connect(watch_, &db::BillWatch::changed, this, &BillFollower::heard);
    heartbeat_.setInterval(bill::OpenBills::kHeartbeatMs);
    connect(&heartbeat_, &QTimer::timeout, this, &BillFollower::renew);
}

BillFollower::~BillFollower() {
    release();
}

bool BillFollower::onConnection(const std::function<void(db::Connection&)>& work) {
    // Never inside another operation (a dialog shown during one lets the
    // timers run): that operation's connection scope is not ours to end.
    if (ctx_.gConnection.isOpen()) return false;
    try {
        entry::ConnectionScope scope(ctx_);
        work(ctx_.gConnection);
        return true;
    } catch (const db::DbError&) {
        // Who else has the bill open, and who changed it, are courtesies:
        // the save still checks the version.
        return false;
    }
}

void BillFollower::billShown() {
    const bool stored = ctx_.gEditMode != entry::kModeNew && ctx_.gCurrentInterId > 0;
    const qint32 id = stored ? ctx_.gCurrentInterId : 0;
    if (id == shownId_) {
        // The same bill again (saved, audited here, reopened): what the
        // notice said may no longer hold.
        if (!notice_.isEmpty()) lookAgain();
        return;
    }
    // The save that made the bill held it already: this editor's row names it.
    const qint32 held = std::exchange(heldBySave_, 0);
    const bool heldBySave = id > 0 && id == held && changingMode(ctx_.gEditMode);
    if (!heldBySave) release();
    shownId_ = id;
    readOnly_ = false;
    setNotice({}, true);
    if (heldBySave) {
        heartbeat_.start();
    } else if (id > 0 && changingMode(ctx_.gEditMode)) {
        holdShownBill();
    }
}

void BillFollower::holdShownBill() {
    QList<bill::OpenBills::Holder> others;
    if (!onConnection([&](db::Connection& c) { others = open_.others(c, shownId_); })) return;
    if (!others.isEmpty()) {
        const std::optional<int> choice =
            prompter_.choose(bill::beingChangedText(others),
                             {QString::fromUtf8(kGoOn), QString::fromUtf8(kReadOnly)},
                             entry::Icon::Exclamation, ctx_.msgTitle);
        if (choice != 0) {
            readOnly_ = true;
            session_.showReadOnly();
            return;
        }
    }
    holding_ = onConnection(
        [&](db::Connection& c) { open_.open(c, shownId_, ctx_.gLoginUserId.toLongLong()); });
    if (holding_) heartbeat_.start();
}

void BillFollower::release() {
    heartbeat_.stop();
    if (!holding_) return;
    holding_ = false;
    // A row left behind is passed over once its program is gone.
    onConnection([&](db::Connection& c) { open_.close(c); });
}

void BillFollower::leave() {
    release();
    shownId_ = 0;
    setNotice({}, true);
}

void BillFollower::renew() {
    if (holding_) onConnection([&](db::Connection& c) { open_.renew(c); });
}

void BillFollower::heard(const db::BillChange& change) {
    if (shownId_ <= 0 || !(change.all || change.ids.contains(shownId_))) return;
    lookAgain();
}

void BillFollower::lookAgain() {
    std::optional<bill::LastWrite> write;
    if (!onConnection([&](db::Connection& c) { write = bill::lastWrite(c, shownId_); })) {
        // Busy or cut off: looked at again shortly.
        if (ctx_.gConnection.isOpen())
            QTimer::singleShot(kBusyRetryMs, this, [this] {
                if (shownId_ > 0) lookAgain();
            });
        return;
    }
    if (!write || write->deleted) {
        setNotice(QStringLiteral("此单据") + bill::movedPhrase(write), false);
        return;
    }
    if (write->version == session_.version()) {
        setNotice({}, true);
        return;
    }
    QString verb;
    if (write->voided) {
        verb = QStringLiteral("作废");
    } else if (write->status >= 1 && !session_.auditedMarkVisible()) {
        verb = QStringLiteral("审核");
    } else if (write->status < 1 && session_.auditedMarkVisible()) {
        verb = QStringLiteral("反审核");
    }
    setNotice(QStringLiteral("此单据") + bill::movedPhrase(write, verb), true);
}

void BillFollower::setNotice(const QString& text, bool canReopen) {
    if (notice_ == text && canReopen_ == canReopen) return;
    notice_ = text;
    canReopen_ = canReopen;
    emit noticeChanged();
}

}  // namespace otherin::editor
