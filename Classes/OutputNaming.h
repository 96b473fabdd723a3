#pragma once
// Where a converted song goes: the documents directory, then the artist and
// the album title as folders, then the title as the file name, cleaned of
// characters that trouble file systems and file-sharing tools, with the
// song's own format as the extension.

#include "platform/foundation/Url.h"
#include "platform/library/MediaItem.h"

#include <QString>
#include <QStringList>
#include <optional>

// Removes the 17 characters : ; \ | > < ! ? $ * % + = ' ^ ` " wherever they
// occur, then every control character (U+0000 to U+001F, U+007F to U+009F)
// and every surrogate without its pair (a broken tag, or a byte of a file
// name that is not UTF-8), then whitespace and line breaks at both ends. "/"
// stays: it separates folder levels.
QString cleanUpFilename(const QString& name);

// The output of one song, relative to the documents directory
// ("Artist/Album/Title.ext"); nothing is made.
//
// An absent tag differs from an empty one: the artist names a folder when it
// is present (even empty), the album title only under an artist. The whole
// name is cleaned, then split into folder levels at each "/"; empty levels
// vanish and a level that is "." or ".." becomes "_", so the file always lies
// strictly inside the documents directory. A song whose title is absent or
// cleans to nothing is named after `fileStem` (its file name without the
// extension, as the library lists it), or "Untitled" when that cleans to
// nothing too. Each level is cut to 255 bytes of UTF-8 at a character
// boundary, the file name so that it still fits with the extension.
// `extension` is appended after cleaning. With `windowsNames` (a FAT, exFAT
// or NTFS destination: destination::Traits) each level is then made one that
// Windows can hold (destination::windowsName: "R.E.M." becomes "R.E.M").
QString outputRelativePath(const QString& extension, const std::optional<QString>& title,
                           const std::optional<QString>& artist, const std::optional<QString>& albumTitle,
                           const QString& fileStem = QString(), bool windowsNames = false);

// The same for a song of the library: its title, artist, album title and file
// stem; `extension` is its format's.
QString outputRelativePathOf(const medialibrary::MediaItem& item, const QString& extension, bool windowsNames = false);

// The folder of the documents directory that the playlists a run writes go into.
inline QString playlistsFolderName() { return QStringLiteral("Playlists"); }

// The file a run writes for the playlist `name`, relative to the documents
// directory: "Playlists/NAME.m3u8", the name cleaned as a title is and kept
// to one level ("/" becomes "_"), "Playlist" for a name that cleans to
// nothing; fitted as outputRelativePath() fits names.
QString playlistRelativePath(const QString& name, bool windowsNames = false);

// Makes the folder that is to hold `relativeFile` (a path from
// outputRelativePath()) inside `documentsDirectory`, level by level, never
// through a symbolic link (FolderWalk): a link or a file in the way fails, so
// that nothing is ever written outside the documents directory. When it cannot be made,
// `folderFailure` (when given) says which folder and why. `createdFolders`
// (when given) receives the folders this call made, deepest first, so that an
// item that fails can take them away again.
bool makeOutputFolder(const QString& documentsDirectory, const QString& relativeFile, QString* folderFailure = nullptr,
                      QStringList* createdFolders = nullptr);

// The output file URL of one song, and its folder made when missing: the two
// steps above. The extension is the asset URL's.
Url outputURLForItem(const Url& assetURL, const std::optional<QString>& title, const std::optional<QString>& artist,
                     const std::optional<QString>& albumTitle, const QString& documentsDirectory,
                     QString* folderFailure = nullptr, QStringList* createdFolders = nullptr,
                     const QString& fileStem = QString());

// The name an output takes when `url` is already taken by another song:
// " (n)" before the extension. The file name is cut, at a character boundary,
// so that it, the suffix and the extension still fit in 255 bytes.
Url numberedOutputURL(const Url& url, int number);

// The same for a path relative to the documents directory.
QString numberedOutputPath(const QString& relativeFile, int number);
