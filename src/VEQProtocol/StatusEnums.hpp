#pragma once

#include "VEQSupport/Enum.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace veq {

// Coded status bytes of mode 01 and their French texts. fromRaw<E>(byte) gives nothing for a
// byte that is no case; describe<E>(byte) names every byte, showing unknown ones in lower-case
// hexadecimal without leading zeros.

// Fuel system status (parameter 0x03).
enum class FuelSystemStatus : std::uint8_t {
    off = 0x00,
    openLoopTemp = 0x01,
    closedLoop = 0x02,
    openLoopLoad = 0x04,
    openLoopFault = 0x08,
    closedLoopFault = 0x10,
};

// Commanded secondary air status (parameter 0x12).
enum class SecondaryAirStatus : std::uint8_t {
    upstream = 0x01,
    downstream = 0x02,
    atmosphere = 0x04,
    diagnostics = 0x08,
};

// The OBD standard the vehicle conforms to (parameter 0x1C).
enum class OBDStandard : std::uint8_t {
    obdII = 1,
    obd = 2,
    obdAndOBDII = 3,
    obdI = 4,
    notCompliant = 5,
    eobd = 6,
    eobdAndOBDII = 7,
    eobdAndOBD = 8,
    eobdOBDandOBDII = 9,
    jobd = 10,
};

// Fuel type (parameter 0x51).
enum class FuelType : std::uint8_t {
    notAvailable = 0,
    gasoline = 1,
    methanol = 2,
    ethanol = 3,
    diesel = 4,
    lpg = 5,
    cng = 6,
    propane = 7,
    electric = 8,
    bifuelGasoline = 9,
    hybridGasoline = 17,
    hybridDiesel = 19,
};

template <>
struct EnumTraits<FuelSystemStatus> {
    using Raw = std::uint8_t;
    static constexpr std::array allCases{
        FuelSystemStatus::off,          FuelSystemStatus::openLoopTemp,  FuelSystemStatus::closedLoop,
        FuelSystemStatus::openLoopLoad, FuelSystemStatus::openLoopFault, FuelSystemStatus::closedLoopFault,
    };
    static constexpr Raw raw(FuelSystemStatus s) { return static_cast<Raw>(s); }
};

template <>
struct EnumTraits<SecondaryAirStatus> {
    using Raw = std::uint8_t;
    static constexpr std::array allCases{
        SecondaryAirStatus::upstream, SecondaryAirStatus::downstream,
        SecondaryAirStatus::atmosphere, SecondaryAirStatus::diagnostics,
    };
    static constexpr Raw raw(SecondaryAirStatus s) { return static_cast<Raw>(s); }
};

template <>
struct EnumTraits<OBDStandard> {
    using Raw = std::uint8_t;
    static constexpr std::array allCases{
        OBDStandard::obdII,        OBDStandard::obd,          OBDStandard::obdAndOBDII,
        OBDStandard::obdI,         OBDStandard::notCompliant, OBDStandard::eobd,
        OBDStandard::eobdAndOBDII, OBDStandard::eobdAndOBD,   OBDStandard::eobdOBDandOBDII,
        OBDStandard::jobd,
    };
    static constexpr Raw raw(OBDStandard s) { return static_cast<Raw>(s); }
};

template <>
struct EnumTraits<FuelType> {
    using Raw = std::uint8_t;
    static constexpr std::array allCases{
        FuelType::notAvailable, FuelType::gasoline, FuelType::methanol,       FuelType::ethanol,
        FuelType::diesel,       FuelType::lpg,      FuelType::cng,            FuelType::propane,
        FuelType::electric,     FuelType::bifuelGasoline, FuelType::hybridGasoline, FuelType::hybridDiesel,
    };
    static constexpr Raw raw(FuelType f) { return static_cast<Raw>(f); }
};

// FuelType.allKnown: every fuel type in coding order, notAvailable first.
inline constexpr const auto& allKnownFuelTypes = EnumTraits<FuelType>::allCases;

std::string_view description(FuelSystemStatus s);
std::string_view description(SecondaryAirStatus s);
std::string_view label(OBDStandard s);
std::string_view label(FuelType f);

constexpr bool isDiesel(FuelType f) { return f == FuelType::diesel || f == FuelType::hybridDiesel; }
constexpr bool isPetrol(FuelType f) {
    return f == FuelType::gasoline || f == FuelType::bifuelGasoline || f == FuelType::hybridGasoline;
}

// The text of any byte: the case's text, or for a byte that is no case "Inconnu (0x3)",
// "Non supporté", "Norme 0x1d" or "Type 0xa" respectively.
template <class E>
std::string describe(std::uint8_t byte);
template <>
std::string describe<FuelSystemStatus>(std::uint8_t byte);
template <>
std::string describe<SecondaryAirStatus>(std::uint8_t byte);
template <>
std::string describe<OBDStandard>(std::uint8_t byte);
template <>
std::string describe<FuelType>(std::uint8_t byte);

} // namespace veq
