#pragma once

#include "VEQSupport/Enum.hpp"

#include <array>
#include <optional>
#include <string_view>

namespace veq {

// The adapter's own error words; travels inside replies, never thrown.
enum class ELM327Error {
    noData,
    canError,
    busError,
    unableToConnect,
    bufferFull,
    stopped,
    unknownCommand,
    dataError,
    feedbackError,
    lowVoltageReset,
    busInitError,
    searching,
};

template <>
struct EnumTraits<ELM327Error> {
    using Raw = std::string_view;
    static constexpr std::array allCases{
        ELM327Error::noData,         ELM327Error::canError,      ELM327Error::busError,
        ELM327Error::unableToConnect, ELM327Error::bufferFull,   ELM327Error::stopped,
        ELM327Error::unknownCommand, ELM327Error::dataError,     ELM327Error::feedbackError,
        ELM327Error::lowVoltageReset, ELM327Error::busInitError, ELM327Error::searching,
    };
    static constexpr Raw raw(ELM327Error e) {
        switch (e) {
        case ELM327Error::noData: return "NO DATA";
        case ELM327Error::canError: return "CAN ERROR";
        case ELM327Error::busError: return "BUS ERROR";
        case ELM327Error::unableToConnect: return "UNABLE TO CONNECT";
        case ELM327Error::bufferFull: return "BUFFER FULL";
        case ELM327Error::stopped: return "STOPPED";
        case ELM327Error::unknownCommand: return "?";
        case ELM327Error::dataError: return "DATA ERROR";
        case ELM327Error::feedbackError: return "FB ERROR";
        case ELM327Error::lowVoltageReset: return "LV RESET";
        case ELM327Error::busInitError: return "BUS INIT: ERROR";
        case ELM327Error::searching: return "SEARCHING";
        }
        return {};
    }
};

// The printable description is the adapter's word itself.
constexpr std::string_view description(ELM327Error e) { return rawValue(e); }

// Worth retrying: false only for "NO DATA", "UNABLE TO CONNECT" and "?".
constexpr bool isRecoverable(ELM327Error e) {
    return e != ELM327Error::noData && e != ELM327Error::unableToConnect && e != ELM327Error::unknownCommand;
}

// Recognises an error word in one reply line; never returns `searching`.
std::optional<ELM327Error> detectELM327Error(std::string_view line);

} // namespace veq
