#include "platform/library/PlaylistFile.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/PathString.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <algorithm>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>

namespace medialibrary {

namespace {

enum class Kind { M3u, M3u8, Pls, Xspf, None };

Kind kindOf(const QString& fileName)
{
    const QString ext = path::extension(fileName).toLower();
    if (ext == u"m3u")
        return Kind::M3u;
    if (ext == u"m3u8")
        return Kind::M3u8;
    if (ext == u"pls")
        return Kind::Pls;
    if (ext == u"xspf")
        return Kind::Xspf;
    return Kind::None;
}

// The text of a playlist: UTF-8 (or UTF-16 and UTF-32 after their mark),
// else, where allowed, Latin-1; the UTF-8 mark dropped.
QString decoded(const QByteArray& bytes, bool latin1Fallback)
{
    const std::optional<QStringConverter::Encoding> marked = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(marked.value_or(QStringConverter::Utf8));
    QString text = decoder.decode(bytes);
    if (decoder.hasError() && latin1Fallback && !marked)
        text = QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

QStringList lines(const QString& text)
{
    QStringList out = text.split(u'\n');
    for (QString& line : out)
        line = line.trimmed(); // a CR of a CR LF line end too
    return out;
}

QStringList m3uEntries(const QString& text)
{
    QStringList out;
    for (const QString& line : lines(text))
        if (!line.isEmpty() && !line.startsWith(u'#'))
            out.append(line);
    return out;
}

QStringList plsEntries(const QString& text)
{
    std::map<long long, QString> byNumber;
    for (const QString& line : lines(text)) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 5 || !line.startsWith(QLatin1String("file"), Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const long long number = line.mid(4, equals - 4).trimmed().toLongLong(&ok);
        const QString value = line.mid(equals + 1).trimmed();
        if (ok && !value.isEmpty())
            byNumber[number] = value;
    }
    QStringList out;
    for (const auto& [number, value] : byNumber)
        out.append(value);
    return out;
}

// Whether `location` is a URL: a scheme and "://" ("http://…"), or "file:".
// A drive letter ("C:") is no scheme, and neither is a name such as
// "Artist: Song.mp3".
bool hasScheme(const QString& location)
{
    qsizetype i = 0;
    while (i < location.size() && location[i].unicode() < 0x80 &&
           (location[i].isLetterOrNumber() || location[i] == u'+' || location[i] == u'-' || location[i] == u'.'))
        ++i;
    if (i < 2 || !location[0].isLetter() || i >= location.size() || location[i] != u':')
        return false;
    return QStringView(location).mid(i, 3) == u"://" || QStringView(location).left(i).compare(u"file", Qt::CaseInsensitive) == 0;
}

QString fromPercentEncoded(const QString& text)
{
    return path::fromNative(QByteArray::fromPercentEncoding(text.toUtf8()));
}

QStringList xspfEntries(const QByteArray& content)
{
    QStringList out;
    QXmlStreamReader xml(content);
    bool inTrack = false, located = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"track") {
                inTrack = true;
                located = false;
            } else if (inTrack && !located && xml.name() == u"location") {
                QString location = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
                location.replace(u'\n', u' ').replace(u'\r', u' '); // a location is one line
                if (!location.isEmpty()) {
                    // A relative URI reference encodes a path.
                    out.append(hasScheme(location) ? location : fromPercentEncoded(location));
                    located = true;
                }
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == u"track") {
            inTrack = false;
        }
    }
    return out;
}

// A location taken apart: a path, absolute and clean, or a drive path
// (the part after the drive letter), or no file at all.
struct Located {
    enum Kind { Path, DrivePath, Stream, Outside } kind = Path;
    QString path;
    bool windows = false; // written with "\": matched without regard to case
};

Located locate(QString location, const QString& folder)
{
    Located out;
    if (location.startsWith(QLatin1String("\\\\")) || location.startsWith(QLatin1String("//")))
        return {Located::Outside, location}; // a Windows share, another machine's
    if (hasScheme(location)) {
        if (!location.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
            return {Located::Stream, location};
        location = location.mid(5);
        if (location.startsWith(QLatin1String("//"))) {
            const qsizetype slash = location.indexOf(u'/', 2);
            const QString host = location.mid(2, slash < 0 ? -1 : slash - 2);
            if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
                return {Located::Outside, location};
            location = slash < 0 ? QString() : location.mid(slash);
        }
        location = fromPercentEncoded(location);
        // file:///C:/Music/… from Windows
        if (location.size() >= 3 && location[0] == u'/' && location[1].isLetter() && location[2] == u':')
            location.remove(0, 1);
    }
    if (location.contains(u'\\')) {
        out.windows = true;
        location.replace(u'\\', u'/');
    }
    if (location.size() >= 2 && location[0].isLetter() && location[0].unicode() < 0x80 && location[1] == u':') {
        out.kind = Located::DrivePath;
        out.windows = true;
        out.path = QDir::cleanPath(u'/' + location.mid(2));
        return out;
    }
    out.path = QDir::cleanPath(location.startsWith(u'/') ? location : folder + u'/' + location);
    return out;
}

bool existsAt(const QString& path)
{
    struct stat info {};
    return ::stat(path::native(path).constData(), &info) == 0;
}

} // namespace

namespace playlistfile {

bool isPlaylistFileName(const QString& fileName)
{
    return kindOf(fileName) != Kind::None;
}

QStringList readEntries(const QByteArray& content, const QString& fileName)
{
    switch (kindOf(fileName)) {
    case Kind::M3u:
        return m3uEntries(decoded(content, true));
    case Kind::M3u8:
        return m3uEntries(decoded(content, false));
    case Kind::Pls:
        return plsEntries(decoded(content, true));
    case Kind::Xspf:
        return xspfEntries(content);
    case Kind::None:
        break;
    }
    return {};
}

QString filePathOf(const QString& location, const QString& folder)
{
    const Located located = locate(location, folder);
    return located.kind == Located::Path ? located.path : QString();
}

QByteArray readFile(const QString& path)
{
    const FileDescriptor fd(::open(path::native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxSize)
        return {};
    QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
    if (!fileio::readFully(fd.get(), bytes.data(), std::size_t(bytes.size())))
        return {};
    return bytes;
}

} // namespace playlistfile

PlaylistResolver::PlaylistResolver(const std::vector<MediaItem>& songs, const QString& root, const QStringList& otherRoots)
    : songs_(songs), root_(path::standardizedSlashes(root))
{
    roots_.append(root_);
    for (const QString& other : otherRoots) {
        const QString clean = QDir::cleanPath(other);
        if (!clean.isEmpty() && !roots_.contains(clean))
            roots_.append(clean);
    }
    byPath_.reserve(qsizetype(songs_.size()));
    for (std::size_t i = 0; i < songs_.size(); ++i) {
        const QString relative = relativeToTop(songs_[i].filePath());
        if (!relative.isNull())
            byPath_.insert(relative, int(i));
    }
}

QString PlaylistResolver::relativeToTop(const QString& absolute) const
{
    for (const QString& top : roots_) {
        if (top == u"/" && absolute.size() > 1 && absolute.startsWith(u'/'))
            return absolute.mid(1);
        if (absolute.size() > top.size() + 1 && absolute.startsWith(top) && absolute[top.size()] == u'/')
            return absolute.mid(top.size() + 1);
    }
    return {};
}

int PlaylistResolver::exactSong(const QString& relative) const
{
    return byPath_.value(relative, -1);
}

int PlaylistResolver::foldedSong(const QString& relative) const
{
    if (!foldedMade_) {
        foldedMade_ = true;
        byFoldedPath_.reserve(byPath_.size());
        for (auto it = byPath_.cbegin(); it != byPath_.cend(); ++it) {
            const QString folded = it.key().toCaseFolded();
            const auto known = byFoldedPath_.constFind(folded);
            byFoldedPath_.insert(folded, known == byFoldedPath_.cend() ? it.value() : -1);
        }
    }
    return byFoldedPath_.value(relative.toCaseFolded(), -1);
}

int PlaylistResolver::songFor(const QString& location, const QString& folder, PlaylistProblem* problem) const
{
    const Located located = locate(location, folder);
    switch (located.kind) {
    case Located::Stream:
        *problem = PlaylistProblem::Stream;
        return -1;
    case Located::Outside:
        *problem = PlaylistProblem::Outside;
        return -1;
    case Located::DrivePath: {
        // Another computer's drive: the longest tail of the path that names
        // one song here ("D:\Music\Artist\Album\Song.mp3" finds
        // "Artist/Album/Song.mp3" in a library whose top is a music folder).
        const QStringList levels = located.path.split(u'/', Qt::SkipEmptyParts);
        for (qsizetype from = 0; from < levels.size(); ++from) {
            const QString tail = levels.mid(from).join(u'/');
            int song = exactSong(tail);
            if (song < 0)
                song = foldedSong(tail);
            if (song >= 0)
                return song;
        }
        *problem = PlaylistProblem::Outside;
        return -1;
    }
    case Located::Path:
        break;
    }
    QString relative = relativeToTop(located.path);
    if (relative.isNull()) {
        // Through a link, or the top by another name: where it really is.
        const QFileInfo info(located.path);
        QString real = info.canonicalFilePath();
        if (real.isEmpty()) {
            const QString folderReal = QFileInfo(info.path()).canonicalFilePath();
            if (!folderReal.isEmpty())
                real = path::appendingComponent(folderReal, info.fileName());
        }
        relative = real.isEmpty() ? QString() : relativeToTop(real);
        if (relative.isNull()) {
            *problem = PlaylistProblem::Outside;
            return -1;
        }
    }
    int song = exactSong(relative);
    if (song < 0 && located.windows)
        song = foldedSong(relative);
    if (song >= 0)
        return song;
    *problem = existsAt(root_ + u'/' + relative) ? PlaylistProblem::NotASong : PlaylistProblem::Missing;
    return -1;
}

Playlist PlaylistResolver::resolve(const QString& name, const QString& place, const QStringList& locations) const
{
    Playlist playlist;
    playlist.name = name;
    playlist.place = place;
    const QString folder = path::appendingComponent(root_, path::deletingLastComponent(place));
    playlist.items.reserve(std::size_t(locations.size()));
    for (const QString& location : locations) {
        PlaylistProblem problem = PlaylistProblem::Missing;
        const int song = songFor(location, folder, &problem);
        if (song >= 0)
            playlist.items.push_back(songs_[std::size_t(song)]);
        else
            playlist.unresolved.push_back({location, problem});
    }
    return playlist;
}

} // namespace medialibrary
