#include "VEQStore/SRTDocument.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace veq {
namespace {

using Block = SRTDocument::Block;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(SRTDocumentTimecode, RoundsClampsAndGrowsHours) {
    const struct {
        double seconds;
        const char* expected;
    } cases[] = {
        {0, "00:00:00,000"},
        {-3, "00:00:00,000"},
        {kNaN, "00:00:00,000"},
        {-kInf, "00:00:00,000"},
        {3723.4567, "01:02:03,457"},
        {59.9996, "00:01:00,000"},
        {1.0004, "00:00:01,000"},
        {360000, "100:00:00,000"},
        // Beyond the signed 64-bit count of milliseconds: that count's end, never undefined.
        {kInf, "2562047788015:12:55,807"},
        {1e300, "2562047788015:12:55,807"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SRTDocument::timecode(c.seconds), c.expected) << c.seconds;
    }
}

TEST(SRTDocumentParse, ReadsEachPieceByTheTimeLineRules) {
    const struct {
        const char* name;
        std::string text;
        std::vector<Block> expected;
    } cases[] = {
        {"empty", "", {}},
        {"only blank lines", "\n\n\n   \n\n", {}},
        {"one block", "1\n00:00:01,000 --> 00:00:02,500\nBonjour\n\n", {{1.0, 2.5, "Bonjour"}}},
        {"no sequence number", "00:00:01,000 --> 00:00:02,000\nA\n", {{1.0, 2.0, "A"}}},
        {"number that is no integer is the time line", "1a\n00:00:01,000 --> 00:00:02,000\nA\n", {}},
        {"signed number", "+7\n00:00:01,000 --> 00:00:02,000\nA", {{1.0, 2.0, "A"}}},
        {"number beyond 64 bits is the time line", "99999999999999999999\n00:00:01,000 --> 00:00:02,000\nA", {}},
        {"no spaces around the arrow", "1\n00:00:01,000-->00:00:02,000\nA", {{1.0, 2.0, "A"}}},
        {"full stops", "1\n00:00:01.000 --> 00:00:02.000\nA", {{1.0, 2.0, "A"}}},
        {"short arrow", "1\n00:00:01,000 -> 00:00:02,000\nA", {}},
        {"two arrows", "1\n00:00:01,000 --> 00:00:02,000 --> 00:00:03,000\nA", {}},
        {"two clock fields", "1\n01:02,000 --> 00:00:02,000\nA", {}},
        {"milliseconds are a count", "1\n00:00:01,5 --> 00:00:01,abc\nA", {{1.005, 1.0, "A"}}},
        {"no milliseconds", "1\n00:00:01 --> 00:00:03\nA", {{1.0, 3.0, "A"}}},
        {"space inside a clock field", "1\n00:00: 01,000 --> 00:00:02,000\nA", {}},
        {"empty clock field", "1\n00::01,000 --> 00:00:02,000\nA", {}},
        {"fields are not range-checked", "1\n00:75:00,000 --> 01:15:01,000\nA", {{4500.0, 4501.0, "A"}}},
        {"tabs and spaces around timecodes", "1\n\t00:00:01,000 \t-->\t 00:00:02,000  \nA", {{1.0, 2.0, "A"}}},
        {"empty line inside the text", "1\n00:00:01,000 --> 00:00:02,000\nA\n\nB\n", {{1.0, 2.0, "A"}}},
        {"space-only line does not separate",
         "1\n00:00:01,000 --> 00:00:02,000\nA\n \n2\n00:00:03,000 --> 00:00:04,000\nB",
         {{1.0, 2.0, "A\n \n2\n00:00:03,000 --> 00:00:04,000\nB"}}},
        {"whitespace-only text", "1\n00:00:01,000 --> 00:00:02,000\n  \t ", {}},
        {"no text line", "1\n00:00:01,000 --> 00:00:02,000", {}},
        {"leading blank lines inside a piece", " \n\t\n3\n00:00:01,000 --> 00:00:02,000\nA", {{1.0, 2.0, "A"}}},
        {"text trimmed, inner lines kept", "1\n00:00:01,000 --> 00:00:02,000\n  A\n B  \n", {{1.0, 2.0, "A\n B"}}},
        {"unicode spaces trimmed", "1\n00:00:01,000 --> 00:00:02,000\n\u00A0A\u2003", {{1.0, 2.0, "A"}}},
        {"out of order and overlapping kept in order",
         "1\n00:00:05,000 --> 00:00:06,000\nB\n\n2\n00:00:01,000 --> 00:00:09,000\nA\n",
         {{5.0, 6.0, "B"}, {1.0, 9.0, "A"}}},
        {"bad piece dropped, rest read",
         "1\nnot a time\nX\n\n2\n00:00:01,000 --> 00:00:02,000\nY\n", {{1.0, 2.0, "Y"}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SRTDocument::parse(c.text).blocks, c.expected) << c.name;
    }
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
    for (const std::string& variant : {replaced("\r\n"), replaced("\r"), "\xEF\xBB\xBF" + lf,
                                       "\xEF\xBB\xBF" + replaced("\r\n")}) {
        EXPECT_EQ(SRTDocument::parse(variant), expected);
    }
}

TEST(SRTDocumentParse, ReadsInfinityWithoutStoppingAndRendersClamped) {
    // A field such as "inf" is a number to the decimal reader; the text must still render.
    const auto doc = SRTDocument::parse("1\ninf:00:00,000 --> 00:00:01,000\nA\n");
    ASSERT_EQ(doc.blocks.size(), 1u);
    EXPECT_TRUE(std::isinf(doc.blocks[0].start));
    EXPECT_EQ(doc.render(), "1\n2562047788015:12:55,807 --> 00:00:01,000\nA\n\n");
}

TEST(SRTDocumentRender, NumbersBlocksAndRoundTrips) {
    EXPECT_EQ(SRTDocument{}.render(), "");
    const std::string text = "1\n00:00:01,000 --> 00:00:02,500\nBonjour\n\n"
                             "2\n00:01:00,250 --> 01:00:00,000\nligne un\nligne deux\n\n";
    const SRTDocument doc = SRTDocument::parse(text);
    EXPECT_EQ(doc.render(), text);
    EXPECT_EQ(SRTDocument::parse(doc.render()), doc);

    // Numbers come from the position, not from the source.
    EXPECT_EQ(SRTDocument::parse("7\n00:00:01,000 --> 00:00:02,000\nA\n").render(),
              "1\n00:00:01,000 --> 00:00:02,000\nA\n\n");
}

TEST(SRTDocumentValues, DurationsAndShift) {
    EXPECT_EQ(SRTDocument{}.duration(), 0.0);
    EXPECT_TRUE(SRTDocument{}.isEmpty());
    const SRTDocument doc{{{0, 10, "a"}, {2, 4, "b"}}};
    EXPECT_EQ(doc.duration(), 4.0); // the last block's end, not the latest
    EXPECT_FALSE(doc.isEmpty());

    const struct {
        Block block;
        double duration;
    } cases[] = {{{1, 3.5, ""}, 2.5}, {{5, 2, ""}, 0.0}, {{kNaN, 2, ""}, 0.0}, {{kInf, kInf, ""}, 0.0}};
    for (const auto& c : cases) EXPECT_EQ(c.block.duration(), c.duration);

    EXPECT_EQ((Block{1, 2, "x"}.shifted(-3)), (Block{-2, -1, "x"}));
}

} // namespace
} // namespace veq
