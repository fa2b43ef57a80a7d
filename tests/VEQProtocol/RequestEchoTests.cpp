#include "VEQProtocol/ELM327Parser.hpp"
#include "VEQProtocol/RequestEcho.hpp"
#include "VEQSupport/Text.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace veq {
namespace {

// A typed request names its answer as the adapter reads it: blanks aside, and the count of
// answers an adapter may be given after it ("010C1").
TEST(RequestEcho, ATypedRequestIsNamedByItsAnswer) {
    const struct {
        const char* typed;
        std::optional<RequestEcho> echo;
    } cases[] = {
        {"010C", RequestEcho{0x01, {0x0C}}},       {"01 0c", RequestEcho{0x01, {0x0C}}},
        {"010C1", RequestEcho{0x01, {0x0C}}},      {"0902", RequestEcho{0x09, {0x02}}},
        {"22F190", RequestEcho{0x22, {0xF1, 0x90}}}, {"03", RequestEcho{0x03, {}}},
        {"3E00", RequestEcho{0x3E, {}}},           {"ATRV", std::nullopt},
        {"7", std::nullopt},                       {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(RequestEcho::ofRequestText(c.typed), c.echo) << c.typed;
}

// Only a request that changes nothing in the car may be sent twice without the caller knowing.
TEST(RequestEcho, OnlyReadsMaySafelyBeAskedTwice) {
    const struct {
        const char* typed;
        bool onlyReads;
    } cases[] = {
        {"010C", true},   {"020C00", true}, {"03", true},     {"0902", true},    {"0A", true},
        {"22F190", true}, {"1902FF", true}, {"3E00", true},   {"04", false},     {"0801", false},
        {"1003", false},  {"1101", false},  {"14FFFFFF", false}, {"2701", false}, {"2EF19001", false},
        {"31010203", false},
    };
    for (const auto& c : cases) EXPECT_EQ(RequestEcho::ofRequestText(c.typed)->onlyReads(), c.onlyReads) << c.typed;
}

// The answer is the ECU's first whole message that names the request, past a "response pending";
// a message cut short or naming another request answers nothing.
TEST(RequestEcho, OnlyAnExactPositiveAnswerNamesARequestAndAPendingOneIsNotAnAnswerYet) {
    const RequestEcho read{0x22, {0xF1, 0x90}};
    const struct {
        const char* reply;
        bool named, pending, another;
    } cases[] = {
        {"7E8 05 62 F1 90 41 42", true, false, false},
        {"7E8 04 62 F1 91 41", false, false, true},
        {"7E8 03 7F 22 31", false, false, false},
        {"7E8 03 7F 19 31", false, false, true},
        {"7E8 03 7F 22 78", false, true, false},
        {"7E8 03 7F 22 78\r7E8 05 62 F1 90 41 42", true, false, false}, // the answer came in the same reply
        {"7E8 03 7F 22 78\r7E8 04 62 F1 91 41", false, true, false},    // another identifier's answer: still pending
        {"7E8 04 62 F1 91 41\r7E8 05 62 F1 90 41 42", true, false, false},
        {"7E8 05 62 F1 90 41 42\r7E8 03 7F 22 31", true, false, false}, // the first that names it
        {"7E8 10 09 62 F1 90 41\r7E8 05 62 F1 90 41 42", true, false, false}, // cut short, then whole
        {"7E8 10 09 62 F1 90 41\r7E8 04 62 F1 91 41", false, false, true},
        {"7E8 10 09 62 F1 90 41", false, false, false},
        // "response pending", then the answer broken: nothing is left to wait for
        {"7E8 03 7F 22 78\r7E8 10 09 62 F1 90 41\r7E8 22 30", false, false, false},
        {"NO DATA", false, false, false},
    };
    for (const auto& c : cases) {
        const ELM327Response reply = ELM327Parser::parse(std::string_view(c.reply), FrameFormat::can11);
        EXPECT_EQ(read.namedExactlyBy(reply), c.named) << c.reply;
        EXPECT_EQ(read.stillPending(reply), c.pending) << c.reply;
        EXPECT_EQ(read.readIn(reply).anotherRequest, c.another) << c.reply;
    }
}

// Of several ECUs, the first that answered the request decides: one whose whole messages all
// answer other requests (a slow ECU's late answer printed first) is passed over, any other is not.
TEST(RequestEcho, TheFirstECUThatAnsweredTheRequestDecides) {
    const struct {
        const char* request;
        const char* reply;
        FrameFormat format;
        const char* answer; // the answer's payload, empty for none
        bool cutShort;
    } cases[] = {
        {"010D", "7E9 04 41 0C 10 00\r7E8 03 41 0D 2A", FrameFormat::can11, "41 0D 2A", false},
        {"010D", "7E9 04 41 0C 10 00\r7EA 03 41 0C 10\r7E8 03 41 0D 2A", FrameFormat::can11, "41 0D 2A", false},
        {"010D", "18DAF119 04 41 0C 10 00\r18DAF110 03 41 0D 2A", FrameFormat::can29, "41 0D 2A", false},
        {"010D", "7E9 04 41 0C 10 00", FrameFormat::can11, "", false},
        // a negative answer, or a broken one, is the first ECU's word: the next one's is not read
        {"010C", "7E8 03 7F 01 12\r7E9 04 41 0C 1A F8", FrameFormat::can11, "7F 01 12", false},
        {"010C", "7E8 04 41 0C FF\r7E9 04 41 0C 1A F8", FrameFormat::can11, "", true},
        {"010C", "7E8 04 41 0D FF\r7E8 03 41 0D 20\r7E9 04 41 0C 1A F8", FrameFormat::can11, "", true},
    };
    for (const auto& c : cases) {
        const ELM327Response reply = ELM327Parser::parse(std::string_view(c.reply), c.format);
        const RequestEcho::Reading reading = RequestEcho::ofRequestText(c.request)->readIn(reply);
        EXPECT_EQ(reading.answer ? text::hexUpper(reading.answer->payload, " ") : "", c.answer) << c.reply;
        EXPECT_EQ(reading.cutShort, c.cutShort) << c.reply;
    }
}

} // namespace
} // namespace veq
