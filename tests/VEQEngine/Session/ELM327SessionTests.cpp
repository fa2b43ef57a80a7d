#include "VEQEngine/Session/ExchangeCancelled.hpp"
#include "VEQEngine/Session/ScriptedTransport.hpp"
#include "VEQEngine/Session/TerminalLine.hpp"
#include "VEQEngine/UDS/AskOnceMore.hpp"
#include "VEQEngine/UDS/ScriptedAdapter.hpp"
#include "VEQEngine/UDS/UDSClient.hpp"
#include "VEQProtocol/ELM327Parser.hpp"
#include "VEQSupport/Text.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <set>

namespace veq {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedTransport;
using testing::SessionRig;
using testing::eventually;
using Lines = std::vector<std::string>;

ScriptedTransport::Responder always(std::string chunk) {
    return [chunk](const std::string&) { return Lines{chunk}; };
}
// Answers "<line> OK"; SILENT stays unanswered.
ScriptedTransport::Responder echoing() {
    return [](const std::string& line) { return line == "SILENT" ? Lines{} : Lines{line + " OK\r>"}; };
}

TEST(ELM327SessionTest, CommandGoesOutUnchangedWithOneCarriageReturnAndAnEightSecondTimeOut) {
    EXPECT_EQ(ELM327Session::Timing{}.responseTimeout, std::chrono::nanoseconds(8s));
    SessionRig rig(always("OK\r\r>"));
    rig.session->query(OBDCommand(0x0C));
    rig.session->raw("at sh 7e0");
    EXPECT_EQ(rig.transport->sends(), (Lines{"010C\r", "at sh 7e0\r"}));
}

// A reply begun with a progress notice is still coming past the reply time-out (the adapter is
// searching for the bus), up to its own limit; one begun with anything else is not waited for.
TEST(ELM327SessionTest, AReplyBegunWithAProgressNoticeIsWaitedForUpToItsLimit) {
    EXPECT_EQ(ELM327Session::Timing{}.progressLimit, std::chrono::nanoseconds(30s));
    for (const auto& [begun, limit] :
         {std::pair{"SEARCHING...\r", 400ms}, {"BUS INIT: ...", 400ms}, {"7E8 03 41", 20000ms}}) {
        SCOPED_TRACE(begun);
        SessionRig rig(always(begun), {.responseTimeout = 30ms, .monitorStopPause = 1ms, .progressLimit = limit});
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(rig.session->raw("0100").isSilence());
        EXPECT_EQ(std::chrono::steady_clock::now() - start >= limit, limit < 1s);
    }
}

TEST(ELM327SessionTest, TwoRepliesInOneChunkGiveOneAnswerAndOneQueuedReply) {
    SessionRig rig([](const std::string& line) {
        return Lines{line == "FIRST" ? "41 0C 1A F8\r\r>41 0D 20\r\r>" : "41 05 7B\r\r>"};
    });
    EXPECT_EQ(rig.session->raw("FIRST").lines, Lines{"41 0C 1A F8"});
    EXPECT_EQ(rig.session->queuedReplyCount(), 1u);
    EXPECT_EQ(rig.session->awaitNext().lines, Lines{"41 0D 20"});
    EXPECT_EQ(rig.transport->lines().size(), 1u);
}

TEST(ELM327SessionTest, StaleBytesAndLateRepliesNeverReachTheNextCommand) {
    // The first answer is followed by the start of a reply that never ends.
    SessionRig rig([](const std::string& line) {
        if (line == "SILENT") return Lines{};
        return Lines{line == "FIRST" ? "OK\r\r>7E8 03 41 0D" : "7E8 04 41 0C 1A F8\r\r>"};
    });
    rig.session->setFormat(FrameFormat::can11);
    rig.session->raw("FIRST");
    EXPECT_EQ(rig.session->query(OBDCommand(0x0C)).lines, Lines{"7E8 04 41 0C 1A F8"});

    const ELM327Response silent = rig.session->raw("SILENT");
    EXPECT_TRUE(silent.lines.empty());
    EXPECT_FALSE(silent.error || silent.promptTerminated);
    rig.transport->push("LATE\r>");
    ASSERT_TRUE(eventually([&] { return rig.session->queuedReplyCount() == 1; }));
    EXPECT_EQ(rig.session->query(OBDCommand(0x0C)).lines, Lines{"7E8 04 41 0C 1A F8"});
}

// A two-ECU answer and a three-frame VIN cut into chunks at every pair of positions.
TEST(ELM327SessionTest, ReplyCutAtAnyChunkBoundariesGivesTheSameResponse) {
    for (const std::string reply : {"7E8 06 41 00 BE 3F A8 13 \r7E9 06 41 00 98 18 80 11 \r\r>",
                                    "7E8 10 14 49 02 01 31 47 31 \r7E8 21 4A 43 35 34 34 34 52 \r7E8 22 37 32 35 32 33 36 37 \r\r>"}) {
        const ELM327Response whole = ELM327Parser::parse(reply, FrameFormat::can11);
        ASSERT_FALSE(whole.ecus.empty());
        Lines chunks;
        SessionRig rig([&](const std::string&) { return chunks; });
        rig.session->setFormat(FrameFormat::can11);
        for (std::size_t i = 0; i <= reply.size(); ++i) {
            for (std::size_t j = i; j <= reply.size(); ++j) {
                chunks.clear();
                for (const std::string& piece : {reply.substr(0, i), reply.substr(i, j - i), reply.substr(j)})
                    if (!piece.empty()) chunks.push_back(piece);
                ASSERT_EQ(rig.session->raw("0100"), whole) << "cut at " << i << " and " << j;
            }
        }
    }
}

TEST(ELM327SessionTest, ReadBufferAndReplyQueueAreBounded) {
    for (const std::size_t garbage : {ELM327Session::maxUnfinishedReply, ELM327Session::maxUnfinishedReply + 1}) {
        SessionRig rig;
        rig.transport->push(std::string(garbage, 'A'));
        rig.transport->push("\r>");
        const ELM327Response response = rig.session->awaitNext();
        EXPECT_EQ(response.lines.size(), garbage == ELM327Session::maxUnfinishedReply ? 1u : 0u) << garbage;
    }
    SessionRig rig;
    std::string burst;
    for (int i = 1; i <= 20; ++i) burst += "R" + std::to_string(i) + "\r>";
    rig.transport->push(burst);
    ASSERT_TRUE(eventually([&] { return rig.session->queuedReplyCount() == ELM327Session::maxQueuedReplies; }));
    EXPECT_EQ(rig.session->awaitNext().text, Lines{"R5"});
}

TEST(ELM327SessionTest, FrameFormatFollowsHeaderAndResetCommands) {
    const struct {
        FrameFormat before;
        std::string command, reply;
        FrameFormat after;
    } cases[] = {
        {FrameFormat::headersOff, "ath1 ", "OK", FrameFormat::can11},
        {FrameFormat::headersOff, "AT H1", "OK", FrameFormat::can11},
        {FrameFormat::can29, "at h 0", "OK", FrameFormat::headersOff},
        {FrameFormat::can29, "ATH0", "OK", FrameFormat::headersOff},
        {FrameFormat::can29, "ATH1", "?", FrameFormat::can29},
        {FrameFormat::can11, "ATH0", "?", FrameFormat::can11},
        {FrameFormat::can29, "at z", "ELM327 v1.5", FrameFormat::headersOff},
        {FrameFormat::can11, "ATWS", "ELM327 v1.5", FrameFormat::headersOff},
        {FrameFormat::can11, "ATD", "OK", FrameFormat::headersOff},
        {FrameFormat::can11, "ATZ", "?", FrameFormat::can11},
        {FrameFormat::can29, "ATDPN", "A7", FrameFormat::can29},
        {FrameFormat::can11, "0100", "NO DATA", FrameFormat::can11},
    };
    for (const auto& c : cases) {
        SessionRig rig(always(c.reply + "\r\r>"));
        rig.session->setFormat(c.before);
        rig.session->raw(c.command);
        EXPECT_EQ(rig.session->format(), c.after) << c.command << " answered " << c.reply;
    }
}

// With echo on and headers off the echoed request would read as a frame of the answer.
TEST(ELM327SessionTest, TheEchoOfTheCommandIsNoPartOfTheReply) {
    SessionRig rig([](const std::string& line) {
        return Lines{line + "\r" + (line.ends_with("00") ? "41 00 BE 3F A8 13" : "41 0C 1A F8") + "\r\r>"};
    });
    const ELM327Response probe = rig.session->probeVehicle();
    ASSERT_EQ(probe.ecus.size(), 1u);
    EXPECT_EQ(probe.ecus[0].payload, (std::vector<std::uint8_t>{0x41, 0x00, 0xBE, 0x3F, 0xA8, 0x13}));
    EXPECT_EQ(rig.session->raw("01 0c").lines, Lines{"41 0C 1A F8"});
    EXPECT_TRUE(rig.session->read(0x0C).has_value());
}

// A step the adapter leaves silent past the time-out is answered `late`, just before the next
// step's reply: that reply is the next step's, and the late one changes nothing the session knows.
struct LateAdapter {
    std::optional<std::string> reply, late;
    ScriptedTransport::Responder responder() {
        return [this](const std::string&) {
            Lines chunks;
            if (late) chunks.push_back(*std::exchange(late, std::nullopt) + "\r\r>");
            if (reply) chunks.push_back(*reply + "\r\r>");
            return chunks;
        };
    }
};

TEST(ELM327SessionTest, TransmitHeaderIsKnownOnlyOnceTheAdapterTookIt) {
    const struct {
        std::string command;
        std::optional<std::string> reply; // nothing: the adapter stays silent, then answers `late`
        std::optional<std::string> header;
        std::optional<std::string> late = std::nullopt;
    } steps[] = {{"ATI", "ELM327 v1.5", std::nullopt}, {"at sh 7e1", "OK", "7E1"},        {"ATSH7E2", "?", "7E1"},
                 {"ATSH18DA10F1", "OK", "18DA10F1"},   {"ATSH7E4", std::nullopt, std::nullopt, "OK"}, // it may have taken it
                 {"ATSH7E5", "?", std::nullopt},       {"ATSH7E6", "OK", "7E6"},          {"ATZ", "ELM327 v1.5", std::nullopt}};
    LateAdapter adapter;
    SessionRig rig(adapter.responder());
    for (const auto& step : steps) {
        adapter.reply = step.reply;
        rig.session->raw(step.command);
        adapter.late = step.late;
        EXPECT_EQ(rig.session->transmitHeader(), step.header) << step.command;
    }
}

TEST(ELM327SessionTest, ProtocolNumberFollowsWhatTheAdapterSaysAndWhatIsForced) {
    const struct {
        std::string command;
        std::optional<std::string> reply; // nothing: the adapter stays silent, then answers `late`
        std::optional<std::string> protocol;
        std::optional<std::string> late = std::nullopt;
    } steps[] = {{"ATDPN", "A6", "6"},      {"ATDPN", std::nullopt, "6", "A9"}, {"ATDPN", "A8", "8"},
                 {"ATSP0", "OK", std::nullopt},
                 {"ATDPN", "ATDPN\r7", "7"}, {"ATSPA8", "OK", std::nullopt}, {"ATDPN", "A", "A"},
                 {"AT SP 3", "OK", "3"},    {"ATSP9", "?", "3"},          {"ATTP5", "OK", "5"},
                 {"ATDPN", "NO DATA", "5"}, {"ATDPN", "0", std::nullopt}, {"ATSPC", "OK", "C"},
                 {"ATZ", "ELM327 v1.5", std::nullopt}};
    LateAdapter adapter;
    SessionRig rig(adapter.responder());
    EXPECT_EQ(rig.session->protocolNumber(), std::nullopt);
    for (const auto& step : steps) {
        adapter.reply = step.reply;
        rig.session->raw(step.command);
        adapter.late = step.late;
        EXPECT_EQ(rig.session->protocolNumber(), step.protocol) << step.command;
    }
}

TEST(ELM327SessionTest, ConcurrentCallersAreServedInArrivalOrderAndAFailedSendFreesTheLock) {
    SessionRig rig(echoing());
    auto section = rig.session->exclusive();
    std::vector<std::future<ELM327Response>> results;
    const Lines expected{"C0", "C1", "C2", "C3", "C4", "C5"};
    for (int i = 0; i < 6; ++i) {
        results.push_back(std::async(std::launch::async, [&, i] { return rig.session->raw(expected[i]); }));
        ASSERT_TRUE(eventually([&] { return rig.session->lockQueueLength() == static_cast<std::size_t>(i + 1); }));
    }
    EXPECT_TRUE(rig.transport->lines().empty());
    section.release();
    for (int i = 0; i < 6; ++i) EXPECT_EQ(results[i].get().text, Lines{expected[i] + " OK"});
    EXPECT_EQ(rig.transport->lines(), expected);

    rig.transport->failSendsContaining("BAD");
    EXPECT_THROW(rig.session->raw("BAD"), TransportError);
    EXPECT_EQ(rig.session->raw("ATI").text, Lines{"ATI OK"});
}

TEST(ELM327SessionTest, ExclusiveSectionKeepsOtherCallersOutAndLetsItsOwnThreadIn) {
    SessionRig rig(echoing());
    auto outer = rig.session->exclusive();
    auto other = std::async(std::launch::async, [&] { return rig.session->raw("OTHER"); });
    ASSERT_TRUE(eventually([&] { return rig.session->lockQueueLength() == 1; }));
    rig.session->raw("ATSH7E0");
    {
        auto inner = rig.session->exclusive();
        rig.session->raw("22F190");
    }
    rig.session->raw("ATSH7DF");
    EXPECT_EQ(rig.transport->lines(), (Lines{"ATSH7E0", "22F190", "ATSH7DF"}));
    outer.release();
    EXPECT_EQ(other.get().text, Lines{"OTHER OK"});
}

TEST(ELM327SessionTest, StopWhileWaitingForTheLockSendsNothing) {
    SessionRig rig(echoing());
    auto section = rig.session->exclusive();
    std::stop_source stop;
    auto waiter = std::async(std::launch::async, [&] { rig.session->raw("ATI", stop.get_token()); });
    ASSERT_TRUE(eventually([&] { return rig.session->lockQueueLength() == 1; }));
    stop.request_stop();
    EXPECT_THROW(waiter.get(), ExchangeCancelled);
    section.release();
    EXPECT_TRUE(rig.transport->lines().empty());
    EXPECT_EQ(rig.session->raw("ATI").text, Lines{"ATI OK"});
}

TEST(ELM327SessionTest, StopDisconnectOrDestructionEndWaitsPromptly) {
    enum How { stopToken, disconnect, destruction };
    for (const How how : {stopToken, disconnect, destruction}) {
        SessionRig rig({}, {.responseTimeout = 1h, .monitorStopPause = 1ms});
        std::stop_source stop;
        auto waiter = std::async(std::launch::async, [&] { rig.session->raw("SILENT", stop.get_token()); });
        ASSERT_TRUE(rig.transport->waitForLines(1));
        auto queued = std::async(std::launch::async, [&] { rig.session->raw("NEXT"); });
        ASSERT_TRUE(eventually([&] { return rig.session->lockQueueLength() == 1; }));
        if (how == stopToken) stop.request_stop();
        if (how == disconnect) rig.session->disconnect();
        if (how == destruction) rig.session.reset();
        EXPECT_THROW(waiter.get(), ExchangeCancelled) << how;
        if (how == destruction) {
            EXPECT_EQ(rig.transport->lines(), Lines{"SILENT"});
        }
        rig.session.reset(); // also wakes a caller waiting for the lock
        EXPECT_THROW(queued.get(), ExchangeCancelled) << how;
    }
}

// A lost link ends the reply wait at once instead of at the time-out, with the French error,
// and every later command fails the same way until the session connects again.
TEST(ELM327SessionTest, ALostLinkEndsWaitsAndCommandsWithTheLostLinkError) {
    SessionRig rig(echoing(), {.responseTimeout = 1h, .monitorStopPause = 1ms});
    const auto outcome = [&](const std::function<void()>& call) -> std::string {
        try {
            call();
            return "answered";
        } catch (const TransportError& e) {
            return e.printedForm() + ": " + e.what();
        }
    };
    // A session that missed the loss is destroyed, which ends the waits, so that the test ends.
    const auto settled = [&](std::future<std::string>& call) {
        if (call.wait_for(20s) == std::future_status::ready) return call.get();
        rig.session.reset();
        return std::string("still waiting");
    };
    const std::string lost = "notConnected: Connexion perdue avec l'adaptateur";
    auto waiter = std::async(std::launch::async, [&] { return outcome([&] { rig.session->raw("SILENT"); }); });
    ASSERT_TRUE(rig.transport->waitForLines(1));
    auto queued = std::async(std::launch::async, [&] { return outcome([&] { rig.session->raw("NEXT"); }); });
    ASSERT_TRUE(eventually([&] { return rig.session->lockQueueLength() == 1; }));
    rig.transport->loseLink();
    ASSERT_EQ(settled(waiter), lost);
    ASSERT_EQ(settled(queued), lost);
    EXPECT_TRUE(rig.session->isLinkLost());
    EXPECT_EQ(outcome([&] { rig.session->query(OBDCommand(0x0C)); }), lost);
    EXPECT_EQ(outcome([&] { rig.session->awaitNext(); }), lost);
    EXPECT_EQ(rig.transport->lines(), Lines{"SILENT"}); // nothing sent into the lost link

    rig.session->connect();
    EXPECT_FALSE(rig.session->isLinkLost());
    EXPECT_EQ(rig.session->raw("ATI").text, Lines{"ATI OK"});
}

TEST(ELM327SessionTest, DestructionWaitsForAnOpenExclusiveSection) {
    SessionRig rig({}, {.responseTimeout = 1h, .monitorStopPause = 1ms});
    auto section = rig.session->exclusive();
    auto queued = std::async(std::launch::async, [&] { rig.session->raw("NEXT"); });
    ASSERT_TRUE(eventually([&] { return rig.session->lockQueueLength() == 1; }));
    auto destroyer = std::async(std::launch::async, [&] { rig.session.reset(); });
    EXPECT_THROW(queued.get(), ExchangeCancelled); // the destruction has begun
    // Time for a destructor that does not wait to finish; the section still uses the session.
    EXPECT_EQ(destroyer.wait_for(50ms), std::future_status::timeout);
    section.release();
    destroyer.get();
}

// A link its caller reads itself, as the Wi-Fi one: `onPull` plays what happens as a read begins
// (the link's own thread reads the reply, the caller stops, the session ends); the read then
// waits for more bytes until its stop or its time-out, and says which ended it.
class ReadByCallerTransport final : public OBDTransport {
public:
    std::function<void(std::stop_token)> onPull;
    std::atomic<int> stopped{0}, timedOut{0};

