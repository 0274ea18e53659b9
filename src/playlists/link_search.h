// Finding moved files by name under a folder tree, for the broken-link repair.
//
// The walk order is the one FindFileUnder always had: the start folder first, then its
// subfolders depth first in the order the file system lists them. A search walks the tree once
// (FolderIndex) and answers every broken name from what that walk saw, with the same first
// folder a walk per name would give. Links to folders are never followed, so the walk cannot
// loop or leave the tree; folders that cannot be read are passed over. UI thread only; the
// walk lets window events run between folders.
#pragma once
#include <QSet>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kv::playlists {

// What a walk asks of its caller between folders.
struct WalkControl {
    std::function<bool()> stopped;      // tested after each folder; true ends the walk
    std::function<void()> letEventsRun; // called at least every `eventsEveryMs` of walking
    int eventsEveryMs = 40;
};

// An existing folder that can be listed: the only usable start of a search.
bool IsUsableFolder(const QString& folder);

// FileInFolder: true when `folder` holds an entry named `name` (compared as the file system
// does, letter case included) that is not a folder; `found` then gets its full path.
bool FileInFolder(const QString& folder, const QString& name, QString* found = nullptr);

class FolderIndex {
  public:
    // Walks the tree under `root`, recording the folders that hold any of `names`. Returns the
    // number of folders walked, or -1 when the root is not a usable folder.
    int Build(const QString& root, const QSet<QString>& names, const WalkControl& control = {});
    bool Stopped() const { return stopped_; }
    // The root as the walk names it (absolute, no trailing '/').
    QString Root() const;
    int FolderCount() const { return int(folders_.size()); }

    // FindFileUnder(folder, name) answered from the walk: every folder of `folder`'s subtree
    // (itself included) that holds the name, in walk order. `folder` is the root or a folder
    // this walk returned; anything else gives nothing.
    QStringList FoldersUnder(const QString& folder, const QString& name) const;

  private:
    // Each path is kept once, here: a walk from "/" or over a large share sees millions of
    // folders. A deque never moves what it holds, so the index can look into it.
    std::deque<std::string> folders_;                           // walk order, no trailing '/'
    std::vector<int> subtreeEnd_;                               // one past each folder's subtree
    std::unordered_map<std::string_view, int> folderIndex_;     // folder -> its place in the walk
    std::unordered_map<std::string, std::vector<int>> holders_; // name -> folders, ascending
    bool stopped_ = false;
};

// FindFileUnder as a fresh walk for one name (what each broken row once cost). -1 for an
// unusable root, else the number of folders found.
int FindFileUnder(const QString& root, const QString& name, QStringList& results,
                  const WalkControl& control = {});

} // namespace kv::playlists
