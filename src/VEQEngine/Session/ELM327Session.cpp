#include "VEQEngine/Session/ELM327Session.hpp"

#include "VEQEngine/Session/AdapterSilent.hpp"
#include "VEQEngine/Session/ExchangeCancelled.hpp"
#include "VEQEngine/Session/MonitorAlreadyRunning.hpp"
#include "VEQEngine/Session/SessionTrace.hpp"
#include "VEQProtocol/DTCResponse.hpp"
#include "VEQProtocol/ELM327Parser.hpp"
#include "VEQSupport/Text.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace veq {

namespace {

constexpr std::uint8_t kPrompt = '>';
constexpr std::uint8_t kCarriageReturn = '\r';

std::vector<std::uint8_t> commandBytes(std::string_view command) {
    std::vector<std::uint8_t> bytes(command.begin(), command.end());
    bytes.push_back(kCarriageReturn);
    return bytes;
}

// One protocol number from 1 to C, with or without the "A" of an automatic search ("A6").
std::optional<std::string> fixedProtocol(std::string_view text, bool automaticPrefix) {
    if (automaticPrefix && text.size() == 2 && text[0] == 'A') text.remove_prefix(1);
    if (text.size() != 1) return std::nullopt;
    const char c = text[0];
    if ((c >= '1' && c <= '9') || (c >= 'A' && c <= 'C')) return std::string(1, c);
    return std::nullopt;
}

// Why a message is no answer: what cut it short.
std::string cutShortNote(const ECUResponse& message) {
    std::string note = "message de " + message.header.value_or("l'ECU");
    switch (message.cut) {
    case ISOTP::Cut::interrupted: note += " interrompu par une nouvelle première trame"; break;
    case ISOTP::Cut::outOfSequence:
        // Without headers the adapter's line numbers are the sequence numbers.
        note += message.header ? " rompu par une trame consécutive hors séquence" : " rompu par une ligne numérotée hors séquence";
        break;
    case ISOTP::Cut::stray: note += " fait seulement de trames hors de tout message"; break;
    case ISOTP::Cut::shortFrame: note += " en une trame unique plus courte que la longueur qu'elle annonce"; break;
    case ISOTP::Cut::ended:
    case ISOTP::Cut::none: note += " plus court que sa première trame ne l'annonçait"; break;
    }
    return note + " : ce n'est pas une réponse";
}

// A frame dropped as belonging to no message.
std::string strayFrameNote(const std::string& header) {
    if (header.empty()) return "ligne numérotée hors de tout message ignorée";
    return "trame de " + header + " hors de tout message ignorée";
}

struct FunctionalRow {
    std::string_view protocol;
    std::string_view header;
};

// The adapter's own functional header on each CAN protocol. The protocols without CAN
// identifiers have other defaults, which the session never sends.
constexpr std::array<FunctionalRow, 7> kFunctionalHeaders{{
    {"6", functionalHeader11Bit},
    {"7", functionalHeader29Bit},
    {"8", functionalHeader11Bit},
    {"9", functionalHeader29Bit},
    {"A", functionalHeader29Bit},
    {"B", functionalHeader11Bit},
    {"C", functionalHeader11Bit},
}};

} // namespace

ELM327Session::CallScope::CallScope(ELM327Session& session) : session_(session) {
    std::lock_guard lock(session_.mutex_);
    if (session_.closing_) throw ExchangeCancelled();
    ++session_.activeCalls_;
}

ELM327Session::CallScope::~CallScope() {
    std::lock_guard lock(session_.mutex_);
    --session_.activeCalls_;
    if (session_.closing_) session_.changed_.notify_all();
}

// --- Exclusive section ---

ELM327Session::ExclusiveSection::ExclusiveSection(ExclusiveSection&& other) noexcept
    : session_(std::exchange(other.session_, nullptr)), selection_(std::move(other.selection_)) {}

ELM327Session::ExclusiveSection& ELM327Session::ExclusiveSection::operator=(ExclusiveSection&& other) noexcept {
    if (this != &other) {
        release();
        session_ = std::exchange(other.session_, nullptr);
        selection_ = std::move(other.selection_);
    }
    return *this;
}

ELM327Session::ExclusiveSection::~ExclusiveSection() { release(); }

void ELM327Session::ExclusiveSection::release() {
    if (session_ != nullptr) std::exchange(session_, nullptr)->endSection();
}

// --- Silence watch ---

ELM327Session::SilenceWatch::SilenceWatch(SilenceWatch&& other) noexcept
    : session_(std::exchange(other.session_, nullptr)), id_(other.id_) {}

ELM327Session::SilenceWatch::~SilenceWatch() {
    if (session_ != nullptr) session_->endWatch(id_);
}

bool ELM327Session::SilenceWatch::tripped() const {
    if (session_ == nullptr) return false;
    std::lock_guard lock(session_->mutex_);
    const auto watch = std::find_if(session_->watches_.begin(), session_->watches_.end(),
                                    [&](const Watch& w) { return w.id == id_; });
    return watch != session_->watches_.end() && watch->tripped;
}

ELM327Session::SilenceWatch ELM327Session::watchSilence(std::chrono::nanoseconds limit) {
    std::lock_guard lock(mutex_);
    const std::uint64_t id = nextWatch_++;
    watches_.push_back(Watch{id, std::this_thread::get_id(), limit, std::chrono::steady_clock::now(), false});
    return SilenceWatch(this, id);
}

void ELM327Session::endWatch(std::uint64_t id) {
    std::lock_guard lock(mutex_);
    std::erase_if(watches_, [&](const Watch& w) { return w.id == id; });
}

