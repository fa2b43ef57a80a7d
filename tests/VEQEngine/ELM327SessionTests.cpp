#include "VEQEngine/ELM327Session.hpp"
#include "VEQEngine/ExchangeCancelled.hpp"
#include "VEQEngine/ScriptedTransport.hpp"
#include "VEQEngine/SessionTrace.hpp"
#include "VEQProtocol/ELM327Parser.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace veq {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedTransport;
using testing::eventually;

ELM327Session::Timing quickTimeout() { return {.responseTimeout = 30ms, .monitorStopPause = 1ms}; }
// Long enough that only an interruption can end the wait while the test runs.
ELM327Session::Timing endlessTimeout() { return {.responseTimeout = 1h, .monitorStopPause = 1ms}; }

// A connected session over a scripted adapter.
struct Rig {
    std::shared_ptr<ScriptedTransport> transport;
    std::unique_ptr<ELM327Session> session;

    explicit Rig(ScriptedTransport::Responder responder = {}, ELM327Session::Timing timing = quickTimeout())
        : transport(std::make_shared<ScriptedTransport>(std::move(responder))),
          session(std::make_unique<ELM327Session>(transport, timing)) {
        session->connect();
    }
};

std::vector<std::string> answer(std::string reply) { return {std::move(reply)}; }

TEST(ELM327SessionTest, DefaultReplyTimeoutIsEightSeconds) {
    EXPECT_EQ(ELM327Session::Timing{}.responseTimeout, std::chrono::nanoseconds(8s));
}

TEST(ELM327SessionTest, CommandIsSentUnchangedWithOneCarriageReturn) {
    Rig rig([](const std::string&) { return answer("OK\r\r>"); });
    rig.session->raw("at sh 7e0");
    rig.session->query(OBDCommand(0x0C));
    EXPECT_EQ(rig.transport->sends(), (std::vector<std::string>{"at sh 7e0\r", "010C\r"}));
}

TEST(ELM327SessionTest, TwoRepliesInOneChunkGiveOneAnswerAndOneQueuedReply) {
    Rig rig([](const std::string& line) {
        return line == "FIRST" ? answer("41 0C 1A F8\r\r>41 0D 20\r\r>") : answer("41 05 7B\r\r>");
    });
    const ELM327Response first = rig.session->raw("FIRST");
    EXPECT_EQ(first.lines, std::vector<std::string>{"41 0C 1A F8"});
    EXPECT_EQ(rig.session->queuedReplyCount(), 1u);
    // The queued reply is the next one awaited, without sending anything.
    const ELM327Response queued = rig.session->awaitNext();
    EXPECT_EQ(queued.lines, std::vector<std::string>{"41 0D 20"});
    EXPECT_TRUE(queued.promptTerminated);
    EXPECT_EQ(rig.transport->lines().size(), 1u);
}

TEST(ELM327SessionTest, UnfinishedStaleReplyNeverBecomesTheStartOfTheNextReply) {
    // The adapter's first answer is followed by the beginning of a reply that never ends.
    Rig rig([](const std::string& line) {
        return line == "FIRST" ? answer("OK\r\r>7E8 03 41 0D") : answer("7E8 04 41 0C 1A F8\r\r>");
    });
    rig.session->setFormat(FrameFormat::can11);
    rig.session->raw("FIRST");
    const ELM327Response response = rig.session->query(OBDCommand(0x0C));
    ASSERT_EQ(response.ecus.size(), 1u);
    EXPECT_EQ(response.ecus[0].header, "7E8");
    EXPECT_EQ(response.ecus[0].payload, (std::vector<std::uint8_t>{0x41, 0x0C, 0x1A, 0xF8}));
    EXPECT_EQ(response.lines, std::vector<std::string>{"7E8 04 41 0C 1A F8"});
}

