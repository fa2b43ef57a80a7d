#pragma once

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Instruments/RepaintCoalescer.hpp"
#include "VEQUI/Views/Instruments/TelltaleStrip.hpp"
#include "VEQUI/Views/Kit/ValueTile.hpp"

#include <QPixmap>
#include <QWidget>

#include <array>

namespace veq {

class CircularGaugeView;
class CockpitTopBar;
class GearStripView;
class HeroTachometer;

// The main live screen, an instrument cluster: the top bar (brand, layout tabs, event-log
// control, status chips, identity), five telltales, the two flank gauges of the active layout
// around the large tachometer, the gear strip and six value tiles, over the carbon backdrop.
// It keeps no state of its own: every region follows the model and its store, refreshed at
// most once per display tick however fast samples arrive.
class CockpitView : public QWidget {
public:
    explicit CockpitView(AppModel& model, QWidget* parent = nullptr);

    // Needles, rolling digits, gear boxes, tabs and log forms move with their animations by
    // default; off, every change shows at once (tests).
    void setAnimated(bool animated);
    RepaintCoalescer& coalescer() { return coalescer_; }

    CockpitTopBar* topBar() const { return topBar_; }
    CircularGaugeView* leftFlank() const { return leftFlank_; }
    CircularGaugeView* rightFlank() const { return rightFlank_; }
    HeroTachometer* hero() const { return hero_; }
    GearStripView* gearStrip() const { return gearStrip_; }
    TelltaleStripView* telltales() const { return telltales_; }
    const std::array<ValueTileView*, 6>& tiles() const { return tiles_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    AppModel& model_;
    RepaintCoalescer coalescer_;
    CockpitTopBar* topBar_;
    TelltaleStripView* telltales_;
    CircularGaugeView* leftFlank_;
    HeroTachometer* hero_;
    CircularGaugeView* rightFlank_;
    GearStripView* gearStrip_;
    std::array<ValueTileView*, 6> tiles_{};
    QPixmap backdrop_; // carbon and vignette at the current size
};

} // namespace veq
