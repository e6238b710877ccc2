#include "journal/journal_follow.h"

#include <algorithm>

#include "db/bill_watch.h"

namespace otherin::journal {

JournalFollower::JournalFollower(db::BillWatch* watch, Hooks hooks, QObject* parent)
    : QObject(parent), watch_(watch), hooks_(std::move(hooks)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &JournalFollower::due);
    if (watch_) connect(watch_, &db::BillWatch::changed, this, &JournalFollower::heard);
}

void JournalFollower::heard(const db::BillChange& change) {
    pending_ = true;
    allChanged_ = allChanged_ || change.all;
    changed_.unite(change.ids);
    if (!bar_.isEmpty()) {
        due();
        return;
    }
    if (timer_.isActive()) return;
    const qint64 since = sinceReload_.isValid() ? sinceReload_.elapsed() : kLeastGapMs;
    scheduleIn(std::max<qint64>(kGatherMs, kLeastGapMs - since));
}

void JournalFollower::scheduleIn(int ms) {
    timer_.start(ms);
}

void JournalFollower::due() {
    if (!pending_) return;
    if (hooks_.lines && hooks_.lines() > kLineLimit) {
        setBar(allChanged_ ? QStringLiteral("有单据已被他人修改")
                           : QStringLiteral("有 %1 张单据已被他人修改").arg(changed_.size()));
        return;
    }
    if (hooks_.shown && !hooks_.shown()) return;
    if (hooks_.idle && !hooks_.idle()) {
        scheduleIn(kBusyRetryMs);
        return;
    }
    ++reloads_;
    hooks_.reload();
    emit followed();
}

void JournalFollower::reloadStarting() {
    // Writes already committed are read by this reload; hearing them
    // afterwards must not cause another.
    if (watch_) watch_->poll();
    pending_ = false;
    allChanged_ = false;
    changed_.clear();
    timer_.stop();
    sinceReload_.start();
    setBar({});
}

void JournalFollower::setBar(const QString& text) {
    if (bar_ == text) return;
    bar_ = text;
    emit barChanged(bar_);
}

}  // namespace otherin::journal
