#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <optional>

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

// The darkening of an instrument screen towards its edges: clear out to `start` points from the
// centre, then near-black growing to `opacity` at `end`.
struct Vignette {
    double start;
    double end;
    double opacity;
};

// An instrument screen's backdrop at `size` and pixel `ratio`: the weave at `carbonOpacity`, under
// the vignette when there is one.
QPixmap makeInstrumentBackdrop(QSize size, qreal ratio, double carbonOpacity, const std::optional<Vignette>& vignette);

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
