// The UDS client against a scripted adapter: answers mapped to payloads and errors, pending
// waits, busy repeats, the lock held across the waits, and trouble-code records.
#include "VEQEngine/UDSClient.hpp"

#include "VEQEngine/ScriptedAdapter.hpp"
#include "VEQProtocol/OBDCommand.hpp"
#include "VEQSupport/Text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <variant>

using namespace veq;
using namespace veq::testing;

namespace {

using Bytes = std::vector<std::uint8_t>;
// A payload, or the UDS error the request ended with.
using Result = std::variant<Bytes, UDSError>;

std::size_t countOf(const std::vector<std::string>& lines, std::string_view line) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

// The adapter answers `request` with the given chunks; everything else as by default.
ScriptedAdapter::Script answering(std::string request, std::vector<std::string> chunks) {
    return [request = std::move(request), chunks = std::move(chunks)](const std::string& line, const AdapterState&)
               -> std::optional<std::vector<std::string>> {
        if (line == request) return chunks;
        return std::nullopt;
    };
}

Result readF190(ScriptedAdapter& adapter) {
    UDSClient client(adapter.session());
    try {
        return client.readDataByIdentifier(0xF190);
    } catch (const UDSError& e) {
        return e;
    }
}

struct AnswerCase {
    const char* name;
    FrameFormat format;
    std::string answer;
    Result expected;
};

TEST(UDSClient, ReadDataByIdentifierMapsEveryAnswer) {
    const auto headersOff = FrameFormat::headersOff;
    const AnswerCase cases[] = {
        {"value", headersOff, reply("62 F1 90 57 44 44"), Bytes{0x57, 0x44, 0x44}},
        {"bare response byte", headersOff, reply("62"), Bytes{}},
        {"half an echo", headersOff, reply("62 F1"), Bytes{}},
        {"echo only", headersOff, reply("62 F1 90"), Bytes{}},
        {"echo of another identifier", headersOff, reply("62 F1 91 41"),
         UDSError::unexpected({0x62, 0xF1, 0x91, 0x41})},
        {"negative", headersOff, reply("7F 22 31"), UDSError::negative(0x22, 0x31)},
        {"negative without code", headersOff, reply("7F 22"), UDSError::negative(0x22, 0x10)},
        {"negative echoing another service", headersOff, reply("7F 2E 33"), UDSError::negative(0x22, 0x33)},
        {"no data", headersOff, reply("NO DATA"), UDSError::none()},
        {"adapter error", headersOff, reply("CAN ERROR"), UDSError::adapter(ELM327Error::canError)},
        {"another service", headersOff, reply("50 03"), UDSError::unexpected({0x50, 0x03})},
        {"nothing but the prompt", headersOff, ">", UDSError::none()},
        {"first of two ECUs", FrameFormat::can11, reply("7E9 04 62 F1 90 42\r7E8 04 62 F1 90 41"), Bytes{0x42}},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedAdapter adapter(answering("22F190", {c.answer}));
        adapter.session().setFormat(c.format);
        EXPECT_EQ(readF190(adapter), c.expected);
    }
}

TEST(UDSClient, TypedOperationsSendTheirRequestText) {
    struct Case {
        std::string sent;
        std::string answer;
        std::function<void(UDSClient&)> call;
    };
    const Case cases[] = {
        {"22F190", "62 F1 90 00", [](UDSClient& c) { c.readDataByIdentifier(0xF190); }},
        {"3E00", "7E 00", [](UDSClient& c) { c.testerPresent(); }},
        {"1001", "50 01", [](UDSClient& c) { c.openDiagnosticSession(UDSSessionType::defaultSession); }},
        {"1002", "50 02", [](UDSClient& c) { c.openDiagnosticSession(UDSSessionType::programming); }},
        {"1003", "50 03 00 32 01 F4", [](UDSClient& c) { c.openDiagnosticSession(UDSSessionType::extended); }},
        {"190208", "59 02 FF", [](UDSClient& c) { c.readDTCsByStatusMask(0x08); }},
        {"2701", "67 01 5A C3 19 7E", [](UDSClient& c) { c.requestSecuritySeed(0x01); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent);
        ScriptedAdapter adapter(answering(c.sent, {reply(c.answer)}));
        UDSClient client(adapter.session());
        EXPECT_NO_THROW(c.call(client));
        EXPECT_EQ(adapter.lines(), std::vector<std::string>{c.sent});
    }
}

TEST(UDSClient, TroubleCodeRecordsAreFourBytesAfterTheTwoLeadingOnes) {
    struct Case {
        const char* name;
        Bytes payload;
        std::vector<std::string> records; // code-failure type/status, in order
    };
    const Case cases[] = {
        {"no record", {0x02, 0xFF}, {}},
        {"five bytes", {0x02, 0xFF, 0x01, 0x23, 0x45}, {}},
        {"one record", {0x02, 0xFF, 0x01, 0x23, 0x45, 0x2F}, {"P0123-45/2F"}},
        {"empty slot skipped", {0x02, 0xFF, 0x00, 0x00, 0x11, 0x22, 0x01, 0x23, 0x45, 0x2F}, {"P0123-45/2F"}},
        {"thirteen bytes", {0x02, 0xFF, 0x01, 0x23, 0x45, 0x2F, 0x41, 0x00, 0x07, 0x08, 0x01, 0x02, 0x03},
         {"P0123-45/2F", "C0100-07/08"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> records;
        for (const UDSDTC& r : UDSClient::parseDTCRecords(c.payload)) records.push_back(r.id() + "/" + text::hexByte(r.status));
        EXPECT_EQ(records, c.records);
    }
}

TEST(UDSClient, PendingAnswersAreWaitedOutEightTimesAtMost) {
    struct Case {
        int pending;
        Result expected;
    };
    const Case cases[] = {
        {1, Bytes{0x41}},
        {8, Bytes{0x41}},
        // The 9th pending answer is the 8th wait's: it ends the request; the positive answer
        // queued behind it is never taken.
        {9, UDSError::negative(0x22, 0x78)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pending);
        std::vector<std::string> chunks(static_cast<std::size_t>(c.pending), reply("7F 22 78"));
        chunks.push_back(reply("62 F1 90 41"));
        ScriptedAdapter adapter(answering("22F190", chunks));
        EXPECT_EQ(readF190(adapter), c.expected);
        EXPECT_EQ(adapter.lines(), std::vector<std::string>{"22F190"}); // nothing sent while waiting
    }
}

TEST(UDSClient, SilenceAfterAPendingAnswerIsNoResponse) {
    ELM327Session::Timing quick;
    quick.responseTimeout = std::chrono::milliseconds(20);
    ScriptedAdapter adapter(answering("22F190", {reply("7F 22 78")}), quick);
    EXPECT_EQ(readF190(adapter), Result(UDSError::none()));
}

TEST(UDSClient, BusyAnswersAreRepeatedWithinTheBudget) {
    struct Case {
        int retries;
        std::size_t busyAnswers; // before a positive one
        std::size_t expectedSends;
        Result expected;
    };
    const Case cases[] = {
        {2, 100, 3, UDSError::negative(0x22, 0x21)},
        {0, 100, 1, UDSError::negative(0x22, 0x21)},
        {2, 1, 2, Bytes{0xF1, 0x90, 0x41}},
        {2, 2, 3, Bytes{0xF1, 0x90, 0x41}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.retries << " retries, " << c.busyAnswers << " busy");
        std::size_t sent = 0;
        ScriptedAdapter adapter([&](const std::string& line, const AdapterState&) -> std::optional<std::vector<std::string>> {
            if (line != "22F190") return std::nullopt;
            return std::vector<std::string>{++sent <= c.busyAnswers ? reply("7F 22 21") : reply("62 F1 90 41")};
        });
        UDSClient client(adapter.session());
        const Bytes request{0xF1, 0x90};
        Result got;
        try {
            got = client.request(UDSService::readDataByIdentifier, request, c.retries);
        } catch (const UDSError& e) {
            got = e;
        }
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(countOf(adapter.lines(), "22F190"), c.expectedSends);
    }
}

TEST(UDSClient, APendingExchangeKeepsOtherCommandsOutUntilItsAnswer) {
    // The ECU's real answer comes late, while a poller waits to send its own request: it must
    // reach the UDS caller, and the poller must then get its own reply.
    ScriptedAdapter adapter([](const std::string& line, const AdapterState&) -> std::optional<std::vector<std::string>> {
        if (line == "22F190") return std::vector<std::string>{reply("7F 22 78")};
        if (line == "010C") return std::vector<std::string>{reply("41 0C 1A F8")};
        return std::nullopt;
    });
    UDSClient client(adapter.session());
    Result udsResult;
    ELM327Response pollerReply;

    std::jthread uds([&] { udsResult = readF190(adapter); });
    ASSERT_TRUE(eventually([&] { return adapter.lines().size() == 1; }));
    std::jthread poller([&] { pollerReply = adapter.session().query(OBDCommand(0x0C)); });
    ASSERT_TRUE(eventually([&] { return adapter.session().lockQueueLength() == 1; }));
    EXPECT_EQ(adapter.lines(), std::vector<std::string>{"22F190"});

    adapter.transport().push(reply("62 F1 90 41"));
    uds.join();
    poller.join();
    EXPECT_EQ(udsResult, (Result(Bytes{0x41})));
    ASSERT_NE(pollerReply.firstPayload(), nullptr);
    EXPECT_EQ(*pollerReply.firstPayload(), (Bytes{0x41, 0x0C, 0x1A, 0xF8}));
    EXPECT_EQ(adapter.lines(), (std::vector<std::string>{"22F190", "010C"}));
}

TEST(UDSClient, WorksInsideTheCallersExclusiveSection) {
    std::vector<std::string> chunks{reply("7F 22 78"), reply("62 F1 90 41")};
    ScriptedAdapter adapter(answering("22F190", chunks));
    UDSClient client(adapter.session());
    ELM327Session::ExclusiveSection section = adapter.session().exclusive();
    EXPECT_EQ(client.readDataByIdentifier(0xF190), Bytes{0x41});
    EXPECT_EQ(client.readDataByIdentifier(0xF190), Bytes{0x41});
    section.release();
    EXPECT_EQ(adapter.session().lockQueueLength(), 0u);
}

TEST(UDSClient, TargetRecordsTheHeaderWhateverTheAdapterSaysAndTransportErrorsPassThrough) {
    ScriptedAdapter adapter(answering("ATSH7E1", {reply("?")}));
    UDSClient client(adapter.session());
    EXPECT_EQ(client.targetHeader(), std::nullopt);
    client.target("7E0");
    EXPECT_EQ(client.targetHeader(), "7E0");
    client.target("7E1");
    EXPECT_EQ(client.targetHeader(), "7E1");
    EXPECT_EQ(adapter.lines(), (std::vector<std::string>{"ATSH7E0", "ATSH7E1"}));

    adapter.transport().failSendsContaining("");
    EXPECT_THROW(client.target("7E2"), TransportError);
    EXPECT_EQ(client.targetHeader(), "7E1");
    EXPECT_THROW(client.readDataByIdentifier(0xF190), TransportError);
}

} // namespace
