// What the data-identifier list shows of one identifier: identity, texts and standard name.
#include "VEQEngine/DiscoveredDID.hpp"

#include <gtest/gtest.h>

using namespace veq;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(DiscoveredDID, FirstReadAndDisplayTexts) {
    const auto now = std::chrono::system_clock::now();
    const DiscoveredDID d = DiscoveredDID::make(0xF190, "7E0", {0x0A, 0xFF}, now);
    EXPECT_EQ(d.firstSeen, now);
    EXPECT_EQ(d.lastSeen, now);
    EXPECT_EQ(d.changed, (std::vector<bool>{false, false}));
    EXPECT_EQ(d.reads, 1);
    EXPECT_EQ(d.label, std::nullopt);
    EXPECT_EQ(d.id(), "7E0-0xF190");
    EXPECT_EQ(d.hexDID(), "0xF190");
    EXPECT_EQ(d.hexBytes(), "0A FF");
    EXPECT_EQ(DiscoveredDID::make(0x0001, "7E1", {}).id(), "7E1-0x0001");
    EXPECT_EQ(DiscoveredDID::make(0x0001, "7E1", {}).hexBytes(), "");
}

TEST(DiscoveredDID, StandardNameOnlyForStandardIdentifiers) {
    struct Case {
        std::uint16_t did;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {0xF190, "VIN"},
        {0xF187, "Numéro de pièce constructeur"},
        {0xF186, "Session diagnostique active"},
        {0xF180, std::nullopt},
        {0x2001, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.did);
        EXPECT_EQ(DiscoveredDID::make(c.did, "7E0", {}).standardName(), c.name);
    }
}

TEST(DiscoveredDID, AsciiValueNeedsEnoughPrintableBytes) {
    struct Case {
        Bytes bytes;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {{0x41, 0x42, 0x43}, "ABC"},
        {{0x41, 0x42}, std::nullopt},
        {{0x41, 0x00, 0x42, 0x43}, "ABC"},        // 3 of 4
        {{0x41, 0x00, 0x00, 0x43}, std::nullopt}, // 2 of 4
        {{0x41, 0x42, 0x00}, std::nullopt},       // 2 of 3
        {{0x20, 0x7E, 0x20}, " ~ "},
        {{0x41, 0x42, 0x43, 0x44, 0x45, 0x00, 0x00}, "ABCDE"},                 // 5 of 7: floor(21/4) = 5
        {{0x41, 0x42, 0x43, 0x44, 0x45, 0x7F, 0x7F, 0x80}, std::nullopt},     // 5 of 8
        {{}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        EXPECT_EQ(DiscoveredDID::make(0x0100, "7E0", c.bytes).asciiValue(), c.text);
    }
}

} // namespace
