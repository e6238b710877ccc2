#pragma once

#include <QObject>
#include <QSet>
#include <QSqlDriver>
#include <QString>
#include <QTimer>

#include "db/connection.h"

namespace otherin::db {

// Bills that other programs changed, as one announcement names them.
struct BillChange {
    QSet<qint32> ids;
    // Which bills is not known: a statement touched too many to name, or
    // announcements may have been missed while the watch was cut off.
    bool all = false;
};

// Hears the writes that other programs commit to the bills of one database
// (a trigger announces every write to icstockbill; see schema step 6).
// It has a connection of its own that runs no operation, so what arrives is
// never taken in by another statement and nothing it does waits behind one:
// - on the server it listens on the channel otherin_bills; announcements come
//   while the event loop runs. Announcements of `own`'s writes are not
//   passed on. A lost connection is made again (and all bills reported
//   changed, as announcements may have gone by);
// - on the embedded file, `pragma data_version` is read on a timer and the
//   announcements written since the last one seen are read when it moved.
class BillWatch : public QObject {
    Q_OBJECT
  public:
    static constexpr int kFilePollMs = 250;
    static constexpr int kServerCheckMs = 1000;
    static constexpr int kConnectTimeoutS = 2;

    // Starts at once; a database that cannot be reached now is tried again
    // on the timer.
    BillWatch(const QString& connectionString, const Connection& own, QObject* parent = nullptr);
    ~BillWatch() override;

    // Reads what has arrived and reports it now (embedded file); a reload
    // that follows does not hear the same writes again later.
    void poll();
    // True while the watch hears the database.
    bool isListening() const;
    // The watch's own connection, null while it is cut off. It runs nothing
    // but the watch's own statements: on the server a statement run on it
    // would take in announcements that then go unheard until the next one.
    Connection* connection();

  signals:
    void changed(const otherin::db::BillChange& change);
    // The watch could not hear the database and then could again.
    void listeningChanged(bool listening);

  private:
    void tick();
    bool connectNow();
    void lose();
    void pollFile();
    void checkServer();
    void heard(const QString& name, QSqlDriver::NotificationSource source, const QVariant& payload);

    QString connectionString_;
    const Connection& own_;
    Connection connection_;
    QTimer timer_;
    bool listening_ = false;
    int dataVersion_ = -1;
    qint64 lastSeq_ = 0;
    // Failed attempts since the connection was lost; they are spaced out.
    int attempts_ = 0;
    int ticksToWait_ = 0;
    int ticksSinceProbe_ = 0;
};

}  // namespace otherin::db
