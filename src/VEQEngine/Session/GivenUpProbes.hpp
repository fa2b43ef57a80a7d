#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

namespace veq {

// The answers still awaited from probes ("ATI", "ATRV") and resets given up before their answer
// came, each with its place in the send order. The adapter answers in order, so such an answer
// can come only while a line sent before its probe has had no reply; once every one has, the next
// reply is that probe's if it is its kind of answer, and else the probe will never answer.
//
// A probe answers once: a banner or a voltage, or "?" when the adapter refuses it. Its "?" is
// awaited when this adapter refused that probe on this link, or when it was passed by a line
// that took an answer an older line asked alike may have given: that answer may be the older
// line's, and the probes between may still answer after it.
//
// A plain value used under the session's lock.
class GivenUpProbes {
public:
    enum class Kind { banner, voltage };
    // What a reply is, to a given-up probe.
    enum class Answer { banner, voltage, refusal, other };

    // A line that took an answer an older line asked alike may have given.
    struct Taker {
        std::uint64_t id = 0;
        Kind kind = Kind::banner;
    };

    struct Probe {
        std::uint64_t id = 0; // its place in the send order
        Kind kind = Kind::banner;
        bool refusable = false; // "ATI" or "ATRV", not a reset: the adapter may refuse it
        // Passed, after an older line asked alike, by a line that took an answer that older line
        // may have given: its "?" may come too.
        bool passedAfterAlike = false;
        // That line, when it asks a banner or a voltage: once this probe's answer comes, the one
        // the taker took was the older line's, and the taker's own is still to come.
        std::optional<Taker> taker = std::nullopt;
    };

    // Whether some line sent before the given place has had no reply from the adapter yet.
    using Unanswered = std::function<bool(std::uint64_t)>;

    // At most this many are awaited; beyond it, the oldest is no longer.
    static constexpr std::size_t bound = 32;

    void add(const Probe& probe);
    // The adapter refused a probe of this kind with "?" on this link.
    void refused(Kind kind);
    // Whether this adapter refused a probe of this kind with "?" on this link.
    bool refuses(Kind kind) const { return kind == Kind::banner ? bannerRefused_ : voltageRefused_; }
    // No given-up probe's answer is awaited any more.
    void clear() { probes_.clear(); }
    // A new link: nothing is awaited, and no refusal is known.
    void newLink();
    bool awaits(Kind kind) const;
    bool empty() const { return probes_.empty(); }

    // Whether the reply is a given-up probe's answer, one too many: the oldest that can have given
    // it takes it, and the older ones whose earlier lines all had their reply are no longer awaited.
    bool takes(Answer answer, const Unanswered& unanswered);
    // A reply no given-up probe took: it ends the wait for each one whose earlier lines all had
    // their reply.
    void passedBy(const Unanswered& unanswered);

private:
    bool canGive(const Probe& probe, Answer answer) const;

    std::deque<Probe> probes_; // in send order
    bool bannerRefused_ = false;
    bool voltageRefused_ = false;
};

} // namespace veq
