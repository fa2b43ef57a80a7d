#include "VEQTransport/Platform/WiFiTransport.hpp"

#include "LoopbackServer.hpp"
#include "StderrCapture.hpp"
#include "VEQTransport/LinkError.hpp"
#include "VEQTransport/OBDAdapterRegistry.hpp"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <future>
#include <signal.h>
#include <thread>

using namespace veq;
using namespace veq::testing;
using namespace std::chrono_literals;
using Endpoint = WiFiTransport::Endpoint;
using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

namespace {

Endpoint local(std::uint16_t port) { return {"127.0.0.1", port}; }

std::string where(std::uint16_t port) { return fmt::format("127.0.0.1:{}", port); }

// What connect did: "ready", or the printed form of what it threw.
std::string connectResult(WiFiTransport& transport, std::stop_token stop = {}) {
    try {
        transport.connect(stop);
        return "ready";
    } catch (const std::exception& e) {
        return e.what();
    }
}

std::string sendResult(WiFiTransport& transport, std::string_view text) {
    try {
        transport.send(Bytes(text.begin(), text.end()));
        return "sent";
    } catch (const std::exception& e) {
        return e.what();
    }
}

// Waits for a condition another thread brings about; false when only a fault can explain it.
template <class Condition>
bool eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + safetyTimeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Pops chunks until `count` bytes came.
std::vector<Bytes> collect(IncomingStream& stream, std::size_t count) {
    std::vector<Bytes> chunks;
    std::size_t total = 0;
    while (total < count) {
        auto chunk = stream.pop(safetyTimeout, {});
        if (!chunk) break;
        total += chunk->size();
        chunks.push_back(std::move(*chunk));
    }
    return chunks;
}

std::string joined(const std::vector<Bytes>& chunks) {
    std::string out;
    for (const Bytes& c : chunks) out.append(c.begin(), c.end());
    return out;
}

} // namespace

TEST(WiFiTransportTests, DefaultEndpointsFollowTheTable) {
    const auto& endpoints = WiFiTransport::defaultEndpoints();
    ASSERT_EQ(endpoints.size(), 6u);
    for (std::size_t i = 0; i < endpoints.size(); ++i) {
        EXPECT_EQ(endpoints[i].host, OBDAdapterRegistry::wifiEndpoints[i].host);
        EXPECT_EQ(endpoints[i].port, OBDAdapterRegistry::wifiEndpoints[i].port);
    }
}

TEST(WiFiTransportTests, EndpointsAreTriedInOrderUntilOneConnects) {
    const std::uint16_t first = refusingPort();
    const std::uint16_t second = refusingPort();
    LoopbackServer adapter;
    StderrCapture trace;
    WiFiTransport transport({local(first), local(second), local(adapter.port()), local(refusingPort())});
    EXPECT_EQ(connectResult(transport), "ready");
    EXPECT_EQ(transport.state(), TransportState::connected());
    EXPECT_EQ(trace.lines(), (Lines{
                                 "WiFi: connexion à " + where(first) + "…",
                                 "WiFi: échec " + where(first) + " — Connection refused",
                                 "WiFi: connexion à " + where(second) + "…",
                                 "WiFi: échec " + where(second) + " — Connection refused",
                                 "WiFi: connexion à " + where(adapter.port()) + "…",
                                 "WiFi: connecté à " + where(adapter.port()),
                             }));
}

TEST(WiFiTransportTests, WhenEveryEndpointFailsTheLastErrorIsThrown) {
    // The same endpoint twice, as when the user's endpoint equals a default one: tried twice.
    const std::uint16_t port = refusingPort();
    StderrCapture trace;
    WiFiTransport transport({local(port), local(port)});
    try {
        transport.connect({});
        ADD_FAILURE() << "connect must fail";
    } catch (const LinkError& e) {
        EXPECT_STREQ(e.what(), "Connection refused");
    }
    EXPECT_EQ(transport.state(), TransportState::failed("Connection refused"));
    EXPECT_EQ(trace.lines().size(), 4u);
}

