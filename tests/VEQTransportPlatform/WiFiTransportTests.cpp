#include "VEQTransport/Platform/WiFiTransport.hpp"

#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/Session/TelemetryEngine.hpp"

#include "LoopbackServer.hpp"
#include "StderrCapture.hpp"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <future>
#include <mutex>
#include <signal.h>
#include <thread>

using namespace veq;
using namespace veq::testing;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

WiFiTransport::Endpoint local(std::uint16_t port) { return {"127.0.0.1", port}; }
std::string where(std::uint16_t port) { return fmt::format("127.0.0.1:{}", port); }

// "ready"/"sent", or the printed form of what was thrown.
std::string connectResult(WiFiTransport& t, std::stop_token stop = {}) {
    try {
        t.connect(stop);
        return "ready";
    } catch (const std::exception& e) {
        return e.what();
    }
}
// "sent", or the printed form of what was thrown.
std::string sendResult(WiFiTransport& t, std::string_view text, std::stop_token stop = {}) {
    try {
        t.send(std::vector<std::uint8_t>(text.begin(), text.end()), stop);
        return "sent";
    } catch (const std::exception& e) {
        return printedForm(e);
    }
}

// Whether the transport reaches `state` (another thread brings it about) before the safety bound.
bool reaches(const WiFiTransport& transport, const TransportState& state) {
    for (auto deadline = std::chrono::steady_clock::now() + safetyTimeout; std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(1ms))
        if (transport.state() == state) return true;
    return false;
}

// Pops chunks until `count` bytes came; their sizes go to `sizes`.
std::string collect(IncomingStream& stream, std::size_t count, std::vector<std::size_t>* sizes = nullptr) {
    std::string out;
    while (out.size() < count) {
        auto chunk = stream.pop(safetyTimeout, {});
        if (!chunk) break;
        if (sizes) sizes->push_back(chunk->size());
        out.append(chunk->begin(), chunk->end());
    }
    return out;
}

// A transport connected to a test server, and the server's end.
struct Connected {
    LoopbackServer server;
    WiFiTransport transport;
    Socket adapter;
    explicit Connected(WiFiTransport::Options options = {}) : transport({local(server.port())}, options) {
        EXPECT_EQ(connectResult(transport), "ready");
        adapter = server.accept();
        EXPECT_TRUE(adapter.valid());
    }
};

} // namespace

TEST(WiFiTransportTests, EndpointsAreTriedInOrderUntilOneConnects) {
    const std::uint16_t first = refusingPort(), second = refusingPort();
    LoopbackServer adapter;
    StderrCapture trace;
    WiFiTransport transport({local(first), local(second), local(adapter.port()), local(refusingPort())});
    EXPECT_EQ(connectResult(transport), "ready");
    EXPECT_EQ(transport.state(), TransportState::connected());
    EXPECT_EQ(trace.lines(), (Lines{"WiFi: connexion à " + where(first) + "…", "WiFi: échec " + where(first) + " — Connexion refusée",
                                    "WiFi: connexion à " + where(second) + "…", "WiFi: échec " + where(second) + " — Connexion refusée",
                                    "WiFi: connexion à " + where(adapter.port()) + "…", "WiFi: connecté à " + where(adapter.port())}));
}

TEST(WiFiTransportTests, WhenEveryEndpointFailsTheLastErrorIsThrown) {
    const std::uint16_t port = refusingPort();
    WiFiTransport twice({local(port), local(port)}); // a user's endpoint equal to a default one is tried twice
    EXPECT_EQ(connectResult(twice), "Connexion refusée");
    EXPECT_EQ(twice.state(), TransportState::failed("Connexion refusée"));
    WiFiTransport none({});
    EXPECT_EQ(connectResult(none), "deviceNotFound");
    EXPECT_EQ(none.state(), TransportState::failed("deviceNotFound"));
}

