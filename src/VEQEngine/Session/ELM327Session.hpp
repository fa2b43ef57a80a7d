#pragma once

#include "VEQEngine/Session/InitStep.hpp"
#include "VEQEngine/Session/KeptAnswers.hpp"
#include "VEQEngine/Session/MonitorStream.hpp"
#include "VEQEngine/Session/ReplyPairing.hpp"
#include "VEQEngine/Session/TransmitHeader.hpp"
#include "VEQProtocol/ELM327Response.hpp"
#include "VEQProtocol/FrameFormat.hpp"
#include "VEQProtocol/OBDCommand.hpp"
#include "VEQProtocol/PIDReading.hpp"
#include "VEQProtocol/RequestEcho.hpp"
#include "VEQTransport/OBDTransport.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace veq {

// The one owner of an adapter connection. Every exchange with the adapter goes through it: it
// cuts the transport's byte stream into replies at the ">" prompt, keeps one command in flight
// with a first-in, first-out command lock, pairs each reply with the command waiting for it,
// gives up after the reply time-out, and parses replies in the frame format in force.
//
// Thread-safe. The transport's stream is cut into replies on the thread that receives the bytes
// (attached to it while connected), which hands each reply straight to the caller waiting for
// it; one reader thread per connection watches the link. Commands run on their callers' threads
// and every wait blocks (no spinning), with a time-out, so no thread is made per command.
//
// Failures: transport errors are rethrown unchanged; an adapter that stays silent gives an empty
// response (not an error); a wait given up because its stop token was requested, or because the
// session was disconnected or destroyed meanwhile, throws ExchangeCancelled. When the transport
// reports its link down (its state turns `disconnected` without a disconnect of the session),
// every reply wait ends at once and every later command fails, with TransportError::notConnected
// (its what() "Connexion perdue avec l'adaptateur"), within linkCheckPeriod of the report.
//
// Transmit header: the session knows the header in force on the adapter, and every exchange
// states the one it needs (TransmitHeader): OBD requests the connection's OBD header, a UDS
// request its ECU's, adapter commands none. Under the command lock, just before the command, the
// session sends "ATSH" when the header in force differs. When the adapter does not take it, the
// command is not sent and the reply to "ATSH" is the exchange's, marked unsent: nothing goes to
// the wrong ECU. A header a busy adapter dropped ("STOPPED") is sent once more at once.
//
// Replies and requests: the adapter answers every command line with one reply, in order, so a
// reply that comes after its command gave up belongs to that command, not to the one waiting now.
// The session keeps the requests still owed a reply and pairs each reply with the oldest of them
// (ReplyPairing); in step, the waiting command takes its reply whatever it says, so a wrong
// answer fails at once instead of being waited past. A late reply never changes the session's
// state (header in force, protocol, format). While a request is still owed its reply, the next
// one goes out only after a probe ("ATI", or "ATRV" when a banner is owed) whose answer names it
// has been answered: a reply the adapter never sends costs its request's wait and one exchange,
// never a later request's answer. A probe left unanswered is followed by the other one; when
// neither is answered the request is not sent: its caller receives an empty response, unsent. An
// adapter that refuses the probes ("?", or one refused and the other's answer lost) may still be
// at work on the older request: nothing is sent until a reply comes or a reply time-out has
// passed; still out of step, the older answers are given up and the line goes out, a setting as
// well as a request: any answer but "?" is its own, and the older requests are then lost, save
// one it cannot give (a probe's banner or voltage, an older request's exact answer), which is an
// older line's, come late. A "?" refuses it alone; a "STOPPED" drops it, and it is sent again.
//
// Whatever line a reply goes to, a scan that keeps answers (keepAnswers()) is given what of it an
// ECU answered to one of its reads, named by the response header and the answer's first bytes: a
// reply held past its wait is still that ECU's word.
//
// A reply that has begun with a progress notice ("SEARCHING...") is waited for past the reply
// time-out, up to Timing::progressLimit from the send: the adapter is searching for the bus.
//
// A busy adapter drops what it receives ("STOPPED"): a probe or a request asked again that it
// dropped so is sent once more. The session's own settings (setting(): the header chosen for a
// request, the initialisation, the monitor's restore, "ATDPN") are sent once more, after the
// probe, when their reply was lost; never a reset, a vehicle request or a typed line.
class ELM327Session {
public:
    struct Timing {
        // How long a command waits for its reply before it receives an empty response.
        std::chrono::nanoseconds responseTimeout = std::chrono::seconds(8);
        // The least pause after the character that ends bus monitor mode, for the adapter's answer.
        std::chrono::nanoseconds monitorStopPause = std::chrono::milliseconds(60);
        // How long the restore after the bus monitor waits at most for the adapter's prompt: an
        // adapter drops what it receives before it.
        std::chrono::nanoseconds monitorStopPromptWait = std::chrono::seconds(2);
        // How long a reply that has begun with a progress notice ("SEARCHING...", "BUS INIT: ...")
        // is waited for at most, from the request's send: the adapter is still looking for the
        // bus, and any character sent would interrupt it.
        std::chrono::nanoseconds progressLimit = std::chrono::seconds(30);
    };