void ELM327Session::checkSilence(bool ended) {
    std::lock_guard lock(mutex_);
    const auto self = std::this_thread::get_id();
    for (Watch& watch : watches_) {
        if (watch.thread != self) continue;
        if (!watch.tripped && ended) {
            const Deadline since = lastAnswer_ ? std::max(*lastAnswer_, watch.since) : watch.since;
            watch.tripped = std::chrono::steady_clock::now() - since >= watch.limit;
        }
        if (watch.tripped) throw AdapterSilent();
    }
}

// --- Kept answers ---

ELM327Session::AnswerKeeping::AnswerKeeping(AnswerKeeping&& other) noexcept
    : session_(std::exchange(other.session_, nullptr)), headers_(std::move(other.headers_)) {}

ELM327Session::AnswerKeeping::~AnswerKeeping() {
    if (session_ == nullptr) return;
    std::lock_guard lock(session_->mutex_);
    session_->kept_.unwatch(headers_);
}

ELM327Session::AnswerKeeping ELM327Session::keepAnswers(std::vector<std::string> responseHeaders) {
    std::lock_guard lock(mutex_);
    kept_.watch(responseHeaders);
    return AnswerKeeping(this, std::move(responseHeaders));
}

std::optional<std::vector<std::uint8_t>> ELM327Session::takeKeptAnswer(std::string_view responseHeader,
                                                                       std::string_view request) {
    std::lock_guard lock(mutex_);
    return kept_.take(responseHeader, request);
}

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> ELM327Session::takeKeptAnswers(
    std::string_view responseHeader) {
    std::lock_guard lock(mutex_);
    return kept_.takeAll(responseHeader);
}

// --- Life ---

ELM327Session::ELM327Session(std::shared_ptr<OBDTransport> transport) : ELM327Session(std::move(transport), Timing{}) {}

ELM327Session::ELM327Session(std::shared_ptr<OBDTransport> transport, Timing timing)
    : transport_(std::move(transport)), timing_(timing), traceEnabled_(SessionTrace::enabledByEnvironment()) {}

ELM327Session::~ELM327Session() {
    std::shared_ptr<MonitorStream> stream;
    {
        std::unique_lock lock(mutex_);
        closing_ = true;
        readStop_.request_stop();
        monitoring_ = false;
        stream = std::move(monitorStream_);
        changed_.notify_all();
        changed_.wait(lock, [&] { return activeCalls_ == 0; });
    }
    if (stream) stream->finish();
    std::lock_guard readerLock(readerMutex_);
    if (reader_.joinable()) transport_->incoming()->detach();
    reader_.request_stop();
    if (reader_.joinable()) reader_.join();
}

void ELM327Session::connect(std::stop_token stop) {
    transport_->connect(stop);
    {
        std::lock_guard lock(mutex_);
        ++links_;
        linkLost_ = false;
        lastAnswer_.reset();
        answeredNoData_ = false;
        restoreInterruptPending_ = false;
        restoreSettingsLeft_ = 0;
        pairing_.resynchronise(); // the connection starts by resetting the adapter
        kept_.clear();
    }
    std::lock_guard readerLock(readerMutex_);
    if (!reader_.joinable()) {
        // The replies are cut on the thread that receives them, which wakes the waiting caller
        // directly; the reader thread only watches the link.
        transport_->incoming()->attach([this](IncomingStream::Chunk chunk) { handleChunk(std::move(chunk)); });
        reader_ = std::jthread([this](std::stop_token readerStop) { readerLoop(readerStop); });
    }
}

void ELM327Session::disconnect() {
    {
        std::lock_guard readerLock(readerMutex_);
        if (reader_.joinable()) {
            transport_->incoming()->detach();
            reader_.request_stop();
            reader_.join();
        }
        reader_ = std::jthread();
    }
    std::shared_ptr<MonitorStream> stream;
    {
        std::lock_guard lock(mutex_);
        ++disconnects_;
        followUps_.clear();
        pairing_.resynchronise();
        kept_.clear();
        // No adapter to restore: the next connection initialises it again.
        restoreInterruptPending_ = false;
        restoreSettingsLeft_ = 0;
        if (monitorStarting_) {
            monitorStopPending_ = true; // the start gives up and releases its hold itself
        } else if (monitoring_) {
            // No adapter to restore any more; the hold goes back to the waiting callers.
            monitoring_ = false;
            stream = std::move(monitorStream_);
            readBuffer_.clear();
            scanned_ = 0;
            readyResponses_.clear();
            restoreFormatAfterMonitorLocked();
            releaseLockLocked();
        }
    }
    changed_.notify_all();
    if (stream) stream->finish();
    transport_->disconnect();
}

// --- Command lock ---

void ELM327Session::acquireLock(std::stop_token stop, bool monitorStart) {
    std::unique_lock lock(mutex_);
    if (closing_) throw ExchangeCancelled();
    const auto monitorTaken = [&] { return monitorStart && (monitoring_ || monitorStarting_); };
    if (monitorTaken()) throw MonitorAlreadyRunning();
    const auto self = std::this_thread::get_id();
    if (lockHeld_ && lockOwner_ == self) {
        ++lockDepth_;
        return;
    }
    if (stop.stop_requested()) throw ExchangeCancelled();
    if (!lockHeld_) {
        lockHeld_ = true;
        lockOwner_ = self;
        lockDepth_ = 1;
        return;
    }
    LockWaiter waiter{self};
    lockWaiters_.push_back(&waiter);
    changed_.wait(lock, stop, [&] { return waiter.granted || closing_ || monitorTaken(); });
    if (!waiter.granted) {
        lockWaiters_.erase(std::find(lockWaiters_.begin(), lockWaiters_.end(), &waiter));
        if (monitorTaken() && !closing_) throw MonitorAlreadyRunning();
        throw ExchangeCancelled();
    }
    if (closing_ || stop.stop_requested() || monitorTaken()) {
        // Handed the lock just as the wait was given up: pass it on.
        const bool busy = monitorTaken() && !closing_;
        releaseLockLocked();
        lock.unlock();
        changed_.notify_all();
        if (busy) throw MonitorAlreadyRunning();
        throw ExchangeCancelled();
    }
}

