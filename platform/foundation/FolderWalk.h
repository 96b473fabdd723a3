#pragma once
// The documents folder walked from its top, one level at a time, without
// following a link: a symbolic link placed at a folder's name below it (an
// artist folder that points elsewhere) is never gone through, so nothing is
// read, written, replaced or removed outside the folder. The top itself may
// be a link: it is the user's choice of where the files go.
//
// Names are matched as the destination may match them: a level that is not
// there under its own spelling but is under one that compares equal
// (destination::comparable: case, composition) is that folder, spelled as it
// is on disk, on every file system alike.

#include "platform/foundation/FileDescriptor.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

// Size and modification time of a file, for the quick check of whether it
// changed (as rsync's): unknown when there is no regular file.
struct FileStamp {
    std::int64_t size = -1;
    std::int64_t modified = 0; // nanoseconds since 1970
    bool isKnown() const { return size >= 0; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of the regular file at `path`; links are followed only when asked.
FileStamp stampOf(const QString& path, bool followLinks);
// The stamp of the regular file `name` in the folder open as `folder`; a
// link there is no file.
FileStamp stampAt(int folder, const QByteArray& name);

class FolderWalk {
public:
    // What stands at a name.
    enum class Kind { Nothing, File, Folder, Link, Other, Unreachable };
    struct Found {
        Kind kind = Kind::Nothing;
        FileStamp stamp; // of a file
    };

    // Opens `top` (following a link there). isOpen() says whether it could.
    // With `caseInsensitive` (the file system below looks names up without
    // regard to case), folders are spelled as they are on disk even where
    // another spelling opens them: FUSE drivers keep a name that was looked up
    // for a while after its file has gone under another spelling.
    explicit FolderWalk(const QString& top, bool caseInsensitive = false);

    bool isOpen() const { return static_cast<bool>(*top_); }
    const QString& top() const { return topPath_; }

    // The folder `relative` (levels separated by "/"; "" is the top), reached
    // level by level with no link followed. With `create`, missing levels are
    // made, and `made` (when given) receives them, relative, deepest first.
    // `spelled` receives the folder's path as it is on disk. On failure the
    // descriptor is invalid and `failure` (when given) says which folder and
    // why, in the user's words: a link, a file in the way, or the system's
    // error; `error` (when given) the errno (ELOOP for a link, ENOENT for a
    // folder that is not there and was not to be made).
    FileDescriptor openFolder(const QString& relative, bool create, QString* spelled = nullptr,
                              QStringList* made = nullptr, QString* failure = nullptr, int* error = nullptr) const;

    // What is at the path `relative` (a file's, below the top): found without
    // following a link on the way or at the end. A folder on the way that is a
    // link or a file, or cannot be opened, makes it Unreachable.
    Found find(const QString& relative) const;

    // Whether a name that compares equal to the last level of `relative` is
    // taken in its folder (found as openFolder() finds it, without creating):
    // by anything at all, a file, a folder or a link.
    bool isTaken(const QString& relative) const;

    // The names in the folder `relative` (none when it cannot be reached).
    QStringList entries(const QString& relative) const;

    // A path through which the folder held by `folder` is written, whatever
    // becomes of the names above it: /proc/self/fd/N, or `fallback` where the
    // system has no /proc.
    static QString pathThrough(int folder, const QString& fallback);

private:
    std::shared_ptr<FileDescriptor> top_;
    QString topPath_;
    bool caseInsensitive_ = false;
};
