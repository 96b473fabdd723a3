#pragma once
// Where the application keeps its files and where it reads songs from.

#include <QString>

namespace documents {

// The user-visible documents folder: $RIPWELL_DOCUMENTS, else the desktop's
// documents folder plus "Ripwell". Created (with its parents) when missing.
// Absolute, without a trailing slash.
QString documentsDirectory();

// The music library's root: $RIPWELL_LIBRARY, else the desktop's music folder.
// Absolute, without a trailing slash; not created.
QString musicLibraryRoot();

// Whether the folder `libraryRoot` is `documentsDir` itself or lies inside it
// (links resolved). Converted songs would then be written among the songs
// they come from.
bool libraryIsInsideDocuments(const QString& libraryRoot, const QString& documentsDir);

} // namespace documents
