// The gear of parameter 0xA4.
#include "VEQProtocol/TransmissionGear.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace veq;
using G = TransmissionGear;

TEST(TransmissionGearTests, FromRawByteUsesTheLowFourBits) {
    const std::pair<std::uint8_t, G> cases[] = {
        {0x00, G::neutral()}, {0x0D, G::forward(13)}, {0x0E, G::reverse()}, {0x0F, G::reverse()},
        {0x10, G::neutral()}, {0x23, G::forward(3)},  {0xFE, G::reverse()},
    };
    for (const auto& [raw, gear] : cases) EXPECT_EQ(G::fromRawByte(raw), gear) << int(raw);
}

TEST(TransmissionGearTests, FromValueRoundsHalfAwayFromZeroAndClamps) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, G> cases[] = {
        {3.4, G::forward(3)},  {2.5, G::forward(3)},    {0.49, G::neutral()}, {0.5, G::forward(1)},
        {13.49, G::forward(13)}, {13.5, G::reverse()}, {-0.5, G::neutral()}, {-2, G::neutral()},
        {16, G::neutral()},    {17.4, G::forward(1)},  {254.4, G::reverse()}, {1e9, G::reverse()},
        {nan, G::reverse()},   {inf, G::reverse()},    {-inf, G::neutral()},
    };
    for (const auto& [value, gear] : cases) EXPECT_EQ(G::fromValue(value), gear) << value;
}

TEST(TransmissionGearTests, LabelsAndQueries) {
    struct Case {
        G gear;
        const char* label;
        bool reverse;
        bool neutral;
        std::optional<int> forward;
    };
    const Case cases[] = {
        {G::forward(1), "1", false, false, 1},
        {G::forward(13), "13", false, false, 13},
        {G::reverse(), "R", true, false, std::nullopt},
        {G::neutral(), "N", false, true, std::nullopt},
        {G::unknown(0x22), "\u2014", false, false, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.gear.label(), c.label);
        EXPECT_EQ(c.gear.isReverse(), c.reverse) << c.label;
        EXPECT_EQ(c.gear.isNeutral(), c.neutral) << c.label;
        EXPECT_EQ(c.gear.forwardGear(), c.forward) << c.label;
    }
    EXPECT_EQ(G::unknown(0x22).unknownCode(), 0x22);
    EXPECT_EQ(G::forward(2).unknownCode(), std::nullopt);
    EXPECT_NE(G::unknown(0x22), G::unknown(0x23));
    EXPECT_NE(G::unknown(0), G::neutral());
}
