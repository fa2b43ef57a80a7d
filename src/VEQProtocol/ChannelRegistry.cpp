#include "VEQProtocol/ChannelRegistry.hpp"

#include "VEQProtocol/ChronoChannel.hpp"
#include "VEQProtocol/DerivedChannel.hpp"
#include "VEQProtocol/GPSChannel.hpp"
#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQProtocol/SensorChannel.hpp"
#include "VEQProtocol/SyncChannel.hpp"

#include <fmt/format.h>

namespace veq::ChannelRegistry {

namespace {
std::optional<std::string_view> pseudoName(std::uint8_t id) {
    if (auto n = GPSChannel::name(id)) return n;
    if (auto n = SensorChannel::name(id)) return n;
    if (auto n = DerivedChannel::name(id)) return n;
    if (auto n = ChronoChannel::name(id)) return n;
    if (SyncChannel::isSync(id)) return SyncChannel::name;
    return std::nullopt;
}

// The sync mark has no unit of its own and falls through to the catalogue, which has no entry for it.
std::optional<std::string_view> pseudoUnit(std::uint8_t id) {
    if (auto u = GPSChannel::unit(id)) return u;
    if (auto u = SensorChannel::unit(id)) return u;
    if (auto u = DerivedChannel::unit(id)) return u;
    if (auto u = ChronoChannel::unit(id)) return u;
    return std::nullopt;
}
} // namespace

std::string name(std::uint8_t id) {
    if (auto n = pseudoName(id)) return std::string(*n);
    if (const PIDDefinition* definition = PIDCatalog::definition(id)) return definition->name;
    return fmt::format("PID 0x{:02X}", id);
}

std::string unit(std::uint8_t id, UnitSystem system) {
    if (auto u = pseudoUnit(id)) return std::string(*u);
    if (const PIDDefinition* definition = PIDCatalog::definition(id)) return definition->unit.symbol(system);
    return {};
}

} // namespace veq::ChannelRegistry
