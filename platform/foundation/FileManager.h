#pragma once
// The file operations the screens need, on paths: list a folder, ask what an
// entry is, remove an entry.

#include <QString>
#include <QStringList>
#include <optional>

namespace filemanager {

// The names (not paths) of the entries directly inside `folder`, in the order
// the file system lists them, without "." and "..", nothing filtered or
// sorted. None when the folder cannot be read.
std::optional<QStringList> contentsOfDirectoryAtPath(const QString& folder);

// Whether something exists at `path`, following symbolic links (a dangling
// link does not exist); `isDirectory` tells whether it is a folder.
bool fileExistsAtPath(const QString& path, bool* isDirectory = nullptr);

// Removes a file, a symbolic link or a folder with everything inside it.
// Symbolic links are removed themselves and never followed, neither at
// `path` nor inside a folder, so nothing outside `path` is touched; neither
// is a file system mounted inside it. Goes on
// past entries it cannot remove; returns true when nothing is left at
// `path`, else false with the first failure in `error`.
bool removeItemAtPath(const QString& path, QString* error = nullptr);

} // namespace filemanager
