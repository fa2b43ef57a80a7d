#pragma once

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/CachedTexts.hpp"

#include <QColor>
#include <QImage>
#include <QWidget>
#include <QSizeF>
#include <QString>

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
    QSizeF sizeHint() const;

    bool operator==(const ValueTile&) const = default;
};

// Hosts a tile in a layout. The card and title are kept as an image for the tile's size, so that
// a live value (new on every display tick) repaints only its figures over it.
class ValueTileView : public QWidget, public CachedTexts {
public:
    explicit ValueTileView(ValueTile tile, QWidget* parent = nullptr);

    const ValueTile& component() const { return tile_; }
    void set(ValueTile tile);

    QSize sizeHint() const override { return hint_; }
    void paintCachedTexts(QPainter& painter) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ValueTile tile_;
    QSize hint_;
    QImage card_;
    QString cardTitle_;
};

} // namespace veq
