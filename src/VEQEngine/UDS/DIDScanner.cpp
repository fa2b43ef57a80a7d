#include "VEQEngine/UDS/DIDScanner.hpp"

#include "VEQEngine/Session/AdapterSilent.hpp"
#include "VEQProtocol/UDSService.hpp"

#include <algorithm>
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
    // Many identifiers can be read in the default session too.
    toleratingFailure([&] { client.openDiagnosticSession(UDSSessionType::extended, stop); });
}

void DIDScanner::keepAlive(UDSClient& client, std::stop_token stop) {
    // The next reads show whether the session is still open.
    toleratingFailure([&] { client.testerPresent(stop); });
}

std::optional<std::vector<std::uint8_t>> DIDScanner::readValue(UDSClient& client, std::uint16_t identifier,
                                                              std::stop_token stop) {
    std::vector<std::uint8_t> value;
    if (!toleratingFailure([&] { value = client.readDataByIdentifier(identifier, stop); }) || value.empty()) {
        return std::nullopt;
    }
    return value;
}

DIDScanner::ScanEnd DIDScanner::scan(std::string_view ecu, const DIDRange& range, const FoundHandler& onFound,
                                     const ProgressHandler& onProgress, std::stop_token stop) {
    const auto report = [&](std::int32_t done, std::int32_t total, std::uint32_t identifier) {
        if (onProgress) shielded([&] { onProgress(done, total, static_cast<std::uint16_t>(identifier)); });
    };
    RunScope run(*this, scanning_);
    const std::int32_t total = range.count();
    std::int32_t done = 0;
    ScanEnd end = ScanEnd::stopped;
    {
        // A mute adapter costs every identifier its full reply waits: the watch ends the run instead.
        const ELM327Session::SilenceWatch silence = session_.watchSilence(timing_.adapterSilence);
        try {
            UDSClient client(session_);
            client.target(ecu);
            prepare(client, stop);
            // 32-bit arithmetic: the last identifier of a full range is 0xFFFF.
            for (std::uint32_t identifier = range.start; done < total && scanningGoesOn(stop); ++identifier) {
                const auto did = static_cast<std::uint16_t>(identifier);
                if (std::optional<std::vector<std::uint8_t>> value = readValue(client, did, stop)) {
                    if (onFound) shielded([&] { onFound(DiscoveredDID::make(did, std::string(ecu), std::move(*value))); });
                }
                ++done;
                if (done % progressInterval == 0 || done == total) {
                    report(done, total, identifier);
                    if (done % keepAliveInterval == 0) keepAlive(client, stop);
                }
            }
            if (done == total) end = ScanEnd::complete;
        } catch (const AdapterSilent&) {
            // The identifier whose read gave up stays counted as not done: it is the next one.
            end = ScanEnd::adapterSilent;
        }
    }
    run.finish();
    const std::uint32_t next = std::min<std::uint32_t>(range.start + static_cast<std::uint32_t>(done), range.end);
    report(done, total, next);
    return end;
}

void DIDScanner::pauseBetweenPasses(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, stop, timing_.watchPause, [&] { return !watching_; });
}

void DIDScanner::watch(std::string_view ecu, const std::vector<std::uint16_t>& identifiers,
                       const UpdateHandler& onUpdate, std::stop_token stop) {
    if (identifiers.empty()) return;
    RunScope run(*this, watching_);
    UDSClient client(session_);
    client.target(ecu);
    try {
        prepare(client, stop);
        while (watchingGoesOn(stop)) {
            for (std::size_t k = 0; k < identifiers.size(); ++k) {
                if (k > 0 && !watchingGoesOn(stop)) break;
                if (std::optional<std::vector<std::uint8_t>> value = readValue(client, identifiers[k], stop)) {
                    if (onUpdate) shielded([&] { onUpdate(identifiers[k], *value); });
                }
            }
            pauseBetweenPasses(stop);
        }
    } catch (const AdapterSilent&) {
        // Only under a silence watch of the caller's own thread: every later read would fail at once.
    }
}

} // namespace veq
