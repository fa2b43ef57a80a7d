#include "VEQEngine/Session/TransmitHeader.hpp"

#include "VEQSupport/Text.hpp"

namespace veq {

using text::compactUpper;

TransmitHeader TransmitHeader::of(std::string_view header) { return TransmitHeader(Kind::exact, compactUpper(header)); }

std::optional<std::string> TransmitHeader::setBy(std::string_view command) {
    std::string compact = compactUpper(command);
    if (compact.size() <= 4 || !compact.starts_with("ATSH")) return std::nullopt;
    return compact.substr(4);
}

bool TransmitHeader::clearedBy(std::string_view command) {
    const std::string compact = compactUpper(command);
    return compact == "ATZ" || compact == "ATWS" || compact == "ATD";
}

} // namespace veq
