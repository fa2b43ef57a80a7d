#include "VEQProtocol/DerivedChannel.hpp"

#include "VEQProtocol/ChannelTable.hpp"

namespace veq::DerivedChannel {

namespace {
constexpr ChannelRow kRows[] = {
    {boost,   "Suralimentation (turbo)", "bar"},
    {braking, "Freinage",                "g"},
};
constexpr double kStandardGravity = 9.80665; // m/s²
} // namespace

std::optional<std::string_view> name(std::uint8_t id) { return channelName(kRows, id); }
std::optional<std::string_view> unit(std::uint8_t id) { return channelUnit(kRows, id); }

double boostBar(double manifoldKPa, std::optional<double> barometricKPa) {
    return (manifoldKPa - barometricKPa.value_or(seaLevelKPa)) / 100;
}

double brakingG(double longitudinalMS2) {
    const double g = longitudinalMS2 / -kStandardGravity;
    return g > brakingNoiseFloor ? g : 0;
}

} // namespace veq::DerivedChannel