    void connect(std::stop_token) override {}
    void disconnect() override {}
    TransportState state() const override { return TransportState::connected(); }
    void send(std::span<const std::uint8_t>, std::stop_token) override {}
    bool pull(std::chrono::nanoseconds timeout, std::stop_token stop) override {
        if (auto move = std::exchange(onPull, nullptr)) move(stop);
        std::mutex mutex;
        std::condition_variable_any never;
        std::unique_lock lock(mutex);
        never.wait_for(lock, stop, timeout, [] { return false; });
        ++(stop.stop_requested() ? stopped : timedOut);
        return true;
    }
};

// A caller reading the link must not sleep on once its reply is in, nor once it or the session
// gives up: whatever ends the wait ends the read too, not the read's own time-out.
TEST(ELM327SessionTest, WhateverEndsTheReplyWaitEndsTheCallersReadOfTheLink) {
    enum Move { replyReadByTheLinksThread, callerStops, sessionEnds };
    for (const Move move : {replyReadByTheLinksThread, callerStops, sessionEnds}) {
        auto transport = std::make_shared<ReadByCallerTransport>();
        auto session = std::make_unique<ELM327Session>(transport, ELM327Session::Timing{.responseTimeout = 1h});
        session->connect();
        std::stop_source caller;
        std::future<void> ending;
        transport->onPull = [&](std::stop_token readStop) {
            if (move == replyReadByTheLinksThread) {
                const std::string reply = "ELM327 v1.5\r\r>";
                std::jthread([&] { transport->incoming()->push({reply.begin(), reply.end()}); }).join();
            } else if (move == callerStops) {
                caller.request_stop();
            } else {
                ending = std::async(std::launch::async, [&] { session.reset(); });
                // The session's end reaches the read; the bound is only there for a session that never tells it.
                std::mutex mutex;
                std::condition_variable_any until;
                std::unique_lock lock(mutex);
                until.wait_for(lock, readStop, 20s, [] { return false; });
            }
        };
        ELM327Session& running = *session;
        Lines outcome;
        try {
            outcome = running.raw("ATI", caller.get_token()).lines;
        } catch (const ExchangeCancelled&) {
            outcome = {"cancelled"};
        }
        if (ending.valid()) ending.get();
        EXPECT_EQ(outcome, move == replyReadByTheLinksThread ? Lines{"ELM327 v1.5"} : Lines{"cancelled"}) << move;
        EXPECT_EQ(transport->stopped, 1) << move;
        EXPECT_EQ(transport->timedOut, 0) << move;
    }
}

// Threads are told apart by their identifiers, not counted: a thread joined a moment ago may still
// be listed for a while, so the reader's going is waited for, with a bound.
TEST(ELM327SessionTest, OneReaderThreadPerConnectionAndNoneForCommandsOrTimeOuts) {
    const auto threads = [] {
        std::set<std::string> ids;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
            ids.insert(entry.path().filename().string());
        return ids;
    };
    auto transport = std::make_shared<ScriptedTransport>(echoing());
    ELM327Session session(transport, {.responseTimeout = 1ms, .monitorStopPause = 1ms});
    const std::set<std::string> before = threads();
    const auto added = [&] {
        std::set<std::string> now = threads();
        for (const std::string& id : before) now.erase(id);
        return now.size();
    };
    session.connect();
    session.connect();
    for (int i = 0; i < 50; ++i) {
        session.raw("ATI");
        session.raw("SILENT");
    }
    EXPECT_EQ(added(), 1u);
    session.disconnect();
    EXPECT_TRUE(eventually([&] { return added() == 0; })) << added();
}

} // namespace
} // namespace veq

