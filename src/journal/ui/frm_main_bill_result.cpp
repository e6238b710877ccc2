#include "journal/ui/frm_main_bill_result.h"
#include "entry/ui/user_guide.h"

#include "journal/excel_export.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include "bill/ui/history_window.h"

#include "entry/column_layout.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "entry/ui/window_placement.h"
#include "journal/ui/frozen_table_view.h"
#include "query/bill_find_controller.h"

namespace otherin::journal {

namespace {

// Stored widths are in twips, as the suite's other grids keep them.
constexpr int kTwipsPerPixel = 15;
constexpr int kHeaderHeight = 350 / kTwipsPerPixel;
constexpr int kMinColumnWidth = 10;
// Designed widths look at the first lines only: a long journal must not be
// read through to lay out its columns.
constexpr int kSampleRows = 200;
// No column grows wider than this to show a long text whole.
constexpr int kWidestColumn = 480;

const char* const kHeaderStyle =
    "QHeaderView::section { background-color: rgb(174,198,230); border: none;"
    " border-right: 1px solid rgb(162,162,162); border-bottom: 1px solid rgb(162,162,162);"
    " padding: 0 4px; }";

class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

frmMainBillResult::frmMainBillResult(entry::LoginContext& ctx, entry::Prompter& prompter,
                                     query::BillFindController& query, JournalWindowHooks hooks,
                                     QWidget* parent)
    : QDialog(parent),
      ctx_(ctx),
      prompter_(prompter),
      query_(query),
      hooks_(std::move(hooks)),
      commands_(ctx, prompter, *this),
      lock_(ctx) {
    setObjectName(QStringLiteral("frmMainBillResult"));
    const QString title = ctx_.gBillName + QStringLiteral("序时簿");
    setWindowTitle(title);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    resize(1040, 640);
    placement_ = new entry::WindowPlacement(*this, QStringLiteral("frmMainBillResult"), ctx_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* menuBar = new QMenuBar(this);
    layout->setMenuBar(menuBar);
    toolBar_ = new QToolBar(this);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    layout->addWidget(toolBar_);

    auto* heading = new QLabel(title, this);
    heading->setObjectName(QStringLiteral("title"));
    QFont font = heading->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    heading->setFont(font);
    heading->setAlignment(Qt::AlignCenter);
    heading->setContentsMargins(0, 6, 0, 6);
    layout->addWidget(heading);

    buildChangeBar(layout);
    grid_ = new FrozenTableView(this);
    layout->addWidget(grid_, 1);
    auto* statusBar = new QStatusBar(this);
    status_ = new QLabel(statusBar);
    statusBar->addWidget(status_, 1);
    statusBar->addPermanentWidget(legend());
    layout->addWidget(statusBar);

    QMenu* fileMenu = menuBar->addMenu(QStringLiteral("文件(&F)"));
    editMenu_ = menuBar->addMenu(QStringLiteral("编辑(&E)"));
    entry::offerUserGuide(this, menuBar);
    editMenu_->setToolTipsVisible(true);
    buildCommands();
    fileMenu->addAction(command(QStringLiteral("MenuFileExit")));
    setUpGrid();
    connect(&model_, &query::JournalModel::statusTextChanged, status_, &QLabel::setText);
    JournalFollower::Hooks follow;
    follow.idle = [this] { return clerkIsIdle(); };
    follow.shown = [this] { return isVisible(); };
    follow.lines = [this] { return model_.lineCount(); };
    follow.reload = [this] { return commands_.followChanges(); };
    follower_ = new JournalFollower(&entry::watchBills(ctx_), std::move(follow), this);
    connect(follower_, &JournalFollower::barChanged, this, [this](const QString& text) {
        changeText_->setText(text);
        changeBar_->setVisible(!text.isEmpty());
    });
}

void frmMainBillResult::buildChangeBar(QVBoxLayout* layout) {
    changeBar_ = new QWidget(this);
    changeBar_->setObjectName(QStringLiteral("changeBar"));
    changeBar_->setAutoFillBackground(true);
    changeBar_->setStyleSheet(QStringLiteral("#changeBar { background-color: rgb(255,243,205); }"));
    auto* row = new QHBoxLayout(changeBar_);
    row->setContentsMargins(8, 3, 8, 3);
    changeText_ = new QLabel(changeBar_);
    row->addWidget(changeText_, 1);
    auto* refresh = new QPushButton(QStringLiteral("刷新"), changeBar_);
    refresh->setObjectName(QStringLiteral("changeBarRefresh"));
    refresh->setFocusPolicy(Qt::NoFocus);
    connect(refresh, &QPushButton::clicked, this, [this] { commands_.refresh(); });
    row->addWidget(refresh);
    changeBar_->hide();
    layout->addWidget(changeBar_);
}

bool frmMainBillResult::clerkIsIdle() const {
    return isVisible() && QApplication::activeModalWidget() == this &&
           !QApplication::activePopupWidget() && QApplication::mouseButtons() == Qt::NoButton;
}

frmMainBillResult::~frmMainBillResult() = default;

// What the row colours mean, as the grid paints them.
QLabel* frmMainBillResult::legend() {
    using M = query::JournalModel;
    const auto swatch = [](int background, int text, bool struck, const char* name) {
        return QStringLiteral("<span style=\"background-color:#%1;%2%3\">&nbsp;%4&nbsp;</span>")
            .arg(background, 6, 16, QLatin1Char('0'))
            .arg(text >= 0 ? QStringLiteral("color:#%1;").arg(text, 6, 16, QLatin1Char('0'))
                           : QString())
            .arg(struck ? QStringLiteral("text-decoration:line-through;") : QString())
            .arg(QString::fromUtf8(name));
    };
    const QStringList parts{
        swatch(M::kNotAuditedRgb, -1, false, "未审核"),
        swatch(M::kAuditedRgb, -1, false, "已审核"),
        swatch(M::kNotAuditedRgb, M::kRedTextRgb, false, "红字"),
        swatch(M::kWrittenOffRgb, -1, false, "已核销"),
        swatch(M::kSplitOffRgb, -1, false, "拆分"),
        swatch(M::kVoidedRgb, M::kVoidedTextRgb, true, "作废"),
    };
    auto* label = new QLabel(parts.join(QLatin1Char(' ')), this);
    label->setObjectName(QStringLiteral("legend"));
    label->setTextFormat(Qt::RichText);
    label->setToolTip(QStringLiteral("指向一行可看到该单据的状态"));
    return label;
}

QAction* frmMainBillResult::addCommand(const QString& name, const QString& text,
                                       const std::function<void()>& handler) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    if (handler) {
        connect(action, &QAction::triggered, this, handler);
    } else {
        action->setEnabled(false);
    }
    return action;
}

void frmMainBillResult::buildCommands() {
    auto run = [](auto member, JournalCommands& c) { return [member, &c] { (c.*member)(); }; };
    JournalCommands& c = commands_;
    QStyle* s = style();

    // The menu items, in menu order; nullptr is a separator.
    const std::vector<QAction*> edit{
        addCommand("MenuEditAdd", "新增", run(&JournalCommands::addNew, c)),
        addCommand("MenuEditUpdate", "修改", run(&JournalCommands::change, c)),
        addCommand("MenuEditRevise", "修订", {}),
        addCommand("MenuEditDelete", "删除", run(&JournalCommands::remove, c)),
        nullptr,
        addCommand("MenuEditCheck", "审核", run(&JournalCommands::check, c)),
        addCommand("MenuEditUnCheck", "反审核", run(&JournalCommands::unCheck, c)),
        nullptr,
        addCommand("MenuEditCancel", "作废", run(&JournalCommands::cancel, c)),
        addCommand("MenuEditUnCancel", "反作废", run(&JournalCommands::unCancel, c)),
        nullptr,
        addCommand("MenuSplitBill", "单据拆分", run(&JournalCommands::split, c)),
        addCommand("MenuRestoreBill", "单据还原", run(&JournalCommands::restore, c)),
        nullptr,
        addCommand("MenuHXBill", "单据核销", run(&JournalCommands::writeOff, c)),
        addCommand("MenuUnHXBill", "单据反核销", run(&JournalCommands::unWriteOff, c)),
        nullptr,
        addCommand("MenuHistory", "修改记录", [this] { showHistory(); }),
        nullptr,
        addCommand("MenuRestoreColWidth", "恢复默认列宽",
                   [this] { restoreWidths(entry::kDefaultLayout); }),
        addCommand("MenuLockCols", "设置锁定列", [this] { lockColumns(); }),
        nullptr,
        addCommand("MenuExcel", "导出到Excel",
                   [this] { journal::exportJournalCommand(ctx_, prompter_, model_); }),
    };
    for (QAction* action : edit) {
        if (action) {
            editMenu_->addAction(action);
        } else {
            editMenu_->addSeparator();
        }
    }
    command("MenuEditDelete")->setShortcut(QKeySequence::Delete);
    addCommand("MenuFileExit", "退出", [this] { close(); });

    const std::vector<std::pair<QAction*, QStyle::StandardPixmap>> buttons{
        {addCommand("New", "新增", run(&JournalCommands::addNew, c)), QStyle::SP_FileIcon},
        {addCommand("Update", "修改", run(&JournalCommands::change, c)),
         QStyle::SP_FileDialogDetailedView},
        {addCommand("Revise", "修订", {}), QStyle::SP_FileDialogInfoView},
        {addCommand("Delete", "删除", run(&JournalCommands::remove, c)), QStyle::SP_TrashIcon},
        {nullptr, {}},
        {addCommand("Refresh", "刷新", run(&JournalCommands::refresh, c)),
         QStyle::SP_BrowserReload},
        {addCommand("Filter", "过滤", [&c] { c.filter(); }), QStyle::SP_FileDialogContentsView},
        {nullptr, {}},
        {addCommand("Check", "审核", run(&JournalCommands::check, c)),
         QStyle::SP_DialogApplyButton},
        {nullptr, {}},
        {addCommand("Preview", "预览", {}), QStyle::SP_FileDialogListView},
        {addCommand("Print", "打印", {}), QStyle::SP_DriveFDIcon},
        {nullptr, {}},
        {addCommand("Exit", "关闭", [this] { close(); }), QStyle::SP_DialogCloseButton},
    };
    for (const auto& [action, icon] : buttons) {
        if (action) {
            action->setIcon(s->standardIcon(icon));
            toolBar_->addAction(action);
        } else {
            toolBar_->addSeparator();
        }
    }
    command("Refresh")->setShortcut(QKeySequence::Refresh);
    command("Filter")->setShortcut(QKeySequence::Find);
    // The toolbar's tips name the keys.
    for (const char* name : {"Refresh", "Filter", "Delete"}) {
        QAction* a = command(QLatin1String(name));
        const QKeySequence key =
            a->shortcut().isEmpty() ? command("MenuEditDelete")->shortcut() : a->shortcut();
        a->setToolTip(a->text() + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) +
                      QLatin1Char(')'));
    }
    // Shortcuts work wherever the focus is in this window.
    addActions({command("MenuEditDelete"), command("Refresh"), command("Filter")});
    // The menu names the keys of the commands only the toolbar holds.
    editMenu_->addSeparator();
    for (const char* name : {"Refresh", "Filter"}) {
        QAction* held = command(QLatin1String(name));
        QAction* item = addCommand(
            QStringLiteral("Menu") + QLatin1String(name),
            held->text() + QLatin1Char('\t') + held->shortcut().toString(QKeySequence::NativeText),
            [held] { held->trigger(); });
        editMenu_->addAction(item);
    }
}

void frmMainBillResult::showHistory() {
    const int row = currentRow();
    if (row < 0 || row >= rowCount() || isTotalsRow(row)) return;
    bill::QtHistoryViewer(ctx_, prompter_, this).show(interId(row));
}

QAction* frmMainBillResult::command(const QString& name) const {
    return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

void frmMainBillResult::setUpGrid() {
    const int rowHeight = fontMetrics().height() + 6;
    for (QTableView* view : {static_cast<QTableView*>(grid_), grid_->frozenView()}) {
        view->setItemDelegate(new JournalRowDelegate(view));
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setShowGrid(false);
        view->setWordWrap(false);
        view->verticalHeader()->hide();
        // One fixed height for every line keeps a long journal quick to scroll.
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->verticalHeader()->setDefaultSectionSize(rowHeight);
        view->horizontalHeader()->setStyleSheet(QString::fromLatin1(kHeaderStyle));
        view->horizontalHeader()->setFixedHeight(kHeaderHeight);
        view->horizontalHeader()->setHighlightSections(false);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
            editMenu_->popup(view->viewport()->mapToGlobal(at));
        });
        connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            if (index.isValid()) commands_.openCurrent();
        });
    }
    grid_->setModel(&model_);
    grid_->installEventFilter(this);
    connect(grid_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int newSize) { columnResized(column, newSize); });
    connect(&model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { laying_ = true; });
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] { applyLayout(); });
}

