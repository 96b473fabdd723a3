#include "Classes/ConversionRun.h"
#include "Classes/OutputNaming.h"
#include "platform/library/MediaLibrary.h"
#include "tests/support/GeneratedLibrary.h"
#include "platform/export/ExportService.h"
#include "platform/foundation/DocumentsLock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/TemporaryFiles.h"
#include "platform/foundation/Timing.h"
#include "tests/support/TestSupport.h"
#include "tools/make_library/SongGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <future>
#include <map>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <future>
#include <mutex>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

using medialibrary::MediaItem;
using testsupport::LogCapture;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

// Records the display points in the order they come.
struct Recorder : ConversionDisplay {
    QStringList events;
    std::vector<float> fractions;
    ConversionRun* run = nullptr;
    void runStarted() override { events << "started"; }
    void runRefused(const QString& reason) override { events << "refused: " + reason; }
    void progress(float p) override
    {
        fractions.push_back(p);
        EXPECT_GE(p, 0.0f);
        EXPECT_LE(p, 1.0f);
    }
    void itemEnded(std::uint32_t i, const ItemOutcome& outcome) override
    {
        events << QStringLiteral("item %1 %2").arg(i).arg(outcome.result == ItemResult::Converted ? "ok" : "failed");
        reasons << outcome.reason();
    }
    QStringList reasons; // each item's outcome.reason()
    void runEnded(std::uint32_t failed) override
    {
        events << QStringLiteral("ended %1").arg(failed);
        errorLogAtEnd = readFile(errorLog);
    }
    void completionOffered(std::uint32_t failed) override
    {
        events << QStringLiteral("offered %1").arg(failed);
        errorLogAtOffer = readFile(errorLog);
        if (run)
            errorLogErrorAtOffer = run->errorLogError();
    }
    QString errorLog;
    QByteArray errorLogAtEnd, errorLogAtOffer; // error.log as each of the two end points found it
    QString errorLogErrorAtOffer;
};

// The names of this system's temporary files under `root`, at any depth.
QStringList temporariesUnder(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (tempfiles::isTemporaryName(it.fileName()))
            found << it.fileName();
    }
    return found;
}

class Run : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        library = new TempDir;
        const std::pair<songgen::Format, const char*> songs[] = {
            {songgen::Format::Mp3Cbr, "Morning Tide.mp3"}, {songgen::Format::Aac, "Copper Sky.m4a"},
            {songgen::Format::WavId3, "Slow Train.wav"},   {songgen::Format::Aiff, "Northern Lights.aif"},
        };
        unsigned seed = 1;
        for (const auto& [format, name] : songs) {
            songgen::Song s{library->file(name), format, "Artist", "Album", QString(name).section('.', 0, 0), 1, false};
            QString error;
            ASSERT_TRUE(songgen::writeSong(s, seed++, 0.6, 128000, &error)) << error.toStdString();
        }
        // Songs of their own with the same sound: one song is one file.
        for (const char* copy : {"Copper Sky 2.m4a", "Copper Sky 3.m4a", "Copper Sky 4.m4a"})
            ASSERT_TRUE(QFile::copy(library->file("Copper Sky.m4a"), library->file(copy)));
        ASSERT_TRUE(QFile::copy(library->file("Morning Tide.mp3"), library->file("Morning Tide 2.mp3")));
        testsupport::writeFile(library->file("Not Audio.mp3"), "just text\n");
        testsupport::writeFile(library->file("Empty.m4a"), "");
        // An MP3 cut inside a frame, as an interrupted download leaves one.
        const QByteArray whole = readFile(library->file("Morning Tide.mp3"));
        testsupport::writeFile(library->file("Cut.mp3"), whole.left(whole.size() * 3 / 5 + 7));
    }
    static void TearDownTestSuite() { delete library; }

    void SetUp() override
    {
        timing::setScale(0.05);
        qputenv("RIPWELL_DOCUMENTS", docs.path().toUtf8());
        recorder.errorLog = docs.file("error.log");
        recorder.run = &run;
    }
    void TearDown() override
    {
        timing::setScale(1.0);
        qunsetenv("RIPWELL_DOCUMENTS");
    }

    // An item for a file of the fixture library, with its asset URL the file's URL.
    static MediaItem item(const QString& file, const QString& title, const QString& artist = "Artist",
                          const QString& album = "Album")
    {
        MediaItem::Data d;
        d.persistentID = qHash(file + title + artist + album);
        d.filePath = library->file(file);
        d.title = title;
        d.artist = artist;
        d.albumTitle = album;
        d.isReadable = true;
        d.assetURL = Url::fileURLWithPath(library->file(file));
        return MediaItem(d);
    }

    // Runs the map to its end; the item keys are made distinct by a query.
    void convert(const std::vector<MediaItem>& items)
    {
        SelectionMap map;
        int n = 0;
        for (const MediaItem& i : items) {
            QUrl key = i.assetURL().qurl();
            key.setQuery(QStringLiteral("n=%1").arg(n++));
            map.setObject(i, Url(key));
        }
        run.exportMedia(map);
        ASSERT_TRUE(testsupport::processEventsUntil([&] { return run.isFinished(); }, 60000));
    }

    static TempDir* library;
    TempDir docs;
    LogCapture log;
    Recorder recorder;
    ConversionRun run{nullptr, &recorder}; // its songs come as file URLs
};
TempDir* Run::library = nullptr;

