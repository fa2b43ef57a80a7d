#include "VEQEngine/Session/KeptAnswers.hpp"

#include "VEQProtocol/ELM327Parser.hpp"

#include <gtest/gtest.h>

namespace veq {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

ELM327Response parsed(std::string_view text, FrameFormat format = FrameFormat::can11) {
    return ELM327Parser::parse(std::string(text) + "\r\r>", format, "");
}

// Which answers name a read of the scans: a positive answer echoing it, or the test request's
// refusal; never an answer still to come, a busy ECU's, or a refusal of a read by identifier.
TEST(KeptAnswers, AnAnswerNamesItsReadByItsFirstBytes) {
    const struct {
        Bytes payload;
        std::optional<std::string> read;
    } cases[] = {
        {{0x7E, 0x00}, "3E00"},
        {{0x62, 0xF1, 0x87, 0x41}, "22F187"},
        {{0x62, 0x01, 0x0A}, "22010A"},
        {{0x59, 0x02, 0xFF, 0x01, 0x71, 0x00, 0x08}, "1902"},
        {{0x7F, 0x3E, 0x11}, "3E00"},
        {{0x7F, 0x3E, 0x78}, std::nullopt},
        {{0x7F, 0x3E, 0x21}, std::nullopt},
        {{0x7F, 0x22, 0x31}, std::nullopt},
        {{0x7F, 0x19, 0x12}, std::nullopt},
        {{0x7E, 0x80}, std::nullopt},
        {{0x62, 0xF1}, std::nullopt},
        {{0x59, 0x01, 0xFF}, std::nullopt},
        {{0x41, 0x0D, 0x20}, std::nullopt},
        {{0x7E}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(KeptAnswers::readAnsweredBy(c.payload), c.read) << c.read.value_or("-");
    EXPECT_EQ(KeptAnswers::readOf("1902FF"), "1902");
    EXPECT_EQ(KeptAnswers::readOf("22 f1 87"), "22F187");
    EXPECT_EQ(KeptAnswers::ownHeaders({"7E8", "7e9", "7E9", "", "7DF", "7EA"}), (Strings{"7E8", "7EA"}));
}

// Only complete answers from a watched header are kept, the latest per read, within the bound;
// taking one leaves the others, and a header no longer watched forgets its own.
TEST(KeptAnswers, KeepsTheLatestCompleteAnswerOfEachReadFromTheHeadersWatched) {
    KeptAnswers kept;
    kept.offer(parsed("7E8 02 7E 00"));
    EXPECT_EQ(kept.size(), 0u); // nothing watched
    kept.watch({"7e8", "7E9"});
    for (const char* ignored : {"7EA 02 7E 00", "7E8 10 0A 62 F1 87 41 42 43", "7E8 03 7F 22 31", "7E8 02 7E 00\rCAN ERROR",
                                "NO DATA", "OK"}) {
        kept.offer(parsed(ignored));
        EXPECT_EQ(kept.size(), 0u) << ignored;
    }
    kept.offer(parsed("02 7E 00", FrameFormat::headersOff));
    EXPECT_EQ(kept.size(), 0u); // without headers nothing names the ECU
    kept.offer(parsed("7E8 05 62 F1 87 41 42"));
    kept.offer(parsed("7E8 05 62 F1 87 41 43"));
    // Of one reply, the first whole answer: not a message cut short, nor a later one alike.
    kept.offer(parsed("7E8 10 0A 62 F1 87 41 42 43\r7E8 05 62 F1 87 41 44\r7E8 05 62 F1 87 41 45"));
    // A pending answer and the answer itself in one reply: the answer is kept.
    kept.offer(parsed("7E9 03 7F 19 78\r7E9 03 59 02 FF"));
    EXPECT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept.take("7E9", "1902FF"), (Bytes{0x59, 0x02, 0xFF}));
    EXPECT_EQ(kept.take("7E9", "1902FF"), std::nullopt);
    EXPECT_EQ(kept.take("7E8", "22F195"), std::nullopt);
    EXPECT_EQ(kept.take("7e8", "22F187"), (Bytes{0x62, 0xF1, 0x87, 0x41, 0x44}));

    kept.offer(parsed("7E8 02 7E 00"));
    kept.offer(parsed("7E9 02 7E 00"));
    kept.unwatch({"7E9"});
    EXPECT_EQ(kept.take("7E9", "3E00"), std::nullopt);
    EXPECT_EQ(kept.takeAll("7E8"), (std::vector<std::pair<std::string, Bytes>>{{"3E00", {0x7E, 0x00}}}));

    for (std::size_t k = 0; k <= KeptAnswers::maxKept; ++k) {
        char line[32];
        std::snprintf(line, sizeof line, "7E8 04 62 %02X %02X 41", static_cast<unsigned>(k >> 8), static_cast<unsigned>(k & 0xFF));
        kept.offer(parsed(line));
    }
    EXPECT_EQ(kept.size(), KeptAnswers::maxKept);
    EXPECT_EQ(kept.take("7E8", "220000"), std::nullopt); // the oldest went first
    EXPECT_TRUE(kept.take("7E8", "220001").has_value());
    kept.clear();
    EXPECT_EQ(kept.size(), 0u);
    EXPECT_TRUE(kept.watching());
}

} // namespace
} // namespace veq
