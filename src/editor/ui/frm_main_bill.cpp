#include "editor/ui/frm_main_bill.h"

#include "entry/edit_mode.h"
#include "entry/login_context.h"

namespace otherin::editor {

frmMainBill::frmMainBill(entry::LoginContext& ctx, entry::Prompter& prompter, QWidget* parent)
    : QDialog(parent), ctx_(ctx), prompter_(prompter) {
    setObjectName(QStringLiteral("frmMainBill"));
    resize(960, 640);
}

void frmMainBill::prepare() {
    setWindowTitle(ctx_.gBillName + entry::editModeSuffix(ctx_.gEditMode));
}

void BillEditorWindow::showModal() {
    window_.prepare();
    window_.exec();
}

}  // namespace otherin::editor
