#pragma once
#include <QString>
#include <QStringList>

// Where a whole-computer scan starts: the user's home folder, then every mounted real file
// system other than "/" (block devices and network shares), in mount order. Pseudo and image
// file systems, loop devices, removable devices and devices on a USB bus are left out (an
// optical drive, like a fixed or network one, is scanned). Each root ends in "/" and appears once.
QStringList ScanRoots();

// The same from the given mount table, sysfs root and home folder, so the rules can be checked
// against a table of one's own.
QStringList ScanRoots(const QString& mountsFile, const QString& sysRoot, const QString& home);

// True when the block device `device` ("/dev/sdb1", a link to one, "/dev/mapper/x") is removable
// or sits on a USB bus, as sysfs under `sysRoot` tells; false when sysfs knows nothing of it.
bool IsRemovableOrUsb(const QString& device, const QString& sysRoot);