    // Bytes kept without a prompt before they are taken for garbage and discarded.
    static constexpr std::size_t maxUnfinishedReply = 64 * 1024;
    // Complete replies kept while nobody waits; the oldest goes first.
    static constexpr std::size_t maxQueuedReplies = 16;
    // How often the reader looks at the transport's state.
    static constexpr std::chrono::milliseconds linkCheckPeriod{250};

    // The command lock held across a sequence of exchanges. While it lives, the commands of the
    // thread that opened it (raw, query, read, ... and the session's adapter operations) run
    // without taking the lock again, and every other thread's commands wait. A thread may open
    // a second section inside its first; the lock is released when the outermost one ends.
    // It must end before the session does: the session's destructor waits for it.
    class ExclusiveSection {
    public:
        ExclusiveSection(ExclusiveSection&& other) noexcept;
        ExclusiveSection& operator=(ExclusiveSection&& other) noexcept;
        ExclusiveSection(const ExclusiveSection&) = delete;
        ExclusiveSection& operator=(const ExclusiveSection&) = delete;
        ~ExclusiveSection();

        // Ends the section now; the destructor then does nothing.
        void release();

        // The reply to the "ATSH" a section addressed to an ECU sent when it opened; nothing for
        // a section that sent none.
        const std::optional<ELM327Response>& selection() const { return selection_; }

    private:
        friend class ELM327Session;
        explicit ExclusiveSection(ELM327Session* session) : session_(session) {}
        ELM327Session* session_;
        std::optional<ELM327Response> selection_;
    };

    // A watch on the adapter's silence, for the thread that opened it. While it lives, an exchange
    // of that thread that ends without a reply when the adapter has answered nothing for the limit
    // (counted from the end of its last complete reply, or from the watch's start when that is
    // later) throws AdapterSilent, and so does every later exchange of that thread, at once: a
    // caller that swallows one failure cannot go on waiting. It must end before the session does.
    class SilenceWatch {
    public:
        SilenceWatch(SilenceWatch&& other) noexcept;
        SilenceWatch& operator=(SilenceWatch&&) = delete;
        SilenceWatch(const SilenceWatch&) = delete;
        SilenceWatch& operator=(const SilenceWatch&) = delete;
        ~SilenceWatch();

        // The adapter was found silent for the limit.
        bool tripped() const;

    private:
        friend class ELM327Session;
        SilenceWatch(ELM327Session* session, std::uint64_t id) : session_(session), id_(id) {}
        ELM327Session* session_;
        std::uint64_t id_;
    };

    // Keeps, while it lives, the ECUs' answers to the scans' reads from its response headers,
    // whatever line the session gave each reply to (KeptAnswers); what it kept is forgotten when it
    // ends. It must end before the session does.
    class AnswerKeeping {
    public:
        AnswerKeeping(AnswerKeeping&& other) noexcept;
        AnswerKeeping& operator=(AnswerKeeping&&) = delete;
        AnswerKeeping(const AnswerKeeping&) = delete;
        AnswerKeeping& operator=(const AnswerKeeping&) = delete;
        ~AnswerKeeping();

