// The adapter operations of ELM327Session, built on its command exchange.
#include "VEQEngine/Session/ELM327Session.hpp"

#include "VEQEngine/Session/AdapterSilent.hpp"
#include "VEQEngine/Session/ExchangeCancelled.hpp"
#include "VEQEngine/Session/MonitorAlreadyRunning.hpp"
#include "VEQProtocol/DTCResponse.hpp"
#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQSupport/Text.hpp"

#include <array>
#include <exception>

namespace veq {

namespace {

// Each base's bitmap announces whether the next base is worth asking.
constexpr std::array<std::uint8_t, 7> kSupportBases{0x00, 0x20, 0x40, 0x60, 0x80, 0xA0, 0xC0};

constexpr std::array<std::string_view, 3> kMonitorSetUp{"ATH1", "ATS1", "ATCAF0"};
constexpr std::array<std::string_view, 2> kMonitorRestore{"ATCAF1", "ATS0"};

std::optional<PIDReading> decode(const ECUResponse& ecu, std::uint8_t pid) {
    const std::optional<std::vector<std::uint8_t>> data = ecu.data(OBDMode::currentData, pid);
    if (!data) return std::nullopt;
    const PIDDefinition* definition = PIDCatalog::definition(pid);
    if (definition == nullptr) return std::nullopt;
    return definition->decode(*data);
}

} // namespace

std::vector<InitStep> ELM327Session::runInitialization(std::stop_token stop) {
    std::vector<InitStep> steps;
    steps.reserve(InitStep::standardSequence.size());
    for (const InitStep::Row& row : InitStep::standardSequence) {
        // The reset is never sent twice: a second one would undo what the first's reply told.
        const bool reset = steps.empty();
        const ELM327Response response = reset ? raw(row.command, stop) : setting(row.command, stop);
        steps.push_back(InitStep{std::string(row.command), std::string(row.label), !response.isError()});
    }
    return steps;
}

ELM327Response ELM327Session::probeVehicle(std::stop_token stop) {
    return query(OBDCommand(OBDMode::currentData, std::uint8_t{0x00}), stop);
}

FrameFormat ELM327Session::detectAndApplyProtocolFormat(std::stop_token stop) {
    const ELM327Response response = setting("ATDPN", stop);
    std::string joined;
    for (const std::string& line : response.lines) joined += line;
    if (!joined.empty()) {
        // "A6": found automatically, protocol 6. 6 and 8 are CAN with 11-bit identifiers, 7 and
        // 9 with 29-bit ones.
        switch (text::toUpperASCII(joined).back()) {
        case '7':
        case '9': setFormat(FrameFormat::can29); break;
        case '6':
        case '8': setFormat(FrameFormat::can11); break;
        default:
            // J1850, ISO 9141 and KWP print their own header bytes, which no frame format reads:
            // split as CAN frames the replies would be lost, so the adapter's headers go off (the
            // command switches the format too; refused, it changes nothing).
            if (const auto number = protocolNumber(); number && !DTCResponse::isCANProtocol(*number)) raw("ATH0", stop);
            break;
        }
    }
    return format();
}

std::set<std::uint8_t> ELM327Session::discoverSupportedPIDs(std::stop_token stop, const Ask& ask) {
    std::set<std::uint8_t> supported;
    for (const std::uint8_t base : kSupportBases) {
        const OBDCommand request(OBDMode::currentData, base);
        const ELM327Response response = ask ? ask(request) : query(request, stop);
        bool gaveBitmap = false;
        for (const ECUResponse* ecu : RequestEcho::of(request).everyAnswerIn(response)) {
            const std::optional<PIDReading> reading = decode(*ecu, base);
            if (!reading) continue;
            if (const auto* bitmap = reading->as<PIDReading::SupportBitmap>()) {
                supported.insert(bitmap->supported.begin(), bitmap->supported.end());
                gaveBitmap = true;
            }
        }
        if (!gaveBitmap) break;
        if (!supported.contains(static_cast<std::uint8_t>(base + 0x20))) break;
    }
    return supported;
}

std::optional<PIDReading> ELM327Session::readingIn(const ELM327Response& response, std::uint8_t pid) {
    return polledIn(response, pid).reading;
}

ELM327Session::PolledRead ELM327Session::polledIn(const ELM327Response& response, std::uint8_t pid) {
    // The first ECU that answered decides: a later one answering correctly does not make up for it.
    const RequestEcho::Reading reading = RequestEcho::of(OBDCommand(OBDMode::currentData, pid)).readIn(response);
    if (reading.answer == nullptr) return PolledRead{std::nullopt, reading.cutShort && !response.isError()};
    return PolledRead{decode(*reading.answer, pid), false};
}

std::optional<PIDReading> ELM327Session::read(std::uint8_t pid, std::stop_token stop) {
    return readPolled(pid, stop).reading;
}

ELM327Session::PolledRead ELM327Session::readPolled(std::uint8_t pid, std::stop_token stop) {
    return polledIn(query(OBDCommand(OBDMode::currentData, pid), stop), pid);
}

std::shared_ptr<MonitorStream> ELM327Session::startMonitoring(std::stop_token stop) {
    CallScope call(*this);
    acquireLock(stop, true);
    std::shared_ptr<MonitorStream> stream = std::make_shared<MonitorStream>();
    {
        std::lock_guard lock(mutex_);
        // Until the start is over, a stop is only noted: this thread ends the monitor then, so
        // that the hold is released exactly once.
        monitorStarting_ = true;
        monitorStopPending_ = false;
        formatBeforeMonitor_ = format_;
    }
    changed_.notify_all(); // starts waiting for the lock give up

    bool monitorCommandSent = false;
    try {
        prepareHeld(TransmitHeader::any(), stop);
        for (std::string_view command : kMonitorSetUp) {
            try {
                rawHeld(command, stop);
            } catch (const ExchangeCancelled&) {
                throw;
            } catch (const AdapterSilent&) {
                throw;
            } catch (const std::exception&) {
                // The adapter may monitor without this setting; carry on.
            }
        }
        {
            std::lock_guard lock(mutex_);
            if (monitorStopPending_ || closing_ || stop.stop_requested()) throw ExchangeCancelled();
            monitorStream_ = stream;
            readBuffer_.clear();
            scanned_ = 0;
            monitoring_ = true;
            pairing_.resynchronise(); // what comes now are bus lines, not replies
            // From here the hold belongs to monitor mode, not to the thread that started it.
            if (lockDepth_ == 1) lockOwner_ = {};
        }
        const std::array<std::uint8_t, 5> monitorAll{'A', 'T', 'M', 'A', '\r'};
        transport_->send(monitorAll, stop);
        monitorCommandSent = true;
        {
            std::lock_guard lock(mutex_);
            if (monitorStopPending_ || closing_ || stop.stop_requested()) throw ExchangeCancelled();
            monitorStarting_ = false;
        }
        return stream;
    } catch (...) {
        // Leave the adapter and the session as stopMonitoring() would, then report the failure.
        {
            std::lock_guard lock(mutex_);
            monitoring_ = false;
            monitorStream_.reset();
        }
        stream->finish();
        restoreAfterMonitor(monitorCommandSent, stop);
        {
            std::lock_guard lock(mutex_);
            monitorStarting_ = false;
            monitorStopPending_ = false;
            releaseLockLocked();
        }
        changed_.notify_all();
        throw;
    }
}

void ELM327Session::stopMonitoring(std::stop_token stop) {
    std::shared_ptr<MonitorStream> stream;
    {
        std::lock_guard lock(mutex_);
        if (closing_) return;
        if (monitorStarting_) {
            monitorStopPending_ = true;
            return;
        }
        if (!monitoring_) return;
        monitoring_ = false;
        stream = std::move(monitorStream_);
        ++activeCalls_;
    }
    // Released last, after the restore: monitor mode still holds the command lock meanwhile.
    struct Finish {
        ELM327Session& session;
        ~Finish() {
            session.releaseLock();
            std::lock_guard lock(session.mutex_);
            --session.activeCalls_;
            if (session.closing_) session.changed_.notify_all();
        }
    } finish{*this};

    if (stream) stream->finish();
    restoreAfterMonitor(true, stop);
}

void ELM327Session::restoreAfterMonitor(bool interrupt, std::stop_token stop) {
    {
        std::lock_guard lock(mutex_);
        restoreFormatAfterMonitorLocked();
        restoreInterruptPending_ = interrupt;
        restoreSettingsLeft_ = kMonitorRestore.size();
        // The adapter's "STOPPED" may come after the pause: a reply too many, not the next one's.
        pairing_.resynchronise(ReplyPairing::Request{"ATMA", FrameFormat::headersOff, std::nullopt, true});
    }
    try {
        finishRestoreHeld(stop);
    } catch (const AdapterSilent&) {
        // The rest stays pending: the next exchange of this thread tells its caller.
    }
}

void ELM327Session::finishRestoreHeld(std::stop_token stop) {
    bool interrupt = false;
    {
        std::lock_guard lock(mutex_);
        interrupt = restoreInterruptPending_;
    }
    if (interrupt) {
        if (stop.stop_requested()) return;
        std::uint64_t promptsBefore = 0;
        {
            std::lock_guard lock(mutex_);
            promptsBefore = prompts_;
        }
        try {
            // Any character ends the adapter's monitor mode. Sent once only: to an adapter out
            // of monitor mode a lone carriage return repeats the last command.
            const std::array<std::uint8_t, 1> character{'\r'};
            transport_->send(character, stop);
        } catch (const std::exception&) {
            if (stop.stop_requested()) return;
            // Otherwise the link is failing: the next exchange reports it.
        }
        {
            std::lock_guard lock(mutex_);
            restoreInterruptPending_ = false;
        }
        awaitPromptAfterMonitor(promptsBefore, stop);
    }
    {
        // The adapter's answer to the interruption and any half line go.
        std::lock_guard lock(mutex_);
        readBuffer_.clear();
        scanned_ = 0;
        readyResponses_.clear();
    }
    // Each setting stays pending until the adapter answers it: the next exchange sends what is
    // left, so that CAN formatting is never left off for good by one lost reply.
    for (;;) {
        std::size_t left = 0;
        {
            std::lock_guard lock(mutex_);
            left = restoreSettingsLeft_;
        }
        if (left == 0) break;
        try {
            if (settingHeld(kMonitorRestore[kMonitorRestore.size() - left], stop).isSilence()) return;
        } catch (const ExchangeCancelled&) {
            return;
        } catch (const AdapterSilent&) {
            throw;
        } catch (const std::exception&) {
            return; // a failing link: the next exchange reports it
        }
        std::lock_guard lock(mutex_);
        --restoreSettingsLeft_;
    }
    std::lock_guard lock(mutex_);
    pairing_.restoreEnded();
}

// An adapter interrupted while it prints drops whatever comes before its prompt: the restore goes
// once the prompt has come, or at the bound, as it did before.
void ELM327Session::awaitPromptAfterMonitor(std::uint64_t promptsBefore, std::stop_token stop) {
    const auto now = std::chrono::steady_clock::now();
    const auto least = now + timing_.monitorStopPause;
    const auto most = now + std::max(timing_.monitorStopPause, timing_.monitorStopPromptWait);
    std::unique_lock lock(mutex_);
    const std::uint64_t connection = disconnects_;
    const auto ended = [&] { return closing_ || disconnects_ != connection; };
    changed_.wait_until(lock, stop, least, ended);
    changed_.wait_until(lock, stop, most, [&] { return ended() || linkLost_ || prompts_ != promptsBefore; });
}

// "ATH1" made a 29-bit car's format 11-bit; headers stay on, so only a headerless format stays
// as the monitor left it.
void ELM327Session::restoreFormatAfterMonitorLocked() {
    if (formatBeforeMonitor_ != FrameFormat::headersOff) format_ = formatBeforeMonitor_;
}

} // namespace veq
