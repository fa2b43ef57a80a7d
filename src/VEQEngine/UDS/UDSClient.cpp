#include "VEQEngine/UDS/UDSClient.hpp"

#include "VEQProtocol/DTC.hpp"
#include "VEQSupport/Text.hpp"

#include <array>
#include <chrono>

namespace veq {

namespace {

constexpr std::uint8_t kNegativeResponse = 0x7F;
constexpr std::uint8_t kGeneralReject = rawValue(UDSNegativeResponse::generalReject);
// Replies holding only other ECUs' messages passed over in one wait for a "response pending"
// ECU's answer: a bound on what a busy bus can make a request read.
constexpr int kOtherECUsRepliesPerWait = 32;

// What a busy adapter prints in place of a request's answer: the ECU never saw the request.
bool refusedWhileBusy(ELM327Error error) {
    return error == ELM327Error::stopped || error == ELM327Error::unknownCommand;
}

} // namespace

UDSClient::UDSClient(ELM327Session& session) : session_(session) {}

std::optional<std::string> UDSClient::targetHeader() const {
    std::lock_guard lock(mutex_);
    return targetHeader_;
}

void UDSClient::target(std::string_view txHeader) { target(txHeader, std::nullopt); }

void UDSClient::target(std::string_view txHeader, std::optional<ECUResponder> responder) {
    if (!responder) responder = ECUResponder::ofISO(txHeader);
    std::lock_guard lock(mutex_);
    targetHeader_ = TransmitHeader::of(txHeader).header();
    responder_ = std::move(responder);
}

std::optional<ECUResponder> UDSClient::responder() const {
    std::lock_guard lock(mutex_);
    return responder_;
}

TransmitHeader UDSClient::header() const {
    std::lock_guard lock(mutex_);
    return targetHeader_ ? TransmitHeader::of(*targetHeader_) : TransmitHeader::any();
}

std::string UDSClient::requestText(UDSService service, std::span<const std::uint8_t> data) {
    std::string text = text::hexByte(rawValue(service));
    text += text::hexUpper(data);
    return text;
}

ELM327Response UDSClient::exchange(UDSService service, std::span<const std::uint8_t> data, const RequestEcho& echo,
                                   bool& pendingAnnounced, bool& foreign, std::stop_token stop) {
    // Held until the last wait: a command of another user sent meanwhile would discard or take
    // the ECU's real answer.
    const TransmitHeader ecu = header();
    const std::optional<ECUResponder> responder = this->responder();
    const auto others = [&](const ELM327Response& reply) { return responder && responder->onlyOthers(reply); };
    const auto own = [&](ELM327Response reply) { return responder ? responder->view(reply) : reply; };
    // Another ECU's message, or one of this ECU naming another request: nothing of this request.
    const auto passedOver = [&](const ELM327Response& reply) {
        return others(reply) || (responder && responder->answersAnotherRequest(reply, echo));
    };
    ELM327Session::ExclusiveSection section = session_.exclusive(stop);
    // The session pairs each reply with its request: late answers of earlier requests never come here.
    const std::string text = requestText(service, data);
    ELM327Response reply = session_.raw(ecu, text, echo, responder, stop);
    foreign = others(reply);
    reply = own(std::move(reply));
    int waits = 0;
    pendingAnnounced = echo.stillPending(reply);
    while (waits < maxPendingWaits && echo.stillPending(reply)) {
        // Another ECU's message, or this ECU's answer to another request, neither answers nor
        // counts: the wait it came in goes on to its end.
        const auto since = std::chrono::steady_clock::now();
        ELM327Response next = session_.awaitNext(stop);
        for (int passed = 0; passedOver(next) && passed < kOtherECUsRepliesPerWait; ++passed) {
            next = session_.awaitNext(stop, since);
        }
        reply = own(std::move(next));
        if (!reply.ecus.empty()) ++waits;
    }
    return reply;
}

std::vector<std::uint8_t> UDSClient::request(UDSService service, std::span<const std::uint8_t> data, int retriesLeft,
                                             std::stop_token stop) {
    const RequestEcho echo = RequestEcho::of(service, data);
    for (;;) {
        bool pendingAnnounced = false;
        bool foreign = false;
        const ELM327Response reply = exchange(service, data, echo, pendingAnnounced, foreign, stop);
        // Whatever the adapter said of a header it did not take, it is no answer to this request.
        if (reply.unsent) throw UDSError::unsent(reply.error, reply.headerNotTaken);
        if (reply.error == ELM327Error::noData) throw UDSError::none();
        if (reply.error && refusedWhileBusy(*reply.error)) throw UDSError::unanswered(*reply.error);
        if (reply.error) throw UDSError::adapter(*reply.error);
        // An ECU that announced its answer and then went quiet did answer: only a request that got
        // nothing at all was perhaps never heard.
        if (reply.isSilence() && !pendingAnnounced) throw UDSError::unanswered();
        // Only other ECUs answered: this one said nothing yet, or its reply was lost.
        if (foreign) throw UDSError::unanswered();
        const std::vector<std::uint8_t>* first = reply.firstPayload();
        // An ECU whose frames formed no whole message did answer: read below as unanswered.
        if (first == nullptr || (first->empty() && !reply.ecus.front().cutShort())) throw UDSError::none();
        const RequestEcho::Reading reading = echo.readIn(reply);
        // Read with headers, this ECU's answer to another of its requests, held or late, is no
        // answer to this one: its own reply may have been lost. One that said "response pending"
        // heard the request, which is not asked again.
        // The reply is already the ECU's own part: its reading tells.
        if (responder() && ECUResponder::withHeaders(reply) && reading.anotherRequest) {
            throw pendingAnnounced ? UDSError::none() : UDSError::unanswered();
        }
        // The reply is this request's (the session pairs them): one naming another is a wrong answer.
        if (reading.anotherRequest) throw UDSError::unexpected(*first);
        if (reading.pending) throw UDSError::negative(rawValue(service), rawValue(UDSNegativeResponse::responsePending));
        // Messages shorter than their first frame announced are no answer, and never shown.
        if (reading.answer == nullptr) throw UDSError::unanswered();
        const std::vector<std::uint8_t>& p = reading.answer->payload;
        if (p[0] == kNegativeResponse) {
            const std::uint8_t nrc = p.size() >= 3 ? p[2] : kGeneralReject;
            if (nrc == rawValue(UDSNegativeResponse::busyRepeatRequest) && retriesLeft >= 1) {
                --retriesLeft;
                continue;
            }
            throw UDSError::negative(rawValue(service), nrc);
        }
        if (p[0] == positiveResponse(service)) return std::vector<std::uint8_t>(p.begin() + 1, p.end());
        throw UDSError::unexpected(p);
    }
}

void UDSClient::openDiagnosticSession(UDSSessionType type, std::stop_token stop) {
    const std::array<std::uint8_t, 1> data{rawValue(type)};
    request(UDSService::diagnosticSessionControl, data, standardRetries, stop);
}

void UDSClient::testerPresent(std::stop_token stop) {
    const std::array<std::uint8_t, 1> data{0x00};
    request(UDSService::testerPresent, data, standardRetries, stop);
}

std::vector<std::uint8_t> UDSClient::readDataByIdentifier(std::uint16_t identifier, std::stop_token stop) {
    const std::array<std::uint8_t, 2> echo{static_cast<std::uint8_t>(identifier >> 8),
                                           static_cast<std::uint8_t>(identifier & 0xFF)};
    // request() refuses an answer echoing another identifier.
    std::vector<std::uint8_t> p = request(UDSService::readDataByIdentifier, echo, standardRetries, stop);
    if (p.size() < 2) return {};
    p.erase(p.begin(), p.begin() + 2);
    return p;
}

std::vector<std::uint8_t> UDSClient::identifierValue(std::span<const std::uint8_t> answer) {
    if (answer.size() <= 3) return {};
    return {answer.begin() + 3, answer.end()};
}

std::vector<UDSDTC> UDSClient::parseDTCRecords(std::span<const std::uint8_t> p) {
    std::vector<UDSDTC> records;
    if (p.size() < 6) return records;
    for (std::size_t i = 2; i + 4 <= p.size(); i += 4) {
        std::optional<DTC> code = DTC::decode(p[i], p[i + 1]);
        if (!code) continue;
        records.push_back(UDSDTC{std::move(*code), p[i + 2], p[i + 3]});
    }
    return records;
}

std::vector<UDSDTC> UDSClient::readDTCsByStatusMask(std::uint8_t mask, std::stop_token stop) {
    const std::array<std::uint8_t, 2> data{0x02, mask}; // report by status mask
    return parseDTCRecords(request(UDSService::readDTCInformation, data, standardRetries, stop));
}

std::vector<std::uint8_t> UDSClient::requestSecuritySeed(std::uint8_t level, std::stop_token stop) {
    const std::array<std::uint8_t, 1> data{level};
    return request(UDSService::securityAccess, data, standardRetries, stop);
}

} // namespace veq