    private:
        friend class ELM327Session;
        AnswerKeeping(ELM327Session* session, std::vector<std::string> headers)
            : session_(session), headers_(std::move(headers)) {}
        ELM327Session* session_;
        std::vector<std::string> headers_;
    };

    explicit ELM327Session(std::shared_ptr<OBDTransport> transport);
    ELM327Session(std::shared_ptr<OBDTransport> transport, Timing timing);
    // Wakes every waiting caller (they throw ExchangeCancelled), waits until they have left,
    // then stops the reader. The transport is left as it is.
    ~ELM327Session();

    ELM327Session(const ELM327Session&) = delete;
    ELM327Session& operator=(const ELM327Session&) = delete;

    // Connects the transport, then starts the reader unless it runs already. Throws what the
    // transport's connect throws; no reader is started then. A link lost before is forgotten.
    void connect(std::stop_token stop = {});
    // Stops the reader, ends a reply wait under way (ExchangeCancelled), leaves bus monitor mode
    // (the stream finished, the command lock given back) and disconnects the transport. A later
    // connect() starts a new reader.
    void disconnect();

    // One command text without the carriage return ("ATZ", "ATSH7E0", "22F190"), sent on the
    // header in force. Replies to commands beginning with "AT" or "ST" are parsed without
    // headers, the others in format(). An "ATSH" sent here changes the header in force.
    ELM327Response raw(std::string_view command, std::stop_token stop = {});
    // The same, sent once `header` is in force.
    ELM327Response raw(const TransmitHeader& header, std::string_view command, std::stop_token stop = {});
    // A vehicle request as text (a UDS request), whose exact answer `echo` tells: once its own
    // answer comes, older requests that never got theirs stop holding it up.
    ELM327Response raw(const TransmitHeader& header, std::string_view command, const RequestEcho& echo,
                       std::stop_token stop = {});
    // The same to one ECU, known by the header it answers from: read with headers, the reply is
    // paired by that ECU's messages alone (ReplyPairing). A reply holding only other ECUs'
    // messages may be this request's, its ECU having said nothing: it is returned, and the
    // request stays owed, as its ECU's reply may still come. Without one, as the overload above.
    ELM327Response raw(const TransmitHeader& header, std::string_view command, const RequestEcho& echo,
                       const std::optional<ECUResponder>& responder, std::stop_token stop = {});
    // One of the session's own adapter settings ("ATE0", "ATDPN", ...): the same as raw(), and sent
    // once more, after the step is found again, when its reply was lost (never before the adapter
    // has answered anything: an absent adapter costs one wait a command). Never for a reset.
    ELM327Response setting(std::string_view command, std::stop_token stop = {});
    // One OBD-II request with the connection's OBD header, its reply parsed in format().
    ELM327Response query(const OBDCommand& command, std::stop_token stop = {});
    // The same with another header (TransmitHeader::any(): on the header in force).
    ELM327Response query(const TransmitHeader& header, const OBDCommand& command, std::stop_token stop = {});
    // The same request sent once more after it got no reply: an answer that comes for either is
    // this one's, so that a request the adapter never received costs no more than one try.
    ELM327Response queryAgain(const OBDCommand& command, std::stop_token stop = {});
    // The next reply to the last request sent, sending nothing and taking no lock: its answer
    // after a "response pending". First come the further messages an ECU put in a reply already
    // returned, each as a response of its own; then a reply queued meanwhile if there is one.
    // Meant for a caller that already holds the lock (an exclusive section). `since`: the wait is
    // one begun then, so that it ends a reply time-out after it (a wait resumed after a reply that
    // was not the one awaited); from now without it.
    ELM327Response awaitNext(std::stop_token stop = {},
                             std::optional<std::chrono::steady_clock::time_point> since = std::nullopt);

    // Sends a probe and tells whether the adapter answered anything meanwhile ("?" included): a
    // lost reply, not a dead adapter. Throws as any exchange does.
    bool answersProbe(std::stop_token stop = {});

