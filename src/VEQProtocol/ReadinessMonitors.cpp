#include "VEQProtocol/ReadinessMonitors.hpp"

#include <algorithm>
#include <array>
#include <string_view>

namespace veq {

namespace {

// Byte B: availability in bits 0-2, incompleteness in bits 4-6.
constexpr std::array<std::string_view, 3> kContinuousNames{
    "Ratés d'allumage",
    "Système carburant",
    "Composants",
};

// Bytes C (availability) and D (incompleteness), by bit, for each ignition type.
constexpr std::array<std::string_view, 8> kSparkIgnitionNames{
    "Catalyseur",
    "Catalyseur chauffé",
    "Système EVAP",
    "Air secondaire",
    "Climatisation",
    "Sonde lambda",
    "Chauffage sonde lambda",
    "EGR",
};
constexpr std::array<std::string_view, 8> kCompressionIgnitionNames{
    "Catalyseur NMHC",
    "NOx / SCR",
    "Réservé",
    "Pression de suralimentation",
    "Réservé",
    "Capteur gaz d'échappement",
    "Filtre à particules",
    "EGR / VVT",
};

constexpr bool bit(std::uint8_t byte, int i) { return ((byte >> i) & 1) != 0; }

} // namespace

std::optional<MonitorStatus> MonitorStatus::decode(std::span<const std::uint8_t> data,
                                                   std::optional<FuelType> fuelTypeOverride) {
    if (data.size() < 4) return std::nullopt;
    const std::uint8_t a = data[0], b = data[1], c = data[2], d = data[3];

    MonitorStatus status;
    status.milOn = bit(a, 7);
    status.dtcCount = a & 0x7F;
    status.isCompressionIgnition = fuelTypeOverride && *fuelTypeOverride != FuelType::notAvailable
                                       ? isDiesel(*fuelTypeOverride)
                                       : bit(b, 3);

    for (int i = 0; i < 3; ++i)
        status.continuousMonitors.push_back({std::string(kContinuousNames[i]), bit(b, i), !bit(b, i + 4)});

    const auto& names = status.isCompressionIgnition ? kCompressionIgnitionNames : kSparkIgnitionNames;
    for (int i = 0; i < 8; ++i)
        status.nonContinuousMonitors.push_back({std::string(names[i]), bit(c, i), !bit(d, i)});
    return status;
}

std::vector<PIDReading::Flag> MonitorStatus::flags() const {
    std::vector<PIDReading::Flag> result{{"MIL", milOn}};
    for (const auto* list : {&continuousMonitors, &nonContinuousMonitors})
        for (const Monitor& m : *list)
            if (m.available) result.push_back({m.name, m.complete});
    return result;
}

bool MonitorStatus::isReady() const {
    const auto ready = [](const Monitor& m) { return !m.available || m.complete; };
    return std::all_of(continuousMonitors.begin(), continuousMonitors.end(), ready) &&
           std::all_of(nonContinuousMonitors.begin(), nonContinuousMonitors.end(), ready);
}

} // namespace veq