TEST(ELM327SessionTest, SilenceGivesAnEmptyResponseAndDoesNotDelayTheNextCommand) {
    Rig rig([](const std::string& line) { return line == "SILENT" ? std::vector<std::string>{} : answer("OK\r>"); });
    const ELM327Response silent = rig.session->raw("SILENT");
    EXPECT_TRUE(silent.lines.empty());
    EXPECT_TRUE(silent.ecus.empty());
    EXPECT_TRUE(silent.text.empty());
    EXPECT_FALSE(silent.error.has_value());
    EXPECT_FALSE(silent.promptTerminated);
    EXPECT_EQ(rig.session->raw("ATI").text, std::vector<std::string>{"OK"});
}

TEST(ELM327SessionTest, LateReplyIsQueuedThenDiscardedByTheFollowingCommand) {
    Rig rig([](const std::string& line) { return line == "SILENT" ? std::vector<std::string>{} : answer("OK\r>"); });
    EXPECT_TRUE(rig.session->raw("SILENT").lines.empty());
    rig.transport->push("LATE\r>");
    ASSERT_TRUE(eventually([&] { return rig.session->queuedReplyCount() == 1; }));
    EXPECT_EQ(rig.session->raw("ATI").text, std::vector<std::string>{"OK"});
}

// A recorded exchange with headers on: a two-ECU answer and a three-frame VIN, each ended by
// the prompt, cut into chunks at every pair of positions.
TEST(ELM327SessionTest, ReplyCutAtAnyChunkBoundariesGivesTheSameResponse) {
    const std::vector<std::string> recorded{
        "7E8 06 41 00 BE 3F A8 13 \r7E9 06 41 00 98 18 80 11 \r\r>",
        "7E8 10 14 49 02 01 31 47 31 \r7E8 21 4A 43 35 34 34 34 52 \r7E8 22 37 32 35 32 33 36 37 \r\r>",
    };
    for (const std::string& reply : recorded) {
        const ELM327Response whole = ELM327Parser::parse(reply, FrameFormat::can11);
        ASSERT_EQ(whole.ecus.empty(), false);
        std::vector<std::string> chunks;
        Rig rig([&](const std::string&) { return chunks; });
        rig.session->setFormat(FrameFormat::can11);
        for (std::size_t i = 0; i <= reply.size(); ++i) {
            for (std::size_t j = i; j <= reply.size(); ++j) {
                chunks.clear();
                for (const std::string& piece : {reply.substr(0, i), reply.substr(i, j - i), reply.substr(j)}) {
                    if (!piece.empty()) chunks.push_back(piece);
                }
                ASSERT_EQ(rig.session->raw("0100"), whole) << "cut at " << i << " and " << j;
            }
        }
    }
}

TEST(ELM327SessionTest, ReadBufferWithoutPromptIsBounded) {
    struct Case {
        std::size_t garbage;
        bool kept;
    };
    for (const Case c : {Case{ELM327Session::maxUnfinishedReply, true}, Case{ELM327Session::maxUnfinishedReply + 1, false}}) {
        Rig rig;
        rig.transport->push(std::string(c.garbage, 'A'));
        rig.transport->push("\r>");
        const ELM327Response response = rig.session->awaitNext();
        ASSERT_TRUE(response.promptTerminated);
        if (c.kept) {
            ASSERT_EQ(response.lines.size(), 1u);
            EXPECT_EQ(response.lines[0].size(), c.garbage);
        } else {
            EXPECT_TRUE(response.lines.empty());
        }
    }
}

TEST(ELM327SessionTest, QueueOfUnclaimedRepliesKeepsOnlyTheNewest) {
    Rig rig;
    std::string burst;
    for (int i = 1; i <= 20; ++i) burst += "R" + std::to_string(i) + "\r>";
    rig.transport->push(burst);
    ASSERT_TRUE(eventually([&] { return rig.session->queuedReplyCount() == ELM327Session::maxQueuedReplies; }));
    EXPECT_EQ(rig.session->awaitNext().text, std::vector<std::string>{"R5"});
}

