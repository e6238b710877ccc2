#include "editor/ui/bill_commands.h"
#include "entry/ui/toolbar_icons.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QToolBar>
#include <algorithm>

namespace otherin::editor {

namespace {

QIcon standardIcon(QWidget* window, QStyle::StandardPixmap pixmap) {
    return entry::toolbarIcon(window, pixmap);
}

// Red and Blue show the colour they give the bill.
QIcon colourIcon(const QColor& colour) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(colour.darker());
    painter.setBrush(colour);
    painter.drawRect(2, 2, 11, 11);
    return QIcon(pixmap);
}

// The keys of the commands used all day. Each sequence is held by the
// command's toolbar button only (two holders would make it ambiguous and
// neither would fire); menu items show it beside their caption.
struct Shortcut {
    const char* key;
    QKeySequence keys;
};
const Shortcut kShortcuts[] = {
    {keys::Save, QKeySequence(Qt::CTRL | Qt::Key_S)},
    {keys::New, QKeySequence(Qt::CTRL | Qt::Key_N)},
    {keys::Print, QKeySequence(Qt::CTRL | Qt::Key_P)},
    {keys::InsertRow, QKeySequence(Qt::CTRL | Qt::Key_Insert)},
    {keys::DeleteRow, QKeySequence(Qt::CTRL | Qt::Key_Delete)},
    {keys::Back, QKeySequence(Qt::Key_PageUp)},
    {keys::Next, QKeySequence(Qt::Key_PageDown)},
    {keys::Undo, QKeySequence(Qt::CTRL | Qt::Key_Z)},
    {keys::Redo, QKeySequence(Qt::CTRL | Qt::Key_Y)},
};

// The toolbar key of a menu item that runs the same command under its own key.
QString commandKey(const QString& key) {
    if (key == QLatin1String(keys::MenuSave)) return QString::fromLatin1(keys::Save);
    if (key == QLatin1String(keys::MenuInsertRow)) return QString::fromLatin1(keys::InsertRow);
    if (key == QLatin1String(keys::MenuDeleteRow)) return QString::fromLatin1(keys::DeleteRow);
    return key;
}

QKeySequence shortcutOf(const QString& key) {
    for (const Shortcut& s : kShortcuts) {
        if (commandKey(key) == QLatin1String(s.key)) return s.keys;
    }
    return {};
}

bool isOption(const QString& key) {
    return key == QLatin1String(keys::MenuAfterSaveNew) ||
           key == QLatin1String(keys::MenuItemNotice) ||
           key == QLatin1String(keys::MenuCopyHeader) || key == QLatin1String(keys::MenuCopyEntry);
}

}  // namespace

BillCommands::BillCommands(QWidget* window)
    : QObject(window), menuBar_(new QMenuBar(window)), toolBar_(new QToolBar(window)) {
    buildMenus();
    buildToolBar(window);
    showShortcuts();
}

void BillCommands::showShortcuts() {
    const QList<QAction*> buttons = toolBar_->actions();
    for (const auto& [key, action] : actions_) {
        const QKeySequence keys = shortcutOf(key);
        if (keys.isEmpty()) continue;
        const QString shown = keys.toString(QKeySequence::NativeText);
        const bool hasButton = std::any_of(buttons.begin(), buttons.end(), [&](QAction* b) {
            return b->objectName() == commandKey(key);
        });
        if (buttons.contains(action) || !hasButton) {
            action->setShortcut(keys);
            action->setToolTip(QStringLiteral("%1 (%2)").arg(action->text(), shown));
        } else {
            action->setText(action->text() + QLatin1Char('\t') + shown);
        }
    }
}

QAction* BillCommands::add(QWidget* to, const QString& key, const QString& caption) {
    auto* action = new QAction(caption, to);
    action->setObjectName(key);
    action->setCheckable(isOption(key) || key == QLatin1String(keys::Red) ||
                         key == QLatin1String(keys::Blue));
    to->addAction(action);
    actions_.emplace_back(key, action);
    connect(action, &QAction::triggered, this, [this, key] { emit triggered(key); });
    return action;
}