void ELM327Session::releaseLock() {
    {
        std::lock_guard lock(mutex_);
        releaseLockLocked();
    }
    changed_.notify_all();
}

// Ends an exclusive section: its hold and its count as an active call go together, and the
// destructor is woken under the mutex, as it may go as soon as the count is zero.
void ELM327Session::endSection() {
    std::lock_guard lock(mutex_);
    releaseLockLocked();
    --activeCalls_;
    changed_.notify_all();
}

void ELM327Session::releaseLockLocked() {
    if (--lockDepth_ > 0) return;
    if (lockWaiters_.empty()) {
        lockHeld_ = false;
        lockOwner_ = {};
        lockDepth_ = 0;
        return;
    }
    // Straight to the oldest waiter, so no newcomer can slip in between.
    LockWaiter* next = lockWaiters_.front();
    lockWaiters_.pop_front();
    next->granted = true;
    lockOwner_ = next->thread;
    lockDepth_ = 1;
}

ELM327Session::ExclusiveSection ELM327Session::exclusive(std::stop_token stop) {
    CallScope call(*this);
    acquireLock(stop);
    std::lock_guard lock(mutex_);
    ++activeCalls_; // until the section ends, so that the session outlives it
    return ExclusiveSection(this);
}

ELM327Session::ExclusiveSection ELM327Session::exclusive(const TransmitHeader& header, std::stop_token stop) {
    ExclusiveSection section = exclusive(stop);
    prepareHeld(TransmitHeader::any(), stop);
    std::optional<std::string> selected;
    {
        std::lock_guard lock(mutex_);
        selected = headerToSendLocked(header, true);
    }
    if (selected) section.selection_ = settingHeld("ATSH" + *selected, stop);
    return section;
}

std::size_t ELM327Session::lockQueueLength() const {
    std::lock_guard lock(mutex_);
    return lockWaiters_.size();
}

// --- State ---

FrameFormat ELM327Session::format() const {
    std::lock_guard lock(mutex_);
    return format_;
}

void ELM327Session::setFormat(FrameFormat format) {
    std::lock_guard lock(mutex_);
    if (headersRefused_ && format.headerWidth() != 0) return;
    format_ = format;
}

FrameFormat ELM327Session::readFormat() const {
    std::lock_guard lock(mutex_);
    const bool can = protocolNumber_ && DTCResponse::isCANProtocol(*protocolNumber_);
    return format_ == FrameFormat::headersOff && can ? FrameFormat::canHeadersOff : format_;
}

std::optional<std::string> ELM327Session::obdHeader() const {
    std::lock_guard lock(mutex_);
    return obdHeader_;
}

void ELM327Session::setOBDHeader(std::optional<std::string> header) {
    if (header) header = TransmitHeader::of(*header).header();
    std::lock_guard lock(mutex_);
    obdHeader_ = std::move(header);
}

std::optional<std::string> ELM327Session::transmitHeader() const {
    std::lock_guard lock(mutex_);
    return headerInForce_;
}

std::optional<std::string> ELM327Session::protocolNumber() const {
    std::lock_guard lock(mutex_);
    return protocolNumber_;
}

std::size_t ELM327Session::queuedReplyCount() const {
    std::lock_guard lock(mutex_);
    return readyResponses_.size();
}

std::size_t ELM327Session::owedReplyCount() const {
    std::lock_guard lock(mutex_);
    return pairing_.owedCount();
}

std::uint64_t ELM327Session::fruitlessWaits() const {
    std::lock_guard lock(mutex_);
    return fruitlessWaits_;
}

bool ELM327Session::hasAnsweredNoData() const {
    std::lock_guard lock(mutex_);
    return answeredNoData_;
}

bool ELM327Session::isLinkLost() const {
    std::lock_guard lock(mutex_);
    return linkLost_;
}

bool ELM327Session::isMonitoring() const {
    std::lock_guard lock(mutex_);
    return monitoring_;
}

// --- Exchange ---

ELM327Response ELM327Session::raw(std::string_view command, std::stop_token stop) {
    return raw(TransmitHeader::any(), command, stop);
}

ELM327Response ELM327Session::raw(const TransmitHeader& header, std::string_view command, std::stop_token stop) {
    CallScope call(*this);
    LockScope hold(*this, stop);
    if (std::optional<ELM327Response> refused = prepareHeld(header, stop)) return std::move(*refused);
    return rawHeld(command, stop);
}

ELM327Response ELM327Session::setting(std::string_view command, std::stop_token stop) {
    CallScope call(*this);
    LockScope hold(*this, stop);
    prepareHeld(TransmitHeader::any(), stop);
    return settingHeld(command, stop);
}

ELM327Response ELM327Session::query(const OBDCommand& command, std::stop_token stop) {
    return query(TransmitHeader::obd(), command, stop);
}

ELM327Response ELM327Session::query(const TransmitHeader& header, const OBDCommand& command, std::stop_token stop) {
    return queryHeader(header, command, false, stop);
}