    // Starts a silence watch for the calling thread.
    SilenceWatch watchSilence(std::chrono::nanoseconds limit);

    // Starts keeping the answers from these response headers ("7E8"). Only replies read with
    // headers name their ECU: nothing is kept while headers are off. Forgotten at connect and
    // disconnect too.
    AnswerKeeping keepAnswers(std::vector<std::string> responseHeaders);
    // The latest answer kept from `responseHeader` to `request` ("3E00", "22F187", "1902FF"), its
    // payload from the response identifier on, taken out; nothing when none was kept.
    std::optional<std::vector<std::uint8_t>> takeKeptAnswer(std::string_view responseHeader, std::string_view request);
    // Every answer kept from `responseHeader`, as (read, payload) oldest first (KeptAnswers::readOf()
    // names the reads), taken out.
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> takeKeptAnswers(std::string_view responseHeader);

    // Waits for the command lock (first come, first served) and holds it until the section ends.
    ExclusiveSection exclusive(std::stop_token stop = {});
    // The same for a sequence of exchanges with one ECU: once the lock is held, its header goes
    // out with "ATSH" even when the session believes it in force (the adapter may have been reset
    // unseen), and the reply is the section's selection(). The exchanges inside state the header
    // too: an adapter that did not take it is asked again before each. A failure to send the
    // header ends the section and is thrown. TransmitHeader::any() sends nothing.
    ExclusiveSection exclusive(const TransmitHeader& header, std::stop_token stop = {});

    FrameFormat format() const;
    // An adapter that refused "ATH1" prints no headers: a header format set since is not taken.
    void setFormat(FrameFormat format);
    // The format replies to requests other than adapter commands are read in: format(), and
    // without headers on a CAN protocol (protocolNumber()) CAN's, each line a message of its own.
    FrameFormat readFormat() const;

    // The header OBD requests go out with when one was set (by the protocol sweep that found the
    // car answering there); nothing for the adapter's own functional addressing, which is 7DF on
    // 11-bit CAN and 18DB33F1 on 29-bit CAN (from protocolNumber(), else format()), and is left
    // as it is on a bus without CAN identifiers, whose default the session cannot name.
    std::optional<std::string> obdHeader() const;
    void setOBDHeader(std::optional<std::string> header);
    // The header in force on the adapter ("7E0"): the last one it took; nothing while it uses its
    // own default addressing (after a reset, or from the start) or while unknown (a header command
    // went unanswered).
    std::optional<std::string> transmitHeader() const;
    // The bus protocol in force, one character from 1 to C as "ATSP" takes it: the last number
    // the adapter gave for "ATDPN" (its "A" automatic prefix removed) or that an accepted
    // "ATSP"/"ATTP" fixed; nothing when unknown (never asked, automatic search, after a reset).
    std::optional<std::string> protocolNumber() const;

    bool traceEnabled() const { return traceEnabled_; }
    // The transport reported its link down since the last connect().
    bool isLinkLost() const;
    // The adapter has answered "NO DATA" to a request since the last connect(): it speaks for an
    // ECU that does not answer, so its silence is its own, not an ECU's.
    bool hasAnsweredNoData() const;
    // The waits that ran to their end with no reply, since the session began: reply waits (a
    // lost reply costs one) and the waits after refused probes. What a connection's losses cost.
    std::uint64_t fruitlessWaits() const;
    bool isMonitoring() const;
    // Callers waiting for the command lock.
    std::size_t lockQueueLength() const;
    // Complete replies that arrived while no command waited.
    std::size_t queuedReplyCount() const;
    // Requests sent whose replies are still to come, the one waiting now included.
    std::size_t owedReplyCount() const;

    // --- Adapter operations ---

