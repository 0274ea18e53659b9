#include "playlists/link_search.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace kv::playlists {
namespace {

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
QString FromNative(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string Child(const std::string& folder, const char* name) {
    return folder == "/" ? "/" + std::string(name) : folder + "/" + name;
}

// The root without trailing slashes ("/" stays itself).
std::string CleanRoot(const QString& root) {
    std::string r = Native(QFileInfo(root).absoluteFilePath());
    while (r.size() > 1 && r.back() == '/')
        r.pop_back();
    return r;
}

enum class EntryKind { Folder, File, Other };

// Folders are real folders only: a link to a folder is neither followed nor a match, as a
// plain folder is never a match. A link to anything else counts as the file it names.
EntryKind KindOf(int dirFd, const dirent* entry) {
    unsigned char type = entry->d_type;
    struct stat st;
    if (type == DT_UNKNOWN) {
        if (fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::Other;
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
    }
    if (type == DT_DIR) return EntryKind::Folder;
    if (type != DT_LNK) return EntryKind::File;
    if (fstatat(dirFd, entry->d_name, &st, 0) != 0) return EntryKind::Other; // dangling
    return S_ISDIR(st.st_mode) ? EntryKind::Other : EntryKind::File;
}

bool IsDot(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// One folder's listing: its subfolders in the order listed and each file name handed to
// `file`. False when the folder cannot be read, or it is one already walked (a bind mount
// can put a folder inside itself).
template <class OnFile>
bool ListFolder(const std::string& folder, std::set<std::pair<dev_t, ino_t>>& seen,
                std::vector<std::string>& subfolders, OnFile&& file) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    struct stat st;
    if (fstat(dirfd(dir), &st) != 0 || !seen.insert({st.st_dev, st.st_ino}).second) {
        closedir(dir);
        return false;
    }
    while (const dirent* entry = readdir(dir)) {
        if (IsDot(entry->d_name)) continue;
        switch (KindOf(dirfd(dir), entry)) {
        case EntryKind::Folder:
            subfolders.push_back(Child(folder, entry->d_name));
            break;
        case EntryKind::File:
            file(entry->d_name);
            break;
        case EntryKind::Other:
            break;
        }
    }
    closedir(dir);
    return true;
}

// The walk itself: `visit` is called for every folder in walk order with its place and its
// file names; `leave` when its subtree is done. Returns false when stopped.
template <class Visit, class Leave>
bool Walk(const std::string& root, const WalkControl& control, Visit&& visit, Leave&& leave) {
    struct Frame {
        int index;
        std::vector<std::string> subfolders;
        size_t next = 0;
    };
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<Frame> stack;
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    int count = 0;
    auto enter = [&](const std::string& folder) {
        Frame frame{count++, {}};
        std::vector<std::string> files;
        const bool listed =
            ListFolder(folder, seen, frame.subfolders, [&](const char* name) { files.emplace_back(name); });
        visit(folder, frame.index, listed ? files : std::vector<std::string>());
        stack.push_back(std::move(frame));
    };
    enter(root);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.subfolders.size()) {
            leave(top.index, count);
            stack.pop_back();
            continue;
        }
        const std::string folder = std::move(top.subfolders[top.next++]);
        if (control.stopped && control.stopped()) return false;
        if (control.letEventsRun && sinceEvents.elapsed() >= control.eventsEveryMs) {
            control.letEventsRun();
            sinceEvents.restart();
        }
        enter(folder);
    }
    return true;
}

} // namespace

bool IsUsableFolder(const QString& folder) {
    if (folder.isEmpty()) return false;
    const std::string path = Native(folder);
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(path.c_str(), R_OK | X_OK) == 0;
}

bool FileInFolder(const QString& folder, const QString& name, QString* found) {
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) return false;
    const std::string path = Child(CleanRoot(folder), Native(name).c_str());
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    if (found) *found = FromNative(path);
    return true;
}

int FolderIndex::Build(const QString& root, const QSet<QString>& names, const WalkControl& control) {
    folders_.clear();
    subtreeEnd_.clear();
    folderIndex_.clear();
    holders_.clear();
    stopped_ = false;
    if (!IsUsableFolder(root)) return -1;
    std::unordered_map<std::string, bool> wanted;
    for (const QString& name : names)
        wanted.emplace(Native(name), true);
    const bool done = Walk(
        CleanRoot(root), control,
        [&](const std::string& folder, int index, const std::vector<std::string>& files) {
            folderIndex_.emplace(folders_.emplace_back(folder), index);
            subtreeEnd_.push_back(index + 1);
            for (const std::string& file : files)
                if (wanted.count(file)) holders_[file].push_back(index);
        },
        [&](int index, int end) { subtreeEnd_[size_t(index)] = end; });
    stopped_ = !done;
    return int(folders_.size());
}

QString FolderIndex::Root() const {
    return folders_.empty() ? QString() : FromNative(folders_.front());
}

QStringList FolderIndex::FoldersUnder(const QString& folder, const QString& name) const {
    QStringList results;
    std::string key = Native(folder);
    while (key.size() > 1 && key.back() == '/')
        key.pop_back();
    const auto place = folderIndex_.find(key);
    const auto holders = holders_.find(Native(name));
    if (place == folderIndex_.end() || holders == holders_.end()) return results;
    const int first = place->second, end = subtreeEnd_[size_t(first)];
    for (auto it = std::lower_bound(holders->second.begin(), holders->second.end(), first);
         it != holders->second.end() && *it < end; ++it)
        results << FromNative(folders_[size_t(*it)]);
    return results;
}

int FindFileUnder(const QString& root, const QString& name, QStringList& results,
                  const WalkControl& control) {
    results.clear();
    if (!IsUsableFolder(root)) return -1;
    const std::string wanted = Native(name);
    Walk(
        CleanRoot(root), control,
        [&](const std::string& folder, int, const std::vector<std::string>& files) {
            if (std::find(files.begin(), files.end(), wanted) != files.end()) results << FromNative(folder);
        },
        [](int, int) {});
    return int(results.size());
}

} // namespace kv::playlists
