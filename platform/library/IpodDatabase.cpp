#include "platform/library/IpodDatabase.h"

#include "platform/foundation/Localization.h"
#include "platform/foundation/PathString.h"
#include "platform/library/IpodReader.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace medialibrary::ipod {

namespace {

constexpr int kFormatVersion = 1;

const char* const kKinds[] = {"song", "podcast", "audiobook", "memo", "video", "book"};
const char* const kPlaylistKinds[] = {"library", "podcasts", "smart", "plain"};
const char* const kFailures[] = {"none", "no-database", "damaged", "unreadable", "timed-out", "no-reader"};

template <typename E, std::size_t N>
QString nameOf(E value, const char* const (&names)[N])
{
    const auto i = static_cast<std::size_t>(value);
    return QString::fromLatin1(i < N ? names[i] : names[0]);
}

template <typename E, std::size_t N>
std::optional<E> valueOf(const QJsonValue& name, const char* const (&names)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        if (name.toString() == QLatin1String(names[i]))
            return static_cast<E>(i);
    return std::nullopt;
}

// Texts keep the difference between absent (null) and empty.
QJsonValue text(const QString& s)
{
    return s.isNull() ? QJsonValue() : QJsonValue(s);
}
QString text(const QJsonValue& v)
{
    return v.isString() ? v.toString() : QString();
}

// 64-bit numbers as decimal text: a JSON number holds only 53 bits exactly.
QJsonValue big(quint64 n)
{
    return QString::number(n);
}
quint64 big(const QJsonValue& v)
{
    return v.toString().toULongLong();
}

QJsonObject trackObject(const Track& t)
{
    return {{"id", qint64(t.id)},         {"dbid", big(t.dbid)},           {"title", text(t.title)},
            {"artist", text(t.artist)},   {"album", text(t.album)},        {"albumArtist", text(t.albumArtist)},
            {"genre", text(t.genre)},     {"fileType", text(t.fileType)},  {"track", t.trackNumber},
            {"tracks", t.trackCount},     {"disc", t.discNumber},          {"discs", t.discCount},
            {"year", t.year},             {"compilation", t.compilation},  {"kind", nameOf(t.kind, kKinds)},
            {"mediaType", qint64(t.mediaType)}, {"protected", t.isProtected}, {"size", t.size},
            {"length", t.lengthMs},       {"ipodPath", t.ipodPath},        {"file", t.filePath}};
}

std::optional<Track> trackFrom(const QJsonObject& o)
{
    const std::optional<MediaKind> kind = valueOf<MediaKind>(o["kind"], kKinds);
    if (!kind || !o["file"].isString())
        return std::nullopt;
    Track t;
    t.id = static_cast<quint32>(o["id"].toInteger());
    t.dbid = big(o["dbid"]);
    t.title = text(o["title"]);
    t.artist = text(o["artist"]);
    t.album = text(o["album"]);
    t.albumArtist = text(o["albumArtist"]);
    t.genre = text(o["genre"]);
    t.fileType = text(o["fileType"]);
    t.trackNumber = o["track"].toInt();
    t.trackCount = o["tracks"].toInt();
    t.discNumber = o["disc"].toInt();
    t.discCount = o["discs"].toInt();
    t.year = o["year"].toInt();
    t.compilation = o["compilation"].toBool();
    t.kind = *kind;
    t.mediaType = static_cast<quint32>(o["mediaType"].toInteger());
    t.isProtected = o["protected"].toBool();
    t.size = o["size"].toInteger();
    t.lengthMs = o["length"].toInteger();
    t.ipodPath = o["ipodPath"].toString();
    t.filePath = o["file"].toString();
    return t;
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
    QFile f(file);
    if (file.isEmpty() || !f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f))
        return std::nullopt;
    Stamp stamp;
    stamp.fileName = QFileInfo(file).fileName();
    stamp.size = f.size();
    stamp.digest = hash.result();
    return stamp;
}

QByteArray serialize(const Database& database)
{
    QJsonArray tracks;
    for (const Track& t : database.tracks)
        tracks.append(trackObject(t));
    QJsonArray playlists;
    for (const Playlist& p : database.playlists) {
        QJsonArray members;
        for (quint32 id : p.trackIds)
            members.append(qint64(id));
        playlists.append(QJsonObject{{"name", text(p.name)}, {"kind", nameOf(p.kind, kPlaylistKinds)},
                                     {"id", big(p.id)}, {"tracks", members}});
    }
    const QJsonObject stamp{{"file", database.stamp.fileName},
                            {"size", database.stamp.size},
                            {"sha256", QString::fromLatin1(database.stamp.digest.toHex())}};
    const QJsonObject root{{"version", kFormatVersion}, {"folder", database.folder}, {"id", big(database.id)},
                           {"model", database.model},   {"stamp", stamp},           {"tracks", tracks},
                           {"playlists", playlists}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

QByteArray serialize(const ReadError& error)
{
    const QJsonObject root{{"version", kFormatVersion},
                           {"error", nameOf(error.failure, kFailures)},
                           {"file", error.file},
                           {"detail", error.detail}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::optional<Database> deserialize(const QByteArray& text, ReadError* error)
{
    const QJsonObject root = QJsonDocument::fromJson(text).object();
    const auto damaged = [&]() -> std::optional<Database> {
        *error = {ReadFailure::Damaged, {}, {}};
        return std::nullopt;
    };
    if (root["version"].toInt() != kFormatVersion)
        return damaged();
    if (root.contains("error")) {
        const std::optional<ReadFailure> failure = valueOf<ReadFailure>(root["error"], kFailures);
        if (!failure || *failure == ReadFailure::None)
            return damaged();
        *error = {*failure, root["file"].toString(), root["detail"].toString()};
        return std::nullopt;
    }
    Database database;
    database.folder = root["folder"].toString();
    database.id = big(root["id"]);
    database.model = root["model"].toString();
    const QJsonObject stamp = root["stamp"].toObject();
    database.stamp.fileName = stamp["file"].toString();
    database.stamp.size = stamp["size"].toInteger();
    database.stamp.digest = QByteArray::fromHex(stamp["sha256"].toString().toLatin1());
    if (database.stamp.digest.size() != 32 || !root["tracks"].isArray() || !root["playlists"].isArray())
        return damaged();
    const QJsonArray tracks = root["tracks"].toArray();
    database.tracks.reserve(static_cast<std::size_t>(tracks.size()));
    for (const QJsonValue& t : tracks) {
        std::optional<Track> track = trackFrom(t.toObject());
        if (!track)
            return damaged();
        database.tracks.push_back(std::move(*track));
    }
    for (const QJsonValue& value : root["playlists"].toArray()) {
        const QJsonObject p = value.toObject();
        const std::optional<Playlist::Kind> kind = valueOf<Playlist::Kind>(p["kind"], kPlaylistKinds);
        if (!kind)
            return damaged();
        Playlist playlist;
        playlist.name = ipod::text(p["name"]);
        playlist.kind = *kind;
        playlist.id = big(p["id"]);
        for (const QJsonValue& id : p["tracks"].toArray())
            playlist.trackIds.push_back(static_cast<quint32>(id.toInteger()));
        database.playlists.push_back(std::move(playlist));
    }
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
        reader.kill();
        reader.waitForFinished(-1);
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
