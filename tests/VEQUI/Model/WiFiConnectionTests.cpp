// Connections over Wi-Fi: an adapter behind a TCP server on 127.0.0.1, the simulated car's or
// a mute one.
#include "ConnectionFixtures.hpp"

#include "VEQTransportPlatform/LoopbackServer.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

using namespace veq;
using namespace veq::testing;

namespace {

// Serves one connection: every command line is answered by the simulated car's emulator (or by
// nothing at all, when mute), until the application closes the link or the test ends.
class CarServer {
public:
    explicit CarServer(bool mute = false) : mute_(mute), thread_([this](std::stop_token stop) { serve(stop); }) {}

    std::uint16_t port() const { return server_.port(); }
    bool served() const { return served_.load(); }
    bool closedByPeer() const { return closed_.load(); }
    // The adapter closes the connection (its process ended, it reset).
    void hangUp() { hangUp_ = true; }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    void serve(std::stop_token stop) {
        Socket client = server_.accept();
        if (!client.valid()) return;
        served_ = true;
        ELM327Emulator emulator;
        VehicleSimulation simulation;
        const auto start = std::chrono::steady_clock::now();
        std::string pending;
        char buffer[1024];
        while (!stop.stop_requested() && !hangUp_) {
            pollfd p{client.fd(), POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::recv(client.fd(), buffer, sizeof buffer, 0);
            if (n <= 0) break;
            pending.append(buffer, static_cast<std::size_t>(n));
            for (auto cr = pending.find('\r'); cr != std::string::npos; cr = pending.find('\r')) {
                const std::string line = pending.substr(0, cr);
                pending.erase(0, cr + 1);
                {
                    std::lock_guard lock(mutex_);
                    lines_.push_back(line);
                }
                if (mute_) continue;
                const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                const auto bytes = emulator.respond(line, simulation.state(t));
                client.sendAll(std::string(bytes.begin(), bytes.end()));
            }
        }
        closed_ = !stop.stop_requested() && !hangUp_;
    }

    const bool mute_;
    LoopbackServer server_;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::atomic<bool> served_{false};
    std::atomic<bool> closed_{false};
    std::atomic<bool> hangUp_{false};
    std::jthread thread_; // last: stopped before the server goes
};

} // namespace

TEST(WiFiConnectionTests, ALiveConnectionToTheUsersEndpoint) {
    CarServer server;
    ConnectionRig rig({.factory = {}}); // the built-in transports
    rig->setTransportKind(TransportKind::wifi);
    rig->setWifiHost("127.0.0.1");
    rig->setWifiPort(std::to_string(server.port()));

    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    EXPECT_TRUE(server.served());
    EXPECT_EQ(rig->vin(), "WDD2571231A123456");
    EXPECT_TRUE(waitUntil([&] { return rig->store().value(0x0C).has_value(); }));
    ASSERT_TRUE(rig->store().recordingURL().has_value());

    rig->disconnect();
    EXPECT_EQ(rig->phase(), AppModel::Phase::disconnected());
    // The adapter is let go on a worker thread: the server sees the link close.
    EXPECT_TRUE(waitUntil([&] { return server.closedByPeer(); }, std::chrono::seconds(10)));
}

TEST(WiFiConnectionTests, AnAdapterClosingTheConnectionMidDriveIsToldAsALostLink) {
    CarServer server;
    ConnectionRig rig({.factory = {}});
    rig->setTransportKind(TransportKind::wifi);
    rig->setWifiHost("127.0.0.1");
    rig->setWifiPort(std::to_string(server.port()));
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    ASSERT_TRUE(waitUntil([&] { return rig->store().recordedSampleCount() > 0; }));

    server.hangUp();
    EXPECT_TRUE(waitUntil([&] { return rig->linkNotice() == LinkNotice::linkLost; }));
    EXPECT_FALSE(rig->contactOn());
    rig->disconnect();
}

TEST(WiFiConnectionTests, AMuteAdapterFailsAfterTheResetAndTheEchoOff) {
    const std::string silentAdapter = "L'adaptateur ne répond pas — aucune réponse à ATZ ni à ATE0";
    CarServer server(true);
    ConnectionRig rig({.factory = {}, .responseTimeout = std::chrono::milliseconds(300)});
    rig->setTransportKind(TransportKind::wifi);
    rig->setWifiHost("127.0.0.1");
    rig->setWifiPort(std::to_string(server.port()));

    EXPECT_FALSE(rig.connect());
    EXPECT_EQ(rig->phase(), AppModel::Phase::failed(silentAdapter));
    ASSERT_FALSE(rig->diagnostics().empty());
    EXPECT_EQ(rig->diagnostics().front(), "Connectez l'ordinateur au réseau WiFi de l'adaptateur ELM327.");
    EXPECT_EQ(rig->diagnostics().back(), silentAdapter);
    // The link is let go; until then the server had heard only the two steps, no probe.
    EXPECT_TRUE(waitUntil([&] { return server.closedByPeer(); }, std::chrono::seconds(10)));
    EXPECT_EQ(server.lines(), (std::vector<std::string>{"ATZ", "ATE0"}));
}
