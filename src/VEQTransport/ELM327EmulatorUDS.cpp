// The emulator's UDS side: the simulated car's control units, the engine (7E0) and the
// transmission (7E1) with live data and trouble codes, and the units the coding recipes address.
#include "VEQTransport/ELM327Emulator.hpp"

#include "VEQSupport/Text.hpp"
#include "VEQTransport/OBDEncoder.hpp"

#include <fmt/format.h>

#include <algorithm>

namespace veq {

namespace {

using Bytes = ELM327Emulator::Bytes;

// Trouble-code records: three code bytes (code, failure type), then status 08 "confirmed".
constexpr std::uint8_t engineDTCRecords[] = {0x03, 0x00, 0x64, 0x08, 0x01, 0x71, 0x00, 0x08}; // P0300-64, P0171-00
constexpr std::uint8_t transmissionDTCRecords[] = {0x07, 0x15, 0x62, 0x08};                    // P0715-62

// One diagnosable unit: its request header, its identification texts (spare part number F187,
// software number F188 and version F195, serial number F18C, system name F197; F190 is the
// emulator's VIN) and its trouble-code records. The units are those the shipped vehicle
// profiles list, so that every unit a profile names answers on the simulated car.
struct Unit {
    std::string_view header;
    std::string_view partNumber;
    std::string_view software;
    std::string_view serialNumber;
    std::string_view systemName;
    std::span<const std::uint8_t> dtcRecords;
};

// clang-format off
constexpr Unit units[] = {
    {"7E0", "A2569006200", "0044/3.11.0", "MB2560M2561184", "M256 ECM",        engineDTCRecords},
    {"7E1", "A7252702300", "0014/1.09.0", "MB2540B0091122", "VGS 9G-TRONIC",   transmissionDTCRecords},
    {"7E2", "A2059005415", "0021/2.04.0", "MB2050E0012345", "ESP 9.3",         {}},
    {"7E3", "A2139008313", "0012/5.02.0", "MB2130G0045123", "ZGW",             {}},
    {"7E4", "A2059000121", "0031/4.10.0", "MB2050F0100441", "SAM-F",           {}},
    {"7E5", "A2059002834", "0031/4.08.0", "MB2050R0100987", "SAM-R",           {}},
    {"7E6", "A2139005006", "0045/6.01.0", "MB2130I0203345", "IC",              {}},
    {"7E7", "A2139001412", "0018/3.03.0", "MB2130S0033210", "SRS",             {}},
    {"740", "A2139009714", "0052/7.20.0", "MB2130H0412887", "HU",              {}},
    {"7B2", "A2059007702", "0011/2.01.0", "MB2050D0071209", "TSG-FL",          {}},
};
// clang-format on

const Unit* unitAt(std::string_view header) {
    const auto* unit = std::find_if(std::begin(units), std::end(units), [&](const Unit& u) { return u.header == header; });
    return unit == std::end(units) ? nullptr : unit;
}

Bytes wordBytes(double x) {
    const auto w = OBDEncoder::word(x);
    return {w[0], w[1]};
}

struct LiveRow {
    std::uint16_t identifier;
    std::string_view header; // of the unit that measures it
    Bytes (*encode)(const VehicleState&);
};

// clang-format off
const LiveRow liveRows[] = {
    {0x2001, "7E0", [](const VehicleState& s) { return wordBytes(s.rpm * 4); }},
    {0x2002, "7E0", [](const VehicleState& s) { return Bytes{OBDEncoder::truncatedByte(s.coolantC + 40)}; }},
    {0x2003, "7E0", [](const VehicleState& s) { return wordBytes(s.boostKpa * 10); }},
    {0x2004, "7E0", [](const VehicleState& s) { return Bytes{OBDEncoder::truncatedByte(s.oilC + 40)}; }},
    {0x2010, "7E1", [](const VehicleState& s) { return Bytes{static_cast<std::uint8_t>(std::clamp(s.gear, 0, 15))}; }},
    {0x2011, "7E1", [](const VehicleState& s) { return Bytes{OBDEncoder::truncatedByte(s.oilC + 8 + 40)}; }}, // 8 °C above engine oil
    {0x2012, "7E1", [](const VehicleState& s) { return wordBytes(s.speedKmh * 100); }},
};
// clang-format on

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
    const Unit* unit = unitAt(ecu);
    if (!unit) return std::nullopt;
    switch (identifier) {
    case 0xF187: return text::bytesOf(unit->partNumber);
    case 0xF188:
    case 0xF195: return text::bytesOf(unit->software);
    case 0xF18C: return text::bytesOf(unit->serialNumber);
    case 0xF190: return text::bytesOf(vin);
    case 0xF197: return text::bytesOf(unit->systemName);
    default: return std::nullopt;
    }
}

std::optional<Bytes> ELM327Emulator::liveDID(std::uint16_t identifier, std::string_view ecu, const VehicleState& state) {
    for (const LiveRow& row : liveRows) {
        if (row.identifier == identifier && row.header == ecu) return row.encode(state);
    }
    return std::nullopt;
}

std::vector<std::string> ELM327Emulator::unitHeaders() {
    std::vector<std::string> headers;
    for (const Unit& unit : units) headers.emplace_back(unit.header);
    return headers;
}

std::vector<std::string> ELM327Emulator::handleUDS(std::span<const std::uint8_t> request,
                                                   const VehicleState& state) const {
    const Unit* unit = unitAt(currentTxHeader);
    if (!unit) return {"NO DATA"};
    const std::string rxHeader = udsRxHeader(currentTxHeader);

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
            payload.insert(payload.end(), unit->dtcRecords.begin(), unit->dtcRecords.end());
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
