#include "VEQEngine/UDS/UDSClient.hpp"

#include "VEQEngine/UDS/ScriptedAdapter.hpp"
#include "VEQSupport/Text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <iterator>
#include <variant>

using namespace veq;
using namespace veq::testing;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;
using Result = std::variant<Bytes, UDSError>; // a payload, or the error the request ended with

// The adapter answers "22F190" with the given chunks.
ScriptedAdapter::Script chunksFor22F190(Lines chunks) {
    return [chunks](const std::string& line, const AdapterState&) -> std::optional<Lines> {
        return line == "22F190" ? std::optional(chunks) : std::nullopt;
    };
}

template <typename Call> Result attempt(Call call) {
    try {
        return call();
    } catch (const UDSError& e) {
        return e;
    }
}

TEST(UDSClient, ReadDataByIdentifierMapsEveryAnswer) {
    const struct {
        FrameFormat format;
        std::optional<std::string> answer; // nothing: no reply at all
        Result expected;
    } cases[] = {
        {FrameFormat::headersOff, "62 F1 90 57 44", Bytes{0x57, 0x44}},
        {FrameFormat::headersOff, "62", Bytes{}},
        {FrameFormat::headersOff, "62 F1", Bytes{}},
        {FrameFormat::headersOff, "7F 22 31", UDSError::negative(0x22, 0x31)},
        {FrameFormat::headersOff, "7F 22", UDSError::negative(0x22, 0x10)},
        {FrameFormat::headersOff, "NO DATA", UDSError::none()},
        {FrameFormat::headersOff, "", UDSError::none()}, // a bare prompt is an answer
        {FrameFormat::headersOff, "CAN ERROR", UDSError::adapter(ELM327Error::canError)},
        // No reply at all, or a busy adapter's refusal: told apart, as the request may be asked again.
        {FrameFormat::headersOff, std::nullopt, UDSError::unanswered()},
        {FrameFormat::headersOff, "STOPPED", UDSError::unanswered(ELM327Error::stopped)},
        {FrameFormat::headersOff, "?", UDSError::unanswered(ELM327Error::unknownCommand)},
        // With no earlier request owed an answer, another identifier's or service's is a wrong one.
        {FrameFormat::headersOff, "62 F1 91 41", UDSError::unexpected({0x62, 0xF1, 0x91, 0x41})},
        {FrameFormat::headersOff, "62 F1 91 41\r\r>62 F1 90 42", UDSError::unexpected({0x62, 0xF1, 0x91, 0x41})},
        {FrameFormat::headersOff, "50 03", UDSError::unexpected({0x50, 0x03})},
        {FrameFormat::can11, "7E9 04 62 F1 90 42\r7E8 04 62 F1 90 41", Bytes{0x42}},
        // an ECU that only refused another service said nothing to this request: the next one's answer counts
        {FrameFormat::can11, "7E8 03 7F 10 11\r7E9 04 62 F1 90 42", Bytes{0x42}},
        {FrameFormat::can11, "7E8 03 7F 10 11", UDSError::unexpected({0x7F, 0x10, 0x11})},
    };
    for (const auto& c : cases) {
        const Lines chunks = c.answer ? Lines{reply(*c.answer)} : Lines{};
        ScriptedAdapter adapter(chunksFor22F190(chunks), {.responseTimeout = 30ms});
        adapter.session().setFormat(c.format);
        UDSClient client(adapter.session());
        EXPECT_EQ(attempt([&] { return client.readDataByIdentifier(0xF190); }), c.expected) << c.answer.value_or("-");
    }
    // Worded as before it was told apart: what a user reads of a failed write is unchanged.
    EXPECT_STREQ(UDSError::unanswered().what(), UDSError::none().what());
    EXPECT_STREQ(UDSError::unanswered(ELM327Error::stopped).what(), UDSError::adapter(ELM327Error::stopped).what());
}

