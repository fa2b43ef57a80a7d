#include "VEQEngine/ELM327Session.hpp"
#include "VEQEngine/ExchangeCancelled.hpp"
#include "VEQEngine/MonitorStream.hpp"
#include "VEQEngine/ScriptedTransport.hpp"

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace veq {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedTransport;
using testing::eventually;

// An adapter that answers from a table of command lines; unknown lines stay unanswered.
ScriptedTransport::Responder table(std::map<std::string, std::string> replies) {
    return [replies = std::move(replies)](const std::string& line) -> std::vector<std::string> {
        const auto it = replies.find(line);
        if (it == replies.end()) return {};
        return {it->second};
    };
}

struct Rig {
    std::shared_ptr<ScriptedTransport> transport;
    std::unique_ptr<ELM327Session> session;

    explicit Rig(ScriptedTransport::Responder responder)
        : transport(std::make_shared<ScriptedTransport>(std::move(responder))),
          session(std::make_unique<ELM327Session>(
              transport, ELM327Session::Timing{.responseTimeout = 30ms, .monitorStopPause = 1ms})) {
        session->connect();
    }
};

TEST(SessionOperationsTest, InitialisationRunsTheStandardSequence) {
    Rig rig(table({{"ATZ", "ATZ\rELM327 v1.5\r\r>"},
                   {"ATE0", "?\r\r>"},
                   {"ATL0", "OK\r\r>"},
                   {"ATS0", "OK\r\r>"},
                   {"ATH1", "OK\r\r>"},
                   {"ATSP0", "OK\r\r>"}})); // ATAT2 stays unanswered
    const std::vector<InitStep> steps = rig.session->runInitialization();
    const std::vector<InitStep> expected{
        {"ATZ", "Réinitialisation adaptateur", true},
        {"ATE0", "Écho désactivé", false},
        {"ATL0", "Sauts de ligne désactivés", true},
        {"ATS0", "Espaces désactivés", true},
        {"ATH1", "En-têtes CAN activés", true},
        {"ATAT2", "Timing adaptatif agressif", true}, // silence is no adapter error
        {"ATSP0", "Détection automatique du protocole", true},
    };
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(rig.session->format(), FrameFormat::can11);
    EXPECT_EQ(rig.transport->lines(),
              (std::vector<std::string>{"ATZ", "ATE0", "ATL0", "ATS0", "ATH1", "ATAT2", "ATSP0"}));
}

TEST(SessionOperationsTest, InitialisationStopsAtTheFirstTransportError) {
    Rig rig(table({{"ATZ", "ELM327 v1.5\r\r>"}, {"ATE0", "OK\r\r>"}}));
    rig.transport->failSendsContaining("ATL0");
    EXPECT_THROW(rig.session->runInitialization(), TransportError);
    EXPECT_EQ(rig.transport->lines(), (std::vector<std::string>{"ATZ", "ATE0"}));
}

TEST(SessionOperationsTest, ProtocolNumberSelectsTheFrameFormat) {
    struct Case {
        FrameFormat before;
        std::optional<std::string> reply; // nothing: the adapter stays silent
        FrameFormat after;
    };
    const std::vector<Case> cases{
        {FrameFormat::can11, "A7", FrameFormat::can29},
        {FrameFormat::can29, "A6", FrameFormat::can11},
        {FrameFormat::can11, "9", FrameFormat::can29},
        {FrameFormat::headersOff, "8", FrameFormat::can11},
        {FrameFormat::can29, "a6", FrameFormat::can11},
        {FrameFormat::can11, "A3", FrameFormat::can11},
        {FrameFormat::can29, "?", FrameFormat::can29},
        {FrameFormat::can11, "", FrameFormat::can11},
        {FrameFormat::can11, std::nullopt, FrameFormat::can11},
    };
    for (const Case& c : cases) {
        Rig rig(c.reply ? table({{"ATDPN", *c.reply + "\r\r>"}}) : table({}));
        rig.session->setFormat(c.before);
        EXPECT_EQ(rig.session->detectAndApplyProtocolFormat(), c.after) << c.reply.value_or("(silence)");
        EXPECT_EQ(rig.session->format(), c.after);
    }
}

TEST(SessionOperationsTest, SupportedParameterDiscovery) {
    struct Case {
        std::string name;
        FrameFormat format;
        std::map<std::string, std::string> replies;
        std::set<std::uint8_t> supported;
        std::vector<std::string> requests;
    };
    const std::vector<Case> cases{
        {"one ECU without 0x20 makes one request", FrameFormat::headersOff,
         {{"0100", "41 00 BE 3F A8 12\r\r>"}},
         {0x01, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x13, 0x15, 0x1C, 0x1F},
         {"0100"}},
        {"two ECUs give the union, either one announcing the next base", FrameFormat::can11,
         {{"0100", "7E8 06 41 00 80 00 00 00 \r7E9 06 41 00 00 00 00 01 \r\r>"},
          {"0120", "7E8 06 41 20 00 00 00 00 \r7E9 06 41 20 40 00 00 00 \r\r>"}},
         {0x01, 0x20, 0x22},
         {"0100", "0120"}},
        {"every base announcing the next ends with C0, which has no catalogue row", FrameFormat::headersOff,
         {{"0100", "41 00 00 00 00 01\r>"},
          {"0120", "41 20 00 00 00 01\r>"},
          {"0140", "41 40 00 00 00 01\r>"},
          {"0160", "41 60 00 00 00 01\r>"},
          {"0180", "41 80 00 00 00 01\r>"},
          {"01A0", "41 A0 00 00 00 01\r>"},
          {"01C0", "41 C0 FF FF FF FF\r>"}},
         {0x20, 0x40, 0x60, 0x80, 0xA0, 0xC0},
         {"0100", "0120", "0140", "0160", "0180", "01A0", "01C0"}},
        {"NO DATA gives an empty set", FrameFormat::can11, {{"0100", "NO DATA\r\r>"}}, {}, {"0100"}},
        {"an answer that does not echo the request is skipped", FrameFormat::headersOff,
         {{"0100", "41 20 FF FF FF FF\r>"}},
         {},
         {"0100"}},
        {"a short bitmap gives nothing", FrameFormat::headersOff, {{"0100", "41 00 FF FF\r>"}}, {}, {"0100"}},
        {"silence ends the discovery", FrameFormat::can11, {}, {}, {"0100"}},
    };
    for (const Case& c : cases) {
        Rig rig(table(c.replies));
        rig.session->setFormat(c.format);
        EXPECT_EQ(rig.session->discoverSupportedPIDs(), c.supported) << c.name;
        EXPECT_EQ(rig.transport->lines(), c.requests) << c.name;
    }
}

TEST(SessionOperationsTest, ReadingOneParameter) {
    struct Case {
        std::string name;
        std::uint8_t pid;
        FrameFormat format;
        std::string reply;
        std::optional<double> value;
    };
    const std::vector<Case> cases{
        {"engine speed", 0x0C, FrameFormat::headersOff, "41 0C 1A F8\r\r>", 1726.0},
        {"engine speed with headers", 0x0C, FrameFormat::can11, "7E8 04 41 0C 1A F8 \r\r>", 1726.0},
        {"only the first ECU counts", 0x0C, FrameFormat::can11, "7E8 03 7F 01 12 \r7E9 04 41 0C 1A F8 \r\r>",
         std::nullopt},
        {"no catalogue row", 0x02, FrameFormat::headersOff, "41 02 01 00\r\r>", std::nullopt},
        {"NO DATA", 0x0D, FrameFormat::can11, "NO DATA\r\r>", std::nullopt},
        {"another parameter's echo", 0x0D, FrameFormat::headersOff, "41 0C 1A F8\r\r>", std::nullopt},
        {"too short", 0x0C, FrameFormat::headersOff, "41 0C 1A\r\r>", std::nullopt},
        {"silence", 0x0C, FrameFormat::headersOff, "", std::nullopt},
    };
    for (const Case& c : cases) {
        Rig rig([&](const std::string&) { return c.reply.empty() ? std::vector<std::string>{} : std::vector{c.reply}; });
        rig.session->setFormat(c.format);
        const std::optional<PIDReading> reading = rig.session->read(c.pid);
        EXPECT_EQ(reading.has_value(), c.value.has_value()) << c.name;
        if (reading && c.value) {
            EXPECT_EQ(reading->scalar(), c.value) << c.name;
        }
        char request[5];
        std::snprintf(request, sizeof request, "01%02X", c.pid);
        EXPECT_EQ(rig.transport->lines(), std::vector<std::string>{request}) << c.name;
    }
}

// An adapter that answers AT commands "OK" (ATI with its name), stays silent on "ATMA" and
// answers the character that ends monitor mode as a real adapter does.
ScriptedTransport::Responder monitoringAdapter() {
    return [](const std::string& line) -> std::vector<std::string> {
        if (line == "ATMA") return {};
        if (line.empty()) return {"\r\r>"};
        if (line == "ATI") return {"ELM327 v1.5\r\r>"};
        return {"OK\r\r>"};
    };
}

std::vector<std::string> drain(MonitorStream& stream) {
    std::vector<std::string> lines;
    while (auto line = stream.pop(0ms, {})) lines.push_back(*line);
    return lines;
}

TEST(SessionMonitorTest, LinesAreCutAtCarriageReturns) {
    Rig rig(monitoringAdapter());
    const std::shared_ptr<MonitorStream> stream = rig.session->startMonitoring();
    ASSERT_TRUE(rig.session->isMonitoring());
    rig.transport->push("7E8 03 41 0D 00\r");
    rig.transport->push("\r\r");                 // empty lines
    rig.transport->push("7E8 0>1\r");            // a prompt inside: dropped whole
    rig.transport->push("  7DF 02 01 0D\t\r7E8 04");
    rig.transport->push(" 41 0C 1A F8\r7E9");    // the tail waits for its carriage return
    const std::vector<std::string> expected{"7E8 03 41 0D 00", "7DF 02 01 0D", "7E8 04 41 0C 1A F8"};
    std::vector<std::string> lines;
    ASSERT_TRUE(eventually([&] {
        for (const std::string& line : drain(*stream)) lines.push_back(line);
        return lines.size() >= expected.size();
    }));
    EXPECT_EQ(lines, expected);
    rig.session->stopMonitoring();
    EXPECT_TRUE(stream->finished());
    EXPECT_TRUE(drain(*stream).empty());
}

TEST(SessionMonitorTest, StartAndStopSendTheirSequencesAndLeaveHeadersOn) {
    Rig rig(monitoringAdapter());
    rig.session->startMonitoring();
    EXPECT_EQ(rig.transport->lines(), (std::vector<std::string>{"ATH1", "ATS1", "ATCAF0", "ATMA"}));
    rig.session->stopMonitoring();
    EXPECT_FALSE(rig.session->isMonitoring());
    EXPECT_EQ(rig.transport->lines(),
              (std::vector<std::string>{"ATH1", "ATS1", "ATCAF0", "ATMA", "", "ATCAF1", "ATS0"}));
    EXPECT_EQ(rig.session->format(), FrameFormat::can11);
    // A second stop sends nothing.
    rig.session->stopMonitoring();
    EXPECT_EQ(rig.transport->sends().size(), 7u);
}

TEST(SessionMonitorTest, FailedStartRestoresTheAdapterAndLeavesMonitorMode) {
    Rig rig(monitoringAdapter());
    rig.transport->failSendsContaining("ATMA");
    EXPECT_THROW(rig.session->startMonitoring(), TransportError);
    EXPECT_FALSE(rig.session->isMonitoring());
    EXPECT_EQ(rig.transport->lines(), (std::vector<std::string>{"ATH1", "ATS1", "ATCAF0", "ATCAF1", "ATS0"}));
    // The command lock was given back: another thread gets through, and its reply is its own.
    std::future<ELM327Response> other = std::async(std::launch::async, [&] { return rig.session->raw("ATI"); });
    ASSERT_EQ(other.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(other.get().text, std::vector<std::string>{"ELM327 v1.5"});
    // Stopping now sends nothing.
    const std::size_t sends = rig.transport->sends().size();
    rig.session->stopMonitoring();
    EXPECT_EQ(rig.transport->sends().size(), sends);
}

TEST(SessionMonitorTest, NoCommandReachesTheAdapterWhileMonitoring) {
    Rig rig(monitoringAdapter());
    rig.session->startMonitoring();
    std::future<ELM327Response> queued = std::async(std::launch::async, [&] { return rig.session->raw("ATI"); });
    ASSERT_TRUE(eventually([&] { return rig.session->lockQueueLength() == 1; }));
    // Not even the thread that started the monitor: its request waits too (here already stopped).
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_THROW(rig.session->query(OBDCommand(0x0C), stopped.get_token()), ExchangeCancelled);
    EXPECT_EQ(rig.transport->lines().size(), 4u);

    rig.session->stopMonitoring();
    EXPECT_EQ(queued.get().text, std::vector<std::string>{"ELM327 v1.5"});
    EXPECT_EQ(rig.transport->lines(),
              (std::vector<std::string>{"ATH1", "ATS1", "ATCAF0", "ATMA", "", "ATCAF1", "ATS0", "ATI"}));
}

TEST(SessionMonitorTest, StopFromAnotherThreadEndsTheConsumersWait) {
    Rig rig(monitoringAdapter());
    const std::shared_ptr<MonitorStream> stream = rig.session->startMonitoring();
    std::future<void> stopper = std::async(std::launch::async, [&] { rig.session->stopMonitoring(); });
    // A consumer waiting for the next line is released by the end of the stream.
    while (!stream->finished()) stream->pop(1h, {});
    stopper.get();
    EXPECT_FALSE(rig.session->isMonitoring());
}

TEST(MonitorStreamTest, BacklogIsBoundedAndDropsTheOldestLines) {
    MonitorStream stream(4);
    for (int i = 1; i <= 6; ++i) stream.push("L" + std::to_string(i));
    EXPECT_EQ(stream.droppedLines(), 2u);
    stream.finish();
    stream.push("after the end");
    std::vector<std::string> lines;
    while (auto line = stream.pop(0ms, {})) lines.push_back(*line);
    EXPECT_EQ(lines, (std::vector<std::string>{"L3", "L4", "L5", "L6"}));
    EXPECT_TRUE(stream.finished());
}

} // namespace
} // namespace veq
