#include "VEQProtocol/SecurityAccessProvider.hpp"

namespace veq {

SecurityAccessError SecurityAccessError::ecuNotSupported(std::string ecu) {
    const std::string what = "Le provider chargé ne couvre pas le calculateur " + ecu + ".";
    return SecurityAccessError(Kind::ecuNotSupported, std::move(ecu), what);
}

SecurityAccessError SecurityAccessError::noProviderLoaded() {
    return SecurityAccessError(Kind::noProviderLoaded, {},
                               "Aucun provider d'accès sécurisé chargé — écriture impossible (comportement attendu).");
}

SecurityAccessError SecurityAccessError::keyRejected() {
    return SecurityAccessError(Kind::keyRejected, {}, "Le calculateur a refusé la clé calculée.");
}

void SecurityAccessRegistry::registerProvider(std::shared_ptr<SecurityAccessProvider> provider) {
    if (!provider) return;
    std::lock_guard lock(mutex_);
    providers_.push_back(std::move(provider));
}

void SecurityAccessRegistry::removeAll() {
    Providers released;
    {
        std::lock_guard lock(mutex_);
        released.swap(providers_);
    }
    // A provider's destructor is its own code: it runs here, outside the lock.
}

// Readers work on a copy taken under the lock, so that provider code never runs while it is held
// and every answer reflects one consistent moment of the list.
SecurityAccessRegistry::Providers SecurityAccessRegistry::snapshot() const {
    std::lock_guard lock(mutex_);
    return providers_;
}

std::shared_ptr<SecurityAccessProvider> SecurityAccessRegistry::firstCovering(const Providers& providers,
                                                                              const std::string& ecu) {
    for (const auto& candidate : providers) {
        if (candidate->supportedECUs().contains(ecu)) return candidate;
    }
    return nullptr;
}

std::vector<std::string> SecurityAccessRegistry::loadedIdentifiers() const {
    std::vector<std::string> identifiers;
    for (const auto& p : snapshot()) identifiers.push_back(p->identifier());
    return identifiers;
}

std::shared_ptr<SecurityAccessProvider> SecurityAccessRegistry::provider(const std::string& ecu) const {
    return firstCovering(snapshot(), ecu);
}

bool SecurityAccessRegistry::hasAnyProvider() const {
    std::lock_guard lock(mutex_);
    return !providers_.empty();
}

std::vector<std::uint8_t> SecurityAccessRegistry::computeKey(std::span<const std::uint8_t> seed, std::uint8_t level,
                                                             const std::string& ecu) const {
    const Providers providers = snapshot();
    if (providers.empty()) throw SecurityAccessError::noProviderLoaded();
    const auto chosen = firstCovering(providers, ecu);
    if (!chosen) throw SecurityAccessError::ecuNotSupported(ecu);
    return chosen->computeKey(seed, level, ecu);
}

} // namespace veq
