#pragma once

#include <QDialog>
#include <QPointer>

#include "entry/selectors.h"

class QTableWidget;

namespace otherin::entry {
class Prompter;
struct LoginContext;
}  // namespace otherin::entry

namespace otherin::bill {

// "修改记录": a bill's change history, newest first, one row per write: the
// time, the operation, who, and what changed. Read-only.
class HistoryWindow : public QDialog {
    Q_OBJECT
  public:
    HistoryWindow(entry::LoginContext& ctx, entry::Prompter& prompter, QWidget* parent = nullptr);

    // Reads the history of bill `interId`; false after a reported failure.
    bool load(qint64 interId);
    QTableWidget& table() { return *table_; }

  private:
    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
    QTableWidget* table_;
};

class QtHistoryViewer : public entry::HistoryViewer {
  public:
    QtHistoryViewer(entry::LoginContext& ctx, entry::Prompter& prompter, QWidget* parent)
        : ctx_(ctx), prompter_(prompter), parent_(parent) {}
    void show(qint64 interId) override;

  private:
    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
    QPointer<QWidget> parent_;
};

}  // namespace otherin::bill
