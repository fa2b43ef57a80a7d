// The palette against its table.
#include "VEQUI/Model/VEQTheme.hpp"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace veq;

namespace {

struct PaletteRow {
    const char* name;
    const QColor& (*colour)();
    int red, green, blue;
    const char* hex;
};

// Transcribed from the palette table.
// clang-format off
const PaletteRow goldenPalette[] = {
    {"background",    VEQ::background,      8,  10,  13, "#080a0d"},
    {"surface1",      VEQ::surface1,       18,  22,  27, "#12161b"},
    {"surface2",      VEQ::surface2,       26,  32,  39, "#1a2027"},
    {"stroke",        VEQ::stroke,         42,  51,  61, "#2a333d"},
    {"accent",        VEQ::accent,          0, 229, 255, "#00e5ff"},
    {"nightAccent",   VEQ::nightAccent,   255, 176,  32, "#ffb020"},
    {"warning",       VEQ::warning,       255, 176,  32, "#ffb020"},
    {"critical",      VEQ::critical,      255,  59,  78, "#ff3b4e"},
    {"confirm",       VEQ::confirm,         0, 214, 143, "#00d68f"},
    {"textPrimary",   VEQ::textPrimary,   232, 237, 242, "#e8edf2"},
    {"textSecondary", VEQ::textSecondary, 138, 150, 163, "#8a96a3"},
};
// clang-format on

} // namespace

TEST(VEQThemeTests, ElevenOpaqueSRGBColoursOfTheTable) {
    for (const auto& row : goldenPalette) {
        const QColor& c = row.colour();
        EXPECT_EQ(c, c.toRgb()) << row.name; // held as RGB: equality compares the colour model too
        EXPECT_EQ(c.red(), row.red) << row.name;
        EXPECT_EQ(c.green(), row.green) << row.name;
        EXPECT_EQ(c.blue(), row.blue) << row.name;
        EXPECT_EQ(c.alpha(), 255) << row.name;
        EXPECT_EQ(c.name().toStdString(), row.hex) << row.name;
        // Equal to the same colour given in 8-bit components, as a hex constructor builds it.
        EXPECT_EQ(c, QColor(row.red, row.green, row.blue)) << row.name;
    }
}

TEST(VEQThemeTests, ColoursAreMadeOnceAndTheNightAccentIsTheWarningColour) {
    EXPECT_EQ(&VEQ::nightAccent(), &VEQ::warning());
    EXPECT_EQ(&VEQ::accent(), &VEQ::accent());
    // First use from several threads at once yields the one shared colour.
    std::vector<const QColor*> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = &VEQ::confirm(); });
    for (auto& t : threads) t.join();
    for (const auto* p : seen) EXPECT_EQ(p, &VEQ::confirm());
}