// The names of the files in `folder` that were opened for writing and closed
// again since the watch began.
class WriteWatch {
public:
    explicit WriteWatch(const QString& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_GE(::inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_CLOSE_WRITE), 0);
    }
    ~WriteWatch() { ::close(fd_); }
    WriteWatch(const WriteWatch&) = delete;
    WriteWatch& operator=(const WriteWatch&) = delete;
    QStringList written() const
    {
        QStringList names;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char* at = buffer; at < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                names << QFile::decodeName(event->len ? event->name : "");
                at += sizeof(inotify_event) + event->len;
            }
        }
        return names;
    }

private:
    int fd_;
};

TEST_F(Run, FourItemsAllConverted)
{
    testsupport::writeFile(docs.file("error.log"), "from an earlier run\n");
    const WriteWatch songs(library->path());
    convert({item("Morning Tide.mp3", "Morning Tide"), item("Copper Sky.m4a", "Copper Sky"),
             item("Slow Train.wav", "Slow Train"), item("Northern Lights.aif", "Northern Lights")});
    EXPECT_EQ(songs.written(), QStringList()) << "the library's songs are opened for reading only";
    EXPECT_EQ(recorder.events, (QStringList{"started", "item 0 ok", "item 1 ok", "item 2 ok", "item 3 ok", "ended 0", "offered 0"}));
    EXPECT_EQ(run.failedItemCount(), 0u);
    EXPECT_EQ(run.currentItemIndex(), 4u);
    for (const char* f : {"Morning Tide.mp3", "Copper Sky.m4a", "Slow Train.wav", "Northern Lights.aif"})
        EXPECT_GT(QFileInfo(docs.file(QStringLiteral("Artist/Album/") + f)).size(), 1000) << f;
    EXPECT_EQ(run.currentItemURL().path(), docs.file("Artist/Album/Northern Lights.aif"));
    EXPECT_EQ(readFile(docs.file("error.log")), "from an earlier run\n") << "a run without failures leaves error.log alone";
    EXPECT_TRUE(log.contains(QStringLiteral("[DEBUG] [conversionLoop] Converting <%1?n=0> to <%2>")
                                 .arg(Url::fileURLWithPath(library->file("Morning Tide.mp3")).absoluteString(),
                                      Url::fileURLWithPath(docs.file("Artist/Album/Morning Tide.mp3")).absoluteString())));
    EXPECT_FALSE(QFile::exists(docs.file("Artist/Album/Morning Tide.mov"))) << "no temporary movie left";
}

