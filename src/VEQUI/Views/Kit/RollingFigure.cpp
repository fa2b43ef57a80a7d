#include "VEQUI/Views/Kit/RollingFigure.hpp"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <cmath>
#include <optional>

namespace veq::RollingFigure {

namespace {

// Round digits overshoot the cap height a little, and antialiasing reaches a pixel further.
constexpr double windowMargin = 0.08; // × cap height

// Where each cell of `text` starts, from its left edge, and the whole width last: figures are
// digits of equal width and a few signs, laid out without kerning, so a cell starts where the
// advances before it end (no text shaping per frame).
std::vector<double> cellStarts(const QFontMetricsF& metrics, const QString& text) {
    std::vector<double> starts(static_cast<std::size_t>(text.size()) + 1, 0.0);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto cell = static_cast<std::size_t>(i);
        starts[cell + 1] = starts[cell] + metrics.horizontalAdvance(text[i]);
    }
    return starts;
}

// Draws glyphs of the font by index, without shaping the text on every frame. A cell's glyph is
// the one its figure has there, unless it is passing through that cell on its way in or out.
class GlyphRuns {
public:
    GlyphRuns(const QFont& font, const QString& text) : font_(QRawFont::fromFont(font)), text_(text) {
        if (font_.isValid()) indexes_ = font_.glyphIndexesForString(text);
        usable_ = indexes_.size() == text.size() &&
                  std::none_of(indexes_.begin(), indexes_.end(), [](quint32 index) { return index == 0; });
    }
    bool usable() const { return usable_; }
    // The glyph of `character` in `cell`: the figure's own there, else looked up; 0 when the
    // font has none.
    quint32 index(int cell, QChar character) const {
        if (cell >= 0 && cell < text_.size() && text_[cell] == character) return indexes_[cell];
        const auto found = font_.glyphIndexesForString(QString(character));
        return found.size() == 1 ? found.front() : 0;
    }
    void add(quint32 index, QPointF baseline) {
        glyphs_.append(index);
        positions_.append(baseline);
    }
    void draw(QPainter& painter) {
        if (glyphs_.isEmpty()) return;
        QGlyphRun run;
        run.setRawFont(font_);
        run.setGlyphIndexes(glyphs_);
        run.setPositions(positions_);
        painter.drawGlyphRun(QPointF(0, 0), run);
        glyphs_.clear();
        positions_.clear();
    }

private:
    QRawFont font_;
    QString text_;
    QList<quint32> indexes_;
    QList<quint32> glyphs_;
    QList<QPointF> positions_;
    bool usable_ = false;
};

} // namespace

void paint(QPainter& painter, const std::vector<DigitRoll::Figure>& frame, const Line& line,
           const GlyphPainter& glyph) {
    const QFontMetricsF metrics(line.font);
    // The glyphs slide through a window as tall as the digits: a glyph one offset away has
    // left it entirely.
    const double baseline = line.top + metrics.ascent();
    const double margin = metrics.capHeight() * windowMargin;
    const double travel = metrics.capHeight() + 2 * margin;
    std::vector<std::vector<double>> starts;
    starts.reserve(frame.size());
    double widest = 0;
    for (const auto& figure : frame) {
        starts.push_back(cellStarts(metrics, figure.text));
        widest = std::max(widest, starts.back().back());
    }
    const double clipLeft = (line.centred ? line.x - widest / 2 : line.x) - travel;
    painter.save();
    painter.setClipRect(QRectF(clipLeft, baseline + margin - travel, widest + 2 * travel, travel), Qt::IntersectClip);
    painter.setFont(line.font);
    const double opacity = painter.opacity();
    for (std::size_t f = 0; f < frame.size(); ++f) {
        const auto& figure = frame[f];
        const auto& cells = starts[f];
        const double left = line.centred ? line.x - cells.back() / 2 : line.x;
        painter.setPen(figure.ink);
        // Glyph runs only serve glyphs drawn as text: a glyph painter draws its own.
        std::optional<GlyphRuns> runs;
        if (!glyph) runs.emplace(line.font, figure.text);
        const bool batched = runs && runs->usable();
        // The cells standing still go in one run at the figure's opacity; each moving glyph
        // has an opacity of its own.
        if (batched) {
            for (const auto& g : figure.glyphs) {
                if (g.offset != 0) continue;
                if (const quint32 index = runs->index(g.cell, g.character)) {
                    runs->add(index, {left + cells[static_cast<std::size_t>(g.cell)], baseline});
                }
            }
            painter.setOpacity(opacity * figure.opacity);
            runs->draw(painter);
        }
        for (const auto& g : figure.glyphs) {
            const quint32 index = batched ? runs->index(g.cell, g.character) : 0;
            if (index != 0 && g.offset == 0) continue;
            const QPointF topLeft(left + cells[static_cast<std::size_t>(g.cell)], line.top + g.offset * travel);
            painter.setOpacity(opacity * g.opacity);
            if (glyph) {
                glyph(painter, g.character, figure.ink, topLeft);
            } else if (index != 0) {
                runs->add(index, {topLeft.x(), topLeft.y() + metrics.ascent()});
                runs->draw(painter);
            } else {
                painter.drawText(QPointF(topLeft.x(), topLeft.y() + metrics.ascent()), QString(g.character));
            }
        }
    }
    painter.restore();
}

double width(const std::vector<DigitRoll::Figure>& frame, const QFont& font) {
    const QFontMetricsF metrics(font);
    double weighed = 0;
    double total = 0;
    for (const auto& figure : frame) {
        weighed += figure.opacity * metrics.horizontalAdvance(figure.text);
        total += figure.opacity;
    }
    return total > 0 ? weighed / total : 0;
}

} // namespace veq::RollingFigure
