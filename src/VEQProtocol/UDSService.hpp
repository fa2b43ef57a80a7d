#pragma once

#include "VEQProtocol/ELM327Error.hpp"
#include "VEQSupport/Enum.hpp"
#include "VEQSupport/Error.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// The UDS (ISO 14229) services the system sends.
enum class UDSService : std::uint8_t {
    diagnosticSessionControl = 0x10,
    ecuReset = 0x11,
    clearDiagnosticInformation = 0x14,
    readDTCInformation = 0x19,
    readDataByIdentifier = 0x22,
    securityAccess = 0x27,
    writeDataByIdentifier = 0x2E,
    routineControl = 0x31,
    testerPresent = 0x3E,
};

template <>
struct EnumTraits<UDSService> {
    using Raw = std::uint8_t;
    static constexpr std::array allCases{
        UDSService::diagnosticSessionControl, UDSService::ecuReset,
        UDSService::clearDiagnosticInformation, UDSService::readDTCInformation,
        UDSService::readDataByIdentifier,     UDSService::securityAccess,
        UDSService::writeDataByIdentifier,    UDSService::routineControl,
        UDSService::testerPresent,
    };
    static constexpr Raw raw(UDSService s) { return static_cast<Raw>(s); }
};

constexpr std::uint8_t positiveResponse(UDSService s) { return static_cast<std::uint8_t>(rawValue(s) + 0x40); }
// "ReadDataByIdentifier (0x22)".
std::string_view description(UDSService s);

// The sub-function byte of service 0x10.
enum class UDSSessionType : std::uint8_t { defaultSession = 0x01, programming = 0x02, extended = 0x03 };

template <>
struct EnumTraits<UDSSessionType> {
    using Raw = std::uint8_t;
    static constexpr std::array allCases{UDSSessionType::defaultSession, UDSSessionType::programming,
                                         UDSSessionType::extended};
    static constexpr Raw raw(UDSSessionType s) { return static_cast<Raw>(s); }
};

// The negative response codes the system recognises.
enum class UDSNegativeResponse : std::uint8_t {
    generalReject = 0x10,
    serviceNotSupported = 0x11,
    subFunctionNotSupported = 0x12,
    incorrectMessageLength = 0x13,
    busyRepeatRequest = 0x21,
    conditionsNotCorrect = 0x22,
    requestSequenceError = 0x24,
    requestOutOfRange = 0x31,
    securityAccessDenied = 0x33,
    invalidKey = 0x35,
    exceedNumberOfAttempts = 0x36,
    requiredTimeDelayNotExpired = 0x37,
    responsePending = 0x78,
    serviceNotSupportedInActiveSession = 0x7F,
};

template <>
struct EnumTraits<UDSNegativeResponse> {
    using Raw = std::uint8_t;
    static constexpr std::array allCases{
        UDSNegativeResponse::generalReject,          UDSNegativeResponse::serviceNotSupported,
        UDSNegativeResponse::subFunctionNotSupported, UDSNegativeResponse::incorrectMessageLength,
        UDSNegativeResponse::busyRepeatRequest,      UDSNegativeResponse::conditionsNotCorrect,
        UDSNegativeResponse::requestSequenceError,   UDSNegativeResponse::requestOutOfRange,
        UDSNegativeResponse::securityAccessDenied,   UDSNegativeResponse::invalidKey,
        UDSNegativeResponse::exceedNumberOfAttempts, UDSNegativeResponse::requiredTimeDelayNotExpired,
        UDSNegativeResponse::responsePending,        UDSNegativeResponse::serviceNotSupportedInActiveSession,
    };
    static constexpr Raw raw(UDSNegativeResponse r) { return static_cast<Raw>(r); }
};

// French text of a negative response code.
std::string_view description(UDSNegativeResponse r);
// The ECU accepted the request and will answer later (0x78).
constexpr bool isPending(UDSNegativeResponse r) { return r == UDSNegativeResponse::responsePending; }
// The request may be sent again at once (0x21).
constexpr bool shouldRetry(UDSNegativeResponse r) { return r == UDSNegativeResponse::busyRepeatRequest; }

// A failed UDS exchange.
class UDSError : public Error {
public:
    // `noResponse` is an answer holding no ECU's ("NO DATA"): the ECU has nothing to say.
    // `unanswered` is no answer at all: nothing came within the reply time-out, the request was not
    // sent while the session found its step again, or a busy adapter refused it ("STOPPED", "?").
    // Only the latter may be worth asking again.
    enum class Kind { adapterError, negativeResponse, unexpectedResponse, noResponse, unanswered };

    static UDSError adapter(ELM327Error error);
    static UDSError negative(std::uint8_t service, std::uint8_t nrc);
    static UDSError unexpected(std::vector<std::uint8_t> payload);
    static UDSError none();
    // `refusal`: the busy adapter's word, kept in adapterError(). Worded as the error it stood for
    // before it was told apart (an adapter error, or no response), so what users read is unchanged.
    static UDSError unanswered(std::optional<ELM327Error> refusal = std::nullopt);
    // Unanswered because the request never went out: the session, out of step with an adapter that
    // answered no probe, held it back, or the adapter did not take its header (`headerNotTaken`;
    // `refusal`: the header's adapter error, worded as unanswered() words it). No ECU was asked, so
    // none is known absent.
    static UDSError unsent(std::optional<ELM327Error> refusal = std::nullopt, bool headerNotTaken = false);

    Kind kind() const { return kind_; }
    std::optional<ELM327Error> adapterError() const { return adapterError_; }
    // False only for unsent().
    bool sent() const { return sent_; }
    // Unanswered because the adapter refused it: "STOPPED" or "?" to the request, or its header
    // not taken. Not for a silence, nor for a request the session held back.
    bool refusedByAdapter() const { return refusedByAdapter_; }
    std::uint8_t service() const { return service_; }
    std::uint8_t nrc() const { return nrc_; }
    const std::vector<std::uint8_t>& payload() const { return payload_; }

    // The recognised code of a negative response; absent for an unknown byte or another kind.
    std::optional<UDSNegativeResponse> negativeResponseCode() const;

    bool operator==(const UDSError& o) const {
        return kind_ == o.kind_ && adapterError_ == o.adapterError_ && service_ == o.service_ && nrc_ == o.nrc_ &&
               payload_ == o.payload_ && sent_ == o.sent_ && refusedByAdapter_ == o.refusedByAdapter_;
    }

private:
    UDSError(Kind kind, std::string what) : Error(std::move(what)), kind_(kind) {}

    Kind kind_;
    std::optional<ELM327Error> adapterError_;
    std::uint8_t service_ = 0;
    std::uint8_t nrc_ = 0;
    std::vector<std::uint8_t> payload_;
    bool sent_ = true;
    bool refusedByAdapter_ = false;
};

} // namespace veq
