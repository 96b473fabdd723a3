// Songs copied off a real iPod disk made with libgpod: by ripwell-cli as a
// user runs it, and by the conversion run when the iPod is unplugged halfway.
#include "Classes/ConversionRun.h"
#include "platform/foundation/PathString.h"
#include "platform/library/AudioFormat.h"
#include "platform/library/IpodLibrary.h"
#include "tests/support/CliProcess.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestSupport.h"
#include "tools/make_ipod/IpodMaker.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>
#include <unistd.h>

using testsupport::TempDir;

namespace {

using Result = testsupport::CliResult;

Result cli(const QStringList& args, const QString& cache)
{
    return testsupport::runCli(args, [&](QProcessEnvironment& env) { env.insert("XDG_CACHE_HOME", cache); });
}

// Everything under `folder`, by its path below it: mode, size, time and bytes.
QStringList snapshot(const QString& folder)
{
    QStringList lines;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir root(folder);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        QString line = QStringLiteral("%1 %2 %3 %4")
                           .arg(root.relativeFilePath(info.filePath()))
                           .arg(int(info.permissions()))
                           .arg(info.size())
                           .arg(info.lastModified().toMSecsSinceEpoch());
        if (info.isFile())
            line += u' ' + QString::fromLatin1(QCryptographicHash::hash(testsupport::readFile(info.filePath()),
                                                                        QCryptographicHash::Sha1)
                                                   .toHex());
        lines << line;
    }
    lines.sort();
    return lines;
}

// Every event under a folder and its subfolders that is more than a read.
class ChangeWatch {
public:
    explicit ChangeWatch(const QString& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        watch(folder);
        QDirIterator it(folder, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            watch(it.next());
    }
    ~ChangeWatch() { ::close(fd_); }
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    // "Music/F12/x.mp3: 8" for each change; `reads` counts the rest.
    QStringList changes(int* reads) const
    {
        QStringList found;
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char* at = buffer; at < buffer + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(at);
                constexpr quint32 readOnly = IN_OPEN | IN_ACCESS | IN_CLOSE_NOWRITE | IN_ISDIR;
                if (e->mask & ~readOnly)
                    found << QStringLiteral("%1/%2: %3").arg(folders_.value(e->wd), QFile::decodeName(e->len ? e->name : ""))
                                 .arg(e->mask, 0, 16);
                else
                    ++*reads;
                at += sizeof(inotify_event) + e->len;
            }
        }
        return found;
    }

private:
    void watch(const QString& folder)
    {
        const int wd = ::inotify_add_watch(fd_, path::native(folder).constData(), IN_ALL_EVENTS);
        EXPECT_GE(wd, 0) << folder.toStdString();
        folders_.insert(wd, QFileInfo(folder).fileName());
    }
    int fd_;
    QHash<int, QString> folders_;
};

QString tag(const TagLib::PropertyMap& tags, const char* key)
{
    return tags.contains(key) ? QString::fromStdString(tags[key].front().to8Bit(true)) : QString();
}

// The standard iPod: one song of every format, untagged or tagged wrongly in
// its file, a podcast, an audiobook, a protected song, a missing file and a video.
struct Ipod {
    TempDir dir;
    ipodmaker::Options options = ipodmaker::standardIpod();
    ipodmaker::Made made;
    QString path() const { return dir.file("iPod"); }
    Ipod() { made = ipodmaker::makeIpod(path(), options); }
    bool isSong(std::size_t i) const
    {
        const ipodmaker::Track& t = options.tracks[i];
        return !t.missing && t.kind != ipodmaker::Kind::Video && t.format != songgen::Format::Protected;
    }
};

} // namespace