TEST_F(Run, FailedItemsAreRecordedRemovedAndListedInOrder)
{
    testsupport::writeFile(docs.file("error.log"), "a much longer text from an earlier run that must not survive\n");
    // Items 2 and 4 of five fail, two songs of one title by two artists: one
    // is no audio at all, the other is cut short.
    const QString title = QString::fromUtf8("Ærger über Café");
    convert({item("Morning Tide.mp3", "Morning Tide"), item("Not Audio.mp3", title),
             item("Copper Sky.m4a", "Copper Sky"), item("Cut.mp3", title, QString::fromUtf8("Zoë")),
             item("Slow Train.wav", "Slow Train")});
    EXPECT_EQ(recorder.events, (QStringList{"started", "item 0 ok", "item 1 failed", "item 2 ok", "item 3 failed",
                                            "item 4 ok", "ended 2", "offered 2"}));
    EXPECT_TRUE(recorder.errorLogAtEnd.startsWith("a much")) << "written after the run ended…";
    EXPECT_EQ(recorder.errorLogAtOffer, readFile(docs.file("error.log"))) << "…and before completion is offered";
    EXPECT_EQ(run.failedItemCount(), 2u);
    ASSERT_EQ(run.failedMediaItems().size(), 2u);
    EXPECT_EQ(run.failedMediaItems()[0].artist(), "Artist");
    EXPECT_EQ(run.failedMediaItems()[1].artist(), QString::fromUtf8("Zoë"));
    // A line a song, in UTF-8: who, what, and why in plain words.
    EXPECT_EQ(QString::fromUtf8(testsupport::errorLogEntries(docs.file("error.log"))),
              QString::fromUtf8("Artist, Ærger über Café: the song's file is no longer MP3, nor any audio Ripwell knows\n"
                                "Zoë, Ærger über Café: the song's file ends before its audio does\n"));
    EXPECT_FALSE(QFile::exists(docs.file(QString::fromUtf8("Artist/Album/Ærger über Café.mp3"))));
    EXPECT_FALSE(QFileInfo::exists(docs.file(QString::fromUtf8("Zoë"))));
    EXPECT_TRUE(QFile::exists(docs.file("Artist/Album/Slow Train.wav")));
    EXPECT_TRUE(log.contains(QString::fromUtf8("[ERROR] [conversionLoop] Import has failed: Ærger über Café")));
}

// Two libraries live in one process: each run converts its own library's
// songs, though both libraries hand out the same asset URLs (the same names in
// two folders), and a run handed no library converts none of them.
TEST_F(Run, TwoLibrariesInOneProcessConvertEachItsOwnSongs)
{
    songgen::Options options;
    options.formats = {songgen::Format::Flac, songgen::Format::WavPack};
    options.seconds = 0.3;
    const testsupport::GeneratedLibrary first(options);
    options.seconds = 0.5; // the same names and tags, another sound
    const testsupport::GeneratedLibrary second(options);
    ASSERT_TRUE(first.error().isEmpty() && second.error().isEmpty());
    const auto selectionOf = [](const medialibrary::MediaLibrary& library) {
        SelectionMap map;
        for (const MediaItem& item : library.items())
            map.setObject(item, item.assetURL());
        return map;
    };
    const auto firstLibrary = medialibrary::MediaLibrary::scan(first.path());
    const auto secondLibrary = medialibrary::MediaLibrary::scan(second.path());
    ASSERT_EQ(selectionOf(*firstLibrary).allKeys(), selectionOf(*secondLibrary).allKeys());
    ASSERT_EQ(selectionOf(*firstLibrary).count(), 2);

    TempDir firstDocs, secondDocs, noDocs;
    ConversionRun a(firstLibrary), b(secondLibrary), none(nullptr);
    a.setDocumentsDirectory(firstDocs.path());
    b.setDocumentsDirectory(secondDocs.path());
    none.setDocumentsDirectory(noDocs.path());
    a.exportMedia(selectionOf(*firstLibrary)); // all three under way at once
    b.exportMedia(selectionOf(*secondLibrary));
    none.exportMedia(selectionOf(*firstLibrary));
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return a.isFinished() && b.isFinished() && none.isFinished(); },
                                                60000));
    EXPECT_EQ(a.failedItemCount() + b.failedItemCount(), 0u);
    for (const auto& [library, docs] : {std::pair{firstLibrary, &firstDocs}, std::pair{secondLibrary, &secondDocs}})
        for (const MediaItem& item : library->items()) {
            const QString output = docs->file(outputRelativePathOf(item, item.assetURL().pathExtension()));
            EXPECT_TRUE(readFile(output) == readFile(item.filePath())) << output.toStdString() << ": not its own song";
        }
    EXPECT_EQ(none.failedItemCount(), 2u);
    EXPECT_EQ(QString::fromUtf8(testsupport::errorLogEntries(noDocs.file("error.log"))),
              "The Lanterns, Morning Tide: the song is no longer in the music library\n"
              "The Lanterns, Why? (Live): the song is no longer in the music library\n");
}

