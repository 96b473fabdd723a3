#include "tests/support/MediaProbe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QFile>

namespace mediaprobe {

QByteArray Probe::audio() const
{
    QByteArray all;
    for (const QByteArray& p : packets)
        all += p;
    return all;
}

Probe probe(const QString& path, bool decode)
{
    Probe result;
    AVFormatContext* ic = nullptr;
    const QByteArray file = QFile::encodeName(path);
    if (avformat_open_input(&ic, file.constData(), nullptr, nullptr) < 0)
        return result;
    if (avformat_find_stream_info(ic, nullptr) < 0) {
        avformat_close_input(&ic);
        return result;
    }
    const int audio = av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    result.opened = audio >= 0;
    result.container = QString::fromLatin1(ic->iformat->name);
    if (audio >= 0)
        result.codec = QString::fromLatin1(avcodec_get_name(ic->streams[audio]->codecpar->codec_id));
    auto tag = [ic, audio](const char* key) {
        const AVDictionaryEntry* e = av_dict_get(ic->metadata, key, nullptr, 0);
        if (!e && audio >= 0)
            e = av_dict_get(ic->streams[audio]->metadata, key, nullptr, 0);
        return e ? QString::fromUtf8(e->value) : QString();
    };
    if (ic->duration > 0)
        result.seconds = double(ic->duration) / AV_TIME_BASE;
    result.title = tag("title");
    result.artist = tag("artist");
    result.album = tag("album");
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVStream* st = ic->streams[i];
        if ((st->disposition & AV_DISPOSITION_ATTACHED_PIC) && st->attached_pic.size > 0 && result.cover.isEmpty())
            result.cover = QByteArray(reinterpret_cast<const char*>(st->attached_pic.data), st->attached_pic.size);
    }
    AVCodecContext* decoder = nullptr;
    if (decode && audio >= 0) {
        const AVCodec* codec = avcodec_find_decoder(ic->streams[audio]->codecpar->codec_id);
        decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
        if (decoder && (avcodec_parameters_to_context(decoder, ic->streams[audio]->codecpar) < 0 ||
                        avcodec_open2(decoder, codec, nullptr) < 0))
            avcodec_free_context(&decoder);
    }
    AVFrame* frame = av_frame_alloc();
    const auto takeFrames = [&] {
        while (decoder && avcodec_receive_frame(decoder, frame) >= 0) {
            const int bytes = av_samples_get_buffer_size(nullptr, frame->ch_layout.nb_channels, frame->nb_samples,
                                                         AVSampleFormat(frame->format), 1);
            const bool planar = av_sample_fmt_is_planar(AVSampleFormat(frame->format));
            const int planes = planar ? frame->ch_layout.nb_channels : 1;
            for (int p = 0; p < planes && bytes > 0; ++p)
                result.decoded.append(reinterpret_cast<const char*>(frame->extended_data[p]), bytes / planes);
            result.decodedSamples += frame->nb_samples;
            av_frame_unref(frame);
        }
    };
    AVPacket* pkt = av_packet_alloc();
    while (audio >= 0 && av_read_frame(ic, pkt) >= 0) {
        if (pkt->stream_index == audio) {
            result.packets.emplace_back(reinterpret_cast<const char*>(pkt->data), pkt->size);
            if (decoder && avcodec_send_packet(decoder, pkt) >= 0)
                takeFrames();
        }
        av_packet_unref(pkt);
    }
    if (decoder && avcodec_send_packet(decoder, nullptr) >= 0)
        takeFrames();
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&decoder);
    avformat_close_input(&ic);
    return result;
}

QByteArray mdatPayload(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray m = f.readAll();
    qsizetype pos = 0;
    while (pos + 8 <= m.size()) {
        const auto* p = reinterpret_cast<const unsigned char*>(m.constData() + pos);
        const quint32 size = (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
        if (m.mid(pos + 4, 4) == "mdat")
            return m.mid(pos + 8, qsizetype(size) - 8);
        if (size < 8)
            return {};
        pos += size;
    }
    return {};
}

QByteArray afterId3v2(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray d = f.readAll();
    if (!d.startsWith("ID3") || d.size() < 10)
        return d;
    const auto* p = reinterpret_cast<const unsigned char*>(d.constData());
    const qsizetype size = (qsizetype(p[6] & 0x7f) << 21) | (qsizetype(p[7] & 0x7f) << 14) | (qsizetype(p[8] & 0x7f) << 7) | (p[9] & 0x7f);
    const qsizetype footer = (p[5] & 0x10) ? 10 : 0;
    return d.mid(10 + size + footer);
}

} // namespace mediaprobe
