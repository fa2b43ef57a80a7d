#pragma once

#include "VEQEngine/Session/ELM327Session.hpp"

#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace veq {

// The command terminal's line to the adapter, over the session it shares with the polling and
// the scans. A typed command goes out as typed. A request (any command but an adapter command,
// "AT..." or "ST...") goes out with the header the terminal last set with "ATSH", or with the
// connection's OBD header before it set one (and after a reset it typed), whatever header other
// users of the session put in force meanwhile. Thread-safe; fails as the session's raw() does.
class TerminalLine {
public:
    // The session must outlive the line.
    explicit TerminalLine(ELM327Session& session);

    TerminalLine(const TerminalLine&) = delete;
    TerminalLine& operator=(const TerminalLine&) = delete;

    ELM327Response send(std::string_view command, std::stop_token stop = {});
    // The header the terminal set, as the adapter took it; nothing before one was.
    std::optional<std::string> header() const;

private:
    ELM327Session& session_;
    mutable std::mutex mutex_;
    std::optional<std::string> header_;
};

} // namespace veq
