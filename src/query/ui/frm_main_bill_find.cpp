#include "query/ui/frm_main_bill_find.h"
#include "entry/ui/user_guide.h"

#include "entry/ui/window_placement.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "query/journal_model.h"
#include "query/ui/condition_view.h"

namespace otherin::query {

namespace {

QPushButton* makeButton(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    // Enter belongs to OK wherever the focus is.
    button->setAutoDefault(false);
    return button;
}

}  // namespace

frmMainBillFind::frmMainBillFind(entry::LoginContext& ctx, entry::Prompter& prompter,
                                 entry::Selectors selectors, QWidget* parent)
    : QDialog(parent), controller_(ctx, prompter, selectors) {
    setObjectName(QStringLiteral("frmMainBillFind"));
    setWindowModality(Qt::ApplicationModal);
    resize(940, 680);
    placement_ = new entry::WindowPlacement(*this, QStringLiteral("frmMainBillFind"), ctx);
    entry::offerUserGuide(this);

    auto* body = new QHBoxLayout;
    body->addWidget(buildSchemePanel());
    auto* right = new QVBoxLayout;
    right->addWidget(buildConditionPanel(), 3);
    right->addWidget(buildFilterPanel());
    right->addWidget(buildSortPanel(), 2);
    body->addLayout(right, 1);

    auto* buttons = new QDialogButtonBox(this);
    okButton_ = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    okButton_->setObjectName(QStringLiteral("ok"));
    okButton_->setDefault(true);
    QPushButton* close = buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("close"));
    close->setAutoDefault(false);
    // OK keeps the dialog up when the query fails, so it is not accept().
    connect(okButton_, &QPushButton::clicked, this, &frmMainBillFind::ok);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(buttons);
}

frmMainBillFind::~frmMainBillFind() = default;

QWidget* frmMainBillFind::buildSchemePanel() {
    auto* box = new QGroupBox(QStringLiteral("方案"), this);
    schemes_ = new QListWidget(box);
    schemes_->setObjectName(QStringLiteral("schemes"));
    connect(schemes_, &QListWidget::itemClicked, this, &frmMainBillFind::schemeClicked);
    QPushButton* save = makeButton(QStringLiteral("保存方案"), QStringLiteral("saveScheme"), box);
    QPushButton* remove =
        makeButton(QStringLiteral("删除方案"), QStringLiteral("deleteScheme"), box);
    QPushButton* clear =
        makeButton(QStringLiteral("清空条件"), QStringLiteral("clearConditions"), box);
    connect(save, &QPushButton::clicked, this, &frmMainBillFind::saveScheme);
    connect(remove, &QPushButton::clicked, this, &frmMainBillFind::deleteScheme);
    connect(clear, &QPushButton::clicked, this, &frmMainBillFind::clearConditions);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(schemes_, 1);
    for (QPushButton* button : {save, remove, clear}) layout->addWidget(button);
    box->setFixedWidth(180);
    return box;
}

QWidget* frmMainBillFind::buildConditionPanel() {
    auto* box = new QGroupBox(QStringLiteral("条件"), this);
    ConditionGrid& grid = controller_.conditions();
    conditions_ = new ConditionView(grid, box);
    conditions_->setObjectName(QStringLiteral("conditions"));
    conditions_->setItemDelegate(
        new ConditionDelegate([this](int row) { pick(row); }, conditions_));
    for (int c = 0; c < ConditionGrid::ColumnCount; ++c) {
        conditions_->setColumnHidden(c, ConditionGrid::isColumnHidden(c));
    }
    conditions_->setColumnWidth(ConditionGrid::Connector, 60);
    conditions_->setColumnWidth(ConditionGrid::Title, 180);
    conditions_->setColumnWidth(ConditionGrid::Operator, 110);
    conditions_->horizontalHeader()->setStretchLastSection(true);
    conditions_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    // All ten rows in sight.
    conditions_->setMinimumHeight(
        conditions_->verticalHeader()->defaultSectionSize() * ConditionGrid::kRows +
        conditions_->horizontalHeader()->sizeHint().height() + 2 * conditions_->frameWidth());
    conditions_->setSelectionMode(QAbstractItemView::SingleSelection);
    conditions_->setEditTriggers(
        QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
        QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    connect(conditions_, &ConditionView::pickRequested, this, &frmMainBillFind::pick);

    hint_ = new QLabel(box);
    QPalette palette = hint_->palette();
    palette.setColor(QPalette::WindowText, Qt::darkRed);
    hint_->setPalette(palette);
    connect(conditions_, &ConditionView::moveRefused, hint_, &QLabel::setText);
    connect(conditions_->selectionModel(), &QItemSelectionModel::currentChanged, hint_,
            &QLabel::clear);

    auto* layout = new QVBoxLayout(box);
    layout->addWidget(conditions_, 1);
    layout->addWidget(hint_);
    return box;
}

QWidget* frmMainBillFind::buildFilterPanel() {
    auto* box = new QGroupBox(QStringLiteral("过滤"), this);
    auto* layout = new QGridLayout(box);
    for (int k = 0; k < QuickFilters::KindCount; ++k) {
        const auto kind = static_cast<QuickFilters::Kind>(k);
        auto* combo = new QComboBox(box);
        combo->setMinimumWidth(90);
        filterBoxes_[k] = combo;
        auto* label = new QLabel(controller_.filters().filter(kind).label, box);
        label->setBuddy(combo);
        layout->addWidget(label, k / 3, (k % 3) * 2);
        layout->addWidget(combo, k / 3, (k % 3) * 2 + 1);
        connect(combo, &QComboBox::currentIndexChanged, this, [this, kind](int index) {
            if (index >= 0) controller_.filters().filter(kind).selected = index;
        });
    }
    layout->setColumnStretch(6, 1);
    return box;
}

QWidget* frmMainBillFind::buildSortPanel() {
    auto* box = new QGroupBox(QStringLiteral("排序"), this);
    sortTitles_ = new QListWidget(box);
    sortTitles_->setObjectName(QStringLiteral("sortTitles"));
    sortTitles_->setMaximumWidth(200);
    connect(sortTitles_, &QListWidget::itemDoubleClicked, this, &frmMainBillFind::addSortField);

    QPushButton* add = makeButton(QStringLiteral("添加"), QStringLiteral("addSort"), box);
    QPushButton* up = makeButton(QStringLiteral("上移"), QStringLiteral("sortUp"), box);
    QPushButton* down = makeButton(QStringLiteral("下移"), QStringLiteral("sortDown"), box);
    QPushButton* remove = makeButton(QStringLiteral("删除"), QStringLiteral("removeSort"), box);
    connect(add, &QPushButton::clicked, this, &frmMainBillFind::addSortField);
    connect(up, &QPushButton::clicked, this, [this] { moveSort(true); });
    connect(down, &QPushButton::clicked, this, [this] { moveSort(false); });
    connect(remove, &QPushButton::clicked, this, &frmMainBillFind::removeSortRow);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {add, up, down, remove}) buttons->addWidget(button);
    buttons->addStretch(1);

    sortView_ = new QTableView(box);
    sortView_->setObjectName(QStringLiteral("sortFields"));
    sortView_->setModel(&controller_.sortFields());
    sortView_->setColumnHidden(SortGrid::FieldName, true);
    sortView_->verticalHeader()->hide();
    sortView_->setSelectionMode(QAbstractItemView::SingleSelection);
    sortView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    sortView_->setColumnWidth(SortGrid::Number, 48);
    sortView_->setColumnWidth(SortGrid::Title, 200);
    sortView_->horizontalHeader()->setStretchLastSection(true);
    sortView_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);

    auto* layout = new QHBoxLayout(box);
    layout->addWidget(sortTitles_);
    layout->addLayout(buttons);
    layout->addWidget(sortView_, 1);
    return box;
}

