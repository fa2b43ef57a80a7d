#pragma once

#include "VEQUI/Views/Recording/TripFigures.hpp"

#include <QColor>
#include <QWidget>

#include <vector>

namespace veq {

class AdaptiveGridLayout;
class ValueTileView;

// The figures of the drive under way as tiles, as many to a row as fit; a tile per figure, the
// tiles kept while only their values change.
class CurrentTripTiles : public QWidget {
public:
    explicit CurrentTripTiles(QWidget* parent = nullptr);

    void show(const std::vector<TripFigures::Figure>& figures, const QColor& accent);
    const std::vector<ValueTileView*>& tiles() const { return tiles_; }

private:
    AdaptiveGridLayout* grid_;
    std::vector<ValueTileView*> tiles_;
};

} // namespace veq
