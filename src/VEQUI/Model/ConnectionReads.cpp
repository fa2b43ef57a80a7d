#include "VEQUI/Model/ConnectionReads.hpp"

#include "VEQProtocol/DTCResponse.hpp"
#include "VEQProtocol/OBDCommand.hpp"
#include "VEQProtocol/VIN.hpp"
#include "VEQSupport/Error.hpp"
#include "VEQUI/Model/ConnectionDiagnosis.hpp"

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

} // namespace

ELM327Response askAnswered(ELM327Session& session, const OBDCommand& command, std::stop_token stop) {
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
        if (!unanswered(again)) response = std::move(again);
    }
    return response;
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
    const ELM327Response response = askAnswered(session, command, stop);
    // A partial list would read as the car's whole: broken twice, the codes are unread.
    if (lostOnTheWay(response, command)) return std::nullopt;
    return DTCResponse::codes(response, OBDMode::storedDTCs, session.protocolNumber().value_or(""));
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
