#include "browser/tree_image_list.h"

#include <QApplication>
#include <QStyle>

namespace kv::browser {

QString TreeImageList::Store(IconId id) {
    const QString key = KeyOf(id);
    if (!icons_.contains(key)) icons_.insert(key, ConvertIcon(id));
    return key;
}

QIcon ConvertIcon(IconId id) {
    // The icon theme's name first; the style's own picture where the theme has none (offscreen
    // and bare desktops have no theme).
    const char* theme = nullptr;
    QStyle::StandardPixmap fallback = QStyle::SP_DirIcon;
    switch (id) {
    case IconId::None:
        return QIcon();
    case IconId::Folder:
        theme = "folder";
        fallback = QStyle::SP_DirClosedIcon;
        break;
    case IconId::FolderOpen:
        theme = "folder-open";
        fallback = QStyle::SP_DirOpenIcon;
        break;
    case IconId::DriveRoot:
        theme = "drive-harddisk-system";
        fallback = QStyle::SP_ComputerIcon;
        break;
    case IconId::DriveFixed:
        theme = "drive-harddisk";
        fallback = QStyle::SP_DriveHDIcon;
        break;
    case IconId::DriveRemovable:
        theme = "drive-removable-media";
        fallback = QStyle::SP_DriveFDIcon;
        break;
    case IconId::DriveOptical:
        theme = "drive-optical";
        fallback = QStyle::SP_DriveCDIcon;
        break;
    case IconId::DriveNetwork:
        theme = "folder-remote";
        fallback = QStyle::SP_DriveNetIcon;
        break;
    }
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(theme));
    if (!themed.isNull()) return themed;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app ? QApplication::style()->standardIcon(fallback) : QIcon();
}

} // namespace kv::browser
