#pragma once
// Removable volumes: the sticks, memory cards and players mounted on this
// computer, onto which a conversion may write instead of the documents folder.
//
//   for (const volumes::Volume& v : volumes::removableVolumes(documents::musicLibraryRoot()))
//       offer(v.name, v.rootPath);
//   ...
//   if (const QString gone = volumes::goneReason(chosen); !gone.isEmpty())
//       fail(gone); // unplugged or unmounted since it was found
//
// A volume counts as removable when its device is a removable or USB block
// device or a memory card, when it holds a file system that sticks, cards and
// players use (FAT, exFAT, NTFS, also through FUSE), or when the desktop
// mounted it for the user (under /media or /run/media). Only volumes the user
// may write to are listed; the system's own (/, /boot, /proc, ...) never are.

#include <QString>
#include <vector>

namespace volumes {

struct Volume {
    QString rootPath;       // where it is mounted
    QString name;           // its label, else the last component of rootPath
    QString fileSystem;     // "vfat", "exfat", "fuse.fusefat", ...
    quint64 device = 0;     // the device number of rootPath when it was found
    qint64 bytesFree = -1;  // -1 when the file system does not say

    bool isNull() const { return rootPath.isEmpty(); }
};

// The removable volumes mounted now, by name. A volume that holds
// `musicLibraryRoot` (or lies inside it) is left out: converted songs would
// land among the songs they come from.
std::vector<Volume> removableVolumes(const QString& musicLibraryRoot = {});

// Empty while `volume` is still mounted at its root; once it has been
// unplugged or unmounted (its root gone, or no longer the volume's own
// device), a sentence for the user that says so.
QString goneReason(const Volume& volume);

// Whether a mounted file system of this type and device is one a stick, card
// or player carries.
bool isRemovable(const QString& fileSystem, const QString& device, const QString& rootPath);

} // namespace volumes