// Read with headers, a request aimed at the engine takes only the engine's own whole message
// (7E8, the ISO 15765-4 pair of 7E0), wherever it stands in the reply; another ECU's message
// (7E9) never makes it succeed, wait or repeat, and a reply of other ECUs' messages alone, or a
// message cut short, leaves it unanswered at once (the reply time-out is an hour), its own answer
// taken when it is asked again. A header no unit claims is taken as it comes; without headers,
// and on the functional header, the first message is taken, as it comes.
TEST(UDSClient, ARequestToAnECUTakesOnlyItsOwnWholeMessage) {
    const Bytes write{0xF1, 0x90, 0x01};
    const struct {
        const char* what;
        bool isWrite; // else a read of 0xF190
        Lines answers; // to each send of the request, in order; replies past the first after ">"
        int asks;      // requests made, the last one's outcome checked
        Result expected;
        Lines sent; // header lines left out
        std::string target = "7E0";
        FrameFormat format = FrameFormat::can11;
    } cases[] = {
        {"another ECU's message alone", false, {"7E9 04 62 F1 90 42"}, 1, UDSError::unanswered(), {"22F190"}},
        {"another ECU's message alone, then its own", false, {"7E9 04 62 F1 90 42", "7E8 04 62 F1 90 41"}, 2,
         Bytes{0x41}, {"22F190", "ATI", "22F190"}},
        {"another ECU's before its own", false, {"7E9 04 62 F1 90 42\r7E8 04 62 F1 90 41"}, 1, Bytes{0x41}, {"22F190"}},
        {"another ECU's after its own", false, {"7E8 04 62 F1 90 41\r7E9 04 62 F1 90 42"}, 1, Bytes{0x41}, {"22F190"}},
        {"another ECU's response pending alone", false, {"7E9 03 7F 22 78"}, 1, UDSError::unanswered(), {"22F190"}},
        {"another ECU's response pending, its own answer", false, {"7E9 03 7F 22 78\r7E8 04 62 F1 90 41"}, 1,
         Bytes{0x41}, {"22F190"}},
        {"its own response pending, then another ECU's answer, then its own", false,
         {"7E8 03 7F 22 78\r\r>7E9 04 62 F1 90 42\r\r>7E8 04 62 F1 90 41"}, 1, Bytes{0x41}, {"22F190"}},
        {"another ECU's busy answer to a write", true, {"7E9 03 7F 2E 21"}, 1, UDSError::unanswered(), {"2EF19001"}},
        {"another ECU's positive answer to a write", true, {"7E9 03 6E F1 90"}, 1, UDSError::unanswered(), {"2EF19001"}},
        {"its own busy answer to a write, repeated", true, {"7E8 03 7F 2E 21\r7E9 03 6E F1 90", "7E8 03 6E F1 90"}, 1,
         Bytes{0xF1, 0x90}, {"2EF19001", "2EF19001"}},
        {"a message cut short, then whole", false, {"7E8 10 0B 62 F1 90 41 42 43", "7E8 04 62 F1 90 41"}, 2, Bytes{0x41},
         {"22F190", "22F190"}},
        {"a write's answer cut short", true, {"7E8 10 09 7F 2E 22 00 00 00"}, 1, UDSError::unanswered(), {"2EF19001"}},
        {"another ECU's follow-up message", false, {"7E9 03 7F 22 78\r7E9 04 62 F1 90 42"}, 1, UDSError::unanswered(),
         {"22F190"}},
        {"a message cut short by its own sent again", false, {"7E8 10 0B 62 F1 90 41 42 43\r7E8 04 62 F1 90 41"}, 1,
         Bytes{0x41}, {"22F190"}},
        // frames of no message are dropped: the whole one after them is the answer
        {"a stray consecutive frame, then its own", false, {"7E8 22 30\r7E8 04 62 F1 90 41"}, 1, Bytes{0x41}, {"22F190"}},
        {"a flow-control frame, then its own", false, {"7E8 30 00 00\r7E8 04 62 F1 90 41"}, 1, Bytes{0x41}, {"22F190"}},
        {"only frames of no message, then its own", false, {"7E8 22 30", "7E8 04 62 F1 90 41"}, 2, Bytes{0x41},
         {"22F190", "22F190"}},
        {"a single frame short of its length", false, {"7E8 05 62 F1 90 41"}, 1, UDSError::unanswered(), {"22F190"}},
        // after a "response pending", an answer broken on the way: no wait for it, a read asked again
        {"its own response pending, then its answer broken, in one reply", false,
         {"7E8 03 7F 22 78\r7E8 10 0E 62 F1 90 41 32 37\r7E8 22 30", "7E8 04 62 F1 90 41"}, 2, Bytes{0x41},
         {"22F190", "22F190"}},
        {"without headers, its own response pending, then its answer broken", false,
         {"7F 22 78\r00E\r0: 62 F1 90 41 32 37\r2: 30 30 30 30 30 30 30", "62 F1 90 41"}, 2, Bytes{0x41},
         {"22F190", "22F190"}, "7E0", FrameFormat::headersOff},
        {"a write's response pending, then its answer broken", true,
         {"7E8 03 7F 2E 78\r7E8 10 0E 6E F1 90 41 32 37"}, 1, UDSError::unanswered(), {"2EF19001"}},
        {"without headers, a numbered line printed twice", false,
         {"008\r0: 62 F1 90 41 42 43\r0: 62 F1 90 41 42 43\r1: 44 45 AA AA AA AA AA"}, 1, UDSError::unanswered(), {"22F190"},
         "7E0", FrameFormat::headersOff},
        // its own ECU's answer to another request is no answer: a read is asked again, a write never
        {"its own answer to another identifier alone", false, {"7E8 04 62 F1 91 42"}, 1, UDSError::unanswered(), {"22F190"}},
        {"its own answer to another identifier, then its own", false, {"7E8 04 62 F1 91 42", "7E8 04 62 F1 90 41"}, 2,
         Bytes{0x41}, {"22F190", "ATI", "22F190"}},
        {"its own refusal of another service", false, {"7E8 03 7F 19 31"}, 1, UDSError::unanswered(), {"22F190"}},
        {"its own refusal of its service", false, {"7E8 03 7F 22 31"}, 1, UDSError::negative(0x22, 0x31), {"22F190"}},
        {"a write answered by a read's answer", true, {"7E8 04 62 F1 90 41"}, 1, UDSError::unanswered(), {"2EF19001"}},
        {"its own answer to another identifier before its own", false, {"7E8 04 62 F1 91 42\r7E8 04 62 F1 90 41"}, 1,
         Bytes{0x41}, {"22F190"}},
        {"its own response pending, its answer to another identifier, then its own", false,
         {"7E8 03 7F 22 78\r\r>7E8 04 62 F1 91 42\r\r>7E8 04 62 F1 90 41"}, 1, Bytes{0x41}, {"22F190"}},
        {"a header no unit claims", false, {"7A8 04 62 F1 90 43"}, 1, Bytes{0x43}, {"22F190"}},
        {"another ECU's, then a header no unit claims", false, {"7E9 04 62 F1 90 42\r7A8 04 62 F1 90 43"}, 1,
         Bytes{0x43}, {"22F190"}},
        {"without headers", false, {"62 F1 90 41"}, 1, Bytes{0x41}, {"22F190"}, "7E0", FrameFormat::headersOff},
        {"on the functional header", false, {"7E9 04 62 F1 90 42\r7E8 04 62 F1 90 41"}, 1, Bytes{0x42}, {"22F190"}, "7DF"},
        {"on the functional header, another identifier's", false, {"7E8 04 62 F1 91 42"}, 1,
         UDSError::unexpected({0x62, 0xF1, 0x91, 0x42}), {"22F190"}, "7DF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string request = c.isWrite ? "2EF19001" : "22F190";
        std::size_t asked = 0; // the command lock serialises the script
        ScriptedAdapter adapter(
            [&](const std::string& line, const AdapterState&) -> std::optional<Lines> {
                if (line != request) return std::nullopt;
                const std::size_t k = asked++;
                return Lines{reply(k < c.answers.size() ? c.answers[k] : "NO DATA")};
            },
            {.responseTimeout = 1h});
        adapter.session().setFormat(c.format);
        UDSClient client(adapter.session());
        client.target(c.target);
        auto outcome = std::async(std::launch::async, [&] {
            Result result;
            for (int ask = 0; ask < c.asks; ++ask) {
                result = attempt([&] {
                    return c.isWrite ? client.request(UDSService::writeDataByIdentifier, write, 2)
                                     : client.readDataByIdentifier(0xF190);
                });
            }
            return result;
        });
        if (outcome.wait_for(20s) != std::future_status::ready) {
            ADD_FAILURE() << "still waiting";
            adapter.session().disconnect();
            continue;
        }
        EXPECT_EQ(outcome.get(), c.expected);
        Lines sent;
        std::ranges::copy_if(adapter.lines(), std::back_inserter(sent), [](const auto& l) { return !l.starts_with("ATSH"); });
        EXPECT_EQ(sent, c.sent);
    }
}

TEST(UDSClient, TroubleCodeRecordsAreFourBytesAfterTheTwoLeadingOnes) {
    const std::pair<Bytes, Lines> cases[] = {
        {{0x02, 0xFF, 0x01, 0x23, 0x45}, {}},
        {{0x02, 0xFF, 0x00, 0x00, 0x11, 0x22, 0x01, 0x23, 0x45, 0x2F}, {"P0123-45/2F"}}, // empty slot skipped
        {{0x02, 0xFF, 0x01, 0x23, 0x45, 0x2F, 0x41, 0x00, 0x07, 0x08, 0x01, 0x02, 0x03}, {"P0123-45/2F", "C0100-07/08"}},
    };
    for (const auto& [payload, expected] : cases) {
        Lines records;
        for (const UDSDTC& r : UDSClient::parseDTCRecords(payload)) records.push_back(r.id() + "/" + text::hexByte(r.status));
        EXPECT_EQ(records, expected);
    }
}

TEST(UDSClient, PendingAnswersAreWaitedOutEightTimesAtMost) {
    for (const auto& [pending, expected] : {std::pair<int, Result>{8, Bytes{0x41}}, {9, UDSError::negative(0x22, 0x78)}}) {
        Lines chunks(static_cast<std::size_t>(pending), reply("7F 22 78"));
        chunks.push_back(reply("62 F1 90 41"));
        ScriptedAdapter adapter(chunksFor22F190(chunks));
        UDSClient client(adapter.session());
        EXPECT_EQ(attempt([&] { return client.readDataByIdentifier(0xF190); }), expected) << pending;
        EXPECT_EQ(adapter.lines(), Lines{"22F190"}); // nothing sent while waiting
    }
    ScriptedAdapter silent(chunksFor22F190({reply("7F 22 78")}), {.responseTimeout = 20ms});
    UDSClient client(silent.session());
    EXPECT_EQ(attempt([&] { return client.readDataByIdentifier(0xF190); }), Result(UDSError::none()));

    // Its ECU then answers only other requests for the whole wait: no answer, and the request,
    // heard, is not asked again.
    Lines others{reply("7E8 03 7F 22 78")};
    for (int i = 0; i < 15; ++i) others.push_back(reply(i % 2 ? "7E8 04 62 F1 91 42" : "7E8 03 7F 19 31"));
    ScriptedAdapter busy(chunksFor22F190(others), {.responseTimeout = 20ms});
    busy.session().setFormat(FrameFormat::can11);
    UDSClient engine(busy.session());
    engine.target("7E0");
    EXPECT_EQ(attempt([&] { return engine.readDataByIdentifier(0xF190); }), Result(UDSError::none()));
    Lines sent;
    std::ranges::copy_if(busy.lines(), std::back_inserter(sent), [](const auto& l) { return !l.starts_with("ATSH"); });
    EXPECT_EQ(sent, Lines{"22F190"});
}

// An ECU's "response pending" and its answer printed before one prompt, as a fast ECU does:
// the answer is taken from that same reply, with no wait for a further one.
TEST(UDSClient, AnAnswerInTheSameReplyAsItsPendingNoticeIsTaken) {
    const std::pair<std::string, Result> cases[] = {
        {"7E8037F227800000000\r7E80462F19041000000", Bytes{0x41}},
        {"7E8037F227800000000\r7E8037F227800000000\r7E80462F19042000000", Bytes{0x42}},
        {"7E8037F227800000000\r7E8100862F190574444\r7E8214444000000000000", Bytes{0x57, 0x44, 0x44, 0x44, 0x44}},
        {"7E9037F227800000000\r7E8037F227800000000\r7E90462F19043000000\r7E80462F19041000000", Bytes{0x43}},
    };
    for (const auto& [answer, expected] : cases) {
        ScriptedAdapter adapter(chunksFor22F190({reply(answer)}), {.responseTimeout = 20ms});
        adapter.session().setFormat(FrameFormat::can11);
        UDSClient client(adapter.session());
        EXPECT_EQ(attempt([&] { return client.readDataByIdentifier(0xF190); }), expected) << answer;
        EXPECT_EQ(adapter.lines(), Lines{"22F190"});
    }
    // A new command forgets what the last reply held beyond its first answer.
    ScriptedAdapter adapter(answering({{"22F190", "7E8037F227800000000\r7E80462F19041000000"}, {"0100", "NO DATA"}}),
                            {.responseTimeout = 20ms});
    adapter.session().setFormat(FrameFormat::can11);
    adapter.session().raw("22F190");
    adapter.session().raw("0100");
    EXPECT_TRUE(adapter.session().awaitNext().ecus.empty());
}

TEST(UDSClient, BusyAnswersAreRepeatedWithinTheBudget) {
    const struct {
        int retries;
        std::size_t busyAnswers, sends;
        Result expected;
    } cases[] = {{2, 100, 3, UDSError::negative(0x22, 0x21)}, {0, 100, 1, UDSError::negative(0x22, 0x21)},
                 {2, 2, 3, Bytes{0xF1, 0x90, 0x41}}};
    for (const auto& c : cases) {
        std::size_t sent = 0;
        ScriptedAdapter adapter([&](const std::string& line, const AdapterState&) -> std::optional<Lines> {
            if (line != "22F190") return std::nullopt;
            return Lines{reply(++sent <= c.busyAnswers ? "7F 22 21" : "62 F1 90 41")};
        });
        UDSClient client(adapter.session());
        EXPECT_EQ(attempt([&] { return client.request(UDSService::readDataByIdentifier, Bytes{0xF1, 0x90}, c.retries); }),
                  c.expected);
        EXPECT_EQ(sent, c.sends) << c.retries << " retries";
    }
}

TEST(UDSClient, APendingExchangeKeepsOtherCommandsOutUntilItsAnswer) {
    // The ECU answers late while a poller waits: each reply must reach its own caller.
    ScriptedAdapter adapter([](const std::string& line, const AdapterState&) -> std::optional<Lines> {
        if (line == "22F190") return Lines{reply("7F 22 78")};
        if (line == "010C") return Lines{reply("41 0C 1A F8")};
        return std::nullopt;
    });
    UDSClient client(adapter.session());
    Result udsResult;
    ELM327Response pollerReply;
    std::jthread uds([&] { udsResult = attempt([&] { return client.readDataByIdentifier(0xF190); }); });
    ASSERT_TRUE(eventually([&] { return adapter.lines().size() == 1; }));
    std::jthread poller([&] { pollerReply = adapter.session().query(OBDCommand(0x0C)); });
    ASSERT_TRUE(eventually([&] { return adapter.session().lockQueueLength() == 1; }));
    adapter.transport().push(reply("62 F1 90 41"));
    uds.join();
    poller.join();
    EXPECT_EQ(udsResult, Result(Bytes{0x41}));
    ASSERT_NE(pollerReply.firstPayload(), nullptr);
    EXPECT_EQ(*pollerReply.firstPayload(), (Bytes{0x41, 0x0C, 0x1A, 0xF8}));
    EXPECT_EQ(adapter.lines(), (Lines{"22F190", "010C"}));

    // Inside the caller's own exclusive section the waits do not deadlock.
    ScriptedAdapter inside(chunksFor22F190({reply("7F 22 78"), reply("62 F1 90 42")}));
    UDSClient insideClient(inside.session());
    auto section = inside.session().exclusive();
    EXPECT_EQ(insideClient.readDataByIdentifier(0xF190), Bytes{0x42});
    EXPECT_EQ(insideClient.readDataByIdentifier(0xF190), Bytes{0x42});
}

TEST(UDSClient, LateAnswersOfEarlierRequestsNeverReachAWrite) {
    // An earlier request gave up unanswered: the requests after it are not sent, their probes
    // unanswered. The adapter holds every reply, the probes' too, until the probe sent before the
    // write, then answers them all in order. The write gets its own answer, however many come
    // first, and is never repeated on another request's "busy".
    using Late = std::pair<std::string, Lines>; // a request that gave up, and its late answers
    const std::vector<Late> tenReads(10, Late{"22F190", {"7F 22 31"}});
    const struct {
        std::vector<Late> before;
        Lines answers; // the write's own
        Result expected;
    } cases[] = {
        {{{"22F190", {"7F 22 31"}}}, {"6E F1 90"}, Bytes{0xF1, 0x90}},
        {{{"22F190", {"7F 22 31"}}}, {"7F 2E 33"}, UDSError::negative(0x2E, 0x33)},
        {{{"22F190", {"7F 22 21"}}}, {"6E F1 90"}, Bytes{0xF1, 0x90}},
        {{{"2EF18901", {"7F 2E 21"}}}, {"6E F1 90"}, Bytes{0xF1, 0x90}},
        {{{"2EF18901", {"7F 2E 78", "6E F1 89"}}, {"22F190", {}}}, {"7F 2E 78", "6E F1 90"}, Bytes{0xF1, 0x90}},
        {tenReads, {"6E F1 90"}, Bytes{0xF1, 0x90}},
    };
    for (const auto& c : cases) {
        bool released = false, firstSent = false; // the command lock serialises the script
        Lines held;
        ScriptedAdapter adapter(
            [&](const std::string& line, const AdapterState&) -> std::optional<Lines> {
                const auto hold = [&](const Lines& answers) {
                    for (const std::string& answer : answers) held.push_back(reply(answer));
                };
                if (!std::exchange(firstSent, true)) hold(c.before.front().second);
                if (line == "ATI" || line == "ATRV") hold({line == "ATI" ? "ELM327 v1.5" : "12.6V"});
                if (line == "2EF19001") hold(c.answers);
                if (!released) return Lines{};
                return std::exchange(held, {});
            },
            {.responseTimeout = 30ms});
        // After the first, each request costs two probes, "ATI" and "ATRV" in turn, and is not sent.
        std::size_t probes = 0;
        const auto probe = [&] { return probes++ % 2 == 0 ? "ATI" : "ATRV"; };
        Lines sent{c.before.front().first};
        for (const Late& request : c.before) {
            adapter.session().raw(request.first);
            if (&request == &c.before.front()) continue;
            sent.push_back(probe());
            sent.push_back(probe());
        }
        released = true;
        UDSClient client(adapter.session());
        const Bytes write{0xF1, 0x90, 0x01};
        EXPECT_EQ(attempt([&] { return client.request(UDSService::writeDataByIdentifier, write, 2); }), c.expected)
            << c.answers.front();
        sent.push_back(probe());
        sent.push_back("2EF19001");
        EXPECT_EQ(adapter.lines(), sent);
    }
}

} // namespace

