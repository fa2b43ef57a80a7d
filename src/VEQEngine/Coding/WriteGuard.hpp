#pragma once

#include "VEQEngine/Coding/CodingRecipe.hpp"

#include <optional>
#include <string>
#include <vector>

namespace veq {

// One condition of the write guard with the French texts of the guard list.
struct GuardCheck {
    std::string id;
    std::string title;
    std::string detail;
    bool passed = false;
    bool blocking = true;

    bool operator==(const GuardCheck&) const = default;
};

// Every check the guard made, in evaluation order.
struct GuardVerdict {
    std::vector<GuardCheck> checks;

    std::vector<GuardCheck> failures() const;
    std::vector<GuardCheck> blockingFailures() const;
    // No check both failed and blocking (so an empty verdict allows).
    bool isAllowed() const;

    bool operator==(const GuardVerdict&) const = default;
};

// Decides whether a recipe may be written now. Pure: the caller gathers the situation.
struct WriteGuard {
    static constexpr double minimumVoltage = 12.0;     // volts, to be exceeded
    static constexpr double maximumBackupAge = 86400.0; // seconds (24 h), to stay below; never negative

    // The situation the guard judges; an absent measurement is treated as each check says.
    struct Context {
        bool expertModeAccepted = false;
        bool hasValidBackup = false;
        std::optional<double> backupAge; // seconds since the target ECU's latest backup
        std::optional<double> batteryVoltage;
        std::optional<double> rpm;
        std::optional<double> speedKmh;
        bool hasSecurityProvider = false; // a security-access provider covers the target ECU

        bool operator==(const Context&) const = default;
    };

    // Six checks, and a seventh when the recipe needs security access, always in the same order;
    // every check is blocking.
    GuardVerdict evaluate(const CodingRecipe& recipe, const Context& context) const;
};

} // namespace veq
