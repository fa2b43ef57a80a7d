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

// The pictures a widget keeps between paints: blurring is done once per key, and a frame only
// draws them. A widget shows a handful of keys; past `bound` the least recently used goes, so
// that a run of sizes (a window being resized) cannot make it grow without end.
template <typename Picture>
class PictureCache {
public:
    explicit PictureCache(std::size_t bound = 16) : bound_(std::max<std::size_t>(1, bound)) {}

    // The picture of `key`, made by `make()` when the cache does not hold it. The reference
    // holds until the next call.
    template <typename Make>
    const Picture& picture(const Key& key, Make&& make) {
        if (const Picture* held = find(key)) return *held;
        return add(key, make());
    }
    // The image of `key` (images share their pixels: the copy returned costs nothing).
    template <typename Make>
    Picture image(const Key& key, Make&& make) {
        return picture(key, std::forward<Make>(make));
    }
    // How many pictures were made so far.
    std::size_t imagesMade() const { return made_; }

private:
    const Picture* find(const Key& key) {
        const auto found =
            std::find_if(entries_.begin(), entries_.end(), [&key](const auto& entry) { return entry.first == key; });
        if (found == entries_.end()) return nullptr;
        std::rotate(found, found + 1, entries_.end());
        return &entries_.back().second;
    }
    const Picture& add(const Key& key, Picture picture) {
        if (entries_.size() >= bound_) entries_.erase(entries_.begin());
        ++made_;
        entries_.emplace_back(key, std::move(picture));
        return entries_.back().second;
    }

    std::size_t bound_;
    std::vector<std::pair<Key, Picture>> entries_; // least recently used first
    std::size_t made_ = 0;
};

using Cache = PictureCache<QImage>;

// The glow of a disc of `diameter` centred on `centre`, under the disc that the caller draws.
// Without a cache, the image is made for this paint only.
void paintDisc(QPainter& painter, Cache* cache, QPointF centre, double diameter, const QColor& color, double opacity,
               double radius);

// The glow of `symbol` as SymbolIcons draws it in `box`, under the symbol that the caller draws.
// `symbol` is a literal, as SymbolIcons' names are: the cache keys on it.
void paintSymbol(QPainter& painter, Cache* cache, const QRectF& box, std::string_view symbol, const QColor& color,
                 double opacity, double radius);

} // namespace veq::Glow
