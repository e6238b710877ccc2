#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

#include "editor/bill_session.h"

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace otherin::editor {

// The editor's toolbar and menus. Every button and menu item carries the key
// of the command it runs; the session says for each key whether it shows, may
// be used and is pressed or checked.
class BillCommands : public QObject {
    Q_OBJECT
  public:
    explicit BillCommands(QWidget* window);

    QMenuBar* menuBar() const { return menuBar_; }
    QToolBar* toolBar() const { return toolBar_; }
    // Every button and menu item of the key (both "预览" buttons share one).
    std::vector<QAction*> actions(const QString& key) const;

    void showStates(const std::function<CommandState(const QString&)>& stateOf);

  signals:
    void triggered(const QString& key);

  private:
    QAction* add(QWidget* to, const QString& key, const QString& caption);
    void buildToolBar(QWidget* window);
    void buildMenus();
    void showSeparators();
    void showShortcuts();

    QMenuBar* menuBar_;
    QToolBar* toolBar_;
    QMenu* toolsMenu_ = nullptr;
    std::vector<std::pair<QString, QAction*>> actions_;
};

}  // namespace otherin::editor
