// The emulator's UDS side: the engine (7E0) and transmission (7E1) control units.
#include "VEQTransport/ELM327Emulator.hpp"

#include "VEQSupport/Text.hpp"
#include "VEQTransport/OBDEncoder.hpp"

#include <fmt/format.h>

#include <algorithm>

namespace veq {

namespace {

using Bytes = ELM327Emulator::Bytes;

constexpr std::string_view engineHeader = "7E0";
constexpr std::string_view transmissionHeader = "7E1";

// Identification identifiers: fixed ASCII texts, or the emulator's VIN.
struct IdentificationRow {
    std::uint16_t identifier;
    bool isVIN;
    std::string_view engine;
    std::string_view transmission;
};

// clang-format off
constexpr IdentificationRow identificationRows[] = {
    {0xF187, false, "A2569006200",    "A7252702300"},    // spare part number
    {0xF188, false, "0044/3.11.0",    "0014/1.09.0"},    // software number
    {0xF18C, false, "MB2560M2561184", "MB2540B0091122"}, // serial number
    {0xF190, true,  {},               {}},               // VIN
    {0xF195, false, "0044/3.11.0",    "0014/1.09.0"},    // software version
    {0xF197, false, "M256 ECM",       "VGS 9G-TRONIC"},  // system name
};
// clang-format on

Bytes wordBytes(double x) {
    const auto w = OBDEncoder::word(x);
    return {w[0], w[1]};
}

enum class Unit { engine, transmission };

struct LiveRow {
    std::uint16_t identifier;
    Unit unit;
    Bytes (*encode)(const VehicleState&);
};

// clang-format off
const LiveRow liveRows[] = {
    {0x2001, Unit::engine,       [](const VehicleState& s) { return wordBytes(s.rpm * 4); }},
    {0x2002, Unit::engine,       [](const VehicleState& s) { return Bytes{OBDEncoder::truncatedByte(s.coolantC + 40)}; }},
    {0x2003, Unit::engine,       [](const VehicleState& s) { return wordBytes(s.boostKpa * 10); }},
    {0x2004, Unit::engine,       [](const VehicleState& s) { return Bytes{OBDEncoder::truncatedByte(s.oilC + 40)}; }},
    {0x2010, Unit::transmission, [](const VehicleState& s) { return Bytes{static_cast<std::uint8_t>(std::clamp(s.gear, 0, 15))}; }},
    {0x2011, Unit::transmission, [](const VehicleState& s) { return Bytes{OBDEncoder::truncatedByte(s.oilC + 8 + 40)}; }}, // 8 °C above engine oil
    {0x2012, Unit::transmission, [](const VehicleState& s) { return wordBytes(s.speedKmh * 100); }},
};
// clang-format on

// Trouble-code records: three code bytes (code, failure type), then status 08 "confirmed".
const Bytes engineDTCRecords{0x03, 0x00, 0x64, 0x08, 0x01, 0x71, 0x00, 0x08}; // P0300-64, P0171-00
const Bytes transmissionDTCRecords{0x07, 0x15, 0x62, 0x08};                    // P0715-62

constexpr std::array<std::uint8_t, 4> securitySeed{0x5A, 0xC3, 0x19, 0x7E};

Bytes negative(std::uint8_t service, std::uint8_t code) { return {0x7F, service, code}; }

} // namespace

std::string ELM327Emulator::udsRxHeader(std::string_view requestHeader) {
    if (requestHeader.empty() || requestHeader.size() > 4 ||
        !std::all_of(requestHeader.begin(), requestHeader.end(), text::isHexDigit)) {
        return std::string(engineResponseHeader);
    }
    const unsigned value = static_cast<unsigned>(std::stoul(std::string(requestHeader), nullptr, 16));
    return fmt::format("{:03X}", value + 8);
}

std::optional<Bytes> ELM327Emulator::didData(std::uint16_t identifier, std::string_view ecu) const {
    for (const IdentificationRow& row : identificationRows) {
        if (row.identifier != identifier) continue;
        if (row.isVIN) return text::bytesOf(vin);
        return text::bytesOf(ecu == engineHeader ? row.engine : row.transmission);
    }
    return std::nullopt;
}

std::optional<Bytes> ELM327Emulator::liveDID(std::uint16_t identifier, std::string_view ecu, const VehicleState& state) {
    std::optional<Unit> unit;
    if (ecu == engineHeader) unit = Unit::engine;
    else if (ecu == transmissionHeader) unit = Unit::transmission;
    if (!unit) return std::nullopt;
    for (const LiveRow& row : liveRows) {
        if (row.identifier == identifier && row.unit == *unit) return row.encode(state);
    }
    return std::nullopt;
}

std::vector<std::string> ELM327Emulator::handleUDS(std::span<const std::uint8_t> request,
                                                   const VehicleState& state) const {
    if (currentTxHeader != engineHeader && currentTxHeader != transmissionHeader) return {"NO DATA"};
    const std::string rxHeader = udsRxHeader(currentTxHeader);
    const bool engine = currentTxHeader == engineHeader;

    const std::uint8_t service = request[0];
    // The sub-function; 01 stands in where the request has none.
    const bool hasSub = request.size() > 1;
    const std::uint8_t sub = hasSub ? request[1] : 0x01;

    Bytes payload;
    switch (service) {
    case 0x10: // DiagnosticSessionControl: P2 = 50 ms, P2* = 5000 ms, for any session
        payload = {0x50, sub, 0x00, 0x32, 0x01, 0xF4};
        break;
    case 0x14: // ClearDiagnosticInformation: acknowledged, nothing cleared
        payload = {0x54};
        break;
    case 0x19: // ReadDTCInformation: only by status mask; the mask is not examined
        if (!hasSub || sub == 0x02) {
            payload = {0x59, 0x02, 0xFF};
            const Bytes& records = engine ? engineDTCRecords : transmissionDTCRecords;
            payload.insert(payload.end(), records.begin(), records.end());
        } else {
            payload = negative(0x19, 0x12);
        }
        break;
    case 0x22: { // ReadDataByIdentifier: the first identifier only
        if (request.size() < 3) {
            payload = negative(0x22, 0x13);
            break;
        }
        const auto identifier = static_cast<std::uint16_t>(request[1] << 8 | request[2]);
        std::optional<Bytes> data = didData(identifier, currentTxHeader);
        if (!data) data = liveDID(identifier, currentTxHeader, state);
        if (!data) {
            payload = negative(0x22, 0x31);
            break;
        }
        payload = {0x62, request[1], request[2]};
        payload.insert(payload.end(), data->begin(), data->end());
        break;
    }
    case 0x27: // SecurityAccess: a fixed seed, and every key is refused
        if (sub % 2 == 1) {
            payload = {0x67, sub};
            payload.insert(payload.end(), securitySeed.begin(), securitySeed.end());
        } else {
            payload = negative(0x27, 0x35);
        }
        break;
    case 0x2E: // WriteDataByIdentifier: never granted
        payload = negative(0x2E, 0x33);
        break;
    case 0x3E: // TesterPresent, answered even when suppression is asked for
        payload = {0x7E, 0x00};
        break;
    default:
        payload = negative(service, 0x11);
        break;
    }
    return framesLines(payload, rxHeader);
}

} // namespace veq
