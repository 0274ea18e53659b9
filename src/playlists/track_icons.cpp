#include "playlists/track_icons.h"

#include "platform/files.h"
#include "playlists/track_entry.h"

#include <QAbstractFileIconProvider>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kv::playlists {

IconImageList& ListViewImage() {
    static IconImageList list;
    return list;
}

QString IconImageList::FolderKey(const QString& path) {
    static const QMimeDatabase mimes;
    QString name = mimes.mimeTypeForFile(path).iconName();
    if (name.isEmpty()) name = QStringLiteral("folder");
    auto it = folderIconNumbers_.find(name);
    if (it == folderIconNumbers_.end()) {
        int number = int(folderIconNumbers_.size()) + 1;
        it = folderIconNumbers_.insert(name, number);
        folderIconNames_.insert(number, name);
    }
    QString key = QStringLiteral("Dir:") + QString::number(*it);
    known_.insert(key);
    return key;
}

QIcon IconImageList::Icon(const QString& key) {
    auto it = images_.constFind(key);
    if (it != images_.constEnd()) return *it;
    // Pixmaps need the GUI application; without one (a tool run) rows simply have no image.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return QIcon();
    QIcon icon = MakeIcon(key);
    images_.insert(key, icon);
    known_.insert(key);
    return icon;
}

void IconImageList::Clear() {
    known_.clear();
    images_.clear();
    folderIconNumbers_.clear();
    folderIconNames_.clear();
}

static QPixmap Drawn(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return pixmap;
}

static QIcon FileTypeIcon(const QString& ext) {
    static const QMimeDatabase mimes;
    QMimeType type = mimes.mimeTypeForFile(QStringLiteral("x.") + ext, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (icon.isNull()) icon = QAbstractFileIconProvider().icon(QAbstractFileIconProvider::File);
    return icon;
}

QIcon IconImageList::MakeIcon(const QString& key) {
    if (key == kIconPlay) {
        QIcon themed = QIcon::fromTheme(QStringLiteral("media-playback-start"));
        if (!themed.isNull()) return themed;
        return QIcon(Drawn([](QPainter& p) {
            QPainterPath triangle;
            triangle.moveTo(4, 2);
            triangle.lineTo(14, 8);
            triangle.lineTo(4, 14);
            triangle.closeSubpath();
            p.fillPath(triangle, QColor(0, 150, 0));
        }));
    }
    if (key == kIconNothing) {
        QIcon themed = QIcon::fromTheme(QStringLiteral("image-missing"));
        if (!themed.isNull()) return themed;
        return QIcon(Drawn([](QPainter& p) {
            p.setPen(QPen(QColor(200, 0, 0), 2));
            p.drawLine(3, 3, 13, 13);
            p.drawLine(13, 3, 3, 13);
        }));
    }
    if (key.startsWith(QStringLiteral("Dir:"))) {
        QString name = folderIconNames_.value(key.mid(4).toInt());
        QIcon icon = QIcon::fromTheme(name, QIcon::fromTheme(QStringLiteral("folder")));
        if (icon.isNull()) icon = QAbstractFileIconProvider().icon(QAbstractFileIconProvider::Folder);
        return icon;
    }
    if (key.startsWith(QStringLiteral("words"))) {
        // The track's own icon with a small page of lines laid over its lower right corner.
        QPixmap base = FileTypeIcon(key.mid(5)).pixmap(16, 16);
        return QIcon(Drawn([&](QPainter& p) {
            if (!base.isNull()) p.drawPixmap(0, 0, base);
            p.setPen(QColor(40, 40, 40));
            p.setBrush(QColor(255, 255, 224));
            p.drawRect(QRectF(8.5, 7.5, 7, 8));
            p.drawLine(QPointF(10, 10), QPointF(14, 10));
            p.drawLine(QPointF(10, 12), QPointF(14, 12));
            p.drawLine(QPointF(10, 14), QPointF(13, 14));
        }));
    }
    return FileTypeIcon(key);
}

QString LyricsPathOf(const QString& path) {
    qsizetype slash = path.lastIndexOf(u'/');
    qsizetype dot = path.lastIndexOf(u'.');
    if (dot <= slash + 0) return path + QStringLiteral(".txt");
    return path.left(dot + 1) + QStringLiteral("txt");
}

QString IconKey(const QString& path, const QString& ext, bool hasLyrics) {
    IconImageList& images = ListViewImage();
    if (ext.isEmpty()) return images.FolderKey(path);
    QString words = QStringLiteral("words") + ext;
    if (!images.Has(ext)) {
        images.Register(ext);
        images.Register(words);
    }
    return hasLyrics ? words : ext;
}

QString IconKey(const QString& path, const QString& ext) {
    return IconKey(path, ext, !ext.isEmpty() && platform::FileExists(LyricsPathOf(path)));
}

QString RowIconKey(const QString& path, const QString& kind) {
    if (kind == kKindDirectory) return IconKey(path, QString());
    if (kind == kKindNothing || !platform::FileExists(path)) return kIconNothing;
    return IconKey(path, kind);
}

} // namespace kv::playlists
