#include "browser/folder_lister.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace kv::browser {

namespace {

QByteArray UnescapeMountField(const QByteArray& field) {
    // The kernel writes space, tab, newline and backslash in mount fields as \ooo.
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = digits.size() == 3;
            for (char c : digits)
                ok = ok && c >= '0' && c <= '7';
            if (ok) {
                out.append(char(digits.toInt(nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return out;
}

bool IsUnder(const QByteArray& path, const char* folder) {
    const QByteArray f(folder);
    return path == f || path.startsWith(f + '/');
}

// Opens a folder for listing without following a last-component link loop forever: the kernel
// answers ELOOP for that, which is reported like any other failure.
DIR* OpenFolder(const QByteArray& folder, int& error) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        error = errno;
        ::close(fd);
    }
    return dir;
}

// d_type answers without a stat on the common file systems; links and file systems that do not
// fill d_type cost one stat of that entry (following links, so a link to a folder is a folder
// and a dangling or looping link is not).
bool EntryIsFolder(DIR* dir, const dirent* entry) {
    if (entry->d_type == DT_DIR) return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) != 0) return false;
    return S_ISDIR(st.st_mode);
}

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Volume labels as udev publishes them: /dev/disk/by-label/<escaped label> -> ../../sdb1.
std::map<QByteArray, QString> ReadVolumeLabels() {
    std::map<QByteArray, QString> labels;
    DIR* dir = ::opendir("/dev/disk/by-label");
    if (!dir) return labels;
    while (const dirent* entry = ::readdir(dir)) {
        if (IsDotOrDotDot(entry->d_name)) continue;
        const QByteArray link = QByteArray("/dev/disk/by-label/") + entry->d_name;
        char target[PATH_MAX];
        if (!::realpath(link.constData(), target)) continue;
        // udev escapes blanks and other unsafe bytes as \xNN.
        QByteArray name(entry->d_name), label;
        for (int i = 0; i < name.size(); ++i) {
            if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
                bool ok = false;
                const int byte = name.mid(i + 2, 2).toInt(&ok, 16);
                if (ok) {
                    label.append(char(byte));
                    i += 3;
                    continue;
                }
            }
            label.append(name[i]);
        }
        labels[QByteArray(target)] = QString::fromUtf8(label);
    }
    ::closedir(dir);
    return labels;
}

bool IsRemovableDevice(const QByteArray& device) {
    // /sys/class/block/sdb1 -> .../block/sdb/sdb1; the disk's "removable" flag sits one level up
    // for a partition and in the folder itself for a whole disk.
    if (!device.startsWith("/dev/")) return false;
    const QByteArray name = device.mid(5);
    if (name.contains('/')) return false;
    char real[PATH_MAX];
    if (!::realpath(("/sys/class/block/" + name).constData(), real)) return false;
    QByteArray folder(real);
    for (int up = 0; up < 2; ++up) {
        QFile flag(QFile::decodeName(folder + "/removable"));
        if (flag.open(QIODevice::ReadOnly)) return flag.read(1) == "1";
        folder = folder.left(folder.lastIndexOf('/'));
    }
    return false;
}

} // namespace

std::vector<MountEntry> ParseMounts(const QByteArray& text) {
    std::vector<MountEntry> mounts;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3) continue;
        mounts.push_back({UnescapeMountField(fields[0]), UnescapeMountField(fields[1]), fields[2]});
    }
    return mounts;
}

bool IsNetworkFileSystem(const QByteArray& type) {
    static const char* const kNetwork[] = {"nfs",        "nfs4",        "cifs",  "smb3",       "smbfs",
                                           "ncpfs",      "afs",         "9p",    "ceph",       "glusterfs",
                                           "fuse.sshfs", "fuse.rclone", "davfs", "fuse.davfs2"};
    return std::any_of(std::begin(kNetwork), std::end(kNetwork), [&](const char* t) { return type == t; });
}

