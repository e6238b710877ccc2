#include "entry/ui/qt_window_factory.h"

#include "editor/ui/frm_main_bill.h"
#include "query/ui/frm_main_bill_find.h"

namespace otherin::entry {

std::unique_ptr<ModalWindow> QtWindowFactory::createBillEditor(LoginContext& ctx) {
    return std::make_unique<editor::BillEditorWindow>(ctx, prompter_);
}

std::unique_ptr<ModalWindow> QtWindowFactory::createQueryDialog(LoginContext& ctx) {
    return std::make_unique<query::QueryDialogWindow>(ctx, prompter_);
}

}  // namespace otherin::entry
