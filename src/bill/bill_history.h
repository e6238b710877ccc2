#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

namespace otherin::db {
class Connection;
}

namespace otherin::bill {

// The change history of the bills (table otherin_history, fkind 'bill'): one
// row per bill per operation, with the operation's name, the user, the time
// and the bill's compact text before and after.
//
// On a server the owner's triggers write it, whoever writes the bills; in a
// database file the module does, in the operation's own transaction, through
// this class: note() the bills before the writes, record() after them. On a
// server both do nothing. Only operations that change what a bill holds
// (new, change, price, split, restore, delete) keep its text before and
// after; a state's operation keeps none.
class BillHistory {
  public:
    BillHistory(db::Connection& connection, QString operation, qint64 userId);

    void note(const QList<qint32>& ids);
    void note(qint32 id) { note(QList<qint32>{id}); }
    // Notes a bill made by the operation: it was nothing before.
    void noteNew(qint32 id);
    void record();

  private:
    db::Connection& connection_;
    QString operation_;
    qint64 userId_ = 0;
    bool active_ = false;
    bool texts_ = false;  // the operation changes what the bills hold
    std::vector<std::pair<qint32, QString>> before_;
};

// The compact text of each listed bill that exists, by id: a head line
// "单据|number|date|warehouse|explanation|note", then a line a row,
// "entry|item|unit|batch|quantity|price|amount|place", numbers without
// trailing zeros. The server's triggers write the same text.
std::vector<std::pair<qint32, QString>> billTexts(db::Connection& connection,
                                                  const QList<qint32>& ids);

// One row of a bill's history, as the window lists it.
struct HistoryEntry {
    QString time;  // the database's time, local, "yyyy-MM-dd HH:mm:ss"
    QString operation;
    QString who;  // the user's name, else the login
    QString before;
    QString after;
};

// The history of one bill, newest first; db::DbError when it cannot be read.
std::vector<HistoryEntry> billHistory(db::Connection& connection, qint32 interId);

// The changes of the administrative tables (users, groups, rights, switches,
// periods, shared layouts and query schemes), newest first, at most `limit`:
// `what` names the table; before and after hold the changed rows, one JSON
// object a line.
struct AdministrativeChange {
    HistoryEntry entry;
    QString what;
};
std::vector<AdministrativeChange> administrativeHistory(db::Connection& connection, int limit);

// The items' codes and names and the units' names the texts of `entries`
// name, by id, for telling the changes in words a clerk knows.
struct HistoryNames {
    QHash<QString, QString> items;
    QHash<QString, QString> units;
};
HistoryNames historyNames(db::Connection& connection, const std::vector<HistoryEntry>& entries);

// What changed between two compact texts, in the clerk's words, one change a
// line ("第2行 数量 5 → 6", "新增第3行 …", "删除第3行 …", "仓库 1 → 2"); lines
// are compared in their order. Items and units are named from `names` where
// known, else by id.
QStringList describeChange(const QString& before, const QString& after,
                           const HistoryNames& names = {});

}  // namespace otherin::bill
