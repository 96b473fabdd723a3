#pragma once
// Files written in place of the user's files go under a temporary name first,
// in the same folder, and are renamed into place only once whole. The names
// carry a random token drawn once per process, so two processes never share
// one, even where process ids repeat (containers, PID namespaces); what tells
// a killed run's leftovers from files in use is the documents lock, not the
// name: whoever holds it is the only writer.

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

namespace tempfiles {

// A fresh name in `folder` for a file that will become a file with the
// extension `extension`: ".ripwell-tmp-<token>-<n>.<extension>". Unique within
// the process, and not to be guessed by another; nothing is created.
QString temporaryPath(const QString& folder, const QString& extension);

// Whether `fileName` (no folder) has exactly the form of temporaryPath()'s
// names (a token of 16 hex digits, a number, a short extension or none), or
// the older one with the writer's process id in place of the token.
bool isTemporaryName(const QString& fileName);

// Whether `fileName` is a temporary name of this process.
bool isOwnTemporaryName(const QString& fileName);

// Removes, in the folders `folders` below `root` (relative; "" is `root`
// itself; reached without following links), every temporary file that is not
// this process's own: the leftovers of a run that was killed. Only for the
// holder of the documents lock on `root`: no other process writes there then.
// Returns the files that went, relative to `root`.
QStringList removeStaleTemporaries(const QString& root, const QSet<QString>& folders);

// Writes `bytes` as the whole content of `path`: into a temporary file beside
// it, put on the disk (fdatasync), then renamed over it and the rename put on
// the disk too, so that not even a crash of the machine or a stick pulled
// right after leaves an empty file in place of the earlier one. On
// failure the file at `path` is untouched, the temporary is gone and `why`
// (when given) says what went wrong.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* why = nullptr);

// Renames `temporary` to `destination` (names in the folder open as
// `folder`, or paths with AT_FDCWD); unless `replace`, only while nothing is
// at `destination`, also on a file system that cannot be told so. Returns 0
// or the errno, EEXIST when something is there.
int renameIntoPlace(int folder, const QByteArray& temporary, const QByteArray& destination, bool replace);

// Puts the names in `folder` on the disk (fsync of the folder): a rename
// there survives a crash or a pulled stick. False when it could not.
bool syncFolder(const QString& folder);

} // namespace tempfiles
