#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace otherin::db {
class Connection;
}

namespace otherin::bill {

// Who has which bill open in a changing mode (tblBillOpen). Each editor keeps
// one row under a key of its own (`session`), writes it when it opens a bill
// to change, refreshes it as a sign of life and removes it when it leaves the
// bill; it never touches another editor's row. Rows of programs that ended
// without removing theirs are passed over: on the server when the connection
// that last wrote the row is gone, on the embedded file when its sign of life
// is older than kLifeSeconds.
class OpenBills {
  public:
    static constexpr int kLifeSeconds = 60;
    // How often an editor renews its sign of life.
    static constexpr int kHeartbeatMs = 20000;

    struct Holder {
        QString userName;
        QDateTime since;  // local time
    };

    explicit OpenBills(QString session) : session_(std::move(session)) {}
    const QString& session() const { return session_; }

    // The others (live, another session) that have `interId` open to change,
    // earliest first.
    QList<Holder> others(db::Connection& c, qint32 interId) const;
    // This session now has `interId` open; replaces what it had before.
    void open(db::Connection& c, qint32 interId, qint64 userId) const;
    // This session has no bill open.
    void close(db::Connection& c) const;
    // The sign of life; also names the connection the row now lives on.
    void renew(db::Connection& c) const;

  private:
    QString session_;
};

// "张三 正在修改此单据（自 10:21）"; several holders are joined by "、".
QString beingChangedText(const QList<OpenBills::Holder>& holders);

}  // namespace otherin::bill
