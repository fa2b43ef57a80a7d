#include "VEQEngine/DIDScanner.hpp"

#include "VEQProtocol/FrameFormat.hpp"
#include "VEQProtocol/UDSService.hpp"

#include <algorithm>
#include <utility>

namespace veq {

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

DIDScanner::Restore DIDScanner::prepare(UDSClient& client, std::string_view ecu, std::stop_token stop) {
    Restore back{session_.transmitHeader()};
    // On a 29-bit bus the header in force may be the physical one the protocol sweep found:
    // functional 11-bit addressing would silence the car there.
    if (!back.header && session_.format() != FrameFormat::can29) back.header = std::string(functionalHeader);
    try {
        client.target(ecu, stop);
    } catch (const std::exception&) {
        // The reads will tell whether the ECU answers on the header in force.
    }
    try {
        client.openDiagnosticSession(UDSSessionType::extended, stop);
    } catch (const std::exception&) {
        // Many identifiers can be read in the default session too.
    }
    return back;
}

void DIDScanner::restore(const Restore& back) {
    if (!back.header) return;
    try {
        // Not the run's stop token: a cancelled run must still give the poller its header back.
        // The exchange is bounded by the session's reply time-out.
        session_.raw("ATSH" + *back.header, {});
    } catch (const std::exception&) {
        // The link is gone or the session closing: nothing left to restore.
    }
}

std::optional<std::vector<std::uint8_t>> DIDScanner::readValue(UDSClient& client, std::uint16_t identifier,
                                                              std::stop_token stop) {
    try {
        std::vector<std::uint8_t> value = client.readDataByIdentifier(identifier, stop);
        if (value.empty()) return std::nullopt;
        return value;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void DIDScanner::scan(std::string_view ecu, const DIDRange& range, const FoundHandler& onFound,
                      const ProgressHandler& onProgress, std::stop_token stop) {
    const auto report = [&](std::int32_t done, std::int32_t total, std::uint32_t identifier) {
        if (onProgress) onProgress(done, total, static_cast<std::uint16_t>(identifier));
    };
    {
        std::lock_guard lock(mutex_);
        scanning_ = true;
    }
    UDSClient client(session_);
    const Restore back = prepare(client, ecu, stop);
    const std::int32_t total = range.count();
    const auto finish = [&] {
        restore(back);
        std::lock_guard lock(mutex_);
        scanning_ = false;
    };

    if (range.start > range.end || !scanningGoesOn(stop)) {
        finish();
        report(0, total, std::min(range.start, range.end));
        return;
    }

    // 32-bit arithmetic: the last identifier of a full range is 0xFFFF.
    std::int32_t done = 0;
    for (std::uint32_t identifier = range.start;; ++identifier) {
        const auto did = static_cast<std::uint16_t>(identifier);
        if (std::optional<std::vector<std::uint8_t>> value = readValue(client, did, stop)) {
            if (onFound) onFound(DiscoveredDID::make(did, std::string(ecu), std::move(*value)));
        }
        ++done;
        if (done % progressInterval == 0 || identifier == range.end) {
            report(done, total, identifier);
            if (done % keepAliveInterval == 0) {
                try {
                    client.testerPresent(stop);
                } catch (const std::exception&) {
                    // The next reads show whether the session is still open.
                }
            }
        }
        if (done == total || !scanningGoesOn(stop)) break;
    }
    finish();
    const std::uint32_t next = std::min<std::uint32_t>(range.start + static_cast<std::uint32_t>(done), range.end);
    report(done, total, next);
}

void DIDScanner::pauseBetweenPasses(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, stop, timing_.watchPause, [&] { return !watching_; });
}

void DIDScanner::watch(std::string_view ecu, const std::vector<std::uint16_t>& identifiers,
                       const UpdateHandler& onUpdate, std::stop_token stop) {
    if (identifiers.empty()) return;
    {
        std::lock_guard lock(mutex_);
        watching_ = true;
    }
    UDSClient client(session_);
    const Restore back = prepare(client, ecu, stop);
    while (watchingGoesOn(stop)) {
        for (std::size_t k = 0; k < identifiers.size(); ++k) {
            if (k > 0 && !watchingGoesOn(stop)) break;
            if (std::optional<std::vector<std::uint8_t>> value = readValue(client, identifiers[k], stop)) {
                if (onUpdate) onUpdate(identifiers[k], *value);
            }
        }
        pauseBetweenPasses(stop);
    }
    restore(back);
    std::lock_guard lock(mutex_);
    watching_ = false;
}

} // namespace veq
