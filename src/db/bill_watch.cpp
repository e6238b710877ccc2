#include "db/bill_watch.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <algorithm>

#include "db/db_error.h"
#include "db/error_words.h"

namespace otherin::db {

namespace {

const QString kChannel = QStringLiteral("otherin_bills");
// A server connection that looks sound is asked for a sign of life this
// often, in ticks; a connection cut without a word is noticed so.
constexpr int kProbeTicks = 15;
// Attempts to reach a lost database are spaced up to this many ticks apart.
constexpr int kMostTicksBetweenAttempts = 30;

}  // namespace

BillWatch::BillWatch(const QString& connectionString, const Connection& own, QObject* parent)
    : QObject(parent), connectionString_(connectionString), own_(own) {
    // Attempts run on the window's thread: a server that does not answer
    // holds the window this long at most (once per attempt, spaced out).
    connection_.setConnectTimeout(kConnectTimeoutS);
    const bool server = parseConnectionString(connectionString).kind == DialectKind::PostgreSql;
    timer_.setInterval(server ? kServerCheckMs : kFilePollMs);
    connect(&timer_, &QTimer::timeout, this, &BillWatch::tick);
    connectNow();
    timer_.start();
}

BillWatch::~BillWatch() = default;

bool BillWatch::isListening() const {
    return listening_;
}

Connection* BillWatch::connection() {
    return listening_ ? &connection_ : nullptr;
}

bool BillWatch::connectNow() {
    try {
        // The watch never makes a database: a file that is not there yet
        // is looked for again later.
        const ConnectionTarget target = parseConnectionString(connectionString_);
        if (target.kind == DialectKind::Sqlite && !QFileInfo::exists(target.path)) return false;
        connection_.open(connectionString_);
        if (connection_.dialect().isServer()) {
            QSqlDriver* driver = connection_.driver();
            if (!driver || !driver->subscribeToNotification(kChannel)) {
                connection_.disconnect();
                return false;
            }
            // The driver outlives a lost connection: connected once.
            QObject::connect(driver, &QSqlDriver::notification, this, &BillWatch::heard,
                             Qt::UniqueConnection);
        } else {
            dataVersion_ = connection_.scalar(QStringLiteral("pragma data_version")).toInt();
            lastSeq_ = connection_
                           .scalar(QStringLiteral("select coalesce(max(fseq),0) from "
                                                  "tblBillChange"))
                           .toLongLong();
        }
    } catch (const DbError&) {
        connection_.disconnect();
        return false;
    }
    const bool regained = attempts_ > 0;
    attempts_ = 0;
    listening_ = true;
    emit listeningChanged(true);
    // What was written while the watch was cut off was not heard.
    if (regained) emit changed(BillChange{{}, true});
    return true;
}

void BillWatch::lose() {
    connection_.disconnect();
    if (listening_) {
        listening_ = false;
        emit listeningChanged(false);
    }
    attempts_ = std::max(attempts_, 1);
    ticksToWait_ = 0;
}

void BillWatch::tick() {
    if (!listening_) {
        if (ticksToWait_-- > 0) return;
        if (!connectNow()) {
            ++attempts_;
            ticksToWait_ = std::min(1 << std::min(attempts_, 5), kMostTicksBetweenAttempts);
        }
        return;
    }
    if (connection_.dialect().isServer()) {
        checkServer();
    } else {
        pollFile();
    }
}

void BillWatch::poll() {
    if (listening_ && !connection_.dialect().isServer()) pollFile();
}

void BillWatch::checkServer() {
    bool standing = serverLink(connection_.driver()).standing;
    if (standing && ++ticksSinceProbe_ >= kProbeTicks) {
        ticksSinceProbe_ = 0;
        standing = connection_.answers();
        // Announcements that came during the probe were read with its answer
        // and wait in the client library; the driver looks for them only
        // when the socket has more to read, so it is asked to look now.
        if (standing)
            QMetaObject::invokeMethod(connection_.driver(), "_q_handleNotification",
                                      Qt::QueuedConnection);
    }
    if (!standing) lose();
}

void BillWatch::pollFile() {
    try {
        const int version = connection_.scalar(QStringLiteral("pragma data_version")).toInt();
        if (version == dataVersion_) return;
        dataVersion_ = version;
        Query q = connection_.prepare(
            QStringLiteral("select fseq,finterid from tblBillChange where fseq>? order by fseq"));
        q.bind(lastSeq_).exec();
        BillChange change;
        bool first = true;
        while (q.next()) {
            const qint64 seq = q.value(0).toLongLong();
            // The oldest announcements are removed as new ones come: a gap
            // means some went unread.
            if (first && seq > lastSeq_ + 1) change.all = true;
            first = false;
            lastSeq_ = seq;
            change.ids.insert(q.value(1).toInt());
        }
        if (change.all || !change.ids.isEmpty()) emit changed(change);
    } catch (const DbError&) {
        lose();
    }
}

void BillWatch::heard(const QString& name, QSqlDriver::NotificationSource,
                      const QVariant& payload) {
    if (name != kChannel) return;
    // "<writer's server process>:<id>,<id>,…" or "<process>:many".
    const QString text = payload.toString();
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const int writer = text.left(colon).toInt();
    if (writer != 0 && writer == own_.serverProcessId()) return;
    BillChange change;
    const QString ids = colon < 0 ? QString() : text.mid(colon + 1);
    if (ids == QLatin1String("many") || ids.isEmpty()) {
        change.all = true;
    } else {
        for (const QStringView id : QStringView(ids).split(QLatin1Char(','))) {
            bool ok = false;
            const int value = id.toInt(&ok);
            if (ok) change.ids.insert(value);
        }
        change.all = change.ids.isEmpty();
    }
    emit changed(change);
}

}  // namespace otherin::db
