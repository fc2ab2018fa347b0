#include "library/ScanRoots.h"

#include "tests/common/TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A sysfs-like tree: class/block/<name> links to a device folder under devices/, with a
// "removable" file on the disk.
void AddBlockDevice(const QString& sys, const QString& devicePath, const QString& disk, const QString& partition,
                    bool removable)
{
    const QString diskDir = sys + "/devices/" + devicePath + "/block/" + disk;
    const QString node = partition.isEmpty() ? diskDir : diskDir + "/" + partition;
    ASSERT_TRUE(QDir().mkpath(node));
    ASSERT_TRUE(testutil::WriteFile(diskDir + "/removable", removable ? "1\n" : "0\n"));
    QDir().mkpath(sys + "/class/block");
    ASSERT_TRUE(QFile::link(node, sys + "/class/block/" + (partition.isEmpty() ? disk : partition)));
}

} // namespace

TEST(ScanRoots, HomeThenRealFileSystemsWithoutRemovableOrUsbDevices)
{
    QTemporaryDir dir;
    const QString sys = dir.path() + "/sys";
    const QString home = dir.path() + "/home/me";
    QDir().mkpath(home);
    AddBlockDevice(sys, "pci0000:00/0000:00:17.0/ata1/host0", "sda", "sda2", false);
    AddBlockDevice(sys, "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6", "sdb", "sdb1", false);
    AddBlockDevice(sys, "pci0000:00/0000:00:1d.0/mmc0", "mmcblk0", "mmcblk0p1", true);
    AddBlockDevice(sys, "pci0000:00/0000:00:17.0/ata2/host1", "sr0", "", true);
    // A mapped device over a USB disk is on USB too.
    AddBlockDevice(sys, "virtual", "dm-0", "", false);
    QDir().mkpath(sys + "/devices/virtual/block/dm-0/slaves/sdb1");

    const QString mounts = dir.path() + "/mounts";
    ASSERT_TRUE(testutil::WriteFile(mounts,
        "proc /proc proc rw 0 0\n"
        "/dev/sda1 / ext4 rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "/dev/sda2 /srv/My\\040Music ext4 rw 0 0\n"
        "/dev/sdb1 /media/me/STICK vfat rw 0 0\n"
        "/dev/mmcblk0p1 /media/me/CARD exfat rw 0 0\n"
        "/dev/sr0 /media/me/CD iso9660 ro 0 0\n"
        "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
        "/dev/dm-0 /media/me/SECRET ext4 rw 0 0\n"
        "server:/music /mnt/nas nfs4 rw 0 0\n"
        "//host/share /mnt/smb cifs rw 0 0\n"
        "/dev/sda2 /srv/My\\040Music ext4 rw 0 0\n"));

    const QStringList roots = ScanRoots(mounts, sys, home);
    EXPECT_EQ(roots, (QStringList {home + "/", "/srv/My Music/", "/media/me/CD/", "/mnt/nas/", "/mnt/smb/"}));

    EXPECT_TRUE(IsRemovableOrUsb("/dev/sdb1", sys));
    EXPECT_TRUE(IsRemovableOrUsb("/dev/mmcblk0p1", sys));
    EXPECT_FALSE(IsRemovableOrUsb("/dev/sda2", sys));
    EXPECT_FALSE(IsRemovableOrUsb("/dev/nothing", sys)); // unknown to sysfs: counts as fixed

    // Without a mount table the home folder is still scanned.
    EXPECT_EQ(ScanRoots(dir.path() + "/none", sys, home), (QStringList {home + "/"}));
}
