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

    // Whether the request only reads, so that asking it twice changes nothing in the car: an OBD-II
    // mode other than clearing codes or controlling a system, a UDS read or TesterPresent.
    bool onlyReads() const;

    // True when the answer is a positive answer naming another service or parameter, or a
    // negative answer (7F) naming another service. Nothing, a negative answer to this service or
    // anything that names nothing clearly is not.
    bool namesAnotherRequest(const ECUResponse& answer) const;

    // What one ECU of the reply says to this request, its messages read on their own in the order
    // they came. Its answer is the first whole message that does not name another request, past
    // any "response pending" to this service; a message cut short answers nothing, and one after
    // a "response pending" ends the wait: the answer came, broken.
    struct Reading {
        const ECUResponse* answer = nullptr; // into the reply read
        bool pending = false;        // no answer yet, but a "response pending" to this service came
        bool anotherRequest = false; // every whole message names another request
        bool cutShort = false;       // no answer, and a message of it was cut short: it answered, broken
    };
    // The reply's first ECU that answered this request: one whose whole messages all name another
    // request (and none was cut short) is passed over. When every ECU is, the first one.
    Reading readIn(const ELM327Response& reply) const;
    // Each ECU of the reply, one per header of `ecus` in their order (without headers, one).
    std::vector<Reading> readEach(const ELM327Response& reply) const;
    // The answer of each ECU that gave one, in the order of `ecus`.
    std::vector<const ECUResponse*> answersIn(const ELM327Response& reply) const;
    // answersIn(), then every later whole message without a header that answers this request:
    // without headers several ECUs' answers come under none, each a message of its own.
    std::vector<const ECUResponse*> everyAnswerIn(const ELM327Response& reply) const;
    // Some ECU of the reply gave no answer but a message cut short: what it said was lost on the
    // way, and the request is worth asking again.
    bool brokenIn(const ELM327Response& reply) const;

    // True when the reply, with no adapter error, holds this request's answer (readIn()) and it
    // is a positive answer echoing this service and its whole parameter: an answer that can only
    // be this request's.
    bool namedExactlyBy(const ELM327Response& reply) const;
    // True when the reply's ECU read by readIn() said "response pending" (7F xx 78) to this
    // request and has not answered it yet: its answer is still to come.
    bool stillPending(const ELM327Response& reply) const;

    bool operator==(const RequestEcho&) const = default;

private:
    // The ECU of `ecus[ecu]`: its first message and its follow-ups.
    Reading readOf(const ELM327Response& reply, std::size_t ecu) const;
};

} // namespace veq
