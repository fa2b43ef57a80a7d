#include "VEQProtocol/ELM327Error.hpp"


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
    {"<RX ERROR",  "<RXERROR",  ELM327Error::dataError}, // a clone's word for the same fault
    {"FB ERROR",   "FBERROR",   ELM327Error::feedbackError},
    {"LV RESET",   "LVRESET",   ELM327Error::lowVoltageReset},
    {"",           "STOPPED",   ELM327Error::stopped},
};

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// `word` appears in the upper-cased line. No copy: this runs on every reply line.
bool contains(std::string_view line, std::string_view word) {
    if (word.size() > line.size()) return false;
    for (std::size_t i = 0; i + word.size() <= line.size(); ++i) {
        std::size_t k = 0;
        while (k < word.size() && upper(line[i + k]) == word[k]) ++k;
        if (k == word.size()) return true;
    }
    return false;
}

// The upper-cased line with every space removed equals `word`.
bool compactEquals(std::string_view line, std::string_view word) {
    std::size_t k = 0;
    for (char c : line) {
        if (c == ' ') continue;
        if (k >= word.size() || upper(c) != word[k]) return false;
        ++k;
    }
    return k == word.size();
}

bool holds(const Rule& rule, std::string_view line) {
    return (!rule.contained.empty() && contains(line, rule.contained)) ||
           (!rule.compact.empty() && compactEquals(line, rule.compact));
}

} // namespace

std::optional<ELM327Error> detectELM327Error(std::string_view line) {
    for (const Rule& rule : kRulesBeforeBusInit) {
        if (holds(rule, line)) return rule.error;
    }
    if (contains(line, "BUS INIT") && contains(line, "ERROR")) return ELM327Error::busInitError;
    for (const Rule& rule : kRulesAfterBusInit) {
        if (holds(rule, line)) return rule.error;
    }
    return std::nullopt;
}

} // namespace veq
