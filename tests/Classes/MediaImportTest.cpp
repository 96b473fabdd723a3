#include "Classes/MediaImport.h"
#include "platform/library/AssetURL.h"
#include "platform/library/MediaLibrary.h"
#include "platform/foundation/Log.h"
#include "tests/Classes/ImportHarness.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestSupport.h"
#include "tests/support/GeneratedLibrary.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

using importharness::runImport;
using importharness::Seen;
using testsupport::LogCapture;
using testsupport::TempDir;

namespace {

const QString kOp = "importAsset:toURL:completionBlock:";

class Import : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        songgen::Options o;
        o.seconds = 1.0;
        o.broken = true;
        o.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::WavId3, songgen::Format::Aiff};
        library = new testsupport::GeneratedLibrary(o);
        songs = &library->songs();
        ASSERT_EQ(songs->size(), 8u);
        // The library the workers are handed, which hands out the asset URLs.
        scanned = new std::shared_ptr<const medialibrary::MediaLibrary>(medialibrary::MediaLibrary::scan(library->path()));
    }
    static void TearDownTestSuite()
    {
        delete scanned;
        delete library;
    }

    static std::shared_ptr<MediaImport> worker() { return MediaImport::create(*scanned); }
    static Url assetFor(songgen::Format f, quint64* index = nullptr)
    {
        for (quint64 i = 0; i < songs->size(); ++i)
            if ((*songs)[i].format == f && !(*songs)[i].broken) {
                if (index)
                    *index = i;
                for (const medialibrary::MediaItem& item : (*scanned)->items())
                    if (item.filePath() == (*songs)[i].path)
                        return item.assetURL();
            }
        return {};
    }
    static Url brokenFile(const QString& name) { return Url::fileURLWithPath(library->file("Broken/" + name)); }

    Url dest(const QString& name) const { return Url::fileURLWithPath(out.file(name)); }

    static testsupport::GeneratedLibrary* library;
    static const std::vector<songgen::Song>* songs;
    static std::shared_ptr<const medialibrary::MediaLibrary>* scanned;
    TempDir out;
    LogCapture log;
};
testsupport::GeneratedLibrary* Import::library = nullptr;
const std::vector<songgen::Song>* Import::songs = nullptr;
std::shared_ptr<const medialibrary::MediaLibrary>* Import::scanned = nullptr;

void expectIdleAfterHandler(const MediaImport& w)
{
    EXPECT_EQ(w.status(), 0);
    EXPECT_EQ(w.progress(), 0.0f);
    EXPECT_FALSE(w.error());
}

TEST_F(Import, EachFormatEndsInItsFile)
{
    for (songgen::Format f : {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::WavId3, songgen::Format::Aiff}) {
        quint64 index = 0;
        const Url asset = assetFor(f, &index);
        const Url to = dest("Title." + songgen::fileExtension(f));
        SCOPED_TRACE(asset.absoluteString().toStdString());
        auto worker = Import::worker();
        const Seen seen = runImport(worker, asset, to);
        EXPECT_EQ(seen.calls, 1);
        EXPECT_FALSE(seen.beforeImportReturned);
        EXPECT_TRUE(seen.onServiceThread);
        EXPECT_EQ(seen.status, 3);
        EXPECT_FALSE(seen.error);
        EXPECT_TRUE(seen.destinationExisted) << "the file is complete when the block runs";
        EXPECT_FALSE(seen.temporaryExisted);
        expectIdleAfterHandler(*worker);

        const QString source = (*songs)[index].path;
        if (f == songgen::Format::Mp3Cbr) {
            EXPECT_TRUE(mediaprobe::afterId3v2(to.path()) == mediaprobe::afterId3v2(source)) << "not the source's MPEG frames";
            // The tag in front carries what a player shows.
            const mediaprobe::Probe written = mediaprobe::probe(to.path());
            const mediaprobe::Probe original = mediaprobe::probe(source);
            EXPECT_EQ(written.title, (*songs)[index].title);
            EXPECT_EQ(written.artist, (*songs)[index].artist);
            EXPECT_EQ(written.album, (*songs)[index].album);
            EXPECT_FALSE(written.cover.isEmpty());
            EXPECT_TRUE(written.cover == original.cover) << "not the source's cover";
        } else
            EXPECT_TRUE(mediaprobe::probe(to.path()).audio() == mediaprobe::probe(source).audio());
    }
    EXPECT_EQ(log.lines(), QStringList());
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 4) << "no temporary file left";
}