TEST(ELM327SessionTest, FrameFormatFollowsHeaderAndResetCommands) {
    struct Case {
        FrameFormat before;
        std::string command;
        std::string reply;
        FrameFormat after;
    };
    const std::vector<Case> cases{
        {FrameFormat::headersOff, "ath1", "OK", FrameFormat::can11},
        {FrameFormat::headersOff, "ATH1 ", "OK", FrameFormat::can11},
        {FrameFormat::can11, "ATH0", "OK", FrameFormat::headersOff},
        {FrameFormat::can29, "ATH0", "OK", FrameFormat::headersOff},
        {FrameFormat::can11, "ATZ", "ELM327 v1.5", FrameFormat::headersOff},
        {FrameFormat::can29, "at z", "ELM327 v1.5", FrameFormat::headersOff},
        {FrameFormat::can11, "ATWS", "ELM327 v1.5", FrameFormat::headersOff},
        {FrameFormat::can11, "ATD", "OK", FrameFormat::headersOff},
        {FrameFormat::can11, "ATD", "?", FrameFormat::can11},
        {FrameFormat::can11, "ATZ", "?", FrameFormat::can11},
        {FrameFormat::can29, "ATDPN", "A7", FrameFormat::can29},
        {FrameFormat::can11, "ATDP", "ISO 15765-4 (CAN 11/500)", FrameFormat::can11},
        {FrameFormat::can11, "0100", "NO DATA", FrameFormat::can11},
        {FrameFormat::can11, "ATSH7E0", "OK", FrameFormat::can11},
    };
    for (const Case& c : cases) {
        Rig rig([&](const std::string&) { return answer(c.reply + "\r\r>"); });
        rig.session->setFormat(c.before);
        rig.session->raw(c.command);
        EXPECT_EQ(rig.session->format(), c.after) << c.command << " answered " << c.reply;
    }
}

TEST(ELM327SessionTest, RepliesToAdapterCommandsAreParsedWithoutHeaders) {
    // The same headerless line, as an answer to an adapter command and to a vehicle request.
    Rig rig([](const std::string&) { return answer("41 0C 1A F8\r\r>"); });
    // "ath1" switches the session to 11-bit headers, yet its own reply is read without them.
    const ELM327Response adapter = rig.session->raw("ath1");
    EXPECT_EQ(rig.session->format(), FrameFormat::can11);
    ASSERT_EQ(adapter.ecus.size(), 1u);
    EXPECT_FALSE(adapter.ecus[0].header.has_value());
    EXPECT_EQ(adapter.ecus[0].payload, (std::vector<std::uint8_t>{0x41, 0x0C, 0x1A, 0xF8}));
    // A vehicle request is read with the 11-bit header split: "410" then an odd "C1AF8".
    const ELM327Response vehicle = rig.session->raw("010C");
    EXPECT_TRUE(vehicle.ecus.empty());
    EXPECT_EQ(vehicle.text, std::vector<std::string>{"41 0C 1A F8"});
}

TEST(ELM327SessionTest, TransmitHeaderIsRememberedUntilTheAdapterIsReset) {
    struct Step {
        std::string command;
        std::string reply;
        std::optional<std::string> header;
    };
    const std::vector<Step> steps{
        {"ATI", "ELM327 v1.5", std::nullopt},
        {"ATSH7E0", "OK", "7E0"},
        {"at sh 7e1", "OK", "7E1"},
        {"ATSH7E2", "?", "7E1"}, // refused: the previous header is still in force
        {"ATSH", "OK", "7E1"},
        {"ATSH18DA10F1", "OK", "18DA10F1"},
        {"ATZ", "ELM327 v1.5", std::nullopt},
        {"ATSH7DF", "OK", "7DF"},
        {"ATD", "OK", std::nullopt},
    };
    std::string reply;
    Rig rig([&](const std::string&) { return answer(reply + "\r\r>"); });
    for (const Step& step : steps) {
        reply = step.reply;
        rig.session->raw(step.command);
        EXPECT_EQ(rig.session->transmitHeader(), step.header) << step.command;
    }
}

