#include "editor/ui/print_preview.h"

#include <QApplication>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>

#include "editor/print/report_render.h"

namespace otherin::editor {

void PrintPreviewViewer::preview(const print::Report& report) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(report.title);
    print::applyPageLayout(printer);
    QPrintPreviewDialog dialog(&printer, parent_);
    dialog.setWindowTitle(QStringLiteral("打印预览"));
    QObject::connect(
        &dialog, &QPrintPreviewDialog::paintRequested, &dialog,
        [&report](QPrinter* target) { print::paintDocument(*report.document, *target); });
    dialog.exec();
}

bool previewBill(entry::LoginContext& ctx, entry::Prompter& prompter, qint64 billId,
                 QWidget* parent) {
    PrintPreviewViewer viewer(parent);
    return print::printBill(ctx, prompter, billId, print::PrintTarget::preview(), &viewer);
}

bool printBillOnPrinter(entry::LoginContext& ctx, entry::Prompter& prompter, qint64 billId) {
    print::PrintTarget target = print::PrintTarget::toPrinter();
    target.choose = [](QPrinter& printer) {
        QPrintDialog dialog(&printer, QApplication::activeWindow());
        dialog.setWindowTitle(QStringLiteral("打印"));
        dialog.setOptions(QAbstractPrintDialog::PrintPageRange |
                          QAbstractPrintDialog::PrintToFile |
                          QAbstractPrintDialog::PrintShowPageSize);
        return dialog.exec() == QDialog::Accepted;
    };
    return print::printBill(ctx, prompter, billId, target);
}

}  // namespace otherin::editor
