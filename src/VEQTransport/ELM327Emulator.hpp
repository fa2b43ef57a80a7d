#pragma once

#include "VEQTransport/VehicleSimulation.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// An ELM327-compatible adapter wired to the simulated car: it takes one command line as the
// application sends it and returns the exact bytes a real adapter prints, prompt included.
// CAN frames are printed as an adapter does with spaces off: the 3-character header when
// headers are on, then the 8 frame bytes (ISO-TP control byte first, padded with 00) as
// upper-case hexadecimal. Trouble-code replies carry the count byte of CAN after the service
// byte, and parameter 01 reports the lamp and the number of stored codes. The car's diagnosable
// units answer UDS on their request headers, each replying on its header plus 8: the engine
// (7E0, which alone also answers OBD-II on its physical address) and the transmission (7E1)
// with live data and trouble codes, and the units the coding recipes address (7E2 to 7E7, 740,
// 7B2) with their identification only. A plain value: copy it, or assign a fresh one to reset
// every setting.
struct ELM327Emulator {
    using Bytes = std::vector<std::uint8_t>;
    using CodeBytes = std::array<std::uint8_t, 2>;

    bool echo = true;                          // echo the command before the reply
    bool headers = false;                      // print the CAN header before each frame
    std::string protocolNumber = "6";          // answer to ATDPN
    std::string firmwareVersion = "ELM327 v1.5";
    static constexpr std::string_view engineResponseHeader = "7E8";
    std::vector<CodeBytes> storedDTCs{{0x03, 0x00}, {0x01, 0x71}}; // P0300, P0171
    std::vector<CodeBytes> pendingDTCs;
    std::vector<CodeBytes> permanentDTCs{{0x03, 0x00}};            // P0300
    std::string vin = "WDD2571231A123456";
    std::string currentTxHeader = "7DF";       // request header last set with ATSH

    // The reply to one command line, as UTF-8 bytes ending with the ">" prompt. Never fails:
    // malformed hexadecimal and unknown commands give "?", unanswerable requests "NO DATA".
    Bytes respond(std::string_view line, const VehicleState& state);

    // The reply header for a request header: the header read as hexadecimal plus 8, as "%03X";
    // "7E8" when it is empty, not hexadecimal or longer than four digits.
    static std::string udsRxHeader(std::string_view requestHeader);

    // The identification bytes of a data identifier for a unit's request header, or nothing.
    std::optional<Bytes> didData(std::uint16_t identifier, std::string_view ecu) const;

    // The live bytes of a data identifier for a request header ("7E0" engine, "7E1"
    // transmission) in a state, or nothing.
    static std::optional<Bytes> liveDID(std::uint16_t identifier, std::string_view ecu, const VehicleState& state);

    // The request headers of the car's diagnosable units, in the order of its table.
    static std::vector<std::string> unitHeaders();

    // ISO-TP segmentation without flow control: one single frame for up to 7 bytes, otherwise
    // a first frame and consecutive frames (sequence 1 to F, then 0 again), each 8 bytes.
    static std::vector<Bytes> segment(std::span<const std::uint8_t> payload);

    bool operator==(const ELM327Emulator&) const = default;

private:
    std::vector<std::string> handleAT(const std::string& command, const VehicleState& state);
    std::vector<std::string> handleOBD(const std::string& command, const VehicleState& state) const;
    std::vector<std::string> handleUDS(std::span<const std::uint8_t> request, const VehicleState& state) const;
    std::vector<std::string> framesLines(std::span<const std::uint8_t> payload, std::string_view header) const;
    std::vector<std::string> dtcLines(std::uint8_t mode, const std::vector<CodeBytes>& codes) const;
    std::uint8_t lampAndCodeCount() const;
};

} // namespace veq