    // Sends every row of InitStep::standardSequence, the rows after the reset as settings; a step
    // succeeds when its reply carries no adapter error (a silent adapter counts as success).
    std::vector<InitStep> runInitialization(std::stop_token stop = {});
    // Mode 01, parameter 00, the response unchanged.
    ELM327Response probeVehicle(std::stop_token stop = {});
    // Reads the protocol number with "ATDPN" (a setting: asked again when its reply was lost) and
    // sets 29-bit (7, 9) or 11-bit (6, 8) headers; any other answer leaves the format as it was.
    // Returns the format in force.
    FrameFormat detectAndApplyProtocolFormat(std::stop_token stop = {});
    // The union of every ECU's support bitmaps, following the chain from 00 while it announces
    // the next base (at most seven requests).
    // `ask`, when given, sends each request in place of query().
    using Ask = std::function<ELM327Response(const OBDCommand&)>;
    std::set<std::uint8_t> discoverSupportedPIDs(std::stop_token stop = {}, const Ask& ask = {});
    // One mode 01 parameter decoded from the first ECU that answered (readingIn()).
    std::optional<PIDReading> read(std::uint8_t pid, std::stop_token stop = {});
    // The parameter in a reply to it, from the answer of its first ECU that answered it
    // (RequestEcho::readIn()); nothing when no ECU answered, its messages were cut short, its
    // echo does not match, the catalogue lacks the parameter or the value is implausible.
    static std::optional<PIDReading> readingIn(const ELM327Response& response, std::uint8_t pid);
    // A read as the polling weighs it: its value, or, with none, whether the ECU that decides
    // answered but its message broke on the way (cut short, out of sequence, interrupted, stray
    // frames only): no word of the car on the parameter.
    struct PolledRead {
        std::optional<PIDReading> reading;
        bool broken = false;
    };
    static PolledRead polledIn(const ELM327Response& response, std::uint8_t pid);
    PolledRead readPolled(std::uint8_t pid, std::stop_token stop = {});

    // Bus monitor mode: prepares the adapter (headers and spaces on, CAN formatting off), then
    // "ATMA". The session keeps the command lock until stopMonitoring(), so no other command can
    // reach the adapter (and stop the monitor) meanwhile; they wait for their turn, as long as
    // their stop tokens allow. A start while a monitor runs or starts, from any thread, throws
    // MonitorAlreadyRunning at once (also to a start that was waiting for the lock). If the start
    // fails, the adapter is restored, monitor mode left and the error rethrown; a stopMonitoring()
    // or disconnect() while it starts ends it the same way with ExchangeCancelled.
    std::shared_ptr<MonitorStream> startMonitoring(std::stop_token stop = {});
    // Ends monitor mode from any thread: finishes the stream, interrupts the adapter, waits for its
    // prompt (monitorStopPause at least, monitorStopPromptWait at most), discards what it printed,
    // restores CAN formatting and spaces off (each a setting, pending until answered: the next
    // exchange sends what is left), and gives the lock back. Headers
    // stay on; a car read with 29-bit headers before is read with them again. Never fails; does
    // nothing when not monitoring. A stop request ends the restore at once: the lock goes back
    // and the next exchange restores the adapter before its own command.
    void stopMonitoring(std::stop_token stop = {});

private:
    struct LockWaiter {
        std::thread::id thread;
        bool granted = false;
    };
    // Counts a caller inside the session, so that the destructor can wait until every woken
    // caller has left. Throws ExchangeCancelled once the session is closing.
    class CallScope {
    public:
        explicit CallScope(ELM327Session& session);
        ~CallScope();
        CallScope(const CallScope&) = delete;
        CallScope& operator=(const CallScope&) = delete;

    private:
        ELM327Session& session_;
    };
    // The command lock for one exchange.
    class LockScope {
    public:
        LockScope(ELM327Session& session, std::stop_token stop) : session_(session) { session_.acquireLock(stop); }
        ~LockScope() { session_.releaseLock(); }
        LockScope(const LockScope&) = delete;
        LockScope& operator=(const LockScope&) = delete;

    private:
        ELM327Session& session_;
    };

    // `monitorStart`: gives up with MonitorAlreadyRunning as soon as a monitor runs or starts.
    void acquireLock(std::stop_token stop, bool monitorStart = false);
    void releaseLock();
    void endSection();
    void releaseLockLocked();

