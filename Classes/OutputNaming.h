#pragma once
// Where a converted song goes: the documents directory, then the artist and
// the album title as folders, then the title as the file name, cleaned of
// characters that trouble file systems and file-sharing tools, with the
// song's own format as the extension.

#include "platform/foundation/Url.h"

#include <QString>
#include <optional>

// Removes the 17 characters : ; \ | > < ! ? $ * % + = ' ^ ` " wherever they
// occur, then every control character (U+0000 to U+001F, U+007F to U+009F),
// then whitespace and line breaks at both ends. "/" stays: it separates
// folder levels.
QString cleanUpFilename(const QString& name);

// The output file URL of one song, and its folder made when missing.
//
// An absent tag differs from an empty one: the artist names a folder when it
// is present (even empty), the album title only under an artist. The whole
// name is cleaned, then split into folder levels at each "/"; empty levels
// vanish and a level that is "." or ".." becomes "_", so the file always lies
// strictly inside `documentsDirectory`. An absent title, or one that cleans to
// nothing, gives the file name "Untitled". Each level is cut to 255 bytes of
// UTF-8 at a character boundary, the file name so that it still fits with the
// extension. The extension is the asset URL's, appended after cleaning.
//
// The folder that is to hold the file is created (with its parents) when
// nothing exists at its path; a failure shows later, when the file cannot be
// written. When it cannot be made, `folderFailure` (when given) says which
// folder and why.
Url outputURLForItem(const Url& assetURL, const std::optional<QString>& title, const std::optional<QString>& artist,
                     const std::optional<QString>& albumTitle, const QString& documentsDirectory,
                     QString* folderFailure = nullptr);

// The name an output takes when `url` is already taken by another song of the
// same run: " (n)" before the extension. The file name is cut, at a character
// boundary, so that it, the suffix and the extension still fit in 255 bytes.
Url numberedOutputURL(const Url& url, int number);
