// Video lengths for the subtitle merger, read with FFmpeg's libavformat.
#include "VEQStore/Import/SubtitleMerger.hpp"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <chrono>
#include <cmath>
#include <memory>
#include <string>

namespace veq::SubtitleMerger {

namespace {

// Reading a header takes milliseconds; a file that makes the demuxer read far longer is given up.
constexpr auto kReadTimeout = std::chrono::seconds(10);

// Camera segments are MP4 and QuickTime files (MP4, MOV, M4V, INSV): only that demuxer and only
// local files are offered to libavformat, so an arbitrary file meets no other parser.
constexpr const char* kFormats = "mov,mp4,m4a,3gp,3g2,mj2";

struct Interruption {
    std::chrono::steady_clock::time_point deadline;
    std::stop_token stop;
};

int interrupted(void* opaque) {
    const auto* interruption = static_cast<const Interruption*>(opaque);
    return interruption->stop.stop_requested() || std::chrono::steady_clock::now() > interruption->deadline ? 1 : 0;
}

struct InputCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

} // namespace

std::optional<double> duration(const std::filesystem::path& video, std::stop_token stop) {
    // Opening a pipe or a device would block before any time-out could act.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(video, ec) || stop.stop_requested()) return std::nullopt;
    const auto absolute = std::filesystem::absolute(video, ec);
    if (ec) return std::nullopt;

    Interruption interruption{std::chrono::steady_clock::now() + kReadTimeout, std::move(stop)};
    AVFormatContext* context = avformat_alloc_context();
    if (context == nullptr) return std::nullopt;
    context->interrupt_callback = {&interrupted, &interruption};
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", kFormats, 0);
    // "file:" keeps a name holding a colon from being taken for another protocol.
    const std::string url = "file:" + absolute.string();
    const int opened = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) return std::nullopt; // libavformat has freed the context
    const std::unique_ptr<AVFormatContext, InputCloser> input(context);

    if (avformat_find_stream_info(input.get(), nullptr) < 0 || input->duration == AV_NOPTS_VALUE) return std::nullopt;
    const double seconds = static_cast<double>(input->duration) / AV_TIME_BASE;
    if (!std::isfinite(seconds) || seconds <= 0) return std::nullopt;
    return seconds;
}

} // namespace veq::SubtitleMerger
