#include "VEQProtocol/RequestEcho.hpp"

#include "VEQSupport/Text.hpp"

#include <algorithm>

namespace veq {

namespace {

constexpr std::uint8_t kNegativeResponse = 0x7F;
constexpr std::uint8_t kPositiveBit = 0x40;
constexpr std::uint8_t kResponsePending = 0x78;

bool saysPending(const ECUResponse& message, std::uint8_t service) {
    const std::vector<std::uint8_t>& p = message.payload;
    return p.size() >= 3 && p[0] == kNegativeResponse && p[1] == service && p[2] == kResponsePending;
}

} // namespace

RequestEcho RequestEcho::of(const OBDCommand& command) {
    RequestEcho echo{rawValue(command.mode), {}};
    if (command.pid) echo.parameter.push_back(*command.pid);
    return echo;
}

RequestEcho RequestEcho::of(UDSService service, std::span<const std::uint8_t> data) {
    RequestEcho echo{rawValue(service), {}};
    const bool byIdentifier =
        service == UDSService::readDataByIdentifier || service == UDSService::writeDataByIdentifier;
    if (byIdentifier && data.size() >= 2) echo.parameter.assign(data.begin(), data.begin() + 2);
    return echo;
}

std::optional<RequestEcho> RequestEcho::ofRequestText(std::string_view text) {
    std::string digits = text::withoutBlanks(text);
    // A last lone digit is the count of answers the adapter is to wait for ("010C1").
    if (digits.size() % 2 == 1) digits.pop_back();
    std::vector<std::uint8_t> bytes;
    if (!text::parseHexBytes(digits, bytes) || bytes.empty()) return std::nullopt;
    const std::uint8_t service = bytes.front();
    const std::span<const std::uint8_t> data(bytes.data() + 1, bytes.size() - 1);
    if (service == rawValue(OBDMode::currentData) || service == rawValue(OBDMode::vehicleInfo)) {
        RequestEcho echo{service, {}};
        if (!data.empty()) echo.parameter.push_back(data.front());
        return echo;
    }
    if (const std::optional<UDSService> uds = fromRaw<UDSService>(service)) return of(*uds, data);
    return RequestEcho{service, {}};
}

bool RequestEcho::namesAnotherRequest(const ECUResponse& answer) const {
    const std::vector<std::uint8_t>& p = answer.payload;
    if (p.empty()) return false;
    if (p[0] == kNegativeResponse) return p.size() >= 2 && p[1] != service;
    // Only a positive response identifier names a service; other bytes name nothing clearly.
    if ((p[0] & kPositiveBit) == 0) return false;
    if (p[0] != static_cast<std::uint8_t>(service | kPositiveBit)) return true;
    // This service: another request's only when the echoed parameter is whole and differs.
    if (p.size() < 1 + parameter.size()) return false;
    return !std::equal(parameter.begin(), parameter.end(), p.begin() + 1);
}

RequestEcho::Reading RequestEcho::readOf(const ELM327Response& reply, std::size_t ecu) const {
    Reading reading;
    const std::optional<std::string>& header = reply.ecus[ecu].header;
    bool whole = false;
    bool cut = false;
    bool ownWord = false; // a whole message named this request: pending or its answer
    const auto read = [&](const ECUResponse& message) {
        if (message.cutShort()) {
            cut = true;
            // After a "response pending", the answer came, broken: nothing is left to wait for.
            reading.pending = false;
            return false;
        }
        whole = true;
        if (namesAnotherRequest(message)) return false;
        ownWord = true;
        if (saysPending(message, service)) {
            reading.pending = true;
            return false;
        }
        reading.answer = &message;
        return true;
    };
    if (read(reply.ecus[ecu])) return reading;
    for (const ECUResponse& message : reply.followUps) {
        if (message.header == header && read(message)) break;
    }
    if (reading.answer) reading.pending = false;
    reading.anotherRequest = whole && !ownWord;
    reading.cutShort = cut && !reading.answer;
    return reading;
}

RequestEcho::Reading RequestEcho::readIn(const ELM327Response& reply) const {
    // An ECU whose whole messages all answer other requests (a slow ECU's late answer, printed
    // first) said nothing to this one: the next ECU's answer counts. Any other first ECU decides.
    Reading first;
    for (std::size_t i = 0; i < reply.ecus.size(); ++i) {
        const Reading reading = readOf(reply, i);
        if (i == 0) first = reading;
        if (!reading.anotherRequest || reading.cutShort) return reading;
    }
    return first;
}

std::vector<RequestEcho::Reading> RequestEcho::readEach(const ELM327Response& reply) const {
    std::vector<Reading> readings;
    readings.reserve(reply.ecus.size());
    for (std::size_t i = 0; i < reply.ecus.size(); ++i) readings.push_back(readOf(reply, i));
    return readings;
}

std::vector<const ECUResponse*> RequestEcho::answersIn(const ELM327Response& reply) const {
    std::vector<const ECUResponse*> answers;
    for (const Reading& reading : readEach(reply)) {
        if (reading.answer != nullptr) answers.push_back(reading.answer);
    }
    return answers;
}

std::vector<const ECUResponse*> RequestEcho::everyAnswerIn(const ELM327Response& reply) const {
    std::vector<const ECUResponse*> answers = answersIn(reply);
    for (const ECUResponse& message : reply.followUps) {
        const bool answersThis = !message.header && !message.cutShort() && !namesAnotherRequest(message) &&
                                 !saysPending(message, service);
        if (answersThis && std::find(answers.begin(), answers.end(), &message) == answers.end()) answers.push_back(&message);
    }
    return answers;
}

bool RequestEcho::brokenIn(const ELM327Response& reply) const {
    const std::vector<Reading> readings = readEach(reply);
    return std::any_of(readings.begin(), readings.end(), [](const Reading& r) { return r.cutShort; });
}

bool RequestEcho::namedExactlyBy(const ELM327Response& reply) const {
    const ECUResponse* answer = readIn(reply).answer;
    if (reply.error || answer == nullptr) return false;
    const std::vector<std::uint8_t>& p = answer->payload;
    if (p.empty() || p[0] != static_cast<std::uint8_t>(service | kPositiveBit)) return false;
    return p.size() >= 1 + parameter.size() && std::equal(parameter.begin(), parameter.end(), p.begin() + 1);
}

bool RequestEcho::stillPending(const ELM327Response& reply) const { return readIn(reply).pending; }

bool RequestEcho::onlyReads() const {
    switch (service) {
    case static_cast<std::uint8_t>(OBDMode::currentData):
    case static_cast<std::uint8_t>(OBDMode::freezeFrame):
    case static_cast<std::uint8_t>(OBDMode::storedDTCs):
    case static_cast<std::uint8_t>(OBDMode::oxygenSensorTest):
    case static_cast<std::uint8_t>(OBDMode::onBoardMonitorTest):
    case static_cast<std::uint8_t>(OBDMode::pendingDTCs):
    case static_cast<std::uint8_t>(OBDMode::vehicleInfo):
    case static_cast<std::uint8_t>(OBDMode::permanentDTCs):
    case static_cast<std::uint8_t>(UDSService::readDTCInformation):
    case static_cast<std::uint8_t>(UDSService::readDataByIdentifier):
    case static_cast<std::uint8_t>(UDSService::testerPresent): return true;
    default: return false;
    }
}

} // namespace veq
