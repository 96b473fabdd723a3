#pragma once
// Where the application keeps its files and where it reads songs from.

#include <QString>

namespace documents {

// The user-visible documents folder: $RIPWELL_DOCUMENTS, else the desktop's
// documents folder plus "Ripwell". Created (with its parents) when missing.
// Absolute, without a trailing slash. Empty, and nothing created, when it
// cannot be told (see locationProblem()).
QString documentsDirectory();

// The music library's root: $RIPWELL_LIBRARY, else the desktop's music folder.
// Absolute, without a trailing slash; not created. Empty when it cannot be told.
QString musicLibraryRoot();

// Empty when both folders can be told; otherwise a sentence saying why not
// and what to set. Without $HOME (or with a relative one), as cron jobs,
// system services and `env -i` run programs, the desktop's folders would
// become folders at the top of the file system: then only $RIPWELL_LIBRARY
// and $RIPWELL_DOCUMENTS, or $XDG_MUSIC_DIR and $XDG_DOCUMENTS_DIR, name them.
// `library` and `documents` say which of the two folders are asked about
// (the others are given otherwise).
QString locationProblem(bool library = true, bool documents = true);

// `path` made absolute (against the working folder) and clean, without a
// trailing slash.
QString absolutePath(const QString& path);

// Whether the folder `libraryRoot` is `documentsDir` itself or lies inside it
// (links resolved). Converted songs would then be written among the songs
// they come from.
bool libraryIsInsideDocuments(const QString& libraryRoot, const QString& documentsDir);

// Whether the two paths name one folder (links resolved).
bool isSameFolder(const QString& a, const QString& b);

} // namespace documents
