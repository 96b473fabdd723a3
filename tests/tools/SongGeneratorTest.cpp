#include "tests/support/TestSupport.h"
#include "tools/make_library/SongGenerator.h"

#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>

using songgen::Format;

namespace {

struct Probe {
    bool opened = false;
    AVCodecID codec = AV_CODEC_ID_NONE;
    double seconds = 0;
    bool hasCover = false; // an attached-picture stream
};

Probe probe(const QString& path)
{
    Probe p;
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return p;
    if (avformat_find_stream_info(ctx, nullptr) >= 0) {
        for (unsigned i = 0; i < ctx->nb_streams; ++i) {
            const AVStream* st = ctx->streams[i];
            if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && p.codec == AV_CODEC_ID_NONE) {
                p.opened = true;
                p.codec = st->codecpar->codec_id;
            }
            if (st->disposition & AV_DISPOSITION_ATTACHED_PIC)
                p.hasCover = true;
        }
        p.seconds = ctx->duration > 0 ? double(ctx->duration) / AV_TIME_BASE : 0;
    }
    avformat_close_input(&ctx);
    return p;
}

// The first bytes of the first MPEG frame after the ID3v2 tag.
QByteArray firstMpegFrame(const QByteArray& file)
{
    qsizetype pos = 0;
    if (file.startsWith("ID3") && file.size() > 10) {
        const auto b = [&](int i) { return quint32(quint8(file[i])); };
        pos = 10 + qsizetype((b(6) << 21) | (b(7) << 14) | (b(8) << 7) | b(9));
    }
    return file.mid(pos, 200);
}

class SongGenerator : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new testsupport::TempDir;
        songgen::Options options;
        options.seconds = 1.5;
        options.broken = true;
        QString error;
        songs = new std::vector<songgen::Song>(songgen::makeLibrary(dir->path(), options, &error));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
    static void TearDownTestSuite()
    {
        delete songs;
        delete dir;
    }
    static const songgen::Song& song(Format f)
    {
        for (const auto& s : *songs)
            if (s.format == f && !s.broken)
                return s;
        throw std::runtime_error("format not generated");
    }
    static testsupport::TempDir* dir;
    static std::vector<songgen::Song>* songs;
};
testsupport::TempDir* SongGenerator::dir = nullptr;
std::vector<songgen::Song>* SongGenerator::songs = nullptr;

TEST_F(SongGenerator, EverySongOpensWithItsCodecAndLength)
{
    ASSERT_EQ(songs->size(), size_t(12 + 4));
    const std::pair<Format, AVCodecID> expected[] = {
        {Format::Mp3Cbr, AV_CODEC_ID_MP3},      {Format::Mp3Vbr, AV_CODEC_ID_MP3},
        {Format::Aac, AV_CODEC_ID_AAC},         {Format::Alac, AV_CODEC_ID_ALAC},
        {Format::WavInfo, AV_CODEC_ID_PCM_S16LE}, {Format::WavId3, AV_CODEC_ID_PCM_S16LE},
        {Format::Aiff, AV_CODEC_ID_PCM_S16BE},  {Format::Flac, AV_CODEC_ID_FLAC},
        {Format::OggVorbis, AV_CODEC_ID_VORBIS}, {Format::Opus, AV_CODEC_ID_OPUS},
        {Format::WavPack, AV_CODEC_ID_WAVPACK},
    };
    for (const auto& [format, codec] : expected) {
        const Probe p = probe(song(format).path);
        EXPECT_TRUE(p.opened) << song(format).path.toStdString();
        EXPECT_EQ(p.codec, codec) << song(format).path.toStdString();
        EXPECT_NEAR(p.seconds, 1.5, 0.1) << song(format).path.toStdString();
    }
    EXPECT_TRUE(song(Format::Aiff).path.endsWith(".aif"));
    EXPECT_TRUE(song(Format::Protected).path.endsWith(".m4p"));
}

