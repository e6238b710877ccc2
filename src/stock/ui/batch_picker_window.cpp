#include "stock/ui/batch_picker_window.h"

#include <QLineEdit>

#include "entry/login_context.h"

namespace otherin::stock {

BatchPickerWindow::BatchPickerWindow(entry::LoginContext& ctx, entry::Prompter& prompter,
                                     QWidget* parent)
    : entry::SearchListDialog(parent), ctx_(ctx), prompter_(prompter) {
    setObjectName(QStringLiteral("frmBatchPicker"));
    setWindowTitle(QStringLiteral("批号选择"));
    setListModel(&model_);
}

bool BatchPickerWindow::load() {
    ctx_.pickedBatch.clear();
    ctx_.pickedUnitCost.clear();
    searchBox()->clear();
    const bool ok = model_.load(ctx_, prompter_);
    setNote(model_.emptyReason());
    return ok;
}

void BatchPickerWindow::searchChanged(const QString& text) {
    model_.setFilter(text);
    setNote(model_.emptyReason());
}

void BatchPickerWindow::rowActivated(int row) {
    // Nothing is picked on an empty list; the window stays open.
    if (model_.pick(ctx_, row)) accept();
}

void QtBatchPicker::pick(entry::LoginContext& ctx) {
    BatchPickerWindow window(ctx, prompter_, parent_);
    window.load();
    window.exec();
}

}  // namespace otherin::stock
