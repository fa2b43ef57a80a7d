#include "VEQTransport/ELM327Emulator.hpp"

#include "VEQSupport/Text.hpp"
#include "VEQTransport/OBDEncoder.hpp"

#include <fmt/format.h>

#include <algorithm>

namespace veq {

namespace {

using Lines = std::vector<std::string>;

// Line breaks a sender may leave at either end of a line (the horizontal blanks are handled by
// text::trimHorizontal): LF, VT, FF, CR, and U+0085, U+2028, U+2029.
constexpr std::array<std::string_view, 7> lineBreaks{"\n", "\v", "\f", "\r", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"};

std::string_view trimWhitespaceAndNewlines(std::string_view s) {
    for (bool changed = true; changed;) {
        changed = false;
        const std::string_view trimmed = text::trimHorizontal(s);
        if (trimmed.size() != s.size()) changed = true;
        s = trimmed;
        for (std::string_view br : lineBreaks) {
            if (s.starts_with(br)) { s.remove_prefix(br.size()); changed = true; }
            if (s.ends_with(br)) { s.remove_suffix(br.size()); changed = true; }
        }
    }
    return s;
}

// Commands answered "OK" whatever follows them, in the adapter's table order.
constexpr std::array<std::string_view, 17> okPrefixes{
    "ATL", "ATS", "ATAT", "ATSP", "ATSH", "ATCRA", "ATCAF", "ATCFC", "ATFCSH",
    "ATFCSD", "ATFCSM", "ATST", "ATTP", "ATM", "ATAL", "ATCSM", "ATPP",
};

// Services handed to the UDS handler.
constexpr std::array<std::uint8_t, 9> udsServices{0x10, 0x11, 0x14, 0x19, 0x22, 0x27, 0x2E, 0x31, 0x3E};

const Lines noData{"NO DATA"};

} // namespace

ELM327Emulator::Bytes ELM327Emulator::respond(std::string_view line, const VehicleState& state) {
    const std::string_view trimmed = trimWhitespaceAndNewlines(line);
    std::string command = text::toUpperASCII(trimmed);
    std::erase(command, ' ');

    Lines lines;
    if (command.empty()) {
        // nothing to answer but the prompt
    } else if (command.starts_with("AT") || command.starts_with("ST")) {
        lines = handleAT(command, state);
    } else {
        lines = handleOBD(command, state);
    }

    std::string out;
    if (echo && !trimmed.empty()) {
        out += trimmed;
        out += '\r';
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) out += '\r';
        out += lines[i];
    }
    if (!lines.empty()) out += '\r';
    out += "\r>";
    return text::bytesOf(out);
}

std::vector<std::string> ELM327Emulator::handleAT(const std::string& command, const VehicleState& state) {
    if (command == "ATZ" || command == "ATWS") {
        echo = true;
        headers = false;
        return {firmwareVersion};
    }
    if (command == "ATE0" || command == "ATE1") {
        echo = command == "ATE1";
        return {"OK"};
    }
    if (command == "ATH0" || command == "ATH1") {
        headers = command == "ATH1";
        return {"OK"};
    }
    if (command == "ATI") return {firmwareVersion};
    if (command == "AT@1") return {"OBDII to RS232 Interpreter"};
    if (command == "ATDPN") return {protocolNumber};
    if (command == "ATDP") return {"ISO 15765-4 (CAN 11/500)"};
    if (command == "ATRV") return {fmt::format("{:.1f}V", state.controlVoltage)};
    if (command == "STI" || command == "STDI") return {"?"};
    if (command.starts_with("ATSH")) {
        currentTxHeader = command.substr(4);
        return {"OK"};
    }
    for (std::string_view prefix : okPrefixes) {
        if (command.starts_with(prefix)) {
            // The simulated bus is always ISO 15765-4 CAN 11/500, whatever protocol is asked for.
            if (command.starts_with("ATSP")) protocolNumber = "6";
            return {"OK"};
        }
    }
    return {"?"};
}

std::vector<std::string> ELM327Emulator::handleOBD(const std::string& command, const VehicleState& state) const {
    Bytes request;
    if (!text::parseHexBytes(command, request) || request.empty()) return {"?"};
    const std::uint8_t service = request[0];
    const bool hasPID = request.size() > 1;
    const std::uint8_t pid = hasPID ? request[1] : 0;

    // The engine answers OBD-II only on the functional address and its own physical one.
    if (service >= 0x01 && service <= 0x0A && currentTxHeader != "7DF" && currentTxHeader != "7E0") return noData;
    if (service == 0x00 || service >= 0x3F) return noData;

    switch (service) {
    case 0x01: {
        if (!hasPID) return noData;
        auto data = OBDEncoder::encode(pid, state);
        if (!data) return noData;
        if (pid == 0x01) (*data)[0] = lampAndCodeCount();
        Bytes payload{0x41, pid};
        payload.insert(payload.end(), data->begin(), data->end());
        return framesLines(payload, engineResponseHeader);
    }
    case 0x03: return dtcLines(0x43, storedDTCs);
    case 0x07: return dtcLines(0x47, pendingDTCs);
    case 0x0A: return dtcLines(0x4A, permanentDTCs);
    case 0x04: {
        const Bytes payload{0x44}; // acknowledged; the simulated codes are never cleared
        return framesLines(payload, engineResponseHeader);
    }
    case 0x09: {
        if (!hasPID) return noData;
        if (pid == 0x00) {
            const Bytes payload{0x49, 0x00, 0x40, 0x00, 0x00, 0x00}; // only the VIN (02) supported
            return framesLines(payload, engineResponseHeader);
        }
        if (pid == 0x02) {
            Bytes payload{0x49, 0x02, 0x01};
            payload.insert(payload.end(), vin.begin(), vin.end());
            return framesLines(payload, engineResponseHeader);
        }
        return noData;
    }
    default: break;
    }
    if (std::find(udsServices.begin(), udsServices.end(), service) != udsServices.end()) {
        return handleUDS(request, state);
    }
    return noData;
}

// The simulated bus is CAN, where the service byte is followed by the number of codes.
std::vector<std::string> ELM327Emulator::dtcLines(std::uint8_t mode, const std::vector<CodeBytes>& codes) const {
    Bytes payload{mode, static_cast<std::uint8_t>(std::min<std::size_t>(codes.size(), 0xFF))};
    for (const CodeBytes& code : codes) payload.insert(payload.end(), code.begin(), code.end());
    return framesLines(payload, engineResponseHeader);
}

// Byte A of parameter 01: the lamp (bit 7), lit while codes are stored, and their number.
std::uint8_t ELM327Emulator::lampAndCodeCount() const {
    if (storedDTCs.empty()) return 0x00;
    return static_cast<std::uint8_t>(0x80 | std::min<std::size_t>(storedDTCs.size(), 0x7F));
}

std::vector<std::string> ELM327Emulator::framesLines(std::span<const std::uint8_t> payload,
                                                     std::string_view header) const {
    Lines lines;
    for (const Bytes& frame : segment(payload)) {
        std::string line = headers ? std::string(header) : std::string();
        line += text::hexUpper(frame);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<ELM327Emulator::Bytes> ELM327Emulator::segment(std::span<const std::uint8_t> payload) {
    constexpr std::size_t frameSize = 8;
    std::vector<Bytes> frames;
    if (payload.size() <= 7) {
        Bytes frame{static_cast<std::uint8_t>(payload.size())};
        frame.insert(frame.end(), payload.begin(), payload.end());
        frame.resize(frameSize, 0x00);
        frames.push_back(std::move(frame));
        return frames;
    }
    const std::size_t length = payload.size();
    Bytes first{static_cast<std::uint8_t>(0x10 | ((length >> 8) & 0x0F)), static_cast<std::uint8_t>(length & 0xFF)};
    first.insert(first.end(), payload.begin(), payload.begin() + 6);
    frames.push_back(std::move(first));
    std::uint8_t sequence = 1;
    for (std::size_t offset = 6; offset < length; offset += 7) {
        const std::size_t end = std::min(offset + 7, length);
        Bytes frame{static_cast<std::uint8_t>(0x20 | sequence)};
        frame.insert(frame.end(), payload.begin() + static_cast<std::ptrdiff_t>(offset),
                     payload.begin() + static_cast<std::ptrdiff_t>(end));
        frame.resize(frameSize, 0x00);
        frames.push_back(std::move(frame));
        sequence = (sequence + 1) & 0x0F;
    }
    return frames;
}

} // namespace veq
