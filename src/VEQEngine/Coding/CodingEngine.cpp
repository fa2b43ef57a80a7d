#include "VEQEngine/Coding/CodingEngine.hpp"

#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/Session/ExchangeCancelled.hpp"
#include "VEQEngine/UDS/UDSClient.hpp"
#include "VEQProtocol/SecurityAccessProvider.hpp"
#include "VEQProtocol/UDSService.hpp"
#include "VEQSupport/ISO8601.hpp"
#include "VEQSupport/Text.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace veq {

namespace {

using Kind = AuditEntry::Kind;

constexpr std::string_view kReadOnlyReason =
    "Cette opération exige le service UDS 0x27 (SecurityAccess), dont l'algorithme graine/clé est propriétaire "
    "Mercedes et n'est pas public. Aucun provider n'est fourni avec Oskavel Car : la sauvegarde et la lecture "
    "fonctionnent, l'écriture non. Le codage réel passe par XENTRY, Vediamo ou DTS Monaco avec une interface SD "
    "Connect ou un passthru J2534.";
constexpr std::string_view kNotConfirmed = "Confirmation explicite de l'utilisateur absente.";
constexpr std::string_view kRestoreNeedsSecurity =
    "La restauration écrit dans le calculateur et exige donc le SecurityAccess (0x27), indisponible sans provider. "
    "La sauvegarde reste intacte et exportable : un atelier équipé de XENTRY ou DTS Monaco peut la réappliquer.";
constexpr std::string_view kRestoreUnsupported = "restauration non prise en charge";
constexpr std::string_view kAlteredBackup = "Sauvegarde altérée : l'empreinte de contrôle ne correspond pas.";
constexpr std::string_view kReadBackFailed = "Écriture non confirmée : relecture impossible";
constexpr std::string_view kReadBackDiffers = "Écriture non confirmée : valeur relue différente";
constexpr std::string_view kNothingToWrite =
    "Cette recette ne fait que lire : elle n'a aucune étape d'écriture, il n'y a rien à écrire dans le calculateur.";
constexpr std::string_view kSessionBusy = "Session occupée : écriture abandonnée";

// Adapter headers: 11-bit (3 digits) or 29-bit (8 digits) CAN identifiers. Anything else would
// leave the adapter on its current (functional) header, or put a second command on the line.
bool isHeader(std::string_view address) {
    return (address.size() == 3 || address.size() == 8) && std::all_of(address.begin(), address.end(), text::isHexDigit);
}

// Functional request headers, which every ECU of the bus takes as its own: 7DF on 11 bits,
// 18DB.... on 29 bits. A write sent there would change every ECU at once.
bool isFunctionalHeader(std::string_view header) {
    const std::string upper = text::toUpperASCII(header);
    return upper == "7DF" || (upper.size() == 8 && upper.starts_with("18DB"));
}

// Hexadecimal digits of either case, nothing else, read into at most `maxValue`.
std::optional<unsigned> parseHex(std::string_view digits, unsigned maxValue) {
    if (digits.empty()) return std::nullopt;
    unsigned value = 0;
    for (char c : digits) {
        if (!text::isHexDigit(c)) return std::nullopt;
        const unsigned digit = c <= '9' ? unsigned(c - '0') : unsigned((c | 0x20) - 'a' + 10);
        value = value * 16 + digit;
        if (value > maxValue) return std::nullopt;
    }
    return value;
}

// The service of a step read loosely (blanks, case, "0x" prefix), only to tell which steps
// would change the ECU: such a step is either carried out exactly as written or refused.
std::optional<unsigned> looseService(std::string_view service) {
    constexpr std::string_view blanks = " \t\r\n\v\f";
    const auto first = service.find_first_not_of(blanks);
    if (first == std::string_view::npos) return std::nullopt;
    std::string s = text::toUpperASCII(service.substr(first, service.find_last_not_of(blanks) - first + 1));
    if (s.starts_with("0X")) s.erase(0, 2);
    return parseHex(s, 0xFF);
}

struct WriteStep {
    std::string didText; // as written in the recipe, for the audit
    std::uint16_t did = 0;
    std::uint8_t value = 0;
};

struct WritePlan {
    std::vector<WriteStep> steps;
    std::vector<std::string> refusals;
    bool changesECU = false; // some step would write or start a routine, carried out or not
};

// Every step that would change the ECU is checked before anything is sent: a recipe is run
// whole or not at all. Steps of other services are the engine's own work (session, security
// access) or reads and resets it never sends.
WritePlan planWrites(const CodingRecipe& recipe) {
    WritePlan plan;
    if (!recipe.ecuAddress || !isHeader(*recipe.ecuAddress)) {
        plan.refusals.push_back(fmt::format("Adresse du calculateur « {} » invalide : 3 ou 8 chiffres hexadécimaux "
                                            "attendus.",
                                            recipe.ecuAddress.value_or("")));
    } else if (isFunctionalHeader(*recipe.ecuAddress)) {
        plan.refusals.push_back(fmt::format("Adresse du calculateur « {} » fonctionnelle : l'écriture atteindrait "
                                            "tous les calculateurs du bus.",
                                            *recipe.ecuAddress));
    }
    for (const RecipeStep& step : recipe.steps) {
        const auto service = looseService(step.service);
        if (service != 0x2E && service != 0x31) continue;
        plan.changesECU = true;
        const std::string didText = step.did.value_or("");
        if (service == 0x31) {
            // A routine is started with RoutineControl, never by writing its number as an identifier.
            plan.refusals.push_back(fmt::format("Étape {} (RoutineControl) sur « {} » non prise en charge : une "
                                                "routine n'est jamais envoyée comme une écriture.",
                                                step.service, didText));
            continue;
        }
        std::string digits = didText;
        for (auto at = digits.find("0x"); at != std::string::npos; at = digits.find("0x")) digits.erase(at, 2);
        const auto did = parseHex(digits, 0xFFFF);
        const auto value = parseHex(step.value.value_or(""), 0xFF);
        if (step.service != "0x2E" || !step.did || !did || !value) {
            plan.refusals.push_back(fmt::format("Étape d'écriture illisible (service « {} », DID « {} », valeur « {} ») : "
                                                "identifiant sur 16 bits et valeur sur un octet attendus.",
                                                step.service, didText, step.value.value_or("")));
            continue;
        }
        plan.steps.push_back({didText, static_cast<std::uint16_t>(*did), static_cast<std::uint8_t>(*value)});
    }
    if (plan.steps.empty() && plan.refusals.empty()) plan.refusals.emplace_back(kNothingToWrite);
    return plan;
}

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (const auto& part : parts) {
        if (!out.empty()) out += separator;
        out += part;
    }
    return out;
}