ELM327Response ELM327Session::queryAgain(const OBDCommand& command, std::stop_token stop) {
    return queryHeader(TransmitHeader::obd(), command, true, stop);
}

ELM327Response ELM327Session::queryHeader(const TransmitHeader& header, const OBDCommand& command, bool again,
                                          std::stop_token stop) {
    CallScope call(*this);
    LockScope hold(*this, stop);
    if (std::optional<ELM327Response> refused = prepareHeld(header, stop)) return std::move(*refused);
    ReplyPairing::Request owed = ReplyPairing::Request::line(command.requestString(), readFormat(), RequestEcho::of(command));
    owed.repeat = again;
    return exchangeHeld(command.requestBytes(), std::move(owed), stop);
}

ELM327Response ELM327Session::raw(const TransmitHeader& header, std::string_view command, const RequestEcho& echo,
                                  std::stop_token stop) {
    return raw(header, command, echo, std::nullopt, stop);
}

ELM327Response ELM327Session::raw(const TransmitHeader& header, std::string_view command, const RequestEcho& echo,
                                  const std::optional<ECUResponder>& responder, std::stop_token stop) {
    CallScope call(*this);
    LockScope hold(*this, stop);
    if (std::optional<ELM327Response> refused = prepareHeld(header, stop)) return std::move(*refused);
    return rawHeld(command, stop, &echo, responder ? &*responder : nullptr);
}

bool ELM327Session::answersProbe(std::stop_token stop) {
    CallScope call(*this);
    LockScope hold(*this, stop);
    ReplyPairing::Request probe;
    std::uint64_t before = 0;
    {
        std::lock_guard lock(mutex_);
        probe = pairing_.probe();
        before = prompts_;
    }
    exchangeHeld(commandBytes(probe.command), probe, stop);
    std::lock_guard lock(mutex_);
    return prompts_ != before;
}

ELM327Response ELM327Session::awaitNext(std::stop_token stop, std::optional<std::chrono::steady_clock::time_point> since) {
    CallScope call(*this);
    SentCommand waiting;
    {
        std::lock_guard lock(mutex_);
        if (!followUps_.empty()) {
            ELM327Response next = std::move(followUps_.front());
            followUps_.pop_front();
            return next;
        }
        waiting = awaitedFromNow(disconnects_, since);
    }
    return receive(waiting, readFormat(), {}, stop);
}

void ELM327Session::keepFollowUps(const ELM327Response& response) {
    if (response.followUps.empty()) return;
    std::lock_guard lock(mutex_);
    for (const ECUResponse& message : response.followUps) {
        if (message.cutShort()) continue; // no answer to wait for
        ELM327Response alone;
        alone.ecus.push_back(message);
        alone.promptTerminated = response.promptTerminated;
        followUps_.push_back(std::move(alone));
        if (followUps_.size() > maxQueuedReplies) followUps_.pop_front();
    }
}

ELM327Response ELM327Session::rawHeld(std::string_view command, std::stop_token stop, const RequestEcho* echo,
                                      const ECUResponder* responder) {
    const std::string upper = text::toUpperASCII(command);
    const std::string compact = text::withoutBlanks(upper);
    ReplyPairing::Request owed = ReplyPairing::Request::line(
        command, readFormat(), echo != nullptr ? std::optional(*echo) : std::nullopt,
        responder != nullptr ? std::optional(*responder) : std::nullopt);

    const bool setsHeader = compact.starts_with("ATSH") && compact.size() > 4;
    const bool resets = TransmitHeader::clearedBy(compact);

    ELM327Response parsed;
    try {
        parsed = exchangeHeld(commandBytes(command), std::move(owed), stop);
    } catch (...) {
        // Ended without its reply (a stop, a lost link), a header or reset command may still have
        // been taken: the header it replaced must no longer be believed in force.
        if (setsHeader || resets) {
            std::lock_guard lock(mutex_);
            headerInForce_.reset();
            defaultAddressing_ = false;
            if (resets) protocolNumber_.reset();
        }
        throw;
    }
    if (parsed.unsent) return parsed; // the adapter never saw it: nothing changed there
    {
        std::lock_guard lock(mutex_);
        // A refused command ("?") changed nothing in the adapter.
        const bool refused = parsed.error == ELM327Error::unknownCommand;
        if (compact.starts_with("ATH1")) {
            if (!refused) format_ = FrameFormat::can11;
            headersRefused_ = refused;
        } else if (compact.starts_with("ATH0") && !refused) {
            format_ = FrameFormat::headersOff;
        } else if (resets && !refused) {
            // The adapter is back to its defaults: no headers, its own addressing, no monitor
            // settings left to restore. Unanswered, it may never have been received: the header
            // in force is then unknown, so that the next request names its own.
            format_ = FrameFormat::headersOff;
            headersRefused_ = false;
            headerInForce_.reset();
            defaultAddressing_ = !parsed.isSilence();
            protocolNumber_.reset();
            restoreInterruptPending_ = false;
            restoreSettingsLeft_ = 0;
        } else if (compact == "ATDPN" && !parsed.error && !parsed.lines.empty()) {
            protocolNumber_ = fixedProtocol(text::compactUpper(parsed.lines.back()), true);
        } else if ((compact.starts_with("ATSP") || compact.starts_with("ATTP")) && !refused) {
            // "ATSP0" and "ATSPA6" leave the choice to the adapter's search: unknown until asked.
            protocolNumber_ = fixedProtocol(std::string_view(compact).substr(4), false);
        } else if (setsHeader && !refused) {
            defaultAddressing_ = false;
            if (TransmitHeader::taken(parsed)) {
                headerInForce_ = compact.substr(4);
            } else {
                headerInForce_.reset(); // unknown until a header command is answered
            }
        }
    }
    return parsed;
}

