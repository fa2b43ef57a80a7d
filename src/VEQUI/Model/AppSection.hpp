#pragma once

#include "VEQSupport/Enum.hpp"

#include <array>
#include <string_view>

namespace veq {

// The eleven sections of the sidebar, in its order. The raw value is the French title.
enum class AppSection { cockpit, liveData, capture, messages, diagnostic, ecus, trips, terminal, expert, report, settings };

template <>
struct EnumTraits<AppSection> {
    using Raw = std::string_view;
    static constexpr std::array allCases{AppSection::cockpit,    AppSection::liveData, AppSection::capture,
                                         AppSection::messages,   AppSection::diagnostic, AppSection::ecus,
                                         AppSection::trips,      AppSection::terminal, AppSection::expert,
                                         AppSection::report,     AppSection::settings};
    static constexpr Raw raw(AppSection section) {
        switch (section) {
        case AppSection::cockpit: return "Cockpit";
        case AppSection::liveData: return "Live Data";
        case AppSection::capture: return "Capture";
        case AppSection::messages: return "Messages";
        case AppSection::diagnostic: return "Diagnostic";
        case AppSection::ecus: return "Calculateurs";
        case AppSection::trips: return "Trajets";
        case AppSection::terminal: return "Terminal";
        case AppSection::expert: return "Mode Expert";
        case AppSection::report: return "Rapport";
        case AppSection::settings: return "R\u00E9glages";
        }
        return {};
    }
};

inline std::string_view id(AppSection section) { return rawValue(section); }

// The name of the section's symbol image (mapped to a theme icon by the screens' icon table).
std::string_view icon(AppSection section);

} // namespace veq
