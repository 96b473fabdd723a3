#include "platform/export/Remux.h"

#include "platform/export/KeptContainer.h"
#include "platform/export/MpegAudio.h"
#include "platform/export/WaveTags.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/PathString.h"
#include "platform/library/TagReading.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/opt.h>
}

#include <QFile>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <memory>
#include <limits>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mediaexport {

namespace {

// The kind of a failed FFmpeg call, by its code and the call.
Error::Kind kindOf(const char* call, int code)
{
    if (code == AVERROR(ENOSPC) || code == AVERROR(EDQUOT))
        return Error::Kind::DiskFull;
    if (code == AVERROR(EACCES) || code == AVERROR(EROFS))
        return Error::Kind::PermissionDenied;
    const auto callIs = [call](const char* name) { return std::strcmp(call, name) == 0; };
    if (code == AVERROR(ENOENT) && (callIs("open") || callIs("avformat_open_input")))
        return Error::Kind::FileGone;
    if (code == AVERROR_EOF)
        return Error::Kind::Truncated;
    // What the reader makes of a file that is no whole song (a tag cut off
    // inside, say, reads as an invalid argument).
    const bool reading = std::strncmp(call, "avformat_", 9) == 0 || std::strncmp(call, "av_read", 7) == 0;
    if (code == AVERROR_INVALIDDATA || code == AVERROR_DECODER_NOT_FOUND || code == AVERROR_DEMUXER_NOT_FOUND ||
        code == AVERROR_STREAM_NOT_FOUND || code == AVERROR_PATCHWELCOME || (reading && code == AVERROR(EINVAL)))
        return Error::Kind::Damaged;
    return Error::Kind::Other;
}

} // namespace

Error ffmpegErrorSaying(const char* call, int code, const QString& detail)
{
    return Error(kindOf(call, code), QString::fromLatin1(call), detail, code);
}

Error ffmpegError(const char* call, int code, const QString& more)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(code, text, sizeof text) < 0)
        std::snprintf(text, sizeof text, "error %d", code);
    return ffmpegErrorSaying(call, code, QString::fromUtf8(text) + more);
}

Error cancelled()
{
    return Error(Error::Kind::Cancelled, QStringLiteral("remux"), QStringLiteral("cancelled"));
}