ELM327Response ELM327Session::settingHeld(std::string_view command, std::stop_token stop) {
    ELM327Response reply = rawHeld(command, stop);
    bool answeredBefore = false;
    {
        std::lock_guard lock(mutex_);
        answeredBefore = lastAnswer_.has_value();
    }
    if (!reply.isSilence() || !answeredBefore) return reply;
    if (traceEnabled_) trace(SessionTrace::noteLine("réponse à « " + std::string(command) + " » perdue : envoyée à nouveau"));
    return rawHeld(command, stop);
}

ELM327Response ELM327Session::exchangeHeld(std::span<const std::uint8_t> request, ReplyPairing::Request owed,
                                           std::stop_token stop) {
    checkSilence(false);
    if (!findStepHeld(owed, stop)) {
        if (traceEnabled_) trace(SessionTrace::noteLine("« " + owed.command + " » non envoyée : l'adaptateur ne répond plus"));
        // As after a time-out, but told apart: nothing more is sent into an adapter out of step.
        ELM327Response held;
        held.unsent = true;
        return held;
    }
    for (bool again = false;; again = true) {
        const SentCommand sent = sendHeld(request, owed, stop);
        bool dropped = false;
        ELM327Response reply = receive(sent, owed.format, owed.command, stop, &dropped);
        // A vehicle request left silent after a "?" taken as a given-up probe's may have been
        // refused by a busy adapter: a read is asked again at once, either reply being its own.
        // Anything else may have reached its ECU and is never sent twice.
        bool refusedMaybe = false;
        if (owed.echo && owed.echo->onlyReads() && reply.isSilence()) {
            std::lock_guard lock(mutex_);
            refusedMaybe = probesRefusalMeanwhile_;
        }
        if ((!dropped && !refusedMaybe) || again) return reply;
        if (traceEnabled_) {
            trace(SessionTrace::noteLine("« " + owed.command + " » " +
                                         (dropped ? "ignorée par l'adaptateur occupé" : "sans réponse après un « ? » pris pour celui d'une sonde abandonnée") +
                                         " : envoyée à nouveau"));
        }
        owed.repeat = owed.repeat || refusedMaybe;
    }
}

// A request still owed its reply may get it late or never: only an answer that names its request
// tells which, so the session asks for one before the next request goes out, and every reply
// before it settles the older requests. A probe left unanswered is followed by the other kind,
// whose answer the first one's cannot be taken for; when neither is answered, nothing more goes
// out for this request, so an adapter out of step is never sent a request whose answer could be
// taken for another's. A clone that refuses the probes answers, though (a refusal with the other
// probe's answer lost counts as both refused): once the older requests have had a reply time-out
// more to come, their answers are given up and the line goes out to find the step itself, taking
// any answer but "?" as its own.
bool ELM327Session::findStepHeld(ReplyPairing::Request& next, std::stop_token stop) {
    std::optional<ReplyPairing::Request> refused; // the last probe, when the adapter refused it
    int refusals = 0;
    const auto nextProbe = [&] {
        std::lock_guard lock(mutex_);
        return pairing_.probeBefore(next, refused ? &*refused : nullptr);
    };
    for (int tries = 0;; ++tries) {
        std::optional<ReplyPairing::Request> probe = nextProbe();
        if (!probe) return true;
        if (tries == 2) {
            if (refusals == 0) return false;
            // Refused, not lost: the older request may still be under way. Its answer, if it comes
            // in the wait, puts the session back in step.
            awaitAnyReplyHeld(stop);
            refused.reset();
            next.findsStep = nextProbe().has_value();
            return true;
        }
        if (traceEnabled_) trace(SessionTrace::noteLine("réponse attendue encore due : l'adaptateur est interrogé pour les réaligner"));
        const std::vector<std::uint8_t> bytes = commandBytes(probe->command);
        const ELM327Response reply = exchangeHeld(bytes, *probe, stop);
        if (reply.error == ELM327Error::unknownCommand) {
            ++refusals;
            refused = std::move(probe);
        } else {
            refused.reset();
        }
    }
}

void ELM327Session::awaitAnyReplyHeld(std::stop_token stop) {
    if (traceEnabled_) trace(SessionTrace::noteLine("sondes refusées : attente d'une réponse encore due"));
    std::unique_lock lock(mutex_);
    const std::uint64_t before = prompts_;
    const std::uint64_t connection = disconnects_;
    const Deadline deadline = std::chrono::steady_clock::now() + timing_.responseTimeout;
    changed_.wait_until(lock, stop, deadline,
                        [&] { return prompts_ != before || closing_ || disconnects_ != connection || linkLost_; });
    if (closing_ || disconnects_ != connection) throw ExchangeCancelled();
    if (linkLost_) throw TransportError::notConnected();
    if (stop.stop_requested()) throw ExchangeCancelled();
    if (prompts_ == before) ++fruitlessWaits_;
}

std::optional<ELM327Response> ELM327Session::prepareHeld(const TransmitHeader& header, std::stop_token stop) {
    bool restore = false;
    std::optional<std::string> selected;
    {
        std::lock_guard lock(mutex_);
        restore = restoreInterruptPending_ || restoreSettingsLeft_ > 0;
        selected = headerToSendLocked(header, false);
    }
    if (restore) finishRestoreHeld(stop);
    if (!selected) return std::nullopt;
    const std::string command = "ATSH" + *selected;
    ELM327Response reply = settingHeld(command, stop);
    if (reply.error == ELM327Error::stopped) {
        // Dropped by a busy adapter: once more at once, as after a silence.
        if (traceEnabled_) trace(SessionTrace::noteLine("« " + command + " » ignorée par l'adaptateur occupé : envoyée à nouveau"));
        reply = rawHeld(command, stop);
    }
    if (TransmitHeader::taken(reply)) return std::nullopt;
    reply.unsent = true; // the exchange's own command never went out
    reply.headerNotTaken = true;
    return reply;
}

