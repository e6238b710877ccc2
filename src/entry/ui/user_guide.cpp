#include "entry/ui/user_guide.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace otherin::entry {

namespace {

const char* const kGuide = "qrc:/otherin/guide/guide.html";

QPointer<QDialog>& openGuide() {
    static QPointer<QDialog> guide;
    return guide;
}

}  // namespace

void showUserGuide(QWidget* window) {
    QPointer<QDialog>& guide = openGuide();
    // A guide that belongs to another (closed or hidden) window is made anew:
    // a modal window lets only its own children take input.
    if (guide && guide->parentWidget() != window) delete guide;
    if (!guide) {
        guide = new QDialog(window, Qt::Window);
        guide->setObjectName(QStringLiteral("userGuide"));
        guide->setAttribute(Qt::WA_DeleteOnClose);
        guide->setWindowTitle(QStringLiteral("其它入库单 使用说明"));
        auto* browser = new QTextBrowser(guide);
        browser->setOpenExternalLinks(true);
        browser->setSource(QUrl(QString::fromLatin1(kGuide)));
        auto* layout = new QVBoxLayout(guide);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(browser);
        guide->resize(860, 680);
    }
    guide->show();
    guide->raise();
    guide->activateWindow();
}

void offerUserGuide(QWidget* window, QMenuBar* menuBar) {
    auto* action = new QAction(QStringLiteral("使用说明"), window);
    action->setShortcut(QKeySequence(Qt::Key_F1));
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, window, [window] { showUserGuide(window); });
    window->addAction(action);
    if (menuBar) menuBar->addMenu(QStringLiteral("帮助(&H)"))->addAction(action);
}

}  // namespace otherin::entry
