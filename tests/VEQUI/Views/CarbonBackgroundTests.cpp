#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Support/GaugePixels.hpp"
#include "VEQUI/Views/Gauges/CarbonBackground.hpp"

#include <gtest/gtest.h>

#include <QColorSpace>
#include <QPainter>

#include <cstdint>

namespace veq {
namespace {

struct TilePixel { int x, y; std::uint8_t blue, green, red; };

// The weave's reference pixels, worked out by hand from the tile's formula.
const TilePixel referencePixels[] = {
    { 0,  0, 15, 12, 11}, // band edge, ripple crest
    {14,  0, 12, 10,  9}, // band edge, ripple trough: the darkest
    {42,  0, 39, 32, 29}, // band centre, ripple crest: the brightest (top-right cell)
    { 0, 14, 39, 32, 29}, // the same in the top-left cell
    {14, 14, 32, 26, 24},
    {42, 14, 32, 26, 24},
    {14, 42, 32, 26, 24},
    {42, 42, 32, 26, 24},
    // A quarter across the band, on a ripple crest: p = 0.5^0.65 = 0.6373, v = 0.10917.
    { 0,  7, 31, 25, 22},
    {35,  0, 31, 25, 22},
};

TEST(CarbonTexture, TileIsA56PixelPremultipliedBGRABitmapAtTwoPixelsPerPoint) {
    const QImage& tile = CarbonTexture::tile();
    EXPECT_EQ(tile.size(), QSize(56, 56));
    EXPECT_EQ(tile.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(tile.bytesPerLine(), 224);
    EXPECT_EQ(tile.sizeInBytes(), 12544);
    EXPECT_EQ(tile.devicePixelRatio(), 2.0);
    EXPECT_EQ(tile.deviceIndependentSize(), QSizeF(28, 28));
    EXPECT_EQ(tile.colorSpace(), QColorSpace(QColorSpace::SRgb));
    EXPECT_EQ(&CarbonTexture::tile(), &tile); // made once and shared
}

TEST(CarbonTexture, ReferencePixelsInMemoryOrderBlueGreenRedAlpha) {
    const QImage& tile = CarbonTexture::tile();
    for (const auto& p : referencePixels) {
        const std::uint8_t* bytes = tile.constScanLine(p.y) + 4 * p.x;
        EXPECT_EQ(bytes[0], p.blue) << p.x << "," << p.y;
        EXPECT_EQ(bytes[1], p.green) << p.x << "," << p.y;
        EXPECT_EQ(bytes[2], p.red) << p.x << "," << p.y;
        EXPECT_EQ(bytes[3], 255) << p.x << "," << p.y;
    }
}

TEST(CarbonTexture, EveryPixelIsACoolGreyBetweenTheWeavesExtremes) {
    const QImage& tile = CarbonTexture::tile();
    for (int y = 0; y < 56; ++y) {
        for (int x = 0; x < 56; ++x) {
            const QColor c = tile.pixelColor(x, y);
            ASSERT_GE(c.red(), 9);
            ASSERT_LE(c.blue(), 39);
            ASSERT_LT(c.red(), c.green()) << x << "," << y;
            ASSERT_LT(c.green(), c.blue()) << x << "," << y;
        }
    }
}

QImage backdrop(double opacity, QSize points, double ratio) {
    QImage image(points * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    paintCarbonBackground(painter, QRectF(QPointF(0, 0), QSizeF(points)), opacity);
    return image;
}

TEST(CarbonBackground, OpacityZeroShowsThePlainBackground) {
    const QImage image = backdrop(0.0, {60, 40}, 2.0);
    for (int y = 0; y < image.height(); y += 7) {
        for (int x = 0; x < image.width(); x += 5) ASSERT_EQ(image.pixelColor(x, y), VEQ::background()) << x << "," << y;
    }
}

TEST(CarbonBackground, OpacityOneRepeatsTheTileEvery28PointsPixelForPixel) {
    const QImage image = backdrop(1.0, {70, 70}, 2.0); // 2.5 tiles each way
    const QImage& tile = CarbonTexture::tile();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ASSERT_EQ(image.pixel(x, y), tile.pixel(x % 56, y % 56)) << x << "," << y;
        }
    }
    testing::saveScreen(image, "carbon-background-opacity-1");
}

TEST(CarbonBackground, HalfOpacityLiesBetweenTheBackgroundAndTheWeave) {
    const QImage half = backdrop(0.5, {28, 28}, 2.0);
    const QImage& tile = CarbonTexture::tile();
    // (42, 0) is the brightest weave pixel: 29, 32, 39 over 8, 10, 13.
    const QColor c = half.pixelColor(42, 0);
    EXPECT_NEAR(c.red(), (29 + 8) / 2.0, 1.0);
    EXPECT_NEAR(c.green(), (32 + 10) / 2.0, 1.0);
    EXPECT_NEAR(c.blue(), (39 + 13) / 2.0, 1.0);
    EXPECT_NE(half.pixel(42, 0), tile.pixel(42, 0));
}

TEST(CarbonBackground, TheWidgetPaintsItsWholeArea) {
    CarbonBackground view(0.5);
    view.resize(200, 120);
    const QImage image = view.grab().toImage();
    EXPECT_EQ(image.size(), QSize(200, 120));
    EXPECT_LT(testing::colorDistance(image.pixelColor(199, 119), VEQ::background()), 20);
    EXPECT_LT(testing::colorDistance(image.pixelColor(0, 0), VEQ::background()), 20);
    testing::saveScreen(image, "carbon-background-widget-opacity-0.5");
}

} // namespace
} // namespace veq
