#pragma once

#include "VEQProtocol/ELM327Response.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace veq {

// The adapter's functional request headers: every OBD-II ECU of the bus takes them as its own.
inline constexpr std::string_view functionalHeader11Bit = "7DF";
inline constexpr std::string_view functionalHeader29Bit = "18DB33F1";

// The transmit header one exchange needs in force on the adapter when its command goes out.
// The session compares it with the header it knows in force and sends "ATSH" only when they
// differ, so no user of a shared session has to put a header back after its run.
class TransmitHeader {
public:
    enum class Kind {
        any,   // whatever header is in force: adapter commands
        obd,   // the connection's OBD header (ELM327Session::obdHeader())
        exact, // one header
    };

    static TransmitHeader any() { return TransmitHeader(Kind::any, {}); }
    static TransmitHeader obd() { return TransmitHeader(Kind::obd, {}); }
    // A header as "ATSH" takes it ("7E0", "18DA10F1"); case and blanks do not matter.
    static TransmitHeader of(std::string_view header);

    Kind kind() const { return kind_; }
    // The header of an exact one, upper case without blanks; empty for the other kinds.
    const std::string& header() const { return header_; }

    bool operator==(const TransmitHeader&) const = default;

    // The header an "ATSH" command sets ("at sh 7e1" gives 7E1); nothing for any other command.
    static std::optional<std::string> setBy(std::string_view command);
    // Whether a command puts the adapter back to its own addressing: a reset, a warm start,
    // defaults ("ATZ", "ATWS", "ATD").
    static bool clearedBy(std::string_view command);
    // Whether the adapter took a header command: it answered, up to its prompt, without an error.
    // Silence may be a header it never took.
    static bool taken(const ELM327Response& reply) { return !reply.error && reply.promptTerminated; }

private:
    TransmitHeader(Kind kind, std::string header) : kind_(kind), header_(std::move(header)) {}

    Kind kind_;
    std::string header_;
};

} // namespace veq
