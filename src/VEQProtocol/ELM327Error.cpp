#include "VEQProtocol/ELM327Error.hpp"

#include "VEQSupport/Text.hpp"

#include <string>

namespace veq {

namespace {

struct Rule {
    std::string_view contained; // found anywhere in the upper-cased line (empty: no such test)
    std::string_view compact;   // equal to the line without spaces (empty: no such test)
    ELM327Error error;
};

// Tried in this order; the first that holds wins. "BUS INIT" needs "ERROR" too (handled apart).
constexpr Rule kRulesBeforeBusInit[] = {
    {"",                  "?",               ELM327Error::unknownCommand},
    {"NO DATA",           "NODATA",          ELM327Error::noData},
    {"UNABLE TO CONNECT", "UNABLETOCONNECT", ELM327Error::unableToConnect},
    {"BUFFER FULL",       "BUFFERFULL",      ELM327Error::bufferFull},
};
constexpr Rule kRulesAfterBusInit[] = {
    {"CAN ERROR",  "CANERROR",  ELM327Error::canError},
    {"BUS ERROR",  "BUSERROR",  ELM327Error::busError},
    {"DATA ERROR", "DATAERROR", ELM327Error::dataError},
    {"FB ERROR",   "FBERROR",   ELM327Error::feedbackError},
    {"LV RESET",   "LVRESET",   ELM327Error::lowVoltageReset},
    {"",           "STOPPED",   ELM327Error::stopped},
};

bool holds(const Rule& rule, std::string_view upper, std::string_view compact) {
    return (!rule.contained.empty() && upper.find(rule.contained) != std::string_view::npos) ||
           (!rule.compact.empty() && compact == rule.compact);
}

} // namespace

std::optional<ELM327Error> detectELM327Error(std::string_view line) {
    const std::string upper = text::toUpperASCII(line);
    std::string compact;
    compact.reserve(upper.size());
    for (char c : upper) {
        if (c != ' ') compact.push_back(c);
    }
    for (const Rule& rule : kRulesBeforeBusInit) {
        if (holds(rule, upper, compact)) return rule.error;
    }
    if (upper.find("BUS INIT") != std::string::npos && upper.find("ERROR") != std::string::npos) {
        return ELM327Error::busInitError;
    }
    for (const Rule& rule : kRulesAfterBusInit) {
        if (holds(rule, upper, compact)) return rule.error;
    }
    return std::nullopt;
}

} // namespace veq
