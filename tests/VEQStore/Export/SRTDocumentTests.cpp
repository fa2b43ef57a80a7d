#include "VEQStore/Export/SRTDocument.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace veq {
namespace {

using Block = SRTDocument::Block;
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(SRTDocumentTimecode, RoundsClampsAndGrowsHours) {
    // Beyond the signed 64-bit count of milliseconds: that count's end, never undefined.
    const std::pair<double, const char*> cases[] = {
        {-3, "00:00:00,000"}, {std::nan(""), "00:00:00,000"}, {3723.4567, "01:02:03,457"}, {59.9996, "00:01:00,000"},
        {360000, "100:00:00,000"}, {kInf, "2562047788015:12:55,807"}, {1e300, "2562047788015:12:55,807"},
    };
    for (const auto& [seconds, expected] : cases) EXPECT_EQ(SRTDocument::timecode(seconds), expected) << seconds;
}

TEST(SRTDocumentParse, ReadsEachPieceByTheTimeLineRules) {
    const std::tuple<const char*, std::string, std::vector<Block>> cases[] = {
        {"only blank lines", "\n\n\n   \n\n", {}},
        {"no sequence number", "00:00:01,000 --> 00:00:02,500\nA\n", {{1.0, 2.5, "A"}}},
        {"number that is no integer is the time line", "1a\n00:00:01,000 --> 00:00:02,000\nA\n", {}},
        {"full stops, no spaces around the arrow", "1\n00:00:01.000-->00:00:02.000\nA", {{1.0, 2.0, "A"}}},
        {"short arrow", "1\n00:00:01,000 -> 00:00:02,000\nA", {}},
        {"two arrows", "1\n00:00:01,000 --> 00:00:02,000 --> 00:00:03,000\nA", {}},
        {"two clock fields", "1\n01:02,000 --> 00:00:02,000\nA", {}},
        {"milliseconds are a count, or absent", "1\n00:00:01,5 --> 00:00:03\nA", {{1.005, 3.0, "A"}}},
        {"fields are not range-checked", "1\n00:75:00,000 --> 01:15:01,000\nA", {{4500.0, 4501.0, "A"}}},
        {"empty line inside the text ends the block", "1\n00:00:01,000 --> 00:00:02,000\nA\n\nB\n", {{1.0, 2.0, "A"}}},
        {"space-only line does not separate", "1\n00:00:01,000 --> 00:00:02,000\nA\n \n2\n00:00:03,000 --> 00:00:04,000\nB",
         {{1.0, 2.0, "A\n \n2\n00:00:03,000 --> 00:00:04,000\nB"}}},
        {"whitespace-only or no text", "1\n00:00:01,000 --> 00:00:02,000\n  \t \n\n1\n00:00:01,000 --> 00:00:02,000", {}},
        {"text trimmed (Unicode spaces too), inner lines kept", "1\n00:00:01,000 --> 00:00:02,000\n\u00A0 A\n B\u2003\n",
         {{1.0, 2.0, "A\n B"}}},
        {"out of order kept, bad piece dropped",
         "1\n00:00:05,000 --> 00:00:06,000\nB\n\n1\nnot a time\nX\n\n2\n00:00:01,000 --> 00:00:09,000\nA\n", {{5.0, 6.0, "B"}, {1.0, 9.0, "A"}}},
    };
    for (const auto& [name, text, expected] : cases) EXPECT_EQ(SRTDocument::parse(text).blocks, expected) << name;

    // A field such as "inf" is a number to the decimal reader; the text must still render.
    const auto infinite = SRTDocument::parse("1\ninf:00:00,000 --> 00:00:01,000\nA\n");
    EXPECT_EQ(infinite.render(), "1\n2562047788015:12:55,807 --> 00:00:01,000\nA\n\n");
}

TEST(SRTDocumentParse, LineEndsAndByteOrderMarkReadLikeLineFeeds) {
    const std::string lf = "1\n00:00:01,000 --> 00:00:02,000\nA\nB\n\n2\n00:00:03,000 --> 00:00:04,000\nC\n";
    auto replaced = [&](const std::string& with) {
        std::string out;
        for (char c : lf) out += c == '\n' ? with : std::string(1, c);
        return out;
    };
    const SRTDocument expected = SRTDocument::parse(lf);
    ASSERT_EQ(expected.blocks.size(), 2u);
    for (const std::string& variant : {replaced("\r\n"), replaced("\r"), "\xEF\xBB\xBF" + replaced("\r\n")}) {
        EXPECT_EQ(SRTDocument::parse(variant), expected);
    }
}

TEST(SRTDocumentRender, NumbersBlocksByPositionAndRoundTrips) {
    const std::string text = "1\n00:00:01,000 --> 00:00:02,500\nBonjour\n\n2\n00:01:00,250 --> 01:00:00,000\nligne un\nligne deux\n\n";
    EXPECT_EQ(SRTDocument::parse(text).render(), text);
    EXPECT_EQ(SRTDocument::parse("7\n00:00:01,000 --> 00:00:02,000\nA\n").render(), "1\n00:00:01,000 --> 00:00:02,000\nA\n\n");

    EXPECT_EQ((SRTDocument{{{0, 10, "a"}, {2, 4, "b"}}}.duration()), 4.0) << "the last block's end, not the latest";
    const std::pair<Block, double> durations[] = {{{1, 3.5, ""}, 2.5}, {{5, 2, ""}, 0.0}, {{std::nan(""), 2, ""}, 0.0}, {{kInf, kInf, ""}, 0.0}};
    for (const auto& [block, duration] : durations) EXPECT_EQ(block.duration(), duration);
    EXPECT_EQ((Block{1, 2, "x"}.shifted(-3)), (Block{-2, -1, "x"}));
}

} // namespace
} // namespace veq
