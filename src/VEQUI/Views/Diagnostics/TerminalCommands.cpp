#include "VEQUI/Views/Diagnostics/TerminalCommands.hpp"

#include "VEQUI/Model/VEQTheme.hpp"

namespace veq::TerminalCommands {

namespace {

struct ModeRow {
    Mode mode;
    std::string_view raw;
};

constexpr std::array<ModeRow, 2> modeRows{{
    {Mode::console, "Console"},
    {Mode::sniffer, "Sniffer CAN"},
}};

} // namespace

std::string_view rawValue(Mode mode) {
    for (const ModeRow& row : modeRows) {
        if (row.mode == mode) return row.raw;
    }
    return modeRows.front().raw;
}

std::optional<Mode> modeFromRaw(std::string_view raw) {
    for (const ModeRow& row : modeRows) {
        if (row.raw == raw) return row.mode;
    }
    return std::nullopt;
}

const std::array<PaletteEntry, 8>& palette() {
    static constexpr std::array<PaletteEntry, 8> entries{{
        // command  label
        {"ATI",     "Version firmware"},
        {"ATRV",    "Tension batterie"},
        {"ATDPN",   "Protocole détecté"},
        {"0100",    "PIDs supportés"},
        {"010C",    "Régime"},
        {"0105",    "Température eau"},
        {"03",      "Codes défaut"},
        {"0902",    "VIN"},
    }};
    return entries;
}

LineStyle lineStyle(AppModel::TerminalEntry::Kind kind, const QColor& accent) {
    using Kind = AppModel::TerminalEntry::Kind;
    switch (kind) {
    case Kind::command: return {QStringLiteral("\u00BB"), accent};
    case Kind::response: return {QStringLiteral("  "), VEQ::textPrimary()};
    case Kind::error: return {QStringLiteral("\u2715"), VEQ::critical()};
    case Kind::info: return {QStringLiteral("  "), VEQ::textSecondary()};
    }
    return {QStringLiteral("  "), VEQ::textSecondary()};
}

} // namespace veq::TerminalCommands
