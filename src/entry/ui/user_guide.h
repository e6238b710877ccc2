#pragma once

class QMenuBar;
class QWidget;

namespace otherin::entry {

// The user guide shipped inside the program, shown in a window of its own
// beside `window` (one at a time; F1 again brings it to the front).
void showUserGuide(QWidget* window);

// F1 in `window` opens the guide; with a menu bar, a menu 帮助 lists it too.
void offerUserGuide(QWidget* window, QMenuBar* menuBar = nullptr);

}  // namespace otherin::entry