TEST_F(Import, AnEarlierFileIsReplacedOnlyByAWholeOne)
{
    for (songgen::Format f : {songgen::Format::Mp3Cbr, songgen::Format::Aac}) {
        const Url to = dest("Title." + songgen::fileExtension(f));
        testsupport::writeFile(to.path(), "an older export");
        auto worker = Import::worker();
        QByteArray atStart;
        std::promise<void> done;
        worker->importAsset(assetFor(f), to, [&](const std::shared_ptr<MediaImport>&) { done.set_value(); });
        atStart = testsupport::readFile(to.path()); // the export is under way or done: the old file is still whole
        done.get_future().wait();
        importharness::drainExportService();
        EXPECT_TRUE(atStart == "an older export" || mediaprobe::probe(to.path()).opened);
        EXPECT_EQ(worker->status(), 0);
        EXPECT_NE(testsupport::readFile(to.path()), "an older export");
        EXPECT_TRUE(mediaprobe::probe(to.path()).opened);
        EXPECT_EQ(importharness::temporariesIn(out.path()), QStringList());
    }
    EXPECT_EQ(log.lines(), QStringList()) << "nothing removed before the export";
}

TEST_F(Import, SongsOfTheLibraryAreNeverOverwritten)
{
    // The destination is the source itself under another name (a hard link),
    // or another song of the library: the import fails and both stay.
    const QString source = (*songs)[0].path;
    const QByteArray sourceBytes = testsupport::readFile(source);
    const QString other = library->file("Other.mp3");
    ASSERT_TRUE(QFile::copy(source, other));
    const QString hardLink = out.file("Linked.mp3");
    ASSERT_EQ(::link(QFile::encodeName(source).constData(), QFile::encodeName(hardLink).constData()), 0);

    const auto withOther = medialibrary::MediaLibrary::scan(library->path());
    const Url asset = Url::fileURLWithPath(source);
    for (const QString& target : {hardLink, other}) {
        SCOPED_TRACE(target.toStdString());
        LogCapture lines;
        const Seen seen = runImport(MediaImport::create(withOther), asset, Url::fileURLWithPath(target));
        EXPECT_NE(seen.status, 3);
        ASSERT_TRUE(seen.error);
        EXPECT_TRUE(seen.error->localizedDescription().contains("song of the music library"));
        EXPECT_TRUE(lines.contains("[ERROR] [" + kOp + "] " + target + " is a song of the music library and is never overwritten"));
    }
    // Found again at the rename, when the song appears there during the export.
    {
        const QString late = out.file("Late.mp3");
        LogCapture lines;
        auto worker = MediaImport::create(withOther);
        std::promise<void> release, done;
        exportservice::enqueue([gate = release.get_future().share()] { gate.wait(); });
        worker->importAsset(asset, Url::fileURLWithPath(late), [&](const std::shared_ptr<MediaImport>& w) {
            EXPECT_EQ(w->status(), 4);
            done.set_value();
        });
        ASSERT_EQ(::link(QFile::encodeName(source).constData(), QFile::encodeName(late).constData()), 0);
        release.set_value();
        done.get_future().wait();
        importharness::drainExportService();
        EXPECT_TRUE(testsupport::readFile(late) == sourceBytes);
    }
    EXPECT_TRUE(testsupport::readFile(source) == sourceBytes);
    EXPECT_TRUE(testsupport::readFile(hardLink) == sourceBytes);
    EXPECT_TRUE(testsupport::readFile(other) == sourceBytes);
    EXPECT_EQ(importharness::temporariesIn(out.path()), QStringList());
    QFile::remove(other);
}

TEST_F(Import, ACancelledImportLeavesTheEarlierFileAndNoTemporaries)
{
    for (songgen::Format f : {songgen::Format::Mp3Cbr, songgen::Format::WavId3}) {
        const Url to = dest("Title." + songgen::fileExtension(f));
        testsupport::writeFile(to.path(), "an older export");
        auto worker = Import::worker();
        std::promise<void> release, done;
        std::int32_t status = -1;
        exportservice::enqueue([gate = release.get_future().share()] { gate.wait(); });
        worker->importAsset(assetFor(f), to, [&](const std::shared_ptr<MediaImport>& w) {
            status = w->status();
            done.set_value();
        });
        worker->cancel();
        release.set_value();
        done.get_future().wait();
        importharness::drainExportService();
        EXPECT_EQ(status, 5);
        EXPECT_EQ(testsupport::readFile(to.path()), "an older export");
        EXPECT_EQ(importharness::temporariesIn(out.path()), QStringList());
    }
}