void frmMainBillFind::prepare() {
    setWindowTitle(controller_.caption());
    controller_.open();
    showFilters();
    showSchemes();
    sortTitles_->clear();
    sortTitles_->addItems(controller_.catalogue().sortTitles());
    if (sortTitles_->count() > 0) sortTitles_->setCurrentRow(0);
    conditions_->setCurrentIndex(controller_.conditions().index(0, ConditionGrid::Title));
    hint_->clear();
}

void frmMainBillFind::showFilters() {
    for (int k = 0; k < QuickFilters::KindCount; ++k) {
        const QuickFilter& filter =
            controller_.filters().filter(static_cast<QuickFilters::Kind>(k));
        QComboBox* combo = filterBoxes_[k];
        const QSignalBlocker block(combo);
        combo->clear();
        for (const FilterEntry& entry : filter.entries) combo->addItem(entry.text);
        combo->setCurrentIndex(filter.selected);
        combo->setEnabled(filter.enabled);
    }
}

void frmMainBillFind::showSchemes() {
    schemes_->clear();
    const QIcon icon = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
    for (const QueryScheme& scheme : controller_.schemes().list()) {
        auto* item = new QListWidgetItem(icon, scheme.name, schemes_);
        item->setData(Qt::UserRole, scheme.id);
    }
}

void frmMainBillFind::schemeClicked() {
    const QListWidgetItem* item = schemes_->currentItem();
    if (item) controller_.loadScheme(item->data(Qt::UserRole).toInt());
}

void frmMainBillFind::saveScheme() {
    if (controller_.saveScheme()) showSchemes();
}

void frmMainBillFind::deleteScheme() {
    const QList<QListWidgetItem*> chosen = schemes_->selectedItems();
    if (chosen.isEmpty()) return;
    if (controller_.deleteScheme(chosen.first()->data(Qt::UserRole).toInt())) showSchemes();
}

void frmMainBillFind::clearConditions() {
    controller_.clearConditions();
    conditions_->setCurrentIndex(controller_.conditions().index(0, ConditionGrid::Title));
}

int frmMainBillFind::sortRow() const {
    const QModelIndex current = sortView_->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void frmMainBillFind::addSortField() {
    controller_.addSortField(sortTitles_->currentRow());
}

void frmMainBillFind::moveSort(bool up) {
    const int row = sortRow();
    if (row < 0) return;
    const int now = up ? controller_.moveSortUp(row) : controller_.moveSortDown(row);
    sortView_->setCurrentIndex(controller_.sortFields().index(now, SortGrid::Title));
}

void frmMainBillFind::removeSortRow() {
    controller_.removeSortRow(sortRow());
}

void frmMainBillFind::pick(int row) {
    controller_.pickValue(row);
}

void frmMainBillFind::ok() {
    if (!result_ && makeResult_) result_ = makeResult_(controller_);
    if (!result_) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool found = controller_.runQuery(result_->model());
    QApplication::restoreOverrideCursor();
    if (!found) return;
    hide();
    if (result_->isShowing()) return;
    result_->showModal();
    // Closing the journal unloads it; the next OK starts a new one.
    if (!result_->isShowing()) result_.reset();
}

void frmMainBillFind::showAgain() {
    show();
    raise();
    activateWindow();
    // Not exec(): the first showing's exec() is still on the stack below the
    // journal, and a dialog cannot run two of them.
    QEventLoop loop;
    connect(this, &frmMainBillFind::hidden, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::DialogExec);
}

void frmMainBillFind::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!isVisible()) emit hidden();
}

void QueryDialogWindow::showModal() {
    window_.prepare();
    window_.exec();
}

}  // namespace otherin::query
