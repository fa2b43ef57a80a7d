#pragma once

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/CachedTexts.hpp"
#include "VEQUI/Views/Kit/DigitRoll.hpp"
#include "VEQUI/Views/Kit/FrameTicker.hpp"

#include <QColor>
#include <QImage>
#include <QWidget>
#include <QSizeF>
#include <QString>

#include <functional>
#include <vector>

class QPainter;

namespace veq {

// A labelled figure with its unit on a rounded card: the title in capitals over the value
// (already formatted by the caller) and its unit in the accent colour.
struct ValueTile {
    QString title;
    QString value;
    QString unit;
    QColor accent = VEQ::accent();

    void paint(QPainter& painter, const QRectF& area) const;
    // The card with its title, which stays while the figure changes; then the value and unit.
    void paintCard(QPainter& painter, const QRectF& area) const;
    void paintFigure(QPainter& painter, const QRectF& area) const;
    // The figure while its digits roll (`frame` of a DigitRoll of `value`), the unit after it.
    void paintRollingFigure(QPainter& painter, const QRectF& area, const std::vector<DigitRoll::Figure>& frame) const;
    QSizeF sizeHint() const;

    bool operator==(const ValueTile&) const = default;
};

// Hosts a tile in a layout. The card and title are kept as an image for the tile's size, so that
// a live value (new on every display tick) repaints only its figures over it. The changed digits
// of a new value roll to it; a new title (another parameter) shows its value at once.
class ValueTileView : public QWidget, public CachedTexts {
public:
    explicit ValueTileView(ValueTile tile, QWidget* parent = nullptr);

    const ValueTile& component() const { return tile_; }
    void set(ValueTile tile);

    // Rolling digits on by default; off, a new value shows at once.
    void setAnimated(bool animated);
    // The roll's frames come from the owner's display tick instead of the tile's own timer: `wake`
    // is called when a roll starts, and the owner then calls advanceFrame() on each tick while
    // isMoving(), so that the tile paints once per tick with the rest of the screen.
    void setFrameClock(std::function<void()> wake);
    bool isMoving() const { return roll_.rolling(); }
    // One 1/60 s step of the roll.
    void advanceFrame();

    QSize sizeHint() const override { return hint_; }
    void paintCachedTexts(QPainter& painter) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ValueTile tile_;
    QSize hint_;
    QImage card_;
    QString cardTitle_;
    DigitRoll roll_;
    bool animated_ = true;
    FrameTicker ticker_{[this] { advanceFrame(); }};
};

} // namespace veq
