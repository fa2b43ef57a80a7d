#include "VEQProtocol/ELM327Parser.hpp"
#include "VEQProtocol/RequestEcho.hpp"

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

TEST(RequestEcho, OnlyAnExactPositiveAnswerNamesARequestAndAPendingOneIsNotAnAnswerYet) {
    const RequestEcho read{0x22, {0xF1, 0x90}};
    const struct {
        const char* reply;
        bool named, pending;
    } cases[] = {
        {"7E8 05 62 F1 90 41 42", true, false},
        {"7E8 04 62 F1 91 41", false, false},
        {"7E8 03 7F 22 31", false, false},
        {"7E8 03 7F 22 78", false, true},
        {"7E8 03 7F 22 78\r7E8 05 62 F1 90 41 42", true, false}, // the answer came in the same reply
        {"NO DATA", false, false},
    };
    for (const auto& c : cases) {
        const ELM327Response reply = ELM327Parser::parse(std::string_view(c.reply), FrameFormat::can11);
        EXPECT_EQ(read.namedExactlyBy(reply), c.named) << c.reply;
        EXPECT_EQ(RequestEcho::stillPending(reply), c.pending) << c.reply;
    }
}

} // namespace
} // namespace veq
