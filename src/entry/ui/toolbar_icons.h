#pragma once

#include <QIcon>
#include <QStyle>

class QWidget;

namespace otherin::entry {

// The style's standard icon for a toolbar button. Without an icon theme the
// style would read every size it ships, up to 128 pixels, for each icon when
// the window is built; a toolbar needs the small ones only, so those alone
// are read. With a theme, or for an icon not known here, it is the style's own.
QIcon toolbarIcon(const QWidget* window, QStyle::StandardPixmap pixmap);

}  // namespace otherin::entry
