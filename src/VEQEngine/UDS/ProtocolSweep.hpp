#pragma once

#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQSupport/UUID.hpp"

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// The fall-back when the adapter's own protocol search finds no vehicle: every bus protocol of
// the adapter is forced in turn and, for each, a list of request headers is tried with the mode 01
// request for parameter 00 until an ECU answers it. And a short listen to the bus in monitor mode,
// for the diagnosis when even that finds nothing.
//
// Never instantiated: both operations run on the caller's thread, every exchange through the
// session (so one command is in flight at a time).
struct ProtocolSweep {
    struct BusProtocol {
        std::string number; // as sent after "ATSP"
        std::string name;   // French
        bool isCAN = false;
        bool is29Bit = false;
        bool isSlowInit = false; // needs the 5-baud initialisation

        bool operator==(const BusProtocol&) const = default;
    };

    struct HeaderChoice {
        std::optional<std::string> header; // none: the adapter's default addressing
        std::string label;                  // French, becomes the attempt's addressing

        bool operator==(const HeaderChoice&) const = default;
    };

    struct Attempt {
        UUID id;
        std::string protocolNumber;
        std::string protocolName;
        std::optional<std::string> header;
        std::string addressing;
        bool succeeded = false;
        std::string detail; // the reply's lines joined by a blank, or "(aucune réponse)"

        bool operator==(const Attempt&) const = default;
    };

    struct Outcome {
        std::vector<Attempt> attempts;
        std::optional<BusProtocol> workingProtocol;
        std::optional<std::string> workingHeader;  // none when the default addressing answered
        std::vector<std::string> respondingECUs;   // reply headers, ascending; empty without headers

        bool succeeded() const { return workingProtocol.has_value(); }
    };

    using Progress = std::function<void(const Attempt&)>;

    static constexpr std::string_view noAnswerDetail = "(aucune réponse)";

    // The order in which the sweep tries the protocols.
    static const std::vector<BusProtocol>& protocols();
    // The headers tried on one protocol, in order.
    static std::vector<HeaderChoice> headers(const BusProtocol& protocol);

    // Tries every protocol (`deep`) or only the CAN protocols without slow initialisation, and
    // returns at the first attempt an ECU answers. Each probe goes out with the header under test
    // (the session sends "ATSH" when another is in force); the header that worked, or the default
    // addressing, becomes the session's OBD header. `progress` receives each attempt before the
    // next command is sent. Non-CAN protocols are tried with headers off (their replies carry no
    // CAN identifier); headers are switched on again before a CAN protocol that follows one. A
    // stop request ends the sweep early with the attempts made so far. Never throws.
    static Outcome run(ELM327Session& session, bool deep, const Progress& progress = {}, std::stop_token stop = {});

    // Puts the adapter in monitor mode for `window` (or until `stop` is requested) and returns the
    // frame identifiers heard, sorted; empty when monitor mode cannot be started. Throws
    // MonitorAlreadyRunning at once, sending nothing, while the session's monitor runs.
    static std::vector<std::string> listen(ELM327Session& session, std::chrono::nanoseconds window,
                                           std::stop_token stop = {});

    // The identifier of one monitor line split on blanks: one 3-digit token is an 11-bit
    // identifier; one 8-digit token, or four 2-digit tokens, a 29-bit one; each within its range
    // (identifierInRange). Data must follow it.
    static std::optional<std::string> frameIdentifier(std::string_view line);
    // Whether hexadecimal digits are a CAN identifier: three up to 7FF, eight up to 1FFFFFFF.
    static bool identifierInRange(std::string_view identifier);
};

} // namespace veq