std::optional<std::string> ELM327Session::headerToSendLocked(const TransmitHeader& header, bool always) const {
    std::optional<std::string> wanted;
    switch (header.kind()) {
    case TransmitHeader::Kind::any: return std::nullopt;
    case TransmitHeader::Kind::exact: wanted = header.header(); break;
    case TransmitHeader::Kind::obd:
        if (obdHeader_) {
            wanted = obdHeader_;
        } else if (defaultAddressing_ && !always) {
            return std::nullopt; // the adapter's own functional addressing is in force
        } else {
            wanted = functionalHeaderLocked();
        }
        break;
    }
    if (!always && wanted == headerInForce_) return std::nullopt;
    return wanted;
}

std::optional<std::string> ELM327Session::functionalHeaderLocked() const {
    if (!protocolNumber_) {
        return std::string(format_ == FrameFormat::can29 ? functionalHeader29Bit : functionalHeader11Bit);
    }
    for (const FunctionalRow& row : kFunctionalHeaders) {
        if (*protocolNumber_ == row.protocol) return std::string(row.header);
    }
    return std::nullopt;
}

ELM327Session::SentCommand ELM327Session::sendHeld(std::span<const std::uint8_t> request, ReplyPairing::Request owed,
                                                   std::stop_token stop) {
    std::string note;
    std::uint64_t connection = 0;
    {
        std::lock_guard lock(mutex_);
        if (closing_) throw ExchangeCancelled();
        if (linkLost_) throw TransportError::notConnected();
        connection = disconnects_;
        // Replies nobody owes (a reply too many, the rest of the last exchange) and the start of
        // one must never be taken for this command's answer.
        if (traceEnabled_ && !readyResponses_.empty()) {
            note = SessionTrace::noteLine(std::to_string(readyResponses_.size()) +
                                          " réponse(s) reçue(s) sans demande qui l'attende, ignorée(s) avant l'envoi");
        }
        readyResponses_.clear();
        followUps_.clear();
        probesRefusalMeanwhile_ = false;
        if (!readBuffer_.empty()) {
            if (traceEnabled_) {
                note += SessionTrace::noteLine("octets d'une réponse inachevée ignorés avant l'envoi : " +
                                              text::hexUpper(readBuffer_, " "));
            }
            readBuffer_.clear();
            scanned_ = 0;
        }
        if (stop.stop_requested()) throw ExchangeCancelled();
        if (pairing_.sending(std::move(owed)) && traceEnabled_) {
            note += SessionTrace::noteLine("trop de demandes sans réponse : la plus ancienne est oubliée");
        }
    }
    if (!note.empty()) trace(note);
    try {
        transport_->send(request, stop);
    } catch (const std::exception& e) {
        {
            std::lock_guard lock(mutex_);
            pairing_.unsent(); // nothing went out that the adapter could answer
        }
        if (dynamic_cast<const ExchangeCancelled*>(&e) == nullptr && stop.stop_requested()) {
            throw ExchangeCancelled(); // the caller gave up the send
        }
        throw;
    }
    return awaitedFromNow(connection);
}

ELM327Session::SentCommand ELM327Session::awaitedFromNow(std::uint64_t connection,
                                                         std::optional<std::chrono::steady_clock::time_point> since) const {
    const Deadline now = since.value_or(std::chrono::steady_clock::now());
    return SentCommand{connection, now + timing_.responseTimeout, now + std::max(timing_.responseTimeout, timing_.progressLimit)};
}

ELM327Response ELM327Session::receive(const SentCommand& sent, FrameFormat format, std::string_view command,
                                      std::stop_token stop, bool* dropped) {
    // A reset the adapter may have done silently puts the pairing back in step however this ends.
    struct ExchangeEnd {
        ELM327Session& session;
        ~ExchangeEnd() {
            std::lock_guard lock(session.mutex_);
            session.pairing_.exchangeEnded();
        }
    } end{*this};
    Delivered reply = nextResponse(stop, sent);
    ELM327Response parsed = reply.parsed ? std::move(*reply.parsed) : ELM327Parser::parse(reply.bytes, format, command);
    keepFollowUps(parsed);
    if (traceEnabled_ && !command.empty()) trace(SessionTrace::exchangeBlock(command, reply.bytes, parsed));
    if (dropped != nullptr) *dropped = reply.dropped;
    if (parsed.error == ELM327Error::noData) {
        std::lock_guard lock(mutex_);
        answeredNoData_ = true;
    }
    if (reply.bytes.empty()) checkSilence(true);
    return parsed;
}

bool ELM327Session::replyInProgressLocked() const {
    // Bytes before a prompt are never cut as a reply: the buffer holds only the reply begun.
    const std::string begun =
        text::toUpperASCII(std::string_view(reinterpret_cast<const char*>(readBuffer_.data()), readBuffer_.size()));
    return begun.find("SEARCHING") != std::string::npos || begun.find("BUS INIT") != std::string::npos;
}

