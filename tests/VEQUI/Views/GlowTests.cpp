#include "ScreenFixtures.hpp"

#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Diagnostics/ECUBusDiagram.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Instruments/CockpitView.hpp"
#include "VEQUI/Views/Instruments/GaugeFocusView.hpp"
#include "VEQUI/Views/Instruments/GearStripView.hpp"
#include "VEQUI/Views/Instruments/HeroTachometer.hpp"
#include "VEQUI/Views/Instruments/TelltaleStrip.hpp"
#include "VEQUI/Views/Kit/Dot.hpp"
#include "VEQUI/Views/Kit/GlowCache.hpp"
#include "VEQUI/Views/Kit/StatusLamp.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"

#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace veq {
namespace {

using namespace veq::testing;
namespace R = InstrumentReadings;

QImage picture(QSize size, QColor fill, const std::function<void(QPainter&)>& draw) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return image;
}

// The widget as drawn over the window's background.
QImage grabbed(QWidget& widget) {
    widget.setAutoFillBackground(true);
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, VEQ::background());
    widget.setPalette(palette);
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

double luminance(QColor c) { return 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF(); }

// The mean luminance of the symbol's own pixels (those `mask` covers fully) and of the pixels
// touching them in its square `box`, outside it.
std::pair<double, double> symbolAndBeside(const QImage& image, const QImage& mask, const QRectF& box) {
    const auto alpha = [&mask](int x, int y) { return mask.rect().contains(x, y) ? qAlpha(mask.pixel(x, y)) : 0; };
    double sums[2] = {0, 0};
    int counts[2] = {0, 0};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool beside = alpha(x, y) == 0 && box.contains(x + 0.5, y + 0.5) &&
                                (alpha(x - 1, y) || alpha(x + 1, y) || alpha(x, y - 1) || alpha(x, y + 1));
            if (alpha(x, y) < 250 && !beside) continue;
            sums[beside] += luminance(image.pixelColor(x, y));
            ++counts[beside];
        }
    }
    EXPECT_GT(std::min(counts[0], counts[1]), 3);
    return {sums[0] / std::max(counts[0], 1), sums[1] / std::max(counts[1], 1)};
}

TEST(Glows, ALitSymbolStaysReadableOverItsGlow) {
    struct Case { std::string name; QImage image; QRectF box; std::string_view symbol; QColor lit; QColor backdrop; };
    std::vector<Case> cases;
    TelltaleStrip strip{R::telltales(TelemetryStore{}, true, VEQ::accent())};
    for (auto& lamp : strip.lamps) lamp.active = true;
    const QRectF area(QPointF(0, 0), strip.sizeHint() + QSizeF(40, 0));
    const QImage lamps = picture(area.size().toSize(), VEQ::background(), [&](QPainter& p) { strip.paint(p, area); });
    saveScreen(lamps, QStringLiteral("glow-telltales-lit"));
    const auto boxes = strip.iconBoxes(area);
    for (std::size_t i = 0; i < strip.lamps.size(); ++i) {
        const auto& lamp = strip.lamps[i];
        cases.push_back({lamp.label.toStdString(), lamps, boxes[i], lamp.icon, lamp.color, lamps.pixelColor(0, 0)});
    }
    for (const auto& [name, style] : {std::pair{"shift light cockpit", HeroReadout::cockpit}, std::pair{"shift light focus", HeroReadout::focus}}) {
        const HeroReadout readout{87, QStringLiteral("km/h"), 6400, true, VEQ::accent(), style};
        PaintText::GlyphImages glyphs;
        DigitRoll atRest;
        atRest.show(readout.speedText(), VEQ::textPrimary());
        const QImage image = picture({440, 440}, VEQ::background(), [&](QPainter& p) { readout.paint(p, {220, 220}, 440, &glyphs, &atRest); });
        cases.push_back({name, image, readout.arrowBox({220, 220}, 440), "arrowtriangle.up.fill", VEQ::critical(), VEQ::background()});
    }
    for (const Case& c : cases) {
        const QImage mask = picture(c.image.size(), Qt::transparent, [&](QPainter& p) { SymbolIcons::paint(p, c.box, c.symbol, Qt::white); });
        const auto [symbol, beside] = symbolAndBeside(c.image, mask, c.box);
        const double range = luminance(c.lit) - luminance(c.backdrop);
        EXPECT_NEAR(symbol, luminance(c.lit), 0.02) << c.name << ": the symbol is drawn sharp in its colour";
        // A glow of the symbol's own shape leaves its outline and gaps well apart from it (a glow
        // filling the symbol's square, blurred or not, leaves about a third of the range).
        EXPECT_GE(symbol - beside, 0.5 * range) << c.name << ": symbol " << symbol << ", glow beside it " << beside;
    }
}

