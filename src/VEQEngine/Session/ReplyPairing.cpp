#include "VEQEngine/Session/ReplyPairing.hpp"

#include "VEQEngine/Session/TransmitHeader.hpp"
#include "VEQSupport/Text.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace veq {

namespace {

// The commands an adapter answers with its banner ("ELM327 v1.5").
constexpr std::array<std::string_view, 3> kBannerCommands{"ATZ", "ATWS", "ATI"};
constexpr std::string_view kBannerMark = "ELM327";
constexpr std::string_view kVoltageCommand = "ATRV";
// The probes, in the order they are tried: the first whose answer no owed request awaits.
constexpr std::array<std::string_view, 2> kProbes{"ATI", kVoltageCommand};
// The AT commands answered with text of their own rather than "OK", and the monitors, whose
// "ATMR xx" and "ATMT xx" take an argument.
constexpr std::array<std::string_view, 15> kOwnAnswerCommands{"ATZ",  "ATWS", "ATI",   "ATRV",  "ATDP",
                                                             "ATDPN", "ATMA", "ATCS", "ATBD", "ATIGN",
                                                             "ATPPS", "ATRD", "ATKW", "AT@1", "AT@2"};
constexpr std::array<std::string_view, 2> kMonitorPrefixes{"ATMR", "ATMT"};

bool bannerCommand(std::string_view command) {
    const std::string compact = text::compactUpper(command);
    return std::find(kBannerCommands.begin(), kBannerCommands.end(), compact) != kBannerCommands.end();
}

bool saysStopped(const ELM327Response& reply) {
    return std::find(reply.lines.begin(), reply.lines.end(), std::string(rawValue(ELM327Error::stopped))) != reply.lines.end();
}

// One line such as "12.6V" or "9 V": what "ATRV" alone prints.
bool holdsVoltage(const ELM327Response& reply) {
    if (reply.error || reply.text.size() != 1) return false;
    std::string_view line = reply.text.front();
    if (line.empty() || (line.back() != 'V' && line.back() != 'v')) return false;
    line = text::trimHorizontal(line.substr(0, line.size() - 1));
    const std::size_t point = line.find('.');
    const std::string_view whole = line.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : line.substr(point + 1);
    const auto digits = [](std::string_view part) {
        return std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return !whole.empty() && whole.size() <= 2 && digits(whole) && digits(fraction) &&
           (point == std::string_view::npos || !fraction.empty());
}

// A line that names the adapter: "ELM327" in it, or the whole banner its last reset printed.
bool holdsBanner(const ELM327Response& reply, std::string_view ownBanner) {
    const std::string own = text::compactUpper(ownBanner);
    return std::any_of(reply.text.begin(), reply.text.end(), [&](const std::string& line) {
        return text::toUpperASCII(line).find(kBannerMark) != std::string::npos ||
               (!own.empty() && text::compactUpper(line) == own);
    });
}

// A bare "OK": what a setting alone is answered.
bool saysOK(const ELM327Response& reply) {
    return !reply.error && reply.ecus.empty() && reply.text.size() == 1 &&
           text::compactUpper(reply.text.front()) == "OK";
}

// An "OK", bare or behind the echo of an adapter command: an adapter that echoes every line
// prints its settings' answers so, whichever line the reply is read for.
bool saysOKBehindAnyEcho(const ELM327Response& reply) {
    if (saysOK(reply)) return true;
    return !reply.error && reply.ecus.empty() && reply.text.size() == 2 &&
           text::compactUpper(reply.text.front()).starts_with("AT") && text::compactUpper(reply.text.back()) == "OK";
}

// What an adapter busy with another line says of the one it received meanwhile.
bool refusedWhileBusy(const ELM327Response& reply) {
    return saysStopped(reply) || reply.error == ELM327Error::unknownCommand;
}

ReplyPairing::Placement replyTooMany() {
    ReplyPairing::Placement placement;
    placement.destination = ReplyPairing::Destination::tooMany;
    return placement;
}

// Calls `f` on the reply as the request's ECU gave it: its own messages alone when it has an ECU.
template <class F>
auto onItsOwn(const ReplyPairing::Request& request, const ELM327Response& reply, F&& f) {
    if (!request.responder) return f(reply);
    return f(request.responder->view(reply));
}

// The request's ECU said "response pending" to it and has not answered it yet.
bool stillPending(const ReplyPairing::Request& request, const ELM327Response& reply) {
    return request.echo && onItsOwn(request, reply, [&](const ELM327Response& own) { return request.echo->stillPending(own); });
}

// Both go to one ECU, or their replies cannot tell ECUs apart.
bool sameECU(const ReplyPairing::Request& a, const ReplyPairing::Request& b) {
    const bool withHeaders = a.format.headerWidth() != 0 && b.format.headerWidth() != 0;
    return !withHeaders || !a.responder || !b.responder || a.responder->own() == b.responder->own();
}

ReplyPairing::Request probeOf(std::string_view command) {
    ReplyPairing::Request probe{std::string(command), FrameFormat::headersOff, std::nullopt};
    probe.probe = true;
    return probe;
}

// What the line asks for as a probe does ("ATI", "ATRV"), which the adapter may refuse.
std::optional<GivenUpProbes::Kind> probesFor(const ReplyPairing::Request& request) {
    if (request.echo) return std::nullopt;
    if (text::compactUpper(request.command) == kProbes[0]) return GivenUpProbes::Kind::banner;
    if (request.readsVoltage()) return GivenUpProbes::Kind::voltage;
    return std::nullopt;
}

} // namespace

bool ReplyPairing::names(const Request& request, const ELM327Response& reply) const {
    if (request.echo) {
        return onItsOwn(request, reply, [&](const ELM327Response& own) { return request.echo->namedExactlyBy(own); });
    }
    if (request.monitor) return saysStopped(reply); // after any half line the monitor left
    if (request.readsVoltage()) return holdsVoltage(reply);
    return request.printsBanner() && holdsBanner(reply, bannerMark_);
}

bool ReplyPairing::Request::canBeNamed() const { return echo || monitor || printsBanner() || readsVoltage(); }

bool ReplyPairing::Request::printsBanner() const { return bannerCommand(command); }

bool ReplyPairing::Request::readsVoltage() const {
    return !echo && text::compactUpper(command) == kVoltageCommand;
}

bool ReplyPairing::Request::isSetting() const {
    if (echo || monitor) return false;
    const std::string compact = text::compactUpper(command);
    if (!compact.starts_with("AT")) return false;
    const auto prefixes = [&](std::string_view prefix) { return compact.starts_with(prefix); };
    return std::find(kOwnAnswerCommands.begin(), kOwnAnswerCommands.end(), compact) == kOwnAnswerCommands.end() &&
           std::none_of(kMonitorPrefixes.begin(), kMonitorPrefixes.end(), prefixes);
}

bool ReplyPairing::Request::answeredAlike(const Request& other) const {
    if (echo || other.echo) return echo == other.echo && sameECU(*this, other);
    return (printsBanner() && other.printsBanner()) || (readsVoltage() && other.readsVoltage());
}

bool ReplyPairing::Request::foreign(const ELM327Response& reply) const {
    return responder && responder->onlyOthers(reply);
}

bool ReplyPairing::Request::answeredByItsECU(const ELM327Response& reply) const {
    return responder && responder->holdsOwn(reply);
}

bool ReplyPairing::Request::answersAnotherRequest(const ELM327Response& reply) const {
    return echo && responder && responder->answersAnotherRequest(reply, *echo);
}

bool ReplyPairing::Request::claims(const ELM327Response& reply) const {
    return echo && !foreign(reply) && !answersAnotherRequest(reply);
}

bool ReplyPairing::Request::resets() const { return !monitor && TransmitHeader::clearedBy(command); }

bool ReplyPairing::Request::isProbe() const { return probesFor(*this).has_value(); }

ReplyPairing::Request ReplyPairing::Request::line(std::string_view command, FrameFormat sessionFormat,
                                                  std::optional<RequestEcho> echo,
                                                  std::optional<ECUResponder> responder) {
    const std::string upper = text::toUpperASCII(text::trimHorizontal(command));
    const bool adapterCommand = upper.starts_with("AT") || upper.starts_with("ST");
    Request request{std::string(command), adapterCommand ? FrameFormat::headersOff : sessionFormat, std::nullopt};
    if (adapterCommand) return request;
    // A request typed as text (the terminal's) is named by its answer as much as any other.
    request.echo = echo ? std::move(echo) : RequestEcho::ofRequestText(command);
    request.responder = std::move(responder);
    return request;
}

bool ReplyPairing::sending(Request request) {
    currentID_ = nextID_++;
    owed_.push_back(Owed{currentID_, request});
    current_ = std::move(request);
    if (owed_.size() <= maxOwed) return false;
    // A probe goes first: its answer, when it comes, is told apart as one too many, whereas a
    // request's forgotten answer would settle the next one owed.
    auto forgotten = std::find_if(owed_.begin(), owed_.end() - 1, [](const Owed& o) { return o.request.probe; });
    if (forgotten == owed_.end() - 1) forgotten = owed_.begin();
    lose(*forgotten);
    owed_.erase(forgotten);
    return true;
}

void ReplyPairing::unsent() {
    if (currentIsOwed()) owed_.pop_back();
    current_.reset();
}

void ReplyPairing::exchangeEnded() {
    // A reset ends what the adapter was doing, but replies to older requests may still be on
    // their way: while one is owed, the reset's banner (which names it) settles them in order.
    if (current_ && current_->resets() && (!currentIsOwed() || owed_.size() == 1)) {
        const bool unanswered = currentIsOwed();
        const Request reset = *current_;
        resynchronise(reset);
        // Its banner may still come: one too many, never the next request's or probe's.
        if (unanswered) givenUp(currentID_, reset);
    }
}

ReplyPairing::Placement ReplyPairing::place(const Reader& read) {
    // Heard once, an "OK" shows the adapter answers its settings so (a garbled one never does).
    if (!speaksOK_) speaksOK_ = saysOKBehindAnyEcho(read(probeOf(kProbes[0])));
    const GivenUpProbes::Answer asProbes = asProbeAnswer(read);
    if (isGivenUpProbesAnswer(asProbes, read)) {
        Placement placement = replyTooMany();
        placement.probesRefusal = asProbes == GivenUpProbes::Answer::refusal;
        return placement;
    }
    if (isLostLinesAnswer(read) || isLostECUsMessage(read)) return replyTooMany();
    givenUpProbesPassed(asProbes, read);
    if (owed_.empty()) return {};
    if (inStep()) {
        ELM327Response parsed = read(*current_);
        if (!names(*current_, parsed) && !current_->answersAnotherRequest(parsed) &&
            (isReplyTooMany(parsed, read) || neverAnswers(*current_, read))) {
            return replyTooMany();
        }
        return toCurrent(std::move(parsed), 0);
    }

    // Out of step: the reply is read as the current request's once, for every rule below.
    const auto older = owed_.end() - 1;
    std::optional<ELM327Response> asCurrent;
    if (currentIsOwed()) {
        ELM327Response& parsed = asCurrent.emplace(read(*current_));
        const auto same =
            std::find_if(owed_.begin(), older, [&](const Owed& o) { return o.request.answeredAlike(*current_); });
        // A request asked again behind nothing but itself takes whatever comes: an answer to either
        // says the same. The older one stays owed for the reply it may still get. An exact answer
        // passes it, though, and what a busy adapter says of the line that interrupted it is no
        // answer: both are judged below.
        const bool behindOwnFirstAsk =
            current_->repeat &&
            std::all_of(owed_.begin(), older, [&](const Owed& o) { return o.request.answeredAlike(*current_); });
        const bool foreign = current_->foreign(parsed);
        if (behindOwnFirstAsk && !foreign && !refusedWhileBusy(parsed) && !names(*current_, parsed) &&
            !neverAnswers(*current_, read)) {
            return toCurrent(std::move(parsed), 0);
        }
        // The oldest owed line, a probe this adapter refuses, got its "?" first: the adapter
        // answers in order, and the line just sent awaits its own reply.
        if (isOldestProbesRefusal(parsed)) return settledLate(owed_.begin());
        // Else a "?" answers the line just sent: the session's own requests are well formed, so
        // it is never an older one's late answer, and those stay owed (a busy clone refuses what
        // comes meanwhile, then sends the older answer).
        if (!behindOwnFirstAsk && parsed.error == ELM327Error::unknownCommand) {
            noteRefusal(parsed);
            owed_.pop_back();
            Placement placement{Destination::current, std::nullopt, 0, std::move(parsed)};
            placement.refused = true;
            return placement;
        }
        // Past the refused probes' wait, the older answers were given up: whatever comes now but
        // a refusal is this line's own, save what only an older line can have given (a banner, a
        // voltage, an "OK", a request's exact answer, come late). "STOPPED" ends what the adapter
        // was busy with, never this line, which it dropped: it is sent once more.
        if (current_->findsStep) {
            if (saysStopped(parsed) && std::exchange(stoppedExpected_, false)) {
                return replyTooMany(); // the monitor's, late
            }
            if (saysStopped(parsed)) return droppedBehind(std::move(asCurrent));
            if (!mayHaveGiven(*current_, parsed)) {
                const auto late = firstThatMayHaveGiven(owed_.begin(), older, read);
                if (late != older) return settledLate(late);
                // An ECU's message, never a setting's: an older request's to that ECU, come late.
                if (takesNoECUMessage(*current_) && holdsECUMessage(*current_, read)) {
                    const auto owner =
                        std::find_if(owed_.begin(), older, [&](const Owed& o) { return o.request.claims(read(o.request)); });
                    if (owner != older) return settledLate(owner);
                }
                if (neverAnswers(*current_, read)) return replyTooMany();
            }
            // Only other ECUs' messages: an older line's to the ECU that sent them, come late; else
            // this line's own reply, with no answer from its ECU.
            if (foreign) {
                const auto owner =
                    std::find_if(owed_.begin(), older, [&](const Owed& o) { return o.request.claims(read(o.request)); });
                if (owner != older) return settledLate(owner);
            }
            return passingOlder(std::move(parsed));
        }
        // Its ECU's messages all name another request: an older line's to that request, come late;
        // else this line's own reply, with no answer, and it stays owed.
        if (current_->answersAnotherRequest(parsed)) {
            const auto owner =
                std::find_if(owed_.begin(), older, [&](const Owed& o) { return o.request.claims(read(o.request)); });
            if (owner != older) return settledLate(owner);
            return toCurrent(std::move(parsed), 0);
        }
        // Only what names the current request may pass the older ones. It is the current one's
        // when no older one was asked alike, or when it is a probe or a request asked again: an
        // answer to either says the same. Every older request is then lost: the adapter answers in
        // order, so what they were to get has come or never will.
        if (names(*current_, parsed)) {
            if (same == older || current_->probe || current_->repeat) return passingOlder(std::move(parsed));
            // An older request asked the same: the answer is that one's, come late.
            return settledLate(same);
        }
    }
    const Request oldest = owed_.front().request;
    const ELM327Response asOldest = read(oldest);
    // An adapter still at work on the older request when the probe, or the same request asked
    // again, came right after it stopped there and dropped the new line: that line is owed
    // nothing, and its sender is told so to send it once more.
    if (currentIsOwed() && (current_->probe || current_->repeat) && owed_.size() == 2 && saysStopped(asOldest)) {
        return droppedBehind(std::move(asCurrent));
    }
    // A reply the oldest line cannot have given but a later one can (its banner, its voltage, an
    // "OK" to a setting, its exact answer) is that one's, come late: the adapter answered in order.
    if (!mayHaveGiven(oldest, asOldest)) {
        const auto last = currentIsOwed() ? owed_.end() - 1 : owed_.end();
        const auto later = firstThatMayHaveGiven(owed_.begin() + 1, last, read);
        if (later != last) return settledLate(later);
    }
    // ECU messages settle only a vehicle request to their ECU, the lines before it then lost;
    // with none owed, they settle nothing. A setting takes none, with headers or without.
    const bool settingGivenECUMessage = takesNoECUMessage(oldest) && holdsECUMessage(oldest, read);
    if (!settingGivenECUMessage && neverAnswers(oldest, read)) return replyTooMany();
    if ((ECUResponder::withHeaders(asOldest) || settingGivenECUMessage) && !oldest.claims(asOldest)) {
        const auto last = currentIsOwed() ? owed_.end() - 1 : owed_.end();
        const auto owner =
            std::find_if(owed_.begin() + 1, last, [&](const Owed& o) { return o.request.claims(read(o.request)); });
        if (owner != last) return settledLate(owner);
        return replyTooMany();
    }
    // "Response pending" and the answer after it settle one request together.
    answeredThrough_ = std::max(answeredThrough_, owed_.front().id);
    if (!stillPending(oldest, asOldest)) {
        lastCompleted_ = oldest;
        owed_.pop_front();
    }
    return Placement{Destination::late, oldest, 0, std::nullopt};
}

ReplyPairing::Request ReplyPairing::probe() const { return probeBefore(Request{}).value_or(probeOf(kProbes.front())); }

std::optional<ReplyPairing::Request> ReplyPairing::probeBefore(const Request& next, const Request* refused) const {
    if (owed_.empty() || next.probe) return std::nullopt;
    const auto alike = [&](const Request& request) {
        return std::any_of(owed_.begin(), owed_.end(), [&](const Owed& o) { return o.request.answeredAlike(request); });
    };
    const auto allAlike = [&](const Request& request) {
        return std::all_of(owed_.begin(), owed_.end(), [&](const Owed& o) { return o.request.answeredAlike(request); });
    };
    if (next.repeat && allAlike(next)) return std::nullopt;
    if (refused != nullptr) return probeOf(refused->readsVoltage() ? kProbes[0] : kProbes[1]);
    // After a probe, the other kind: an answer of the current probe's kind is then its own or an
    // older probe's of that kind, never the one just before.
    for (auto o = owed_.rbegin(); o != owed_.rend(); ++o) {
        if (o->request.probe) return probeOf(o->request.readsVoltage() ? kProbes[0] : kProbes[1]);
    }
    for (std::string_view command : kProbes) {
        if (Request probe = probeOf(command); !alike(probe)) return probe;
    }
    // Every probe is owed already: the first one's answer settles the oldest of its kind first.
    return probeOf(kProbes.front());
}

bool ReplyPairing::isReplyTooMany(const ELM327Response& parsed, const Reader& read) {
    if (stoppedExpected_ && saysStopped(parsed)) {
        stoppedExpected_ = false;
        return true;
    }
    if (!lastCompleted_ || !lastCompleted_->canBeNamed()) return false;
    // Read as the request before would read it: its frame format may differ.
    const bool sameReading = lastCompleted_->format == current_->format && lastCompleted_->command == current_->command;
    return names(*lastCompleted_, sameReading ? parsed : read(*lastCompleted_));
}

GivenUpProbes::Answer ReplyPairing::asProbeAnswer(const Reader& read) const {
    // Nothing awaited: no reply is read once more on the polling's path.
    if (givenUp_.empty()) return GivenUpProbes::Answer::other;
    const ELM327Response asText = read(probeOf(kProbes[0]));
    if (asText.error == ELM327Error::unknownCommand) return GivenUpProbes::Answer::refusal;
    if (holdsBanner(asText, bannerMark_)) return GivenUpProbes::Answer::banner;
    if (holdsVoltage(asText)) return GivenUpProbes::Answer::voltage;
    return GivenUpProbes::Answer::other;
}

bool ReplyPairing::isGivenUpProbesAnswer(GivenUpProbes::Answer answer, const Reader& read) {
    if (answer == GivenUpProbes::Answer::other) return false;
    // A request that asks for it takes a banner or voltage; a probe does not, as it would give up
    // the requests sent after the probe that earlier answer belongs to. A "?" a given-up probe can
    // have given is that probe's, in step or not: the current line waits on for its own reply.
    if (answer != GivenUpProbes::Answer::refusal && current_ && !current_->probe && names(*current_, read(*current_))) {
        return false;
    }
    return givenUp_.takes(answer, [this](std::uint64_t id) { return unansweredBefore(id); });
}

void ReplyPairing::givenUpProbesPassed(GivenUpProbes::Answer answer, const Reader& read) {
    // A reply comes after the answers of the lines before it: a given-up probe whose earlier lines
    // all had their reply would have answered by now. A banner or voltage the current line asks
    // for (a reset's banner) ends no wait, though.
    if (answer != GivenUpProbes::Answer::other && current_ && !current_->probe && names(*current_, read(*current_))) {
        return;
    }
    givenUp_.passedBy([this](std::uint64_t id) { return unansweredBefore(id); });
}

bool ReplyPairing::unansweredBefore(std::uint64_t id) const {
    return std::any_of(owed_.begin(), owed_.end(), [&](const Owed& o) { return o.id < id && o.id > answeredThrough_; });
}

void ReplyPairing::givenUp(std::uint64_t id, const Request& request, bool passedAfterAlike) {
    if (request.echo || !(request.printsBanner() || request.readsVoltage())) return;
    GivenUpProbes::Probe probe{id, request.printsBanner() ? GivenUpProbes::Kind::banner : GivenUpProbes::Kind::voltage};
    probe.refusable = probesFor(request).has_value();
    probe.passedAfterAlike = passedAfterAlike;
    if (passedAfterAlike && current_) {
        if (const auto taker = probesFor(*current_)) probe.taker = GivenUpProbes::Taker{currentID_, *taker};
    }
    givenUp_.add(probe);
}

void ReplyPairing::noteRefusal(const ELM327Response& parsed) {
    if (parsed.error != ELM327Error::unknownCommand || !current_) return;
    if (const auto kind = probesFor(*current_)) givenUp_.refused(*kind);
}

bool ReplyPairing::neverAnswers(const Request& request, const Reader& read) const {
    if (request.isProbe()) {
        // A setting's "OK", come late or one too many; an ECU's message, an older request's.
        return saysOKBehindAnyEcho(read(request)) || (takesNoECUMessage(request) && holdsECUMessage(request, read));
    }
    if (!request.echo && !request.isSetting()) return false;
    const ELM327Response asText = read(probeOf(kProbes[0]));
    return holdsVoltage(asText) || holdsBanner(asText, bannerMark_) ||
           (takesNoECUMessage(request) && holdsECUMessage(request, read));
}

bool ReplyPairing::holdsECUMessage(const Request& request, const Reader& read) {
    // However the line is read, a message in another format may be taken for text: without
    // headers an 11-bit line ("7E8027E00") has an odd count of digits, and with them a line
    // without a header is too short or odd.
    for (const FrameFormat format : {FrameFormat::headersOff, FrameFormat::can11, FrameFormat::can29}) {
        Request as = request;
        as.format = format;
        if (!read(as).ecus.empty()) return true;
    }
    return false;
}

bool ReplyPairing::isOldestProbesRefusal(const ELM327Response& parsed) const {
    if (parsed.error != ELM327Error::unknownCommand || owed_.size() < 2 || !currentIsOwed()) return false;
    const std::optional<GivenUpProbes::Kind> kind = probesFor(owed_.front().request);
    return kind && givenUp_.refuses(*kind);
}

bool ReplyPairing::isLostECUsMessage(const Reader& read) {
    if (lostRequests_.empty() || !currentIsOwed() || !current_->foreign(read(*current_))) return false;
    const auto older = owed_.end() - 1;
    if (std::any_of(owed_.begin(), older, [&](const Owed& o) { return o.request.claims(read(o.request)); })) {
        return false; // settled as that line's
    }
    const auto lost = std::find_if(lostRequests_.begin(), lostRequests_.end(),
                                   [&](const Request& r) { return r.answeredByItsECU(read(r)); });
    if (lost == lostRequests_.end()) return false;
    if (!stillPending(*lost, read(*lost))) lostRequests_.erase(lost);
    return true;
}

bool ReplyPairing::settingAnswerAwaited() const {
    return lostSettings_ > 0 || std::any_of(owed_.begin(), owed_.end(), [&](const Owed& o) {
               return o.id != currentID_ && o.request.isSetting();
           });
}

bool ReplyPairing::isLostLinesAnswer(const Reader& read) {
    if (lostSettings_ == 0 && lostRequests_.empty()) return false;
    if (firstThatMayHaveGiven(owed_.begin(), owed_.end(), read) != owed_.end()) return false;
    if (lostSettings_ > 0 && saysOK(read(probeOf(kProbes[0])))) {
        --lostSettings_;
        return true;
    }
    const auto lost =
        std::find_if(lostRequests_.begin(), lostRequests_.end(), [&](const Request& r) { return names(r, read(r)); });
    if (lost == lostRequests_.end()) return false;
    lostRequests_.erase(lost);
    // The current line's ECU answering another of its requests: still the current line's reply.
    return !(currentIsOwed() && current_->answersAnotherRequest(read(*current_)));
}

void ReplyPairing::countLost(const Request& request) {
    if (request.isSetting()) lostSettings_ = std::min(lostSettings_ + 1, maxOwed);
    if (!request.echo) return;
    lostRequests_.push_back(request);
    if (lostRequests_.size() > maxOwed) lostRequests_.pop_front();
}

void ReplyPairing::lose(const Owed& owed) {
    givenUp(owed.id, owed.request);
    countLost(owed.request);
}

bool ReplyPairing::mayHaveGiven(const Request& request, const ELM327Response& reply) const {
    if (request.isSetting()) return saysOK(reply);
    return !request.monitor && request.canBeNamed() && names(request, reply);
}

std::deque<ReplyPairing::Owed>::iterator ReplyPairing::firstThatMayHaveGiven(std::deque<Owed>::iterator first,
                                                                            std::deque<Owed>::iterator last,
                                                                            const Reader& read) {
    return std::find_if(first, last, [&](const Owed& o) { return mayHaveGiven(o.request, read(o.request)); });
}

bool ReplyPairing::kindStillAwaited(const Request& request) const {
    if (request.echo) return false;
    if ((request.printsBanner() && givenUp_.awaits(GivenUpProbes::Kind::banner)) ||
        (request.readsVoltage() && givenUp_.awaits(GivenUpProbes::Kind::voltage))) {
        return true;
    }
    return std::any_of(owed_.begin(), owed_.end(),
                       [&](const Owed& o) { return o.id != currentID_ && o.request.answeredAlike(request); });
}

void ReplyPairing::learnBanner(const ELM327Response& reply) {
    if (reply.text.empty()) return;
    const std::string_view line = text::trimHorizontal(reply.text.back());
    if (line.empty() || text::compactUpper(line) == "OK") return;
    bannerMark_ = std::string(line);
}

void ReplyPairing::resynchronise(std::optional<Request> completed) {
    owed_.clear();
    current_.reset();
    stoppedExpected_ = completed && completed->monitor;
    lastCompleted_ = std::move(completed);
    // A new link or the monitor's start: no probe's answer is to come any more. A reset may have
    // gone unanswered, so the answers of probes before it may still come.
    if (!lastCompleted_) {
        speaksOK_ = false;
        givenUp_.newLink();
        lostSettings_ = 0;
        lostRequests_.clear();
    }
}

bool ReplyPairing::inStep() const { return owed_.empty() || (owed_.size() == 1 && currentIsOwed()); }

ReplyPairing::Placement ReplyPairing::passingOlder(ELM327Response parsed) {
    // A banner or voltage an older line may still get (a probe's, given up: its answer may be the
    // one just come, and its own follow) is one too many; a vehicle request's is never taken.
    const auto older = owed_.end() - 1;
    // An older line asked alike (a setting, for a setting's "OK") may have given this very
    // answer: it then proves nothing of the lines given up with it, whose answers may still come,
    // a probe's "?" too when it was sent after that line.
    const auto alike = std::find_if(owed_.begin(), older, [&](const Owed& o) {
        return o.request.answeredAlike(*current_) || (o.request.isSetting() && current_->isSetting());
    });
    for (auto o = owed_.begin(); o != older; ++o) givenUp(o->id, o->request, alike < o);
    const std::vector<Owed> passed(owed_.begin(), older);
    const bool alikePassed = alike != older;
    owed_.erase(owed_.begin(), older);
    Placement placement = toCurrent(std::move(parsed), passed.size(), !alikePassed);
    // Counted only now: the answer that passed them must not forget them.
    for (const Owed& o : passed) countLost(o.request);
    return placement;
}

ReplyPairing::Placement ReplyPairing::settledLate(std::deque<Owed>::iterator settled) {
    // The adapter answers in order: the lines before it got nothing and never will, but a banner
    // or voltage a probe or reset among them may still give is one too many.
    for (auto o = owed_.begin(); o != settled; ++o) lose(*o);
    answeredThrough_ = std::max(answeredThrough_, settled->id);
    Placement placement{Destination::late, settled->request, static_cast<std::size_t>(settled - owed_.begin()),
                        std::nullopt};
    lastCompleted_ = settled->request;
    owed_.erase(owed_.begin(), settled + 1);
    return placement;
}

ReplyPairing::Placement ReplyPairing::droppedBehind(std::optional<ELM327Response> parsed) {
    // The "STOPPED" ends the oldest line's work, and the current line, dropped, is owed nothing.
    // The lines between got nothing, as when an answer passes them.
    const Request stopped = owed_.front().request;
    for (auto o = owed_.begin() + 1; o != owed_.end() - 1; ++o) lose(*o);
    answeredThrough_ = std::max(answeredThrough_, currentID_);
    Placement placement{Destination::current, stopped, owed_.size() - 2, std::move(parsed)};
    placement.dropped = true;
    lastCompleted_ = stopped;
    owed_.clear();
    return placement;
}

ReplyPairing::Placement ReplyPairing::toCurrent(ELM327Response parsed, std::size_t lost, bool onlyItsOwn) {
    // An answer only this line can have given (its exact answer, from its own ECU where known, or
    // a setting's "OK" while no other setting's is awaited): the banners, voltages, "OK"s and
    // exact answers of the lines given up before it are lost for good, and a later probe's answer
    // is its own. A reset's banner is no such answer while a given-up banner may still come.
    const bool itsOwnAnswer = names(*current_, parsed) && !kindStillAwaited(*current_);
    const bool settingsOwnOK = current_->isSetting() && saysOK(parsed) && !settingAnswerAwaited();
    if (onlyItsOwn && (itsOwnAnswer || settingsOwnOK)) {
        givenUp_.clear();
        lostSettings_ = 0;
        lostRequests_.clear();
    }
    answeredThrough_ = std::max(answeredThrough_, currentID_);
    noteRefusal(parsed);
    // A reset's reply names the adapter: its probes are recognised by that banner.
    if (current_->resets() && current_->printsBanner()) learnBanner(parsed);
    // Still owed while its answer is pending, and while its ECU has not answered it: the messages
    // were another ECU's, or its ECU's answers to other requests, and its own reply may still come.
    if (!stillPending(*current_, parsed) && !current_->foreign(parsed) &&
        !current_->answersAnotherRequest(parsed)) {
        lastCompleted_ = current_;
        owed_.pop_back();
    }
    return Placement{Destination::current, std::nullopt, lost, std::move(parsed)};
}

} // namespace veq
