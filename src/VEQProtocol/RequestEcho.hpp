#pragma once

#include "VEQProtocol/ELM327Response.hpp"
#include "VEQProtocol/OBDCommand.hpp"
#include "VEQProtocol/UDSService.hpp"

#include <cstdint>
#include <optional>
#include <string_view>
#include <span>
#include <vector>

namespace veq {

// What the answer to one request names: the service (or OBD mode) it answers and the bytes it
// echoes after the response identifier (a mode 01 parameter, a data identifier). It tells an
// answer that can only be this request's, and one that is plainly another request's.
struct RequestEcho {
    std::uint8_t service = 0;
    std::vector<std::uint8_t> parameter;

    // The mode, and the parameter of a mode that takes one ("010C" echoes 41 0C).
    static RequestEcho of(const OBDCommand& command);
    // The service, and the data identifier of a read or a write by identifier.
    static RequestEcho of(UDSService service, std::span<const std::uint8_t> data);
    // A request typed as hexadecimal text ("010D", "22 F1 90", "010C1" with the adapter's count of
    // answers): its first byte, and the parameter of modes 01 and 09 or the identifier of a read or
    // write by identifier. Nothing for text that is not hexadecimal digits.
    static std::optional<RequestEcho> ofRequestText(std::string_view text);

    // True when the answer is a positive answer naming another service or parameter, or a
    // negative answer (7F) naming another service. Nothing, a negative answer to this service or
    // anything that names nothing clearly is not.
    bool namesAnotherRequest(const ECUResponse& answer) const;
    // True when the reply's first ECU gives (after any "response pending") a positive answer
    // echoing this service and its whole parameter, with no adapter error: an answer that can only
    // be this request's.
    bool namedExactlyBy(const ELM327Response& reply) const;

    // True when the last message the first ECU put in the reply is a "response pending" (7F xx 78):
    // the request's answer is still to come.
    static bool stillPending(const ELM327Response& reply);

    bool operator==(const RequestEcho&) const = default;
};

} // namespace veq
