#include "editor/ui/frm_main_bill.h"
#include "entry/ui/user_guide.h"

#include "entry/ui/window_placement.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "bill/ui/history_window.h"
#include "editor/bill_follow.h"
#include "editor/bill_session.h"
#include "editor/ui/bill_commands.h"
#include "editor/ui/focus_router.h"
#include "editor/ui/header_panel.h"
#include "editor/ui/line_grid_view.h"
#include "editor/ui/print_preview.h"
#include "editor/ui/stock_query_window.h"
#include "editor/ui/totals_view.h"
#include "entry/login_context.h"
#include "entry/ui/selector_dialogs.h"
#include "stock/ui/batch_picker_window.h"

namespace otherin::editor {

namespace {

QLabel* markLabel(const QString& text, QWidget* parent) {
    auto* mark = new QLabel(text, parent);
    mark->setStyleSheet(
        QStringLiteral("color: rgb(255, 0, 0); border: 2px solid rgb(255, 0, 0);"
                       " padding: 1px 6px; font-weight: bold;"));
    mark->hide();
    return mark;
}

QLineEdit* fixedField(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setFixedWidth(140);
    return field;
}

}  // namespace

frmMainBill::frmMainBill(entry::LoginContext& ctx, entry::Prompter& prompter, QWidget* parent)
    : QDialog(parent), ctx_(ctx), prompter_(prompter) {
    setObjectName(QStringLiteral("frmMainBill"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(1000, 660);
    placement_ = new entry::WindowPlacement(*this, QStringLiteral("frmMainBill"), ctx_);
    buildFrame();
}

void frmMainBill::setSettingsStore(entry::SettingsStore* settings) {
    settings_ = settings;
    placement_->setStore(settings);
}

frmMainBill::~frmMainBill() {
    if (busyCursor_) QApplication::restoreOverrideCursor();
}

// The parts of the window that do not depend on the layout.
void frmMainBill::buildFrame() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 0, 6, 0);
    commands_ = new BillCommands(this);
    layout->setMenuBar(commands_->menuBar());
    entry::offerUserGuide(this, commands_->menuBar());
    layout->addWidget(commands_->toolBar());
    connect(commands_, &BillCommands::triggered, this, &frmMainBill::runCommand);

    // The title stays centred whether the marks beside it show or not.
    auto* titleRow = new QGridLayout;
    titleLabel_ = new QLabel(this);
    titleLabel_->setObjectName(QStringLiteral("titleLabel"));
    QFont titleFont = titleLabel_->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    titleLabel_->setFont(titleFont);
    titleLabel_->setAlignment(Qt::AlignCenter);
    redMark_ = markLabel(QStringLiteral("红字"), this);
    auditedMark_ = markLabel(QStringLiteral("已审核"), this);
    auto* marks = new QHBoxLayout;
    marks->addStretch(1);
    marks->addWidget(redMark_);
    marks->addWidget(auditedMark_);
    titleRow->addWidget(titleLabel_, 0, 1);
    titleRow->addLayout(marks, 0, 2);
    titleRow->setColumnStretch(0, 1);
    titleRow->setColumnStretch(2, 1);
    layout->addLayout(titleRow);

    header_ = new HeaderPanel(this);
    layout->addWidget(header_);
    buildNoticeBar(layout);
    grid_ = new LineGridView(this);
    layout->addWidget(grid_, 1);

    auto* stripRow = new QHBoxLayout;
    stripRow->setSpacing(0);
    totals_ = new TotalsView(this);
    stripGap_ = new QWidget(this);
    stripGap_->setFixedWidth(0);
    stripRow->addWidget(totals_);
    stripRow->addWidget(stripGap_);
    layout->addLayout(stripRow);
    connect(totals_, &TotalsView::rightGapChanged, stripGap_, &QWidget::setFixedWidth);

    auto* fixedRow = new QHBoxLayout;
    maker_ = fixedField(this);
    maker_->setObjectName(QStringLiteral("maker"));
    checker_ = fixedField(this);
    checker_->setObjectName(QStringLiteral("checker"));
    fixedRow->addWidget(new QLabel(QStringLiteral("制单人："), this));
    fixedRow->addWidget(maker_);
    fixedRow->addStretch(1);
    fixedRow->addWidget(new QLabel(QStringLiteral("审核人："), this));
    fixedRow->addWidget(checker_);
    layout->addLayout(fixedRow);

    status_ = new QStatusBar(this);
    status_->setSizeGripEnabled(false);
    layout->addWidget(status_);
}

// Each showing loads the window afresh (options, colour, baseline); the
// layout and the widgets built from it stay.
void frmMainBill::prepare() {
    const bool first = !session_;
    if (first) createSession();
    // A layout that broke off half way has been reported; what was built is shown.
    session_->prepare();
    if (first) {
        buildFromLayout();
        connectSession();
    }
    session_->start();
    if (!followerShown_ && session_->follower()) {
        followerShown_ = true;
        connect(session_->follower(), &BillFollower::noticeChanged, this, &frmMainBill::showNotice);
    }
    showNotice();
    focus_->forget();
    showTitle();
    showBill();
    showCommands();
    showStatus();
}

void frmMainBill::buildNoticeBar(QVBoxLayout* layout) {
    noticeBar_ = new QWidget(this);
    noticeBar_->setObjectName(QStringLiteral("noticeBar"));
    noticeBar_->setStyleSheet(QStringLiteral("#noticeBar { background-color: rgb(255,243,205); }"));
    auto* row = new QHBoxLayout(noticeBar_);
    row->setContentsMargins(8, 3, 8, 3);
    noticeText_ = new QLabel(noticeBar_);
    noticeText_->setObjectName(QStringLiteral("noticeText"));
    row->addWidget(noticeText_, 1);
    auto* reopen = new QPushButton(QStringLiteral("重新打开"), noticeBar_);
    reopen->setObjectName(QStringLiteral("reopen"));
    reopen->setFocusPolicy(Qt::NoFocus);
    connect(reopen, &QPushButton::clicked, this, [this] {
        if (session_) session_->reopen();
    });
    row->addWidget(reopen);
    reopen_ = reopen;
    noticeBar_->hide();
    layout->addWidget(noticeBar_);
}

void frmMainBill::showNotice() {
    const BillFollower* follower = session_ ? session_->follower() : nullptr;
    const QString text = follower ? follower->notice() : QString();
    noticeText_->setText(text);
    reopen_->setVisible(follower && follower->canReopen());
    noticeBar_->setVisible(!text.isEmpty());
}

void frmMainBill::createSession() {
    records_ = std::make_unique<entry::QtRecordSelector>(prompter_, ctx_.msgTitle, this);
    second_ = std::make_unique<entry::QtSecondRecordSelector>(prompter_, ctx_.msgTitle, this);
    units_ = std::make_unique<entry::QtUnitSelector>(prompter_, ctx_.msgTitle, this);
    batches_ = std::make_unique<stock::QtBatchPicker>(prompter_, this);
    stockQuery_ = std::make_unique<QtStockQueryViewer>(ctx_, prompter_, this);
    history_ = std::make_unique<bill::QtHistoryViewer>(ctx_, prompter_, this);
    entry::Selectors selectors;
    selectors.record = records_.get();
    selectors.second = second_.get();
    selectors.unit = units_.get();
    selectors.stockQuery = stockQuery_.get();
    selectors.batchPicker = batches_.get();
    selectors.history = history_.get();
    session_ = std::make_unique<BillSession>(ctx_, prompter_, selectors, settings_);
    session_->setPrintHandler([this](qint32 billId, bool preview) {
        if (preview) {
            previewBill(ctx_, prompter_, billId, this);
        } else {
            printBillOnPrinter(ctx_, prompter_, billId);
        }
    });
}

void frmMainBill::buildFromLayout() {
    BillForm& form = session_->form();
    EditorController& controller = session_->controller();
    header_->build(form, session_->dateField());
    grid_->setGrid(&form.grid);
    focus_ = new FocusRouter(this, *header_, *grid_, controller);
    grid_->cursor()->setGuard([this, &controller](int c, int r, int c2, int r2) {
        return focus_->inGrid() && controller.leaveCell(c, r, c2, r2);
    });
    grid_->setTipProvider([this](int c, int r) { return session_->gridTip(c, r); });
    totals_->setStrip(&form.strip, grid_);

    const std::vector<QWidget*> chain = header_->tabChain();
    QWidget* previous = nullptr;
    for (QWidget* w : chain) {
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
    if (previous) QWidget::setTabOrder(previous, grid_);
    if (!chain.empty()) chain.front()->setFocus();
}

void frmMainBill::connectSession() {
    EditorController& controller = session_->controller();
    BillSession* session = session_.get();

    connect(header_, &HeaderPanel::textEdited, &controller, &EditorController::setHeaderText);
    connect(header_, &HeaderPanel::dateEdited, session,
            [session](int, const QDate& date) { session->setBillDate(date); });
    connect(header_, &HeaderPanel::keyPressed, &controller, &EditorController::headerKey);
    connect(header_, &HeaderPanel::dateEscaped, &controller, &EditorController::dateEscape);
    connect(header_, &HeaderPanel::lookupImageClicked, this, &frmMainBill::runLookup);
    connect(grid_, &LineGridView::lookupRequested, this,
            [&controller] { controller.gridKey(EditorKey::F7); });

    connect(&controller, &EditorController::headerChanged, this, [this](int index) {
        header_->showField(index);
        if (header_->isDateField(index)) header_->showDate(session_->billDate());
    });
    connect(&controller, &EditorController::headerSelectAll, this, [this](int index) {
        // After the click that gave the focus has placed the text cursor.
        QTimer::singleShot(0, header_, [this, index] { header_->selectAll(index); });
    });
    connect(&controller, &EditorController::headerFocusRequested, this, [this](int index) {
        if (QWidget* w = header_->input(index)) w->setFocus(Qt::TabFocusReason);
    });
    connect(&controller, &EditorController::cellFocusRequested, this, &frmMainBill::focusCell);
    connect(&controller, &EditorController::commandsChanged, this, [this] {
        header_->showLookupImage();
        showCommands();
    });

    connect(session, &BillSession::commandsChanged, this, &frmMainBill::showCommands);
    connect(session, &BillSession::titleChanged, this, &frmMainBill::showTitle);
    connect(session, &BillSession::fixedFieldsChanged, this, &frmMainBill::showFixedFields);
    connect(session, &BillSession::statusChanged, this, &frmMainBill::showStatus);
    connect(session, &BillSession::billReplaced, this, &frmMainBill::showBill);
    // A reset of the lines forgets the view's cursor; the editor's stays.
    connect(&session_->form().grid, &QAbstractItemModel::modelReset, this,
            &frmMainBill::showCursor);
}

void frmMainBill::runCommand(const QString& key) {
    if (!session_) return;
    if (key == QLatin1String(keys::Exit) || key == QLatin1String(keys::MenuClose)) {
        reject();
        return;
    }
    if (key == QLatin1String(keys::View)) {
        runLookup();
        return;
    }
    // What is typed into an open cell belongs to the bill before any command.
    grid_->commitOpenEditor();
    // "表头" and "表体" only show their option.
    if (key != QLatin1String(keys::MenuCopyHeader) && key != QLatin1String(keys::MenuCopyEntry))
        session_->runCommand(key);
    showCommands();
    showCursor();
}

void frmMainBill::runLookup() {
    grid_->commitOpenEditor();
    session_->view();
    showCursor();
}

void frmMainBill::reject() {
    if (session_) {
        grid_->commitOpenEditor();
        if (!session_->close()) return;
    }
    QDialog::reject();
}

// Esc edits cells and closes pop-ups; it does not close a bill by accident.
void frmMainBill::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmMainBill::showCommands() {
    if (!session_) return;
    commands_->showStates([this](const QString& key) { return session_->commandState(key); });
    redMark_->setVisible(session_->redMarkVisible());
    auditedMark_->setVisible(session_->auditedMarkVisible());
}

void frmMainBill::showTitle() {
    if (!session_) return;
    setWindowTitle(session_->title());
    titleLabel_->setText(session_->titleLabel());
}

void frmMainBill::showFixedFields() {
    if (!session_) return;
    maker_->setText(session_->fixedFields().makerName);
    checker_->setText(session_->fixedFields().checkerName);
}

void frmMainBill::showStatus() {
    if (!session_) return;
    status_->showMessage(session_->statusText());
    const bool busy = session_->isBusy();
    if (busy && !busyCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (!busy && busyCursor_) {
        QApplication::restoreOverrideCursor();
    }
    busyCursor_ = busy;
    // A save runs without returning to the event loop; show its status now.
    status_->repaint();
}

void frmMainBill::showBill() {
    if (!session_) return;
    header_->showAllFields();
    header_->showDate(session_->billDate());
    header_->showLookupImage();
    showFixedFields();
    showCursor();
}

void frmMainBill::showCursor() {
    if (!session_) return;
    const CellPos at = session_->controller().state().active;
    grid_->showCursorAt(at.column, at.row);
}

void frmMainBill::focusCell(int c, int r) {
    grid_->showCursorAt(c, r);
    grid_->setFocus(Qt::OtherFocusReason);
}

void BillEditorWindow::showModal() {
    window_.prepare();
    window_.exec();
}

}  // namespace otherin::editor
