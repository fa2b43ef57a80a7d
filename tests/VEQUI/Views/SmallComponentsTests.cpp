#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Support/GaugePixels.hpp"
#include "VEQUI/Views/Kit/AdaptiveGridLayout.hpp"
#include "VEQUI/Views/Kit/Sparkline.hpp"
#include "VEQUI/Views/Kit/StatusLamp.hpp"
#include "VEQUI/Views/Kit/ValueTile.hpp"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPainter>

namespace veq {
namespace {

template <typename Component>
QImage draw(const Component& component, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(VEQ::background());
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    component.paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

// --- Sparkline ---------------------------------------------------------------------------

TEST(Sparkline, DrawsNothingWithFewerThanTwoValues) {
    const QSize size(100, 40);
    QImage blank(size, QImage::Format_ARGB32_Premultiplied);
    blank.fill(VEQ::background());
    for (const auto& values : {std::vector<double>{}, std::vector<double>{42.0}}) {
        const Sparkline line{values};
        EXPECT_TRUE(line.path(QRectF(0, 0, 100, 40)).isEmpty());
        EXPECT_EQ(draw(line, size), blank) << values.size();
    }
}

TEST(Sparkline, PointsSpreadAcrossTheWidthWithTheMinimumAtTheBottomAndTheMaximumAtTheTop) {
    struct Case { const char* name; std::vector<double> values; std::vector<QPointF> points; };
    const Case cases[] = {
        {"rising pair", {1, 3}, {{0, 40}, {100, 0}}},
        {"flat series at half height", {5, 5, 5}, {{0, 20}, {50, 20}, {100, 20}}},
        {"in array order", {2, 0, 4, 1, 3}, {{0, 20}, {25, 40}, {50, 0}, {75, 30}, {100, 10}}},
        {"negative values", {-10, -30}, {{0, 0}, {100, 40}}},
    };
    for (const auto& c : cases) {
        const QPainterPath path = Sparkline{c.values}.path(QRectF(0, 0, 100, 40));
        ASSERT_EQ(path.elementCount(), static_cast<int>(c.points.size())) << c.name;
        for (int i = 0; i < path.elementCount(); ++i) {
            EXPECT_EQ(path.elementAt(i).type, i == 0 ? QPainterPath::MoveToElement : QPainterPath::LineToElement);
            EXPECT_NEAR(path.elementAt(i).x, c.points[i].x(), 1e-9) << c.name << " " << i;
            EXPECT_NEAR(path.elementAt(i).y, c.points[i].y(), 1e-9) << c.name << " " << i;
        }
    }
}

// --- ValueTile ---------------------------------------------------------------------------

TEST(ValueTile, ShowsItsTitleInCapitalsWhateverTheCaseGivenAccentsIncluded) {
    const ValueTile given{QStringLiteral("Régime moteur"), QStringLiteral("2450"), QStringLiteral("tr/min")};
    const ValueTile capitals{QStringLiteral("RÉGIME MOTEUR"), QStringLiteral("2450"), QStringLiteral("tr/min")};
    const ValueTile unaccented{QStringLiteral("REGIME MOTEUR"), QStringLiteral("2450"), QStringLiteral("tr/min")};
    const QSize size = given.sizeHint().toSize();
    const QImage image = draw(given, size);
    testing::saveScreen(image, "value-tile");
    EXPECT_EQ(image, draw(capitals, size));
    EXPECT_NE(image, draw(unaccented, size));
}

TEST(ValueTile, CardInSurfaceWithStrokeOutlineValueInPrimaryUnitInAccent) {
    const ValueTile tile{QStringLiteral("Vitesse"), QStringLiteral("88"), QStringLiteral("km/h"), VEQ::warning()};
    const QSize size(180, 70);
    const QImage image = draw(tile, size);
    testing::saveScreen(image, "value-tile-warning-accent");
    EXPECT_LT(testing::colorDistance(image.pixelColor(175, 35), VEQ::surface1()), 3);
    EXPECT_LT(testing::colorDistance(image.pixelColor(90, 0), VEQ::stroke()), 12);
    EXPECT_LT(testing::colorDistance(image.pixelColor(0, 35), VEQ::stroke()), 12);
    // The rounded corner leaves the very corner pixel to what lies behind.
    EXPECT_EQ(image.pixelColor(0, 0), VEQ::background());
    EXPECT_GT(testing::countNear(image, QRect(0, 0, 180, 70), VEQ::textPrimary(), 8), 20);
    EXPECT_GT(testing::countNear(image, QRect(0, 0, 180, 70), VEQ::warning(), 8), 5);
    EXPECT_GT(testing::countNear(image, QRect(0, 0, 180, 30), VEQ::textSecondary(), 8), 3);
}

// --- StatusLamp --------------------------------------------------------------------------

TEST(StatusLamp, UnlitShowsAStrokeDotWithoutGlowAndASecondaryLabel) {
    const StatusLamp lamp{QStringLiteral("Moteur"), false};
    const QImage image = draw(lamp, {120, 20});
    testing::saveScreen(image, "status-lamp-off");
    const QPoint centre = lamp.dotCentre(QRectF(0, 0, 120, 20)).toPoint(); // of the 9-point dot
    EXPECT_EQ(image.pixelColor(centre), VEQ::stroke());
    // Just outside the dot, where a lit lamp glows, the background shows untouched.
    EXPECT_EQ(image.pixelColor(centre + QPoint(0, 6)), VEQ::background());
    EXPECT_EQ(image.pixelColor(centre + QPoint(6, 0)), VEQ::background());
    EXPECT_GT(testing::countNear(image, QRect(21, 0, 99, 20), VEQ::textSecondary(), 8), 5);
    EXPECT_EQ(testing::countNear(image, QRect(21, 0, 99, 20), VEQ::textPrimary(), 40), 0);
}

TEST(StatusLamp, LitShowsTheColourItsGlowAndAPrimaryLabel) {
    const StatusLamp lamp{QStringLiteral("Moteur"), true};
    const QImage image = draw(lamp, {120, 20});
    testing::saveScreen(image, "status-lamp-on");
    const QPoint centre = lamp.dotCentre(QRectF(0, 0, 120, 20)).toPoint();
    EXPECT_EQ(image.pixelColor(centre), VEQ::confirm());
    const QColor glow = image.pixelColor(centre + QPoint(0, 6));
    EXPECT_GT(glow.green(), VEQ::background().green() + 20); // tinted by the glow
    EXPECT_GT(testing::countNear(image, QRect(21, 0, 99, 20), VEQ::textPrimary(), 8), 5);
    const StatusLamp red{QStringLiteral("Moteur"), true, VEQ::critical()};
    EXPECT_EQ(draw(red, {120, 20}).pixelColor(centre), VEQ::critical());
}

// --- AdaptiveGridLayout ---------------------------------------------------------------------

TEST(AdaptiveGridLayout, ColumnsAreAtLeastTheirMinimumAndNeverNarrowerThanAnItemCanBe) {
    struct Case { int itemMinimum; int width; int columns; };
    const Case cases[] = {
        {100, 700, 2}, // two columns of 330 and their gap fit
        {100, 671, 1},
        {400, 700, 1}, // two cells of 344 would squeeze items that need 400
        {400, 812, 2},
        {400, 811, 1},
    };
    for (const Case& c : cases) {
        QWidget host;
        auto* grid = new AdaptiveGridLayout(330, 12, &host);
        std::vector<QWidget*> items;
        for (int i = 0; i < 3; ++i) {
            items.push_back(new QLabel(QStringLiteral("Carte"), &host));
            items.back()->setMinimumWidth(c.itemMinimum);
            grid->addWidget(items.back());
        }
        EXPECT_EQ(grid->columnCount(c.width), c.columns) << c.itemMinimum << " in " << c.width;
        EXPECT_GE(grid->minimumSize().width(), std::max(330, c.itemMinimum));
        grid->setGeometry(QRect(0, 0, c.width, 400));
        // A widget keeps its minimum width whatever its cell: a cell too narrow lays it over its neighbour.
        for (std::size_t i = 1; i < items.size(); ++i) {
            EXPECT_FALSE(items[i - 1]->geometry().intersects(items[i]->geometry())) << c.itemMinimum << " in " << c.width;
        }
    }
}

} // namespace
} // namespace veq
