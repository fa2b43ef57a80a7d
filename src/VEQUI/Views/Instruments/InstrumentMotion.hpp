#pragma once

#include <initializer_list>

namespace veq {

class CircularGaugeView;
class GearStripView;
class RepaintCoalescer;

// How the dials and the gear strip of an instrument screen move.
namespace InstrumentMotion {

// Needles and gear boxes step on the screen's own tick, so that they paint with the data.
void followTicks(RepaintCoalescer& coalescer, std::initializer_list<CircularGaugeView*> gauges,
                 GearStripView& gearStrip);

// Their springs on, or off so that every change shows at once.
void setAnimated(std::initializer_list<CircularGaugeView*> gauges, GearStripView& gearStrip, bool animated);

} // namespace InstrumentMotion

} // namespace veq