// A failed song takes the artist and album folders made for it alone with it;
// folders that were there before, or that hold anything, stay.
TEST_F(Run, AFailedItemLeavesNoEmptyFoldersOfItsOwn)
{
    ASSERT_TRUE(QDir().mkpath(docs.file("Kept/Empty Album")));
    convert({item("Not Audio.mp3", "Broken One", "Broken", "Broken"),
             item("Empty.m4a", "Broken Two", "Kept", "Empty Album"),
             item("Morning Tide.mp3", "Morning Tide", "Shared", "Album"),
             item("Not Audio.mp3", "Broken Three", "Shared", "Other")});
    EXPECT_EQ(run.failedItemCount(), 3u);
    EXPECT_FALSE(QFileInfo::exists(docs.file("Broken"))) << "artist and album folders of a failed song";
    EXPECT_TRUE(QFileInfo(docs.file("Kept/Empty Album")).isDir()) << "an empty folder the user had stays";
    EXPECT_TRUE(QFile::exists(docs.file("Shared/Album/Morning Tide.mp3")));
    EXPECT_FALSE(QFileInfo::exists(docs.file("Shared/Other")));
    EXPECT_TRUE(QFileInfo(docs.file("Shared")).isDir()) << "a folder that holds a converted song stays";
}

// Whatever of the user's stands at a song's name stays, and the song takes
// the next free name.
TEST_F(Run, AFolderAtTheNameStaysAndTheSongTakesTheNextName)
{
    ASSERT_TRUE(QDir().mkpath(docs.file("Artist/Album/Morning Tide.mp3")));
    testsupport::writeFile(docs.file("Artist/Album/Morning Tide.mp3/keep.txt"), "mine");
    convert({item("Morning Tide.mp3", "Morning Tide")});
    EXPECT_EQ(recorder.events, (QStringList{"started", "item 0 ok", "ended 0", "offered 0"}));
    EXPECT_EQ(readFile(docs.file("Artist/Album/Morning Tide.mp3/keep.txt")), "mine") << "the user's folder survives";
    EXPECT_GT(QFileInfo(docs.file("Artist/Album/Morning Tide (2).mp3")).size(), 1000);
    EXPECT_EQ(temporariesUnder(docs.path()), QStringList());
}

// The format is the file's, not the listing's: a song whose file became
// another format's since it was listed fails, and says so; the next converts.
TEST_F(Run, ASongWhoseFileChangedFormatFailsWithTheReason)
{
    TempDir elsewhere;
    ASSERT_TRUE(QFile::copy(library->file("Morning Tide.mp3"), elsewhere.file("Swapped.flac")));
    MediaItem::Data d;
    d.persistentID = 77;
    d.filePath = elsewhere.file("Swapped.flac");
    d.title = "Swapped";
    d.isReadable = true;
    d.assetURL = Url::fileURLWithPath(d.filePath);
    convert({MediaItem(d), item("Slow Train.wav", "Slow Train")});
    EXPECT_EQ(recorder.events, (QStringList{"started", "item 0 failed", "item 1 ok", "ended 1", "offered 1"}));
    EXPECT_EQ(recorder.reasons.value(0), "open: the song's file is no longer FLAC but MP3");
    EXPECT_FALSE(QFile::exists(docs.file("Swapped.flac")));
    EXPECT_EQ(temporariesUnder(docs.path()), QStringList());
}

TEST_F(Run, AFailedItemKeepsTheEarlierCopy)
{
    // The earlier run's good copy is at the output name; this run's export fails.
    ASSERT_TRUE(QDir().mkpath(docs.file("Artist/Album")));
    testsupport::writeFile(docs.file("Artist/Album/Tide.m4a"), "the earlier good copy");
    testsupport::writeFile(docs.file("Artist/Album/Tide.mp3"), "the earlier good MP3");
    convert({item("Empty.m4a", "Tide"), item("Not Audio.mp3", "Tide")});
    EXPECT_EQ(run.failedItemCount(), 2u);
    EXPECT_EQ(readFile(docs.file("Artist/Album/Tide.m4a")), "the earlier good copy");
    EXPECT_EQ(readFile(docs.file("Artist/Album/Tide.mp3")), "the earlier good MP3");
    EXPECT_FALSE(log.contains("Removed failed media file"));
    EXPECT_EQ(temporariesUnder(docs.path()), QStringList());
}

