#include "VEQEngine/Session/TerminalLine.hpp"

#include "VEQSupport/Text.hpp"

namespace veq {

TerminalLine::TerminalLine(ELM327Session& session) : session_(session) {}

std::optional<std::string> TerminalLine::header() const {
    std::lock_guard lock(mutex_);
    return header_;
}

ELM327Response TerminalLine::send(std::string_view command, std::stop_token stop) {
    const std::string upper = text::toUpperASCII(command);
    if (upper.starts_with("AT") || upper.starts_with("ST")) {
        ELM327Response reply = session_.raw(command, stop);
        std::lock_guard lock(mutex_);
        if (const std::optional<std::string> set = TransmitHeader::setBy(command); set && TransmitHeader::taken(reply)) {
            header_ = *set;
        } else if (TransmitHeader::clearedBy(command) && reply.error != ELM327Error::unknownCommand) {
            header_.reset();
        }
        return reply;
    }
    const std::optional<std::string> set = header();
    return session_.raw(set ? TransmitHeader::of(*set) : TransmitHeader::obd(), command, stop);
}

} // namespace veq