TEST(WiFiTransportTests, AnEmptyListFindsNoDevice) {
    StderrCapture trace;
    WiFiTransport transport({});
    try {
        transport.connect({});
        ADD_FAILURE() << "connect must fail";
    } catch (const TransportError& e) {
        EXPECT_EQ(e, TransportError::deviceNotFound());
    }
    EXPECT_EQ(transport.state(), TransportState::failed("deviceNotFound"));
    EXPECT_TRUE(trace.lines().empty());
}

TEST(WiFiTransportTests, AnUnansweredAttemptEndsAtItsLimitAndTheNextEndpointIsTried) {
    SilentServer silent;
    if (!silent.leavesRequestsUnanswered()) GTEST_SKIP() << "this kernel answers every connection request";
    LoopbackServer adapter;
    const WiFiTransport::Options options{.attemptLimit = 300ms};
    {
        StderrCapture trace;
        WiFiTransport transport({local(silent.port()), local(adapter.port())}, options);
        EXPECT_EQ(connectResult(transport), "ready");
        const Lines lines = trace.lines();
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[1], "WiFi: échec " + where(silent.port()) + " — Délai de connexion dépassé (0.3 s)");
        EXPECT_EQ(lines[3], "WiFi: connecté à " + where(adapter.port()));
    }
    WiFiTransport alone({local(silent.port())}, options);
    EXPECT_EQ(connectResult(alone), "Délai de connexion dépassé (0.3 s)");
    EXPECT_EQ(alone.state(), TransportState::failed("Délai de connexion dépassé (0.3 s)"));
}

TEST(WiFiTransportTests, StopOrDisconnectEndsAWaitingAttempt) {
    SilentServer silent;
    if (!silent.leavesRequestsUnanswered()) GTEST_SKIP() << "this kernel answers every connection request";
    for (const bool byStop : {false, true}) {
        WiFiTransport transport({local(silent.port()), local(silent.port())}, {.attemptLimit = std::chrono::minutes(10)});
        std::stop_source stop;
        auto result = std::async(std::launch::async, [&] { return connectResult(transport, stop.get_token()); });
        ASSERT_TRUE(eventually([&] { return transport.state() == TransportState::connecting(); }));
        if (byStop) stop.request_stop();
        else transport.disconnect();
        ASSERT_EQ(result.wait_for(safetyTimeout), std::future_status::ready);
        EXPECT_EQ(result.get(), "connectionFailed(\"Connexion annulée\")") << byStop;
        EXPECT_EQ(transport.state(), TransportState::disconnected()) << byStop;
    }
}

TEST(WiFiTransportTests, SendsReachTheAdapterByteExactAndAreTraced) {
    LoopbackServer server;
    WiFiTransport transport({local(server.port())});
    EXPECT_EQ(sendResult(transport, "ATZ\r"), "notConnected");
    ASSERT_EQ(connectResult(transport), "ready");
    Socket adapter = server.accept();
    ASSERT_TRUE(adapter.valid());
    StderrCapture trace;
    EXPECT_EQ(sendResult(transport, "ATZ\r"), "sent");
    EXPECT_EQ(sendResult(transport, "010C\r"), "sent");
    EXPECT_EQ(adapter.receive(9), "ATZ\r010C\r");
    EXPECT_EQ(trace.lines(), (Lines{"WiFi → \"ATZ\u23CE\" [41 54 5A 0D]", "WiFi → \"010C\u23CE\" [30 31 30 43 0D]"}));

    transport.disconnect();
    EXPECT_EQ(sendResult(transport, "ATZ\r"), "notConnected");
    EXPECT_EQ(adapter.receive(1), ""); // the adapter sees the connection end
    EXPECT_FALSE(transport.incoming()->isFinished());
}

