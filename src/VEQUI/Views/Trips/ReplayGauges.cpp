#include "VEQUI/Views/Trips/ReplayGauges.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Gauges/ParameterGauge.hpp"

#include <algorithm>

namespace veq::ReplayGauges {

namespace {

constexpr std::uint8_t engineSpeedPID = 0x0C;

} // namespace

std::vector<std::uint8_t> parameters(CockpitLayout layout, const std::vector<std::uint8_t>& held) {
    std::vector<std::uint8_t> chosen;
    const auto take = [&](std::uint8_t pid) {
        if (chosen.size() >= maximum) return;
        if (!std::binary_search(held.begin(), held.end(), pid)) return;
        if (std::find(chosen.begin(), chosen.end(), pid) != chosen.end()) return;
        chosen.push_back(pid);
    };
    take(engineSpeedPID);
    for (const std::uint8_t pid : layoutFlankPIDs(layout)) take(pid);
    for (const std::uint8_t pid : layoutBandPIDs(layout)) take(pid);
    for (const std::uint8_t pid : held) take(pid);
    return chosen;
}

CircularGauge gauge(const AppModel& model, std::uint8_t pid, const std::map<std::uint8_t, double>& values) {
    std::optional<double> calibrated;
    if (const auto it = values.find(pid); it != values.end()) calibrated = model.calibration().apply(it->second, pid);
    return ParameterGauge::make(pid, calibrated, model.scale(pid), model.unitSystem(), model.nightMode(),
                                ParameterGauge::shortName(pid));
}

} // namespace veq::ReplayGauges
