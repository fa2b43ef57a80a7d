#include "VEQUI/Views/Kit/DigitRoll.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace veq {

namespace {

// Figures still fading out besides the one being settled on: under a burst that keeps changing
// a figure's length, the oldest faint ones go.
constexpr std::size_t maxLayers = 3;
// Below one step of an 8-bit channel a layer shows nothing.
constexpr double invisible = 1.0 / 255;
// Steps of 1/60 s may add up to a hair under the duration.
constexpr double slack = 1e-9;

double lerp(double from, double to, double t) { return from + (to - from) * t; }

} // namespace

double DigitRoll::eased(double t) {
    const double rest = 1 - std::clamp(t, 0.0, 1.0);
    return 1 - rest * rest * rest;
}

bool DigitRoll::cellsLineUp(const QString& a, const QString& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && !(a[i].isDigit() && b[i].isDigit())) return false;
    }
    return true;
}

void DigitRoll::show(const QString& text, const QColor& ink) {
    Layer layer{text, ink, {}, 1, 1};
    layer.cells.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) layer.cells.push_back(Reel{{c}, 0, 0});
    layers_.assign(1, std::move(layer));
    target_ = text;
    ink_ = ink;
    elapsed_ = duration;
}

void DigitRoll::finish() { show(target_, ink_); }

double DigitRoll::progress() const { return eased(elapsed_ / duration); }

void DigitRoll::freeze() {
    const double t = progress();
    for (Layer& layer : layers_) {
        layer.fromOpacity = layer.toOpacity = lerp(layer.fromOpacity, layer.toOpacity, t);
        for (Reel& reel : layer.cells) reel.from = reel.to = lerp(reel.from, reel.to, t);
    }
}

void DigitRoll::rollTo(const QString& text, const QColor& ink) {
    if (text == target_ && ink == ink_ && !layers_.empty()) return;
    if (layers_.empty()) {
        show(text, ink);
        return;
    }
    freeze();
    Layer& top = layers_.back();
    const bool lineUp = top.ink == ink && cellsLineUp(top.text, text);
    for (Layer& layer : layers_) layer.toOpacity = 0;
    if (lineUp) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            Reel& reel = top.cells[static_cast<std::size_t>(i)];
            // Only what shows stays on the strip: glyphs a whole cell or more from their place
            // are out of sight.
            std::vector<QChar> shown;
            double first = -1;
            for (std::size_t k = 0; k < reel.glyphs.size(); ++k) {
                const double offset = static_cast<double>(k) - reel.from;
                if (offset <= -1 || offset >= 1) continue;
                if (first < 0) first = static_cast<double>(k);
                shown.push_back(reel.glyphs[k]);
            }
            reel.glyphs = std::move(shown);
            reel.from -= first;
            if (reel.glyphs.back() != text[i]) reel.glyphs.push_back(text[i]);
            reel.to = static_cast<double>(reel.glyphs.size() - 1);
        }
        top.text = text;
        top.toOpacity = 1;
    } else {
        Layer layer{text, ink, {}, 0, 1};
        for (const QChar c : text) layer.cells.push_back(Reel{{c}, 0, 0});
        layers_.push_back(std::move(layer));
    }
    const auto faded = std::remove_if(layers_.begin(), std::prev(layers_.end()),
                                      [](const Layer& layer) { return layer.fromOpacity < invisible; });
    layers_.erase(faded, std::prev(layers_.end()));
    if (layers_.size() > maxLayers) {
        layers_.erase(layers_.begin(), layers_.begin() + static_cast<std::ptrdiff_t>(layers_.size() - maxLayers));
    }
    target_ = text;
    ink_ = ink;
    elapsed_ = 0;
}

bool DigitRoll::advance(double seconds) {
    if (!rolling()) return false;
    elapsed_ += seconds;
    if (elapsed_ < duration - slack) return true;
    finish();
    return false;
}

std::vector<DigitRoll::Figure> DigitRoll::frame() const {
    const double t = progress();
    std::vector<Figure> figures;
    figures.reserve(layers_.size());
    for (const Layer& layer : layers_) {
        const double opacity = lerp(layer.fromOpacity, layer.toOpacity, t);
        if (opacity < invisible) continue;
        Figure figure{layer.text, layer.ink, opacity, {}};
        for (std::size_t cell = 0; cell < layer.cells.size(); ++cell) {
            const Reel& reel = layer.cells[cell];
            const double position = lerp(reel.from, reel.to, t);
            for (std::size_t k = 0; k < reel.glyphs.size(); ++k) {
                const double offset = static_cast<double>(k) - position;
                if (std::abs(offset) >= 1) continue;
                figure.glyphs.push_back({static_cast<int>(cell), reel.glyphs[k], offset,
                                         opacity * (1 - std::abs(offset))});
            }
        }
        figures.push_back(std::move(figure));
    }
    return figures;
}

} // namespace veq
