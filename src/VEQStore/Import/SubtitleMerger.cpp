#include "VEQStore/Import/SubtitleMerger.hpp"

#include "VEQSupport/Error.hpp"
#include "VEQSupport/FileReading.hpp"
#include "VEQSupport/Text.hpp"

#include <fmt/format.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <numeric>

namespace veq::SubtitleMerger {

namespace fs = std::filesystem;

namespace {

constexpr std::array<std::string_view, 3> kSubtitleExtensions = {"srt", "SRT", "Srt"};
constexpr std::array<std::string_view, 8> kVideoExtensions = {"MP4", "mp4", "MOV", "mov", "M4V", "m4v", "INSV", "insv"};

// How many numbered files automatic assembly follows at most.
constexpr int kMaxFollowingFiles = 200;
// A subtitle file larger than this is no camera's subtitle track; it is refused, not loaded.
constexpr std::size_t kMaxSubtitleBytes = 64u * 1024 * 1024;
// Slack when a segment's unknown length is deduced from the video's.
constexpr double kConsistencySlack = 0.001;

SRTDocument readSubtitle(const fs::path& file) {
    return SRTDocument::parse(text::decodeUTF8Lossy(readWholeFile(file, kMaxSubtitleBytes)));
}

fs::path withExtension(fs::path file, std::string_view extension) {
    return file.replace_extension(extension.empty() ? std::string() : "." + std::string(extension));
}

std::optional<fs::path> firstExisting(const fs::path& file, const auto& extensions) {
    for (const auto& extension : extensions) {
        auto candidate = withExtension(file, extension);
        std::error_code ec;
        if (fs::exists(candidate, ec)) return candidate;
    }
    return std::nullopt;
}

std::string lowerASCII(std::string s) {
    for (auto& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return s;
}

// Compared as the same file: absolute, with "." and ".." resolved (symbolic links are not).
fs::path standardised(const fs::path& file) {
    std::error_code ec;
    const auto absolute = fs::absolute(file, ec);
    return (ec ? file : absolute).lexically_normal();
}

} // namespace

std::optional<bool> Result::coversVideo() const {
    if (!videoDuration) return std::nullopt;
    return *videoDuration - 1.0 <= coverage;
}

Result concatenate(const std::vector<SRTDocument>& documents, const Alignment& alignment) {
    Result result;
    const auto& values = alignment.values;
    double offset = 0;
    bool exact = true;
    for (std::size_t i = 0; i < documents.size(); ++i) {
        const auto& document = documents[i];
        result.offsets.push_back(offset);
        for (const auto& block : document.blocks) result.document.blocks.push_back(block.shifted(offset));
        switch (alignment.kind) {
        case Alignment::Kind::videoDurations:
            if (i < values.size()) {
                offset += values[i];
            } else {
                offset += document.duration();
                exact = false;
            }
            break;
        case Alignment::Kind::explicitOffsets:
            offset = i + 1 < values.size() ? values[i + 1] : offset + document.duration();
            break;
        case Alignment::Kind::lastSubtitleEnd:
            offset += document.duration();
            exact = false;
            break;
        }
    }
    result.coverage = result.document.duration();
    if (alignment.kind == Alignment::Kind::videoDurations) {
        result.videoDuration = std::accumulate(values.begin(), values.end(), 0.0);
    }
    result.isExact = exact || documents.size() < 2;
    return result;
}

Result concatenate(const std::vector<fs::path>& files, const Alignment& alignment) {
    std::vector<SRTDocument> documents;
    documents.reserve(files.size());
    for (const auto& file : files) documents.push_back(readSubtitle(file));
    return concatenate(documents, alignment);
}

std::optional<fs::path> companionSubtitle(const fs::path& video) { return firstExisting(video, kSubtitleExtensions); }

std::optional<fs::path> companionVideo(const fs::path& subtitle) { return firstExisting(subtitle, kVideoExtensions); }

std::optional<Sequence> sequence(std::string_view baseName) {
    // The trailing run of Unicode decimal digits; a run holding any non-ASCII digit is no number.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(baseName.data());
    auto start = static_cast<std::int32_t>(std::min<std::size_t>(baseName.size(), std::numeric_limits<std::int32_t>::max()));
    const std::int32_t end = start;
    std::size_t digits = 0;
    bool asciiOnly = true;
    while (start > 0) {
        std::int32_t before = start;
        UChar32 c = 0;
        U8_PREV(bytes, 0, before, c);
        if (c < 0 || u_charType(c) != U_DECIMAL_DIGIT_NUMBER) break;
        asciiOnly = asciiOnly && c < 0x80;
        start = before;
        ++digits;
    }
    if (digits == 0 || !asciiOnly) return std::nullopt;
    std::int64_t number = 0;
    const auto [ptr, error] = std::from_chars(baseName.data() + start, baseName.data() + end, number);
    if (error != std::errc{} || ptr != baseName.data() + end) return std::nullopt;
    return Sequence{std::string(baseName.substr(0, static_cast<std::size_t>(start))), number, digits};
}

std::vector<fs::path> followingFiles(const fs::path& file, int limit) {
    std::vector<fs::path> files;
    const auto numbered = sequence(file.stem().string());
    if (!numbered) return files;
    std::string extension = file.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    const std::array<std::string, 3> extensions = {extension, lowerASCII(extension), text::toUpperASCII(extension)};
    const auto folder = file.parent_path();
    for (std::int64_t k = numbered->number; static_cast<int>(files.size()) < limit;) {
        if (k == std::numeric_limits<std::int64_t>::max()) break; // no successor to number
        ++k;
        const auto name = folder / fmt::format("{}{:0{}}", numbered->prefix, k, numbered->digits);
        const auto next = firstExisting(name, extensions);
        if (!next) break; // the first gap in the numbering ends the list
        files.push_back(*next);
    }
    return files;
}

std::optional<Result> autoAssemble(const fs::path& video, double tolerance, std::stop_token stop) {
    const auto subtitle = companionSubtitle(video);
    if (!subtitle) return std::nullopt;
    const auto first = readSubtitle(*subtitle);
    const auto videoLength = duration(video, stop);
    if (!videoLength) return concatenate(std::vector<SRTDocument>{first}, Alignment::lastSubtitleEnd());
    const double wanted = *videoLength - tolerance;
    if (wanted <= first.duration()) return Result{first, {0.0}, first.duration(), videoLength, true};

    // A segment's own video length; unknown when that video is the one being covered.
    const auto segmentLength = [&](const fs::path& segmentSubtitle) -> std::optional<double> {
        const auto segmentVideo = companionVideo(segmentSubtitle);
        if (!segmentVideo || standardised(*segmentVideo) == standardised(video)) return std::nullopt;
        return duration(*segmentVideo, stop);
    };
    std::vector<SRTDocument> documents = {first};
    std::vector<std::optional<double>> lengths = {segmentLength(*subtitle)};
    const auto covered = [&] {
        double sum = 0;
        for (std::size_t i = 0; i < documents.size(); ++i) sum += lengths[i].value_or(documents[i].duration());
        return sum;
    };
    for (const auto& file : followingFiles(*subtitle, kMaxFollowingFiles)) {
        if (covered() >= wanted || stop.stop_requested()) break;
        SRTDocument document;
        try {
            document = readSubtitle(file);
        } catch (const Error&) {
            continue; // an unreadable segment is skipped like an empty one
        }
        if (document.isEmpty()) continue;
        documents.push_back(std::move(document));
        lengths.push_back(segmentLength(file));
    }

    // One unknown length can be deduced from the video's, when the subtitles agree with it.
    if (std::count(lengths.begin(), lengths.end(), std::nullopt) == 1) {
        const auto unknown = static_cast<std::size_t>(std::find(lengths.begin(), lengths.end(), std::nullopt) - lengths.begin());
        double remaining = *videoLength;
        for (const auto& length : lengths) remaining -= length.value_or(0.0);
        const auto& document = documents[unknown];
        if (document.isEmpty() ? remaining >= -kConsistencySlack : document.duration() - kConsistencySlack <= remaining) {
            lengths[unknown] = remaining;
        }
    }

    std::vector<double> offsets;
    double start = 0;
    bool exact = true;
    for (std::size_t i = 0; i < documents.size(); ++i) {
        offsets.push_back(start);
        if (i + 1 == documents.size()) break;
        if (lengths[i]) {
            start += *lengths[i];
        } else {
            start += documents[i].duration();
            exact = false;
        }
    }
    auto merged = concatenate(documents, Alignment::explicitOffsets(offsets));
    return Result{std::move(merged.document), std::move(offsets), merged.coverage, videoLength, exact};
}

} // namespace veq::SubtitleMerger