bool frmMainBillResult::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            commands_.openCurrent();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString frmMainBillResult::statusText() const {
    return status_->text();
}

void frmMainBillResult::showModal() {
    exec();
}

void frmMainBillResult::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (activated_) return;
    activated_ = true;
    firstActivation();
}

void frmMainBillResult::firstActivation() {
    restoreWidths(entry::kUserLayout);
    lockedColumns_ = lock_.load(model_.columnCount());
    applyFrozen();
    const std::vector<std::pair<const char*, JournalCommand>> gated{
        {"MenuEditAdd", JournalCommand::New},           {"New", JournalCommand::New},
        {"MenuEditDelete", JournalCommand::Delete},     {"Delete", JournalCommand::Delete},
        {"MenuEditCheck", JournalCommand::Check},       {"Check", JournalCommand::Check},
        {"MenuEditUnCheck", JournalCommand::UnCheck},   {"MenuEditCancel", JournalCommand::Cancel},
        {"MenuEditUnCancel", JournalCommand::UnCancel}, {"MenuSplitBill", JournalCommand::Split},
        {"MenuRestoreBill", JournalCommand::Restore},   {"MenuHXBill", JournalCommand::WriteOff},
        {"MenuUnHXBill", JournalCommand::UnWriteOff},
    };
    for (const auto& [name, which] : gated) {
        command(QLatin1String(name))->setEnabled(isCommandAvailable(ctx_, which));
    }
}

