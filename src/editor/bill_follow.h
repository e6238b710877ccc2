#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "bill/open_bills.h"

namespace otherin::db {
class BillWatch;
class Connection;
struct BillChange;
}  // namespace otherin::db
namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::editor {

class BillSession;

// What the editor knows of other clerks' work on the bill it shows:
// - when someone else changes, audits, voids or deletes the shown bill, a
//   notice names who and when at once (the window shows it in a bar above
//   the grid, with 重新打开 unless the bill is gone);
// - when a stored bill is opened to change (modes 1, 2 and 4) while another
//   live editor has it open so, the clerk is told "张三 正在修改此单据（自
//   10:21）" and chooses to go on or to open it read-only;
// - while a bill is open to change here, tblBillOpen says so, renewed as a
//   sign of life and removed when the editor leaves the bill.
// Its statements run on the component's connection in short operations of
// their own, never inside another; a database that cannot be reached just
// leaves the notice as it was.
class BillFollower : public QObject {
    Q_OBJECT
  public:
    BillFollower(entry::LoginContext& ctx, entry::Prompter& prompter, BillSession& session,
                 db::BillWatch* watch, QObject* parent = nullptr);
    ~BillFollower() override;

    // "此单据已被 张三 于 2026-12-07 10:21 修改"; empty when there is nothing to say.
    const QString& notice() const { return notice_; }
    // False when the bill is gone.
    bool canReopen() const { return canReopen_; }
    // The bill is shown read-only because someone else is changing it.
    bool isReadOnly() const { return readOnly_; }
    // The session shows a bill afresh: the one shown before is left.
    void billShown();
    // The editor closes.
    void leave();
    // The session's row of bills open, for a save that holds the bill it makes.
    const bill::OpenBills& openBills() const { return open_; }
    // Bill `id` was held by the save that made it (the session's row names it
    // now): its showing needs no write of its own.
    void heldBySave(qint32 id) {
        heldBySave_ = id;
        holding_ = true;
    }

    static constexpr const char* kGoOn = "继续修改";
    static constexpr const char* kReadOnly = "只读打开";
    static constexpr int kBusyRetryMs = 500;

  signals:
    void noticeChanged();

  private:
    void heard(const db::BillChange& change);
    void lookAgain();
    void setNotice(const QString& text, bool canReopen);
    void renew();
    void holdShownBill();
    void release();
    bool onConnection(const std::function<void(db::Connection&)>& work);

    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
    BillSession& session_;
    db::BillWatch* watch_;
    bill::OpenBills open_;
    QTimer heartbeat_;
    qint32 shownId_ = 0;
    bool holding_ = false;
    qint32 heldBySave_ = 0;
    bool readOnly_ = false;
    bool canReopen_ = true;
    QString notice_;
};

}  // namespace otherin::editor
