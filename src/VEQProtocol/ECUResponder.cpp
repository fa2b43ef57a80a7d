#include "VEQProtocol/ECUResponder.hpp"

#include "VEQSupport/Text.hpp"

#include <algorithm>

namespace veq {

namespace {

constexpr std::string_view kFunctionalHeader = "7DF";
// ISO 15765-4: 29-bit physical addressing, then the target and the source address.
constexpr std::string_view kPhysical29Bit = "18DA";

bool allHex(std::string_view s) { return std::all_of(s.begin(), s.end(), text::isHexDigit); }

} // namespace

ECUResponder::ECUResponder(std::string_view own, const std::vector<std::string>& others) : own_(text::compactUpper(own)) {
    others_.reserve(others.size());
    for (const std::string& header : others) others_.push_back(text::compactUpper(header));
}

std::optional<ECUResponder> ECUResponder::ofISO(std::string_view requestHeader) {
    const std::string header = text::compactUpper(requestHeader);
    if (header.size() == 3 && header >= "7E0" && header <= "7E7") {
        std::string own = header;
        own[2] = "89ABCDEF"[header[2] - '0'];
        return ECUResponder(own);
    }
    if (header.size() == 8 && header.starts_with(kPhysical29Bit) && allHex(header)) {
        return ECUResponder(std::string(kPhysical29Bit) + header.substr(6, 2) + header.substr(4, 2));
    }
    return std::nullopt;
}

bool ECUResponder::isISOResponseHeader(std::string_view header) {
    const std::string h = text::compactUpper(header);
    if (h.size() == 3) return h >= "7E8" && h <= "7EF";
    return h.size() == 8 && h.starts_with(kPhysical29Bit) && allHex(h);
}

bool ECUResponder::withHeaders(const ELM327Response& reply) {
    return std::any_of(reply.ecus.begin(), reply.ecus.end(), [](const ECUResponse& m) { return m.header.has_value(); });
}

bool ECUResponder::namesItAlone() const {
    return own_ != kFunctionalHeader && std::find(others_.begin(), others_.end(), own_) == others_.end();
}

bool ECUResponder::isAnothers(std::string_view header) const {
    const std::string h = text::compactUpper(header);
    if (h == own_) return false;
    return std::find(others_.begin(), others_.end(), h) != others_.end() || isISOResponseHeader(h);
}

std::optional<std::string> ECUResponder::chosen(const ELM327Response& reply) const {
    const auto own = std::find_if(reply.ecus.begin(), reply.ecus.end(),
                                  [&](const ECUResponse& m) { return m.header && text::compactUpper(*m.header) == own_; });
    if (own != reply.ecus.end()) return own->header;
    const auto unclaimed = std::find_if(reply.ecus.begin(), reply.ecus.end(),
                                        [&](const ECUResponse& m) { return !m.header || !isAnothers(*m.header); });
    if (unclaimed == reply.ecus.end()) return std::nullopt;
    return unclaimed->header.value_or(std::string());
}

ELM327Response ECUResponder::view(const ELM327Response& reply) const {
    if (!withHeaders(reply)) return reply;
    ELM327Response mine = reply;
    mine.ecus.clear();
    mine.followUps.clear();
    const std::optional<std::string> header = chosen(reply);
    if (!header) return mine;
    const auto from = [&](const ECUResponse& m) { return m.header.value_or(std::string()) == *header; };
    std::copy_if(reply.ecus.begin(), reply.ecus.end(), std::back_inserter(mine.ecus), from);
    std::copy_if(reply.followUps.begin(), reply.followUps.end(), std::back_inserter(mine.followUps), from);
    return mine;
}

bool ECUResponder::onlyOthers(const ELM327Response& reply) const { return withHeaders(reply) && !chosen(reply); }

bool ECUResponder::answersAnotherRequest(const ELM327Response& reply, const RequestEcho& echo) const {
    if (!withHeaders(reply)) return false;
    const ELM327Response mine = view(reply);
    return withHeaders(mine) && echo.readIn(mine).anotherRequest;
}

bool ECUResponder::holdsOwn(const ELM327Response& reply) const {
    return std::any_of(reply.ecus.begin(), reply.ecus.end(),
                       [&](const ECUResponse& m) { return m.header && text::compactUpper(*m.header) == own_; });
}

bool ECUResponder::takesUnclaimed(const ELM327Response& reply) const {
    return withHeaders(reply) && !holdsOwn(reply) && chosen(reply).has_value();
}

} // namespace veq