ELM327Session::Delivered ELM327Session::nextResponse(std::stop_token stop, const SentCommand& sent) {
    const std::uint64_t connection = sent.connection;
    Deadline deadline = sent.deadline;
    std::unique_lock lock(mutex_);
    if (closing_ || disconnects_ != connection) throw ExchangeCancelled();
    if (!readyResponses_.empty()) {
        Delivered reply = std::move(readyResponses_.front());
        readyResponses_.pop_front();
        return reply;
    }
    if (linkLost_) throw TransportError::notConnected();
    replyWaiter_ = true;
    handedReply_.reset();
    const auto answered = [&] { return handedReply_.has_value() || closing_ || disconnects_ != connection || linkLost_; };
    // Where the transport lets its caller read the link, the reply is read on this thread: one
    // wake-up per reply, not one for the link's thread and another for this one. The read ends
    // on the caller's stop, on the session's end, and when the link's own thread reads the reply.
    if (readStop_.stop_requested()) readStop_ = std::stop_source();
    std::stop_source wake = readStop_;
    std::optional<std::stop_callback<std::function<void()>>> forwardStop;
    if (stop.stop_possible()) forwardStop.emplace(stop, [&wake] { wake.request_stop(); });
    const std::stop_token readStop = wake.get_token();
    // Past the reply time-out, a reply begun with a progress notice is still coming.
    const auto expired = [&](Deadline now) {
        if (now < deadline) return false;
        if (deadline < sent.latest && replyInProgressLocked()) {
            deadline = sent.latest;
            return now >= deadline;
        }
        return true;
    };
    while (!answered() && !stop.stop_requested()) {
        const auto now = std::chrono::steady_clock::now();
        if (expired(now)) break;
        pullingThread_ = std::this_thread::get_id();
        lock.unlock();
        const bool pulled = transport_->pull(std::min<std::chrono::nanoseconds>(deadline - now, linkCheckPeriod), readStop);
        lock.lock();
        pullingThread_ = {};
        if (!pulled) {
            // The transport delivers on its own thread: wait, looking again at the deadline.
            if (!changed_.wait_until(lock, stop, deadline, answered) && !expired(std::chrono::steady_clock::now())) {
                continue;
            }
            break;
        }
        if (answered()) break;
        lock.unlock();
        checkLink(); // the link may have ended under the read
        lock.lock();
    }
    replyWaiter_ = false;
    std::optional<Delivered> reply = std::exchange(handedReply_, std::nullopt);
    if (closing_ || disconnects_ != connection) throw ExchangeCancelled();
    if (reply) return std::move(*reply);
    if (linkLost_) throw TransportError::notConnected();
    if (stop.stop_requested()) throw ExchangeCancelled();
    ++fruitlessWaits_;
    return {}; // silence: the caller receives the parse of an empty reply
}

// --- Reader ---

void ELM327Session::readerLoop(std::stop_token stop) {
    const std::shared_ptr<IncomingStream> stream = transport_->incoming();
    while (!stop.stop_requested()) {
        std::optional<IncomingStream::Chunk> chunk = stream->pop(linkCheckPeriod, stop);
        if (!chunk) {
            if (stream->isFinished()) break;
            // A lost link is silent: its state alone tells.
            if (!stop.stop_requested()) checkLink();
            continue;
        }
        handleChunk(std::move(*chunk));
    }
}

void ELM327Session::checkLink() {
    std::uint64_t link = 0;
    {
        std::lock_guard lock(mutex_);
        if (linkLost_) return;
        link = links_;
    }
    if (transport_->state().kind() != TransportState::Kind::disconnected) return;
    std::shared_ptr<MonitorStream> monitor;
    {
        std::lock_guard lock(mutex_);
        if (links_ != link || linkLost_) return; // connected again meanwhile
        linkLost_ = true;
        monitor = monitorStream_;
    }
    changed_.notify_all();
    if (monitor) monitor->finish(); // no more lines will come
    if (traceEnabled_) trace(SessionTrace::noteLine("liaison avec l'adaptateur perdue"));
}

void ELM327Session::handleChunk(std::vector<std::uint8_t> chunk) {
    std::vector<std::string> notes;
    {
        std::lock_guard lock(mutex_);
        if (readBuffer_.empty()) {
            readBuffer_ = std::move(chunk);
        } else {
            readBuffer_.insert(readBuffer_.end(), chunk.begin(), chunk.end());
        }
        if (monitoring_) {
            cutMonitorLines();
        } else {
            cutReplies(notes);
        }
        if (readBuffer_.size() > maxUnfinishedReply) {
            notes.push_back(SessionTrace::noteLine(std::to_string(readBuffer_.size()) +
                                                   " octets reçus sans invite ni fin de ligne : ignorés"));
            readBuffer_.clear();
            scanned_ = 0;
        }
    }
    changed_.notify_all();
    if (traceEnabled_) {
        for (const std::string& note : notes) trace(note);
    }
}

void ELM327Session::cutReplies(std::vector<std::string>& notes) {
    std::size_t start = 0;
    auto from = readBuffer_.begin() + static_cast<std::ptrdiff_t>(scanned_);
    for (auto prompt = std::find(from, readBuffer_.end(), kPrompt); prompt != readBuffer_.end();
         prompt = std::find(prompt + 1, readBuffer_.end(), kPrompt)) {
        const auto end = prompt + 1;
        ++prompts_;
        lastAnswer_ = std::chrono::steady_clock::now();
        deliverLocked(std::vector<std::uint8_t>(readBuffer_.begin() + static_cast<std::ptrdiff_t>(start), end), notes);
        start = static_cast<std::size_t>(end - readBuffer_.begin());
    }
    readBuffer_.erase(readBuffer_.begin(), readBuffer_.begin() + static_cast<std::ptrdiff_t>(start));
    scanned_ = readBuffer_.size();
}