TEST_F(Run, LongDuplicateTitlesBothConvert)
{
    // 270 bytes: cut to fit, and the second still fits with " (2)".
    const QString title = QString(270, u'x');
    convert({item("Copper Sky.m4a", title), item("Copper Sky 2.m4a", title), item("Morning Tide.mp3", QString(300, u'y')),
             item("Morning Tide 2.mp3", QString(300, u'y'))});
    EXPECT_EQ(run.failedItemCount(), 0u);
    const QStringList files = QDir(docs.file("Artist/Album")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 4);
    for (const QString& f : files)
        EXPECT_LE(f.toUtf8().size(), 255) << f.toStdString();
    EXPECT_EQ(files.filter(QRegularExpression("^x{247} \\(2\\)\\.m4a$")).size(), 1);
    EXPECT_EQ(files.filter(QRegularExpression("^x{251}\\.m4a$")).size(), 1);
    EXPECT_EQ(files.filter(QRegularExpression("^y{247} \\(2\\)\\.mp3$")).size(), 1);
}

TEST_F(Run, AnErrorLogThatCannotBeWrittenIsReported)
{
    // A folder named error.log: the file cannot take its place.
    ASSERT_TRUE(QDir().mkpath(docs.file("error.log")));
    convert({item("Empty.m4a", "Empty Song")});
    EXPECT_EQ(run.failedItemCount(), 1u);
    EXPECT_TRUE(recorder.errorLogErrorAtOffer.startsWith("error.log could not be written: "))
        << recorder.errorLogErrorAtOffer.toStdString();
    EXPECT_TRUE(QFileInfo(docs.file("error.log")).isDir());
    EXPECT_EQ(temporariesUnder(docs.path()), QStringList());
    EXPECT_TRUE(log.contains("[ERROR] [conversionLoop] " + recorder.errorLogErrorAtOffer));

    // Written, the error is empty.
    ConversionRun second(nullptr, &recorder);
    recorder.run = &second;
    ASSERT_TRUE(QDir(docs.file("error.log")).removeRecursively());
    SelectionMap map;
    const MediaItem i = item("Empty.m4a", "Empty Song");
    map.setObject(i, i.assetURL());
    second.exportMedia(map);
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return second.isFinished(); }, 60000));
    EXPECT_EQ(recorder.errorLogErrorAtOffer, QString());
    EXPECT_EQ(testsupport::errorLogEntries(docs.file("error.log")),
              "Artist, Empty Song: the song's file is no longer M4A, nor any audio Ripwell knows\n");
}

TEST_F(Run, AFolderHeldByAnotherProcessRefusesTheRun)
{
    // Another process holds the documents folder's lock.
    QProcess holder;
    holder.start("flock", {docs.file(DocumentsLock::lockFileName()), "cat"});
    ASSERT_TRUE(holder.waitForStarted());
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return !DocumentsLock::tryAcquire(docs.path()); }));
    SelectionMap map;
    const MediaItem i = item("Copper Sky.m4a", "Copper Sky");
    map.setObject(i, i.assetURL());
    run.exportMedia(map);
    EXPECT_TRUE(run.isFinished());
    EXPECT_TRUE(run.wasRefused());
    ASSERT_EQ(recorder.events.size(), 1);
    EXPECT_TRUE(recorder.events[0].startsWith("refused: The documents folder is in use by another conversion"))
        << recorder.events[0].toStdString();
    testsupport::processEventsUntil([] { return false; }, 200);
    EXPECT_EQ(recorder.events.size(), 1) << "nothing after the refusal";
    EXPECT_FALSE(QFile::exists(docs.file("Artist/Album/Copper Sky.m4a")));
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished());

    // Free again: a new run goes ahead, and holds the folder while it runs.
    ConversionRun second(nullptr, &recorder);
    second.exportMedia(map);
    QString holderName;
    EXPECT_EQ(QProcess::execute("flock", {"-n", docs.file(DocumentsLock::lockFileName()), "true"}), 1)
        << "held by the run";
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return second.isFinished(); }, 60000));
    EXPECT_EQ(QProcess::execute("flock", {"-n", docs.file(DocumentsLock::lockFileName()), "true"}), 0)
        << "let go at the end";
    EXPECT_TRUE(QFile::exists(docs.file("Artist/Album/Copper Sky.m4a")));
}