TEST(WiFiTransportTests, AnUnansweredAttemptEndsAtItsLimitAndTheNextEndpointIsTried) {
    SilentServer silent;
    if (!silent.leavesRequestsUnanswered()) GTEST_SKIP() << "this kernel answers every connection request";
    LoopbackServer adapter;
    {
        StderrCapture trace;
        WiFiTransport transport({local(silent.port()), local(adapter.port())}, {.attemptLimit = 300ms});
        EXPECT_EQ(connectResult(transport), "ready");
        const Lines lines = trace.lines();
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[1], "WiFi: échec " + where(silent.port()) + " — Délai de connexion dépassé (0.3 s)");
    }
    WiFiTransport alone({local(silent.port())}, {.attemptLimit = 300ms});
    EXPECT_EQ(connectResult(alone), "Délai de connexion dépassé (0.3 s)");
}

TEST(WiFiTransportTests, StopOrDisconnectEndsAWaitingAttempt) {
    SilentServer silent;
    if (!silent.leavesRequestsUnanswered()) GTEST_SKIP() << "this kernel answers every connection request";
    for (const bool byStop : {false, true}) {
        WiFiTransport transport({local(silent.port()), local(silent.port())}, {.attemptLimit = 10min});
        std::stop_source stop;
        auto result = std::async(std::launch::async, [&] { return connectResult(transport, stop.get_token()); });
        ASSERT_TRUE(reaches(transport, TransportState::connecting()));
        if (byStop) stop.request_stop();
        else transport.disconnect();
        ASSERT_EQ(result.wait_for(safetyTimeout), std::future_status::ready);
        EXPECT_EQ(result.get(), "connectionFailed(\"Connexion annulée\")") << byStop;
        EXPECT_EQ(transport.state(), TransportState::disconnected()) << byStop;
    }
}

TEST(WiFiTransportTests, SendsReachTheAdapterByteExactAndAreTraced) {
    Connected c;
    StderrCapture trace;
    EXPECT_EQ(sendResult(c.transport, "ATZ\r"), "sent");
    EXPECT_EQ(sendResult(c.transport, "010C\r"), "sent");
    EXPECT_EQ(c.adapter.receive(9), "ATZ\r010C\r");
    EXPECT_EQ(trace.lines(), (Lines{"WiFi → \"ATZ\u23CE\" [41 54 5A 0D]", "WiFi → \"010C\u23CE\" [30 31 30 43 0D]"}));
    c.transport.disconnect();
    EXPECT_EQ(sendResult(c.transport, "ATZ\r"), "notConnected");
    EXPECT_EQ(c.adapter.receive(1), ""); // the adapter sees the connection end
    EXPECT_FALSE(c.transport.incoming()->isFinished());
}

TEST(WiFiTransportTests, LargeAndDribbledRepliesArriveWholeInOrder) {
    Connected c;
    std::string reply(5000, '\0');
    for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<char>(i % 251);
    StderrCapture trace;
    c.adapter.sendAll(reply);
    std::vector<std::size_t> sizes;
    EXPECT_EQ(collect(*c.transport.incoming(), reply.size(), &sizes), reply);
    EXPECT_GE(sizes.size(), 2u);
    EXPECT_LE(*std::ranges::max_element(sizes), WiFiTransport::maximumChunkBytes);
    EXPECT_EQ(trace.lines().size(), sizes.size()); // one received line per chunk

    const std::string dribbled = "7E8 06 41 0C 1A F8 00 00\r\r>";
    for (char ch : dribbled) {
        c.adapter.sendAll(std::string(1, ch));
        std::this_thread::sleep_for(1ms); // separate segments
    }
    EXPECT_EQ(collect(*c.transport.incoming(), dribbled.size()), dribbled);
}

