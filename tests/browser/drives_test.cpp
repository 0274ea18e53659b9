#include "browser/folder_lister.h"

#include <QList>
#include <gtest/gtest.h>

using kv::browser::IconId;

namespace {

TEST(DrivesTest, MountTableKeepsPlacesForFilesAndLeavesOutKernelFileSystems) {
    const QByteArray table = "proc /proc proc rw 0 0\n"
                             "sysfs /sys sysfs rw 0 0\n"
                             "/dev/sda2 / ext4 rw 0 0\n"
                             "overlay /var/lib/docker/overlay2/x/merged overlay rw 0 0\n"
                             "tmpfs /run tmpfs rw 0 0\n"
                             "tmpfs /tmp tmpfs rw 0 0\n"
                             "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
                             "devpts /dev/pts devpts rw 0 0\n"
                             "/dev/sda1 /boot/efi vfat rw 0 0\n"
                             "/dev/sdb1 /media/me/My\\040Stick vfat rw 0 0\n"
                             "/dev/sdc1 /run/media/me/DISC iso9660 ro 0 0\n"
                             "gvfsd-fuse /run/user/1000/gvfs fuse.gvfsd-fuse rw 0 0\n"
                             "server:/export /mnt/nas nfs4 rw 0 0\n"
                             "//host/share /mnt/win cifs rw 0 0\n"
                             "me@host:/ /home/me/remote fuse.sshfs rw 0 0\n"
                             "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
                             "short line\n";
    const auto mounts = kv::browser::ParseMounts(table);
    ASSERT_EQ(mounts.size(), 16u);
    EXPECT_EQ(mounts[9].mountPoint, QByteArray("/media/me/My Stick"));
    QList<QByteArray> kept;
    for (const auto& m : mounts)
        if (kv::browser::IsBrowsableMount(m)) kept << m.mountPoint;
    EXPECT_EQ(kept, (QList<QByteArray>{"/", "/boot/efi", "/media/me/My Stick", "/run/media/me/DISC",
                                       "/mnt/nas", "/mnt/win", "/home/me/remote"}));
}

TEST(DrivesTest, DisplayNamesHoldTheMountPoint) {
    using kv::browser::DriveDisplayName;
    EXPECT_EQ(DriveDisplayName(QString(), "/", IconId::DriveRoot), QStringLiteral("/"));
    EXPECT_EQ(DriveDisplayName(QStringLiteral("system"), "/", IconId::DriveRoot),
              QStringLiteral("system (/)"));
    EXPECT_EQ(DriveDisplayName(QStringLiteral("USBメモリ"), "/media/usb/", IconId::DriveRemovable),
              QStringLiteral("USBメモリ (/media/usb)"));
    EXPECT_EQ(DriveDisplayName(QString(), "/media/usb/", IconId::DriveRemovable),
              QStringLiteral("リムーバブル ディスク (/media/usb)"));
    EXPECT_EQ(DriveDisplayName(QString(), "/mnt/nas/", IconId::DriveNetwork),
              QStringLiteral("ネットワーク ドライブ (/mnt/nas)"));
}

TEST(DrivesTest, TheRootComesFirstAndNoMountPointIsTouched) {
    const auto drives = kv::browser::NativeFolderLister().Drives();
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives[0].mountPoint, QByteArray("/"));
    EXPECT_EQ(drives[0].displayName, QStringLiteral("/"));
    for (const auto& d : drives) {
        EXPECT_TRUE(d.mountPoint.endsWith('/'));
        EXPECT_TRUE(d.displayName.contains(
            QString::fromUtf8(d.mountPoint.size() > 1 ? d.mountPoint.chopped(1) : d.mountPoint)));
    }
}

} // namespace
