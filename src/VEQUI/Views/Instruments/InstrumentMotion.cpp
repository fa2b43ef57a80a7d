#include "VEQUI/Views/Instruments/InstrumentMotion.hpp"

#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Instruments/GearStripView.hpp"
#include "VEQUI/Views/Instruments/RepaintCoalescer.hpp"

namespace veq::InstrumentMotion {

void followTicks(RepaintCoalescer& coalescer, std::initializer_list<CircularGaugeView*> gauges,
                 GearStripView& gearStrip) {
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
}

void setAnimated(std::initializer_list<CircularGaugeView*> gauges, GearStripView& gearStrip, bool animated) {
    for (CircularGaugeView* gauge : gauges) gauge->setAnimated(animated);
    gearStrip.setAnimated(animated);
}

} // namespace veq::InstrumentMotion
