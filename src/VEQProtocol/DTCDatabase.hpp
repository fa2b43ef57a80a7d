#pragma once

#include "VEQProtocol/DTC.hpp"
#include "VEQSupport/Enum.hpp"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace veq {

// A trouble code's French description and where it came from.
struct DTCInfo {
    enum class Severity { low, medium, high };
    enum class Source {
        standard,   // a row written out in the table
        generated,  // a row produced by a series rule (cylinders, banks, sensors)
        structural, // composed from the code's structure, not in the table
    };

    std::string code; // as looked up, upper case
    std::string title;
    std::string system;
    std::string subsystem;
    Severity severity = Severity::medium;
    std::vector<std::string> causes; // most likely first
    Source source = Source::structural;

    bool operator==(const DTCInfo&) const = default;
};

// "Faible", "Moyenne", "Élevée".
std::string_view label(DTCInfo::Severity severity);

template <>
struct EnumTraits<DTCInfo::Severity> {
    using Raw = std::string_view;
    static constexpr std::array allCases{DTCInfo::Severity::low, DTCInfo::Severity::medium, DTCInfo::Severity::high};
    static constexpr Raw raw(DTCInfo::Severity s) {
        switch (s) {
        case DTCInfo::Severity::low: return "low";
        case DTCInfo::Severity::medium: return "medium";
        case DTCInfo::Severity::high: return "high";
        }
        return "medium";
    }
};

template <>
struct EnumTraits<DTCInfo::Source> {
    using Raw = std::string_view;
    static constexpr std::array allCases{DTCInfo::Source::standard, DTCInfo::Source::generated,
                                         DTCInfo::Source::structural};
    static constexpr Raw raw(DTCInfo::Source s) {
        switch (s) {
        case DTCInfo::Source::standard: return "standard";
        case DTCInfo::Source::generated: return "generated";
        case DTCInfo::Source::structural: return "structural";
        }
        return "structural";
    }
};

// The French trouble-code text base: written-out rows, series generated for cylinders, banks and
// sensors, and a description composed from the code's structure for every other code.
namespace DTCDatabase {

// Built once, on first use, from any thread; never changed afterwards.
const std::unordered_map<std::string, DTCInfo>& table();

// Never fails: the code is upper-cased (not trimmed) and looked up, else described from its structure.
DTCInfo describe(std::string_view code);
DTCInfo describe(const DTC& dtc);

// The number of rows of the table.
std::size_t describedCount();

} // namespace DTCDatabase

} // namespace veq
