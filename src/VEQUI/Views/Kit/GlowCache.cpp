#include "VEQUI/Views/Kit/GlowCache.hpp"

#include "VEQUI/Views/Kit/Glow.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace veq::Glow {

namespace {

qreal ratioOf(const QPainter& painter) { return painter.device() ? painter.device()->devicePixelRatioF() : 1.0; }

template <typename Make>
void paintCached(QPainter& painter, Cache* cache, const Key& key, QPointF centre, Make&& make) {
    if (!(key.opacity > 0)) return;
    if (cache) {
        drawCentred(painter, cache->image(key, make), centre);
    } else {
        drawCentred(painter, make(), centre);
    }
}

} // namespace

void paintDisc(QPainter& painter, Cache* cache, QPointF centre, double diameter, const QColor& color, double opacity,
               double radius) {
    const Key key{"disc", QSizeF(diameter, diameter), color.rgba(), opacity, radius, ratioOf(painter)};
    paintCached(painter, cache, key, centre,
                [&] { return discImage(diameter, color, opacity, radius, key.ratio); });
}

void paintSymbol(QPainter& painter, Cache* cache, const QRectF& box, std::string_view symbol, const QColor& color,
                 double opacity, double radius) {
    const QSizeF size = box.size();
    const Key key{symbol, size, color.rgba(), opacity, radius, ratioOf(painter)};
    paintCached(painter, cache, key, box.center(), [&] {
        const QImage shape = mask(size, key.ratio, [&](QPainter& layer) {
            SymbolIcons::paint(layer, QRectF(QPointF(0, 0), size), symbol, Qt::white);
        });
        return ofMask(shape, color, opacity, radius);
    });
}

} // namespace veq::Glow
