#pragma once

#include <array>
#include <string>
#include <string_view>

namespace veq {

// One adapter initialisation step and whether its reply carried no adapter error.
struct InitStep {
    std::string command; // without the carriage return
    std::string label;   // French, shown beside the step
    bool succeeded = false;

    // A step is known by its command.
    const std::string& id() const { return command; }

    bool operator==(const InitStep&) const = default;

    struct Row {
        std::string_view command;
        std::string_view label;
    };

    // The adapter set-up, in the order it is sent.
    static constexpr std::array<Row, 7> standardSequence{{
        {"ATZ",   "Réinitialisation adaptateur"},
        {"ATE0",  "Écho désactivé"},
        {"ATL0",  "Sauts de ligne désactivés"},
        {"ATS0",  "Espaces désactivés"},
        {"ATH1",  "En-têtes CAN activés"},
        {"ATAT2", "Timing adaptatif agressif"},
        {"ATSP0", "Détection automatique du protocole"},
    }};
};

} // namespace veq