TEST_F(Import, EarlyFailuresReachTheCompletionBlockOnce)
{
    // Each gives up before an export starts: the line stays, and the owner
    // hears of it once, after importAsset() has returned, with a status that
    // is not 3 and an error that says why.
    struct Case {
        Url asset;
        QString line;
    } cases[] = {
        {Url::fileURLWithPath(out.file("missing.mp3")), "[ERROR] [" + kOp + "] AVURLAsset could not be created"},
        {medialibrary::makeAssetURL("mp3", 999), "[ERROR] [" + kOp + "] AVURLAsset could not be created"},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    // Extensions are compared exactly: these are all unrecognized.
    for (const QString ext : {"MP3", "aiff", "m4b", "wma", "Flac", ""}) {
        const QString file = library->file("song" + (ext.isEmpty() ? QString() : "." + ext));
        QFile::copy((*songs)[0].path, file);
        all.push_back({Url::fileURLWithPath(file), "[ERROR] [" + kOp + "] Unrecognized file extension: " + ext});
    }
    for (const Case& c : all) {
        SCOPED_TRACE(c.asset.absoluteString().toStdString());
        const Url to = dest("Title.mp3");
        testsupport::writeFile(to.path(), "old");
        LogCapture lines;
        auto worker = Import::worker();
        const Seen seen = runImport(worker, c.asset, to);
        EXPECT_EQ(seen.calls, 1);
        EXPECT_FALSE(seen.beforeImportReturned);
        EXPECT_NE(seen.status, 3);
        ASSERT_TRUE(seen.error);
        EXPECT_FALSE(seen.error->localizedDescription().isEmpty());
        EXPECT_EQ(lines.lines(), QStringList{c.line});
        EXPECT_EQ(testsupport::readFile(to.path()), "old") << "a failed import leaves the earlier file";
        EXPECT_NE(worker->status(), 3);
    }
}

TEST_F(Import, FailedExportsReadFourThenLogTheError)
{
    struct Case {
        Url asset;
        QString dest;
        QString op;
    } cases[] = {
        {brokenFile("Truncated.m4a"), "T.m4a", kOp},
        {brokenFile("Not Audio.mp3"), "N.mp3", "importMP3ToFile:asset:completionBlock:"},
        {brokenFile("Empty.mp3"), "E.mp3", "importMP3ToFile:asset:completionBlock:"},
        {brokenFile("Truncated.mp3"), "U.mp3", "importMP3ToFile:asset:completionBlock:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asset.path().toStdString());
        LogCapture lines;
        auto worker = Import::worker();
        auto seenAt = std::make_shared<std::atomic<int>>(0);
        std::promise<void> done;
        worker->importAsset(c.asset, dest(c.dest), [&](const std::shared_ptr<MediaImport>& w) {
            EXPECT_EQ(w->status(), 4);
            ASSERT_TRUE(w->error());
            applog::debug("test", "block: " + w->error()->localizedDescription());
            done.set_value();
        });
        done.get_future().wait();
        importharness::drainExportService();
        const QStringList l = lines.lines();
        ASSERT_EQ(l.size(), 2);
        ASSERT_TRUE(l[0].startsWith("[DEBUG] [test] block: "));
        EXPECT_EQ(l[1], "[ERROR] [" + c.op + "] " + l[0].mid(QString("[DEBUG] [test] block: ").size()))
            << "the session's error, after the block";
        EXPECT_FALSE(QFile::exists(out.file(c.dest)));
        EXPECT_EQ(importharness::temporariesIn(out.path()), QStringList());
        expectIdleAfterHandler(*worker);
    }
}

TEST_F(Import, AFolderInTheWayStaysAndTheImportFails)
{
    for (const QString name : {"Folder.mp3", "Folder.wav"}) {
        const Url to = dest(name);
        ASSERT_TRUE(QDir(out.path()).mkdir(name));
        testsupport::writeFile(out.file(name + "/keep.txt"), "the user's");
        LogCapture lines;
        const Seen seen = runImport(Import::worker(), name.endsWith("mp3") ? assetFor(songgen::Format::Mp3Cbr)
                                                                           : assetFor(songgen::Format::WavId3), to);
        EXPECT_EQ(seen.calls, 1);
        EXPECT_NE(seen.status, 3);
        ASSERT_TRUE(seen.error);
        EXPECT_TRUE(seen.error->localizedDescription().contains("a folder is in the way"));
        EXPECT_FALSE(seen.temporaryExisted);
        EXPECT_EQ(testsupport::readFile(out.file(name + "/keep.txt")), "the user's");
    }
}

} // namespace
