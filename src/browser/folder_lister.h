// Everything the folder tree reads from the file system: the drives and one folder level at a
// time. The tree never touches the disk any other way, so tests can count reads and make a read
// fail by handing the tree a lister of their own.
//
// Paths here are native byte strings (a file name on this system is bytes, not necessarily
// valid UTF-8). Folder paths end in '/'.
#pragma once
#include <QByteArray>
#include <QString>
#include <vector>

namespace kv::browser {

// Icon kinds. Each is one entry of the tree's image list, stored under "ICON:" and this number,
// so the numbers only need to be distinct; nothing persists them.
enum class IconId : int {
    None = 0,
    Folder = 1,
    FolderOpen = 2,
    DriveRoot = 3,
    DriveFixed = 4,
    DriveRemovable = 5,
    DriveOptical = 6,
    DriveNetwork = 7,
};

struct DriveInfo {
    QByteArray mountPoint; // ends in '/'
    QString displayName;   // always contains the mount point (see DriveDisplayName)
    IconId icon = IconId::DriveFixed;
};

struct FolderListing {
    int error = 0;                 // errno of the failed read; 0 on success
    std::vector<QByteArray> names; // subfolder names, unsorted, without "." and ".."
};

// One line of /proc/self/mounts, octal escapes undone.
struct MountEntry {
    QByteArray source;
    QByteArray mountPoint;
    QByteArray type;
};

std::vector<MountEntry> ParseMounts(const QByteArray& text);

// Whether a mount is a place a person keeps files: real block-device file systems, network
// shares and FUSE file systems such as sshfs. Kernel and pseudo file systems (proc, sysfs,
// cgroup, devpts, tmpfs, overlay, squashfs snaps...) and anything mounted under /proc, /sys,
// /dev or /run (except /run/media, where removable media appear) are left out; they stay
// reachable through "/" for anyone who wants them. Decided from the mount table alone: no
// mount point is touched, so an unreachable network share cannot stall the tree.
bool IsBrowsableMount(const MountEntry& mount);
bool IsNetworkFileSystem(const QByteArray& type);

// "label (/media/usb)"; a volume without a label gets a kind name; the root is plain "/".
QString DriveDisplayName(const QString& label, const QByteArray& mountPoint, IconId kind);

class FolderLister {
  public:
    virtual ~FolderLister() = default;

    // "/" first, then the browsable mount points, sorted, each once.
    virtual std::vector<DriveInfo> Drives();

    // The subfolders of one folder. Symbolic links that lead to a folder count as folders (they
    // are shown but only listed when opened, so a link loop costs one level per click).
    virtual FolderListing Subfolders(const QByteArray& folder);

    // Whether the folder has at least one subfolder; stops at the first one found. A folder that
    // cannot be read answers false (it gets no expand button).
    virtual bool HasSubfolder(const QByteArray& folder);
};

// The lister the tree uses unless it is given another.
FolderLister& NativeFolderLister();

} // namespace kv::browser
