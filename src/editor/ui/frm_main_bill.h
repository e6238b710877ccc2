#pragma once

#include <QDialog>

#include "entry/windows.h"

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::editor {

// The bill editor window.
class frmMainBill : public QDialog {
    Q_OBJECT
  public:
    frmMainBill(entry::LoginContext& ctx, entry::Prompter& prompter, QWidget* parent = nullptr);

    // Sets the window up for the context's current mode.
    void prepare();

  private:
    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
};

class BillEditorWindow : public entry::ModalWindow {
  public:
    BillEditorWindow(entry::LoginContext& ctx, entry::Prompter& prompter)
        : window_(ctx, prompter) {}
    void showModal() override;
    frmMainBill& window() { return window_; }

  private:
    frmMainBill window_;
};

}  // namespace otherin::editor
