#pragma once

#include "VEQEngine/Session/GivenUpProbes.hpp"
#include "VEQProtocol/ECUResponder.hpp"
#include "VEQProtocol/ELM327Response.hpp"
#include "VEQProtocol/FrameFormat.hpp"
#include "VEQProtocol/RequestEcho.hpp"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// Which request each adapter reply answers. An ELM327 answers every command line with one reply
// ended by its prompt, in the order it received them; a request whose wait ended without its
// reply (a time-out, a caller that gave up) may still get it later, or never. Until the session
// knows which, it is out of step: each reply settles the oldest request still owed one, whatever
// it says, so that no reply ever reaches a request it does not answer. Only an answer that can be
// nothing but the current request's (a vehicle request's positive answer echoing its service and
// parameter, the adapter's banner to "ATI", the voltage to "ATRV") skips the queue: requests older
// than it that got nothing are then taken as lost.
//
// Late and lost look alike, so before a request goes out while another is still owed, the session
// asks for such an answer first (probeBefore): once the probe is answered, every older request has
// its reply or never will, and the request goes out in step. A probe gets no probe of its own; one
// left unanswered is followed by the other kind, "ATI" and "ATRV" in turn, so that an answer of
// the current probe's kind completes it. Every probe given up that way, and a reset left
// unanswered, may still answer later: its banner, voltage or "?" is then a reply too many, taken
// by no probe and never by another request (GivenUpProbes). It is awaited only while it can still
// come: the adapter answers in order, so once every line sent before it has had a reply (placed
// to it, or passed by a later line's), the next reply is its answer if of its kind, and else it
// never comes. An answer that only a later line can have given (a vehicle request's own positive
// answer, a banner or voltage while no earlier line of that kind is awaited, or a setting's "OK"
// while no other setting's is) ends every such wait at once. An answer that an older line asked
// alike (for an "OK", an older setting), passed by it, can have given proves nothing of the kind:
// what was given up with that line is still awaited, and once the answer of a probe sent after
// that line comes, the passing line's own is still to come too.
//
// A "?" is never the late answer of a well-formed request. It is a given-up probe's when that
// probe can still have given it (an "ATI" or "ATRV" passed after an older line asked alike, or one
// this adapter refused on this link), in step or not, and the current line waits on for its own.
// Else out of step it refuses the line just sent (Placement::refused), which is then owed
// nothing, and the older requests stay owed. Only a request asked again behind nothing but its
// own first ask reads it as the first ask's refusal.
//
// An adapter that refuses both probes (or refuses one and loses the other's answer) answered
// them after every older request, in order: once a reply time-out more has passed, what those
// were to get has most likely come or never will. The line then sent to find the step
// (findsStep), a setting as well as a request, takes any answer but "?" it can have given as its
// own ("NO DATA" and "OK" included), and the older ones are lost; a banner or voltage of a probe
// or reset among them is then one too many. Only what that line cannot give and an older line still owed can (a
// banner while an "ATZ", "ATWS" or "ATI" is owed, a voltage while an "ATRV" is, an "OK" while a
// setting is, an older request's exact answer) is the oldest such line's, come late: the lines
// before it are lost, and the line stays owed. A "STOPPED" ends an older line's work and drops
// that line, to be sent once more (Placement::dropped). A "?" refuses that line alone: a busy
// clone may still hold the older answers. A request asked again behind nothing but its own first
// ask takes its exact answer the same way. A second answer of that form, should one follow, is a
// reply too many, never another request's.
//
// A busy adapter interrupted by a new line prints "STOPPED" and drops the line: a probe or a
// request asked again that came right behind the one request it interrupted is told so
// (Placement::dropped), to be sent once more.
//
// In step, the reply is the current request's whatever it names, so a wrong answer fails at once
// (read with headers, another request's answer from its own ECU is no answer, as below); only a
// reply too many (a second answer to the request before, a banner after a reset, "STOPPED"
// after the bus monitor) is dropped. A voltage, or a banner the session knows, never answers or
// settles a vehicle request or a setting, in step or not: it is a probe's or a reset's, come late,
// and one too many unless a line still owed can have given it. Nor does an ECU's message, with a
// header or without, answer or settle a setting, which says only "OK" or the adapter's own words:
// it is an older request's, come late, or one too many, and the setting stays owed for its "OK".
// That holds once the adapter was heard saying "OK" on the link: one printing hex to everything
// would otherwise cost every setting a whole wait.
// A reset ("ATZ", "ATWS", "ATD") and the bus monitor put the session back in step: a reset may
// print nothing, and monitor lines are no replies.
//
// A reply that only a line counted lost can have given (an "OK" while a setting counted lost may
// still answer, an exact answer naming a request counted lost) is a reply too many, in step or not,
// unless a line still owed can have given it (or it is the current line's ECU's, below): a held reply that came after a later one must never
// become the next line's answer. Those lines are forgotten once a line sent after them takes an
// answer only it can give, though never by the answer that counted them lost. Out of step, a reply
// the current line does not take, that the oldest owed line cannot have given but a later one can
// (a banner, a voltage, an "OK", an exact answer), settles the oldest such line, late: the ones
// before it are lost. Any other reply ("NO DATA", an error, a negative answer) settles the oldest.
//
// Read with headers, a request to one ECU (Request::responder) is answered by that ECU's messages
// alone: its exact answer and a "response pending" are read from them, and a reply with ECU
// messages settles, passes or counts off only a line whose ECU's message is among them. A reply
// holding only other ECUs' messages is the late answer of an owed line to the ECU that sent them,
// or one too many when a line to it was counted lost; else it is the current line's own reply,
// with no answer from its ECU: the line takes it and stays owed, as its ECU's reply may still
// come. Replies with no ECU message ("NO DATA", "OK", "?", a banner) are paired as they come.
//
// Each message of an ECU is read on its own: a request's answer is the first whole message of its
// ECU that names it (its positive answer, or a negative answer to its service), past any "response
// pending"; a message cut short answers nothing. A reply whose whole messages from the line's ECU
// all name another request of that ECU is no answer either, in step or not: it is the late answer
// of an owed line to the request it names, else the current line's own reply with no answer, and
// the line stays owed; a line of that ECU counted lost to the request it names is counted off.
// Such a reply is never one too many for naming the line answered just before.
//
// The banner that names the adapter is the last line of its last answered reset, "ELM327" until
// one is seen (clones print "OBDII v1.5", "V-LINK"...).
//
// A plain value used under the session's lock; it sends nothing and never waits.
class ReplyPairing {
public:
    // One request as the adapter sees it.
    struct Request {
        std::string command;             // as sent, without the carriage return
        FrameFormat format = FrameFormat::headersOff; // the format its reply is read in
        std::optional<RequestEcho> echo; // set for a vehicle request (OBD-II or UDS)
        bool monitor = false;            // the bus monitor's "ATMA"
        bool repeat = false;             // asked again: an answer to the same request before is its too
        bool probe = false;              // sent by the session only to find its step again
        // Sent once the adapter refused both probes and a reply time-out more passed: any answer
        // but "?" is its own, whatever older request is still owed.
        bool findsStep = false;
        // The ECU a request to one unit goes to: read with headers, its answer is its ECU's
        // messages alone, and a reply holding only other ECUs' messages is no answer of its.
        std::optional<ECUResponder> responder = std::nullopt;

