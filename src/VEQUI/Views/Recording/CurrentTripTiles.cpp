#include "VEQUI/Views/Recording/CurrentTripTiles.hpp"

#include "VEQUI/Views/Kit/AdaptiveGridLayout.hpp"
#include "VEQUI/Views/Kit/ValueTile.hpp"

namespace veq {

namespace {

constexpr int minimumColumn = 130;
constexpr int spacing = 10;

} // namespace

CurrentTripTiles::CurrentTripTiles(QWidget* parent)
    : QWidget(parent), grid_(new AdaptiveGridLayout(minimumColumn, spacing, this)) {
    setObjectName(QStringLiteral("currentTripTiles"));
    grid_->setContentsMargins(0, 0, 0, 0);
}

void CurrentTripTiles::show(const std::vector<TripFigures::Figure>& figures, const QColor& accent) {
    // A timed run adds its tile; otherwise the tiles stay and take their new values.
    if (figures.size() != tiles_.size()) {
        for (ValueTileView* tile : tiles_) delete tile;
        tiles_.clear();
        for (std::size_t i = 0; i < figures.size(); ++i) {
            auto* tile = new ValueTileView(ValueTile{}, this);
            tile->setObjectName(QStringLiteral("tripTile"));
            // Figures of a drive, not instruments: a new value shows at once.
            tile->setAnimated(false);
            grid_->addWidget(tile);
            tiles_.push_back(tile);
        }
    }
    for (std::size_t i = 0; i < figures.size(); ++i) {
        tiles_[i]->set(ValueTile{figures[i].title, figures[i].value, figures[i].unit, accent});
    }
}

} // namespace veq
