#include "app/qt_window_factory.h"

#include "editor/ui/frm_main_bill.h"
#include "entry/login_context.h"
#include "entry/ui/selector_dialogs.h"
#include "journal/ui/frm_main_bill_result.h"
#include "query/ui/frm_main_bill_find.h"

namespace otherin::app {

using entry::QtRecordSelector;
using entry::QtSecondRecordSelector;
using entry::QtUnitSelector;
using entry::Selectors;

namespace {

// The journal as the query dialog shows it.
class JournalResult : public query::ResultWindow {
  public:
    JournalResult(LoginContext& ctx, Prompter& prompter, query::BillFindController& query,
                  journal::JournalWindowHooks hooks)
        : window_(ctx, prompter, query, std::move(hooks)) {}
    query::JournalModel& model() override { return window_.model(); }
    bool isShowing() const override { return window_.isVisible(); }
    void showModal() override { window_.showModal(); }

  private:
    journal::frmMainBillResult window_;
};

// The query dialog with its selectors and, behind it, the journal and the
// bill editor the journal opens. The editor is made on first use and kept.
class QueryDialogWithJournal : public ModalWindow {
  public:
    QueryDialogWithJournal(LoginContext& ctx, Prompter& prompter, WindowFactory& windows)
        : ctx_(ctx),
          windows_(windows),
          dialog_(ctx, prompter, Selectors{&record_, &second_, &unit_}),
          record_(prompter, ctx.msgTitle, &dialog_.window()),
          second_(prompter, ctx.msgTitle, &dialog_.window()),
          unit_(prompter, ctx.msgTitle, &dialog_.window()) {
        dialog_.window().setResultWindowFactory(
            [this, &prompter](query::BillFindController& query) {
                journal::JournalWindowHooks hooks;
                hooks.openEditor = [this] { openEditor(); };
                hooks.showQuery = [this] { dialog_.window().showAgain(); };
                return std::make_unique<JournalResult>(ctx_, prompter, query, std::move(hooks));
            });
    }

    void showModal() override { dialog_.showModal(); }

  private:
    void openEditor() {
        if (!editor_) editor_ = windows_.createBillEditor(ctx_);
        editor_->showModal();
    }

    LoginContext& ctx_;
    WindowFactory& windows_;
    // The selectors are only reached once the dialog is up.
    query::QueryDialogWindow dialog_;
    QtRecordSelector record_;
    QtSecondRecordSelector second_;
    QtUnitSelector unit_;
    std::unique_ptr<ModalWindow> editor_;
};

}  // namespace

std::unique_ptr<ModalWindow> QtWindowFactory::createBillEditor(LoginContext& ctx) {
    return std::make_unique<editor::BillEditorWindow>(ctx, prompter_);
}

std::unique_ptr<ModalWindow> QtWindowFactory::createQueryDialog(LoginContext& ctx) {
    return std::make_unique<QueryDialogWithJournal>(ctx, prompter_, *this);
}

}  // namespace otherin::app
