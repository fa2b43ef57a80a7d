#include "VEQEngine/Session/SessionTrace.hpp"

#include "VEQSupport/Text.hpp"

#include <cstdio>
#include <cstdlib>

namespace veq::SessionTrace {

bool enabledByEnvironment() { return std::getenv("VEQ_TRACE") != nullptr; }

std::string exchangeBlock(std::string_view command, std::span<const std::uint8_t> reply,
                          const ELM327Response& parsed) {
    std::string block = "» ";
    block += command;
    block += "\n  « ";
    for (char c : text::decodeUTF8Lossy(reply)) {
        if (c == '\r') {
            block += "\u23CE";
        } else if (c == '\n') {
            block += "\u240A";
        } else {
            block += c;
        }
    }
    block += "\n  hex: ";
    block += text::hexUpper(reply, " ");
    if (parsed.error) {
        block += "\n  erreur: ";
        block += description(*parsed.error);
    }
    if (!parsed.ecus.empty()) {
        block += "\n  ECUs: ";
        bool first = true;
        for (const ECUResponse& ecu : parsed.ecus) {
            if (!first) block += "  ";
            first = false;
            block += ecu.header.value_or("-");
            block += ':';
            block += text::hexUpper(ecu.payload);
        }
    }
    block += '\n';
    return block;
}

std::string noteLine(std::string_view note) {
    std::string line = "! ";
    line += note;
    line += '\n';
    return line;
}

void write(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

} // namespace veq::SessionTrace