namespace {

// One owner per FFmpeg handle.
struct InputCloser {
    void operator()(AVFormatContext* ic) const { avformat_close_input(&ic); }
};
struct OutputCloser {
    void operator()(AVFormatContext* oc) const
    {
        // The output's I/O is the Remuxer's own (AVFMT_FLAG_CUSTOM_IO).
        avformat_free_context(oc);
    }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct DictFreer {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};
struct IOContextFreer {
    void operator()(AVIOContext* pb) const
    {
        av_freep(&pb->buffer);
        avio_context_free(&pb);
    }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using IOContextPtr = std::unique_ptr<AVIOContext, IOContextFreer>;

// The song is read through a buffer eight times the size of libavformat's
// own, which saves most of the read calls of a song.
constexpr int kReadBufferSize = 256 * 1024;

int readSong(void* opaque, std::uint8_t* buffer, int size)
{
    for (;;) {
        const ssize_t n = ::read(static_cast<const FileDescriptor*>(opaque)->get(), buffer, static_cast<std::size_t>(size));
        if (n > 0)
            return static_cast<int>(n);
        if (n == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

std::int64_t seekSong(void* opaque, std::int64_t offset, int whence)
{
    const int fd = static_cast<const FileDescriptor*>(opaque)->get();
    if (whence & AVSEEK_SIZE) {
        struct stat info {};
        return ::fstat(fd, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : static_cast<std::int64_t>(at);
}
// The output is written through a buffer of 256 kB: a write() per 256 kB
// instead of one per 32 kB, libavformat's own size. Larger writes are no
// cheaper, and on some kernels page-cache writes of 1 MB now and then cost
// several times as much system time (scripts/bench-engine).
constexpr int kWriteBufferSize = 256 * 1024;

// The largest packet a WAV's samples are read in, once the song is open.
constexpr int kWavePacketSize = 1024 * 1024;

// The output file as its writer sees it.
struct Output {
    FileDescriptor file;
    fileio::Writeback writeback;
};

int writeOutput(void* opaque, std::uint8_t* buffer, int size) // FFmpeg 5 spells it without const
{
    auto* output = static_cast<Output*>(opaque);
    if (!fileio::writeFully(output->file.get(), buffer, static_cast<std::size_t>(size)))
        return AVERROR(errno != 0 ? errno : ENOSPC);
    output->writeback.wrote(static_cast<std::uint64_t>(size));
    return size;
}

std::int64_t seekOutput(void* opaque, std::int64_t offset, int whence)
{
    return seekSong(&static_cast<Output*>(opaque)->file, offset, whence);
}
using OutputPtr = std::unique_ptr<AVFormatContext, OutputCloser>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;

QString tagValue(const AVDictionary* d, const char* key)
{
    const AVDictionaryEntry* e = av_dict_get(d, key, nullptr, 0); // keys match without case
    return e ? QString::fromUtf8(e->value) : QString();
}

// The demuxers of every format the export reads: a song dressed up as
// anything else is not opened.
QByteArray demuxerWhitelist()
{
    QByteArray list;
    for (const medialibrary::AudioFormatInfo& info : medialibrary::audioFormats())
        if (info.demuxer && !list.split(',').contains(info.demuxer))
            list += (list.isEmpty() ? "" : ",") + QByteArray(info.demuxer);
    return list;
}

class Remuxer {
public:
    explicit Remuxer(const RemuxJob& job) : job_(job), out_(medialibrary::formatInfo(job.output)) {}

    std::optional<Error> run()
    {
        std::optional<Error> error = copy();
        if (error) {
            output_.reset(); // closes the file before it goes
            destinationIO_.reset();
            destinationFile_.reset();
            if (createdOutput_)
                QFile::remove(job_.destination);
        }
        return error;
    }

private:
    using Step = std::optional<Error>; // nothing: go on

    static Step fail(const char* call, int code) { return ffmpegError(call, code); }
    bool isCancelled() const { return job_.cancelled && job_.cancelled(); }

    Step copy();
    Step openInput();
    Step openOutput();
    Step copyPackets();
    Step writePacket(AVPacket* pkt);
    void reportProgress(const AVPacket* pkt);
    void readXingFrame(std::int64_t firstPacketPos);

    const RemuxJob& job_;
    const medialibrary::AudioFormatInfo& out_; // the row of the file written
    std::unique_ptr<FileDescriptor> sourceFile_;       // closed last,
    IOContextPtr sourceIO_;  // after the reader that uses it,
    InputPtr input_;         // which goes first
    std::unique_ptr<Output> destinationFile_;         // the same for the output:
    IOContextPtr destinationIO_;                      // the writer goes first
    OutputPtr output_;
    bool createdOutput_ = false;
    int audioIndex_ = -1;
    int coverIndex_ = -1;
    int outAudioIndex_ = -1;
    int outCoverIndex_ = -1;
    bool isMp3_ = false;
    std::vector<std::uint8_t> xingFrame_; // the frame the MP3 demuxer passed over
    int xingSamples_ = 0;
    std::int64_t firstPts_ = AV_NOPTS_VALUE;
    std::int64_t shift_ = 0; // added to every timestamp once the Xing frame is back
    float progress_ = 0.0f;
    Tags tags_;
};

Remuxer::Step Remuxer::copy()
{
    if (Step e = openInput())
        return e;
    if (isCancelled())
        return cancelled();
    if (out_.method == medialibrary::ExportMethod::KeepContainer)
        return copyKeptContainer(input_.get(), audioIndex_, sourceFile_->get(), job_, &createdOutput_);
    if (Step e = openOutput())
        return e;
    if (Step e = copyPackets())
        return e;
    int err = av_write_trailer(output_.get());
    if (err < 0)
        return fail("av_write_trailer", err);
    avio_flush(destinationIO_.get());
    if ((err = destinationIO_->error) < 0)
        return fail("avio_flush", err);
    output_.reset();
    destinationIO_.reset();
    if (!destinationFile_->file.close())
        return fail("close", AVERROR(errno));
    if (out_.tagCopy == medialibrary::TagCopy::AfterCopy) {
        if (Step e = tagWave(job_.destination, tags_))
            return e;
    }
    if (job_.progress)
        job_.progress(1.0f);
    return std::nullopt;
}

Remuxer::Step Remuxer::openInput()
{
    const QByteArray source = path::native(job_.source);
    FileDescriptor song(::open(source.constData(), O_RDONLY | O_CLOEXEC));
    if (!song)
        return fail("open", AVERROR(errno));
    // The format comes from the file's content, not from the listing: a file
    // replaced by a song of another format since is no song of this one.
    if (job_.sourceFormat) {
        const std::optional<medialibrary::AudioFormat> found = medialibrary::recogniseFormat(
            [fd = song.get()](qint64 at, qint64 length) {
                QByteArray bytes(static_cast<qsizetype>(length), Qt::Uninitialized);
                const ssize_t n = ::pread(fd, bytes.data(), static_cast<std::size_t>(length), static_cast<off_t>(at));
                bytes.truncate(n > 0 ? static_cast<qsizetype>(n) : 0);
                return bytes;
            },
            job_.source);
        if (found != job_.sourceFormat) {
            const QString expected = QString::fromLatin1(medialibrary::formatInfo(*job_.sourceFormat).name);
            if (!found)
                return Error(Error::Kind::NoLongerAudio, QStringLiteral("open"),
                             L("the song's file is no longer %1, nor any audio Ripwell knows").arg(expected),
                             AVERROR_INVALIDDATA, {expected});
            const QString now = QString::fromLatin1(medialibrary::formatInfo(*found).name);
            return Error(Error::Kind::FormatChanged, QStringLiteral("open"),
                         L("the song's file is no longer %1 but %2").arg(expected, now), AVERROR_INVALIDDATA,
                         {expected, now});
        }
    }
    sourceFile_ = std::make_unique<FileDescriptor>(std::move(song));
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kReadBufferSize));
    if (!buffer)
        return fail("av_malloc", AVERROR(ENOMEM));
    sourceIO_.reset(avio_alloc_context(buffer, kReadBufferSize, 0, sourceFile_.get(), readSong, nullptr, seekSong));
    if (!sourceIO_) {
        av_free(buffer);
        return fail("avio_alloc_context", AVERROR(ENOMEM));
    }
    AVFormatContext* ic = avformat_alloc_context();
    if (!ic)
        return fail("avformat_alloc_context", AVERROR(ENOMEM));
    ic->pb = sourceIO_.get();
    ic->flags |= AVFMT_FLAG_CUSTOM_IO;
    // Songs are local files in the formats the library hands out. A playlist
    // or concat script dressed up as a song must not make the demuxer open
    // other files or network addresses.
    AVDictionary* rawOptions = nullptr;
    av_dict_set(&rawOptions, "protocol_whitelist", "file", 0);
    static const QByteArray whitelist = demuxerWhitelist();
    av_dict_set(&rawOptions, "format_whitelist", whitelist.constData(), 0);
    // A stream's codec is the one its container declares. Without this the WAV
    // reader probes every PCM song, packet after packet, for compressed audio
    // hidden behind the PCM tag, which costs more than copying the song; such a
    // file is copied as it is labelled, as PCM, its bytes unchanged.
    av_dict_set(&rawOptions, "max_probe_packets", "1", 0);
    // The content has shown its format above: its demuxer reads it, without
    // the probing of every demuxer first.
    const char* demuxerName = job_.sourceFormat ? medialibrary::formatInfo(*job_.sourceFormat).demuxer : nullptr;
    const AVInputFormat* demuxer = demuxerName ? av_find_input_format(demuxerName) : nullptr;
    int err = avformat_open_input(&ic, source.constData(), demuxer, &rawOptions); // frees `ic` on failure
    std::unique_ptr<AVDictionary, DictFreer> options(rawOptions);
    if (err < 0)
        return fail("avformat_open_input", err);
    input_.reset(ic);
    // An Ogg song is told by its headers alone (codec, pictures: its end is
    // checked by its pages); the others' packets are looked into, decoders
    // opened, for what a muxer or the seek to a FLAC's last frames needs.
    if (!out_.headersSuffice && (err = avformat_find_stream_info(ic, nullptr)) < 0)
        return fail("avformat_find_stream_info", err);
    // From here on a WAV's samples come in packets of up to 1 MB instead of
    // 4 kB: the same bytes in a 256th of the packets. (Set only now: the
    // stream analysis above decodes what it reads.)
    if (std::strcmp(ic->iformat->name, "wav") == 0)
        av_opt_set_int(ic, "max_size", kWavePacketSize, AV_OPT_SEARCH_CHILDREN);
    audioIndex_ = av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audioIndex_ < 0)
        return fail("av_find_best_stream", audioIndex_);
    const AVCodecParameters* par = ic->streams[audioIndex_]->codecpar;
    if (par->codec_id == AV_CODEC_ID_NONE)
        return fail("av_find_best_stream", AVERROR_DECODER_NOT_FOUND);

    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVStream* st = ic->streams[i];
        const AVCodecID id = st->codecpar->codec_id;
        if ((st->disposition & AV_DISPOSITION_ATTACHED_PIC) && st->attached_pic.size > 0 &&
            (id == AV_CODEC_ID_MJPEG || id == AV_CODEC_ID_PNG)) {
            coverIndex_ = static_cast<int>(i);
            tags_.cover = QByteArray(reinterpret_cast<const char*>(st->attached_pic.data), st->attached_pic.size);
            tags_.coverMime = id == AV_CODEC_ID_PNG ? QStringLiteral("image/png") : QStringLiteral("image/jpeg");
            break;
        }
    }
    tags_.title = tagValue(ic->metadata, "title");
    tags_.artist = tagValue(ic->metadata, "artist");
    tags_.album = tagValue(ic->metadata, "album");

    isMp3_ = par->codec_id == AV_CODEC_ID_MP3 && std::strcmp(ic->iformat->name, "mp3") == 0;
    return std::nullopt;
}

Remuxer::Step Remuxer::openOutput()
{
    const QByteArray destination = path::native(job_.destination);
    AVFormatContext* oc = nullptr;
    int err = avformat_alloc_output_context2(&oc, nullptr, out_.muxer, destination.constData());
    if (err < 0 || !oc)
        return fail("avformat_alloc_output_context2", err < 0 ? err : AVERROR(ENOMEM));
    output_.reset(oc);
    // No "encoder" tag: in a WAV it would be a LIST chunk before the samples,
    // which the tagging afterwards would have to cut out by moving them all.
    oc->flags |= AVFMT_FLAG_BITEXACT;

    const AVStream* in = input_->streams[audioIndex_];
    AVStream* out = avformat_new_stream(oc, nullptr);
    if (!out)
        return fail("avformat_new_stream", AVERROR(ENOMEM));
    if ((err = avcodec_parameters_copy(out->codecpar, in->codecpar)) < 0)
        return fail("avcodec_parameters_copy", err);
    out->codecpar->codec_tag = 0;
    out->time_base = in->time_base;
    outAudioIndex_ = out->index;

    // The movie carries the samples alone; the other containers keep the song's
    // tags, and M4A and AIFF its cover as an attached picture stream.
    const bool keepsTags = out_.tagCopy == medialibrary::TagCopy::Muxer;
    if (keepsTags) {
        for (const auto& [key, value] : {std::pair{"title", &tags_.title}, {"artist", &tags_.artist}, {"album", &tags_.album}})
            if (!value->isEmpty())
                av_dict_set(&oc->metadata, key, value->toUtf8().constData(), 0);
    }
    if (keepsTags && coverIndex_ >= 0) {
        const AVStream* inCover = input_->streams[coverIndex_];
        AVStream* cover = avformat_new_stream(oc, nullptr);
        if (!cover)
            return fail("avformat_new_stream", AVERROR(ENOMEM));
        if ((err = avcodec_parameters_copy(cover->codecpar, inCover->codecpar)) < 0)
            return fail("avcodec_parameters_copy", err);
        cover->codecpar->codec_tag = 0;
        cover->disposition = AV_DISPOSITION_ATTACHED_PIC;
        cover->time_base = AVRational{1, 90000};
        outCoverIndex_ = cover->index;
    }

    destinationFile_ = std::make_unique<Output>();
    destinationFile_->file.reset(::open(destination.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!destinationFile_->file)
        return fail("open", AVERROR(errno));
    // An MP3's movie is read back and removed at once: its pages need never
    // reach the device, and on a stick they would be written for nothing.
    if (out_.method != medialibrary::ExportMethod::ThroughMovie)
        destinationFile_->writeback = fileio::Writeback(destinationFile_->file.get());
    createdOutput_ = true;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kWriteBufferSize));
    if (!buffer)
        return fail("av_malloc", AVERROR(ENOMEM));
    destinationIO_.reset(
        avio_alloc_context(buffer, kWriteBufferSize, 1, destinationFile_.get(), nullptr, writeOutput, seekOutput));
    if (!destinationIO_) {
        av_free(buffer);
        return fail("avio_alloc_context", AVERROR(ENOMEM));
    }
    oc->pb = destinationIO_.get();
    oc->flags |= AVFMT_FLAG_CUSTOM_IO;
    oc->flush_packets = 0; // the buffer goes out when full, not after every packet
    AVDictionary* rawOptions = nullptr;
    if (out_.muxerOptions && (err = av_dict_parse_string(&rawOptions, out_.muxerOptions, "=", ":", 0)) < 0) {
        av_dict_free(&rawOptions);
        return fail("av_dict_parse_string", err);
    }
    err = avformat_write_header(oc, &rawOptions);
    std::unique_ptr<AVDictionary, DictFreer> options(rawOptions);
    if (err < 0)
        return fail("avformat_write_header", err);

    // av_read_frame() does not hand the cover over reliably (it comes, if at
    // all, before the first audio packet); it is written here, once.
    if (outCoverIndex_ >= 0) {
        PacketPtr pic(av_packet_alloc());
        if (!pic)
            return fail("av_packet_alloc", AVERROR(ENOMEM));
        if ((err = av_packet_ref(pic.get(), &input_->streams[coverIndex_]->attached_pic)) < 0)
            return fail("av_packet_ref", err);
        pic->stream_index = outCoverIndex_;
        pic->pts = pic->dts = 0;
        pic->duration = 0;
        pic->pos = -1;
        pic->flags |= AV_PKT_FLAG_KEY;
        if ((err = av_write_frame(oc, pic.get())) < 0)
            return fail("av_write_frame", err);
    }
    return std::nullopt;
}

// The MP3 demuxer passes over a leading Xing/Info/VBRI frame and starts at the
// frame after it. That frame is part of the song (players take its length and
// gapless information from it), so it is read back from the file here: it is
// the frame that ends where the first packet begins.
void Remuxer::readXingFrame(std::int64_t firstPacketPos)
{
    // From the song's open descriptor, without moving the reader's position.
    const std::int64_t end = firstPacketPos;
    const std::int64_t start = std::max<std::int64_t>(0, end - 2048);
    if (end <= start)
        return;
    std::vector<std::uint8_t> tail(static_cast<std::size_t>(end - start));
    if (::pread(sourceFile_->get(), tail.data(), tail.size(), static_cast<off_t>(start)) != static_cast<ssize_t>(tail.size()))
        return;
    const std::ptrdiff_t at = mpegaudio::findVbrInfoFrameEndingAt(tail.data(), tail.size());
    if (at < 0)
        return;
    mpegaudio::FrameHeader h;
    mpegaudio::parseHeader(tail.data() + at, tail.size() - static_cast<std::size_t>(at), &h);
    xingFrame_.assign(tail.begin() + at, tail.end());
    xingSamples_ = h.samplesPerFrame;
}

Remuxer::Step Remuxer::copyPackets()
{
    const AVStream* in = input_->streams[audioIndex_];
    PacketPtr pkt(av_packet_alloc());
    if (!pkt)
        return fail("av_packet_alloc", AVERROR(ENOMEM));
    std::int64_t end = AV_NOPTS_VALUE;
    for (;;) {
        if (isCancelled())
            return cancelled();
        int err = av_read_frame(input_.get(), pkt.get());
        if (err == AVERROR_EOF)
            break;
        if (err < 0)
            return fail("av_read_frame", err);
        if (pkt->stream_index != audioIndex_) {
            av_packet_unref(pkt.get());
            continue;
        }
        if (pkt->flags & AV_PKT_FLAG_CORRUPT) {
            // A WAV or AIFF whose samples end before their chunk says they do.
            return ffmpegError("av_read_frame", AVERROR_INVALIDDATA, QStringLiteral(" (corrupt packet)"));
        }
        if (isMp3_) {
            // The parser hands over a cut-off last frame as it is.
            mpegaudio::FrameHeader h;
            if (mpegaudio::parseHeader(pkt->data, static_cast<std::size_t>(pkt->size), &h) && pkt->size < h.frameLength)
                return ffmpegError("av_read_frame", AVERROR_EOF, QStringLiteral(" inside an MPEG audio frame"));
        }
        if (firstPts_ == AV_NOPTS_VALUE) {
            firstPts_ = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts != AV_NOPTS_VALUE ? pkt->dts : 0;
            if (isMp3_ && pkt->pos > 0)
                readXingFrame(pkt->pos);
            if (!xingFrame_.empty()) {
                PacketPtr xing(av_packet_alloc());
                if (!xing)
                    return fail("av_packet_alloc", AVERROR(ENOMEM));
                if ((err = av_new_packet(xing.get(), static_cast<int>(xingFrame_.size()))) < 0)
                    return fail("av_new_packet", err);
                std::memcpy(xing->data, xingFrame_.data(), xingFrame_.size());
                shift_ = av_rescale_q(xingSamples_, AVRational{1, in->codecpar->sample_rate > 0 ? in->codecpar->sample_rate : 44100},
                                      in->time_base);
                xing->pts = xing->dts = firstPts_;
                xing->duration = shift_;
                xing->flags |= AV_PKT_FLAG_KEY;
                if (Step e = writePacket(xing.get()))
                    return e;
            }
        }
        if (pkt->pts != AV_NOPTS_VALUE && pkt->duration > 0)
            end = std::max(end == AV_NOPTS_VALUE ? pkt->pts : end, pkt->pts + pkt->duration);
        reportProgress(pkt.get());
        if (shift_ != 0) {
            if (pkt->pts != AV_NOPTS_VALUE)
                pkt->pts += shift_;
            if (pkt->dts != AV_NOPTS_VALUE)
                pkt->dts += shift_;
        }
        if (Step e = writePacket(pkt.get()))
            return e;
    }
    if (firstPts_ == AV_NOPTS_VALUE)
        return ffmpegErrorSaying("av_read_frame", AVERROR_EOF, QStringLiteral("End of file before the first audio packet"));

    // Containers that state the song's length exactly (WAV, AIFF, MP4, an MP3
    // with a Xing frame) show a cut-off file by packets that end too soon.
    if (input_->duration_estimation_method == AVFMT_DURATION_FROM_STREAM && in->duration > 0 && end != AV_NOPTS_VALUE &&
        static_cast<double>(end - firstPts_) < 0.98 * static_cast<double>(in->duration))
        return ffmpegError("av_read_frame", AVERROR_EOF, QStringLiteral(" before the end of the audio"));
    return std::nullopt;
}

Remuxer::Step Remuxer::writePacket(AVPacket* pkt)
{
    const AVStream* in = input_->streams[audioIndex_];
    const AVStream* out = output_->streams[outAudioIndex_];
    av_packet_rescale_ts(pkt, in->time_base, out->time_base);
    pkt->stream_index = outAudioIndex_;
    pkt->pos = -1;
    // One stream of packets in their order (the cover went before them): the
    // muxer takes each as it comes, with nothing to interleave.
    const int err = av_write_frame(output_.get(), pkt);
    av_packet_unref(pkt);
    if (err < 0)
        return fail("av_write_frame", err);
    return std::nullopt;
}

void Remuxer::reportProgress(const AVPacket* pkt)
{
    if (!job_.progress || pkt->pts == AV_NOPTS_VALUE)
        return;
    const AVStream* in = input_->streams[audioIndex_];
    double total = 0.0;
    if (in->duration > 0)
        total = static_cast<double>(in->duration);
    else if (input_->duration > 0)
        total = static_cast<double>(av_rescale_q(input_->duration, AV_TIME_BASE_Q, in->time_base));
    if (total <= 0.0)
        return;
    const double done = static_cast<double>(pkt->pts + std::max<std::int64_t>(pkt->duration, 0) - firstPts_) / total;
    const float clamped = static_cast<float>(std::clamp(done, 0.0, 1.0));
    if (clamped > progress_) {
        progress_ = clamped;
        job_.progress(clamped);
    }
}

} // namespace

std::optional<Error> remux(const RemuxJob& job)
{
    return Remuxer(job).run();
}

} // namespace mediaexport