std::string describe(const std::exception& error) {
    if (const auto* security = dynamic_cast<const SecurityAccessError*>(&error)) {
        switch (security->kind()) {
        case SecurityAccessError::Kind::noProviderLoaded:
            return "Aucun provider d'accès sécurisé chargé \u2014 écriture impossible (comportement attendu).";
        case SecurityAccessError::Kind::keyRejected: return "Le calculateur a refusé la clé calculée.";
        case SecurityAccessError::Kind::ecuNotSupported:
            return "Le provider chargé ne couvre pas le calculateur " + security->ecu() + ".";
        }
    }
    if (const auto* uds = dynamic_cast<const UDSError*>(&error)) {
        if (const auto code = uds->negativeResponseCode(); code && uds->kind() == UDSError::Kind::negativeResponse) {
            return "Réponse négative du calculateur : " + std::string(description(*code)) + ".";
        }
    }
    return error.what();
}

// A failure of the execution, already worded in French, with the step it concerns.
class ExecutionFailure : public Error {
public:
    ExecutionFailure(std::string_view description, const WriteStep& step, std::optional<std::string> before,
                     std::optional<std::string> after)
        : Error(std::string(description)), step(step), valueBefore(std::move(before)), valueAfter(std::move(after)) {}

    WriteStep step;
    std::optional<std::string> valueBefore;
    std::optional<std::string> valueAfter;
};

class SelectionFailure : public Error {
public:
    using Error::Error;
};

