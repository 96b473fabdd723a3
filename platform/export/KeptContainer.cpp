#include "platform/export/KeptContainer.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/PathString.h"
#include "platform/library/TagReading.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace mediaexport {

namespace {

// Reads the packets of `ic` from where it stands to its end; the end of the
// last packet of `stream` goes to `end`. An AVERROR, or 0.
int readToEnd(AVFormatContext* ic, int stream, std::int64_t* end)
{
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> pkt(av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
    if (!pkt)
        return AVERROR(ENOMEM);
    int err;
    while ((err = av_read_frame(ic, pkt.get())) >= 0) {
        if (pkt->stream_index == stream && pkt->pts != AV_NOPTS_VALUE && pkt->duration > 0)
            *end = std::max(*end == AV_NOPTS_VALUE ? pkt->pts : *end, pkt->pts + pkt->duration);
        av_packet_unref(pkt.get());
    }
    return err == AVERROR_EOF ? 0 : err;
}

// Block in which a song that keeps its container is copied where the kernel
// cannot copy it itself.
constexpr std::size_t kWholeCopyBlock = 256 * 1024; // as the remux's writes: see Remux.cpp
// Copied between two looks at cancellation and progress.
constexpr std::uint64_t kWholeCopyStep = 8 * 1024 * 1024;

// One song's check and copy.
class KeptCopy {
public:
    KeptCopy(AVFormatContext* input, int audioIndex, int sourceFd, const RemuxJob& job, bool* createdOutput)
        : job_(job), input_(input), audioIndex_(audioIndex), sourceFd_(sourceFd), createdOutput_(createdOutput)
    {
    }

    std::optional<Error> copyWhole();

private:
    std::optional<Error> checkWhole();
    static Error fail(const char* call, int code) { return ffmpegError(call, code); }
    bool isCancelled() const { return job_.cancelled && job_.cancelled(); }

    const RemuxJob& job_;
    const medialibrary::AudioFormatInfo& kept_ = medialibrary::formatInfo(job_.output);
    AVFormatContext* input_;
    int audioIndex_;
    int sourceFd_;
    bool* createdOutput_;
};

std::optional<Error> KeptCopy::copyWhole()
{
    // The song must come in the format's own demuxer and codec to keep its container.
    const AVStream* in = input_->streams[audioIndex_];
    const char* codec = avcodec_get_name(in->codecpar->codec_id);
    if (std::strcmp(input_->iformat->name, kept_.demuxer) != 0 || std::strcmp(codec, kept_.keptCodec) != 0)
        return ffmpegErrorSaying("avformat_open_input", AVERROR_INVALIDDATA,
                                 QStringLiteral("%1 in %2 does not go into %3 without re-encoding")
                                     .arg(QLatin1String(codec), QLatin1String(input_->iformat->name),
                                          QLatin1String(kept_.muxer)));
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        if (int(i) != audioIndex_ && !(input_->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return ffmpegErrorSaying("avformat_open_input", AVERROR_INVALIDDATA,
                                     QStringLiteral("the song holds more streams than its audio"));
    }
    if (std::optional<Error> e = checkWhole())
        return e;

    FileDescriptor out(::open(path::native(job_.destination).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!out)
        return fail("open", AVERROR(errno));
    *createdOutput_ = true;
    // The whole file, from its start (the reader has moved the position),
    // a step at a time between which a cancellation is seen and the
    // progress told.
    struct stat info {};
    if (::fstat(sourceFd_, &info) != 0)
        return fail("fstat", AVERROR(errno));
    if (::lseek(sourceFd_, 0, SEEK_SET) < 0)
        return fail("lseek", AVERROR(errno));
    const auto size = static_cast<std::uint64_t>(info.st_size);
    std::uint64_t done = 0;
    fileio::Writeback writeback(out.get());
    while (done < size) {
        if (isCancelled())
            return cancelled();
        bool writeFailed = false;
        const bool whole = fileio::copyRange(sourceFd_, out.get(), std::min(size, done + kWholeCopyStep), kWholeCopyBlock,
                                             &done, &writeFailed, &writeback);
        if (writeFailed)
            return fail("write", AVERROR(errno != 0 ? errno : ENOSPC));
        if (!whole)
            break; // the file is shorter now than it was: what there is
        if (job_.progress)
            job_.progress(static_cast<float>(double(done) / double(size)));
    }
    if (!out.close())
        return fail("close", AVERROR(errno));
    if (job_.progress)
        job_.progress(1.0f);
    return std::nullopt;
}

// Whether a song that keeps its container ends where it says it does: an
// Ogg stream with its last page, a FLAC with the samples its STREAMINFO counts,
// a WavPack with those its first block counts (the last frames, found by a
// seek to the end, reach that far).
std::optional<Error> KeptCopy::checkWhole()
{
    switch (kept_.whole) {
    case medialibrary::WholeCheck::None:
        return std::nullopt;
    case medialibrary::WholeCheck::LastPage:
        if (!medialibrary::tagreading::oggEndsWhole(job_.source))
            return ffmpegError("av_read_frame", AVERROR_EOF, QStringLiteral(" before the last page of the stream"));
        return std::nullopt;
    case medialibrary::WholeCheck::StatedLength:
        break;
    }
    AVStream* in = input_->streams[audioIndex_];
    const std::int64_t total = in->duration;
    if (total <= 0)
        return std::nullopt; // a song that does not say its length
    // The end of the audio: after a seek to the last frames; a song too
    // short to seek in is read again from its start, whole.
    std::int64_t end = AV_NOPTS_VALUE;
    const QString beforeTheEnd = QStringLiteral(" before the end of the audio");
    // A frame cut off by the file's end reads as an I/O error.
    const auto readFailure = [&](AVFormatContext* ic, int err) {
        if (err == AVERROR(EIO) && ic->pb && avio_feof(ic->pb))
            return Error(Error::Kind::Truncated, QStringLiteral("av_read_frame"),
                         ffmpegError("av_read_frame", err).detail() + beforeTheEnd, err);
        return fail("av_read_frame", err);
    };
    int err = avformat_seek_file(input_, audioIndex_, std::numeric_limits<std::int64_t>::min(), total, total, 0);
    if (err >= 0) {
        if ((err = readToEnd(input_, audioIndex_, &end)) < 0)
            return readFailure(input_, err);
    } else {
        AVFormatContext* again = nullptr;
        if ((err = avformat_open_input(&again, path::native(job_.source).constData(),
                                       av_find_input_format(kept_.demuxer), nullptr)) < 0)
            return fail("avformat_open_input", err);
        const std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> owned(
            again, [](AVFormatContext* ic) { avformat_close_input(&ic); });
        if ((err = avformat_find_stream_info(again, nullptr)) < 0)
            return fail("av_read_frame", err);
        if ((err = readToEnd(again, audioIndex_, &end)) < 0)
            return readFailure(again, err);
    }
    if (end == AV_NOPTS_VALUE || end < total)
        return ffmpegError("av_read_frame", AVERROR_EOF, beforeTheEnd);
    return std::nullopt;
}

} // namespace

std::optional<Error> copyKeptContainer(AVFormatContext* input, int audioIndex, int sourceFd, const RemuxJob& job,
                                       bool* createdOutput)
{
    return KeptCopy(input, audioIndex, sourceFd, job, createdOutput).copyWhole();
}

} // namespace mediaexport
