#include "VEQEngine/UDS/UDSClient.hpp"
#include "VEQProtocol/DTCResponse.hpp"
#include "VEQProtocol/ELM327Parser.hpp"
#include "VEQProtocol/ReadinessMonitors.hpp"
#include "VEQProtocol/VIN.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

// An adapter's reply as the session hands it on, read by the decoders of what the car says:
// trouble codes of modes 03, 07 and 0A, UDS trouble-code records, the VIN and the monitor
// status. The first byte picks the frame format and the protocol in force.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const veq::FrameFormat formats[] = {veq::FrameFormat::headersOff, veq::FrameFormat::can11, veq::FrameFormat::can29};
    const char* protocols[] = {"6", "A7", "3", "5", ""};
    const auto format = formats[data[0] % 3];
    const char* protocol = protocols[(data[0] / 3) % 5];
    const std::span<const std::uint8_t> reply(data + 1, size - 1);
    const auto response = veq::ELM327Parser::parse(reply, format);

    for (const veq::OBDMode mode : {veq::OBDMode::storedDTCs, veq::OBDMode::pendingDTCs, veq::OBDMode::permanentDTCs}) {
        if (veq::DTCResponse::codes(response, mode, protocol).size() > size) __builtin_trap();
    }
    for (const auto& ecu : response.ecus) {
        if (const auto vin = veq::VIN::decode(ecu.payload)) {
            if (vin->size() != 17 || !veq::VIN::analyze(*vin)) __builtin_trap();
        }
        if (const auto status = veq::MonitorStatus::decode(ecu.payload)) {
            if (status->continuousMonitors.size() != 3 || status->nonContinuousMonitors.size() != 8) __builtin_trap();
            (void)status->flags();
        }
        const auto records = veq::UDSClient::parseDTCRecords(ecu.payload);
        if (records.size() * 4 > ecu.payload.size()) __builtin_trap();
        for (const auto& record : records) (void)record.id();
    }
    // The same decoders on the bytes as they came, for whatever a parser lets through.
    (void)veq::VIN::decode(reply);
    (void)veq::MonitorStatus::decode(reply);
    (void)veq::UDSClient::parseDTCRecords(reply);
    return 0;
}
