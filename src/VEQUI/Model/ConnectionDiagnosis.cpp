#include "VEQUI/Model/ConnectionDiagnosis.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <set>
#include <string_view>

namespace veq::ConnectionDiagnosis {

namespace {

constexpr std::array<std::string_view, 1> simulatorAdvice{
    "Le simulateur n'a pas répondu — anomalie interne.",
};

constexpr std::array<std::string_view, 4> bluetoothAdvice{
    "Vérifiez que le Bluetooth de l'ordinateur est activé.",
    "Vérifiez que l'adaptateur ELM327 est alimenté (contact mis).",
    "Autorisez l'accès Bluetooth dans les réglages du système › Confidentialité.",
    "Aucun périphérique annonçant FFF0/FFE0/18F0 n'a été trouvé.",
};

constexpr std::string_view wifiJoinAdvice = "Connectez l'ordinateur au réseau WiFi de l'adaptateur ELM327.";
constexpr std::string_view wifiInternetAdvice = "Rappel : le WiFi de l'ELM327 coupe l'accès Internet de l'ordinateur.";

constexpr std::string_view silentBusAdvice =
    "Aucun trafic entendu sur le bus : l'adaptateur ne voit rien passer. Vérifiez que le contact est mis "
    "(position 2, moteur pas nécessairement démarré) et que la prise est enfoncée à fond.";
constexpr std::string_view socketPowerAdvice =
    "Sur certains véhicules la prise OBD n'est alimentée que contact mis ; sur d'autres, un fusible dédié "
    "protège la prise.";
constexpr std::string_view trafficAdviceEnd = "le câblage est bon, seul le dialogue de diagnostic échoue.";
constexpr std::string_view addressesAdvice =
    "Ces adresses peuvent servir d'adressage physique — envoyez-les-moi et j'ajoute la combinaison.";
constexpr std::string_view adapterAdvice =
    "Adaptateur : essayez un autre modèle si le vôtre est un clone bas de gamme — leur firmware abrège souvent "
    "la détection.";
constexpr std::size_t quotedBusLines = 6;

constexpr std::array<std::string_view, 5> unreachableAdvice{
    "L'adaptateur ELM327 fonctionne, mais le véhicule ne répond pas.",
    "Vérifiez que le contact est mis (position 2, tableau de bord allumé).",
    "Vérifiez que l'adaptateur est bien enfoncé dans la prise OBD.",
    "Certains véhicules n'ouvrent le bus que moteur tournant.",
    "Le protocole est en détection automatique (ATSP0).",
};
constexpr std::string_view adapterReplyPrefix = "Réponse de l'adaptateur : ";
constexpr std::string_view silentBusLine = "Aucune réponse du bus.";

template <std::size_t N>
std::vector<std::string> lines(const std::array<std::string_view, N>& table) {
    return {table.begin(), table.end()};
}

} // namespace

std::string errorText(const std::exception_ptr& error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return "erreur inconnue";
}

std::vector<std::string> failureDiagnostics(TransportKind kind, const std::string& wifiHost,
                                            const std::string& wifiPort, const std::string& errorText) {
    std::vector<std::string> out;
    switch (kind) {
    case TransportKind::simulator: out = lines(simulatorAdvice); break;
    case TransportKind::bluetooth: out = lines(bluetoothAdvice); break;
    case TransportKind::wifi:
        out.emplace_back(wifiJoinAdvice);
        out.push_back(fmt::format("Adresse essayée : {}:{} (puis les valeurs par défaut).", wifiHost, wifiPort));
        out.emplace_back(wifiInternetAdvice);
        break;
    }
    out.push_back(errorText);
    return out;
}

std::vector<std::string> sweepFailureDiagnostics(const ProtocolSweep::Outcome& outcome,
                                                 const std::vector<std::string>& busTraffic) {
    std::set<std::string> protocols;
    for (const auto& attempt : outcome.attempts) protocols.insert(attempt.protocolNumber);
    std::vector<std::string> out;
    out.push_back(fmt::format("{} protocoles et {} combinaisons protocole/adressage essayés — aucune réponse.",
                              protocols.size(), outcome.attempts.size()));
    if (!busTraffic.empty()) {
        const auto quoted = static_cast<std::ptrdiff_t>(std::min(busTraffic.size(), quotedBusLines));
        const std::string heard = fmt::format("{}", fmt::join(busTraffic.begin(), busTraffic.begin() + quoted, ", "));
        out.push_back(fmt::format("Trafic entendu sur le bus ({}) : {}", heard, trafficAdviceEnd));
        out.emplace_back(addressesAdvice);
    } else {
        out.emplace_back(silentBusAdvice);
        out.emplace_back(socketPowerAdvice);
    }
    out.emplace_back(adapterAdvice);
    return out;
}

std::vector<std::string> vehicleUnreachableDiagnostics(std::optional<ELM327Error> probeError) {
    std::vector<std::string> out = lines(unreachableAdvice);
    if (probeError) {
        out.push_back(std::string(adapterReplyPrefix) + std::string(description(*probeError)));
    } else {
        out.emplace_back(silentBusLine);
    }
    return out;
}

std::string unreachableMessage(std::optional<ELM327Error> probeError) {
    return "Véhicule injoignable — " + (probeError ? std::string(description(*probeError)) : std::string("aucune réponse"));
}

} // namespace veq::ConnectionDiagnosis