TEST(ELM327SessionTest, SendFailureReleasesTheLockAndIsRethrown) {
    Rig rig([](const std::string&) { return answer("OK\r>"); });
    rig.transport->failSendsContaining("BAD");
    EXPECT_THROW(rig.session->raw("BAD"), TransportError);
    EXPECT_EQ(rig.session->raw("ATI").text, std::vector<std::string>{"OK"});
}

TEST(ELM327SessionTest, ConcurrentCallersAreServedInArrivalOrder) {
    Rig rig([](const std::string& line) { return answer(line + " OK\r>"); });
    auto section = rig.session->exclusive();
    constexpr int callers = 6;
    std::vector<std::future<ELM327Response>> results;
    for (int i = 0; i < callers; ++i) {
        results.push_back(std::async(std::launch::async, [&, i] { return rig.session->raw("C" + std::to_string(i)); }));
        ASSERT_TRUE(eventually([&] { return rig.session->lockQueueLength() == static_cast<std::size_t>(i + 1); }));
    }
    EXPECT_TRUE(rig.transport->lines().empty());
    section.release();
    for (int i = 0; i < callers; ++i) {
        EXPECT_EQ(results[i].get().text, std::vector<std::string>{"C" + std::to_string(i) + " OK"});
    }
    std::vector<std::string> expected;
    for (int i = 0; i < callers; ++i) expected.push_back("C" + std::to_string(i));
    EXPECT_EQ(rig.transport->lines(), expected);
}

TEST(ELM327SessionTest, ExclusiveSectionKeepsOtherCallersOutAndLetsItsOwnThreadIn) {
    Rig rig([](const std::string& line) { return answer(line + " OK\r>"); });
    auto outer = rig.session->exclusive();
    std::future<ELM327Response> other = std::async(std::launch::async, [&] { return rig.session->raw("OTHER"); });
    ASSERT_TRUE(eventually([&] { return rig.session->lockQueueLength() == 1; }));
    // The holder's own exchanges, a nested section included, do not wait for the lock.
    rig.session->raw("ATSH7E0");
    {
        auto inner = rig.session->exclusive();
        rig.session->query(OBDCommand(0x0C));
    }
    rig.session->raw("ATSH7DF");
    EXPECT_EQ(rig.transport->lines(), (std::vector<std::string>{"ATSH7E0", "010C", "ATSH7DF"}));
    outer.release();
    EXPECT_EQ(other.get().text, std::vector<std::string>{"OTHER OK"});
}

TEST(ELM327SessionTest, StopRequestedWhileWaitingForTheLockSendsNothing) {
    Rig rig([](const std::string&) { return answer("OK\r>"); });
    auto section = rig.session->exclusive();
    std::stop_source stop;
    std::future<void> waiter = std::async(std::launch::async, [&] { rig.session->raw("ATI", stop.get_token()); });
    ASSERT_TRUE(eventually([&] { return rig.session->lockQueueLength() == 1; }));
    stop.request_stop();
    EXPECT_THROW(waiter.get(), ExchangeCancelled);
    EXPECT_EQ(rig.session->lockQueueLength(), 0u);
    section.release();
    EXPECT_TRUE(rig.transport->lines().empty());
    // The lock is free again.
    EXPECT_EQ(rig.session->raw("ATI").text, std::vector<std::string>{"OK"});
}

TEST(ELM327SessionTest, InterruptionsEndAReplyWaitPromptly) {
    enum class Interruption { stopToken, disconnect, destruction };
    for (const Interruption how : {Interruption::stopToken, Interruption::disconnect, Interruption::destruction}) {
        Rig rig({}, endlessTimeout());
        std::stop_source stop;
        std::future<void> waiter = std::async(std::launch::async, [&] { rig.session->raw("010C", stop.get_token()); });
        ASSERT_TRUE(rig.transport->waitForLines(1));
        switch (how) {
        case Interruption::stopToken: stop.request_stop(); break;
        case Interruption::disconnect: rig.session->disconnect(); break;
        case Interruption::destruction: rig.session.reset(); break;
        }
        EXPECT_THROW(waiter.get(), ExchangeCancelled) << static_cast<int>(how);
    }
}

