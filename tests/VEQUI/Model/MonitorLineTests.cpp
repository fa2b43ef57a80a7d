// Monitor lines into frames, and the table of identifiers they feed.
#include "VEQEngine/UDS/ProtocolSweep.hpp"
#include "VEQSupport/Text.hpp"
#include "VEQUI/Model/CANFrameTable.hpp"
#include "VEQUI/Model/MonitorLine.hpp"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <optional>
#include <string>
#include <vector>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct LineCase {
    std::string line;
    std::optional<std::string> id; // nothing: not a frame
    Bytes bytes;
};

const std::vector<LineCase> lineCases{
    {"7e8 03 41 0d 00", "7E8", {0x03, 0x41, 0x0D, 0x00}},
    {"7e8\t03\t41\t0d\t00", "7E8", {0x03, 0x41, 0x0D, 0x00}},
    {"  7E8   03  ", "7E8", {0x03}},
    {"7E8 XX 41 0D", "7E8", {0x41, 0x0D}},            // a piece that is no byte is skipped
    {"7E8 100 05 <RX ERROR", "7E8", {0x05}},          // above FF, adapter words
    {"7E8 000F 0f", "7E8", {0x0F, 0x0F}},             // leading zeros
    {"18DAF110 03 41 0D 00", "18DAF110", {0x03, 0x41, 0x0D, 0x00}},
    {"18 da f1 10 03 41 0d 00", "18DAF110", {0x03, 0x41, 0x0D, 0x00}},
    {"7E8 01 02 03 04 05 06 07 08 09 0A", "7E8", {1, 2, 3, 4, 5, 6, 7, 8}}, // 8 bytes at most
    {"7E8", std::nullopt, {}},
    {"7E8 ZZ", std::nullopt, {}},
    {"18 DA F1 10", std::nullopt, {}},                // a header and no data
    {"18 DA F1 10 ZZ", std::nullopt, {}},
    {"7E 03 41", std::nullopt, {}},
    {"12345 01", std::nullopt, {}},
    {"800 02 01 0D", std::nullopt, {}},               // beyond 11 bits
    {"41 41 41 41 41 41", std::nullopt, {}},          // beyond 29 bits: a garbled adapter's hex
    {"BUFFER FULL", std::nullopt, {}},
    {"SEARCHING...", std::nullopt, {}},
    {"CAN ERROR", std::nullopt, {}},
    {"NO DATA", std::nullopt, {}},
    {">", std::nullopt, {}},
    {"", std::nullopt, {}},
    {"   \t ", std::nullopt, {}},
};

using Date = std::chrono::system_clock::time_point;
const Date t0 = Date(std::chrono::seconds(1'772'355'600));

MonitorFrame frameAt(std::string id, Bytes bytes, double seconds) {
    MonitorFrame frame;
    frame.id = std::move(id);
    for (std::uint8_t b : bytes) frame.bytes[frame.size++] = b;
    frame.at = t0 + std::chrono::round<Date::duration>(std::chrono::duration<double>(seconds));
    return frame;
}

} // namespace

TEST(MonitorLineTests, LinesBecomeFramesOrNothing) {
    for (const LineCase& c : lineCases) {
        SCOPED_TRACE(c.line);
        const auto frame = MonitorFrame::parse(c.line);
        ASSERT_EQ(frame.has_value(), c.id.has_value());
        if (!frame) continue;
        EXPECT_EQ(frame->id, *c.id);
        EXPECT_EQ(Bytes(frame->data().begin(), frame->data().end()), c.bytes);
    }
}

TEST(MonitorLineTests, IdentifiersFollowTheProtocolSweepsRule) {
    for (const LineCase& c : lineCases) {
        SCOPED_TRACE(c.line);
        const auto swept = ProtocolSweep::frameIdentifier(c.line);
        const auto frame = MonitorFrame::parse(c.line);
        if (frame) {
            ASSERT_TRUE(swept.has_value());
            EXPECT_EQ(frame->id, text::toUpperASCII(*swept));
        }
        if (!swept) {
            EXPECT_FALSE(frame.has_value());
        }
    }
}

TEST(CANFrameTableTests, RowsCountFramesMarkChangedBytesAndMeasureTheRate) {
    struct Step {
        Bytes bytes;
        double at;
        Bytes expectedData;
        std::vector<bool> expectedChanged;
        int expectedCount;
        double expectedRate;
    };
    const std::vector<Step> steps{
        {{0x03, 0x41}, 0.00, {0x03, 0x41}, {false, false}, 1, 0.0},             // first frame
        {{0x03, 0x41}, 0.04, {0x03, 0x41}, {false, false}, 2, 0.0},             // span not above 0.05 s
        {{0x03, 0x41, 0x0D}, 0.10, {0x03, 0x41, 0x0D}, {false, false, true}, 3, 20.0}, // grows
        {{0x03, 0x42, 0x0D}, 0.20, {0x03, 0x42, 0x0D}, {false, true, false}, 4, 15.0},
        {{0x09}, 0.30, {0x09}, {true}, 5, 4 / 0.3},                             // shrinks
    };
    CANFrameTable table;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.at);
        ASSERT_TRUE(table.apply(frameAt("7E8", step.bytes, step.at)));
        ASSERT_EQ(table.size(), 1u);
        const CANFrameRow& row = table.rows().at("7E8");
        EXPECT_EQ(row.data, step.expectedData);
        EXPECT_EQ(row.changed, step.expectedChanged);
        EXPECT_EQ(row.count, step.expectedCount);
        EXPECT_EQ(row.firstSeen, t0);
        EXPECT_NEAR(row.rateHz(), step.expectedRate, 1e-9);
    }
}

TEST(CANFrameTableTests, NewIdentifiersPastTheBoundAreDroppedWhileKnownOnesUpdate) {
    CANFrameTable table;
    for (std::size_t i = 0; i < CANFrameTable::maxRows; ++i) {
        ASSERT_TRUE(table.apply(frameAt(fmt::format("{:08X}", i), {1}, 0.0)));
    }
    EXPECT_FALSE(table.apply(frameAt("1FFFFFFF", {1}, 0.1)));
    EXPECT_EQ(table.size(), CANFrameTable::maxRows);
    EXPECT_FALSE(table.rows().contains("1FFFFFFF"));
    EXPECT_TRUE(table.apply(frameAt("00000000", {2}, 0.2)));
    EXPECT_EQ(table.rows().at("00000000").count, 2);
    EXPECT_EQ(table.rows().at("00000000").changed, std::vector<bool>{true});
}
