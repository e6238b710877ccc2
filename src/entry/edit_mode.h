#pragma once

#include <QString>

namespace otherin::entry {

// The editor's modes (gEditMode) and the words they add to its title.
enum EditMode { kModeNew = 0, kModeChange = 1, kModeSplit = 2, kModePriceEdit = 4 };

inline QString editModeSuffix(int mode) {
    switch (mode) {
        case kModeNew:
            return QStringLiteral("新增");
        case kModeChange:
            return QStringLiteral("修改");
        case kModeSplit:
            return QStringLiteral("拆分");
        case kModePriceEdit:
            return QStringLiteral("编辑");
        default:
            return QString();
    }
}

}  // namespace otherin::entry
