#include "tests/support/Stick.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <unistd.h>

namespace testsupport {

namespace {

// Runs `program` quietly; its standard output when it exits with 0.
std::optional<QString> run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

bool isMounted(const QString& mountPoint)
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray needle = ' ' + QFile::encodeName(mountPoint).replace(" ", "\\040") + ' ';
    return table.readAll().contains(needle);
}

// Whether a process still runs with `text` among its arguments: the FUSE
// driver of a stick lingers a moment after its unmount.
bool processMentions(const QString& text)
{
    const QByteArray wanted = QFile::encodeName(text);
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        bool numeric = false;
        it.fileName().toInt(&numeric);
        if (!numeric)
            continue;
        QFile cmdline(it.filePath() + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().split('\0').contains(wanted))
            return true;
    }
    return false;
}

} // namespace

Stick::Stick(Kind kind, int megabytes) : kind_(kind)
{
    image_ = dir_.file(QStringLiteral("stick.img"));
    mountPoint_ = dir_.file(QStringLiteral("STICK"));
    const QString maker = kind == Kind::Fat32 ? QStringLiteral("mkfs.fat") : QStringLiteral("mkfs.exfat");
    const QString driver = kind == Kind::Fat32 ? QStringLiteral("fusefat") : QStringLiteral("mount.exfat-fuse");
    if (::geteuid() != 0)
        unavailable_ = QStringLiteral("mounting a stick with FUSE needs root");
    else if (!QFile::exists(QStringLiteral("/dev/fuse")))
        unavailable_ = QStringLiteral("no /dev/fuse");
    else if (QStandardPaths::findExecutable(maker, {"/sbin", "/usr/sbin", "/usr/bin"}).isEmpty() ||
             QStandardPaths::findExecutable(driver, {"/sbin", "/usr/sbin", "/usr/bin"}).isEmpty())
        unavailable_ = QStringLiteral("%1 or %2 is not installed (scripts/setup installs them)").arg(maker, driver);
    if (!unavailable_.isEmpty())
        return;
    QFile image(image_);
    if (!image.open(QIODevice::WriteOnly) || !image.resize(qint64(megabytes) * 1024 * 1024)) {
        unavailable_ = QStringLiteral("cannot make %1").arg(image_);
        return;
    }
    image.close();
    const QStringList makeArguments = kind == Kind::Fat32 ? QStringList{"-F", "32", "-n", "STICK", image_} : QStringList{"-L", "STICK", image_};
    QDir().mkpath(mountPoint_);
    if (!run(maker, makeArguments))
        unavailable_ = QStringLiteral("%1 failed").arg(maker);
    else if (!mount())
        unavailable_ = QStringLiteral("%1 could not mount %2").arg(driver, image_);
}

Stick::~Stick()
{
    unmount();
}

bool Stick::mount()
{
    if (kind_ == Kind::Fat32) {
        // fusefat writes only with "rw+", its experimental writing.
        if (!run(QStringLiteral("fusefat"), {"-o", "rw+", image_, mountPoint_}))
            return false;
    } else {
        // exfat-fuse mounts a block device: the image through a loop device.
        // Another test may take the free one first: try again.
        for (int attempt = 0; attempt < 10 && device_.isEmpty(); ++attempt) {
            if (const auto device = run(QStringLiteral("losetup"), {"--find", "--show", image_}))
                device_ = *device;
            else
                QThread::msleep(100);
        }
        if (device_.isEmpty() || !run(QStringLiteral("mount.exfat-fuse"), {device_, mountPoint_}))
            return false;
    }
    QDeadlineTimer deadline(10000);
    while (!isMounted(mountPoint_) && !deadline.hasExpired())
        QThread::msleep(20);
    return isMounted(mountPoint_);
}

bool Stick::unmount()
{
    if (!isMounted(mountPoint_))
        return true;
    QDeadlineTimer deadline(10000);
    while (!run(QStringLiteral("umount"), {mountPoint_}) && !deadline.hasExpired())
        QThread::msleep(50); // busy a moment longer
    // Until its driver has gone, the image may still be written.
    while (processMentions(mountPoint_) && !deadline.hasExpired())
        QThread::msleep(20);
    if (!device_.isEmpty() && run(QStringLiteral("losetup"), {"--detach", device_}))
        device_.clear();
    return !isMounted(mountPoint_);
}

bool Stick::replug()
{
    return unmount() && mount();
}

bool Stick::pullAndReplug()
{
    // What the image holds while the stick is mounted is all it would keep.
    const QString pulled = image_ + QStringLiteral(".pulled");
    QFile::remove(pulled);
    if (!QFile::copy(image_, pulled) || !unmount())
        return false;
    return QFile::remove(image_) && QFile::rename(pulled, image_) && mount();
}

} // namespace testsupport
