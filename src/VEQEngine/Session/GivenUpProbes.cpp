#include "VEQEngine/Session/GivenUpProbes.hpp"

#include <algorithm>

namespace veq {

void GivenUpProbes::add(const Probe& probe) {
    const auto at = std::find_if(probes_.begin(), probes_.end(), [&](const Probe& p) { return p.id >= probe.id; });
    if (at != probes_.end() && at->id == probe.id) return; // awaited already
    probes_.insert(at, probe);
    if (probes_.size() > bound) probes_.pop_front();
}

void GivenUpProbes::refused(Kind kind) { (kind == Kind::banner ? bannerRefused_ : voltageRefused_) = true; }

void GivenUpProbes::newLink() {
    probes_.clear();
    bannerRefused_ = false;
    voltageRefused_ = false;
}

bool GivenUpProbes::awaits(Kind kind) const {
    return std::any_of(probes_.begin(), probes_.end(), [&](const Probe& p) { return p.kind == kind; });
}

bool GivenUpProbes::canGive(const Probe& probe, Answer answer) const {
    switch (answer) {
    case Answer::banner: return probe.kind == Kind::banner;
    case Answer::voltage: return probe.kind == Kind::voltage;
    case Answer::refusal:
        return probe.refusable && (probe.passedAfterAlike || refuses(probe.kind));
    case Answer::other: return false;
    }
    return false;
}

bool GivenUpProbes::takes(Answer answer, const Unanswered& unanswered) {
    const auto giver = std::find_if(probes_.begin(), probes_.end(), [&](const Probe& p) { return canGive(p, answer); });
    if (giver == probes_.end()) return false;
    const Probe given = *giver;
    // Its answer comes after the older probes': those that were due by now never come. The ones
    // given up after it are still awaited.
    std::deque<Probe> left;
    for (auto p = probes_.begin(); p != probes_.end(); ++p) {
        if (p == giver || (p < giver && !unanswered(p->id))) continue;
        left.push_back(*p);
    }
    probes_ = std::move(left);
    if (given.taker) {
        // What the taker took was the older alike line's answer: its own is still to come.
        add(Probe{given.taker->id, given.taker->kind});
    }
    return true;
}

void GivenUpProbes::passedBy(const Unanswered& unanswered) {
    probes_.erase(std::remove_if(probes_.begin(), probes_.end(), [&](const Probe& p) { return !unanswered(p.id); }),
                  probes_.end());
}

} // namespace veq
