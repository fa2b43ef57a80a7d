#include "VEQProtocol/ECUResponder.hpp"
#include "VEQProtocol/ELM327Parser.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace veq {
namespace {

// ISO 15765-4: 7E0 to 7E7 answer from 7E8 to 7EF; a 29-bit request 18DA<target><source> is
// answered from 18DA<source><target>. Other headers have no pair.
TEST(ECUResponder, TheISOPairOfAPhysicalRequestHeader) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"7E0", "7E8"},           {"7e7", "7EF"},      {"7E3", "7EB"},   {"18DA10F1", "18DAF110"},
        {"18 da 28 f1", "18DAF128"}, {"7DF", std::nullopt}, {"740", std::nullopt}, {"7E8", std::nullopt},
        {"18DB33F1", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& [request, own] : cases) {
        const std::optional<ECUResponder> responder = ECUResponder::ofISO(request);
        EXPECT_EQ(responder ? std::optional(responder->own()) : std::nullopt, own) << request;
    }
}

// Which messages of a reply read with 11-bit headers are the engine's (7E8), among units known
// to answer from 7E9 and 7B0: its own wherever they stand, else the first from a header no unit
// claims, else none.
TEST(ECUResponder, AReplyIsReadAsItsECUGaveIt) {
    const ECUResponder engine("7e8", {"7E9", "7B0"});
    const struct {
        const char* reply;
        std::vector<std::string> headers; // of the messages kept, first and follow-ups
        bool onlyOthers, unclaimed;
    } cases[] = {
        {"7E8 02 7E 00", {"7E8"}, false, false},
        {"7E9 03 7F 19 78\r7E8 02 7E 00", {"7E8"}, false, false},
        {"7E8 02 7E 00\r7E9 02 7E 00", {"7E8"}, false, false},
        {"7E8 03 7F 22 78\r7E9 03 7F 22 78\r7E8 04 62 F1 90 41", {"7E8", "7E8"}, false, false},
        {"7E9 02 7E 00", {}, true, false},
        {"7B0 02 7E 00\r7EC 02 7E 00", {}, true, false},  // a known unit's, and another ISO header's
        {"7A8 02 7E 00\r7E9 02 7E 00", {"7A8"}, false, true}, // claimed by no unit
        {"7E9 02 7E 00\r7A8 02 7E 00", {"7A8"}, false, true},
        {"7A8 02 7E 00\r7E8 02 7E 00", {"7E8"}, false, false},
        {"NO DATA", {}, false, false},
    };
    for (const auto& c : cases) {
        const ELM327Response reply = ELM327Parser::parse(std::string(c.reply) + "\r\r>", FrameFormat::can11);
        const ELM327Response own = engine.view(reply);
        std::vector<std::string> headers;
        for (const ECUResponse& m : own.ecus) headers.push_back(m.header.value_or("-"));
        for (const ECUResponse& m : own.followUps) headers.push_back(m.header.value_or("-"));
        EXPECT_EQ(headers, c.headers) << c.reply;
        EXPECT_EQ(own.lines, reply.lines) << c.reply;
        EXPECT_EQ(engine.onlyOthers(reply), c.onlyOthers) << c.reply;
        EXPECT_EQ(engine.takesUnclaimed(reply), c.unclaimed) << c.reply;
        EXPECT_EQ(engine.holdsOwn(reply), !c.headers.empty() && c.headers.front() == "7E8") << c.reply;
    }
    // Without headers no message names its ECU: the reply is every request's, as it came.
    const ELM327Response plain = ELM327Parser::parse(std::string("62 F1 90 41\r\r>"), FrameFormat::headersOff);
    EXPECT_EQ(engine.view(plain), plain);
    EXPECT_FALSE(engine.onlyOthers(plain));
}

// A header two units share is each one's own, and the functional header names no ECU alone.
TEST(ECUResponder, ASharedHeaderIsEachUnitsOwn) {
    const ECUResponder shared("7E8", {"7E9", "7E8"});
    EXPECT_FALSE(shared.isAnothers("7E8"));
    EXPECT_TRUE(shared.isAnothers("7E9"));
    EXPECT_FALSE(shared.namesItAlone());
    EXPECT_TRUE(ECUResponder("7E8", {"7E9"}).namesItAlone());
    EXPECT_FALSE(ECUResponder("7DF").namesItAlone());
    // 29-bit: every other physical response header is another ECU's.
    const ECUResponder engine29 = *ECUResponder::ofISO("18DA10F1");
    EXPECT_TRUE(engine29.isAnothers("18DAF118"));
    EXPECT_FALSE(engine29.isAnothers("18DAF110"));
    EXPECT_FALSE(engine29.isAnothers("18FEF100"));
}

} // namespace
} // namespace veq
