#include "VEQUI/Model/ConnectionReads.hpp"

#include "VEQProtocol/DTCResponse.hpp"
#include "VEQProtocol/ECUResponder.hpp"
#include "VEQProtocol/OBDCommand.hpp"
#include "VEQProtocol/VIN.hpp"
#include "VEQSupport/Error.hpp"
#include "VEQUI/Model/ConnectionDiagnosis.hpp"

#include <algorithm>

namespace veq::ConnectionReads {

namespace {

constexpr std::uint8_t vinPID = 0x02;
constexpr std::uint8_t fuelTypePID = 0x51;
constexpr std::uint8_t monitorStatusPID = 0x01;

// Nothing read: the adapter said nothing, or said only that it could not ("STOPPED", "?", "BUFFER
// FULL", "CAN ERROR", ...). "NO DATA" is the car's answer that it has nothing.
bool unanswered(const ELM327Response& response) {
    return response.isSilence() || (response.isError() && response.error != ELM327Error::noData);
}

// A reply asked for, and the one before it when that was broken on the way and asked once more.
struct Asked {
    ELM327Response reply;
    std::optional<ELM327Response> broken;
};

// One header's messages of a reply, the adapter's words kept.
ELM327Response messagesOf(const ELM327Response& reply, const std::string& header) {
    ELM327Response one = reply;
    const auto another = [&](const ECUResponse& m) { return m.header != header; };
    std::erase_if(one.ecus, another);
    std::erase_if(one.followUps, another);
    return one;
}

// The codes of two replies with headers to one request asked twice: each ECU's whole answer from
// either, the later one's when both are whole. Nothing when an ECU's answer was broken and never
// came whole: a partial list would read as the car's whole.
std::optional<std::vector<DTC>> codesOfEither(const ELM327Response& first, const ELM327Response& later,
                                              std::string_view protocol) {
    constexpr OBDMode mode = OBDMode::storedDTCs;
    std::vector<std::string> headers;
    for (const ELM327Response* reply : {&first, &later}) {
        for (const ECUResponse& m : reply->ecus) {
            if (!m.header || std::find(headers.begin(), headers.end(), *m.header) != headers.end()) continue;
            headers.push_back(*m.header);
        }
    }
    std::vector<DTC> out;
    for (const std::string& header : headers) {
        const ELM327Response ofLater = messagesOf(later, header);
        const ELM327Response ofFirst = messagesOf(first, header);
        const auto whole = [](const ELM327Response& r) {
            return !DTCResponse::broken(r, mode) && !DTCResponse::answers(r, mode).empty();
        };
        const ELM327Response* taken = whole(ofLater) ? &ofLater : whole(ofFirst) ? &ofFirst : nullptr;
        if (taken == nullptr) {
            if (DTCResponse::broken(ofLater, mode) || DTCResponse::broken(ofFirst, mode)) return std::nullopt;
            continue;
        }
        for (const DTC& dtc : DTCResponse::codes(*taken, mode, protocol)) {
            if (std::find(out.begin(), out.end(), dtc) == out.end()) out.push_back(dtc);
        }
    }
    return out;
}

Asked askKeeping(ELM327Session& session, const OBDCommand& command, std::stop_token stop) {
    ELM327Response response = session.query(command, stop);
    if (unanswered(response)) {
        const bool silentOnce = response.isSilence();
        response = session.queryAgain(command, stop);
        // Nothing at all twice: replies lost on the way, unless the adapter no longer answers.
        if (silentOnce && response.isSilence() && session.answersProbe(stop)) response = session.queryAgain(command, stop);
    }
    if (unanswered(response)) throw Error(std::string(ConnectionDiagnosis::identificationSilenceMessage));
    // An ECU's answer broken on the way is worth one more ask; broken twice, the caller tells it
    // unread, and a silence then keeps the broken reply: it never fails the connection.
    if (lostOnTheWay(response, command)) {
        ELM327Response again = session.queryAgain(command, stop);
        if (!unanswered(again)) return Asked{std::move(again), std::move(response)};
    }
    return Asked{std::move(response), std::nullopt};
}

} // namespace

ELM327Response askAnswered(ELM327Session& session, const OBDCommand& command, std::stop_token stop) {
    return askKeeping(session, command, stop).reply;
}

bool lostOnTheWay(const ELM327Response& response, const OBDCommand& command) {
    if (command.mode == OBDMode::storedDTCs) return DTCResponse::broken(response, command.mode);
    const RequestEcho echo = RequestEcho::of(command);
    if (command.mode == OBDMode::vehicleInfo && command.pid == vinPID) {
        const ECUResponse* answer = echo.readIn(response).answer;
        if (answer != nullptr && VIN::linesBroken(answer->payload)) return true;
    }
    return echo.brokenIn(response);
}

std::optional<std::string> readVIN(ELM327Session& session, std::stop_token stop) {
    const OBDCommand command(OBDMode::vehicleInfo, vinPID);
    const ELM327Response response = askAnswered(session, command, stop);
    const ECUResponse* answer = RequestEcho::of(command).readIn(response).answer;
    if (answer == nullptr || VIN::linesBroken(answer->payload)) return std::nullopt;
    const auto data = answer->data(OBDMode::vehicleInfo, vinPID);
    if (!data) return std::nullopt;
    return VIN::decode(*data);
}

std::optional<FuelType> fetchFuelType(ELM327Session& session, std::stop_token stop) {
    std::optional<PIDReading> reading;
    try {
        const OBDCommand command(OBDMode::currentData, fuelTypePID);
        ELM327Response response = session.query(command, stop);
        if (lostOnTheWay(response, command)) response = session.queryAgain(command, stop);
        reading = ELM327Session::readingIn(response, fuelTypePID);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const auto* text = reading ? reading->as<PIDReading::Text>() : nullptr;
    if (text == nullptr) return std::nullopt;
    for (const FuelType fuel : allKnownFuelTypes) {
        if (label(fuel) == text->text) return fuel;
    }
    return std::nullopt;
}

std::optional<std::vector<DTC>> readDTCs(ELM327Session& session, std::stop_token stop) {
    const OBDCommand command(OBDMode::storedDTCs, std::nullopt);
    const Asked asked = askKeeping(session, command, stop);
    const std::string protocol = session.protocolNumber().value_or("");
    // Told apart by their headers, the ECUs that answered whole only in the first reply count too.
    if (asked.broken && ECUResponder::withHeaders(*asked.broken) && ECUResponder::withHeaders(asked.reply)) {
        return codesOfEither(*asked.broken, asked.reply, protocol);
    }
    // A partial list would read as the car's whole: broken twice, the codes are unread.
    if (lostOnTheWay(asked.reply, command)) return std::nullopt;
    return DTCResponse::codes(asked.reply, OBDMode::storedDTCs, protocol);
}

std::optional<MonitorStatus> readMonitors(ELM327Session& session, std::optional<FuelType> fuelType,
                                          std::stop_token stop) {
    const OBDCommand command(OBDMode::currentData, monitorStatusPID);
    const ELM327Response response = askAnswered(session, command, stop);
    const ECUResponse* answer = RequestEcho::of(command).readIn(response).answer;
    if (answer == nullptr) return std::nullopt;
    const auto data = answer->data(OBDMode::currentData, monitorStatusPID);
    if (!data) return std::nullopt;
    return MonitorStatus::decode(*data, fuelType);
}

} // namespace veq::ConnectionReads