namespace veq {
namespace {

// An adapter whose serial side stalls: while held it answers nothing; once released it answers
// every command it had received, oldest first, each with its own replies, then the new one.
class StallingAdapter {
public:
    std::atomic<bool> holding{true};

    ScriptedTransport::Responder responder() {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex_);
            backlog_.push_back(line);
            if (holding) return Lines{};
            Lines replies;
            for (const std::string& command : backlog_)
                for (const std::string& r : answer(command)) replies.push_back(r + "\r\r>");
            backlog_.clear();
            return replies;
        };
    }

private:
    static Lines answer(const std::string& command) {
        if (command == "22F18B") return {"7E8 03 7F 22 78", "7E8 07 62 F1 8B 20 24 01 15"};
        if (command == "ATSH7E3") return {"OK"};
        if (command == "ATRV") return {"13.2V"};
        if (command == "ATI") return {"ELM327 v1.5"};
        if (command == "0105") return {"NO DATA"};
        return {"7E8 04 41 " + command.substr(2) + " 1A F8"};
    }
    std::mutex mutex_;
    Lines backlog_;
};

using Bytes = std::vector<std::uint8_t>;

Bytes firstPayload(const ELM327Response& reply) { return reply.ecus.empty() ? Bytes{} : reply.ecus.front().payload; }