bool IsBrowsableMount(const MountEntry& mount) {
    const QByteArray& point = mount.mountPoint;
    if (!point.startsWith('/')) return false;
    if (point == "/") return true;
    if (IsUnder(point, "/proc") || IsUnder(point, "/sys") || IsUnder(point, "/dev")) return false;
    if (IsUnder(point, "/run") && !IsUnder(point, "/run/media")) return false;
    if (IsUnder(point, "/snap") || IsUnder(point, "/var/lib/docker") || IsUnder(point, "/var/lib/lxcfs"))
        return false;
    static const char* const kPseudo[] = {
        "proc",          "sysfs",       "devtmpfs",   "devpts",          "tmpfs",       "ramfs",
        "cgroup",        "cgroup2",     "securityfs", "pstore",          "debugfs",     "tracefs",
        "configfs",      "fusectl",     "mqueue",     "hugetlbfs",       "bpf",         "binfmt_misc",
        "autofs",        "rpc_pipefs",  "nsfs",       "efivarfs",        "selinuxfs",   "overlay",
        "aufs",          "squashfs",    "nfsd",       "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs",
        "fuse.snapfuse", "zfs_snapshot"};
    if (std::any_of(std::begin(kPseudo), std::end(kPseudo), [&](const char* t) { return mount.type == t; }))
        return false;
    // What remains must be backed by a device, or be a network or FUSE file system; this leaves
    // out the odd kernel file system that is not in the list above.
    return mount.source.startsWith("/dev/") || IsNetworkFileSystem(mount.type) ||
           mount.type.startsWith("fuse.") || mount.source.contains(":/") || mount.source.startsWith("//");
}

QString DriveDisplayName(const QString& label, const QByteArray& mountPoint, IconId kind) {
    QByteArray shown = mountPoint;
    if (shown.size() > 1 && shown.endsWith('/')) shown.chop(1);
    const QString point = QFile::decodeName(shown);
    if (point == QLatin1String("/")) return label.isEmpty() ? point : label + QStringLiteral(" (/)");
    QString name = label;
    if (name.isEmpty()) {
        switch (kind) {
        case IconId::DriveRemovable:
            name = QStringLiteral("リムーバブル ディスク");
            break;
        case IconId::DriveOptical:
            name = QStringLiteral("CD ドライブ");
            break;
        case IconId::DriveNetwork:
            name = QStringLiteral("ネットワーク ドライブ");
            break;
        default:
            name = QStringLiteral("ローカル ディスク");
            break;
        }
    }
    return name + QStringLiteral(" (") + point + QLatin1Char(')');
}

std::vector<DriveInfo> FolderLister::Drives() {
    std::vector<DriveInfo> drives;
    std::map<QByteArray, MountEntry> byPoint; // the last mount on a point hides the earlier ones
    QFile table(QStringLiteral("/proc/self/mounts"));
    if (table.open(QIODevice::ReadOnly))
        for (MountEntry& m : ParseMounts(table.readAll()))
            if (IsBrowsableMount(m)) byPoint[m.mountPoint] = m;
    byPoint.erase("/");
    const std::map<QByteArray, QString> labels =
        byPoint.empty() ? std::map<QByteArray, QString>{} : ReadVolumeLabels();

    drives.push_back({"/", QStringLiteral("/"), IconId::DriveRoot});
    for (const auto& [point, mount] : byPoint) {
        IconId kind = IconId::DriveFixed;
        if (IsNetworkFileSystem(mount.type) || mount.type.startsWith("fuse.") ||
            !mount.source.startsWith("/dev/"))
            kind = IconId::DriveNetwork;
        else if (mount.type == "iso9660" || mount.type == "udf")
            kind = IconId::DriveOptical;
        else if (IsRemovableDevice(mount.source) || IsUnder(point, "/media") || IsUnder(point, "/run/media"))
            kind = IconId::DriveRemovable;
        QString label;
        if (mount.source.startsWith("/dev/")) {
            char real[PATH_MAX];
            const QByteArray device =
                ::realpath(mount.source.constData(), real) ? QByteArray(real) : mount.source;
            if (auto it = labels.find(device); it != labels.end()) label = it->second;
        }
        const QByteArray key = point + '/';
        drives.push_back({key, DriveDisplayName(label, key, kind), kind});
    }
    return drives;
}

FolderListing FolderLister::Subfolders(const QByteArray& folder) {
    FolderListing result;
    DIR* dir = OpenFolder(folder, result.error);
    if (!dir) return result;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsDotOrDotDot(entry->d_name) && EntryIsFolder(dir, entry))
            result.names.emplace_back(entry->d_name);
        errno = 0;
    }
    // A read that breaks off half-way (a medium pulled, a share gone) is a failure, not a short list.
    if (errno != 0) result.error = errno;
    ::closedir(dir);
    return result;
}

bool FolderLister::HasSubfolder(const QByteArray& folder) {
    int error = 0;
    DIR* dir = OpenFolder(folder, error);
    if (!dir) return false;
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsDotOrDotDot(entry->d_name) && EntryIsFolder(dir, entry)) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

FolderLister& NativeFolderLister() {
    static FolderLister lister;
    return lister;
}

} // namespace kv::browser
