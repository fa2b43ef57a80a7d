#pragma once

#include "VEQSupport/Error.hpp"

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace veq {

// Computes the SecurityAccess (0x27) key of the ECUs it covers. The system ships none.
class SecurityAccessProvider {
public:
    virtual ~SecurityAccessProvider() = default;

    // The name the registry lists.
    virtual std::string identifier() const = 0;
    // ECU names matched exactly, case included.
    virtual std::set<std::string> supportedECUs() const = 0;
    // The key for this seed at this level (the odd sub-function of the seed request). May throw;
    // may be called from several threads at once.
    virtual std::vector<std::uint8_t> computeKey(std::span<const std::uint8_t> seed, std::uint8_t level,
                                                 const std::string& ecu) = 0;
};

class SecurityAccessError : public Error {
public:
    enum class Kind { ecuNotSupported, noProviderLoaded, keyRejected };

    static SecurityAccessError ecuNotSupported(std::string ecu);
    static SecurityAccessError noProviderLoaded();
    // Raised by whoever sent the key, when the ECU refused it.
    static SecurityAccessError keyRejected();

    Kind kind() const { return kind_; }
    // The ECU name of ecuNotSupported; empty otherwise.
    const std::string& ecu() const { return ecu_; }

    bool operator==(const SecurityAccessError& o) const { return kind_ == o.kind_ && ecu_ == o.ecu_; }

private:
    SecurityAccessError(Kind kind, std::string ecu, const std::string& what)
        : Error(what), kind_(kind), ecu_(std::move(ecu)) {}

    Kind kind_;
    std::string ecu_;
};

// Holds the registered providers in registration order and routes each key request to the
// first one covering the ECU. Thread-safe; providers are only ever called outside the lock, and
// a request keeps its provider alive even if every provider is removed meanwhile.
class SecurityAccessRegistry {
public:
    SecurityAccessRegistry() = default;
    SecurityAccessRegistry(const SecurityAccessRegistry&) = delete;
    SecurityAccessRegistry& operator=(const SecurityAccessRegistry&) = delete;

    // Appends the provider (twice registered, twice listed). A null provider is ignored.
    void registerProvider(std::shared_ptr<SecurityAccessProvider> provider);
    void removeAll();

    std::vector<std::string> loadedIdentifiers() const;
    // The first provider, in registration order, whose supportedECUs contains `ecu` exactly.
    std::shared_ptr<SecurityAccessProvider> provider(const std::string& ecu) const;
    bool hasAnyProvider() const;

    // Throws SecurityAccessError::noProviderLoaded with no provider at all, ecuNotSupported when none
    // covers the ECU; otherwise returns the chosen provider's key, its errors passing through unchanged.
    std::vector<std::uint8_t> computeKey(std::span<const std::uint8_t> seed, std::uint8_t level,
                                         const std::string& ecu) const;

private:
    using Providers = std::vector<std::shared_ptr<SecurityAccessProvider>>;

    Providers snapshot() const;
    static std::shared_ptr<SecurityAccessProvider> firstCovering(const Providers& providers, const std::string& ecu);

    mutable std::mutex mutex_;
    Providers providers_;
};

} // namespace veq