// Requests of every kind give up while the adapter is silent: after the first, only probes go out,
// both unanswered, and the requests are not sent, long enough for the probes to pass the owed
// list's bound. The adapter then answers all it got, in order: the first request's value, then
// banners and voltages. Every later request gets its own reply.
TEST(ELM327SessionLateRepliesTest, EveryRequestGetsItsOwnReplyAfterASilence) {
    StallingAdapter adapter;
    SessionRig rig(adapter.responder(), {.responseTimeout = 40ms, .monitorStopPause = 1ms});
    rig.session->setFormat(FrameFormat::can11);
    TerminalLine terminal(*rig.session);
    const std::array<std::uint8_t, 2> f18b{0xF1, 0x8B};
    const RequestEcho udsRead = RequestEcho::of(UDSService::readDataByIdentifier, f18b);

    EXPECT_TRUE(rig.session->query(OBDCommand(0x0C)).isSilence());
    EXPECT_TRUE(rig.session->raw(TransmitHeader::any(), "22F18B", udsRead).isSilence());
    EXPECT_TRUE(rig.session->raw("ATSH7E3").isSilence());
    EXPECT_TRUE(terminal.send("ATRV").isSilence());
    EXPECT_TRUE(rig.session->query(OBDCommand(0x05)).isSilence());
    EXPECT_EQ(rig.transport->lines(), (Lines{"010C", "ATI", "ATRV", "ATI", "ATRV", "ATI", "ATRV", "ATI", "ATRV"}));
    for (int i = 0; i < 12; ++i) EXPECT_TRUE(rig.session->query(OBDCommand(0x0F)).isSilence());
    EXPECT_EQ(rig.session->owedReplyCount(), ReplyPairing::maxOwed);

    adapter.holding = false;
    EXPECT_EQ(terminal.send("ATRV").text, Lines{"13.2V"});
    EXPECT_EQ(rig.session->transmitHeader(), std::nullopt); // the late "OK" to ATSH7E3 set nothing
    EXPECT_EQ(firstPayload(rig.session->query(OBDCommand(0x0D))), (Bytes{0x41, 0x0D, 0x1A, 0xF8}));
    UDSClient client(*rig.session);
    EXPECT_EQ(client.readDataByIdentifier(0xF18B), (Bytes{0x20, 0x24, 0x01, 0x15}));
    EXPECT_EQ(rig.session->read(0x0C)->scalar(), 1726.0);
    EXPECT_EQ(rig.session->owedReplyCount(), 0u);
}

