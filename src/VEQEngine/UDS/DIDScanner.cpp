#include "VEQEngine/UDS/DIDScanner.hpp"

#include "VEQEngine/Session/AdapterSilent.hpp"
#include "VEQEngine/UDS/AskOnceMore.hpp"
#include "VEQProtocol/UDSService.hpp"
#include "VEQTransport/TransportError.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace veq {

namespace {

// A callback's failure is its own: the run goes on.
template <typename Call>
void shielded(const Call& call) noexcept {
    try {
        call();
    } catch (...) {
    }
}

// A run survives every failure of a step but a silent adapter's and a lost link's, after which
// nothing more could be read.
constexpr bool lostLinkEnds = true;

} // namespace

DIDScanner::DIDScanner(ELM327Session& session) : DIDScanner(session, Timing{}) {}

DIDScanner::DIDScanner(ELM327Session& session, Timing timing) : session_(session), timing_(timing) {}

bool DIDScanner::isScanning() const {
    std::lock_guard lock(mutex_);
    return scanning_;
}

void DIDScanner::stop() {
    {
        std::lock_guard lock(mutex_);
        scanning_ = false;
        watching_ = false;
    }
    changed_.notify_all();
}

bool DIDScanner::scanningGoesOn(std::stop_token stop) const {
    std::lock_guard lock(mutex_);
    return scanning_ && !stop.stop_requested();
}

bool DIDScanner::watchingGoesOn(std::stop_token stop) const {
    std::lock_guard lock(mutex_);
    return watching_ && !stop.stop_requested();
}

DIDScanner::RunScope::RunScope(DIDScanner& scanner, bool& flag) : scanner_(scanner), flag_(flag) {
    std::lock_guard lock(scanner_.mutex_);
    flag_ = true;
}

void DIDScanner::RunScope::finish() {
    if (std::exchange(finished_, true)) return;
    std::lock_guard lock(scanner_.mutex_);
    flag_ = false;
}

void DIDScanner::prepare(UDSClient& client, std::stop_token stop) {
    // Many identifiers can be read in the default session too. A session change is never sent twice.
    toleratingFailure([&] { client.openDiagnosticSession(UDSSessionType::extended, stop); }, lostLinkEnds);
}

void DIDScanner::keepAlive(UDSClient& client, std::stop_token stop) {
    // The next reads show whether the session is still open.
    toleratingFailure([&] { client.testerPresent(stop); }, lostLinkEnds);
}

DIDScanner::Reading DIDScanner::read(UDSClient& client, std::uint16_t identifier, bool askTwice,
                                     std::stop_token stop) {
    const auto once = [&] { return client.readDataByIdentifier(identifier, stop); };
    Reading reading;
    toleratingFailure(
        [&] {
            try {
                std::vector<std::uint8_t> value = askTwice ? askOnceMore(once) : once();
                if (!value.empty()) reading.value = std::move(value);
            } catch (const UDSError& e) {
                reading.unanswered = e.kind() == UDSError::Kind::unanswered;
            }
        },
        lostLinkEnds);
    return reading;
}