TEST(WiFiTransportTests, ALargeReplyArrivesInOrderInChunksOfAtMost4096Bytes) {
    LoopbackServer server;
    WiFiTransport transport({local(server.port())});
    ASSERT_EQ(connectResult(transport), "ready");
    Socket adapter = server.accept();
    std::string reply(5000, '\0');
    for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<char>(i % 251);
    StderrCapture trace;
    adapter.sendAll(reply);
    const auto chunks = collect(*transport.incoming(), reply.size());
    EXPECT_EQ(joined(chunks), reply);
    EXPECT_GE(chunks.size(), 2u);
    for (const Bytes& chunk : chunks) {
        EXPECT_LE(chunk.size(), WiFiTransport::maximumChunkBytes);
        EXPECT_FALSE(chunk.empty());
    }
    EXPECT_EQ(trace.lines().size(), chunks.size()); // one received line per chunk
}

TEST(WiFiTransportTests, ADribbledReplyArrivesWhole) {
    LoopbackServer server;
    WiFiTransport transport({local(server.port())});
    ASSERT_EQ(connectResult(transport), "ready");
    Socket adapter = server.accept();
    const std::string reply = "7E8 06 41 0C 1A F8 00 00\r\r>";
    for (char c : reply) {
        adapter.sendAll(std::string(1, c));
        std::this_thread::sleep_for(1ms); // separate segments
    }
    EXPECT_EQ(joined(collect(*transport.incoming(), reply.size())), reply);
}

TEST(WiFiTransportTests, AnAdapterThatClosesMidReplyIsReported) {
    LoopbackServer server;
    WiFiTransport transport({local(server.port())});
    ASSERT_EQ(connectResult(transport), "ready");
    Socket adapter = server.accept();
    StderrCapture trace;
    adapter.sendAll("41 0C");
    adapter.reset();
    EXPECT_EQ(joined(collect(*transport.incoming(), 5)), "41 0C");
    ASSERT_TRUE(eventually([&] { return transport.state() == TransportState::disconnected(); }));
    EXPECT_EQ(sendResult(transport, "010C\r"), "notConnected");
    EXPECT_EQ(trace.lines(), (Lines{"WiFi ← \"41 0C\" [34 31 20 30 43]",
                                    "WiFi: flux terminé (connexion fermée par l'adaptateur)"}));
    EXPECT_FALSE(transport.incoming()->isFinished());
}

TEST(WiFiTransportTests, SendingOnAClosedConnectionNeverEndsTheProgram) {
    // Sends race the adapter's close: a write after it raises SIGPIPE, which must not end the
    // program even with the signal's default action (Qt only ignores it process-wide).
    for (int round = 0; round < 20; ++round) {
        LoopbackServer server;
        WiFiTransport transport({local(server.port())});
        ASSERT_EQ(connectResult(transport), "ready");
        Socket adapter = server.accept();
        struct sigaction previous {};
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        ::sigaction(SIGPIPE, &byDefault, &previous);
        if (round % 2 == 0) adapter.reset();
        else adapter.abortConnection();
        std::string last;
        for (int i = 0; i < 50 && last != "notConnected"; ++i) last = sendResult(transport, "ATRV\r");
        ASSERT_TRUE(eventually([&] { return transport.state() == TransportState::disconnected(); }));
        EXPECT_EQ(sendResult(transport, "ATRV\r"), "notConnected");
        ::sigaction(SIGPIPE, &previous, nullptr);
    }
}

TEST(WiFiTransportTests, ASendTheNetworkStackCannotTakeEndsAtItsLimit) {
    LoopbackServer server;
    WiFiTransport transport({local(server.port())}, {.sendLimit = 200ms});
    ASSERT_EQ(connectResult(transport), "ready");
    Socket adapter = server.accept(); // never reads
    StderrCapture trace;
    // More than the socket buffers of both ends hold.
    const std::string flood(64 * 1024 * 1024, 'A');
    EXPECT_EQ(sendResult(transport, flood), "Délai d'envoi dépassé (0.2 s)");
    EXPECT_EQ(trace.lines(), Lines{"WiFi: erreur d'envoi — Délai d'envoi dépassé (0.2 s)"});
}