// With nothing owed, the first reply is the waiting request's whatever it names: a wrong answer
// returns at once (the time-out is an hour).
TEST(ELM327SessionLateRepliesTest, InStepTheReplyIsTheWaitingRequestsWhateverItNames) {
    for (const std::string first : {"NO DATA", "7F 01 12", "?", "CAN ERROR", "41 0C 1A F8", "41", "41 0D 20",
                                    "7F 22 31", "62 F1 90 41", "61 A6 00 00 EA 5C", "7F"}) {
        SessionRig rig(always(first + "\r\r>"), {.responseTimeout = 1h, .monitorStopPause = 1ms});
        auto read = std::async(std::launch::async, [&] { return rig.session->query(OBDCommand(0x0C)); });
        if (read.wait_for(20s) != std::future_status::ready) {
            rig.session.reset(); // ends the wait, so that the test ends
            ADD_FAILURE() << first << ": still waiting";
            continue;
        }
        EXPECT_EQ(read.get().lines, Lines{first}) << first;
    }
}

using Exchange = std::function<ELM327Response(ELM327Session&)>;

Exchange queryOf(std::uint8_t pid) {
    return [pid](ELM327Session& session) { return session.query(OBDCommand(pid)); };
}
Exchange rawOf(std::string command) {
    return [command](ELM327Session& session) { return session.raw(command); };
}

