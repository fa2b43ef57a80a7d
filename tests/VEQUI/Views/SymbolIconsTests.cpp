// The icon table and the tinted icons drawn from it.
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Support/GaugePixels.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"

#include "VEQEngine/Trip/VehicleMessages.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <set>
#include <string>

namespace veq {
namespace {

// Every symbol the screens name: the shell's (sidebar, footer, wizard, progress view, settings),
// the instruments' (cockpit, focus gauge, messages, the messages' own icons included) and the
// recipe sheet's no-entry sign.
std::set<std::string> screenSymbols() {
    std::set<std::string> symbols{
        "gauge.open.with.lines.needle.33percent", "waveform.path.ecg", "record.circle", "bell.badge.fill",
        "exclamationmark.triangle", "point.3.connected.trianglepath.dotted", "map", "terminal",
        "wrench.and.screwdriver.fill", "doc.text", "gearshape", "arrow.up.left.and.arrow.down.right", "sidebar.leading",
        "eject.fill", "cpu", "dot.radiowaves.left.and.right", "wifi", "checkmark.circle.fill",
        "bolt.horizontal.circle.fill", "cablecar", "magnifyingglass.circle.fill", "circle.dotted", "chevron.right",
        "exclamationmark.triangle.fill", "location.fill", "location.slash",
        "engine.combustion.fill", "thermometer.high", "drop.fill", "minus.plus.batteryblock.fill", "wind",
        "bolt.fill", "gauge.with.dots.needle.bottom.50percent", "road.lanes", "stopwatch.fill", "checkmark.seal.fill",
        "stop.fill", "arrow.down.doc.fill", "xmark", "arrowtriangle.up.fill", "questionmark.circle.fill",
        "magnifyingglass", "fuelpump.fill", "minus.circle.fill",
    };
    for (const auto& item : VehicleMessageCenter::proprietaryItems) symbols.emplace(item.icon);
    return symbols;
}

struct Ink {
    int pixels = 0;    // pixels with any coverage
    int offColour = 0; // covered pixels of another colour than the tint
};

Ink inkOf(const QImage& image, const QColor& tint) {
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 128) continue;
            ++ink.pixels;
            ink.offColour += testing::colorDistance(pixel, tint) > 3;
        }
    }
    return ink;
}

TEST(SymbolIcons, EverySymbolOfTheScreensDrawsInTheColourAskedForAlone) {
    const auto symbols = screenSymbols();
    constexpr int size = 32;
    const int columns = 10;
    QImage sheet(size * 2 * columns, size * 2 * static_cast<int>((symbols.size() + columns - 1) / columns), QImage::Format_RGB32);
    sheet.fill(VEQ::background());
    QPainter painter(&sheet);
    int i = 0;
    for (const auto& symbol : symbols) {
        const Ink ink = inkOf(SymbolIcons::pixmap(symbol, VEQ::accent(), size).toImage(), VEQ::accent());
        EXPECT_GT(ink.pixels, size) << symbol << ": nothing drawn";
        EXPECT_EQ(ink.offColour, 0) << symbol;
        EXPECT_TRUE(SymbolIcons::table().drawn.contains(symbol) || SymbolIcons::themeName(symbol)) << symbol;
        SymbolIcons::paint(painter, QRectF((i % columns) * size * 2 + size / 2.0, (i / columns) * size * 2 + size / 2.0, size, size),
                           symbol, VEQ::textPrimary());
        ++i;
    }
    painter.end();
    EXPECT_TRUE(testing::saveScreen(sheet, QStringLiteral("symbol-icons")));
    // The same symbol in another colour; an unknown symbol draws nothing.
    const Ink night = inkOf(SymbolIcons::pixmap("gearshape", VEQ::nightAccent(), 24).toImage(), VEQ::nightAccent());
    EXPECT_GT(night.pixels, 0);
    EXPECT_EQ(night.offColour, 0);
    EXPECT_FALSE(SymbolIcons::themeName("no.such.symbol").has_value());
    EXPECT_EQ(inkOf(SymbolIcons::pixmap("no.such.symbol", VEQ::accent(), 24).toImage(), VEQ::accent()).pixels, 0);
}

TEST(SymbolIcons, ATableIsReadWholeOrNotAtAll) {
    const auto table = SymbolIcons::decode(R"({"theme": {"wifi": "network-wireless-symbolic"}, "drawn": ["cpu"]})");
    EXPECT_EQ(table.theme.at("wifi"), "network-wireless-symbolic");
    EXPECT_TRUE(table.drawn.contains("cpu"));
    for (const char* broken : {"", "{", R"({"theme": {}})", R"({"theme": {"wifi": 3}, "drawn": []})",
                               R"({"theme": [], "drawn": []})"}) {
        EXPECT_EQ(SymbolIcons::decode(broken), SymbolIcons::Table{}) << broken;
    }
}

TEST(SymbolIcons, ThemesAreSearchedInTheUsersDataFolderThenEachSystemDataFolder) {
    struct Case { QString dataHome, dataDirs, home; QStringList expected; };
    const Case cases[] = {
        {"", "", "/home/u", {"/home/u/.local/share/icons", "/usr/local/share/icons", "/usr/share/icons"}},
        {"/data", "/opt/share:/usr/share", "/home/u", {"/data/icons", "/opt/share/icons", "/usr/share/icons"}},
        {"", "/a::/b:", "/h", {"/h/.local/share/icons", "/a/icons", "/b/icons"}},
        {"", "/x:/x", "/h", {"/h/.local/share/icons", "/x/icons"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(iconThemeSearchPaths(c.dataHome, c.dataDirs, c.home), c.expected) << c.dataDirs.toStdString();
    }
}

} // namespace
} // namespace veq
