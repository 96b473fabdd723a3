#pragma once
// Files written in place of the user's files go under a temporary name first,
// in the same folder, and are renamed into place only once whole. The names
// carry the writing process's id, so two processes never share one, and a
// later run can tell the leftovers of a killed run from files in use.

#include <QByteArray>
#include <QString>

namespace tempfiles {

// A fresh name in `folder` for a file that will become a file with the
// extension `extension`: ".ripwell-tmp-<pid>-<n>.<extension>". Unique within
// the process; nothing is created.
QString temporaryPath(const QString& folder, const QString& extension);

// Whether `fileName` (no folder) follows the pattern of temporaryPath(); the
// writer's process id goes to `pid`.
bool isTemporaryName(const QString& fileName, qint64* pid = nullptr);

// Removes, under `root` and its subfolders (links are not followed), the
// temporary files whose writer is no longer running. Returns how many went.
int removeStaleTemporaries(const QString& root);

// Writes `bytes` as the whole content of `path`: into a temporary file beside
// it, put on the disk (fdatasync), then renamed over it, so that not even a
// crash of the machine leaves an empty file in place of the earlier one. On
// failure the file at `path` is untouched, the temporary is gone and `why`
// (when given) says what went wrong.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* why = nullptr);

} // namespace tempfiles
