#include "platform/library/IpodDatabase.h"

#include "platform/foundation/Localization.h"
#include "platform/foundation/PathString.h"
#include "platform/library/IpodReader.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <cstring>
#include <sys/stat.h>

namespace medialibrary::ipod {

namespace {

// What ripwell-read-ipod prints starts with this and its version, and ends
// with the end mark: output cut short is never taken for a database.
constexpr char kMagic[] = "ripwell-read-ipod";
constexpr quint32 kFormatVersion = 1;
constexpr quint32 kEndMark = 0x454e4421; // "END!"
constexpr auto kStreamVersion = QDataStream::Qt_6_4;

QDataStream& operator<<(QDataStream& out, const Track& t)
{
    return out << t.id << t.dbid << t.title << t.artist << t.album << t.albumArtist << t.genre << t.fileType
               << qint32(t.trackNumber) << qint32(t.trackCount) << qint32(t.discNumber) << qint32(t.discCount)
               << qint32(t.year) << t.compilation << quint8(t.kind) << t.mediaType << t.isProtected << t.size
               << t.lengthMs << t.ipodPath << t.filePath;
}

QDataStream& operator>>(QDataStream& in, Track& t)
{
    qint32 trackNumber, trackCount, discNumber, discCount, year;
    quint8 kind;
    in >> t.id >> t.dbid >> t.title >> t.artist >> t.album >> t.albumArtist >> t.genre >> t.fileType >> trackNumber >>
        trackCount >> discNumber >> discCount >> year >> t.compilation >> kind >> t.mediaType >> t.isProtected >>
        t.size >> t.lengthMs >> t.ipodPath >> t.filePath;
    t.trackNumber = trackNumber;
    t.trackCount = trackCount;
    t.discNumber = discNumber;
    t.discCount = discCount;
    t.year = year;
    if (kind > quint8(MediaKind::Book))
        in.setStatus(QDataStream::ReadCorruptData);
    t.kind = MediaKind(kind);
    return in;
}

QDataStream& operator<<(QDataStream& out, const Playlist& p)
{
    out << p.name << quint8(p.kind) << p.id << quint32(p.trackIds.size());
    for (quint32 id : p.trackIds)
        out << id;
    return out;
}

QDataStream& operator>>(QDataStream& in, Playlist& p)
{
    quint8 kind;
    quint32 count;
    in >> p.name >> kind >> p.id >> count;
    if (kind > quint8(Playlist::Kind::Plain))
        in.setStatus(QDataStream::ReadCorruptData);
    p.kind = Playlist::Kind(kind);
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i)
        in >> p.trackIds.emplace_back();
    return in;
}

void begin(QDataStream& out)
{
    out.setVersion(kStreamVersion);
    out.writeRawData(kMagic, sizeof kMagic);
    out << kFormatVersion;
}

} // namespace

QString databaseFile(const QString& folder)
{
    // As libgpod looks: these names exactly (an iPod's FAT disk answers to
    // them in any case), the compressed database first.
    for (const char* name : {"iPod_Control/iTunes/iTunesCDB", "iPod_Control/iTunes/iTunesDB"}) {
        const QString file = path::appendingComponent(folder, QString::fromLatin1(name));
        if (QFileInfo(file).isFile())
            return file;
    }
    return {};
}

std::optional<Stamp> readStamp(const QString& folder)
{
    const QString file = databaseFile(folder);
    struct stat st {};
    if (file.isEmpty() || ::stat(path::native(file).constData(), &st) != 0)
        return std::nullopt;
    return Stamp{path::lastComponent(file), st.st_size, qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

QByteArray serialize(const Database& database)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    begin(out);
    out << quint8(ReadFailure::None) << database.folder << database.stamp.fileName << database.stamp.size
        << database.stamp.modified << database.id << database.model << quint32(database.tracks.size());
    for (const Track& t : database.tracks)
        out << t;
    out << quint32(database.playlists.size());
    for (const Playlist& p : database.playlists)
        out << p;
    out << kEndMark;
    return bytes;
}

QByteArray serialize(const ReadError& error)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    begin(out);
    out << quint8(error.failure) << error.file << error.detail << kEndMark;
    return bytes;
}

