#include "VEQEngine/Session/KeptAnswers.hpp"

#include "VEQProtocol/UDSService.hpp"
#include "VEQSupport/Text.hpp"

#include <algorithm>
#include <map>

namespace veq {

namespace {

constexpr std::uint8_t kNegativeResponse = 0x7F;
constexpr std::string_view kPresence = "3E00";
constexpr std::string_view kCodesByStatus = "1902";
constexpr std::string_view kFunctionalHeader = "7DF";

} // namespace

std::optional<std::string> KeptAnswers::readAnsweredBy(std::span<const std::uint8_t> p) {
    if (p.size() < 2) return std::nullopt;
    if (p[0] == positiveResponse(UDSService::testerPresent) && p[1] == 0x00) return std::string(kPresence);
    if (p[0] == positiveResponse(UDSService::readDataByIdentifier) && p.size() >= 3) {
        return text::hexByte(rawValue(UDSService::readDataByIdentifier)) + text::hexUpper(p.subspan(1, 2));
    }
    if (p[0] == positiveResponse(UDSService::readDTCInformation) && p[1] == 0x02) return std::string(kCodesByStatus);
    // An ECU that refuses the test request is there; one that is not done yet has not answered.
    if (p[0] == kNegativeResponse && p.size() >= 3 && p[1] == rawValue(UDSService::testerPresent) &&
        p[2] != rawValue(UDSNegativeResponse::responsePending) && p[2] != rawValue(UDSNegativeResponse::busyRepeatRequest)) {
        return std::string(kPresence);
    }
    return std::nullopt;
}

std::string KeptAnswers::readOf(std::string_view request) {
    std::string read = text::compactUpper(request);
    if (read.starts_with(kCodesByStatus)) read.resize(kCodesByStatus.size());
    return read;
}

std::vector<std::string> KeptAnswers::ownHeaders(const std::vector<std::string>& responseHeaders) {
    std::map<std::string, int> uses;
    for (const std::string& header : responseHeaders) ++uses[text::compactUpper(header)];
    std::vector<std::string> own;
    for (const auto& [header, count] : uses) {
        if (count == 1 && !header.empty() && header != kFunctionalHeader) own.push_back(header);
    }
    return own;
}

void KeptAnswers::watch(const std::vector<std::string>& headers) {
    for (const std::string& header : headers) watched_.insert(text::compactUpper(header));
}

void KeptAnswers::unwatch(const std::vector<std::string>& headers) {
    for (const std::string& header : headers) {
        const auto found = watched_.find(text::compactUpper(header));
        if (found != watched_.end()) watched_.erase(found);
    }
    std::erase_if(kept_, [this](const Kept& k) { return !watched_.contains(k.header); });
}

void KeptAnswers::offer(const ELM327Response& reply) {
    if (reply.error) return; // an adapter's word in the reply: what it holds may be cut
    // Each header's first message, then its later ones in order: the first whole answer to a read
    // is the ECU's answer, a later one alike in the same reply is not.
    std::set<std::pair<std::string, std::string>> answered;
    for (const ECUResponse& message : reply.ecus) keep(message, answered);
    for (const ECUResponse& message : reply.followUps) keep(message, answered);
}

void KeptAnswers::keep(const ECUResponse& message, std::set<std::pair<std::string, std::string>>& answered) {
    if (!message.header || message.cutShort() || !watched_.contains(*message.header)) return;
    std::optional<std::string> read = readAnsweredBy(message.payload);
    if (!read || !answered.emplace(*message.header, *read).second) return;
    std::erase_if(kept_, [&](const Kept& k) { return k.header == *message.header && k.read == *read; });
    kept_.push_back(Kept{*message.header, std::move(*read), message.payload});
    if (kept_.size() > maxKept) kept_.pop_front();
}

std::optional<std::vector<std::uint8_t>> KeptAnswers::take(std::string_view header, std::string_view request) {
    const std::string wantedHeader = text::compactUpper(header);
    const std::string wantedRead = readOf(request);
    const auto found = std::find_if(kept_.begin(), kept_.end(),
                                    [&](const Kept& k) { return k.header == wantedHeader && k.read == wantedRead; });
    if (found == kept_.end()) return std::nullopt;
    std::vector<std::uint8_t> payload = std::move(found->payload);
    kept_.erase(found);
    return payload;
}

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> KeptAnswers::takeAll(std::string_view header) {
    const std::string wanted = text::compactUpper(header);
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> taken;
    for (Kept& k : kept_) {
        if (k.header == wanted) taken.emplace_back(std::move(k.read), std::move(k.payload));
    }
    std::erase_if(kept_, [&](const Kept& k) { return k.header == wanted; });
    return taken;
}

} // namespace veq
