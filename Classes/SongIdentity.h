#pragma once
// What a song is, for the documents folder's record: where it lies in its
// library (its place, relative to the library's top), its size and time, and
// a key read from its content. A library moved or mounted elsewhere keeps its
// places; a song moved or renamed inside it keeps its key: either way it is
// still the same song, and its output stays its own.

#include "platform/foundation/FolderWalk.h"

#include <QByteArray>
#include <QString>

class SongIdentity {
public:
    SongIdentity() = default;
    // The song at `path` (absolute) of the library whose top is `libraryRoot`.
    SongIdentity(const QString& path, const QString& libraryRoot);

    const QString& path() const { return path_; }
    // Relative to the library's top; the absolute path when the song lies
    // outside it.
    const QString& place() const { return place_; }
    // Size and modification time, links followed.
    const FileStamp& stamp() const { return stamp_; }
    // The content key, read once, when first asked for; empty when the file
    // cannot be read.
    const QByteArray& key() const;

    // The key of the file at `path`: a SHA-1 of its size and its first and
    // last 64 kB, as 32 hex digits. Songs that differ have different keys
    // (their tags at the start, their audio at the end); copies of one song
    // have the same.
    static QByteArray contentKeyOf(const QString& path);

private:
    QString path_;
    QString place_;
    FileStamp stamp_;
    mutable QByteArray key_;
    mutable bool keyRead_ = false;
};
