#include "query/ui/frm_main_bill_find.h"

#include "entry/login_context.h"

namespace otherin::query {

frmMainBillFind::frmMainBillFind(entry::LoginContext& ctx, entry::Prompter& prompter,
                                 QWidget* parent)
    : QDialog(parent), ctx_(ctx), prompter_(prompter) {
    setObjectName(QStringLiteral("frmMainBillFind"));
    resize(720, 480);
}

void frmMainBillFind::prepare() {
    setWindowTitle(QStringLiteral("查询") + ctx_.gBillName);
}

void QueryDialogWindow::showModal() {
    window_.prepare();
    window_.exec();
}

}  // namespace otherin::query
