#pragma once

#include <QImage>
#include <QWidget>

class QPainter;

namespace veq {

// The carbon-fibre weave: one 56 x 56 pixel tile computed once per process, shown at two pixels
// per point so that it repeats every 28 points.
namespace CarbonTexture {

inline constexpr int tilePixels = 56;
inline constexpr double pixelsPerPoint = 2.0;

// The shared tile: premultiplied 32-bit pixels (bytes blue, green, red, alpha), sRGB, device
// pixel ratio 2. Made on first use, from any thread, and kept for the life of the process.
const QImage& tile();

// Computes a fresh tile; tile() keeps the first one made.
QImage makeTile();

} // namespace CarbonTexture

// The instrument screens' backdrop: the background colour with the weave over it at `opacity`
// (0 shows the plain colour, 1 the weave in full), the tile repeating from the top-left corner.
void paintCarbonBackground(QPainter& painter, const QRectF& area, double opacity);

class CarbonBackground : public QWidget {
public:
    explicit CarbonBackground(double opacity, QWidget* parent = nullptr);

    double opacity() const { return opacity_; }
    void setOpacity(double opacity);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double opacity_;
};

} // namespace veq
