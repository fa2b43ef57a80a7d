#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

class QPainter;

namespace veq::Glow {

// What a glow image is made from: the shape (its kind and size, in words), the colour, the
// opacity, the radius and the pixel ratio it is drawn at.
struct Key {
    QString shape;
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

    // The image of `key`, made by `make` when the cache does not hold it (images share their
    // pixels: the copy returned costs nothing).
    QImage image(const Key& key, const std::function<QImage()>& make);
    // How many images were made so far.
    std::size_t imagesMade() const { return made_; }

private:
    std::size_t bound_;
    std::vector<std::pair<Key, QImage>> images_; // least recently used first
    std::size_t made_ = 0;
};

// The glow of a disc of `diameter` centred on `centre`, under the disc that the caller draws.
// Without a cache, the image is made for this paint only.
void paintDisc(QPainter& painter, Cache* cache, QPointF centre, double diameter, const QColor& color, double opacity,
               double radius);

// The glow of `symbol` as SymbolIcons draws it in `box`, under the symbol that the caller draws.
void paintSymbol(QPainter& painter, Cache* cache, const QRectF& box, std::string_view symbol, const QColor& color,
                 double opacity, double radius);

} // namespace veq::Glow