    using Deadline = std::chrono::steady_clock::time_point;
    // A command sent under the lock, whose reply is awaited until `deadline`.
    struct SentCommand {
        std::uint64_t connection = 0; // the disconnect count when it was sent
        Deadline deadline;
        Deadline latest; // the deadline while the reply has begun with a progress notice
    };

    // A reply as handed to its request: the bytes, and their reading when pairing read them.
    struct Delivered {
        std::vector<std::uint8_t> bytes;
        std::optional<ELM327Response> parsed;
        bool dropped = false; // the adapter, busy, dropped the request: ReplyPairing::Placement
    };

    struct Watch {
        std::uint64_t id = 0;
        std::thread::id thread;
        std::chrono::nanoseconds limit{};
        Deadline since;
        bool tripped = false;
    };

    ELM327Response rawHeld(std::string_view command, std::stop_token stop, const RequestEcho* echo = nullptr,
                           const ECUResponder* responder = nullptr);
    // rawHeld, once more when the reply was lost.
    ELM327Response settingHeld(std::string_view command, std::stop_token stop);
    // Under the command lock, before an exchange that needs `header`: a monitor restore left
    // pending, then "ATSH" when the header in force differs (once more at once when dropped with
    // "STOPPED"). The reply to a header command the adapter did not take, marked unsent: the
    // exchange's command was not sent.
    std::optional<ELM327Response> prepareHeld(const TransmitHeader& header, std::stop_token stop);
    ELM327Response queryHeader(const TransmitHeader& header, const OBDCommand& command, bool again,
                               std::stop_token stop);
    // Sends the request, owed its reply from then, and waits for that reply; once more when the
    // adapter dropped it. Not sent, an empty response marked unsent, when the step could not be found.
    ELM327Response exchangeHeld(std::span<const std::uint8_t> request, ReplyPairing::Request owed, std::stop_token stop);
    // Before `next` goes out while an older request is owed its reply: a probe whose answer names
    // it puts the session back in step; unanswered, the other probe. False when neither was.
    // After both were refused and the wait, `next` goes out to find the step itself (marked so).
    bool findStepHeld(ReplyPairing::Request& next, std::stop_token stop);
    // After both probes were refused: waits, sending nothing, for a reply or one reply time-out.
    void awaitAnyReplyHeld(std::stop_token stop);
    // The bytes received since the request hold a progress notice and no prompt.
    bool replyInProgressLocked() const;
    // The header to send for `header`: none when it is in force (unless `always`), for
    // TransmitHeader::any(), or for a default addressing the session cannot name.
    std::optional<std::string> headerToSendLocked(const TransmitHeader& header, bool always) const;
    std::optional<std::string> functionalHeaderLocked() const;
    // Queues the response's follow-up messages for awaitNext().
    void keepFollowUps(const ELM327Response& response);
    // Discards what is left of unowed replies, then sends the request, owed its reply from then.
    SentCommand sendHeld(std::span<const std::uint8_t> request, ReplyPairing::Request owed, std::stop_token stop);
    // A reply awaited from now (or from `since`), on the connection numbered `connection`.
    SentCommand awaitedFromNow(std::uint64_t connection,
                               std::optional<std::chrono::steady_clock::time_point> since = std::nullopt) const;
    // The reply parsed in `format`, or an empty response once the deadline passed. `dropped`, when
    // given, tells whether the adapter dropped the request.
    ELM327Response receive(const SentCommand& sent, FrameFormat format, std::string_view command, std::stop_token stop,
                           bool* dropped = nullptr);
    // Throws AdapterSilent when the calling thread's watch has tripped, or trips it now when the
    // adapter has been silent for its limit (`ended`: an exchange just ended without a reply).
    void checkSilence(bool ended);
    void endWatch(std::uint64_t id);
    // After the character that ends the monitor: the adapter's prompt, within the bounds.
    void awaitPromptAfterMonitor(std::uint64_t promptsBefore, std::stop_token stop);
    // A disconnect since `connection` ends the wait; the deadline passed, an empty reply.
    Delivered nextResponse(std::stop_token stop, const SentCommand& sent);

