#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <functional>

namespace otherin::db {
class BillWatch;
struct BillChange;
}  // namespace otherin::db

namespace otherin::journal {

// Keeps an open journal in step with what other clerks write: when bills
// change, the journal reloads by itself, silently and at most once a second,
// but only while the clerk is between commands (no command running, no
// dialog or menu open, no mouse button held). A journal longer than
// kLineLimit lines is not reloaded unasked: a bar tells how many bills
// changed and the clerk reloads on his word.
class JournalFollower : public QObject {
    Q_OBJECT
  public:
    static constexpr int kLineLimit = 2000;
    static constexpr int kLeastGapMs = 1000;
    // Changes that come together are taken in one reload.
    static constexpr int kGatherMs = 100;
    // A busy clerk is looked at again this often.
    static constexpr int kBusyRetryMs = 250;

    struct Hooks {
        // True while the clerk may be disturbed by a reload.
        std::function<bool()> idle;
        // False while the journal is closed: it is reloaded when shown again,
        // so nothing is tried until a change comes while it shows.
        std::function<bool()> shown;
        // Lines the journal holds now.
        std::function<int()> lines;
        // Reloads keeping the clerk's place, without a word; false when it
        // could not (it is tried again at the next change).
        std::function<bool()> reload;
    };

    // Without a watch the journal reloads only when told.
    JournalFollower(db::BillWatch* watch, Hooks hooks, QObject* parent = nullptr);

    // Every reload of the journal, asked for or not, begins here: all that
    // was heard until now will be in it.
    void reloadStarting();

    // The bar's text: "有 3 张单据已被他人修改"; empty when there is no bar.
    const QString& barText() const { return bar_; }
    // Reloads made by the follower itself.
    int reloads() const { return reloads_; }
    bool isPending() const { return pending_; }

  signals:
    void barChanged(const QString& text);
    // A reload of the follower's own has ended.
    void followed();

  private:
    void heard(const db::BillChange& change);
    void scheduleIn(int ms);
    void due();
    void setBar(const QString& text);

    db::BillWatch* watch_;
    Hooks hooks_;
    QTimer timer_;
    QElapsedTimer sinceReload_;
    bool pending_ = false;
    bool allChanged_ = false;
    QSet<qint32> changed_;
    QString bar_;
    int reloads_ = 0;
};

}  // namespace otherin::journal