// A reply too many (a repeated answer, a reset's banner after it timed out) names the request
// completed just before, not the waiting one: it is dropped and the waiting one gets its own.
TEST(ELM327SessionLateRepliesTest, AReplyTooManyIsDropped) {
    const struct {
        std::string first;
        Lines firstReplies;
        std::string next;
        Lines nextReplies; // the reply too many, then its own
        Exchange firstExchange, nextExchange;
        Lines expected;
    } cases[] = {
        {"010C", {"41 0C 1A F8"}, "010D", {"41 0C 1A F8", "41 0D 20"}, queryOf(0x0C), queryOf(0x0D), {"41 0D 20"}},
        {"ATZ", {}, "ATE0", {"ELM327 v1.5", "OK"}, rawOf("ATZ"), rawOf("ATE0"), {"OK"}},
    };
    for (const auto& c : cases) {
        SessionRig rig([&](const std::string& line) {
            Lines chunks;
            for (const std::string& r : line == c.first ? c.firstReplies : c.nextReplies) chunks.push_back(r + "\r\r>");
            return chunks;
        });
        c.firstExchange(*rig.session);
        EXPECT_EQ(c.nextExchange(*rig.session).lines, c.expected) << c.next;
        EXPECT_EQ(rig.session->queuedReplyCount() + rig.session->owedReplyCount(), 0u) << c.next;
    }
}

// An adapter that answers every line as an ELM327 does, but for one reply of one line (its last
// when it has several: the answer after a "response pending"): that reply is lost, or late (sent
// just before the next line's), or still being worked on when the next line comes, which the
// adapter then drops, answering "STOPPED".
class OneReplyAdapter {
public:
    enum class Fate { lost, late, busy };

    OneReplyAdapter(std::string victim, Fate fate) : victim_(std::move(victim)), fate_(fate) {}

    ScriptedTransport::Responder responder() {
        return [this](const std::string& line) { // the command lock serialises the script
            Lines out = std::exchange(held_, {});
            if (std::exchange(dropNext_, false)) return Lines{"STOPPED\r\r>"};
            Lines own = answer(line);
            if (line == victim_ && !struck_) {
                struck_ = true;
                const std::string last = own.back();
                own.pop_back();
                if (fate_ == Fate::late) held_.push_back(last + "\r\r>");
                dropNext_ = fate_ == Fate::busy;
            }
            for (const std::string& r : own) out.push_back(r + "\r\r>");
            return out;
        };
    }

    static Lines answer(const std::string& line) {
        if (line == "ATI") return {"ELM327 v1.5"};
        if (line == "ATRV") return {"13.2V"};
        if (line.starts_with("AT")) return {"OK"};
        if (line == "22F190") return {"7F 22 78", "62 F1 90 41"};
        if (line.starts_with("01")) return {"41 " + line.substr(2) + " 20"};
        return {"NO DATA"};
    }

private:
    std::string victim_;
    Fate fate_;
    bool struck_ = false, dropNext_ = false;
    Lines held_;
};

