#include "VEQProtocol/UDSService.hpp"

#include "VEQSupport/Text.hpp"

#include <fmt/format.h>

namespace veq {

std::string_view description(UDSService s) {
    switch (s) {
    case UDSService::diagnosticSessionControl: return "DiagnosticSessionControl (0x10)";
    case UDSService::ecuReset: return "ECUReset (0x11)";
    case UDSService::clearDiagnosticInformation: return "ClearDiagnosticInformation (0x14)";
    case UDSService::readDTCInformation: return "ReadDTCInformation (0x19)";
    case UDSService::readDataByIdentifier: return "ReadDataByIdentifier (0x22)";
    case UDSService::securityAccess: return "SecurityAccess (0x27)";
    case UDSService::writeDataByIdentifier: return "WriteDataByIdentifier (0x2E)";
    case UDSService::routineControl: return "RoutineControl (0x31)";
    case UDSService::testerPresent: return "TesterPresent (0x3E)";
    }
    return {};
}

std::string_view description(UDSNegativeResponse r) {
    switch (r) {
    case UDSNegativeResponse::generalReject: return "Rejet général";
    case UDSNegativeResponse::serviceNotSupported: return "Service non supporté";
    case UDSNegativeResponse::subFunctionNotSupported: return "Sous-fonction non supportée";
    case UDSNegativeResponse::incorrectMessageLength: return "Longueur/format incorrect";
    case UDSNegativeResponse::busyRepeatRequest: return "Occupé — réémettre";
    case UDSNegativeResponse::conditionsNotCorrect: return "Conditions non réunies";
    case UDSNegativeResponse::requestSequenceError: return "Erreur de séquence";
    case UDSNegativeResponse::requestOutOfRange: return "Requête hors plage";
    case UDSNegativeResponse::securityAccessDenied: return "Accès sécurité refusé";
    case UDSNegativeResponse::invalidKey: return "Clé invalide";
    case UDSNegativeResponse::exceedNumberOfAttempts: return "Trop de tentatives";
    case UDSNegativeResponse::requiredTimeDelayNotExpired: return "Délai requis non écoulé";
    case UDSNegativeResponse::responsePending: return "Réponse en attente (0x78)";
    case UDSNegativeResponse::serviceNotSupportedInActiveSession: return "Service indisponible dans cette session";
    }
    return {};
}

// The error's own words stay short: screens show the negative-response text where they have one.
UDSError UDSError::adapter(ELM327Error error) {
    UDSError e(Kind::adapterError, "Erreur de l'adaptateur : " + std::string(description(error)));
    e.adapterError_ = error;
    return e;
}

UDSError UDSError::negative(std::uint8_t service, std::uint8_t nrc) {
    const auto code = fromRaw<UDSNegativeResponse>(nrc);
    std::string what = fmt::format("Réponse négative au service 0x{:02X} : ", service);
    what += code ? std::string(description(*code)) : fmt::format("code 0x{:02X}", nrc);
    UDSError e(Kind::negativeResponse, what);
    e.service_ = service;
    e.nrc_ = nrc;
    return e;
}

UDSError UDSError::unexpected(std::vector<std::uint8_t> payload) {
    UDSError e(Kind::unexpectedResponse, "Réponse inattendue : " + text::hexUpper(payload, " "));
    e.payload_ = std::move(payload);
    return e;
}

UDSError UDSError::none() { return UDSError(Kind::noResponse, "Aucune réponse de l'ECU"); }

UDSError UDSError::unanswered(std::optional<ELM327Error> refusal) {
    UDSError e(Kind::unanswered, refusal ? adapter(*refusal).what() : none().what());
    e.adapterError_ = refusal;
    e.refusedByAdapter_ = refusal.has_value();
    return e;
}

UDSError UDSError::unsent(std::optional<ELM327Error> refusal, bool headerNotTaken) {
    UDSError e = unanswered(refusal);
    e.sent_ = false;
    e.refusedByAdapter_ = headerNotTaken;
    return e;
}

std::optional<UDSNegativeResponse> UDSError::negativeResponseCode() const {
    if (kind_ != Kind::negativeResponse) return std::nullopt;
    return fromRaw<UDSNegativeResponse>(nrc_);
}

} // namespace veq
