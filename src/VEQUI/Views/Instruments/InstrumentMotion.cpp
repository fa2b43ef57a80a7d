#include "VEQUI/Views/Instruments/InstrumentMotion.hpp"

#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Instruments/GearStripView.hpp"
#include "VEQUI/Views/Instruments/RepaintCoalescer.hpp"
#include "VEQUI/Views/Kit/ValueTile.hpp"

namespace veq::InstrumentMotion {

namespace {

// A view that moves (needle, gear box, rolling digits) steps on the coalescer's tick.
template <typename View>
void follow(RepaintCoalescer& coalescer, View& view) {
    view.setFrameClock([&coalescer] { coalescer.wake(); });
    coalescer.addAnimation([&view] {
        if (view.isMoving()) view.advanceFrame();
        return view.isMoving();
    });
}

} // namespace

void followTicks(RepaintCoalescer& coalescer, std::initializer_list<CircularGaugeView*> gauges,
                 GearStripView& gearStrip, std::span<ValueTileView* const> tiles) {
    for (CircularGaugeView* gauge : gauges) follow(coalescer, *gauge);
    follow(coalescer, gearStrip);
    for (ValueTileView* tile : tiles) follow(coalescer, *tile);
}

void setAnimated(std::initializer_list<CircularGaugeView*> gauges, GearStripView& gearStrip, bool animated,
                 std::span<ValueTileView* const> tiles) {
    for (CircularGaugeView* gauge : gauges) gauge->setAnimated(animated);
    gearStrip.setAnimated(animated);
    for (ValueTileView* tile : tiles) tile->setAnimated(animated);
}

} // namespace veq::InstrumentMotion
