#pragma once

#include <QtMath>

namespace otherin::editor {

// Layout positions and widths are stored in twips: 15 to a pixel at 96 dpi.
inline int twipsToPixels(double twips) {
    return qRound(twips / 15.0);
}

inline double pixelsToTwips(int pixels) {
    return pixels * 15.0;
}

}  // namespace otherin::editor
