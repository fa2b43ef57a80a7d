#pragma once

#include "VEQProtocol/ELM327Error.hpp"
#include "VEQProtocol/ISOTP.hpp"
#include "VEQProtocol/OBDMode.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace veq {

// One message of an ECU, reassembled.
struct ECUResponse {
    std::optional<std::string> header; // upper-case hexadecimal as it stood in the reply
    std::vector<std::uint8_t> payload; // service/mode byte first
    ISOTP::Cut cut = ISOTP::Cut::none; // why it holds less than its first frame announced

    // Less came than its first frame announced: it answers nothing.
    bool cutShort() const { return cut != ISOTP::Cut::none; }

    std::optional<std::uint8_t> responseMode() const {
        if (payload.empty()) return std::nullopt;
        return payload.front();
    }

    // The bytes after the echo of `mode` (and of `pid` when given), or nothing when the
    // echo does not match.
    std::optional<std::vector<std::uint8_t>> data(OBDMode mode, std::optional<std::uint8_t> pid) const;

    bool operator==(const ECUResponse&) const = default;
};

// One parsed adapter reply.
struct ELM327Response {
    std::vector<std::string> lines;   // every non-empty cleaned line, errors and text included
    // Each header's first message, in first-seen order. A header whose frames formed no whole
    // message is there all the same, cut short (empty when none began): its ECU answered, broken.
    std::vector<ECUResponse> ecus;
    std::optional<ELM327Error> error; // the first adapter error word
    std::vector<std::string> text;    // lines that are neither errors nor data
    bool promptTerminated = false;    // a ">" ended the reply
    // The messages an ECU sent after its first one in this reply (a "response pending" answer,
    // then the answer itself; a message cut short, then the whole one), per header in the order
    // of `ecus`, each in arrival order; one broken before its first byte is there, empty and cut
    // short. Without headers on CAN, each line outside a counted message is one.
    std::vector<ECUResponse> followUps;
    // The header of each frame dropped as belonging to no message (a consecutive frame with none
    // under way, a flow-control frame, a numbered line after its message ended), in header order;
    // empty text without headers.
    std::vector<std::string> strayFrames;
    // The request never went out: the session held it back, out of step with an adapter that
    // answered no probe (empty, as a silence is), or the adapter did not take the header it needed
    // (the header's reply). Either way no ECU was asked.
    bool unsent = false;
    // Unsent because the adapter did not take the header (any reply to it but "OK", a silence
    // included), not held back by the session.
    bool headerNotTaken = false;

    bool isError() const { return error.has_value(); }
    bool isEmpty() const { return ecus.empty() && text.empty() && !error; }
    // Nothing came at all, not even the prompt: the adapter did not answer in time. An answer that
    // holds nothing ("NO DATA", a bare prompt) is no silence.
    bool isSilence() const { return !promptTerminated && lines.empty(); }
    const std::vector<std::uint8_t>* firstPayload() const { return ecus.empty() ? nullptr : &ecus.front().payload; }

    bool operator==(const ELM327Response&) const = default;
};

} // namespace veq
