#include "platform/export/AVAssetExportSession.h"
#include "platform/export/ExportService.h"
#include "platform/library/AssetURL.h"
#include "platform/library/MediaLibrary.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestSupport.h"
#include "tools/make_library/SongGenerator.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>

#include <atomic>
#include <future>
#include <thread>

using testsupport::TempDir;

namespace {

// The export file type of a format of the table.
QString fileTypeOf(medialibrary::AudioFormat format)
{
    return QString::fromLatin1(medialibrary::formatInfo(format).exportFileType);
}
const QString kFlac = fileTypeOf(medialibrary::AudioFormat::Flac);
const QString kOggVorbis = fileTypeOf(medialibrary::AudioFormat::OggVorbis);
const QString kOpus = fileTypeOf(medialibrary::AudioFormat::Opus);
const QString kWavPack = fileTypeOf(medialibrary::AudioFormat::WavPack);

// One library of short generated songs for the whole file.
class Library {
public:
    static Library& get()
    {
        static Library lib;
        return lib;
    }
    QString song(songgen::Format f) const
    {
        for (const auto& s : songs)
            if (!s.broken && s.format == f)
                return s.path;
        return {};
    }
    QString broken(const QString& name) const { return dir.file("Broken/" + name); }
    TempDir dir;
    std::vector<songgen::Song> songs;

private:
    Library()
    {
        songgen::Options o;
        o.seconds = 1.5;
        o.broken = true;
        QString error;
        songs = songgen::makeLibrary(dir.path(), o, &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    }
};

struct Outcome {
    AVAssetExportSessionStatus status = AVAssetExportSessionStatusUnknown;
    std::optional<Error> error;
    float progress = 0.0f;
    int calls = 0;
    bool onServiceThread = false;
};

// Runs one export to the end and reports what the handler saw.
Outcome exportTo(const QString& source, const QString& fileType, const QString& destination)
{
    auto session = AVAssetExportSession::initWithAsset(AVURLAsset::URLAssetWithURL(Url::fileURLWithPath(source)),
                                                       AVAssetExportPresetPassthrough);
    if (!session)
        return {};
    session->setOutputFileType(fileType);
    session->setOutputURL(Url::fileURLWithPath(destination));
    auto outcome = std::make_shared<Outcome>();
    std::promise<void> done;
    AVAssetExportSession* raw = session.get();
    session->exportAsynchronouslyWithCompletionHandler([&, outcome, raw] {
        outcome->calls++;
        outcome->status = raw->status();
        outcome->error = raw->error();
        outcome->progress = raw->progress();
        outcome->onServiceThread = exportservice::isServiceThread();
        done.set_value();
    });
    session.reset(); // the service keeps it alive until the handler has run
    done.get_future().wait();
    // Let the service drop the handler so that no second call can sneak in.
    exportservice::drain();
    return *outcome;
}

struct Case {
    songgen::Format format;
    const QString* fileType;
    const char* ext;
    const char* container;
    bool tagged;
    bool kept = false; // the song's file, byte for byte
};

TEST(ExportSession, EachFormatKeepsTheSamplesTagsAndCover)
{
    Library& lib = Library::get();
    const Case cases[] = {
        {songgen::Format::Aac, &AVFileTypeAppleM4A, "m4a", "mov,mp4,m4a,3gp,3g2,mj2", true},
        {songgen::Format::Alac, &AVFileTypeAppleM4A, "m4a", "mov,mp4,m4a,3gp,3g2,mj2", true},
        {songgen::Format::WavInfo, &AVFileTypeWAVE, "wav", "wav", true},
        {songgen::Format::WavId3, &AVFileTypeWAVE, "wav", "wav", true},
        {songgen::Format::Aiff, &AVFileTypeAIFF, "aif", "aiff", true},
        {songgen::Format::Mp3Cbr, &AVFileTypeQuickTimeMovie, "mov", "mov,mp4,m4a,3gp,3g2,mj2", false},
        {songgen::Format::Flac, &kFlac, "flac", "flac", true, true},
        {songgen::Format::OggVorbis, &kOggVorbis, "ogg", "ogg", true, true},
        {songgen::Format::Opus, &kOpus, "opus", "ogg", true, true},
        {songgen::Format::WavPack, &kWavPack, "wv", "wv", true, true},
    };
    TempDir out;
    for (const Case& c : cases) {
        const QString source = lib.song(c.format);
        const QString dest = out.file(QStringLiteral("out %1.%2").arg(int(c.format)).arg(c.ext));
        SCOPED_TRACE(source.toStdString());
        const Outcome o = exportTo(source, *c.fileType, dest);
        EXPECT_EQ(o.status, AVAssetExportSessionStatusCompleted);
        EXPECT_FALSE(o.error) << (o.error ? o.error->localizedDescription().toStdString() : "");
        EXPECT_EQ(o.calls, 1);
        EXPECT_TRUE(o.onServiceThread);
        EXPECT_FLOAT_EQ(o.progress, 1.0f);

        // Every output but the movie decodes to the song's own samples, trimmed
        // alike: its length is exact.
        const bool decode = c.format != songgen::Format::Mp3Cbr;
        const mediaprobe::Probe in = mediaprobe::probe(source, decode);
        const mediaprobe::Probe result = mediaprobe::probe(dest, decode);
        ASSERT_TRUE(result.opened);
        EXPECT_EQ(result.container, c.container);
        EXPECT_EQ(result.codec, in.codec);
        if (c.format == songgen::Format::Mp3Cbr) {
            // The movie also holds the Xing frame, which the MP3 demuxer skips.
            ASSERT_EQ(result.packets.size(), in.packets.size() + 1);
            EXPECT_TRUE(std::equal(in.packets.begin(), in.packets.end(), result.packets.begin() + 1));
        } else {
            EXPECT_EQ(result.packets, in.packets) << "packets changed";
            EXPECT_GT(in.decodedSamples, 0);
            EXPECT_EQ(result.decodedSamples, in.decodedSamples);
            EXPECT_TRUE(result.decoded == in.decoded) << "samples changed";
            EXPECT_DOUBLE_EQ(result.seconds, in.seconds);
        }
        if (c.kept) {
            EXPECT_TRUE(testsupport::readFile(dest) == testsupport::readFile(source)) << "not the song's own file";
        }
        if (c.tagged) {
            EXPECT_EQ(result.title, in.title);
            EXPECT_EQ(result.artist, in.artist);
            EXPECT_EQ(result.album, in.album);
            EXPECT_FALSE(in.cover.isEmpty());
            EXPECT_TRUE(result.cover == in.cover) << "cover lost or changed";
        }
    }
}

TEST(ExportSession, WaveTagsAreReadableByTagLib)
{
    // Players read a WAV's tags from its INFO or ID3 chunk; both are written.
    Library& lib = Library::get();
    TempDir out;
    const QString dest = out.file("x.wav");
    ASSERT_EQ(exportTo(lib.song(songgen::Format::WavInfo), AVFileTypeWAVE, dest).status, AVAssetExportSessionStatusCompleted);
    TagLib::RIFF::WAV::File wav(QFile::encodeName(dest).constData());
    ASSERT_TRUE(wav.isValid());
    const songgen::Song* song = nullptr;
    for (const auto& s : lib.songs)
        if (s.format == songgen::Format::WavInfo)
            song = &s;
    EXPECT_EQ(QString::fromStdString(wav.InfoTag()->title().to8Bit(true)), song->title);
    EXPECT_EQ(QString::fromStdString(wav.ID3v2Tag()->artist().to8Bit(true)), song->artist);
    EXPECT_FALSE(wav.ID3v2Tag()->frameListMap()["APIC"].isEmpty());
}

TEST(ExportSession, Mp3MovieHoldsEveryMpegFrameFromTheXingFrameOn)
{
    Library& lib = Library::get();
    TempDir out;
    for (songgen::Format f : {songgen::Format::Mp3Cbr, songgen::Format::Mp3Vbr}) {
        const QString source = out.file(QStringLiteral("song%1.mp3").arg(int(f)));
        ASSERT_TRUE(QFile::copy(lib.song(f), source));
        const QByteArray frames = mediaprobe::afterId3v2(source);
        ASSERT_TRUE(frames.mid(36, 4) == "Info" || frames.mid(36, 4) == "Xing" || frames.mid(21, 4) == "Xing");

        const QString movie = out.file(QStringLiteral("song%1.mov").arg(int(f)));
        ASSERT_EQ(exportTo(source, AVFileTypeQuickTimeMovie, movie).status, AVAssetExportSessionStatusCompleted);
        EXPECT_TRUE(mediaprobe::mdatPayload(movie) == frames) << "mdat is not the source's frames";

        // APE and ID3v1 tags at the end are tags, not audio.
        {
            TagLib::MPEG::File mp3(QFile::encodeName(source).constData());
            mp3.APETag(true)->setTitle("APE title");
            mp3.ID3v1Tag(true)->setTitle("v1 title");
            ASSERT_TRUE(mp3.save(TagLib::MPEG::File::AllTags, TagLib::File::StripNone));
        }
        ASSERT_GT(QFile(source).size(), frames.size() + 128);
        QFile::remove(movie);
        ASSERT_EQ(exportTo(source, AVFileTypeQuickTimeMovie, movie).status, AVAssetExportSessionStatusCompleted);
        EXPECT_TRUE(mediaprobe::mdatPayload(movie) == frames) << "trailing tags leaked into the audio";
    }
}

TEST(ExportSession, BrokenSourcesFailWithAnErrorAndLeaveNoFile)
{
    Library& lib = Library::get();
    TempDir out;
    // A WAV cut inside its samples.
    const QString cutWav = out.file("cut.wav");
    ASSERT_TRUE(QFile::copy(lib.song(songgen::Format::WavId3), cutWav));
    QByteArray wav = testsupport::readFile(cutWav);
    testsupport::writeFile(cutWav, wav.left(wav.indexOf("data") + 8 + 20000));

    // A concat script dressed as a song, pointing at a real one.
    const QString script = out.file("script.wav");
    ASSERT_TRUE(QFile::copy(lib.song(songgen::Format::WavId3), out.file("inner.wav")));
    testsupport::writeFile(script, "ffconcat version 1.0\nfile 'inner.wav'\n");

    // A WavPack cut inside a block, and one cut after its first block (its tag
    // gone with the rest): both end before the samples their header counts.
    const QByteArray wavPack = testsupport::readFile(lib.song(songgen::Format::WavPack));
    const QString cutInBlock = out.file("cut in block.wv");
    const QString cutAfterBlock = out.file("cut after block.wv");
    testsupport::writeFile(cutInBlock, wavPack.left(wavPack.size() * 2 / 5));
    testsupport::writeFile(cutAfterBlock, wavPack.left(wavPack.indexOf("wvpk", 4)));

    const std::tuple<QString, const QString*, std::optional<Error::Kind>> cases[] = {
        {script, &AVFileTypeWAVE, std::nullopt},
        {lib.broken("Empty.mp3"), &AVFileTypeQuickTimeMovie, std::nullopt},
        {lib.broken("Not Audio.mp3"), &AVFileTypeQuickTimeMovie, std::nullopt},
        {lib.broken("Truncated.mp3"), &AVFileTypeQuickTimeMovie, Error::Kind::Truncated},
        {lib.broken("Truncated.m4a"), &AVFileTypeAppleM4A, std::nullopt},
        {cutWav, &AVFileTypeWAVE, std::nullopt},
        {lib.song(songgen::Format::Mp3Cbr), &AVFileTypeAppleM4A, std::nullopt}, // MP3 does not go into M4A
        {cutInBlock, &kWavPack, Error::Kind::Truncated},
        {cutAfterBlock, &kWavPack, Error::Kind::Truncated},
    };
    for (const auto& [source, type, kind] : cases) {
        SCOPED_TRACE(source.toStdString());
        const QString dest = out.file("dest.out");
        const Outcome o = exportTo(source, *type, dest);
        EXPECT_EQ(o.status, AVAssetExportSessionStatusFailed);
        EXPECT_EQ(o.calls, 1);
        ASSERT_TRUE(o.error);
        EXPECT_FALSE(o.error->failingCall().isEmpty());
        EXPECT_FALSE(o.error->detail().isEmpty());
        EXPECT_TRUE(o.error->localizedDescription().startsWith(o.error->failingCall() + ": "));
        if (kind) {
            EXPECT_EQ(o.error->kind(), *kind) << o.error->localizedDescription().toStdString();
        }
        EXPECT_FALSE(QFile::exists(dest));
    }
}

TEST(ExportSession, RefusesToOverwriteAndNeedsATypeAndAFileURL)
{
    Library& lib = Library::get();
    TempDir out;
    const QString source = lib.song(songgen::Format::Aac);
    const QString existing = out.file("existing.m4a");
    testsupport::writeFile(existing, "keep me");
    Outcome o = exportTo(source, AVFileTypeAppleM4A, existing);
    EXPECT_EQ(o.status, AVAssetExportSessionStatusFailed);
    EXPECT_EQ(testsupport::readFile(existing), "keep me");

    o = exportTo(source, QStringLiteral("public.mpeg-4"), out.file("x.mp4"));
    EXPECT_EQ(o.status, AVAssetExportSessionStatusFailed);
    ASSERT_TRUE(o.error);
    EXPECT_EQ(o.error->failingCall(), "export");
    EXPECT_FALSE(QFile::exists(out.file("x.mp4")));

    // A folder that does not exist: opening the output fails.
    o = exportTo(source, AVFileTypeAppleM4A, out.file("no/such/folder/x.m4a"));
    EXPECT_EQ(o.status, AVAssetExportSessionStatusFailed);
    ASSERT_TRUE(o.error);
    EXPECT_EQ(o.error->failingCall(), "open");
    EXPECT_TRUE(o.error->detail().contains("No such file")) << o.error->detail().toStdString();
}

TEST(ExportSession, AssetsAndPresets)
{
    Library& lib = Library::get();
    TempDir tmp;
    EXPECT_EQ(AVURLAsset::URLAssetWithURL(Url()), nullptr);
    EXPECT_EQ(AVURLAsset::URLAssetWithURL(Url::fileURLWithPath(tmp.file("missing.mp3"))), nullptr);
    EXPECT_EQ(AVURLAsset::URLAssetWithURL(Url::fileURLWithPath(tmp.path())), nullptr) << "a folder is no song";

    // An asset URL resolves through the library it comes with, and nowhere else.
    const auto library = medialibrary::MediaLibrary::scan(lib.dir.path());
    Url asset;
    for (const medialibrary::MediaItem& item : library->items())
        if (item.filePath() == lib.song(songgen::Format::Aac))
            asset = item.assetURL();
    ASSERT_FALSE(asset.isEmpty());
    EXPECT_EQ(AVURLAsset::URLAssetWithURL(asset), nullptr);
    auto a = AVURLAsset::URLAssetWithURL(asset, library.get());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->filePath(), lib.song(songgen::Format::Aac));
    EXPECT_EQ(a->format(), medialibrary::AudioFormat::Mp4);
    EXPECT_EQ(AVURLAsset::URLAssetWithURL(medialibrary::makeAssetURL("m4a", 7), library.get()), nullptr);

