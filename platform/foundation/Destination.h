#pragma once
// What the file system under a documents folder does with names and times.
// Converted songs often go to a USB stick, an SD card or a player: FAT32,
// exFAT or NTFS, which look names up without regard to case, keep times to
// 2 s (FAT) in local time, and refuse names that Windows refuses. Outputs are
// named and checked so that they hold there too.

#include <QString>
#include <cstdint>

namespace destination {

// How the file system that holds a folder treats names and times.
struct Traits {
    QString fileSystem;        // as the system names it: "ext4", "vfat", "fuseblk", "fuse.fusefat" ...
    bool windowsNames = false; // FAT, exFAT, NTFS or a Windows share: each name must be one Windows can hold
    // How far apart two readings of one file's time may be, in nanoseconds:
    // the file system keeps times only this finely (FAT 2 s), and drivers
    // round differently.
    std::int64_t timeTolerance = 0;
    // Times are stored in local time without a zone (FAT, and exFAT as some
    // drivers write it): the same time may read whole quarter hours apart
    // once the stick has been in a computer of another zone.
    bool localTimes = false;
};

// The traits of the file system that holds `folder` (it must exist). Read
// from the system (statfs, and the mount table for FUSE), nothing written.
Traits traitsOf(const QString& folder);

// The form in which two names are compared: two names with the same form are
// one name. Case is folded and Unicode composed, so that names that FAT,
// exFAT, NTFS or a case-insensitive ext4 take for one name are one here on
// every file system: a folder written on ext4 and copied onto a stick then
// keeps every file.
QString comparable(const QString& name);

// Whether the times `a` and `b` (nanoseconds since 1970) of one file are the
// same time on a file system with `traits`.
bool sameTime(std::int64_t a, std::int64_t b, const Traits& traits);

// The least change of one file or folder name (no "/") that makes it a name
// Windows and its file systems can hold: trailing dots and spaces dropped
// ("R.E.M." becomes "R.E.M"), "_" after a reserved device name ("CON",
// "nul.mp3", "COM1"), "_" for a name that is left empty. The characters
// Windows refuses are gone already when names are cleaned.
QString windowsName(const QString& name);

} // namespace destination
