#include "entry/ui/toolbar_icons.h"

#include <QFile>
#include <QWidget>
#include <utility>

namespace otherin::entry {

namespace {

// The names of the style's own pictures, as Qt ships them in its resources.
const char* builtInName(QStyle::StandardPixmap pixmap) {
    static const std::pair<QStyle::StandardPixmap, const char*> names[] = {
        {QStyle::SP_FileIcon, "file"},
        {QStyle::SP_FileDialogDetailedView, "viewdetailed"},
        {QStyle::SP_DialogSaveButton, "standardbutton-save"},
        {QStyle::SP_DialogApplyButton, "standardbutton-apply"},
        {QStyle::SP_FileDialogContentsView, "filecontents"},
        {QStyle::SP_FileDialogInfoView, "fileinfo"},
        {QStyle::SP_MediaSkipBackward, "media-skip-backward"},
        {QStyle::SP_ArrowLeft, "left"},
        {QStyle::SP_ArrowRight, "right"},
        {QStyle::SP_MediaSkipForward, "media-skip-forward"},
        {QStyle::SP_FileDialogNewFolder, "newdirectory"},
        {QStyle::SP_TrashIcon, "trash"},
        {QStyle::SP_ComputerIcon, "computer"},
        {QStyle::SP_DialogCloseButton, "standardbutton-close"},
    };
    for (const auto& [p, name] : names)
        if (p == pixmap) return name;
    return nullptr;
}

}  // namespace

QIcon toolbarIcon(const QWidget* window, QStyle::StandardPixmap pixmap) {
    const char* name = QIcon::themeName().isEmpty() ? builtInName(pixmap) : nullptr;
    if (name) {
        QIcon icon;
        for (const int size : {16, 32}) {
            const QString file =
                QStringLiteral(":/qt-project.org/styles/commonstyle/images/%1-%2.png")
                    .arg(QLatin1String(name))
                    .arg(size);
            if (QFile::exists(file)) icon.addFile(file, QSize(size, size));
        }
        if (!icon.isNull()) return icon;
    }
    return window->style()->standardIcon(pixmap);
}

}  // namespace otherin::entry
