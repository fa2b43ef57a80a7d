#include "VEQUI/Support/GaugePixels.hpp"
#include "VEQUI/Views/SymbolIcons.hpp"

#include "VEQEngine/Trip/VehicleMessages.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <set>
#include <string>

namespace veq {
namespace {

using namespace veq::testing;

// Every symbol the instrument screens name (cockpit, focus gauge, messages), the messages' own
// icons included.
std::set<std::string> instrumentSymbols() {
    std::set<std::string> symbols{
        "engine.combustion.fill", "thermometer.high", "drop.fill", "minus.plus.batteryblock.fill", "wind",
        "bolt.fill", "exclamationmark.triangle.fill", "gauge.with.dots.needle.bottom.50percent", "road.lanes",
        "stopwatch.fill", "checkmark.seal.fill", "stop.fill", "arrow.down.doc.fill", "xmark",
        "arrowtriangle.up.fill", "bell.badge.fill", "checkmark.circle.fill", "questionmark.circle.fill",
        "magnifyingglass", "fuelpump.fill",
    };
    for (const auto& item : VehicleMessageCenter::proprietaryItems) symbols.emplace(item.icon);
    return symbols;
}

QImage drawn(std::string_view symbol, int size = 48) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    SymbolIcons::paint(painter, QRectF(0, 0, size, size), symbol, Qt::red);
    return image;
}

TEST(SymbolIcons, EverySymbolOfTheInstrumentsDrawsInItsColourOnly) {
    const auto symbols = instrumentSymbols();
    const int cell = 64;
    QImage sheet(cell * 8, cell * static_cast<int>((symbols.size() + 7) / 8), QImage::Format_RGB32);
    sheet.fill(QColor(8, 10, 13));
    int i = 0;
    for (const auto& symbol : symbols) {
        const QImage image = drawn(symbol);
        // Only the given colour shows: the symbolic icons are grey masks.
        const int red = countNear(image, image.rect(), Qt::red, 40);
        const int other = image.width() * image.height() - red - countNear(image, image.rect(), Qt::black, 0);
        EXPECT_GT(red, 40) << symbol;
        EXPECT_LT(other, red) << symbol << " (edge pixels only may blend)";
        EXPECT_TRUE(SymbolIcons::table().drawn.contains(symbol) || SymbolIcons::themeName(symbol)) << symbol;
        QPainter painter(&sheet);
        painter.drawImage((i % 8) * cell + 8, (i / 8) * cell + 8, image);
        ++i;
    }
    saveScreen(sheet, QStringLiteral("symbol-icons"));
}

TEST(SymbolIcons, AnUnknownSymbolDrawsNothing) {
    const QImage image = drawn("no.such.symbol");
    EXPECT_EQ(countNear(image, image.rect(), Qt::black, 0), image.width() * image.height());
    EXPECT_FALSE(SymbolIcons::themeName("no.such.symbol"));
}

} // namespace
} // namespace veq
