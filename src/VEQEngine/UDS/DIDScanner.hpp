#pragma once

#include "VEQEngine/UDS/DIDRange.hpp"
#include "VEQEngine/UDS/DiscoveredDID.hpp"
#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/UDS/UDSClient.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// Reads every data identifier of a range from one ECU (read only: it never writes), and watches
// a list of identifiers by reading them again and again. Each run opens the extended diagnostic
// session first; every request of a run goes out with its ECU's header, whatever other users of
// the session (the polling, another run) send between two reads, and leaves nothing to put back.
//
// Thread-safe: stop() may be called from any thread, a callback included; a scan and a watch may
// run at the same time on different threads (each with its own flag). Callbacks run on the
// run's thread, one at a time, outside the command lock. No error leaves the scanner: a failed
// read skips its identifier, a callback that throws is passed over. A scan asks an identifier
// once more when its read got no reply at all, and counts those still unanswered after that;
// an adapter that has answered nothing for the silence limit, or a lost link, ends a run at once,
// which says so: what a scan could not read is never passed off as absent from the ECU.
class DIDScanner {
public:
    struct Timing {
        // The pause between two passes of a watch.
        std::chrono::nanoseconds watchPause = std::chrono::milliseconds(120);
        // The adapter answering nothing this long ends a scan: each identifier would otherwise
        // cost its full reply waits, for nothing.
        std::chrono::nanoseconds adapterSilence = std::chrono::seconds(30);
    };

    // How a scan ended.
    enum class ScanEnd {
        complete,      // every identifier of the range was read (an empty range included)
        incomplete,    // every identifier was asked, some twice without any reply: ScanOutcome::unanswered
        stopped,       // by stop() or the stop token
        adapterSilent, // the adapter answered nothing for Timing::adapterSilence: the rest is unread
        linkLost,      // the link to the adapter is gone: the rest is unread
    };

    struct ScanOutcome {
        ScanEnd end = ScanEnd::stopped;
        // Identifiers skipped because the adapter never answered them, asked twice.
        std::int32_t unanswered = 0;

        bool operator==(const ScanOutcome&) const = default;
    };

    // How a watch ended.
    enum class WatchEnd {
        stopped,       // by stop() or the stop token, or at once for an empty list
        adapterSilent, // under a silence watch of the caller's thread, the adapter found silent
        linkLost,      // the link to the adapter is gone
    };

    using FoundHandler = std::function<void(const DiscoveredDID&)>;
    // (identifiers done, total, identifier)
    using ProgressHandler = std::function<void(std::int32_t done, std::int32_t total, std::uint16_t identifier)>;
    using UpdateHandler = std::function<void(std::uint16_t identifier, const std::vector<std::uint8_t>& value)>;

    static constexpr std::int32_t progressInterval = 8;
    // A TesterPresent after this many identifiers keeps the extended session open.
    static constexpr std::int32_t keepAliveInterval = 400;

    // The session must outlive the scanner.
    explicit DIDScanner(ELM327Session& session);
    DIDScanner(ELM327Session& session, Timing timing);

    DIDScanner(const DIDScanner&) = delete;
    DIDScanner& operator=(const DIDScanner&) = delete;

    bool isScanning() const;
    // Ends the running scan and watch at their next check (after the read under way).
    void stop();

    // Reads every identifier of the range in ascending order; `onFound` receives each one that
    // holds a value, `onProgress` the count every 8 identifiers, after the last one, and once
    // more at the end with the next identifier that was not read. An identifier whose read got no
    // reply at all is asked once more, then skipped and counted. Returns when the range is done,
    // after stop(), when `stop` is requested, as soon as the adapter has answered nothing for
    // Timing::adapterSilence (counted from the scan's start at the earliest), or as soon as the
    // link is lost; no identifier is read after that.
    // `responder`, the ECU known by the header it answers from (the ECU map's): its reads take its
    // own messages alone; without one, those of the header's ISO 15765-4 pair. When its header
    // names it alone (ECUResponder::namesItAlone()), from the first read to the last the session
    // keeps the ECU's answers to the reads whatever line they went to, and an identifier read
    // without a value takes its own kept answer, then or once the last read is done: it is found,
    // and never counted unanswered.
    ScanOutcome scan(std::string_view ecu, const DIDRange& range, const FoundHandler& onFound,
                     const ProgressHandler& onProgress, std::stop_token stop = {},
                     std::optional<ECUResponder> responder = std::nullopt);

    // Reads the identifiers in passes, handing every value read to `onUpdate`, with a pause
    // between passes, until stop(), until `stop` is requested, or until the link is lost. An
    // empty list returns at once.
    // `responder` as for scan().
    WatchEnd watch(std::string_view ecu, const std::vector<std::uint16_t>& identifiers, const UpdateHandler& onUpdate,
                   std::stop_token stop = {}, std::optional<ECUResponder> responder = std::nullopt);

private:
    // One run's life: raises its flag; finish() (or the destructor, whatever ended the run)
    // lowers it.
    class RunScope {
    public:
        RunScope(DIDScanner& scanner, bool& flag);
        ~RunScope() { finish(); }
        RunScope(const RunScope&) = delete;
        RunScope& operator=(const RunScope&) = delete;

        void finish();

    private:
        DIDScanner& scanner_;
        bool& flag_;
        bool finished_ = false;
    };

    // One identifier's read: its value, if it holds one, and whether no reply came at all.
    using Bytes = std::vector<std::uint8_t>;
    struct Reading {
        std::optional<Bytes> value;
        bool unanswered = false;
    };

    // These swallow every failure but AdapterSilent and a lost link (TransportError::
    // notConnected, which the session throws at every exchange once it knows the link lost),
    // which end the run.
    static void prepare(UDSClient& client, std::stop_token stop);
    static void keepAlive(UDSClient& client, std::stop_token stop);
    // `askTwice`: a read that got no reply at all is asked once more.
    static Reading read(UDSClient& client, std::uint16_t identifier, bool askTwice, std::stop_token stop);
    // The ECU's answer to the read kept by the session, taken out: nothing when none was kept.
    std::optional<Reading> keptReading(const std::optional<std::string>& answersFrom, std::uint16_t identifier) const;
    bool scanningGoesOn(std::stop_token stop) const;
    bool watchingGoesOn(std::stop_token stop) const;
    void pauseBetweenPasses(std::stop_token stop);

    ELM327Session& session_;
    const Timing timing_;
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    bool scanning_ = false;
    bool watching_ = false;
};

} // namespace veq