    EXPECT_EQ(AVAssetExportSession::initWithAsset(nullptr, AVAssetExportPresetPassthrough), nullptr);
    EXPECT_EQ(AVAssetExportSession::initWithAsset(a, QStringLiteral("AVAssetExportPresetAppleM4A")), nullptr);
    auto s = AVAssetExportSession::initWithAsset(a, AVAssetExportPresetPassthrough);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->status(), AVAssetExportSessionStatusUnknown);
    EXPECT_EQ(s->progress(), 0.0f);
    EXPECT_FALSE(s->error());
}

TEST(ExportSession, CancelledWhileWaitingAndHandlerCalledOnce)
{
    Library& lib = Library::get();
    TempDir out;
    // Hold the service's thread so the export has to wait in the queue.
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    exportservice::enqueue([gate] { gate.wait(); });

    auto session = AVAssetExportSession::initWithAsset(
        AVURLAsset::URLAssetWithURL(Url::fileURLWithPath(lib.song(songgen::Format::Alac))), AVAssetExportPresetPassthrough);
    session->setOutputFileType(AVFileTypeAppleM4A);
    session->setOutputURL(Url::fileURLWithPath(out.file("c.m4a")));
    std::atomic<int> calls{0};
    std::promise<void> done;
    session->exportAsynchronouslyWithCompletionHandler([&] {
        if (calls.fetch_add(1) == 0)
            done.set_value();
    });
    session->exportAsynchronouslyWithCompletionHandler([&] { calls.fetch_add(100); }); // ignored
    EXPECT_EQ(session->status(), AVAssetExportSessionStatusWaiting);
    session->cancelExport();
    release.set_value();
    done.get_future().wait();
    exportservice::drain();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(session->status(), AVAssetExportSessionStatusCancelled);
    EXPECT_FALSE(session->error());
    EXPECT_FALSE(QFile::exists(out.file("c.m4a")));
}

} // namespace
