#pragma once

#include <QPointer>

#include "entry/selectors.h"
#include "entry/ui/search_list_dialog.h"
#include "stock/batch_list.h"

namespace otherin::entry {
class Prompter;
}  // namespace otherin::entry

namespace otherin::stock {

// The batch picker: the batches on hand of ctx.batchItemId; a pick puts the
// batch and its unit cost into ctx.pickedBatch and ctx.pickedUnitCost.
class BatchPickerWindow : public entry::SearchListDialog {
    Q_OBJECT
  public:
    BatchPickerWindow(entry::LoginContext& ctx, entry::Prompter& prompter,
                      QWidget* parent = nullptr);

    // Empties the picked fields and loads the list; false after a reported
    // database failure (the rows read before it are listed).
    bool load();
    BatchListModel& model() { return model_; }

  protected:
    void searchChanged(const QString& text) override;
    void rowActivated(int row) override;

  private:
    entry::LoginContext& ctx_;
    entry::Prompter& prompter_;
    BatchListModel model_;
};

class QtBatchPicker : public entry::BatchPicker {
  public:
    explicit QtBatchPicker(entry::Prompter& prompter, QWidget* parent = nullptr)
        : prompter_(prompter), parent_(parent) {}
    void pick(entry::LoginContext& ctx) override;

  private:
    entry::Prompter& prompter_;
    QPointer<QWidget> parent_;
};

}  // namespace otherin::stock
