#include "VEQProtocol/SensorChannel.hpp"

#include "VEQProtocol/ChannelTable.hpp"

namespace veq::SensorChannel {

namespace {
constexpr ChannelRow kRows[] = {
    {accelRawX,    "Accél. X (brut)",      "m/s²"},
    {accelRawY,    "Accél. Y (brut)",      "m/s²"},
    {accelRawZ,    "Accél. Z (brut)",      "m/s²"},
    {longitudinal, "Accél. longitudinale", "m/s²"},
    {lateral,      "Accél. transversale",  "m/s²"},
    {vertical,     "Accél. verticale",     "m/s²"},
    {gForce,       "Force g totale",       "g"},
    {yawRate,      "Vitesse de lacet",     "°/s"},
    {pitchRate,    "Vitesse de tangage",   "°/s"},
    {rollRate,     "Vitesse de roulis",    "°/s"},
    {heading,      "Cap boussole",         "°"},
    {pitch,        "Tangage téléphone",    "°"},
    {roll,         "Roulis téléphone",     "°"},
    {battery,      "Batterie téléphone",   "%"},
};
} // namespace

std::optional<std::string_view> name(std::uint8_t id) { return channelName(kRows, id); }
std::optional<std::string_view> unit(std::uint8_t id) { return channelUnit(kRows, id); }

} // namespace veq::SensorChannel