// Every song the database lists comes out named and tagged as the database
// says, its audio untouched; the rest is left out and counted by reason; the
// iPod is not written to (inotify sees reads only, the disk is the same byte
// for byte), its index lives in the cache; the same iPod at another place is
// the same library, its songs up to date; documents on the iPod are refused.
TEST(CliIpod, CopiesTheDatabasesSongsAndNeverWritesToTheIpod)
{
    Ipod ipod;
    ASSERT_EQ(ipod.made.error, QString());
    TempDir docs, cache;
    const QStringList before = snapshot(ipod.path());
    int reads = 0;
    QStringList changes;
    Result list, run;
    {
        const ChangeWatch watch(ipod.path());
        list = cli({"--list", "--library", ipod.path(), "--documents", docs.path()}, cache.path());
        run = cli({"--yes", "--library", ipod.path(), "--documents", docs.path()}, cache.path());
        changes = watch.changes(&reads);
    }
    EXPECT_EQ(changes, QStringList()) << "nothing on the iPod is opened for writing, made, moved or touched";
    EXPECT_GT(reads, 20) << "the watch sees the database and the songs read";
    EXPECT_EQ(snapshot(ipod.path()), before);

    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    for (const char* line : {"Kestrel\tNight Drive\tBought in the Store\tprotected\tiPod_Control/Music/F",
                             "Kestrel\tNight Drive\tGone Missing\tfile missing\tiPod_Control/Music/F",
                             "Kestrel\tNight Drive\tLive at the Harbour (Video)\tvideo\tiPod_Control/Music/F",
                             "Mira Okafor\tHarbour Lights\tMP3-VBR Song\tmp3\tiPod_Control/Music/F"})
        EXPECT_TRUE(list.out.contains(QString::fromUtf8(line))) << line << "\n" << list.out.toStdString();
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Converted: 13, up to date: 0, skipped: 3 (protected 1, unreadable 0, unsupported "
                                 "format 0, file missing 1, video 1), failed: 0"))
        << run.out.toStdString();

    int outputs = 0;
    for (std::size_t i = 0; i < ipod.options.tracks.size(); ++i) {
        if (!ipod.isSong(i))
            continue;
        const ipodmaker::Track& want = ipod.options.tracks[i];
        const QString source = ipod.made.tracks[i].filePath;
        const auto format = medialibrary::formatForFileName(source);
        ASSERT_TRUE(format) << source.toStdString();
        const QString output = docs.file(QStringLiteral("%1/%2/%3.%4").arg(want.artist, want.album, want.title,
                                                                          medialibrary::formatInfo(*format).outputExtension));
        SCOPED_TRACE(output.toStdString());
        ASSERT_TRUE(QFileInfo::exists(output));
        ++outputs;
        const TagLib::FileRef file(path::native(output).constData(), false);
        ASSERT_FALSE(file.isNull());
        const TagLib::PropertyMap tags = file.file()->properties();
        EXPECT_EQ(tag(tags, "TITLE"), want.title);
        EXPECT_EQ(tag(tags, "ARTIST"), want.artist);
        EXPECT_EQ(tag(tags, "ALBUM"), want.album);
        EXPECT_EQ(tag(tags, "DATE"), QString::number(want.year));
        EXPECT_EQ(tag(tags, "GENRE"), want.genre);
        EXPECT_EQ(tag(tags, "TRACKNUMBER").section(u'/', 0, 0), want.trackNumber ? QString::number(want.trackNumber) : "");
        EXPECT_EQ(tag(tags, "ALBUMARTIST"), want.albumArtist);
        EXPECT_EQ(tag(tags, "DISCNUMBER").section(u'/', 0, 0), want.discNumber ? QString::number(want.discNumber) : "");
        // Read by libavformat as well, which players use; the samples are the song's own.
        const mediaprobe::Probe in = mediaprobe::probe(source), out = mediaprobe::probe(output);
        EXPECT_EQ(out.title, want.title);
        EXPECT_EQ(out.artist, want.artist);
        EXPECT_EQ(out.album, want.album);
        EXPECT_FALSE(out.packets.empty());
        EXPECT_EQ(out.audio(), in.audio());
    }
    EXPECT_EQ(outputs, 13);
    const QStringList indexes = QDir(cache.file("ripwell")).entryList(QDir::Files);
    EXPECT_EQ(indexes.size(), 1) << indexes.join(", ").toStdString();

    // The same iPod mounted elsewhere, and read there from its index: nothing
    // is converted again, nothing doubled.
    const QStringList outputsBefore = snapshot(docs.path());
    const QString elsewhere = ipod.dir.file("IPOD 1");
    ASSERT_TRUE(QDir().rename(ipod.path(), elsewhere));
    for (int round = 0; round < 2; ++round) {
        const Result again = cli({"--yes", "--library", elsewhere, "--documents", docs.path()}, cache.path());
        EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
        EXPECT_TRUE(again.out.contains("Converted: 0, up to date: 13, skipped: 3")) << again.out.toStdString();
    }
    QStringList outputsAfter = snapshot(docs.path());
    outputsAfter.removeIf([](const QString& l) { return l.startsWith(".ripwell"); });
    QStringList expected = outputsBefore;
    expected.removeIf([](const QString& l) { return l.startsWith(".ripwell"); });
    EXPECT_EQ(outputsAfter, expected);

    // A playlist of its database, in the database's order and with its
    // lengths; the song whose file is missing left out.
    const Result withList =
        cli({"--yes", "--library", elsewhere, "--documents", docs.path(), "--playlist", "Road Trip"}, cache.path());
    EXPECT_TRUE(withList.out.contains("Playlists written: 1")) << withList.out.toStdString();
    QFile m3u(docs.file("Playlists/Road Trip.m3u8"));
    ASSERT_TRUE(m3u.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(m3u.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QStringList listed, wanted;
    for (qsizetype i = 1; i + 1 < lines.size(); i += 2) {
        EXPECT_TRUE(lines[i].startsWith("#EXTINF:2,")) << lines[i].toStdString();
        EXPECT_TRUE(QFileInfo::exists(docs.file("Playlists/" + lines[i + 1]))) << lines[i + 1].toStdString();
        listed << QFileInfo(lines[i + 1]).completeBaseName();
    }
    for (const int i : ipod.options.playlists.front().tracks)
        if (ipod.isSong(std::size_t(i)))
            wanted << ipod.options.tracks[std::size_t(i)].title;
    EXPECT_EQ(listed, wanted);

    // Documents on the iPod itself are refused before anything is written.
    const Result onIpod = cli({"--yes", "--library", elsewhere, "--documents", elsewhere + "/Ripwell"}, cache.path());
    EXPECT_EQ(onIpod.exitCode, 2);
    EXPECT_TRUE(onIpod.err.contains("nothing is ever written to an iPod")) << onIpod.err.toStdString();
    EXPECT_EQ(snapshot(elsewhere), before);
}

namespace {

// Unplugs the iPod (takes its folder away) when the first song has ended.
struct Unplugging : ConversionDisplay {
    QString ipod, away;
    QStringList outcomes;
    void itemEnded(std::uint32_t index, const ItemOutcome& outcome) override
    {
        if (index == 0) {
            EXPECT_TRUE(QDir().rename(ipod, away));
        }
        outcomes << (outcome.result == ItemResult::Converted ? QStringLiteral("converted") : outcome.error->plainWords());
    }
};

} // namespace

// An iPod unplugged during a run: the songs still to come fail, each saying
// that the iPod is gone, in error.log too; what was written stays.
TEST(IpodRun, AnIpodUnpluggedHalfwayFailsTheRestSayingSoAndKeepsWhatIsWritten)
{
    const testsupport::LogCapture quiet;
    Ipod ipod;
    ASSERT_EQ(ipod.made.error, QString());
    TempDir docs, cache;
    const auto opened = medialibrary::IpodLibrary::open(ipod.path(), cache.file("index.sqlite"));
    ASSERT_TRUE(opened.library) << opened.error.toStdString();
    SelectionMap songs;
    for (const medialibrary::MediaItem& item : opened.library->items())
        if (item.leftOutReason() == medialibrary::LeftOutReason::None && songs.allKeys().size() < 4)
            songs.setObject(item, item.assetURL());
    ASSERT_EQ(songs.allKeys().size(), 4);

    qputenv("RIPWELL_DOCUMENTS", docs.path().toUtf8());
    Unplugging display;
    display.ipod = ipod.path();
    display.away = ipod.dir.file("unplugged");
    ConversionRun run(opened.library, &display);
    run.exportMedia(songs);
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return run.isFinished(); }, 60000));
    qunsetenv("RIPWELL_DOCUMENTS");

    const QString gone = QStringLiteral("the iPod or disk that holds the music library is no longer there");
    EXPECT_EQ(display.outcomes, (QStringList{"converted", gone, gone, gone}));
    const medialibrary::MediaItem first = songs.objectForKey(songs.allKeys().front());
    EXPECT_GT(QFileInfo(docs.file(first.artist() + u'/' + first.albumTitle() + u'/' + first.title() + u'.' +
                                  first.assetURL().pathExtension()))
                  .size(),
              1000);
    const QString log = QString::fromUtf8(testsupport::readFile(docs.file("error.log")));
    EXPECT_EQ(log.count(gone), 3) << log.toStdString();
}
