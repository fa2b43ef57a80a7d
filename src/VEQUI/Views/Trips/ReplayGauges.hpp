#pragma once

#include "VEQUI/Model/CockpitLayout.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"

#include <cstdint>
#include <map>
#include <vector>

namespace veq {

class AppModel;

// Which parameters the replay puts on its dials, and what each dial shows at a replay time.
namespace ReplayGauges {

inline constexpr std::size_t maximum = 8;

// Of the parameters `held` (ascending), at most `maximum`: engine speed, then the active layout's
// flank gauges and value tiles in their order, then the others by parameter number.
std::vector<std::uint8_t> parameters(CockpitLayout layout, const std::vector<std::uint8_t>& held);

// `pid`'s dial for the values of one snapshot (uncalibrated, metric), shown as the cockpit shows a
// live value: the user's calibration, unit system and scale; no value when the snapshot has none.
CircularGauge gauge(const AppModel& model, std::uint8_t pid, const std::map<std::uint8_t, double>& values);

} // namespace ReplayGauges

} // namespace veq
