#pragma once

#include <QDialog>

#include "entry/windows.h"

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::query {

// The query dialog: conditions, quick filters and schemes for the journal.
class frmMainBillFind : public QDialog {
    Q_OBJECT
  public:
    frmMainBillFind(entry::LoginContext& ctx, entry::Prompter& prompter, QWidget* parent = nullptr);

    void prepare();

  private:
    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
};

class QueryDialogWindow : public entry::ModalWindow {
  public:
    QueryDialogWindow(entry::LoginContext& ctx, entry::Prompter& prompter)
        : window_(ctx, prompter) {}
    void showModal() override;
    frmMainBillFind& window() { return window_; }

  private:
    frmMainBillFind window_;
};

}  // namespace otherin::query
