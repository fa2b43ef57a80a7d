#pragma once

#include "VEQSupport/Enum.hpp"

#include <array>
#include <string_view>

namespace veq {

// The way to reach a car that the user picks, in the order of the wizard's cards.
enum class TransportKind { simulator, bluetooth, wifi };

template <>
struct EnumTraits<TransportKind> {
    using Raw = std::string_view;
    static constexpr std::array allCases{TransportKind::simulator, TransportKind::bluetooth, TransportKind::wifi};
    static constexpr Raw raw(TransportKind kind) {
        switch (kind) {
        case TransportKind::simulator: return "simulator";
        case TransportKind::bluetooth: return "bluetooth";
        case TransportKind::wifi: return "wifi";
        }
        return {};
    }
};

inline std::string_view id(TransportKind kind) { return rawValue(kind); }

// The card's texts and the name of its symbol image.
std::string_view title(TransportKind kind);
std::string_view subtitle(TransportKind kind);
std::string_view icon(TransportKind kind);

} // namespace veq
