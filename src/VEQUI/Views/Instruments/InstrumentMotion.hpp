#pragma once

#include <initializer_list>
#include <span>

namespace veq {

class CircularGaugeView;
class GearStripView;
class RepaintCoalescer;
class ValueTileView;

// How the dials, the gear strip and the value tiles of an instrument screen move.
namespace InstrumentMotion {

// Needles, rolling digits and gear boxes step on the screen's own tick, so that they paint with
// the data.
void followTicks(RepaintCoalescer& coalescer, std::initializer_list<CircularGaugeView*> gauges,
                 GearStripView& gearStrip, std::span<ValueTileView* const> tiles = {});

// Their springs and rolls on, or off so that every change shows at once.
void setAnimated(std::initializer_list<CircularGaugeView*> gauges, GearStripView& gearStrip, bool animated,
                 std::span<ValueTileView* const> tiles = {});

} // namespace InstrumentMotion

} // namespace veq
