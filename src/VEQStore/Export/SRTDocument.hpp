#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veq {

// A SubRip subtitle file as values: timed text blocks in document order (never sorted).
struct SRTDocument {
    struct Block {
        double start = 0; // seconds from the beginning of the video
        double end = 0;
        std::string text; // lines joined by line feeds

        // end - start, or 0 when that is negative or not a number.
        double duration() const;
        // The same text moved by `seconds`; no clamping, so a block may start before 0.
        Block shifted(double seconds) const;

        bool operator==(const Block&) const = default;
    };

    std::vector<Block> blocks;

    // The end of the last block (not the latest end of all); 0 without blocks.
    double duration() const;
    bool isEmpty() const { return blocks.empty(); }

    // Numbered blocks, line feeds only, each followed by a blank line; "" without blocks.
    std::string render() const;

    // "HH:MM:SS,mmm", rounded to the millisecond; negative and NaN times read as 0, and a time
    // beyond the signed 64-bit count of milliseconds (an infinity included) as that count's end.
    static std::string timecode(double seconds);

    // Never fails: a piece without a readable time line or without text is dropped.
    static SRTDocument parse(std::string_view text);

    bool operator==(const SRTDocument&) const = default;
};

} // namespace veq
