// The icon table and the tinted icons drawn from it.
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/SymbolIcons.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <string>
#include <vector>

namespace veq {
namespace {

// Every symbol the shell's screens name (sidebar, footer, wizard, progress view, settings).
const std::vector<std::string> kShellSymbols{
    "gauge.open.with.lines.needle.33percent", "waveform.path.ecg", "record.circle", "bell.badge.fill",
    "exclamationmark.triangle", "point.3.connected.trianglepath.dotted", "map", "terminal",
    "wrench.and.screwdriver.fill", "doc.text", "gearshape", "arrow.up.left.and.arrow.down.right", "sidebar.leading",
    "eject.fill", "cpu", "dot.radiowaves.left.and.right", "wifi", "checkmark.circle.fill",
    "bolt.horizontal.circle.fill", "cablecar", "magnifyingglass.circle.fill", "circle.dotted", "chevron.right",
    "exclamationmark.triangle.fill", "location.fill", "location.slash",
};

struct Ink {
    int pixels = 0;      // pixels with any coverage
    int offColour = 0;   // covered pixels of another colour than the tint
};

Ink inkOf(const QImage& image, const QColor& tint) {
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 128) continue;
            ++ink.pixels;
            const auto off = [](int a, int b) { return std::abs(a - b) > 3; };
            if (off(pixel.red(), tint.red()) || off(pixel.green(), tint.green()) || off(pixel.blue(), tint.blue())) {
                ++ink.offColour;
            }
        }
    }
    return ink;
}

TEST(SymbolIcons, EveryShellSymbolDrawsInItsTintAlone) {
    constexpr int kSize = 32;
    QImage sheet(kSize * 2 * static_cast<int>(kShellSymbols.size()), kSize * 2, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(VEQ::background());
    QPainter sheetPainter(&sheet);
    int column = 0;
    for (const auto& symbol : kShellSymbols) {
        const QImage image = SymbolIcons::pixmap(symbol, VEQ::accent(), kSize).toImage();
        const Ink ink = inkOf(image, VEQ::accent());
        EXPECT_GT(ink.pixels, kSize) << symbol << ": nothing drawn";
        EXPECT_EQ(ink.offColour, 0) << symbol;
        SymbolIcons::paint(sheetPainter, QRectF(column * kSize * 2 + kSize / 2.0, kSize / 2.0, kSize, kSize), symbol,
                           VEQ::textPrimary());
        ++column;
    }
    sheetPainter.end();
    EXPECT_TRUE(sheet.save(QStringLiteral(VEQ_SCREENS_DIR "/shell-symbols.png")));
}

TEST(SymbolIcons, TheSameSymbolTakesTheColourAskedFor) {
    const QImage day = SymbolIcons::pixmap("gearshape", VEQ::accent(), 24).toImage();
    const QImage night = SymbolIcons::pixmap("gearshape", VEQ::nightAccent(), 24).toImage();
    EXPECT_EQ(inkOf(night, VEQ::nightAccent()).offColour, 0);
    EXPECT_GT(inkOf(night, VEQ::nightAccent()).pixels, 0);
    EXPECT_NE(day, night);
}

TEST(SymbolIcons, AnUnknownSymbolDrawsNothing) {
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
    struct Case {
        QString dataHome, dataDirs, home;
        QStringList expected;
    };
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