std::optional<Database> deserialize(const QByteArray& bytes, ReadError* error)
{
    QDataStream in(bytes);
    in.setVersion(kStreamVersion);
    char magic[sizeof kMagic] = {};
    quint32 version = 0, end = 0;
    quint8 failure = 0;
    in.readRawData(magic, sizeof magic);
    in >> version >> failure;
    const auto whole = [&] {
        in >> end;
        return in.status() == QDataStream::Ok && end == kEndMark && in.atEnd();
    };
    *error = {ReadFailure::Damaged, {}, {}};
    if (std::memcmp(magic, kMagic, sizeof magic) != 0 || version != kFormatVersion ||
        failure > quint8(ReadFailure::NoReader))
        return std::nullopt;
    if (failure != quint8(ReadFailure::None)) {
        ReadError told{ReadFailure(failure), {}, {}};
        in >> told.file >> told.detail;
        if (whole())
            *error = told;
        return std::nullopt;
    }
    Database database;
    quint32 count = 0;
    in >> database.folder >> database.stamp.fileName >> database.stamp.size >> database.stamp.modified >> database.id >>
        database.model >> count;
    // Never more tracks than the bytes can hold: a count read from damaged
    // output must not make a vector of billions.
    database.tracks.reserve(std::min<std::size_t>(count, std::size_t(bytes.size()) / 64));
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i)
        in >> database.tracks.emplace_back();
    in >> count;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i)
        in >> database.playlists.emplace_back();
    if (!whole())
        return std::nullopt;
    *error = {};
    return database;
}

QString describe(const ReadError& error)
{
    switch (error.failure) {
    case ReadFailure::None:
        return {};
    case ReadFailure::NoDatabase:
        return L("%1 holds no iPod database (iPod_Control/iTunes/iTunesDB).").arg(path::displayed(error.file));
    case ReadFailure::Damaged:
        return error.detail.isEmpty()
                   ? L("The iPod's database %1 is damaged and cannot be read.").arg(path::displayed(error.file))
                   : L("The iPod's database %1 is damaged and cannot be read (%2).")
                         .arg(path::displayed(error.file), error.detail);
    case ReadFailure::Unreadable:
        return L("The iPod's database %1 cannot be opened.").arg(path::displayed(error.file));
    case ReadFailure::TimedOut:
        return L("The iPod's database %1 could not be read in the time allowed; it may be damaged.")
            .arg(path::displayed(error.file));
    case ReadFailure::NoReader:
        return L("iPods cannot be read: the program %1 cannot be started (%2).")
            .arg(path::displayed(error.file), error.detail);
    }
    return {};
}

QString readerProgram()
{
    if (const QByteArray set = qgetenv("RIPWELL_READ_IPOD"); !set.isEmpty())
        return path::fromNative(set);
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString installed =
        QDir::cleanPath(QFileInfo(self).absolutePath() + QStringLiteral("/../libexec/ripwell/ripwell-read-ipod"));
    if (QFileInfo(installed).isExecutable())
        return installed;
#ifdef RIPWELL_READ_IPOD_BUILD_PATH
    return QStringLiteral(RIPWELL_READ_IPOD_BUILD_PATH);
#else
    return installed;
#endif
}

ReadResult readDatabase(const QString& folder, std::chrono::milliseconds timeout)
{
    ReadResult result;
    const auto failed = [&result](const ReadError& error) {
        result.failure = error.failure;
        result.error = describe(error);
        return result;
    };
    const QString file = databaseFile(folder);
    if (file.isEmpty())
        return failed({ReadFailure::NoDatabase, folder, {}});

    // The reader's own messages (libgpod's warnings on a damaged database) go
    // nowhere: what matters comes back on its output.
    QProcess reader;
    reader.setProgram(readerProgram());
    reader.setArguments({folder});
    reader.setStandardInputFile(QProcess::nullDevice());
    reader.setStandardErrorFile(QProcess::nullDevice());
    const QDeadlineTimer deadline(timeout);
    reader.start();
    if (!reader.waitForStarted(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1000))))
        return failed({ReadFailure::NoReader, reader.program(), reader.errorString()});
    if (!reader.waitForFinished(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)))) {
        // A reader held up in a read from a disk that went away ends later:
        // the wait is bounded all the same.
        reader.kill();
        reader.waitForFinished(5000);
        return failed({ReadFailure::TimedOut, file, {}});
    }
    if (reader.exitStatus() != QProcess::NormalExit)
        return failed({ReadFailure::Damaged, file, {}});
    ReadError error;
    std::optional<Database> database = deserialize(reader.readAllStandardOutput(), &error);
    if (!database) {
        if (error.file.isEmpty())
            error.file = file;
        return failed(error);
    }
    result.database = std::move(database);
    return result;
}

} // namespace medialibrary::ipod
