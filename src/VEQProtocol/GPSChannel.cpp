#include "VEQProtocol/GPSChannel.hpp"

#include "VEQProtocol/ChannelTable.hpp"

namespace veq::GPSChannel {

namespace {
constexpr ChannelRow kRows[] = {
    {latitude,           "Latitude GPS",              "°"},
    {longitude,          "Longitude GPS",             "°"},
    {altitude,           "Altitude GPS",              "m"},
    {speed,              "Vitesse GPS",               "km/h"},
    {course,             "Cap GPS",                   "°"},
    {horizontalAccuracy, "Précision horizontale GPS", "m"},
};
} // namespace

std::optional<std::string_view> name(std::uint8_t id) { return channelName(kRows, id); }
std::optional<std::string_view> unit(std::uint8_t id) { return channelUnit(kRows, id); }

} // namespace veq::GPSChannel