std::optional<std::vector<std::uint8_t>> tryRead(UDSClient& client, std::uint16_t did, std::stop_token stop) {
    try {
        return client.readDataByIdentifier(did, stop);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::string> hexOf(const std::optional<std::vector<std::uint8_t>>& bytes) {
    if (!bytes) return std::nullopt;
    return text::hexUpper(*bytes, " ");
}

// "2025-03-01 14:05:09 +0000".
std::string plainDate(std::chrono::system_clock::time_point date) {
    std::string text = iso8601::format(date);
    text[10] = ' ';
    text.pop_back();
    return text + " +0000";
}

class SessionBusy : public Error {
public:
    SessionBusy() : Error(std::string(kSessionBusy)) {}
};

// The session's exclusive section, waited for at most `limit` and only as long as `stop` allows.
// Throws SessionBusy when the time ran out, ExchangeCancelled when the caller stopped or the
// session closed.
ELM327Session::ExclusiveSection holdSession(ELM327Session& session, std::chrono::nanoseconds limit,
                                            std::stop_token stop) {
    std::stop_source expiry;
    std::stop_callback forward(stop, [&expiry] { expiry.request_stop(); });
    std::jthread timer([&expiry, limit](std::stop_token held) {
        std::mutex mutex;
        std::condition_variable_any woken;
        std::unique_lock lock(mutex);
        woken.wait_for(lock, held, limit, [] { return false; });
        if (!held.stop_requested()) expiry.request_stop();
    });
    try {
        return session.exclusive(expiry.get_token());
    } catch (const ExchangeCancelled&) {
        if (expiry.stop_requested() && !stop.stop_requested()) throw SessionBusy();
        throw;
    }
}

// Runs `body` within one exclusive section of the session addressed to the ECU at `address`: its
// header goes out when the section opens, and `client`, aimed at it, sends every request with it.
// `body` learns why the selection failed, or nothing when the adapter took the header. An invalid
// address is never sent (it could carry a second command): the client is left unaimed.
template <class Body>
void withECUSelected(ELM327Session& session, UDSClient& client, const std::string& address, std::stop_token stop,
                     Body&& body) {
    if (!isHeader(address)) {
        const ELM327Session::ExclusiveSection section = session.exclusive(stop);
        body(std::optional<std::string>(fmt::format("Adresse du calculateur « {} » invalide : sélection impossible.",
                                                    address)));
        return;
    }
    client.target(address);
    const ELM327Session::ExclusiveSection section = session.exclusive(TransmitHeader::of(address), stop);
    std::optional<std::string> failure;
    if (const std::optional<ELM327Response>& reply = section.selection(); reply && reply->error) {
        failure = fmt::format("Sélection du calculateur {} impossible \u2014 réponse de l'adaptateur : {}", address,
                              description(*reply->error));
    } else if (!reply || !reply->promptTerminated) {
        failure = fmt::format("Sélection du calculateur {} impossible \u2014 aucune réponse de l'adaptateur", address);
    }
    body(failure);
}

} // namespace

std::string_view Feasibility::label() const {
    switch (kind) {
    case Kind::readOnly: return "Lecture seule";
    case Kind::forbidden: return "Interdit";
    case Kind::executable: return "Exécutable";
    case Kind::ecuUnreachable: return "ECU injoignable";
    }
    return {};
}

std::string Feasibility::explanation() const {
    switch (kind) {
    case Kind::readOnly:
    case Kind::forbidden: return reason;
    case Kind::executable: return "Le matériel connecté et l'état du véhicule permettent cette opération.";
    case Kind::ecuUnreachable:
        return "Le calculateur ciblé n'a pas répondu lors du balayage. Il est peut-être sur un bus non routé vers la "
               "prise OBD (CAN-B, CAN-HMI), ce qui est le cas de la plupart des calculateurs de confort sur les "
               "plateformes 2019.";
    }
    return {};
}

CodingEngine::CodingEngine(std::shared_ptr<ELM327Session> session, std::shared_ptr<SecurityAccessRegistry> registry,
                           std::shared_ptr<ECUBackupStore> backups, std::shared_ptr<AuditLog> audit,
                           std::optional<std::string> vin, std::chrono::nanoseconds sessionWait)
    : session_(std::move(session)), registry_(std::move(registry)), backups_(std::move(backups)),
      audit_(std::move(audit)), vin_(std::move(vin)), sessionWait_(sessionWait) {}

Feasibility CodingEngine::feasibility(const CodingRecipe& recipe, const std::set<std::string>& reachableECUs) const {
    if (recipe.safetyImpact == SafetyImpact::safetyCritical) {
        return Feasibility::forbidden(std::string(*warning(SafetyImpact::safetyCritical)));
    }
    if (recipe.ecuAddress && !reachableECUs.empty() && !reachableECUs.contains(*recipe.ecuAddress)) {
        return Feasibility::ecuUnreachable();
    }
    const WritePlan plan = planWrites(recipe);
    if (!plan.changesECU) return Feasibility::readOnly(std::string(kNothingToWrite));
    if (recipe.requiresSecurityAccess && !registry_->provider(recipe.ecuAddress.value_or(""))) {
        return Feasibility::readOnly(std::string(kReadOnlyReason));
    }
    // What execute would refuse after every guard passed: say so before the user makes a backup.
    if (!plan.refusals.empty()) return Feasibility::readOnly(join(plan.refusals, " "));
    return Feasibility::executable();
}

GuardVerdict CodingEngine::evaluateGuards(const CodingRecipe& recipe, bool expertAccepted,
                                          std::optional<double> batteryVoltage, std::optional<double> rpm,
                                          std::optional<double> speedKmh) const {
    const std::string key = recipe.ecuAddress.value_or("");
    const auto latest = backups_->latest(key, vin_);
    const auto now = std::chrono::system_clock::now();
    WriteGuard::Context context;
    context.expertModeAccepted = expertAccepted;
    context.hasValidBackup = backups_->hasValidBackup(key, vin_, now);
    if (latest) context.backupAge = latest->age(now);
    context.batteryVoltage = batteryVoltage;
    context.rpm = rpm;
    context.speedKmh = speedKmh;
    context.hasSecurityProvider = registry_->provider(key) != nullptr;
    return guardian_.evaluate(recipe, context);
}

ECUBackup CodingEngine::backupECU(const std::string& name, const std::string& address,
                                  const std::optional<std::string>& vin, const ECUBackupStore::Progress& onProgress,
                                  std::stop_token stop) {
    std::optional<ECUBackup> backup;
    UDSClient client(*session_);
    try {
        withECUSelected(*session_, client, address, stop, [&](const std::optional<std::string>& failure) {
            backup = backups_->createBackup(name, address, vin, client, !failure, ECUBackupStore::standardDIDs,
                                            onProgress, stop);
        });
    } catch (const std::exception&) {
        // The session could not be had (cancelled, closed) or the selection not sent (link lost):
        // nothing is read, and the empty backup that records the attempt is never verified.
        if (!backup) backup = backups_->createBackup(name, address, vin, client, false, {}, onProgress, stop);
    }
    // A backup that never reached the disk is gone at the next start and allows no write.
    record(Kind::backupCreated, address,
           fmt::format("{} \u2014 {} DID{}", backup->verified ? "Sauvegarde vérifiée" : "Sauvegarde NON vérifiée",
                       backup->didCount(),
                       backups_->isPersisted(backup->id) ? "" : " \u2014 NON enregistrée sur le disque"));
    return *backup;
}

void CodingEngine::recordExpertAcceptance() {
    record(Kind::expertAccepted, std::nullopt, "Avertissement du mode Expert lu et accepté par l'utilisateur");
}

CodingEngine::ExecutionResult CodingEngine::execute(const CodingRecipe& recipe, bool expertAccepted,
                                                    bool userConfirmed, const LiveValuesSource& live,
                                                    std::stop_token stop) {
    const auto& ecu = recipe.ecuAddress;
    const auto refuse = [&](std::vector<std::string> reasons, std::string_view prefix) {
        record(Kind::writeRefused, ecu, std::string(prefix) + join(reasons, " | "), recipe.id);
        return ExecutionResult::refused(std::move(reasons));
    };

    record(Kind::writeAttempted, ecu, "Tentative d'exécution demandée", recipe.id);
    if (!userConfirmed) return refuse({std::string(kNotConfirmed)}, "");

    // The session first, the live values after: values measured before a wait for the session
    // may no longer hold when the writes go out.
    std::optional<ELM327Session::ExclusiveSection> section;
    try {
        section.emplace(holdSession(*session_, sessionWait_, stop));
    } catch (const std::exception& error) {
        return refuse({describe(error)}, ""); // nothing was sent
    }
    LiveValues values;
    try {
        if (live) values = live();
    } catch (const std::exception&) {
        // Unmeasured values: the guard refuses without a battery voltage.
    }
    const GuardVerdict verdict =
        evaluateGuards(recipe, expertAccepted, values.batteryVoltage, values.rpm, values.speedKmh);
    if (!verdict.isAllowed()) {
        std::vector<std::string> reasons;
        for (const GuardCheck& check : verdict.blockingFailures()) reasons.push_back(check.title + " \u2014 " + check.detail);
        return refuse(std::move(reasons), "Refusée par le WriteGuard : ");
    }

    const WritePlan plan = planWrites(recipe);
    if (!plan.refusals.empty()) return refuse(plan.refusals, "Recette refusée : ");

    const std::string address = *ecu; // planWrites refused a recipe without a valid address
    try {
        UDSClient client(*session_);
        withECUSelected(*session_, client, address, stop, [&](const std::optional<std::string>& failure) {
            if (failure) throw SelectionFailure(*failure);
            const std::array<std::uint8_t, 1> extended{rawValue(UDSSessionType::extended)};
            client.request(UDSService::diagnosticSessionControl, extended, 2, stop);
            if (recipe.requiresSecurityAccess) {
                const std::array<std::uint8_t, 1> seedRequest{0x01};
                const auto seed = client.request(UDSService::securityAccess, seedRequest, 2, stop);
                const auto key = registry_->computeKey(seed, 1, address);
                std::vector<std::uint8_t> sendKey{0x02};
                sendKey.insert(sendKey.end(), key.begin(), key.end());
                client.request(UDSService::securityAccess, sendKey, 2, stop);
            }
            for (const WriteStep& step : plan.steps) {
                const auto before = hexOf(tryRead(client, step.did, stop));
                const std::array<std::uint8_t, 3> write{static_cast<std::uint8_t>(step.did >> 8),
                                                        static_cast<std::uint8_t>(step.did), step.value};
                try {
                    client.request(UDSService::writeDataByIdentifier, write, 2, stop);
                } catch (const std::exception& e) {
                    throw ExecutionFailure(describe(e), step, before, std::nullopt);
                }
                const auto readBack = tryRead(client, step.did, stop);
                if (!readBack) throw ExecutionFailure(kReadBackFailed, step, before, std::nullopt);
                const std::vector<std::uint8_t> written{step.value};
                if (*readBack != written) throw ExecutionFailure(kReadBackDiffers, step, before, hexOf(readBack));
                record(Kind::writeSucceeded, address, "Écriture confirmée par relecture", recipe.id, step.didText,
                       before, hexOf(readBack));
            }
        });
    } catch (const ExecutionFailure& failure) {
        // The identifier a failed or unconfirmed write touched, and what was read around it.
        record(Kind::writeFailed, address, failure.what(), recipe.id, failure.step.didText, failure.valueBefore,
               failure.valueAfter);
        return ExecutionResult::failed(failure.what());
    } catch (const std::exception& error) {
        const std::string description = describe(error);
        record(Kind::writeFailed, address, description, recipe.id);
        return ExecutionResult::failed(description);
    }
    return ExecutionResult::succeeded();
}

CodingEngine::ExecutionResult CodingEngine::restore(const ECUBackup& backup) {
    record(Kind::restoreAttempted, backup.ecuAddress,
           "Restauration demandée (sauvegarde du " + plainDate(backup.createdAt) + ")");
    if (!backup.isIntact()) return ExecutionResult::failed(std::string(kAlteredBackup));
    // No restore exchange is defined, so even with a provider nothing may be written back.
    const std::string_view reason = registry_->provider(backup.ecuAddress) ? kRestoreUnsupported : kRestoreNeedsSecurity;
    record(Kind::writeRefused, backup.ecuAddress, std::string(reason));
    return ExecutionResult::refused({std::string(reason)});
}

void CodingEngine::record(AuditEntry::Kind kind, std::optional<std::string> ecu, std::string result,
                          std::optional<std::string> recipe, std::optional<std::string> did,
                          std::optional<std::string> valueBefore, std::optional<std::string> valueAfter) {
    audit_->record({UUID::random(), std::chrono::system_clock::now(), kind, std::move(ecu), std::move(did),
                    std::move(valueBefore), std::move(valueAfter), std::move(recipe), std::move(result)});
}

} // namespace veq