        bool canBeNamed() const;
        // "ATZ", "ATWS", "ATI": answered with the adapter's banner.
        bool printsBanner() const;
        // "ATRV": answered with the supply voltage ("12.6V").
        bool readsVoltage() const;
        // An AT line answered "OK": none whose answer is its own (a banner, a voltage, a protocol).
        bool isSetting() const;
        // Whether both are answered alike, so that a reply naming one may be the other's: the same
        // exact answer, unless their replies are read with headers and name two ECUs.
        bool answeredAlike(const Request& other) const;
        // The reply holds ECU messages, all other ECUs' than this request's.
        bool foreign(const ELM327Response& reply) const;
        // Read with headers, the whole messages of its ECU all name another request (of that ECU):
        // no answer of this one.
        bool answersAnotherRequest(const ELM327Response& reply) const;
        // The reply holds a message from the header this request's ECU answers from.
        bool answeredByItsECU(const ELM327Response& reply) const;
        // Whether a reply holding ECU messages can be this line's: a vehicle request's, from its
        // ECU where it is known (not foreign()), not naming only its ECU's other requests
        // (answersAnotherRequest()). An adapter command's never is.
        bool claims(const ELM327Response& reply) const;
        // "ATZ", "ATWS", "ATD": the adapter forgets what it was doing.
        bool resets() const;
        // "ATI" or "ATRV": answered only with the banner, the voltage or "?".
        bool isProbe() const;

