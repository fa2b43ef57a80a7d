#include "VEQProtocol/SecurityAccessProvider.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Answers with its tag, the level and the seed, so a test can tell which provider answered.
class FakeProvider : public SecurityAccessProvider {
public:
    FakeProvider(std::string id, std::set<std::string> ecus, std::uint8_t tag) : id_(std::move(id)), ecus_(std::move(ecus)), tag_(tag) {}
    std::string identifier() const override { return id_; }
    std::set<std::string> supportedECUs() const override { return ecus_; }
    Bytes computeKey(std::span<const std::uint8_t> seed, std::uint8_t level, const std::string& ecu) override {
        if (!ecus_.contains(ecu)) throw std::logic_error("asked for an ECU it does not cover");
        // Sized once and filled: GCC 12 at -O3 warns wrongly (array-bounds) about inserting the
        // seed after a two-byte initializer list.
        Bytes key(2 + seed.size());
        key[0] = tag_;
        key[1] = level;
        std::copy(seed.begin(), seed.end(), key.begin() + 2);
        return key;
    }

private:
    std::string id_;
    std::set<std::string> ecus_;
    std::uint8_t tag_;
};

std::optional<SecurityAccessError> failure(const SecurityAccessRegistry& registry, const std::string& ecu) {
    try {
        registry.computeKey(Bytes{0x11}, 0x01, ecu);
    } catch (const SecurityAccessError& e) {
        return e;
    }
    return std::nullopt;
}

} // namespace

TEST(SecurityAccessRegistryTests, RoutesToTheFirstCoveringProvider) {
    SecurityAccessRegistry registry;
    registry.registerProvider(nullptr);
    EXPECT_FALSE(registry.hasAnyProvider());
    EXPECT_EQ(failure(registry, "7E0"), SecurityAccessError::noProviderLoaded());

    auto engine = std::make_shared<FakeProvider>("moteur", std::set<std::string>{"7E0"}, 0xA0);
    auto both = std::make_shared<FakeProvider>("double", std::set<std::string>{"7E0", "7E1"}, 0xB0);
    registry.registerProvider(engine);
    registry.registerProvider(both);
    registry.registerProvider(engine); // listed twice
    EXPECT_EQ(registry.loadedIdentifiers(), (std::vector<std::string>{"moteur", "double", "moteur"}));
    EXPECT_EQ(registry.computeKey(Bytes{0x12, 0x34}, 0x03, "7E0"), (Bytes{0xA0, 0x03, 0x12, 0x34}));
    EXPECT_EQ(registry.computeKey(Bytes{0x56}, 0x01, "7E1"), (Bytes{0xB0, 0x01, 0x56}));
    EXPECT_EQ(registry.provider("7E1"), both);
    EXPECT_EQ(registry.provider("7e0"), nullptr);
    for (const char* ecu : {"7E2", "7e0", " 7E0", ""}) {
        const auto e = failure(registry, ecu);
        ASSERT_TRUE(e) << ecu;
        EXPECT_EQ(*e, SecurityAccessError::ecuNotSupported(ecu));
        EXPECT_EQ(std::string(e->what()), std::string("Le provider chargé ne couvre pas le calculateur ") + ecu + ".");
    }
    registry.removeAll();
    EXPECT_FALSE(registry.hasAnyProvider());
    EXPECT_EQ(failure(registry, "7E0"), SecurityAccessError::noProviderLoaded());
}

TEST(SecurityAccessRegistryTests, ProviderErrorsPassThroughUnchanged) {
    struct Refusing : SecurityAccessProvider {
        std::string identifier() const override { return "refus"; }
        std::set<std::string> supportedECUs() const override { return {"7E0"}; }
        Bytes computeKey(std::span<const std::uint8_t>, std::uint8_t, const std::string&) override { throw SecurityAccessError::keyRejected(); }
    };
    SecurityAccessRegistry registry;
    registry.registerProvider(std::make_shared<Refusing>());
    EXPECT_EQ(failure(registry, "7E0"), SecurityAccessError::keyRejected());
    EXPECT_STREQ(SecurityAccessError::noProviderLoaded().what(),
                 "Aucun provider d'accès sécurisé chargé \u2014 écriture impossible (comportement attendu).");
    EXPECT_STREQ(SecurityAccessError::keyRejected().what(), "Le calculateur a refusé la clé calculée.");
}

// The provider is called outside the lock: while one request is inside it, the registry can be
// emptied, and the request still completes on the provider it chose, which is freed only afterwards.
TEST(SecurityAccessRegistryTests, RemoveAllDuringKeyComputation) {
    struct Blocking : SecurityAccessProvider {
        std::shared_future<void> proceed;
        std::atomic<bool>* stuck = nullptr;
        std::promise<void> entered;
        std::string identifier() const override { return "bloquant"; }
        std::set<std::string> supportedECUs() const override { return {"7E0"}; }
        Bytes computeKey(std::span<const std::uint8_t>, std::uint8_t, const std::string&) override {
            entered.set_value();
            // Bounded, so that a registry holding its lock here fails the test instead of hanging it.
            if (proceed.wait_for(std::chrono::seconds(20)) != std::future_status::ready) *stuck = true;
            return {0x42};
        }
    };
    SecurityAccessRegistry registry;
    std::promise<void> go;
    std::atomic<bool> stuck{false};
    auto provider = std::make_shared<Blocking>();
    provider->proceed = go.get_future().share();
    provider->stuck = &stuck;
    auto entered = provider->entered.get_future();
    std::weak_ptr<Blocking> watch = provider;
    registry.registerProvider(std::move(provider));

    auto request = std::async(std::launch::async, [&] { return registry.computeKey(Bytes{0x01}, 0x01, "7E0"); });
    ASSERT_EQ(entered.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    registry.removeAll();
    EXPECT_FALSE(registry.hasAnyProvider());
    EXPECT_FALSE(watch.expired()); // the request in flight keeps its provider alive
    go.set_value();
    EXPECT_EQ(request.get(), Bytes{0x42});
    EXPECT_FALSE(stuck.load());   // removeAll did not wait for the provider
    EXPECT_TRUE(watch.expired()); // and once the request is done, nothing holds it
}
