#pragma once

#include "VEQProtocol/ELM327Response.hpp"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veq {

// What ECUs answered to the scans' reads, whatever line the session gave each reply to. A reply
// held past its wait, taken by a probe or a header line, settled late or dropped as one too many
// still holds an ECU's word when it names both the ECU, by its response header, and the read, by
// its first bytes. Only such answers are kept, and only from the response headers watched:
//   - a complete positive answer to a read of the scans: "7E 00" to "3E00", "62" and the identifier
//     to "22xxxx", "59 02" to "1902xx";
//   - a negative answer to "3E00" ("7F 3E"): the ECU is there; but never "response pending" (78)
//     or "busy" (21), which are not its answer yet.
// A negative answer to a read by identifier names no identifier, an adapter's error word no ECU,
// and a message shorter than its first frame announced is not the answer: none is kept. Of one
// reply, an ECU's first whole answer to a read is kept, as a request takes it; across replies the
// latest answer per read is kept, at most maxKept in all, the oldest going first.
//
// A plain value used under the session's lock; it sends nothing and never waits.
class KeptAnswers {
public:
    static constexpr std::size_t maxKept = 256;

    // The read an ECU's message answers, as readOf() names it; nothing for a message not kept.
    static std::optional<std::string> readAnsweredBy(std::span<const std::uint8_t> payload);
    // The name of the read a request makes ("3E00", "22F187"); a report of codes by status mask is
    // "1902" whatever the mask, which its answer does not echo.
    static std::string readOf(std::string_view request);

    // The headers among these that name one ECU alone, upper-cased: an answer from a header two
    // ECUs share, from the functional request header 7DF or from none names no ECU.
    static std::vector<std::string> ownHeaders(const std::vector<std::string>& responseHeaders);

    // Answers from these response headers are kept until as many unwatch() calls name them again.
    void watch(const std::vector<std::string>& headers);
    // What a header no longer watched kept is forgotten.
    void unwatch(const std::vector<std::string>& headers);
    bool watching() const { return !watched_.empty(); }

    // Keeps what of a reply, read with headers, answers a read from a watched header.
    void offer(const ELM327Response& reply);
    // The answer kept from `header` to `request`, taken out; nothing when none was kept.
    std::optional<std::vector<std::uint8_t>> take(std::string_view header, std::string_view request);
    // Every answer kept from `header`, as (read, payload) oldest first, taken out.
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> takeAll(std::string_view header);
    // Forgets every answer kept; the headers stay watched.
    void clear() { kept_.clear(); }
    std::size_t size() const { return kept_.size(); }

private:
    struct Kept {
        std::string header;
        std::string read;
        std::vector<std::uint8_t> payload;
    };

    // Keeps the message unless `answered` holds its header and read already; adds them.
    void keep(const ECUResponse& message, std::set<std::pair<std::string, std::string>>& answered);

    std::multiset<std::string> watched_;
    std::deque<Kept> kept_; // oldest first
};

} // namespace veq
