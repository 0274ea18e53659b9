// Small icons of the track views: one image per key, made the first time a view draws it.
#pragma once
#include <QHash>
#include <QIcon>
#include <QSet>
#include <QString>

namespace kv::playlists {

// The image list ListViewImage. Keys: a lower-case extension, "words" + extension (a lyrics file
// lies beside the track), "Dir:" + number (a folder's icon), "nothing" and "playIcon". Deciding a
// key touches no image, so row building stays display-free; images come from the desktop icon
// theme through Qt once per key.
class IconImageList {
  public:
    bool Has(const QString& key) const { return known_.contains(key); }
    // Records that the key names an image; the image itself is made on first Icon().
    void Register(const QString& key) { known_.insert(key); }
    // The key of a folder's icon: folders that the desktop shows alike share one key.
    QString FolderKey(const QString& path);
    QIcon Icon(const QString& key);
    void Clear();

  private:
    QIcon MakeIcon(const QString& key);
    QSet<QString> known_;
    QHash<QString, QIcon> images_;
    QHash<QString, int> folderIconNumbers_; // theme icon name -> number in the "Dir:" key
    QHash<int, QString> folderIconNames_;
};

IconImageList& ListViewImage();

// The icon key of a track or folder row; ext is the lower-case extension, empty for a folder.
QString IconKey(const QString& path, const QString& ext);
// The same when the caller already knows whether the lyrics file is there (a folder listing).
QString IconKey(const QString& path, const QString& ext, bool hasLyrics);

// The ordinary icon of an existing row (what a row gets back when it stops playing): folders by
// their path, missing files "nothing", files by their kind.
QString RowIconKey(const QString& path, const QString& kind);

// The lyrics file of a track: its path with the extension replaced by "txt".
QString LyricsPathOf(const QString& path);

} // namespace kv::playlists