TEST(WiFiTransportTests, AnAdapterThatClosesMidReplyIsReported) {
    Connected c;
    StderrCapture trace;
    c.adapter.sendAll("41 0C");
    c.adapter.reset();
    EXPECT_EQ(collect(*c.transport.incoming(), 5), "41 0C");
    ASSERT_TRUE(reaches(c.transport, TransportState::disconnected()));
    EXPECT_EQ(trace.lines(), (Lines{"WiFi ← \"41 0C\" [34 31 20 30 43]", "WiFi: flux terminé (connexion fermée par l'adaptateur)"}));
}

// A caller waiting for a reply reads it on its own thread, taking the reading over from the
// transport's watcher, which then stays away a while; bytes that come while nobody pulls still
// arrive.
TEST(WiFiTransportTests, APullReadsTheLinkOnTheCallersThread) {
    Connected c;
    std::mutex mutex;
    std::string received;
    int readByCaller = 0;
    const auto caller = std::this_thread::get_id();
    c.transport.incoming()->attach([&](IncomingStream::Chunk chunk) {
        std::lock_guard lock(mutex);
        received.append(chunk.begin(), chunk.end());
        if (std::this_thread::get_id() == caller) ++readByCaller;
    });
    const auto receivedSize = [&] {
        std::lock_guard lock(mutex);
        return received.size();
    };
    std::string sent;
    for (int round = 0; round < 20; ++round) {
        const std::string reply = fmt::format("41 0C {:02X} F8\r\r>", round);
        // The caller pulls before the adapter answers, as a session does after its send: the
        // reply is then the caller's to read, whoever read the round before.
        ASSERT_TRUE(c.transport.pull(50ms, {}));
        c.adapter.sendAll(reply);
        sent += reply;
        for (auto bound = std::chrono::steady_clock::now() + safetyTimeout;
             receivedSize() < sent.size() && std::chrono::steady_clock::now() < bound;) {
            ASSERT_TRUE(c.transport.pull(50ms, {}));
        }
    }
    c.transport.incoming()->detach();
    EXPECT_EQ(received, sent);
    EXPECT_GT(readByCaller, 0);

    c.adapter.sendAll("STOPPED\r>"); // nobody pulls now: the watcher reads it
    EXPECT_EQ(collect(*c.transport.incoming(), 9), "STOPPED\r>");
}

// A pull with no time limit to speak of still ends: on its stop, on disconnect, when the adapter
// closes the link. With the link gone there is nothing more to pull.
TEST(WiFiTransportTests, APullEndsOnStopDisconnectOrTheLinksEnd) {
    enum How { stop, disconnect, adapterCloses };
    for (const How how : {stop, disconnect, adapterCloses}) {
        Connected c;
        std::stop_source source;
        auto pulling = std::async(std::launch::async, [&] { return c.transport.pull(1h, source.get_token()); });
        if (how == stop) source.request_stop();
        if (how == disconnect) c.transport.disconnect();
        if (how == adapterCloses) c.adapter.reset();
        ASSERT_EQ(pulling.wait_for(safetyTimeout), std::future_status::ready) << how;
        pulling.get();
        if (how == stop) continue;
        EXPECT_TRUE(reaches(c.transport, TransportState::disconnected())) << how;
        EXPECT_FALSE(c.transport.pull(1h, {})) << how;
    }
}

// Sends race the adapter's close (orderly or reset): the link ends as disconnected, and with
// SIGPIPE's default action a write after the close would end the program.
TEST(WiFiTransportTests, SendingOnAClosedConnectionNeverEndsTheProgram) {
    struct sigaction byDefault {}, saved {};
    byDefault.sa_handler = SIG_DFL;
    for (int round = 0; round < 4; ++round) {
        Connected c;
        ::sigaction(SIGPIPE, &byDefault, &saved);
        round % 2 == 0 ? c.adapter.reset() : c.adapter.abortConnection();
        for (int i = 0; i < 50 && sendResult(c.transport, "ATRV\r") != "notConnected"; ++i) {}
        EXPECT_TRUE(reaches(c.transport, TransportState::disconnected()));
        EXPECT_EQ(sendResult(c.transport, "ATRV\r"), "notConnected");
        ::sigaction(SIGPIPE, &saved, nullptr);
    }
}

