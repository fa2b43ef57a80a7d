#include "VEQUI/Views/Instruments/InstrumentMotion.hpp"

#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Instruments/GearStripView.hpp"
#include "VEQUI/Views/Instruments/RepaintCoalescer.hpp"
#include "VEQUI/Views/Kit/ValueTile.hpp"

namespace veq::InstrumentMotion {

void followTicks(RepaintCoalescer& coalescer, std::initializer_list<CircularGaugeView*> gauges,
                 GearStripView& gearStrip, std::span<ValueTileView* const> tiles) {
    for (CircularGaugeView* gauge : gauges) {
        gauge->setFrameClock([&coalescer] { coalescer.wake(); });
        coalescer.addAnimation([gauge] {
            if (gauge->isMoving()) gauge->advanceFrame();
            return gauge->isMoving();
        });
    }
    gearStrip.setFrameClock([&coalescer] { coalescer.wake(); });
    coalescer.addAnimation([&gearStrip] {
        if (gearStrip.isMoving()) gearStrip.advanceFrame();
        return gearStrip.isMoving();
    });
    for (ValueTileView* tile : tiles) {
        tile->setFrameClock([&coalescer] { coalescer.wake(); });
        coalescer.addAnimation([tile] {
            if (tile->isMoving()) tile->advanceFrame();
            return tile->isMoving();
        });
    }
}

void setAnimated(std::initializer_list<CircularGaugeView*> gauges, GearStripView& gearStrip, bool animated,
                 std::span<ValueTileView* const> tiles) {
    for (CircularGaugeView* gauge : gauges) gauge->setAnimated(animated);
    gearStrip.setAnimated(animated);
    for (ValueTileView* tile : tiles) tile->setAnimated(animated);
}

} // namespace veq::InstrumentMotion
