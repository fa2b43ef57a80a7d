// The French advice lines of a failed connection, against the texts as the product states them.
#include "VEQUI/Model/ConnectionDiagnosis.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace veq;
using namespace veq::ConnectionDiagnosis;
using Lines = std::vector<std::string>;

namespace {

ProtocolSweep::Outcome outcomeOf(int protocols, int attempts) {
    ProtocolSweep::Outcome outcome;
    for (int i = 0; i < attempts; ++i) {
        ProtocolSweep::Attempt attempt;
        attempt.protocolNumber = std::to_string(i % protocols);
        outcome.attempts.push_back(attempt);
    }
    return outcome;
}

const std::string adapterLine = "Adaptateur : essayez un autre modèle si le vôtre est un clone bas de gamme — leur "
                                "firmware abrège souvent la détection.";

} // namespace

TEST(ConnectionDiagnosisTests, FailureAdviceFollowsTheTransportAndEndsWithTheError) {
    const struct { TransportKind kind; Lines expected; } cases[] = {
        {TransportKind::simulator, {"Le simulateur n'a pas répondu — anomalie interne.", "Délai dépassé"}},
        {TransportKind::bluetooth,
         {"Vérifiez que le Bluetooth de l'ordinateur est activé.",
          "Vérifiez que l'adaptateur ELM327 est alimenté (contact mis).",
          "Autorisez l'accès Bluetooth dans les réglages du système › Confidentialité.",
          "Aucun périphérique annonçant FFF0/FFE0/18F0 n'a été trouvé.", "Délai dépassé"}},
        {TransportKind::wifi,
         {"Connectez l'ordinateur au réseau WiFi de l'adaptateur ELM327.",
          "Adresse essayée : 192.168.0.10:x35 (puis les valeurs par défaut).",
          "Rappel : le WiFi de l'ELM327 coupe l'accès Internet de l'ordinateur.", "Délai dépassé"}},
    };
    for (const auto& c : cases) {
        // The port as typed, not as parsed.
        EXPECT_EQ(failureDiagnostics(c.kind, "192.168.0.10", "x35", "Délai dépassé"), c.expected) << id(c.kind);
    }
}

TEST(ConnectionDiagnosisTests, SweepAdviceCountsProtocolsThenAttemptsAndQuotesSixBusIdentifiers) {
    const Lines silent = sweepFailureDiagnostics(outcomeOf(12, 40), {});
    EXPECT_EQ(silent, (Lines{
                          "12 protocoles et 40 combinaisons protocole/adressage essayés — aucune réponse.",
                          "Aucun trafic entendu sur le bus : l'adaptateur ne voit rien passer. Vérifiez que le contact "
                          "est mis (position 2, moteur pas nécessairement démarré) et que la prise est enfoncée à fond.",
                          "Sur certains véhicules la prise OBD n'est alimentée que contact mis ; sur d'autres, un "
                          "fusible dédié protège la prise.",
                          adapterLine,
                      }));

    const Lines ten{"0C8", "100", "18DAF110", "200", "300", "400", "500", "600", "700", "7E8"};
    const Lines heard = sweepFailureDiagnostics(outcomeOf(1, 1), ten);
    EXPECT_EQ(heard, (Lines{
                         "1 protocoles et 1 combinaisons protocole/adressage essayés — aucune réponse.",
                         "Trafic entendu sur le bus (0C8, 100, 18DAF110, 200, 300, 400) : le câblage est bon, seul le "
                         "dialogue de diagnostic échoue.",
                         "Ces adresses peuvent servir d'adressage physique — envoyez-les-moi et j'ajoute la combinaison.",
                         adapterLine,
                     }));
    EXPECT_EQ(sweepFailureDiagnostics(outcomeOf(1, 1), {"7E8", "7E9"})[1],
              "Trafic entendu sur le bus (7E8, 7E9) : le câblage est bon, seul le dialogue de diagnostic échoue.");
}

TEST(ConnectionDiagnosisTests, UnreachableAdviceQuotesTheAdapterErrorWord) {
    const Lines common{
        "L'adaptateur ELM327 fonctionne, mais le véhicule ne répond pas.",
        "Vérifiez que le contact est mis (position 2, tableau de bord allumé).",
        "Vérifiez que l'adaptateur est bien enfoncé dans la prise OBD.",
        "Certains véhicules n'ouvrent le bus que moteur tournant.",
        "Le protocole est en détection automatique (ATSP0).",
    };
    Lines withError = common;
    withError.push_back("Réponse de l'adaptateur : UNABLE TO CONNECT");
    Lines silent = common;
    silent.push_back("Aucune réponse du bus.");
    EXPECT_EQ(vehicleUnreachableDiagnostics(ELM327Error::unableToConnect), withError);
    EXPECT_EQ(vehicleUnreachableDiagnostics(std::nullopt), silent);
    EXPECT_EQ(unreachableMessage(ELM327Error::noData), "Véhicule injoignable — NO DATA");
    EXPECT_EQ(unreachableMessage(std::nullopt), "Véhicule injoignable — aucune réponse");
}

TEST(ConnectionDiagnosisTests, AnErrorReadsAsItsOwnDescription) {
    EXPECT_EQ(errorText(std::make_exception_ptr(std::runtime_error("Connexion refusée"))), "Connexion refusée");
    EXPECT_EQ(errorText(std::make_exception_ptr(42)), "erreur inconnue");
}