void BillCommands::buildToolBar(QWidget* window) {
    QToolBar* bar = toolBar_;
    bar->setObjectName(QStringLiteral("toolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(20, 20));
    const auto button = [&](const char* key, const QString& caption, const QIcon& icon) {
        add(bar, QString::fromLatin1(key), caption)->setIcon(icon);
    };
    const auto icon = [&](QStyle::StandardPixmap p) { return standardIcon(window, p); };
    button(keys::New, QStringLiteral("新增"), icon(QStyle::SP_FileIcon));
    button(keys::Copy, QStringLiteral("复制"), icon(QStyle::SP_FileDialogDetailedView));
    button(keys::Save, QStringLiteral("保存"), icon(QStyle::SP_DialogSaveButton));
    bar->addSeparator();
    button(keys::Check, QStringLiteral("审核"), icon(QStyle::SP_DialogApplyButton));
    bar->addSeparator();
    button(keys::View, QStringLiteral("查看"), icon(QStyle::SP_FileDialogContentsView));
    bar->addSeparator();
    button(keys::Preview, QStringLiteral("预览"), icon(QStyle::SP_FileDialogInfoView));
    bar->addSeparator();
    button(keys::First, QStringLiteral("首页"), icon(QStyle::SP_MediaSkipBackward));
    button(keys::Back, QStringLiteral("后退"), icon(QStyle::SP_ArrowLeft));
    button(keys::Next, QStringLiteral("前进"), icon(QStyle::SP_ArrowRight));
    button(keys::End, QStringLiteral("末页"), icon(QStyle::SP_MediaSkipForward));
    bar->addSeparator();
    button(keys::Red, QStringLiteral("红字"), colourIcon(Qt::red));
    button(keys::Blue, QStringLiteral("蓝字"), colourIcon(Qt::blue));
    bar->addSeparator();
    button(keys::InsertRow, QStringLiteral("添加"), icon(QStyle::SP_FileDialogNewFolder));
    button(keys::DeleteRow, QStringLiteral("删除"), icon(QStyle::SP_TrashIcon));
    bar->addSeparator();
    button(keys::Preview, QStringLiteral("预览"), icon(QStyle::SP_FileDialogInfoView));
    button(keys::Print, QStringLiteral("打印"), icon(QStyle::SP_ComputerIcon));
    bar->addSeparator();
    button(keys::Exit, QStringLiteral("关闭"), icon(QStyle::SP_DialogCloseButton));
}

void BillCommands::buildMenus() {
    menuBar_->setObjectName(QStringLiteral("menuBar"));
    const auto item = [this](QMenu* menu, const char* key, const QString& caption) {
        add(menu, QString::fromLatin1(key), caption);
    };

    QMenu* file = menuBar_->addMenu(QStringLiteral("文件(&F)"));
    item(file, keys::MenuClose, QStringLiteral("关闭"));

    QMenu* edit = menuBar_->addMenu(QStringLiteral("编辑(&E)"));
    actions_.emplace_back(QString::fromLatin1(keys::MenuEdit), edit->menuAction());
    item(edit, keys::Undo, QStringLiteral("撤销"));
    item(edit, keys::Redo, QStringLiteral("重做"));
    edit->addSeparator();
    item(edit, keys::MenuInsertRow, QStringLiteral("插入行"));
    item(edit, keys::MenuDeleteRow, QStringLiteral("删除行"));
    item(edit, keys::MenuCopyRow, QStringLiteral("行复制"));
    item(edit, keys::MenuAfterSaveNew, QStringLiteral("保存后新增"));
    QMenu* copy = edit->addMenu(QStringLiteral("单据复制"));
    item(copy, keys::MenuCopyHeader, QStringLiteral("表头"));
    item(copy, keys::MenuCopyEntry, QStringLiteral("表体"));
    item(edit, keys::MenuSave, QStringLiteral("单据保存"));
    item(edit, keys::MenuItemNotice, QStringLiteral("新增时录入相同物料提示"));
    item(edit, keys::MenuStockQuery, QStringLiteral("即时库存查询"));
    item(edit, keys::MenuHistory, QStringLiteral("修改记录"));

    QMenu* tools = menuBar_->addMenu(QStringLiteral("工具条"));
    toolsMenu_ = tools;
    item(tools, keys::Red, QStringLiteral("红字"));
    item(tools, keys::Blue, QStringLiteral("蓝字"));
    item(tools, keys::Back, QStringLiteral("前一个"));
    item(tools, keys::Next, QStringLiteral("后一个"));
    item(tools, keys::First, QStringLiteral("最前"));
    item(tools, keys::End, QStringLiteral("最后"));
    item(tools, keys::New, QStringLiteral("新增"));
    item(tools, keys::Copy, QStringLiteral("复制"));
    item(tools, keys::Check, QStringLiteral("审核"));
    item(tools, keys::Preview, QStringLiteral("打印预览"));
    item(tools, keys::Print, QStringLiteral("打印"));
}

std::vector<QAction*> BillCommands::actions(const QString& key) const {
    std::vector<QAction*> found;
    for (const auto& [k, action] : actions_) {
        if (k == key) found.push_back(action);
    }
    return found;
}

void BillCommands::showStates(const std::function<CommandState(const QString&)>& stateOf) {
    for (const auto& [key, action] : actions_) {
        const CommandState state = stateOf(key);
        action->setVisible(state.visible);
        action->setEnabled(state.enabled);
        if (action->isCheckable()) action->setChecked(state.checked);
    }
    // Splitting and price editing hide every command of this menu: it goes too.
    const QList<QAction*> tools = toolsMenu_->actions();
    toolsMenu_->menuAction()->setVisible(
        std::any_of(tools.begin(), tools.end(), [](QAction* a) { return a->isVisible(); }));
    showSeparators();
}

// A separator shows only between two groups that each keep a visible button,
// so a toolbar reduced to Save and Exit has a single bar between them.
void BillCommands::showSeparators() {
    QAction* pending = nullptr;
    bool seenButton = false;
    for (QAction* action : toolBar_->actions()) {
        if (action->isSeparator()) {
            action->setVisible(false);
            if (seenButton) pending = action;
        } else if (action->isVisible()) {
            if (pending) pending->setVisible(true);
            pending = nullptr;
            seenButton = true;
        }
    }
}

}  // namespace otherin::editor
