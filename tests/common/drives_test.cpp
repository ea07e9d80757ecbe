#include "fs/drives.h"
#include "fs/fs_fixture.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

TEST(Drives, MountInfoKeepsRealFileSystemsInMountOrder)
{
    const QByteArray text = R"(21 26 0:20 / /proc rw,relatime - proc proc rw
24 26 0:22 / /dev/shm rw - tmpfs tmpfs rw
26 1 254:0 / / rw,relatime - ext4 /dev/vda rw
30 26 8:17 / /media/u/My\040Stick rw,nosuid shared:5 master:2 - vfat /dev/sdb1 rw
31 26 0:40 / /tmp rw - tmpfs tmpfs rw
32 26 0:41 / /mnt/share rw - cifs //server/docs rw
33 26 0:42 / /mnt/nfs rw - nfs4 server:/export rw
34 26 7:0 / /media/cdrom ro - iso9660 /dev/sr0 ro
35 26 7:1 / /snap/core/123 ro - squashfs /dev/loop1 ro
36 26 0:50 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw
39 30 0:60 / /sys/fs/cgroup rw - tmpfs tmpfs rw
40 26 0:61 / /home/u/remote rw - fuse.sshfs u@host:/home rw
42 1 254:0 / / rw,noatime - ext4 /dev/vda rw
not a mount line
)";
    const std::vector<MountEntry> mounts = parseMountInfo(text);
    QStringList points;
    for (const MountEntry &m : mounts)
        points << m.mountPoint;
    // "/" was mounted again last, which hides the first mount.
    EXPECT_EQ(points, (QStringList{"/media/u/My Stick", "/tmp", "/mnt/share", "/mnt/nfs",
                                   "/media/cdrom", "/home/u/remote", "/"}));
    ASSERT_EQ(mounts.size(), 7u);
    EXPECT_EQ(mounts[0].source, "/dev/sdb1");
    EXPECT_EQ(mounts[0].major, 8u);
    EXPECT_EQ(mounts[0].minor, 17u);
    EXPECT_EQ(mounts[2].source, "//server/docs");

    EXPECT_EQ(driveTypeOf("tmpfs"), DriveType::RamDisk);
    EXPECT_EQ(driveTypeOf("cifs"), DriveType::Remote);
    EXPECT_EQ(driveTypeOf("fuse.sshfs"), DriveType::Remote);
    EXPECT_EQ(driveTypeOf("udf"), DriveType::CDRom);
    EXPECT_EQ(driveTypeOf("ext4"), DriveType::Unknown); // the device decides
    EXPECT_TRUE(isRealFileSystem("overlay", "/"));      // a container's own root
    EXPECT_EQ(driveTypeName(0), "Unknown Type");
    EXPECT_EQ(driveTypeName(DriveType::Removable), "Removable Disk");
}

TEST(Drives, RemovableFlagLabelAndSizesComeFromTheSystem)
{
    TempTree tree;
    // A fake /sys: sdb sits on a USB bus, sdc says it is removable, sda is neither.
    const auto device = [&](const QString &numbers, const QString &where, const char *removable) {
        tree.file("sys/devices/" + where + "/partition", "1");
        tree.file("sys/devices/" + where.section('/', 0, -2) + "/removable", removable);
        tree.link("sys/dev/block/" + numbers, "../../devices/" + where);
    };
    device("8:17", "pci0/usb1/1-1/block/sdb/sdb1", "0\n");
    device("8:33", "platform/card/block/sdc/sdc1", "1\n");
    device("8:1", "pci0/ata1/block/sda/sda1", "0\n");
    tree.file("dev/sdb1");
    tree.link("labels/My\\x20Stick", "../dev/sdb1");

    DriveSources sources;
    sources.sysRoot = tree.path("sys");
    sources.labelFolder = tree.path("labels");
    const auto drive = [&](unsigned minor) {
        return describeDrive({tree.root(), tree.path("dev/sdb1"), "vfat", 8, minor}, sources);
    };
    const DriveInfo stick = drive(17);
    EXPECT_EQ(stick.type, DriveType::Removable);
    EXPECT_EQ(stick.volumeLabel, "My Stick");
    EXPECT_TRUE(stick.ready);
    EXPECT_GT(stick.totalBytes, 0);
    EXPECT_GE(stick.freeBytes, stick.availableBytes);
    EXPECT_TRUE(stick.shareName.isEmpty());
    EXPECT_EQ(drive(33).type, DriveType::Removable);
    EXPECT_EQ(drive(1).type, DriveType::Fixed);

    const DriveInfo missing = describeDrive({tree.path("gone"), "//srv/x", "cifs", 0, 99}, sources);
    EXPECT_FALSE(missing.ready);
    EXPECT_EQ(missing.typeName(), "Remote Disk");
    EXPECT_EQ(missing.shareName, "//srv/x");

    // The running system has a root drive that answers.
    bool rootSeen = false;
    for (const DriveInfo &d : listDrives())
        rootSeen = rootSeen || (d.rootPath == "/" && d.ready && d.totalBytes > 0);
    EXPECT_TRUE(rootSeen);
    EXPECT_FALSE(driveOfPath(tree.root()).rootPath.isEmpty());
}
