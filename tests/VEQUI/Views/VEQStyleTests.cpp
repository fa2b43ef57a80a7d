#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace veq {
namespace {

struct HexCase { std::uint32_t hex; int red, green, blue; };

TEST(ColorFromHex, ReadsRedGreenBlueFromTheLowThreeBytes) {
    static const HexCase cases[] = {
        {0x00E5FF,   0, 229, 255},
        {0xFF3B4E, 255,  59,  78},
        {0x123456,  18,  52,  86},
        {0xAB00E5FF, 0, 229, 255}, // the top byte changes nothing
        {0xFF000000, 0,   0,   0},
    };
    for (const auto& c : cases) {
        const QColor color = colorFromHex(c.hex);
        EXPECT_EQ(color.red(), c.red) << std::hex << c.hex;
        EXPECT_EQ(color.green(), c.green) << std::hex << c.hex;
        EXPECT_EQ(color.blue(), c.blue) << std::hex << c.hex;
        EXPECT_EQ(color.alpha(), 255) << std::hex << c.hex;
    }
}

TEST(ColorFromHex, EqualsThePaletteColourItNamesAndTakesAlphaAsOpacity) {
    EXPECT_EQ(colorFromHex(0x00E5FF, 1.0), VEQ::accent());
    EXPECT_EQ(colorFromHex(0x7F00E5FF, 1.0), VEQ::accent());
    EXPECT_EQ(colorFromHex(0xFFB020, 1.0), VEQ::warning());
    EXPECT_NEAR(colorFromHex(0xFFFFFF, 0.5).alphaF(), 0.5, 1e-4);
    EXPECT_EQ(colorFromHex(0xFFFFFF, 0.0).alpha(), 0);
    EXPECT_TRUE(colorFromHex(0xFFFFFF, 7.0).isValid());
}

TEST(VEQFonts, SizesArePixelsRoundedToTheNearestWithTheWeightAndTheFace) {
    for (const auto& [size, pixels] : {std::pair{10.0, 10}, {24.0, 24}, {23.2, 23}, {11.5, 12}, {0.2, 1}}) {
        EXPECT_EQ(VEQ::label(size, QFont::Medium).pixelSize(), pixels) << size;
        EXPECT_EQ(VEQ::numeric(size, QFont::Bold).pixelSize(), pixels) << size;
    }
    EXPECT_EQ(VEQ::label(10, QFont::Medium).weight(), QFont::Medium);
    EXPECT_EQ(VEQ::numeric(24, QFont::DemiBold).weight(), QFont::DemiBold);
    EXPECT_EQ(VEQ::label(10, QFont::Medium).family(), QStringLiteral("DejaVu Sans"));
}

} // namespace
} // namespace veq