TEST_F(Run, LeftoversOfAKilledRunGoAtTheStart)
{
    // Names of the older form carry a process id; which process does not
    // matter: the lock says whose temporaries are in use. (No QProcess here:
    // its pipes, opened and closed inside Qt where ThreadSanitizer cannot see,
    // leave it taking the run's record file for one of them.)
    const qint64 deadPid = 4194305;
    ASSERT_TRUE(QDir().mkpath(docs.file("Other/Album")));
    const QString stale = docs.file(QStringLiteral("Other/Album/.ripwell-tmp-%1-7.mov").arg(deadPid));
    const QString staleTop = docs.file(QStringLiteral(".ripwell-tmp-%1-8.log").arg(deadPid));
    const QString users = docs.file("Other/Album/ripwell-tmp-1-1.mp3"); // not ours: no leading dot
    const QString live = tempfiles::temporaryPath(docs.file("Other/Album"), "wav"); // this process's
    for (const QString& f : {stale, staleTop, users, live})
        testsupport::writeFile(f, "x");
    // The killed run had claimed a song's name in that folder.
    testsupport::writeFile(docs.file(".ripwell-record"),
                           "ripwell-record 1\nOther/Album/Song.m4a\t/music/Song.m4a\t1\t1\t-\t-\n");
    convert({item("Copper Sky.m4a", "Copper Sky")});
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_FALSE(QFile::exists(staleTop));
    EXPECT_TRUE(QFile::exists(users));
    EXPECT_TRUE(QFile::exists(live)) << "a running process's temporary stays";
}

TEST_F(Run, CancelStopsAfterTheItemUnderWay)
{
    SelectionMap map;
    int n = 0;
    for (const char* f : {"Slow Train.wav", "Morning Tide.mp3", "Copper Sky.m4a"}) {
        const MediaItem i = item(f, QString(f).section('.', 0, 0));
        QUrl key = i.assetURL().qurl();
        key.setQuery(QStringLiteral("n=%1").arg(n++));
        map.setObject(i, Url(key));
    }
    run.exportMedia(map);
    run.cancel();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return run.isFinished(); }, 60000));
    EXPECT_TRUE(run.wasCancelled());
    EXPECT_EQ(run.failedItemCount(), 0u) << "a cancelled song is not a failed one";
    EXPECT_EQ(recorder.events.last(), "offered 0");
    EXPECT_FALSE(QFile::exists(docs.file("Artist/Album/Morning Tide.mp3")));
    EXPECT_FALSE(QFile::exists(docs.file("Artist/Album/Copper Sky.m4a")));
    EXPECT_EQ(temporariesUnder(docs.path()), QStringList());
}

// The window app converts what is picked, every time: a song picked again
// after its library moved goes into its own file, not beside it.
TEST_F(Run, ASongPickedAgainAfterTheLibraryMovedKeepsItsFile)
{
    TempDir home;
    ASSERT_TRUE(QDir().mkpath(home.file("Music/x")));
    ASSERT_TRUE(QFile::copy(library->file("Copper Sky.m4a"), home.file("Music/x/Copper Sky.m4a")));
    // The library's own songs, with their asset URLs, as the picker hands them over.
    const auto pickAll = [](const medialibrary::MediaLibrary& lib) {
        SelectionMap map;
        for (const MediaItem& i : lib.items())
            map.setObject(i, i.assetURL());
        return map;
    };
    for (const char* folder : {"Music", "Moved"}) {
        SCOPED_TRACE(folder);
        if (QByteArray(folder) == "Moved") {
            ASSERT_TRUE(QDir().rename(home.file("Music"), home.file("Moved")));
        }
        const auto lib = medialibrary::MediaLibrary::scan(home.file(folder));
        ConversionRun picked(lib, &recorder);
        recorder.run = &picked;
        picked.exportMedia(pickAll(*lib));
        ASSERT_TRUE(testsupport::processEventsUntil([&] { return picked.isFinished(); }, 60000));
        EXPECT_EQ(picked.failedItemCount(), 0u);
        QStringList files;
        for (QDirIterator it(docs.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            files << QDir(docs.path()).relativeFilePath(it.next());
        EXPECT_EQ(files.size(), 1) << files.join(' ').toStdString() << ": one file for the song, the same each time";
        EXPECT_TRUE(files.value(0).endsWith("/Copper Sky.m4a")) << files.join(' ').toStdString();
    }
}

TEST_F(Run, SameOutputNameWithinOneRunIsNumbered)
{
    // A file the run did not make is kept, and every song gets a name of its own.
    ASSERT_TRUE(QDir().mkpath(docs.file("Artist/Album")));
    testsupport::writeFile(docs.file("Artist/Album/Same.m4a"), "old");
    convert({item("Copper Sky.m4a", "Same"), item("Copper Sky 2.m4a", "Same"), item("Copper Sky 3.m4a", "Same"),
             item("Copper Sky 4.m4a", "Same (2)")});
    EXPECT_EQ(run.failedItemCount(), 0u);
    const QStringList files = QDir(docs.file("Artist/Album")).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{"Same (2) (2).m4a", "Same (2).m4a", "Same (3).m4a", "Same (4).m4a", "Same.m4a"}));
    EXPECT_EQ(readFile(docs.file("Artist/Album/Same.m4a")), "old");
}