void frmMainBillResult::done(int result) {
    if (isVisible()) {
        if (!widths_.empty()) {
            QList<int> twips;
            for (int width : widths_) twips << width * kTwipsPerPixel;
            entry::saveColumnLayout(ctx_, prompter_, columnLayoutName(ctx_), twips,
                                    entry::kUserLayout);
        }
        ctx_.gFromJournal = 0;
        lock_.save();
    }
    QDialog::done(result);
}

std::vector<int> frmMainBillResult::designedWidths() const {
    const QFontMetrics metrics = grid_->fontMetrics();
    const QFontMetrics headerMetrics = grid_->horizontalHeader()->fontMetrics();
    // The first lines and the totals, which hold the widest numbers.
    std::vector<int> rows;
    for (int row = 0; row < std::min(model_.lineCount(), kSampleRows); ++row) rows.push_back(row);
    if (model_.lineCount() > 0) rows.push_back(model_.lineCount());
    std::vector<int> widths;
    for (int c = 0; c < model_.columnCount(); ++c) {
        int width = headerMetrics.horizontalAdvance(model_.column(c).title) + 16;
        for (int row : rows) {
            width = std::max(width, metrics.horizontalAdvance(model_.text(row, c)) + 12);
        }
        widths.push_back(std::clamp(width, 48, kWidestColumn));
    }
    return widths;
}

