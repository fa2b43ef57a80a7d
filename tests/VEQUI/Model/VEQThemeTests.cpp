// The palette against its table.
#include "VEQUI/Model/VEQTheme.hpp"

#include <gtest/gtest.h>

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

TEST(VEQThemeTests, ElevenOpaqueSRGBColoursOfTheTableAndTheNightAccentIsTheWarningColour) {
    for (const auto& row : goldenPalette) {
        const QColor& c = row.colour();
        // Held as opaque RGB (equality compares the colour model and alpha too).
        EXPECT_EQ(c, QColor(row.red, row.green, row.blue)) << row.name;
        EXPECT_EQ(c.name().toStdString(), row.hex) << row.name;
    }
    EXPECT_EQ(&VEQ::nightAccent(), &VEQ::warning());
}