TEST_F(Run, LogLinesHandedToTheMainThreadArriveWholeAndInOrder)
{
    // A display that, like the command line's, draws log lines on the main
    // thread only: lines of the export service's thread are handed over.
    struct Shown {
        QString line;
        bool onMainThread;
    };
    std::vector<Shown> shown;
    std::mutex mutex;
    QStringList handedOver; // the export thread's lines, in the order written
    const QThread* mainThread = QThread::currentThread();
    applog::setSink([&](const applog::Entry& entry) {
        if (QThread::currentThread() == mainThread)
            return;
        const QString line = entry.line();
        {
            std::lock_guard lock(mutex);
            handedOver << line;
        }
        timing::onMainThread(nullptr, [&shown, mainThread, line] {
            shown.push_back({line, QThread::currentThread() == mainThread});
        });
    });
    convert({item("Not Audio.mp3", "One"), item("Empty.m4a", "Two"), item("Copper Sky.m4a", "Three"),
             item("Not Audio.mp3", "Four")});
    exportservice::drain();
    const auto count = [&] {
        std::lock_guard lock(mutex);
        return std::size_t(handedOver.size());
    };
    testsupport::processEventsUntil([&] { return shown.size() == count(); });
    applog::setSink(nullptr);

    EXPECT_GE(handedOver.size(), 2);
    QStringList arrived;
    for (const Shown& s : shown) {
        EXPECT_TRUE(s.onMainThread) << s.line.toStdString();
        arrived << s.line;
    }
    EXPECT_EQ(arrived, handedOver) << "every line, whole, in the order written";
}

TEST_F(Run, EmptySelectionEndsAtOnce)
{
    run.exportMedia(SelectionMap());
    EXPECT_TRUE(run.isFinished());
    EXPECT_EQ(recorder.events, (QStringList{"started", "ended 0", "offered 0"}));
    EXPECT_FALSE(QFile::exists(docs.file("error.log")));
}

TEST_F(Run, TenThousandInstantFailuresFinish)
{
    // Asset URLs that resolve to nothing fail before any export starts; each
    // next item still starts from the main loop, never on the last one's stack.
    SelectionMap map;
    const int n = 10000;
    for (int i = 0; i < n; ++i) {
        MediaItem::Data d;
        d.persistentID = quint64(i) + 1;
        d.title = QStringLiteral("Gone");
        d.assetURL = Url::fromString(QStringLiteral("library://item/item.mp3?id=%1").arg(i));
        map.setObject(MediaItem(d), d.assetURL);
    }
    run.exportMedia(map);
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return run.isFinished(); }, 120000));
    EXPECT_EQ(run.failedItemCount(), quint32(n));
    EXPECT_EQ(recorder.events.last(), QStringLiteral("offered %1").arg(n));
    EXPECT_EQ(testsupport::errorLogEntries(docs.file("error.log")).count('\n'), n);
}

