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

bool holdsBanner(const ELM327Response& reply) {
    return std::any_of(reply.text.begin(), reply.text.end(), [](const std::string& line) {
        return text::toUpperASCII(line).find(kBannerMark) != std::string::npos;
    });
}

} // namespace

bool ReplyPairing::Request::namedBy(const ELM327Response& reply) const {
    if (echo) return echo->namedExactlyBy(reply);
    if (monitor) return saysStopped(reply); // after any half line the monitor left
    if (readsVoltage()) return holdsVoltage(reply);
    return printsBanner() && holdsBanner(reply);
}

bool ReplyPairing::Request::canBeNamed() const { return echo || monitor || printsBanner() || readsVoltage(); }

bool ReplyPairing::Request::printsBanner() const { return bannerCommand(command); }

bool ReplyPairing::Request::readsVoltage() const {
    return !echo && text::compactUpper(command) == kVoltageCommand;
}

bool ReplyPairing::Request::answeredAlike(const Request& other) const {
    if (echo || other.echo) return echo == other.echo;
    return (printsBanner() && other.printsBanner()) || (readsVoltage() && other.readsVoltage());
}

bool ReplyPairing::Request::resets() const { return !monitor && TransmitHeader::clearedBy(command); }

bool ReplyPairing::sending(Request request) {
    currentID_ = nextID_++;
    owed_.push_back(Owed{currentID_, request});
    current_ = std::move(request);
    if (owed_.size() <= maxOwed) return false;
    owed_.pop_front();
    return true;
}

void ReplyPairing::unsent() {
    if (currentIsOwed()) owed_.pop_back();
    current_.reset();
}

void ReplyPairing::exchangeEnded() {
    // A reset ends what the adapter was doing, but replies to older requests may still be on
    // their way: while one is owed, the reset's banner (which names it) settles them in order.
    if (current_ && current_->resets() && (!currentIsOwed() || owed_.size() == 1)) resynchronise(current_);
}

ReplyPairing::Placement ReplyPairing::place(const Reader& read) {
    if (owed_.empty()) return {};
    if (inStep()) {
        ELM327Response parsed = read(*current_);
        if (!current_->namedBy(parsed) && isReplyTooMany(parsed, read)) {
            return Placement{Destination::tooMany, std::nullopt, 0, std::nullopt};
        }
        return toCurrent(std::move(parsed), 0);
    }

    // Out of step. A request asked again behind nothing but itself takes whatever comes: an answer
    // to either says the same. The older one stays owed for the reply it may still get.
    const auto older = owed_.end() - 1;
    if (currentIsOwed() && current_->repeat &&
        std::all_of(owed_.begin(), older, [&](const Owed& o) { return o.request.answeredAlike(*current_); })) {
        return toCurrent(read(*current_), 0);
    }
    // Only what names the current request may pass the older ones.
    if (currentIsOwed() && current_->canBeNamed()) {
        ELM327Response parsed = read(*current_);
        if (current_->namedBy(parsed)) {
            const auto same =
                std::find_if(owed_.begin(), older, [&](const Owed& o) { return o.request.answeredAlike(*current_); });
            // A request asked again takes the answer to the same request before: it says the same.
            if (same == older || current_->repeat) {
                const std::size_t lost = owed_.size() - 1;
                owed_.erase(owed_.begin(), older);
                return toCurrent(std::move(parsed), lost);
            }
            // An older request asked the same: the answer is that one's, come late.
            Placement placement{Destination::late, same->request, static_cast<std::size_t>(same - owed_.begin()),
                                std::nullopt};
            lastCompleted_ = same->request;
            owed_.erase(owed_.begin(), same + 1);
            return placement;
        }
    }
    const Request oldest = owed_.front().request;
    const ELM327Response asOldest = read(oldest);
    // An adapter still at work on the older request when the probe came right after it stopped
    // there and dropped the probe: the probe is owed nothing, and its sender is told so to send it
    // once more.
    if (currentIsOwed() && current_->probe && owed_.size() == 2 && saysStopped(asOldest)) {
        owed_.pop_front();
        owed_.pop_back();
        lastCompleted_ = oldest;
        return Placement{Destination::current, oldest, 0, read(*current_)};
    }
    // "Response pending" and the answer after it settle one request together.
    if (!RequestEcho::stillPending(asOldest)) {
        lastCompleted_ = oldest;
        owed_.pop_front();
    }
    return Placement{Destination::late, oldest, 0, std::nullopt};
}

std::optional<ReplyPairing::Request> ReplyPairing::probeBefore(const Request& next) const {
    if (owed_.empty() || next.probe) return std::nullopt;
    const auto alike = [&](const Request& request) {
        return std::any_of(owed_.begin(), owed_.end(), [&](const Owed& o) { return o.request.answeredAlike(request); });
    };
    const auto allAlike = [&](const Request& request) {
        return std::all_of(owed_.begin(), owed_.end(), [&](const Owed& o) { return o.request.answeredAlike(request); });
    };
    if (next.repeat && allAlike(next)) return std::nullopt;
    const auto probeOf = [](std::string_view command) {
        Request probe{std::string(command), FrameFormat::headersOff, std::nullopt};
        probe.probe = true;
        return probe;
    };
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
    return lastCompleted_->namedBy(sameReading ? parsed : read(*lastCompleted_));
}

void ReplyPairing::resynchronise(std::optional<Request> completed) {
    owed_.clear();
    current_.reset();
    stoppedExpected_ = completed && completed->monitor;
    lastCompleted_ = std::move(completed);
}

bool ReplyPairing::inStep() const { return owed_.empty() || (owed_.size() == 1 && currentIsOwed()); }

ReplyPairing::Placement ReplyPairing::toCurrent(ELM327Response parsed, std::size_t lost) {
    if (!RequestEcho::stillPending(parsed)) {
        lastCompleted_ = current_;
        owed_.pop_back();
    }
    return Placement{Destination::current, std::nullopt, lost, std::move(parsed)};
}

} // namespace veq