// A request refused "?" while a given-up probe's "?" may still come cannot tell whose that "?" is:
// a read is asked again at once, but a write may have reached its ECU and is never sent twice.
TEST(UDSClient, OnlyAReadLeftSilentAfterAProbesRefusalIsAskedAgain) {
    const struct {
        const char* line;
        UDSService service;
        Bytes data;
        Lines sent; // the requests, "!" for one sent again at once
        Result expected;
    } cases[] = {
        {"22F190", UDSService::readDataByIdentifier, {0xF1, 0x90}, {"3E00", "22F190", "22F190!"}, Bytes{0xF1, 0x90, 0x41}},
        {"2EF19001", UDSService::writeDataByIdentifier, {0xF1, 0x90, 0x01}, {"3E00", "2EF19001"}, UDSError::unanswered()},
    };
    for (const auto& c : cases) {
        const std::string answer = c.service == UDSService::readDataByIdentifier ? "62 F1 90 41" : "6E F1 90";
        ScriptedAdapter adapter(askByAsk({{"3E00", {""}}, {"ATI", {""}}, {"ATRV", {""}}, {c.line, {"?", answer}}}),
                                {.responseTimeout = 30ms});
        UDSClient client(adapter.session());
        client.target("7E0");
        // Lost, then held back behind the two probes lost too.
        for (int ask = 0; ask < 2; ++ask) {
            const Result present = attempt([&] { return client.request(UDSService::testerPresent, Bytes{0x00}, 0); });
            ASSERT_TRUE(std::holds_alternative<UDSError>(present));
            EXPECT_EQ(std::get<UDSError>(present).kind(), UDSError::Kind::unanswered);
        }
        EXPECT_EQ(attempt([&] { return client.request(c.service, c.data, 0); }), c.expected) << c.line;
        EXPECT_EQ(requestsIn(adapter.lines()), c.sent) << c.line;
    }
}