TEST_F(Run, DestroyingTheRunMidwayIsSafe)
{
    Recorder late;
    {
        ConversionRun shortLived(nullptr, &late);
        SelectionMap map;
        const MediaItem i = item("Slow Train.wav", "Slow Train");
        map.setObject(i, i.assetURL());
        shortLived.exportMedia(map);
        ASSERT_FALSE(shortLived.isFinished());
    } // gone while its import runs: its completion must find nothing to call
    // The import's handler runs on the export service, then hands over to the
    // main thread: wait for both.
    exportservice::drain();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(late.events, QStringList{"started"});
    EXPECT_EQ(temporariesUnder(docs.path()), QStringList());

    // The documents folder is free again for the next run.
    convert({item("Northern Lights.aif", "Northern Lights")});
    EXPECT_EQ(recorder.events.last(), "offered 0");
    EXPECT_TRUE(QFile::exists(docs.file("Artist/Album/Northern Lights.aif")));
}

// The progress tick: while an item exports, progress and then the current
// item; a completed item shows 1.0 and nothing more; when an item has ended
// (converted, failed or cancelled) its ticks stop.
TEST_F(Run, ProgressTicksFollowTheItemsStatus)
{
    struct Ticks : ConversionDisplay {
        ConversionRun* run = nullptr;
        QStringList seen;
        void progress(float p) override { seen << QStringLiteral("p %1 %2").arg(run->currentItemIndex()).arg(p); }
        void currentItem() override { seen << QStringLiteral("c %1").arg(run->currentItemIndex()); }
        void itemEnded(std::uint32_t i, const ItemOutcome& outcome) override
        {
            seen << QStringLiteral("end %1 %2").arg(i).arg(outcome.result == ItemResult::Converted);
        }
        void runEnded(std::uint32_t) override { seen << "ended"; }
    } ticks;
    ConversionRun tickRun(nullptr, &ticks);
    ticks.run = &tickRun;
    SelectionMap map;
    int n = 0;
    for (const char* f : {"Slow Train.wav", "Not Audio.mp3", "Northern Lights.aif", "Copper Sky.m4a"}) {
        const MediaItem i = item(f, QString(f).section('.', 0, 0));
        QUrl key = i.assetURL().qurl();
        key.setQuery(QStringLiteral("n=%1").arg(n++));
        map.setObject(i, Url(key));
    }
    tickRun.exportMedia(map);
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return tickRun.isFinished(); }, 60000));
    // Ticks that would come after the end: wait out twenty tick intervals.
    bool waited = false;
    timing::Timer::scheduledOnce(2.0, &tickRun, [&](timing::Timer*) { waited = true; });
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return waited; }));
    ASSERT_EQ(ticks.seen.last(), "ended") << ticks.seen.join(" | ").toStdString();

    QSet<QString> ended;
    QSet<QString> completed;
    std::map<QString, float> last;
    for (qsizetype k = 0; k < ticks.seen.size(); ++k) {
        const QStringList parts = ticks.seen[k].split(' ');
        const QString& index = parts.value(1);
        SCOPED_TRACE(ticks.seen.mid(0, k + 1).join(" | ").toStdString());
        if (parts[0] == "end") {
            ended.insert(index); // a tick that read "completed" may or may not have come first
            continue;
        }
        if (parts[0] == "ended")
            continue;
        EXPECT_FALSE(ended.contains(index)) << "a tick after its item has ended";
        if (parts[0] == "c") {
            ASSERT_GT(k, 0);
            EXPECT_TRUE(ticks.seen[k - 1].startsWith("p " + index + " ")) << "current item comes right after progress";
            continue;
        }
        const float p = parts[2].toFloat();
        EXPECT_GE(p, last.count(index) ? last[index] : 0.0f) << "progress never goes back";
        EXPECT_FALSE(completed.contains(index)) << "nothing after the tick that saw the item completed";
        // A tick of an exporting item is followed by the current item; the
        // tick that reads "completed" shows 1.0 alone. (An export may report
        // 1.0 while still finishing its file: that tick is an exporting one.)
        const bool exporting = k + 1 < ticks.seen.size() && ticks.seen[k + 1] == "c " + index;
        if (!exporting) {
            EXPECT_EQ(p, 1.0f) << "a completed item shows the whole bar";
            completed.insert(index);
        }
        last[index] = p;
    }
    EXPECT_FALSE(completed.contains("1")) << "a failed item is never shown completed";
}

} // namespace
