#include "tools/make_library/AudioEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace songgen {

namespace {

QString averror(const char* call, int err)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return QStringLiteral("%1: %2").arg(QLatin1String(call), QString::fromUtf8(buf));
}

struct CodecCtxDeleter { void operator()(AVCodecContext* c) const { avcodec_free_context(&c); } };
struct FrameDeleter { void operator()(AVFrame* f) const { av_frame_free(&f); } };
struct PacketDeleter { void operator()(AVPacket* p) const { av_packet_free(&p); } };
struct SwrDeleter { void operator()(SwrContext* s) const { swr_free(&s); } };
struct OutputDeleter {
    void operator()(AVFormatContext* oc) const
    {
        if (oc->pb && !(oc->oformat->flags & AVFMT_NOFILE))
            avio_closep(&oc->pb);
        avformat_free_context(oc);
    }
};

AVSampleFormat pickSampleFormat(const AVCodec* codec)
{
    if (!codec->sample_fmts)
        return AV_SAMPLE_FMT_S16;
    // Prefer 16-bit forms so lossless encoders keep the samples exactly.
    for (AVSampleFormat wanted : {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P})
        for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
            if (*f == wanted)
                return wanted;
    return codec->sample_fmts[0];
}

} // namespace

std::vector<std::int16_t> synthesize(std::uint32_t seed, double seconds, int sampleRate)
{
    const auto frames = static_cast<std::size_t>(std::max(0.0, seconds) * sampleRate);
    std::vector<std::int16_t> pcm(frames * kChannels);
    // A pentatonic tune: each note a decaying sine with one overtone.
    static const double scale[] = {261.63, 293.66, 329.63, 392.00, 440.00, 523.25, 587.33, 659.25};
    std::uint32_t rng = seed * 2246822519u + 374761393u;
    auto next = [&rng] { rng = rng * 1664525u + 1013904223u; return rng >> 8; };
    std::size_t pos = 0;
    while (pos < frames) {
        const double freq = scale[next() % 8] * (seed % 3 == 0 ? 0.5 : 1.0);
        const std::size_t length = std::min(frames - pos, static_cast<std::size_t>(sampleRate * (0.18 + 0.06 * (next() % 5))));
        for (std::size_t i = 0; i < length; ++i) {
            const double t = double(i) / sampleRate;
            const double env = std::exp(-3.0 * t) * std::min(1.0, t * 200.0);
            const double w = 2.0 * std::numbers::pi * freq * t;
            const double s = env * (0.6 * std::sin(w) + 0.2 * std::sin(2.0 * w));
            pcm[(pos + i) * 2] = static_cast<std::int16_t>(s * 12000.0);
            pcm[(pos + i) * 2 + 1] = static_cast<std::int16_t>(s * 11000.0 * std::cos(w * 0.002));
        }
        pos += length;
    }
    return pcm;
}