        // A line as the session sends it: an adapter command ("AT...", "ST...") is read without
        // headers, whatever the session's format; any other line is a vehicle request, read in
        // `sessionFormat`, named by its answer (`echo`, else read from the typed text) and, when
        // sent to one unit, answered by `responder`.
        static Request line(std::string_view command, FrameFormat sessionFormat,
                            std::optional<RequestEcho> echo = std::nullopt,
                            std::optional<ECUResponder> responder = std::nullopt);
    };

    enum class Destination {
        current, // the current request's reply: its waiter takes it
        late,    // settled an older request; goes nowhere
        tooMany, // a reply too many in step; dropped
        unowed,  // nothing is owed: kept for a wait without a command, discarded at the next send
    };

    struct Placement {
        Destination destination = Destination::unowed;
        std::optional<Request> settled; // the older request a late reply answered
        std::size_t lost = 0;           // older requests given up as never answered
        // The reply read in the current request's format, when it was read for the decision.
        std::optional<ELM327Response> parsed;
        // The current request, a probe or a request asked again, was dropped by an adapter still
        // busy with the older one: its reply is that "STOPPED", and it is owed nothing.
        bool dropped = false;
        // Out of step, the adapter refused the current request with "?": it is owed nothing, and
        // the older requests stay owed.
        bool refused = false;
        // A reply too many that is a given-up probe's "?": a busy adapter's refusal of the current
        // request would read the same.
        bool probesRefusal = false;
    };

    // Reads a reply in the format of a request (its command's echo dropped).
    using Reader = std::function<ELM327Response(const Request&)>;

    static constexpr std::size_t maxOwed = 32;

    // A request about to go out: it becomes current and owed its reply. Beyond the bound the oldest
    // owed probe is forgotten, or the oldest request when no probe is owed; true when one was.
    bool sending(Request request);
    // The current request's send failed: nothing is owed for it.
    void unsent();
    // The current request's exchange is over; a reset that got no reply is not waited for.
    void exchangeEnded();
    // Where a reply goes.
    Placement place(const Reader& read);
    // The probe to send and see answered before `next` goes out: none while nothing is owed, before
    // a probe, or before a request asked again behind nothing but itself (an answer to either is
    // its). After an owed probe, or after `refused` (a probe the adapter just refused), the other
    // kind; else one whose answer no owed request awaits.
    std::optional<Request> probeBefore(const Request& next, const Request* refused = nullptr) const;
    // The probe that tells whether the adapter answers at all: the one probeBefore would send
    // before a request, "ATI" while nothing is owed.
    Request probe() const;
    // Whether the reply can only be this request's: its exact positive answer, the adapter's
    // banner after a reset or an identification, the voltage after "ATRV", "STOPPED" after the
    // monitor.
    bool names(const Request& request, const ELM327Response& reply) const;
    // Nothing is owed any more; `completed` becomes the request a reply too many may name. After
    // the bus monitor, its "STOPPED" is taken for one too many until restoreEnded(). Without
    // `completed` (a new link, the monitor's start), no answer of a probe given up is awaited.
    void resynchronise(std::optional<Request> completed = std::nullopt);
    void restoreEnded() { stoppedExpected_ = false; }
    const std::string& bannerMark() const { return bannerMark_; }

    bool inStep() const;
    std::size_t owedCount() const { return owed_.size(); }
    const std::optional<Request>& current() const { return current_; }

private:
    struct Owed {
        std::uint64_t id;
        Request request;
    };

