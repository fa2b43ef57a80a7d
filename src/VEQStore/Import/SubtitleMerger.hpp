#pragma once

#include "VEQStore/Export/SRTDocument.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

// Joins the SRT files that lie beside numbered video segments (same base name) into one
// document whose times run along the whole video.
namespace veq::SubtitleMerger {

// How the start of each document after the first is found.
struct Alignment {
    enum class Kind {
        videoDurations,  // values: each segment's video length in seconds, one per document
        explicitOffsets, // values: each document's start in seconds, by index (the first is always 0)
        lastSubtitleEnd, // each document starts where the previous one's last block ends
    };

    Kind kind = Kind::lastSubtitleEnd;
    std::vector<double> values;

    static Alignment videoDurations(std::vector<double> durations) { return {Kind::videoDurations, std::move(durations)}; }
    static Alignment explicitOffsets(std::vector<double> offsets) { return {Kind::explicitOffsets, std::move(offsets)}; }
    static Alignment lastSubtitleEnd() { return {Kind::lastSubtitleEnd, {}}; }

    bool operator==(const Alignment&) const = default;
};

struct Result {
    SRTDocument document;
    std::vector<double> offsets; // the start applied to each input document, in order
    double coverage = 0;         // the end of the merged document's last block, 0 without blocks
    std::optional<double> videoDuration;
    bool isExact = true; // offsets rest on known segment lengths or explicit starts, not on subtitle ends

    // Whether the subtitles reach the video's end, with one second of slack; nothing when the
    // video's length is unknown.
    std::optional<bool> coversVideo() const;

    bool operator==(const Result&) const = default;
};

// A base name ending in a run of digits: "DJI_0001" is ("DJI_", 1, 4).
struct Sequence {
    std::string prefix;
    std::int64_t number = 0;
    std::size_t digits = 0;

    bool operator==(const Sequence&) const = default;
};

Result concatenate(const std::vector<SRTDocument>& documents, const Alignment& alignment);
// Reads and parses each file, then concatenates; the first file that cannot be read is thrown
// as veq::Error.
Result concatenate(const std::vector<std::filesystem::path>& files, const Alignment& alignment);

// The subtitle beside a video (".srt", ".SRT" or ".Srt"), or nothing.
std::optional<std::filesystem::path> companionSubtitle(const std::filesystem::path& video);
// The video beside a subtitle (MP4, MOV, M4V or INSV, upper case first), or nothing.
std::optional<std::filesystem::path> companionVideo(const std::filesystem::path& subtitle);

std::optional<Sequence> sequence(std::string_view baseName);
// The files numbered after `file` in its folder, with the same extension in any of three
// cases, up to the first gap or `limit` files.
std::vector<std::filesystem::path> followingFiles(const std::filesystem::path& file, int limit);

// A video's length in seconds; nothing when the file is no readable video, when reading it
// takes too long or when `stop` is requested.
std::optional<double> duration(const std::filesystem::path& video, std::stop_token stop = {});

// The video's own subtitle followed by the subtitles of the next numbered segments until they
// cover the video less `tolerance` seconds. Nothing when the video has no subtitle; throws
// veq::Error only when that subtitle cannot be read.
std::optional<Result> autoAssemble(const std::filesystem::path& video, double tolerance, std::stop_token stop = {});

} // namespace veq::SubtitleMerger