    void readerLoop(std::stop_token stop);
    // Notes a link the transport reports down, and wakes every waiter.
    void checkLink();
    void handleChunk(std::vector<std::uint8_t> chunk);
    void cutReplies(std::vector<std::string>& notes);
    void deliverLocked(std::vector<std::uint8_t> reply, std::vector<std::string>& notes);
    void cutMonitorLines();
    // Brings the adapter back from monitor mode (`interrupt`: it was sent "ATMA") while the
    // caller holds the command lock. Stopped, or found silent by a watch of this thread, it leaves
    // what is left of it to the next exchange. Never throws.
    void restoreAfterMonitor(bool interrupt, std::stop_token stop);
    // Carries out what is pending of a restore; a stop leaves the rest pending again. Throws
    // AdapterSilent only.
    void finishRestoreHeld(std::stop_token stop);
    void restoreFormatAfterMonitorLocked();
    void trace(const std::string& text) const;

    const std::shared_ptr<OBDTransport> transport_;
    const Timing timing_;
    const bool traceEnabled_;

    mutable std::mutex mutex_;
    std::condition_variable_any changed_;

    // Command lock.
    bool lockHeld_ = false;
    std::thread::id lockOwner_; // none while bus monitor mode holds the lock
    int lockDepth_ = 0;
    std::deque<LockWaiter*> lockWaiters_;

    // Replies.
    bool replyWaiter_ = false;                           // a command waits for its reply
    std::optional<Delivered> handedReply_; // the reply given to that waiter
    std::deque<Delivered> readyResponses_;  // replies for the last request, or owed to none
    ReplyPairing pairing_;
    KeptAnswers kept_;
    std::deque<ELM327Response> followUps_; // messages of returned replies not handed out yet
    std::vector<std::uint8_t> readBuffer_;
    std::size_t scanned_ = 0; // bytes of readBuffer_ known to hold no delimiter
    FrameFormat format_ = FrameFormat::headersOff;
    bool headersRefused_ = false; // "ATH1" refused since the last reset
    std::optional<std::string> protocolNumber_;
    std::uint64_t prompts_ = 0;                // replies completed since the session began
    std::optional<Deadline> lastAnswer_;       // the end of the last complete reply on this link
    bool answeredNoData_ = false;              // a request got "NO DATA" on this link
    // A "?" taken as a given-up probe's came while the current line waited: it may have been the
    // line's own refusal by a busy adapter.
    bool probesRefusalMeanwhile_ = false;
    std::uint64_t fruitlessWaits_ = 0;
    std::vector<Watch> watches_;
    std::uint64_t nextWatch_ = 1;

    // Transmit header: the one in force when known; else the adapter's default addressing
    // (`defaultAddressing_`, as after a reset), else unknown.
    std::optional<std::string> headerInForce_;
    bool defaultAddressing_ = true;
    std::optional<std::string> obdHeader_;

    // Bus monitor mode.
    bool monitoring_ = false;
    bool monitorStarting_ = false;    // startMonitoring() sets up; it alone may then end the monitor
    bool monitorStopPending_ = false; // a stop came while it set up
    FrameFormat formatBeforeMonitor_ = FrameFormat::headersOff;
    std::shared_ptr<MonitorStream> monitorStream_;
    // A restore a stop cut short, finished by the next exchange: the interruption of "ATMA" if it
    // never went out, then the settings.
    bool restoreInterruptPending_ = false;
    std::size_t restoreSettingsLeft_ = 0; // the last ones of the restore's settings, unanswered yet

    // Life.
    std::uint64_t disconnects_ = 0; // a reply wait ends when this moves
    std::uint64_t links_ = 0;       // connects that succeeded: a state read before one is stale
    bool linkLost_ = false;
    bool closing_ = false;
    // Ends the waiting caller's own read of the link: requested with closing_, and when another
    // thread hands that caller its reply; replaced once used.
    std::stop_source readStop_;
    std::thread::id pullingThread_; // the waiting caller while it reads the link itself
    int activeCalls_ = 0; // callers inside the session, open exclusive sections included
    std::mutex readerMutex_; // connect and disconnect, never held with mutex_
    std::jthread reader_;    // last: stopped and joined before the state it uses goes
};

} // namespace veq