// A reply lost, late, or still awaited when the next line goes, for each kind of request: the loss
// costs the wait of the request that lost it and one probe (two when the adapter dropped the
// first); every later exchange gets its own answer.
TEST(ELM327SessionLateRepliesTest, AReplyNeverSentCostsOneWaitAndNoLaterAnswer) {
    using Fate = OneReplyAdapter::Fate;
    const auto terminalLine = [](std::string command) {
        return [command](ELM327Session& session) { return TerminalLine(session).send(command); };
    };
    const auto udsRead = [](ELM327Session& session) {
        UDSClient client(session);
        client.target("7E0");
        EXPECT_THROW(client.readDataByIdentifier(0xF190), UDSError);
        return ELM327Response{};
    };
    const struct {
        const char* what;
        Exchange lost;
        std::string victim;
        Lines sent; // from the first line of the lost exchange to the probe that finds the step
    } kinds[] = {
        {"an adapter command", rawOf("ATE0"), "ATE0", {"ATE0", "ATI"}},
        {"a header", [](ELM327Session& s) { return s.raw(TransmitHeader::of("7E3"), "3E00"); }, "ATSH7E3",
         {"ATSH7E3", "ATI"}},
        {"a mode 01 read", queryOf(0x0C), "010C", {"010C", "ATI"}},
        {"a UDS read whose answer never follows its pending", udsRead, "22F190", {"ATSH7E0", "22F190", "ATI"}},
        {"a terminal line", terminalLine("0105"), "0105", {"0105", "ATI"}},
        {"the probe's own command", rawOf("ATI"), "ATI", {"ATI", "ATRV"}},
    };
    for (const auto& kind : kinds) {
        for (const Fate fate : {Fate::lost, Fate::late, Fate::busy}) {
            SCOPED_TRACE(std::string(kind.what) + (fate == Fate::lost ? ", lost" : fate == Fate::late ? ", late" : ", busy"));
            OneReplyAdapter adapter(kind.victim, fate);
            SessionRig rig(adapter.responder());
            EXPECT_FALSE(kind.lost(*rig.session).promptTerminated);

            EXPECT_EQ(rig.session->raw("ATRV").text, Lines{"13.2V"});
            UDSClient client(*rig.session);
            client.target("7E1");
            EXPECT_EQ(client.readDataByIdentifier(0xF190), (Bytes{0x41}));
            EXPECT_EQ(firstPayload(rig.session->query(OBDCommand(0x0D))), (Bytes{0x41, 0x0D, 0x20}));
            EXPECT_EQ(TerminalLine(*rig.session).send("010C").lines, Lines{"41 0C 20"});
            EXPECT_EQ(rig.session->owedReplyCount(), 0u);

            Lines sent = kind.sent;
            if (fate == Fate::busy) sent.push_back(sent.back()); // the dropped probe, once more
            sent.push_back("ATRV");
            const Lines all = rig.transport->lines();
            EXPECT_EQ(Lines(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(sent.size(), all.size()))), sent);
        }
    }
}

// The request behind a probe goes out only once the probe's answer is in, however long it takes.
TEST(ELM327SessionLateRepliesTest, TheRequestBehindAProbeWaitsForItsAnswer) {
    auto transport = std::make_shared<ScriptedTransport>();
    std::stop_source giveUp;
    std::future<void> banner;
    std::atomic<bool> bannerSent{false};
    bool sentAfterBanner = false; // the command lock serialises the script
    transport->setResponder([&](const std::string& line) -> Lines {
        if (line == "010C") {
            giveUp.request_stop(); // the caller gives up: the request stays owed
            return {};
        }
        if (line == "ATI") {
            banner = std::async(std::launch::async, [&] {
                std::this_thread::sleep_for(50ms);
                bannerSent = true;
                transport->push("ELM327 v1.5\r\r>");
            });
            return {};
        }
        sentAfterBanner = bannerSent;
        return {"41 0D 20\r\r>"};
    });
    ELM327Session session(transport, {.responseTimeout = 20s, .monitorStopPause = 1ms});
    session.connect();
    EXPECT_THROW(session.query(OBDCommand(0x0C), giveUp.get_token()), ExchangeCancelled);
    EXPECT_EQ(firstPayload(session.query(OBDCommand(0x0D))), (Bytes{0x41, 0x0D, 0x20}));
    EXPECT_TRUE(sentAfterBanner);
    EXPECT_EQ(transport->lines(), (Lines{"010C", "ATI", "010D"}));
    ASSERT_TRUE(banner.valid());
    banner.wait();
}

// An adapter that answers nothing: after the first request, only probes go out, the two kinds in
// turn, so that an answer of the current probe's kind can never be the one before's.
TEST(ELM327SessionLateRepliesTest, AMuteAdapterIsSentOnlyProbes) {
    SessionRig rig([](const std::string&) { return Lines{}; });
    for (const std::uint8_t pid : {0x0C, 0x0D, 0x05, 0x0F}) EXPECT_TRUE(rig.session->query(OBDCommand(pid)).isSilence());
    EXPECT_EQ(rig.transport->lines(), (Lines{"010C", "ATI", "ATRV", "ATI", "ATRV", "ATI", "ATRV"}));
}

// The owed requests are bounded: past the bound the oldest is forgotten, and the next reply
// settles the oldest one still owed.
TEST(ELM327SessionLateRepliesTest, TheOwedRequestsAreBoundedOldestForgottenFirst) {
    ReplyPairing pairing;
    for (std::size_t i = 0; i <= ReplyPairing::maxOwed; ++i) {
        EXPECT_EQ(pairing.sending({"22F1" + text::hexByte(static_cast<std::uint8_t>(i)), FrameFormat::headersOff, std::nullopt}),
                  i == ReplyPairing::maxOwed);
        pairing.exchangeEnded();
    }
    EXPECT_EQ(pairing.owedCount(), 32u);
    const std::vector<std::uint8_t> noData{'N', 'O', ' ', 'D', 'A', 'T', 'A', '\r', '>'};
    const ReplyPairing::Placement placement = pairing.place(
        [&](const ReplyPairing::Request& r) { return ELM327Parser::parse(noData, r.format, r.command); });
    ASSERT_TRUE(placement.settled);
    EXPECT_EQ(placement.settled->command, "22F101");
    EXPECT_EQ(pairing.owedCount(), 31u);
}

