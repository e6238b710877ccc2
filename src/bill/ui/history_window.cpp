#include "bill/ui/history_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "bill/bill_history.h"
#include "db/db_error.h"
#include "entry/error_report.h"
#include "entry/login_context.h"

namespace otherin::bill {

HistoryWindow::HistoryWindow(entry::LoginContext& ctx, entry::Prompter& prompter, QWidget* parent)
    : QDialog(parent), ctx_(ctx), prompter_(prompter), table_(new QTableWidget(this)) {
    setObjectName(QStringLiteral("frmBillHistory"));
    setWindowTitle(QStringLiteral("修改记录"));
    table_->setColumnCount(4);
    table_->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("操作"),
                                       QStringLiteral("操作人"), QStringLiteral("修改内容")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(buttons);
    resize(760, 420);
}

bool HistoryWindow::load(qint64 interId) {
    std::vector<HistoryEntry> entries;
    HistoryNames names;
    try {
        entry::ConnectionScope scope(ctx_);
        entries = billHistory(ctx_.gConnection, static_cast<qint32>(interId));
        names = historyNames(ctx_.gConnection, entries);
    } catch (const db::DbError& e) {
        entry::reportError(ctx_, prompter_, e.message());
        return false;
    }
    table_->setRowCount(static_cast<int>(entries.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const HistoryEntry& e = entries[static_cast<size_t>(row)];
        const QStringList changes = describeChange(e.before, e.after, names);
        const QString cells[] = {e.time, e.operation, e.who, changes.join(u'\n')};
        for (int column = 0; column < 4; ++column)
            table_->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->resizeRowsToContents();
    return true;
}

void QtHistoryViewer::show(qint64 interId) {
    HistoryWindow window(ctx_, prompter_, parent_);
    if (window.load(interId)) window.exec();
}

}  // namespace otherin::bill