    bool currentIsOwed() const { return !owed_.empty() && owed_.back().id == currentID_; }
    // In step, a reply that is not the current request's: the monitor's late "STOPPED", or one that
    // names the request completed just before.
    bool isReplyTooMany(const ELM327Response& parsed, const Reader& read);
    // The current request takes the reply; it stays owed while its answer is pending. Unless
    // `onlyItsOwn` is false (an older line asked alike was passed), an answer that names it proves
    // the lines given up before it will never answer.
    Placement toCurrent(ELM327Response parsed, std::size_t lost, bool onlyItsOwn = true);
    // A banner, voltage or "?" of a probe or reset given up earlier, unless a request that is no
    // probe asks for it (a "?" never): that probe's, which is no longer awaited.
    bool isGivenUpProbesAnswer(GivenUpProbes::Answer answer, const Reader& read);
    // Any other reply ends the wait for the given-up probes whose earlier lines all had theirs.
    void givenUpProbesPassed(GivenUpProbes::Answer answer, const Reader& read);
    // Whether a line sent before `id` is still owed and has had no reply.
    bool unansweredBefore(std::uint64_t id) const;
    // A request given up before its answer: a banner, voltage or "?" it may still get is one too
    // many. `passedAfterAlike`: the current line passed it after an older line asked alike.
    void givenUp(std::uint64_t id, const Request& request, bool passedAfterAlike = false);
    // The answer a given-up probe may have given that the reply is, if any.
    GivenUpProbes::Answer asProbeAnswer(const Reader& read) const;
    // The adapter refused the current line with "?": a probe it refuses on this link.
    void noteRefusal(const ELM327Response& parsed);
    // A vehicle request or a setting is never answered with the adapter's voltage or banner: such a
    // reply is a probe's or a reset's, come late. Nor is a setting or a probe with an ECU's
    // message, nor a probe with "OK".
    bool neverAnswers(const Request& request, const Reader& read) const;
    // The reply holds an ECU's message in any format the session reads replies in: with 11-bit or
    // 29-bit headers or without. The adapter's own words are none in any of them.
    static bool holdsECUMessage(const Request& request, const Reader& read);
    // A setting or a probe of an adapter heard saying "OK" on this link: an ECU's message is never
    // its reply. One that never said it (a garbled adapter printing hex to everything) gets its
    // wrong answer at once rather than a wait for an answer that never comes.
    bool takesNoECUMessage(const Request& request) const {
        return speaksOK_ && (request.isSetting() || request.isProbe());
    }
    // Out of step, a "?" while the oldest owed line is a probe this adapter refused on this link:
    // that probe's, as the adapter answers in order.
    bool isOldestProbesRefusal(const ELM327Response& parsed) const;
    // An "OK" or an exact answer that only lines counted lost can have given: counted off.
    bool isLostLinesAnswer(const Reader& read);
    // Only other ECUs' messages for the current line, from the ECU of a line counted lost and of
    // no line still owed: that line's, come late (counted off once it is no "response pending").
    bool isLostECUsMessage(const Reader& read);
    // A setting's "OK" may still come for a line other than the current one: owed before it, or
    // counted lost.
    bool settingAnswerAwaited() const;
    // A line counted lost: a setting's "OK" or a request's exact answer still to come is one too many.
    void countLost(const Request& request);
    // A line given up and counted lost at once.
    void lose(const Owed& owed);
    // Whether the reply is one that only lines of the request's kind give and the request can have
    // given: its banner, its voltage, its exact answer, an "OK" to a setting.
    bool mayHaveGiven(const Request& request, const ELM327Response& reply) const;
    // The first owed line in [first, last) that may have given the reply, or `last`.
    std::deque<Owed>::iterator firstThatMayHaveGiven(std::deque<Owed>::iterator first,
                                                     std::deque<Owed>::iterator last, const Reader& read);
    // The current request takes the reply and every older one is lost.
    Placement passingOlder(ELM327Response parsed);
    // The reply is an older request's, come late; the ones before it are lost.
    Placement settledLate(std::deque<Owed>::iterator settled);
    // "STOPPED": the oldest request's work ended, and the current one, which the adapter dropped,
    // is owed nothing; the ones between are lost.
    Placement droppedBehind(std::optional<ELM327Response> parsed);
    // Whether an answer of the request's kind may still come for an earlier line: a probe or reset
    // given up, or an older request owed. Never for a vehicle request's own positive answer.
    bool kindStillAwaited(const Request& request) const;
    void learnBanner(const ELM327Response& reply);

    std::deque<Owed> owed_; // oldest first; the current request last while owed
    std::optional<Request> current_;
    std::uint64_t currentID_ = 0;
    std::uint64_t nextID_ = 1;
    std::optional<Request> lastCompleted_;
    bool stoppedExpected_ = false; // the monitor's interruption may still print "STOPPED"
    std::string bannerMark_;       // empty: "ELM327"
    bool speaksOK_ = false;        // an "OK" came on this link
    GivenUpProbes givenUp_; // their answers still to come
    std::uint64_t answeredThrough_ = 0; // every line up to this one has had a reply or was passed
    // Lines counted lost whose "OK" or exact answer may still come.
    std::size_t lostSettings_ = 0;
    std::deque<Request> lostRequests_; // at most maxOwed, oldest first
};

} // namespace veq
