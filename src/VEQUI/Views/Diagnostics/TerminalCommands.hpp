#pragma once

#include "VEQUI/Model/AppModel.hpp"

#include <QColor>
#include <QString>

#include <array>
#include <optional>
#include <string_view>

// The command terminal's vocabulary: its two modes, its ready-made commands and how each kind
// of transcript entry is marked.
namespace veq::TerminalCommands {

// The terminal's modes; the raw value is the title of the mode's segment.
enum class Mode { console, sniffer };

inline constexpr std::array<Mode, 2> allModes{Mode::console, Mode::sniffer};

std::string_view rawValue(Mode mode);
// Exactly the two titles, case-sensitively; nothing for any other text.
std::optional<Mode> modeFromRaw(std::string_view raw);

// One ready-made command: what is sent and what it is for.
struct PaletteEntry {
    std::string_view command;
    std::string_view label;
};

// The palette bar's commands, in their order; each command text is unique.
const std::array<PaletteEntry, 8>& palette();

// How a transcript line is drawn: the prefix in its 14-pixel column and the colour of the line.
struct LineStyle {
    QString prefix;
    QColor colour;

    bool operator==(const LineStyle&) const = default;
};

LineStyle lineStyle(AppModel::TerminalEntry::Kind kind, const QColor& accent);

} // namespace veq::TerminalCommands