// A send the adapter does not read fails at its limit, or on a stop request while it waits; the
// link is closed then, so that the adapter never receives what was reported as failed.
TEST(WiFiTransportTests, AStalledSendEndsAtItsLimitOrOnStopAndClosesTheLink) {
    const std::string request(64 * 1024 * 1024, 'A');
    for (const bool byStop : {false, true}) {
        Connected c({.sendLimit = byStop ? 1h : 200ms}); // the adapter does not read yet
        StderrCapture trace;
        std::stop_source stop;
        auto result = std::async(std::launch::async, [&] { return sendResult(c.transport, request, stop.get_token()); });
        if (byStop) {
            EXPECT_EQ(c.adapter.receive(1).size(), 1u); // the bytes are on their way
            stop.request_stop();
        }
        ASSERT_EQ(result.wait_for(safetyTimeout), std::future_status::ready) << byStop;
        const std::string error = byStop ? "Envoi annulé" : "Délai d'envoi dépassé (0.2 s)";
        EXPECT_EQ(result.get(), error);
        EXPECT_EQ(trace.lines(), Lines{"WiFi: erreur d'envoi — " + error});
        EXPECT_TRUE(reaches(c.transport, TransportState::disconnected())) << byStop;
        EXPECT_EQ(sendResult(c.transport, "ATZ\r"), "notConnected");
        EXPECT_LT(c.adapter.receive(request.size()).size(), request.size() - 1) << byStop; // the connection ends first
    }
    Connected c({.sendLimit = 1h});
    auto result = std::async(std::launch::async, [&] { return sendResult(c.transport, request); });
    EXPECT_EQ(c.adapter.receive(1).size(), 1u);
    c.transport.disconnect();
    ASSERT_EQ(result.wait_for(safetyTimeout), std::future_status::ready);
    EXPECT_EQ(result.get(), "notConnected");
}

// The adapter closes the connection while the engine polls and waits for a reply: the engine
// ends with the lost link, long before the session's reply time-out of an hour.
TEST(WiFiTransportTests, AConnectionClosedDuringPollingEndsTheEngineWithTheLostLink) {
    LoopbackServer server;
    auto transport = std::make_shared<WiFiTransport>(std::vector<WiFiTransport::Endpoint>{local(server.port())});
    ELM327Session session(transport, {.responseTimeout = 1h});
    session.connect();
    std::jthread adapter([&] {
        Socket link = server.accept();
        std::string line;
        for (int answered = 0; answered < 20;) {
            const std::string byte = link.receive(1);
            if (byte.empty()) return;
            if (byte != "\r") {
                line += byte;
                continue;
            }
            link.sendAll(line.substr(0, 2) == "01" ? "41 " + line.substr(2) + " 1A F8\r\r>" : "OK\r\r>");
            line.clear();
            ++answered;
        }
        link.receive(5); // the next request, left unanswered
        link.reset();
    });
    struct Sink final : TelemetrySink {
        std::atomic<int> samples{0};
        void ingest(const TelemetrySample&) override { ++samples; }
        void updateThroughput(double) override {}
    } sink;
    TelemetryEngine engine(session, sink);
    engine.configure({0x0C, 0x0D, 0x05});
    auto run = std::async(std::launch::async, [&]() -> std::string {
        try {
            engine.run();
            return "returned";
        } catch (const std::exception& e) {
            return e.what();
        }
    });
    ASSERT_EQ(run.wait_for(safetyTimeout), std::future_status::ready);
    EXPECT_EQ(run.get(), "Connexion perdue avec l'adaptateur");
    EXPECT_EQ(sink.samples, 20);
    EXPECT_EQ(engine.heroes(), (std::vector<std::uint8_t>{0x0C, 0x0D})); // nothing dropped as failing
    EXPECT_EQ(transport->state(), TransportState::disconnected());
    session.disconnect();
}
