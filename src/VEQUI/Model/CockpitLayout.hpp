#pragma once

#include "VEQSupport/Enum.hpp"

#include <QString>

#include <array>
#include <cstdint>
#include <string_view>

namespace veq {

// The five cockpit layouts, in the order of the tabs and of Ctrl+1 ... Ctrl+5.
enum class CockpitLayout { road, track, economy, engine, transmission };

template <>
struct EnumTraits<CockpitLayout> {
    using Raw = std::string_view;
    static constexpr std::array allCases{CockpitLayout::road, CockpitLayout::track, CockpitLayout::economy,
                                         CockpitLayout::engine, CockpitLayout::transmission};
    static constexpr Raw raw(CockpitLayout layout) {
        switch (layout) {
        case CockpitLayout::road: return "road";
        case CockpitLayout::track: return "track";
        case CockpitLayout::economy: return "economy";
        case CockpitLayout::engine: return "engine";
        case CockpitLayout::transmission: return "transmission";
        }
        return {};
    }
};

// The identity of a layout is its raw value.
inline std::string_view id(CockpitLayout layout) { return rawValue(layout); }

// "Route", "Circuit", "Économie", "Moteur", "Transmission".
std::string_view title(CockpitLayout layout);
// The title upper-cased by Unicode's default mapping, whatever the locale: "ÉCONOMIE".
QString tabText(CockpitLayout layout);

// The parameters of the two flank gauges of a layout: left, then right. The focus gauge reads
// the same table.
std::array<std::uint8_t, 2> layoutFlankPIDs(CockpitLayout layout);

// The parameters of the six value tiles under the gauges of a layout, left to right.
std::array<std::uint8_t, 6> layoutBandPIDs(CockpitLayout layout);

} // namespace veq
