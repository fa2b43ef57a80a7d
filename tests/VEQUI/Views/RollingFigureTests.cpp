// A rolling figure drawn as text shows each glyph's own character: a digit on its way out is the
// old digit, not the one its figure now holds in that cell.
#include "VEQUI/Support/GaugePixels.hpp"
#include "VEQUI/Views/Kit/RollingFigure.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QPainter>

namespace veq {
namespace {

int differing(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (testing::colorDistance(a.pixelColor(x, y), b.pixelColor(x, y)) > 40) ++count;
        }
    }
    return count;
}

TEST(RollingFigure, EachGlyphDrawnAsTextIsItsOwnCharacterWhetherItMovesOrStands) {
    const QFont font = VEQ::numeric(48, QFont::Bold);
    const auto draw = [&font](const DigitRoll::Figure& figure, const RollingFigure::GlyphPainter& glyph) {
        QImage image(220, 90, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        RollingFigure::paint(painter, {figure}, {font, 15, 20}, glyph);
        return image;
    };
    const auto oneByOne = [&font](QPainter& painter, QChar c, const QColor& ink, QPointF topLeft) {
        painter.setFont(font);
        painter.setPen(ink);
        painter.drawText(QPointF(topLeft.x(), topLeft.y() + QFontMetricsF(font).ascent()), QString(c));
    };
    // "47" rolling to "95": the old digits on their way up, the new ones rising, and a reel's
    // digit standing for a moment in a cell whose figure holds another.
    const DigitRoll::Figure rolling{QStringLiteral("95"), Qt::white, 1.0,
                                    {{0, QChar('4'), -0.45, 1.0}, {0, QChar('9'), 0.55, 1.0},
                                     {1, QChar('6'), 0.0, 1.0}}};
    const QImage asText = draw(rolling, {});
    EXPECT_LT(differing(asText, draw(rolling, oneByOne)), 12);
    DigitRoll::Figure wrong = rolling;
    wrong.glyphs = {{0, QChar('9'), -0.45, 1.0}, {0, QChar('9'), 0.55, 1.0}, {1, QChar('5'), 0.0, 1.0}};
    EXPECT_GT(differing(asText, draw(wrong, oneByOne)), 60) << "the figure's own characters drawn instead";
}

} // namespace
} // namespace veq