DIDScanner::ScanOutcome DIDScanner::scan(std::string_view ecu, const DIDRange& range, const FoundHandler& onFound,
                                         const ProgressHandler& onProgress, std::stop_token stop,
                                         std::optional<ECUResponder> responder) {
    const auto report = [&](std::int32_t done, std::int32_t total, std::uint32_t identifier) {
        if (onProgress) shielded([&] { onProgress(done, total, static_cast<std::uint16_t>(identifier)); });
    };
    const auto found = [&](std::uint16_t did, std::vector<std::uint8_t> value) {
        if (onFound) shielded([&] { onFound(DiscoveredDID::make(did, std::string(ecu), std::move(value))); });
    };
    RunScope run(*this, scanning_);
    const std::int32_t total = range.count();
    std::int32_t done = 0;
    ScanOutcome outcome;
    bool ended = false; // by a silent adapter or a lost link
    // What each identifier read got, for the answers kept past their read.
    enum class Mark : std::uint8_t { noValue, found, unanswered };
    std::vector<Mark> marks;
    std::optional<ELM327Session::AnswerKeeping> keeping;
    std::optional<std::string> answersFrom;
    if (responder && responder->namesItAlone()) answersFrom = responder->own();
    if (answersFrom) keeping.emplace(session_.keepAnswers({*answersFrom}));
    {
        // A mute adapter costs every identifier its full reply waits: the watch ends the run instead.
        const ELM327Session::SilenceWatch silence = session_.watchSilence(timing_.adapterSilence);
        try {
            UDSClient client(session_);
            client.target(ecu, responder);
            prepare(client, stop);
            // 32-bit arithmetic: the last identifier of a full range is 0xFFFF.
            for (std::uint32_t identifier = range.start; done < total && scanningGoesOn(stop); ++identifier) {
                const auto did = static_cast<std::uint16_t>(identifier);
                Reading reading = read(client, did, true, stop);
                // Taken either way: one answered in time leaves no answer to wait for.
                if (std::optional<Reading> kept = keptReading(answersFrom, did); kept && !reading.value) reading = *kept;
                if (reading.value) found(did, *reading.value);
                if (reading.unanswered) ++outcome.unanswered;
                if (answersFrom) {
                    marks.push_back(reading.value ? Mark::found : reading.unanswered ? Mark::unanswered : Mark::noValue);
                }
                ++done;
                if (done % progressInterval == 0 || done == total) {
                    report(done, total, identifier);
                    if (done % keepAliveInterval == 0) keepAlive(client, stop);
                }
            }
        } catch (const AdapterSilent&) {
            // The identifier whose read gave up stays counted as not done: it is the next one.
            outcome.end = ScanEnd::adapterSilent;
            ended = true;
        } catch (const TransportError&) {
            // Only a lost link gets here; the identifier under way stays not done, as above.
            outcome.end = ScanEnd::linkLost;
            ended = true;
        }
    }
    // The answers that came after their read was done.
    if (answersFrom) {
        for (const auto& kept : session_.takeKeptAnswers(*answersFrom)) {
            // Kept answers to a read by identifier echo it: 62, then the identifier.
            const Bytes& answer = kept.second;
            if (answer.size() < 3 || answer[0] != positiveResponse(UDSService::readDataByIdentifier)) continue;
            const int did = (answer[1] << 8) | answer[2];
            if (did < range.start || did - range.start >= done) continue;
            Mark& mark = marks[static_cast<std::size_t>(did - range.start)];
            if (mark == Mark::found) continue;
            if (mark == Mark::unanswered) --outcome.unanswered;
            mark = Mark::noValue;
            if (Bytes value = UDSClient::identifierValue(answer); !value.empty()) {
                mark = Mark::found;
                found(static_cast<std::uint16_t>(did), std::move(value));
            }
        }
    }
    keeping.reset();
    if (!ended && done == total) outcome.end = outcome.unanswered > 0 ? ScanEnd::incomplete : ScanEnd::complete;
    run.finish();
    const std::uint32_t next = std::min<std::uint32_t>(range.start + static_cast<std::uint32_t>(done), range.end);
    report(done, total, next);
    return outcome;
}

std::optional<DIDScanner::Reading> DIDScanner::keptReading(const std::optional<std::string>& answersFrom,
                                                           std::uint16_t identifier) const {
    if (!answersFrom) return std::nullopt;
    const std::array<std::uint8_t, 2> echo{static_cast<std::uint8_t>(identifier >> 8),
                                           static_cast<std::uint8_t>(identifier & 0xFF)};
    const std::optional<Bytes> kept =
        session_.takeKeptAnswer(*answersFrom, UDSClient::requestText(UDSService::readDataByIdentifier, echo));
    if (!kept) return std::nullopt;
    Reading reading;
    if (Bytes value = UDSClient::identifierValue(*kept); !value.empty()) reading.value = std::move(value);
    return reading;
}

void DIDScanner::pauseBetweenPasses(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, stop, timing_.watchPause, [&] { return !watching_; });
}

DIDScanner::WatchEnd DIDScanner::watch(std::string_view ecu, const std::vector<std::uint16_t>& identifiers,
                                       const UpdateHandler& onUpdate, std::stop_token stop,
                                       std::optional<ECUResponder> responder) {
    if (identifiers.empty()) return WatchEnd::stopped;
    RunScope run(*this, watching_);
    UDSClient client(session_);
    client.target(ecu, responder);
    try {
        prepare(client, stop);
        while (watchingGoesOn(stop)) {
            for (std::size_t k = 0; k < identifiers.size(); ++k) {
                if (k > 0 && !watchingGoesOn(stop)) break;
                // The next pass reads it again: a lost reply is not worth a second ask here.
                if (Reading reading = read(client, identifiers[k], false, stop); reading.value) {
                    if (onUpdate) shielded([&] { onUpdate(identifiers[k], *reading.value); });
                }
            }
            pauseBetweenPasses(stop);
        }
    } catch (const AdapterSilent&) {
        // Only under a silence watch of the caller's own thread: every later read would fail at once.
        return WatchEnd::adapterSilent;
    } catch (const TransportError&) {
        return WatchEnd::linkLost; // only a lost link gets here
    }
    return WatchEnd::stopped;
}

} // namespace veq
