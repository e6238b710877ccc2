#include "editor/ui/stock_query_window.h"

#include "entry/ui/qt_language.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

#include "db/db_error.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::editor {

namespace {

enum Column {
    kStockNumber,
    kStockName,
    kItemNumber,
    kItemName,
    kModel,
    kUnit,
    kBatch,
    kPlace,
    kQty,
    kAmount,
    kColumnCount
};

// Quantities and amounts with the decimals they have, up to the stored six.
QString numberText(double value) {
    QString text = QString::number(value, 'f', 6);
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

}  // namespace

void StockTableModel::setRows(std::vector<StockRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int StockTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int StockTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant StockTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() == kQty || index.column() == kAmount;
        return static_cast<int>((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) return {};
    const StockRow& r = rows_[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
        case kStockNumber:
            return r.stockNumber;
        case kStockName:
            return r.stockName;
        case kItemNumber:
            return r.itemNumber;
        case kItemName:
            return r.itemName;
        case kModel:
            return r.model;
        case kUnit:
            return r.unitName;
        case kBatch:
            return r.batchNo;
        case kPlace:
            return r.stockPlace;
        case kQty:
            return numberText(r.qty);
        case kAmount:
            return numberText(r.amount);
        default:
            return {};
    }
}

QVariant StockTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    static const char* const titles[kColumnCount] = {"仓库代码", "仓库名称", "物料代码", "物料名称",
                                                     "规格型号", "单位",     "批号",     "仓位",
                                                     "数量",     "金额"};
    return QString::fromUtf8(titles[section]);
}

StockQueryWindow::StockQueryWindow(entry::LoginContext& ctx, entry::Prompter& prompter,
                                   QWidget* parent)
    : QDialog(parent), ctx_(ctx), prompter_(prompter), view_(new QTableView(this)) {
    setObjectName(QStringLiteral("frmStockQuery"));
    setWindowTitle(QStringLiteral("即时库存查询"));
    resize(900, 480);
    view_->setModel(&model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    entry::nameButtons(*buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addWidget(buttons);
}

bool StockQueryWindow::load(const QString& condition) {
    const auto filter = parseStockCondition(condition);
    if (!filter) {
        prompter_.message(QStringLiteral("库存查询条件无效: ") + condition, entry::Icon::Critical,
                          ctx_.msgTitle);
        return false;
    }
    try {
        entry::ConnectionScope scope(ctx_);
        model_.setRows(queryStock(ctx_.gConnection, *filter));
    } catch (const db::DbError& e) {
        entry::reportError(ctx_, prompter_, e.message());
        return false;
    }
    view_->resizeColumnsToContents();
    return true;
}

void QtStockQueryViewer::show(const QString& condition, int /*kind*/) {
    StockQueryWindow window(ctx_, prompter_, parent_);
    if (window.load(condition)) window.exec();
}

}  // namespace otherin::editor