// After each load the columns come back with the widths they had; the first
// load, or one with other columns, gets the designed widths.
void frmMainBillResult::applyLayout() {
    laying_ = true;
    if (static_cast<int>(widths_.size()) != model_.columnCount()) widths_ = designedWidths();
    for (int c = 0; c < model_.columnCount(); ++c) {
        grid_->setColumnHidden(c, model_.isColumnHidden(c));
        grid_->setColumnWidth(c, widths_[c]);
    }
    laying_ = false;
    grid_->syncFrozenColumns();
    // As a fresh list starts: its first line current and selected.
    if (model_.rowCount() > 0) setCurrentRow(0);
}

void frmMainBillResult::applyFrozen() {
    grid_->setFrozenColumnCount(ColumnLock::kIdColumns + lockedColumns_);
}

void frmMainBillResult::columnResized(int column, int newSize) {
    if (laying_ || newSize <= 0 || column >= static_cast<int>(widths_.size())) return;
    widths_[column] = newSize;
}

void frmMainBillResult::restoreWidths(int type) {
    QList<int> twips;
    for (int width : widths_) twips << width * kTwipsPerPixel;
    if (!entry::restoreColumnLayout(ctx_, prompter_, columnLayoutName(ctx_), twips, type)) return;
    for (int c = 0; c < twips.size(); ++c) {
        widths_[c] = std::max(kMinColumnWidth, twips[c] / kTwipsPerPixel);
    }
    applyLayout();
}

void frmMainBillResult::lockColumns() {
    const std::optional<int> n = lock_.ask(prompter_, model_.columnCount());
    if (!n) return;
    lockedColumns_ = *n;
    applyFrozen();
}

int frmMainBillResult::rowCount() const {
    return model_.rowCount();
}

bool frmMainBillResult::isTotalsRow(int row) const {
    return model_.isTotalsRow(row);
}

qint64 frmMainBillResult::interId(int row) const {
    return model_.interId(row);
}

int frmMainBillResult::currentRow() const {
    const QModelIndex current = grid_->currentIndex();
    return current.isValid() ? current.row() : -1;
}

int frmMainBillResult::topRow() const {
    return grid_->topRow();
}

bool frmMainBillResult::isRowSelected(int row) const {
    return grid_->selectionModel()->isRowSelected(row, QModelIndex());
}

void frmMainBillResult::setCurrentRow(int row) {
    int column = 0;
    while (column < model_.columnCount() - 1 && grid_->isColumnHidden(column)) ++column;
    const QModelIndex index = model_.index(row, column);
    grid_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grid_->scrollTo(index);
}

void frmMainBillResult::setTopRow(int row) {
    grid_->setTopRow(row);
}

bool frmMainBillResult::reload() {
    BusyCursor busy;
    follower_->reloadStarting();
    return query_.runQuery(model_);
}

bool frmMainBillResult::reloadQuietly() {
    follower_->reloadStarting();
    entry::SilentPrompter silent;
    return query_.runQuery(model_, silent);
}

void frmMainBillResult::selectRow(int row) {
    grid_->selectionModel()->select(model_.index(row, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void frmMainBillResult::showQuery() {
    if (hooks_.showQuery) hooks_.showQuery();
}

void frmMainBillResult::openEditor() {
    if (hooks_.openEditor) hooks_.openEditor();
}

}  // namespace otherin::journal
