#include "VEQEngine/Session/HeaderRestore.hpp"

#include "VEQProtocol/FrameFormat.hpp"

#include <exception>

namespace veq {

std::optional<std::string> headerToPutBack(const ELM327Session& session) {
    std::optional<std::string> header = session.transmitHeader();
    if (!header && session.format() != FrameFormat::can29) header = std::string(functionalTransmitHeader);
    return header;
}

void putHeaderBack(ELM327Session& session, const std::optional<std::string>& header) {
    if (!header) return;
    try {
        // Not the run's stop token: a cancelled run must still give the poller its header back.
        // The exchange is bounded by the session's reply time-out.
        session.raw("ATSH" + *header, {});
    } catch (const std::exception&) {
        // The link is gone or the session closing.
    }
}

} // namespace veq
