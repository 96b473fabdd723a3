#pragma once
// A USB stick for tests: a FAT32 or exFAT file system in an image file in a
// temporary folder of its own, mounted with FUSE (fusefat, exfat-fuse; this
// kernel has no FAT driver), unmounted and removed when the object goes.
// Mounting needs root and /dev/fuse; where they are missing, unavailable()
// says why and a test skips.

#include "tests/support/TestSupport.h"

#include <QString>

namespace testsupport {

class Stick {
public:
    enum class Kind { Fat32, Exfat };

    explicit Stick(Kind kind, int megabytes = 64);
    ~Stick();
    Stick(const Stick&) = delete;
    Stick& operator=(const Stick&) = delete;

    // Empty when the stick is mounted; otherwise why it is not.
    const QString& unavailable() const { return unavailable_; }
    const char* name() const { return kind_ == Kind::Fat32 ? "FAT32" : "exFAT"; }

    // The mount point.
    QString path() const { return mountPoint_; }
    QString file(const QString& relative) const { return mountPoint_ + u'/' + relative; }

    // Unplugged and plugged in again: every cache the driver keeps is gone.
    bool replug();
    // Pulled out without warning, then plugged in again: the stick holds what
    // had reached the image when it was pulled, nothing that was still on its
    // way.
    bool pullAndReplug();

private:
    bool mount();
    bool unmount();

    Kind kind_;
    TempDir dir_;
    QString image_;
    QString mountPoint_;
    QString device_; // the loop device of an exFAT stick
    QString unavailable_;
};

} // namespace testsupport