QString encode(const QString& path, const EncodeSpec& spec, const std::vector<std::int16_t>& pcm)
{
    av_log_set_level(AV_LOG_ERROR);
    const QByteArray file = path.toUtf8();
    AVFormatContext* rawOc = nullptr;
    int err = avformat_alloc_output_context2(&rawOc, nullptr, spec.muxer, file.constData());
    if (err < 0 || !rawOc)
        return averror("avformat_alloc_output_context2", err);
    std::unique_ptr<AVFormatContext, OutputDeleter> oc(rawOc);

    const AVCodec* codec = avcodec_find_encoder_by_name(spec.encoder);
    if (!codec)
        return QStringLiteral("no encoder named %1").arg(QLatin1String(spec.encoder));
    std::unique_ptr<AVCodecContext, CodecCtxDeleter> enc(avcodec_alloc_context3(codec));
    enc->sample_fmt = pickSampleFormat(codec);
    const int rate = spec.sampleRate;
    enc->sample_rate = rate;
    av_channel_layout_default(&enc->ch_layout, kChannels);
    enc->time_base = AVRational{1, rate};
    if (spec.bitRate > 0)
        enc->bit_rate = spec.bitRate;
    if (spec.vbrQuality >= 0) {
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = FF_QP2LAMBDA * spec.vbrQuality;
    }
    if (oc->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((err = avcodec_open2(enc.get(), codec, nullptr)) < 0)
        return averror("avcodec_open2", err);

    AVStream* st = avformat_new_stream(oc.get(), nullptr);
    if (!st)
        return QStringLiteral("avformat_new_stream failed");
    st->time_base = enc->time_base;
    if ((err = avcodec_parameters_from_context(st->codecpar, enc.get())) < 0)
        return averror("avcodec_parameters_from_context", err);

    if (!(oc->oformat->flags & AVFMT_NOFILE) && (err = avio_open(&oc->pb, file.constData(), AVIO_FLAG_WRITE)) < 0)
        return averror("avio_open", err);
    AVDictionary* opts = nullptr;
    if (QByteArray(spec.muxer) == "mp3")
        av_dict_set(&opts, "id3v2_version", "0", 0); // tags come later, from TagLib
    av_dict_set(&opts, "fflags", "+bitexact", 0);
    err = avformat_write_header(oc.get(), &opts);
    av_dict_free(&opts);
    if (err < 0)
        return averror("avformat_write_header", err);

    SwrContext* rawSwr = nullptr;
    AVChannelLayout stereo;
    av_channel_layout_default(&stereo, kChannels);
    if ((err = swr_alloc_set_opts2(&rawSwr, &enc->ch_layout, enc->sample_fmt, rate, &stereo, AV_SAMPLE_FMT_S16,
                                   rate, 0, nullptr)) < 0)
        return averror("swr_alloc_set_opts2", err);
    std::unique_ptr<SwrContext, SwrDeleter> swr(rawSwr);
    if ((err = swr_init(swr.get())) < 0)
        return averror("swr_init", err);

    std::unique_ptr<AVPacket, PacketDeleter> pkt(av_packet_alloc());
    auto drain = [&]() -> QString {
        for (;;) {
            int r = avcodec_receive_packet(enc.get(), pkt.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return {};
            if (r < 0)
                return averror("avcodec_receive_packet", r);
            av_packet_rescale_ts(pkt.get(), enc->time_base, st->time_base);
            pkt->stream_index = st->index;
            if ((r = av_interleaved_write_frame(oc.get(), pkt.get())) < 0)
                return averror("av_interleaved_write_frame", r);
        }
    };

    const bool variable = (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || enc->frame_size == 0;
    const int frameSize = variable ? 1024 : enc->frame_size;
    const std::size_t totalFrames = pcm.size() / kChannels;
    std::size_t done = 0;
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    while (done < totalFrames) {
        const int n = static_cast<int>(std::min<std::size_t>(frameSize, totalFrames - done));
        frame->nb_samples = n;
        frame->format = enc->sample_fmt;
        frame->sample_rate = rate;
        av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout);
        if ((err = av_frame_get_buffer(frame.get(), 0)) < 0)
            return averror("av_frame_get_buffer", err);
        const std::uint8_t* in[1] = {reinterpret_cast<const std::uint8_t*>(pcm.data() + done * kChannels)};
        if ((err = swr_convert(swr.get(), frame->data, n, in, n)) < 0)
            return averror("swr_convert", err);
        frame->pts = static_cast<std::int64_t>(done);
        if ((err = avcodec_send_frame(enc.get(), frame.get())) < 0)
            return averror("avcodec_send_frame", err);
        av_frame_unref(frame.get());
        if (QString e = drain(); !e.isEmpty())
            return e;
        done += static_cast<std::size_t>(n);
    }
    if ((err = avcodec_send_frame(enc.get(), nullptr)) < 0)
        return averror("avcodec_send_frame", err);
    if (QString e = drain(); !e.isEmpty())
        return e;
    if ((err = av_write_trailer(oc.get())) < 0)
        return averror("av_write_trailer", err);
    return {};
}

} // namespace songgen