// Each reply goes to the request it answers: a late one settles an older request and goes no
// further; the current request's goes to its waiter, or is queued for it, as is a reply nobody
// owes (for a wait without a command; the next send discards it), the oldest dropped beyond the
// bound.
void ELM327Session::deliverLocked(std::vector<std::uint8_t> reply, std::vector<std::string>& notes) {
    // Whichever line takes it, an ECU's answer naming its read is kept for a scan that watches it.
    if (kept_.watching() && format_.headerWidth() != 0) kept_.offer(ELM327Parser::parse(reply, format_, {}));
    ReplyPairing::Placement placement = pairing_.place(
        [&reply](const ReplyPairing::Request& request) { return ELM327Parser::parse(reply, request.format, request.command); });
    if (traceEnabled_ && placement.lost > 0) {
        notes.push_back(SessionTrace::noteLine(std::to_string(placement.lost) +
                                               " demande(s) restée(s) sans réponse : tenue(s) pour perdue(s)"));
    }
    switch (placement.destination) {
    case ReplyPairing::Destination::late:
        if (traceEnabled_) {
            notes.push_back(SessionTrace::noteLine("réponse tardive à « " + placement.settled->command +
                                                   " » : " + text::hexUpper(reply, " ")));
        }
        return;
    case ReplyPairing::Destination::tooMany:
        probesRefusalMeanwhile_ = probesRefusalMeanwhile_ || placement.probesRefusal;
        if (traceEnabled_) notes.push_back(SessionTrace::noteLine("réponse en trop ignorée : " + text::hexUpper(reply, " ")));
        return;
    case ReplyPairing::Destination::current:
        if (traceEnabled_ && placement.settled) {
            notes.push_back(SessionTrace::noteLine("« " + placement.settled->command +
                                                   " » interrompue par la ligne suivante, que l'adaptateur occupé a ignorée"));
        }
        if (traceEnabled_ && placement.refused) {
            notes.push_back(SessionTrace::noteLine("« " + pairing_.current()->command + " » refusée par l'adaptateur : " +
                                                   "les demandes plus anciennes restent dues"));
        }
        if (traceEnabled_ && placement.parsed) {
            for (const auto* messages : {&placement.parsed->ecus, &placement.parsed->followUps}) {
                for (const ECUResponse& message : *messages) {
                    if (message.cutShort()) notes.push_back(SessionTrace::noteLine(cutShortNote(message)));
                }
            }
            for (const std::string& header : placement.parsed->strayFrames) {
                notes.push_back(SessionTrace::noteLine(strayFrameNote(header)));
            }
        }
        if (traceEnabled_ && placement.parsed && pairing_.current() && pairing_.current()->responder) {
            const ECUResponder& ecu = *pairing_.current()->responder;
            if (ecu.onlyOthers(*placement.parsed)) {
                notes.push_back(SessionTrace::noteLine("« " + pairing_.current()->command + " » : seuls d'autres calculateurs que " +
                                                       ecu.own() + " ont répondu, toujours attendu"));
            } else if (pairing_.current()->answersAnotherRequest(*placement.parsed)) {
                notes.push_back(SessionTrace::noteLine("« " + pairing_.current()->command + " » : " + ecu.own() +
                                                       " n'a répondu qu'à une autre demande, toujours attendu"));
            } else if (ecu.takesUnclaimed(*placement.parsed)) {
                notes.push_back(SessionTrace::noteLine("« " + pairing_.current()->command + " » : réponse d'un en-tête " +
                                                       "qu'aucun calculateur connu n'utilise, prise comme celle de " + ecu.own()));
            }
        }
        break;
    case ReplyPairing::Destination::unowed: break;
    }
    Delivered delivered{std::move(reply), std::move(placement.parsed), placement.dropped};
    if (replyWaiter_ && !handedReply_) {
        handedReply_ = std::move(delivered);
        // Read by another thread while the waiter reads the link: its read would sleep on.
        if (pullingThread_ != std::thread::id() && pullingThread_ != std::this_thread::get_id()) readStop_.request_stop();
        return;
    }
    readyResponses_.push_back(std::move(delivered));
    if (readyResponses_.size() > maxQueuedReplies) {
        readyResponses_.pop_front();
        notes.push_back(SessionTrace::noteLine("file des réponses pleine : la plus ancienne est abandonnée"));
    }
}

void ELM327Session::cutMonitorLines() {
    std::size_t start = 0;
    auto from = readBuffer_.begin() + static_cast<std::ptrdiff_t>(scanned_);
    for (auto cr = std::find(from, readBuffer_.end(), kCarriageReturn); cr != readBuffer_.end();
         cr = std::find(cr + 1, readBuffer_.end(), kCarriageReturn)) {
        const std::span<const std::uint8_t> bytes(readBuffer_.data() + start,
                                                  static_cast<std::size_t>(cr - readBuffer_.begin()) - start);
        start = static_cast<std::size_t>(cr - readBuffer_.begin()) + 1;
        const std::string decoded = text::decodeUTF8Lossy(bytes);
        const std::string_view line = text::trimHorizontal(decoded);
        if (line.empty() || line.find('>') != std::string_view::npos) continue;
        if (monitorStream_) monitorStream_->push(std::string(line));
    }
    readBuffer_.erase(readBuffer_.begin(), readBuffer_.begin() + static_cast<std::ptrdiff_t>(start));
    scanned_ = readBuffer_.size();
}

void ELM327Session::trace(const std::string& text) const { SessionTrace::write(text); }

} // namespace veq
