// The folder tree's image list (ExplorImageList): every distinct icon once, under the key
// "ICON:" followed by the icon's number. Nodes keep only the key.
#pragma once
#include "browser/folder_lister.h"

#include <QHash>
#include <QIcon>
#include <QString>

namespace kv::browser {

class TreeImageList {
  public:
    static QString KeyOf(IconId id) { return QStringLiteral("ICON:") + QString::number(int(id)); }

    bool Contains(const QString& key) const { return icons_.contains(key); }
    void Add(const QString& key, const QIcon& icon) { icons_.insert(key, icon); }
    QIcon Icon(const QString& key) const { return icons_.value(key); }
    int Count() const { return int(icons_.size()); }
    void Clear() { icons_.clear(); }

    // Stores the icon of `id` unless its key is present already; gives the key.
    QString Store(IconId id);

  private:
    QHash<QString, QIcon> icons_;
};

// The desktop's icon for a kind; a null icon for IconId::None.
QIcon ConvertIcon(IconId id);

} // namespace kv::browser