// The same request asked again after silence takes whatever comes first, a "NO DATA" as well as a
// value: the adapter may never have received the first one. The first stays owed for its reply.
TEST(ELM327SessionLateRepliesTest, ARequestAskedAgainTakesTheFirstReplyThatComes) {
    bool first = true; // the command lock serialises the script
    SessionRig rig([&](const std::string&) { return std::exchange(first, false) ? Lines{} : Lines{"NO DATA\r\r>"}; });
    const OBDCommand vin(OBDMode::vehicleInfo, std::uint8_t{0x02});
    EXPECT_TRUE(rig.session->query(vin).isSilence());
    EXPECT_EQ(rig.session->queryAgain(vin).error, ELM327Error::noData);
    EXPECT_EQ(rig.session->owedReplyCount(), 1u);
    EXPECT_EQ(rig.transport->lines(), (Lines{"0902", "0902"})); // no probe: either answer is its
}

// Read with headers, the engine's late answer is never the gearbox's: printed alone in the
// gearbox read's reply (one prompt a line), the read is asked again at once, its line found first;
// let out just before the gearbox's own reply, the line takes that reply, and the read asked again
// its own answer. The next ECU's lines take theirs.
TEST(ELM327SessionLateRepliesTest, AnotherECUsLateAnswerIsNeverAReadsOwn) {
    const std::string engineCodes = "7E8 07 59 02 FF 01 33 00 08";
    const std::string gearboxCodes = "7E9 03 59 02 FF";
    const struct {
        const char* what;
        Lines codeAnswers; // to each "1902FF", the engine's first
        Lines lines;
    } cases[] = {
        {"printed alone in the gearbox's reply", {"NO DATA", engineCodes, gearboxCodes},
         {"ATSH7E0", "1902FF", "ATSH7E1", "1902FF", "ATI", "1902FF", "ATSH7E2", "3E00"}},
        {"let out just before the gearbox's own", {"", "NO DATA", engineCodes + "\r\r>" + gearboxCodes, gearboxCodes},
         {"ATSH7E0", "1902FF", "ATI", "1902FF", "ATSH7E1", "1902FF", "1902FF", "ATSH7E2", "3E00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::ScriptedAdapter adapter(
            testing::askByAsk({{"1902FF", c.codeAnswers}},
                              [](const std::string& line, const testing::AdapterState& state) -> std::optional<Lines> {
                                  if (line != "3E00") return std::nullopt;
                                  char ecu[4];
                                  std::snprintf(ecu, sizeof ecu, "%03X", std::stoi(state.header, nullptr, 16) + 8);
                                  return Lines{testing::reply(std::string(ecu) + " 02 7E 00")};
                              }),
            {.responseTimeout = 100ms});
        adapter.session().setFormat(FrameFormat::can11);
        UDSClient client(adapter.session());
        const auto codes = [&](const char* ecu) {
            client.target(ecu);
            return askOnceMore([&] { return client.readDTCsByStatusMask(0xFF); });
        };
        EXPECT_THROW(codes("7E0"), UDSError); // "NO DATA"
        EXPECT_EQ(codes("7E1"), std::vector<UDSDTC>{});
        client.target("7E2");
        EXPECT_NO_THROW(client.testerPresent());
        EXPECT_EQ(adapter.lines(), c.lines);
        EXPECT_EQ(adapter.session().owedReplyCount(), 0u);
    }
}

// A reset goes out only once the requests owed before it are settled: the first probe left
// unanswered, the other kind's answer settles them in order, whatever banners come before it.
TEST(ELM327SessionLateRepliesTest, AResetGoesOutOnlyOnceTheStepIsFound) {
    for (const bool bannerLost : {false, true}) {
        SCOPED_TRACE(bannerLost ? "banner lost" : "banner late");
        SessionRig rig([&](const std::string& line) -> Lines {
            if (line == "ATE0") return {"OK\r\r>"};
            if (line != "ATRV") return {}; // held until then
            Lines replies{"UNABLE TO CONNECT\r\r>", "ELM327 v1.5\r\r>"};
            if (!bannerLost) replies.push_back("ELM327 v1.5\r\r>");
            replies.push_back("12.1V\r\r>");
            return replies;
        });
        EXPECT_TRUE(rig.session->probeVehicle().isSilence());
        EXPECT_TRUE(rig.session->raw("ATZ").isSilence());
        EXPECT_EQ(rig.session->raw("ATE0").lines, Lines{"OK"});
        EXPECT_EQ(rig.session->owedReplyCount(), 0u);
        EXPECT_EQ(rig.transport->lines(), (Lines{"0100", "ATI", "ATRV", "ATZ", "ATE0"}));
    }
}

} // namespace
} // namespace veq