TEST_F(SongGenerator, TagsAndCoverAreWritten)
{
    for (const auto& s : *songs) {
        if (s.broken || s.format == Format::WavInfo)
            continue;
        TagLib::FileRef ref(QFile::encodeName(s.path).constData());
        ASSERT_FALSE(ref.isNull()) << s.path.toStdString();
        EXPECT_EQ(QString::fromStdWString(ref.tag()->title().toWString()), s.title);
        EXPECT_EQ(QString::fromStdWString(ref.tag()->artist().toWString()), s.artist);
        EXPECT_EQ(QString::fromStdWString(ref.tag()->album().toWString()), s.album);
        EXPECT_EQ(int(ref.tag()->track()), s.track);
        EXPECT_TRUE(probe(s.path).hasCover || s.format == Format::Protected) << "no cover in " << s.path.toStdString();
    }
    // The INFO-tagged WAV: title in LIST/INFO, an ID3 chunk with the picture only.
    TagLib::RIFF::WAV::File wav(QFile::encodeName(song(Format::WavInfo).path).constData());
    ASSERT_TRUE(wav.isValid());
    EXPECT_EQ(QString::fromStdWString(wav.InfoTag()->title().toWString()), song(Format::WavInfo).title);
    EXPECT_TRUE(wav.ID3v2Tag()->title().isEmpty());
    EXPECT_FALSE(wav.ID3v2Tag()->frameListMap()["APIC"].isEmpty());
}

TEST_F(SongGenerator, Mp3sStartWithAnInfoOrXingFrame)
{
    const QByteArray cbr = firstMpegFrame(testsupport::readFile(song(Format::Mp3Cbr).path));
    const QByteArray vbr = firstMpegFrame(testsupport::readFile(song(Format::Mp3Vbr).path));
    ASSERT_EQ(quint8(cbr[0]), 0xff);
    ASSERT_EQ(quint8(vbr[0]), 0xff);
    EXPECT_TRUE(cbr.contains("Info")) << cbr.toHex().toStdString();
    EXPECT_TRUE(vbr.contains("Xing")) << vbr.toHex().toStdString();
}

TEST_F(SongGenerator, ProtectedSongIsEncryptedForTagLib)
{
    TagLib::MP4::File f(QFile::encodeName(song(Format::Protected).path).constData());
    ASSERT_TRUE(f.isValid());
    ASSERT_NE(f.audioProperties(), nullptr);
    EXPECT_TRUE(f.audioProperties()->isEncrypted());
    EXPECT_EQ(QString::fromStdWString(f.tag()->title().toWString()), song(Format::Protected).title);

    TagLib::MP4::File clear(QFile::encodeName(song(Format::Aac).path).constData());
    EXPECT_FALSE(clear.audioProperties()->isEncrypted());
}

TEST_F(SongGenerator, BrokenFilesAreBroken)
{
    int broken = 0;
    for (const auto& s : *songs) {
        if (!s.broken)
            continue;
        ++broken;
        const QByteArray bytes = testsupport::readFile(s.path);
        if (s.path.endsWith("Empty.mp3")) {
            EXPECT_TRUE(bytes.isEmpty());
        } else if (s.path.endsWith("Not Audio.mp3")) {
            EXPECT_TRUE(bytes.startsWith("This is a text file"));
        } else if (s.path.endsWith("Truncated.m4a")) {
            EXPECT_FALSE(probe(s.path).opened) << "the index is cut off";
        }
    }
    EXPECT_EQ(broken, 4);
}

TEST(SongGeneratorDeterminism, SameArgumentsGiveTheSameBytes)
{
    testsupport::TempDir a, b;
    songgen::Options options;
    options.seconds = 0.5;
    options.songs = 4;
    options.formats = {Format::Mp3Vbr, Format::Aac, Format::Aiff, Format::Flac};
    const auto first = songgen::makeLibrary(a.path(), options);
    const auto second = songgen::makeLibrary(b.path(), options);
    ASSERT_EQ(first.size(), 4u);
    ASSERT_EQ(second.size(), 4u);
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(QDir(a.path()).relativeFilePath(first[i].path), QDir(b.path()).relativeFilePath(second[i].path));
        EXPECT_EQ(testsupport::readFile(first[i].path), testsupport::readFile(second[i].path)) << first[i].path.toStdString();
    }
}

} // namespace
