#include "platform/foundation/Volumes.h"

#include "platform/foundation/Localization.h"
#include "platform/foundation/PathString.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace volumes {

namespace {

// The file systems of sticks, cards and players; fuseblk is NTFS or exFAT
// through FUSE.
bool isPortableFileSystem(const QString& type)
{
    static const QStringList kTypes{QStringLiteral("vfat"),         QStringLiteral("msdos"),
                                    QStringLiteral("exfat"),        QStringLiteral("ntfs"),
                                    QStringLiteral("ntfs3"),        QStringLiteral("fuseblk"),
                                    QStringLiteral("fuse.fusefat"), QStringLiteral("fuse.exfat"),
                                    QStringLiteral("fuse.ntfs-3g")};
    return kTypes.contains(type);
}

// Whether `device` (/dev/sdb1) is a block device the kernel calls removable,
// one on a USB bus or a memory card.
bool isRemovableBlockDevice(const QString& device)
{
    if (!device.startsWith(QLatin1String("/dev/")))
        return false;
    const QString name = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
    if (name.isEmpty())
        return false;
    if (name.startsWith(QLatin1String("mmcblk")))
        return true;
    const QString sys = QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
    if (sys.isEmpty())
        return false;
    if (sys.contains(QLatin1String("/usb")))
        return true;
    // A partition says nothing itself: its disk, one level up, does.
    for (const QString& dir : {sys, QFileInfo(sys).path()}) {
        QFile removable(dir + QStringLiteral("/removable"));
        if (removable.open(QIODevice::ReadOnly))
            return removable.readAll().trimmed() == "1";
    }
    return false;
}

bool isSystemMount(const QString& root)
{
    if (root == QLatin1String("/"))
        return true;
    if (root.startsWith(QLatin1String("/run/media/")))
        return false;
    for (const char* system : {"/boot", "/efi", "/proc", "/sys", "/dev", "/run", "/snap", "/usr", "/var", "/etc"}) {
        const QLatin1String s(system);
        if (root == s || root.startsWith(s + u'/'))
            return true;
    }
    return false;
}

bool isInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

quint64 deviceOf(const QString& path, int* error = nullptr)
{
    struct stat info {};
    if (::stat(path::native(path).constData(), &info) != 0) {
        if (error)
            *error = errno;
        return 0;
    }
    return quint64(info.st_dev);
}

} // namespace

bool isRemovable(const QString& fileSystem, const QString& device, const QString& rootPath)
{
    if (isSystemMount(rootPath))
        return false;
    return isPortableFileSystem(fileSystem) || isRemovableBlockDevice(device) ||
           rootPath.startsWith(QLatin1String("/media/")) || rootPath.startsWith(QLatin1String("/run/media/"));
}

std::vector<Volume> removableVolumes(const QString& musicLibraryRoot)
{
    const QString library = musicLibraryRoot.isEmpty() ? QString() : QDir::cleanPath(musicLibraryRoot);
    std::vector<Volume> found;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        if (!storage.isValid() || !storage.isReady() || storage.isReadOnly())
            continue;
        const QString root = storage.rootPath();
        const QString type = QString::fromUtf8(storage.fileSystemType());
        if (!isRemovable(type, QString::fromLocal8Bit(storage.device()), root))
            continue;
        if (::access(path::native(root).constData(), W_OK | X_OK) != 0)
            continue;
        if (!library.isEmpty() && (isInside(library, root) || isInside(root, library)))
            continue;
        Volume v;
        v.rootPath = root;
        v.name = storage.name().isEmpty() ? path::lastComponent(root) : storage.name();
        v.fileSystem = type;
        v.device = deviceOf(root);
        v.bytesFree = storage.bytesTotal() > 0 ? storage.bytesAvailable() : -1;
        // The same volume mounted twice is offered once.
        if (std::none_of(found.begin(), found.end(), [&](const Volume& other) { return other.device == v.device; }))
            found.push_back(v);
    }
    std::sort(found.begin(), found.end(), [](const Volume& a, const Volume& b) {
        return QString::localeAwareCompare(a.name, b.name) < 0 ||
               (QString::localeAwareCompare(a.name, b.name) == 0 && a.rootPath < b.rootPath);
    });
    return found;
}

QString goneReason(const Volume& volume)
{
    if (volume.isNull())
        return {};
    // Unmounted, its root is gone or is a plain folder of the disk below; a
    // stick pulled out answers with an error.
    int error = 0;
    const quint64 device = deviceOf(volume.rootPath, &error);
    if (device != 0 && device == volume.device)
        return {};
    return L("%1 is no longer connected: it was unplugged or unmounted (%2)")
        .arg(volume.name, path::displayed(volume.rootPath));
}

} // namespace volumes