TEST(ELM327SessionTest, DestructionWakesCallersWaitingForTheLock) {
    Rig rig({}, endlessTimeout());
    std::future<void> holder = std::async(std::launch::async, [&] { rig.session->raw("SILENT"); });
    ASSERT_TRUE(rig.transport->waitForLines(1));
    std::future<void> queued = std::async(std::launch::async, [&] { rig.session->raw("NEXT"); });
    ASSERT_TRUE(eventually([&] { return rig.session->lockQueueLength() == 1; }));
    rig.session.reset();
    EXPECT_THROW(holder.get(), ExchangeCancelled);
    EXPECT_THROW(queued.get(), ExchangeCancelled);
    EXPECT_EQ(rig.transport->lines(), std::vector<std::string>{"SILENT"});
}

#if defined(__linux__)
std::size_t threadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

TEST(ELM327SessionTest, OneReaderThreadPerConnectionAndNoneForCommandsOrTimeOuts) {
    auto transport = std::make_shared<ScriptedTransport>(
        [](const std::string& line) { return line == "SILENT" ? std::vector<std::string>{} : answer("OK\r>"); });
    ELM327Session session(transport, {.responseTimeout = 1ms, .monitorStopPause = 1ms});
    const std::size_t before = threadCount();
    session.connect();
    session.connect(); // a second connect keeps the one reader
    EXPECT_EQ(threadCount(), before + 1);
    for (int i = 0; i < 100; ++i) {
        session.raw("ATI");
        session.raw("SILENT");
        EXPECT_EQ(threadCount(), before + 1);
    }
    session.disconnect();
    EXPECT_EQ(threadCount(), before);
    session.connect();
    EXPECT_EQ(threadCount(), before + 1);
}
#endif

TEST(ELM327SessionTest, TraceIsOnWhenTheVariableExistsEvenEmpty) {
    const char* saved = std::getenv("VEQ_TRACE");
    const std::optional<std::string> previous = saved ? std::optional<std::string>(saved) : std::nullopt;
    auto transport = std::make_shared<ScriptedTransport>();
    ::setenv("VEQ_TRACE", "", 1);
    EXPECT_TRUE(ELM327Session(transport).traceEnabled());
    ::unsetenv("VEQ_TRACE");
    EXPECT_FALSE(ELM327Session(transport).traceEnabled());
    if (previous) ::setenv("VEQ_TRACE", previous->c_str(), 1);
}

TEST(SessionTraceTest, ExchangeBlocks) {
    struct Case {
        std::string command;
        std::string reply;
        FrameFormat format;
        std::string block;
    };
    const std::vector<Case> cases{
        {"0100", "41 00 BE 3F A8 13\r\r>", FrameFormat::headersOff,
         "» 0100\n"
         "  « 41 00 BE 3F A8 13\u23CE\u23CE>\n"
         "  hex: 34 31 20 30 30 20 42 45 20 33 46 20 41 38 20 31 33 0D 0D 3E\n"
         "  ECUs: -:4100BE3FA813\n"},
        {"010D", "NO DATA\r\n>", FrameFormat::can11,
         "» 010D\n"
         "  « NO DATA\u23CE\u240A>\n"
         "  hex: 4E 4F 20 44 41 54 41 0D 0A 3E\n"
         "  erreur: NO DATA\n"},
        {"010C", "7E8410C\r7E9410D\r>", FrameFormat::can11,
         "» 010C\n"
         "  « 7E8410C\u23CE7E9410D\u23CE>\n"
         "  hex: 37 45 38 34 31 30 43 0D 37 45 39 34 31 30 44 0D 3E\n"
         "  ECUs: 7E8:410C  7E9:410D\n"},
        {"ATZ", "", FrameFormat::headersOff, "» ATZ\n  « \n  hex: \n"},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> bytes(c.reply.begin(), c.reply.end());
        EXPECT_EQ(SessionTrace::exchangeBlock(c.command, bytes, ELM327Parser::parse(bytes, c.format)), c.block);
    }
}

} // namespace
} // namespace veq
