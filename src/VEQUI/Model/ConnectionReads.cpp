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
    return response;
}

std::optional<std::string> readVIN(ELM327Session& session, std::stop_token stop) {
    const ELM327Response response = askAnswered(session, OBDCommand(OBDMode::vehicleInfo, vinPID), stop);
    if (response.ecus.empty()) return std::nullopt;
    const auto data = response.ecus.front().data(OBDMode::vehicleInfo, vinPID);
    if (!data) return std::nullopt;
    return VIN::decode(*data);
}

std::optional<FuelType> fetchFuelType(ELM327Session& session, std::stop_token stop) {
    std::optional<PIDReading> reading;
    try {
        reading = session.read(fuelTypePID, stop);
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

std::vector<DTC> readDTCs(ELM327Session& session, std::stop_token stop) {
    const ELM327Response response = askAnswered(session, OBDCommand(OBDMode::storedDTCs, std::nullopt), stop);
    return DTCResponse::codes(response, OBDMode::storedDTCs, session.protocolNumber().value_or(""));
}

std::optional<MonitorStatus> readMonitors(ELM327Session& session, std::optional<FuelType> fuelType,
                                          std::stop_token stop) {
    const ELM327Response response = askAnswered(session, OBDCommand(OBDMode::currentData, monitorStatusPID), stop);
    if (response.ecus.empty()) return std::nullopt;
    const auto data = response.ecus.front().data(OBDMode::currentData, monitorStatusPID);
    if (!data) return std::nullopt;
    return MonitorStatus::decode(*data, fuelType);
}

} // namespace veq::ConnectionReads