// How far a pixel lies from `backdrop` towards `color` (0 the backdrop, 1 the colour), from the
// channel where they differ most; nothing when the channels do not agree on one mix.
std::optional<double> mixOf(QColor pixel, QColor color, QColor backdrop) {
    const int channels[3][3] = {{pixel.red(), color.red(), backdrop.red()},
                                {pixel.green(), color.green(), backdrop.green()},
                                {pixel.blue(), color.blue(), backdrop.blue()}};
    const auto span = [](const int* c) { return std::abs(c[1] - c[2]); };
    const int* widest = std::max({channels[0], channels[1], channels[2]}, [&](const int* a, const int* b) { return span(a) < span(b); });
    const double mix = static_cast<double>(widest[0] - widest[2]) / (widest[1] - widest[2]);
    for (const auto& c : channels) {
        if (std::abs(c[0] - (c[2] + mix * (c[1] - c[2]))) > 4) return std::nullopt;
    }
    return mix;
}

TEST(Glows, LampsNodesAndTheVectorArcGlowInTheirColourFadingLikeABlurredShadow) {
    // A ray starts on the visible shape's edge, `hidden` beyond the edge of the shape that glows.
    struct Ray { QPointF from; QPointF step; QColor backdrop; double hidden = 0; };
    struct Case { std::string name; QImage image; QColor color; double opacity; double radius; std::vector<Ray> rays; };
    const auto around = [](QPointF centre, double edge, QColor backdrop, std::vector<QPointF> steps, double hidden = 0) {
        std::vector<Ray> rays;
        for (const QPointF step : steps) rays.push_back({centre + step * edge, step, backdrop, hidden});
        return rays;
    };
    const std::vector<QPointF> fourWays{{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    std::vector<Case> cases;
    // An unlit lamp shows no glow: the status lamp's own tests look beside its dot.
    for (const StatusLamp& lamp :
         {StatusLamp{QStringLiteral("Contact"), true}, StatusLamp{QStringLiteral("Moteur"), true, VEQ::critical()}}) {
        StatusLampView view(lamp);
        view.resize(view.sizeHint() + QSize(0, 10));
        const QPointF centre = lamp.dotCentre(QRectF(view.rect()));
        cases.push_back({"lamp " + lamp.label.toStdString(), grabbed(view), lamp.onColor, 0.8, 4,
                         around(centre, StatusLamp::diameter / 2, VEQ::background(), fourWays)});
    }
    ECUBusDiagram diagram;
    diagram.setNodes({{VEQ::confirm(), true}, {VEQ::critical(), true}, {VEQ::stroke(), false}});
    diagram.resize(400, 80);
    const QImage nodes = grabbed(diagram);
    saveScreen(nodes, QStringLiteral("glow-bus-nodes"));
    for (std::size_t i = 0; i < diagram.nodes().size(); ++i) {
        // Upward only: the bus line lies below and the neighbours' glows beside; the ring of the
        // background colour over the node's edge hides the glow's first pixel.
        const auto& node = diagram.nodes()[i];
        cases.push_back({"node " + std::to_string(i), nodes, node.color, node.glows ? 0.8 : 0.0, 4,
                         around(diagram.nodeCentre(i), 8, VEQ::surface1(), {{0, -1}}, 1)});
    }
    for (const auto& [name, critical] : {std::pair{"arc accent", std::optional<double>{}}, std::pair{"arc critical", std::optional(40.0)}}) {
        // Half the sweep, ending straight up: inward from the arc at ten o'clock over the
        // background, and onward past its end cap over the track.
        QWidget host;
        host.resize(300, 300);
        const GaugeScale scale{0, 100, std::nullopt, critical, 10};
        CircularGaugeView gauge(CircularGauge{.value = 50.0, .scale = scale, .title = {}, .unit = {}, .showValue = false}, &host);
        gauge.setAnimated(false);
        gauge.setGeometry(20, 20, 260, 260);
        const QImage image = grabbed(host);
        saveScreen(image, QStringLiteral("glow-vector-%1").arg(QString::fromLatin1(name).replace(' ', '-')));
        const double w = 260 * 0.07, ring = 130 - w / 2;
        const double a = (135 + 270 * 0.25) * std::numbers::pi / 180;
        const QPointF outward(std::cos(a), std::sin(a));
        cases.push_back({name, image, gauge.gauge().zoneColor(), 0.5, 5,
                         {{QPointF(150, 150) + outward * (ring - w / 2), -outward, VEQ::background()},
                          {QPointF(150 + w / 2, 150 - ring), {1, 0}, VEQ::surface2()}}});
    }

    for (const Case& c : cases) {
        const auto mixAt = [&](const Ray& ray, double d) {
            const QPointF at = ray.from + ray.step * d;
            const QPoint pixel(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
            return c.image.rect().contains(pixel) ? mixOf(c.image.pixelColor(pixel), c.color, ray.backdrop) : 0.0;
        };
        for (const Ray& ray : c.rays) {
            if (c.opacity == 0) {
                for (double d = 1; d <= c.radius + 1; ++d) EXPECT_EQ(mixAt(ray, d), 0.0) << c.name << " glows at " << d;
                continue;
            }
            double previous = 1;
            for (double d = 1; d + ray.hidden <= c.radius * 0.75; ++d) {
                const auto mix = mixAt(ray, d);
                ASSERT_TRUE(mix) << c.name << ": not the shape's colour at " << d;
                EXPECT_GT(*mix, 0.01) << c.name << ": no glow at " << d;
                EXPECT_LT(*mix, previous) << c.name << ": does not fade at " << d;
                // A blurred edge keeps at most half the shadow's opacity just outside the shape,
                // then falls as the Gaussian's tail (sigma half the radius); a fade that starts at
                // full opacity, or a flat band, is a hard edge.
                const double blurred = c.opacity * 0.5 * std::erfc((d + ray.hidden - 0.5) / (c.radius / 2 * std::numbers::sqrt2));
                EXPECT_LE(*mix, blurred + 0.04) << c.name << " at " << d;
                previous = *mix;
            }
            EXPECT_LT(mixAt(ray, c.radius + 1 - ray.hidden).value_or(1), 0.02) << c.name << ": the glow ends at its radius";
        }
    }
}

// How much a pixel of `lit` adds over the same pixel of `unlit`: the largest channel's gain.
int gain(const QImage& lit, const QImage& unlit, QPoint at) {
    const QColor a = lit.pixelColor(at), b = unlit.pixelColor(at);
    return std::max({a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue()});
}

TEST(Glows, TheLitGearBoxGlowsAcrossTheCockpitStripsEdges) {
    LiveScreen<CockpitView> cockpit(false);
    const GearStripView& strip = *cockpit.view->gearStrip();
    const QRect band = only(*cockpit.view, QStringLiteral("valueBand"))->geometry();
    // The strip keeps its own height between the gauge row (padded 14 below) and the tiles.
    EXPECT_EQ(strip.rowHeight(), 59);
    EXPECT_EQ(band.top() - (cockpit.view->hero()->geometry().bottom() + 1 + 14), strip.rowHeight());

    const QImage unlit = shoot(*cockpit.view, QStringLiteral("glow-cockpit-gear-unlit"));
    feed(cockpit.model(), 0xA4, 3);
    cockpit.tick();
    ASSERT_TRUE(strip.isActive(3));
    const QImage lit = shoot(*cockpit.view, QStringLiteral("glow-cockpit-gear-3"));
    // The lit box: the first run of changed pixels across the strip's middle (the source badge at
    // its right end changes too).
    const int top = band.top() - strip.rowHeight();
    int first = -1, last = -1;
    for (int x = 0; x < lit.width() && (first < 0 || last == x - 1); ++x) {
        if (gain(lit, unlit, {x, top + strip.rowHeight() / 2}) < 60) continue;
        if (first < 0) first = x;
        last = x;
    }
    ASSERT_GE(first, 0);
    const int x = (first + last) / 2;
    for (const auto& [name, inside, outward] : {std::tuple{"top", QPoint(x, top), -1}, std::tuple{"bottom", QPoint(x, band.top() - 1), 1}}) {
        const int in = gain(lit, unlit, inside);
        const int out = gain(lit, unlit, inside + QPoint(0, outward));
        const int further = gain(lit, unlit, inside + QPoint(0, 5 * outward));
        EXPECT_GT(in, 3) << name << ": the glow reaches the strip's edge";
        EXPECT_GE(out, in / 2) << name << ": the glow is cut at the strip's edge (" << in << " inside, " << out << " outside)";
        EXPECT_GT(further, 0) << name << ": it spills over the neighbours";
        EXPECT_LT(further, out) << name;
    }
}

TEST(Glows, ASecondPaintMakesNoNewGlowImage) {
    StatusLampView lamp(StatusLamp{QStringLiteral("Contact"), true});
    TelltaleStrip allLit{R::telltales(TelemetryStore{}, true, VEQ::accent())};
    for (auto& l : allLit.lamps) l.active = true;
    TelltaleStripView telltales(allLit);
    DotView dot(Dot{8, VEQ::confirm(), 0.8, 4});
    ECUBusDiagram diagram;
    diagram.setNodes({{VEQ::confirm(), true}, {VEQ::confirm(), true}, {VEQ::critical(), true}, {VEQ::stroke(), false}});
    HeroTachometer hero(HeroReadout::cockpit);
    hero.setAnimated(false);
    hero.setReading({CircularGauge{.value = 6500.0, .scale = GaugeScale::defaultFor(0x0C), .title = {}, .unit = {}}, 80,
                     QStringLiteral("km/h"), true},
                    VEQ::accent());
    struct Case { const char* name; QWidget* widget; std::function<std::size_t()> made; std::size_t images; };
    const Case cases[] = {
        {"lamp", &lamp, [&] { return lamp.glowCache().imagesMade(); }, 1},
        {"five telltales", &telltales, [&] { return telltales.glowCache().imagesMade(); }, 5},
        {"status dot", &dot, [&] { return dot.glowCache().imagesMade(); }, 1},
        {"bus nodes in two colours", &diagram, [&] { return diagram.glowCache().imagesMade(); }, 2},
        {"shift light", &hero, [&] { return hero.glowCache().imagesMade(); }, 1},
    };
    for (const Case& c : cases) {
        c.widget->resize(c.widget->sizeHint().expandedTo(QSize(300, 60)));
        c.widget->grab();
        EXPECT_EQ(c.made(), c.images) << c.name;
        c.widget->grab();
        EXPECT_EQ(c.made(), c.images) << c.name << ": the second paint made glows again";
    }
    // A new value with the same lit lamps keeps their glows.
    allLit.lamps[0].label = QStringLiteral("Autre");
    telltales.set(allLit);
    telltales.grab();
    EXPECT_EQ(telltales.glowCache().imagesMade(), 5u);
}

// Beside the sidebar of a 1280 x 800 window, values that light the four measured telltales, the
// shift light and the 4th gear's box; the live cockpit's trouble codes light the engine lamp.
template <typename V>
void pictureLit(LiveScreen<V>& screen, const QString& name) {
    for (const auto& [pid, value] : {std::pair<std::uint8_t, double>{0x05, 115}, {0x5C, 130}, {0x42, 11.5}, {0x0B, 170},
                                     {0x0C, 6500}, {0x0D, 120}, {0xA4, 4}}) {
        feed(screen.model(), pid, value);
    }
    screen.tick();
    EXPECT_TRUE(screen.view->hero()->readout().shiftCue);
    EXPECT_TRUE(screen.view->gearStrip()->isActive(4));
    EXPECT_TRUE(saveScreen(screen.view->grab().toImage(), name));
}

// Past its bound the cache lets go of the image used longest ago: a resized window's run of
// sizes cannot make it grow without end.
TEST(Glows, TheCacheKeepsAtMostItsBoundLettingGoOfTheLeastRecentlyUsed) {
    Glow::Cache cache(2);
    const auto key = [](double side) { return Glow::Key{"disc", QSizeF(side, side), 0xFF00FF00u, 0.8, 4, 1}; };
    const auto use = [&](double side) { return cache.image(key(side), [] { return QImage(4, 4, QImage::Format_ARGB32); }); };
    use(1);
    use(2);
    use(1); // held: 1 becomes the most recently used
    EXPECT_EQ(cache.imagesMade(), 2u);
    use(3); // lets 2 go
    EXPECT_EQ(cache.imagesMade(), 3u);
    use(1);
    EXPECT_EQ(cache.imagesMade(), 3u);
    use(2); // gone: made again
    EXPECT_EQ(cache.imagesMade(), 4u);
}

TEST(Glows, PicturesOfTheLitCockpitAndFocusGaugeAt1280By800) {
    LiveScreen<CockpitView> cockpit(true, {0x0C, 0x0D});
    ASSERT_FALSE(cockpit.model().dtcs().empty());
    pictureLit(cockpit, QStringLiteral("glow-cockpit-lit-1280x800"));
    for (const auto& lamp : cockpit.view->telltales()->component().lamps) EXPECT_TRUE(lamp.active) << lamp.label.toStdString();
    LiveScreen<GaugeFocusView> focus(false, {}, {1280, 800});
    pictureLit(focus, QStringLiteral("glow-focus-lit-1280x800"));
}

} // namespace
} // namespace veq
