#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

class QPainter;

namespace veq::Glow {

// What a glow image is made from: the shape's kind and size, the colour, the opacity, the radius
// and the pixel ratio it is drawn at. The kind is a literal ("disc", a symbol's name): the cache
// keeps the view, and a key costs no text to build on every paint.
struct Key {
    std::string_view shape;
    QSizeF size;
    QRgb color = 0;
    double opacity = 0;
    double radius = 0;
    qreal ratio = 1;
    bool operator==(const Key&) const = default;
};

// The glow images a widget keeps between paints: blurring is done once per key, and a frame
// only draws images. A widget shows a handful of keys; past `bound` the least recently used
// goes, so that a run of sizes (a window being resized) cannot make it grow without end.
class Cache {
public:
    explicit Cache(std::size_t bound = 16) : bound_(std::max<std::size_t>(1, bound)) {}

    // The image of `key`, made by `make()` when the cache does not hold it (images share their
    // pixels: the copy returned costs nothing).
    template <typename Make>
    QImage image(const Key& key, Make&& make) {
        if (const QImage* held = find(key)) return *held;
        return add(key, make());
    }
    // How many images were made so far.
    std::size_t imagesMade() const { return made_; }

private:
    // The image of `key`, now the most recently used; null when the cache does not hold it.
    const QImage* find(const Key& key);
    QImage add(const Key& key, QImage image);

    std::size_t bound_;
    std::vector<std::pair<Key, QImage>> images_; // least recently used first
    std::size_t made_ = 0;
};

// The glow of a disc of `diameter` centred on `centre`, under the disc that the caller draws.
// Without a cache, the image is made for this paint only.
void paintDisc(QPainter& painter, Cache* cache, QPointF centre, double diameter, const QColor& color, double opacity,
               double radius);

// The glow of `symbol` as SymbolIcons draws it in `box`, under the symbol that the caller draws.
// `symbol` is a literal, as SymbolIcons' names are: the cache keys on it.
void paintSymbol(QPainter& painter, Cache* cache, const QRectF& box, std::string_view symbol, const QColor& color,
                 double opacity, double radius);

} // namespace veq::Glow
