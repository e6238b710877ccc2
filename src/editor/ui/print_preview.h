#pragma once

#include <QPointer>
#include <QWidget>

#include "editor/print/bill_print.h"

namespace otherin::editor {

// Shows a report in the print preview dialog, from which the user can also
// print it or change the page set-up.
class PrintPreviewViewer : public print::ReportViewer {
  public:
    explicit PrintPreviewViewer(QWidget* parent = nullptr) : parent_(parent) {}
    void preview(const print::Report& report) override;

  private:
    QPointer<QWidget> parent_;
};

// The editor's "预览" and "打印" commands for the bill it shows (billId is
// ctx.gCurrentInterId for a saved bill). Printing goes to the default printer.
bool previewBill(entry::LoginContext& ctx, entry::Prompter& prompter, qint64 billId,
                 QWidget* parent);
bool printBillOnPrinter(entry::LoginContext& ctx, entry::Prompter& prompter, qint64 billId);

}  // namespace otherin::editor
