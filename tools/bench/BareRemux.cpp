// ripwell-bare-remux SRC DST: libavformat's own remux loop, the reference that
// shows what the library's packet path costs by itself. Every song under SRC
// goes into the container ripwell-cli writes for it (an MP3 only into the
// temporary movie, its first step; FLAC, Ogg and Opus, which ripwell-cli
// copies whole, through their muxers), the way FFmpeg's remuxing example does it:
// open with probing, analyse the streams, copy the stream's parameters, then
// one av_read_frame() and one av_write_frame() per packet. No tags, no cover,
// no checks, no record, none of the engine's buffers or options. With an empty
// SRC it measures the start of a program linked with libavformat.
extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

const char* muxerFor(const fs::path& song)
{
    const std::string ext = song.extension().string();
    if (ext == ".mp3")
        return "mov";
    if (ext == ".m4a")
        return "ipod";
    if (ext == ".wav")
        return "wav";
    if (ext == ".aif" || ext == ".aiff")
        return "aiff";
    if (ext == ".flac")
        return "flac";
    if (ext == ".ogg" || ext == ".oga")
        return "ogg";
    if (ext == ".opus")
        return "opus";
    return nullptr;
}

// The packets of the audio stream of `in`, read and written one by one into
// `out`, whose header is written; their number, or -1.
long copyPackets(AVFormatContext* in, int audio, AVFormatContext* out)
{
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        return -1;
    const AVStream* source = in->streams[audio];
    const AVStream* stream = out->streams[0];
    long packets = 0;
    while (packets >= 0 && av_read_frame(in, packet) >= 0) {
        if (packet->stream_index == audio) {
            av_packet_rescale_ts(packet, source->time_base, stream->time_base);
            packet->stream_index = 0;
            packet->pos = -1;
            packets = av_write_frame(out, packet) < 0 ? -1 : packets + 1;
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return packets;
}

// Returns the number of packets copied, or -1.
long remux(const fs::path& from, const fs::path& to, const char* muxer)
{
    AVFormatContext* in = nullptr;
    if (avformat_open_input(&in, from.c_str(), nullptr, nullptr) < 0)
        return -1;
    const int audio =
        avformat_find_stream_info(in, nullptr) < 0 ? -1 : av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    AVFormatContext* out = nullptr;
    AVStream* stream = nullptr;
    long packets = -1;
    if (audio >= 0 && avformat_alloc_output_context2(&out, nullptr, muxer, to.c_str()) >= 0 &&
        (stream = avformat_new_stream(out, nullptr)) &&
        avcodec_parameters_copy(stream->codecpar, in->streams[audio]->codecpar) >= 0) {
        stream->codecpar->codec_tag = 0;
        stream->time_base = in->streams[audio]->time_base;
        if (avio_open(&out->pb, to.c_str(), AVIO_FLAG_WRITE) >= 0) {
            if (avformat_write_header(out, nullptr) >= 0) {
                packets = copyPackets(in, audio, out);
                if (av_write_trailer(out) < 0)
                    packets = -1;
            }
            avio_closep(&out->pb);
        }
    }
    avformat_free_context(out);
    avformat_close_input(&in);
    return packets;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("Usage: ripwell-bare-remux SRC DST\n", stderr);
        return 2;
    }
    av_log_set_level(AV_LOG_FATAL);
    const fs::path source = argv[1];
    const fs::path destination = argv[2];
    long songs = 0;
    long packets = 0;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(source, error)) {
        const char* muxer = entry.is_regular_file() ? muxerFor(entry.path()) : nullptr;
        if (!muxer || entry.path().filename().string().front() == '.')
            continue;
        fs::path to = destination / fs::relative(entry.path(), source);
        fs::create_directories(to.parent_path(), error);
        to += std::string(".") + muxer;
        const long copied = remux(entry.path(), to, muxer);
        if (copied < 0) {
            std::fprintf(stderr, "ripwell-bare-remux: %s: cannot be remuxed\n", entry.path().c_str());
            return 1;
        }
        ++songs;
        packets += copied;
    }
    std::printf("%ld songs, %ld packets\n", songs, packets);
    return 0;
}
