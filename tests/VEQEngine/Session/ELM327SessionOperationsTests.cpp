#include "VEQEngine/Session/ExchangeCancelled.hpp"
#include "VEQEngine/Session/MonitorAlreadyRunning.hpp"
#include "VEQEngine/Session/ScriptedTransport.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include <fmt/format.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <map>

#include <unistd.h>

namespace veq {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedTransport;
using testing::SessionRig;
using testing::eventually;
using Lines = std::vector<std::string>;

// An adapter that answers from a table of command lines; unknown lines stay unanswered.
ScriptedTransport::Responder table(std::map<std::string, std::string> replies) {
    return [replies = std::move(replies)](const std::string& line) {
        const auto it = replies.find(line);
        return it == replies.end() ? Lines{} : Lines{it->second};
    };
}

// The session's trace turned on and standard error sent to a file while it lives.
class TraceCapture {
public:
    TraceCapture() : file_(std::tmpfile()), saved_(::dup(2)) {
        ::setenv("VEQ_TRACE", "", 1);
        std::fflush(stderr);
        ::dup2(::fileno(file_), 2);
    }
    ~TraceCapture() {
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        std::fclose(file_);
        ::unsetenv("VEQ_TRACE");
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::string text() const {
        std::string out;
        char buffer[4096];
        for (ssize_t n; (n = ::pread(::fileno(file_), buffer, sizeof buffer, static_cast<off_t>(out.size()))) > 0;)
            out.append(buffer, static_cast<std::size_t>(n));
        return out;
    }

private:
    std::FILE* file_;
    int saved_;
};

TEST(SessionOperationsTest, InitialisationRunsTheStandardSequence) {
    SessionRig rig(table({{"ATZ", "ATZ\rELM327 v1.5\r\r>"}, {"ATE0", "?\r\r>"}, {"ATL0", "OK\r\r>"},
                          {"ATS0", "OK\r\r>"}, {"ATH1", "OK\r\r>"}, {"ATSP0", "OK\r\r>"}})); // ATAT2 silent
    const std::vector<InitStep> expected{
        {"ATZ", "Réinitialisation adaptateur", true},       {"ATE0", "Écho désactivé", false},
        {"ATL0", "Sauts de ligne désactivés", true},        {"ATS0", "Espaces désactivés", true},
        {"ATH1", "En-têtes CAN activés", true},             {"ATAT2", "Timing adaptatif agressif", true},
        {"ATSP0", "Détection automatique du protocole", true},
    };
    EXPECT_EQ(rig.session->runInitialization(), expected);
    EXPECT_EQ(rig.session->format(), FrameFormat::can11);
}

// A bus without CAN identifiers (J1850, ISO 9141, KWP) has its headers turned off: its header
// bytes would otherwise hide every reply.
TEST(SessionOperationsTest, ProtocolNumberSelectsTheFrameFormat) {
    const struct {
        FrameFormat before;
        const char* reply;
        FrameFormat after;
        bool headersOff;
    } cases[] = {{FrameFormat::can11, "A7", FrameFormat::can29, false},       {FrameFormat::can29, "a6", FrameFormat::can11, false},
                 {FrameFormat::headersOff, "8", FrameFormat::can11, false},   {FrameFormat::can11, "9", FrameFormat::can29, false},
                 {FrameFormat::can11, "A3", FrameFormat::headersOff, true},   {FrameFormat::can11, "5", FrameFormat::headersOff, true},
                 {FrameFormat::can11, "A1", FrameFormat::headersOff, true},   {FrameFormat::can29, "?", FrameFormat::can29, false},
                 {FrameFormat::can11, "AA", FrameFormat::can11, false}};
    for (const auto& c : cases) {
        SessionRig rig(table({{"ATDPN", std::string(c.reply) + "\r\r>"}, {"ATH0", "OK\r\r>"}}));
        rig.session->setFormat(c.before);
        EXPECT_EQ(rig.session->detectAndApplyProtocolFormat(), c.after) << c.reply;
        EXPECT_EQ(std::ranges::count(rig.transport->lines(), std::string("ATH0")), c.headersOff ? 1 : 0) << c.reply;
    }
    // An adapter that refuses to turn its headers off keeps the format it had.
    SessionRig refusing(table({{"ATDPN", "A4\r\r>"}, {"ATH0", "?\r\r>"}}));
    refusing.session->setFormat(FrameFormat::can11);
    EXPECT_EQ(refusing.session->detectAndApplyProtocolFormat(), FrameFormat::can11);

    // One that refused to turn them on prints none whatever the protocol: CAN is read without
    // headers, until a reset and an "ATH1" taken.
    bool refuses = true;
    SessionRig headerless([&](const std::string& line) {
        if (line == "ATH1") return Lines{refuses ? "?\r\r>" : "OK\r\r>"};
        return Lines{line == "ATDPN" ? "A6\r\r>" : line == "ATZ" ? "ELM327 v1.5\r\r>" : "OK\r\r>"};
    });
    headerless.session->raw("ATH1");
    EXPECT_EQ(headerless.session->detectAndApplyProtocolFormat(), FrameFormat::headersOff);
    EXPECT_EQ(headerless.session->readFormat(), FrameFormat::canHeadersOff);
    headerless.session->setFormat(FrameFormat::can29);
    EXPECT_EQ(headerless.session->format(), FrameFormat::headersOff);
    refuses = false;
    headerless.session->raw("ATZ");
    headerless.session->raw("ATH1");
    EXPECT_EQ(headerless.session->detectAndApplyProtocolFormat(), FrameFormat::can11);
}

TEST(SessionOperationsTest, SupportedParameterDiscovery) {
    const struct {
        const char* name;
        FrameFormat format;
        std::map<std::string, std::string> replies;
        std::set<std::uint8_t> supported;
        std::size_t requests;
    } cases[] = {
        {"two ECUs give the union, either one announcing the next base", FrameFormat::can11,
         {{"0100", "7E8 06 41 00 80 00 00 00 \r7E9 06 41 00 00 00 00 01 \r\r>"},
          {"0120", "7E8 06 41 20 00 00 00 00 \r7E9 06 41 20 40 00 00 00 \r\r>"}},
         {0x01, 0x20, 0x22}, 2},
        {"the chain ends at C0", FrameFormat::headersOff,
         {{"0100", "41 00 00 00 00 01\r>"}, {"0120", "41 20 00 00 00 01\r>"}, {"0140", "41 40 00 00 00 01\r>"},
          {"0160", "41 60 00 00 00 01\r>"}, {"0180", "41 80 00 00 00 01\r>"}, {"01A0", "41 A0 00 00 00 01\r>"},
          {"01C0", "41 C0 FF FF FF FF\r>"}},
         {0x20, 0x40, 0x60, 0x80, 0xA0, 0xC0}, 7},
        {"wrong echo", FrameFormat::headersOff, {{"0100", "41 20 FF FF FF FF\r>"}}, {}, 1},
        {"short bitmap", FrameFormat::headersOff, {{"0100", "41 00 FF FF\r>"}}, {}, 1},
        {"a single frame one byte short, its bitmap whole", FrameFormat::can11,
         {{"0100", "7E8 07 41 00 FF FF FF FE \r7E9 06 41 00 00 00 00 02 \r\r>"}}, {0x1F}, 1},
        // a broken ECU gives nothing; the other's whole bitmap counts
        {"a single frame short of its length beside a whole one", FrameFormat::can11,
         {{"0100", "7E8 06 41 00 FF FF \r7E9 06 41 00 00 00 00 02 \r\r>"}}, {0x1F}, 1},
        {"a stray frame before the whole bitmap", FrameFormat::can11,
         {{"0100", "7E8 21 00 00 \r7E8 06 41 00 80 00 00 00 \r\r>"}}, {0x01}, 1},
        // on CAN without headers (refused), each ECU's single frame is its own answer
        {"two ECUs without headers give the union", FrameFormat::can11,
         {{"ATH1", "?\r\r>"}, {"ATDPN", "A6\r\r>"}, {"0100", "41 00 80 00 00 00\r41 00 00 40 00 01\r\r>"},
          {"0120", "41 20 00 00 00 00\r\r>"}},
         {0x01, 0x0A, 0x20}, 2},
    };
    for (const auto& c : cases) {
        SessionRig rig(table(c.replies));
        if (c.replies.contains("ATDPN")) {
            rig.session->raw("ATH1");
            rig.session->detectAndApplyProtocolFormat();
        }
        rig.session->setFormat(c.format);
        EXPECT_EQ(rig.session->discoverSupportedPIDs(), c.supported) << c.name;
        EXPECT_EQ(std::ranges::count_if(rig.transport->lines(), [](const std::string& l) { return !l.starts_with("AT"); }),
                  static_cast<long>(c.requests)) << c.name;
    }
}

// The first ECU that answered the read decides; one that only answered another request is passed
// over. A reply whose deciding ECU answered broken is told apart, to be asked again.
TEST(SessionOperationsTest, ReadingOneParameter) {
    const struct {
        std::uint8_t pid;
        FrameFormat format;
        std::string reply;
        std::optional<double> value;
        bool broken = false;
    } cases[] = {
        {0x0C, FrameFormat::can11, "7E8 04 41 0C 1A F8 \r\r>", 1726.0},
        {0x0C, FrameFormat::can11, "7E8 03 7F 01 12 \r7E9 04 41 0C 1A F8 \r\r>", std::nullopt}, // first ECU only
        {0x02, FrameFormat::headersOff, "41 02 01 00\r\r>", std::nullopt},                       // no catalogue row
        {0x0D, FrameFormat::headersOff, "41 0C 1A F8\r\r>", std::nullopt},                       // another echo
        {0x0C, FrameFormat::headersOff, "41 0C 1A\r\r>", std::nullopt},                          // too short
        {0x0C, FrameFormat::can11, "7E8 05 41 0C 1A F8 \r\r>", std::nullopt, true},              // cut short
        {0x0C, FrameFormat::can11, "7E8 30 00 00 \r7E8 04 41 0C 1A F8 \r\r>", 1726.0},          // flow control dropped
        {0x0C, FrameFormat::can11, "7E8 05 41 0C 1A F8 \r7E8 04 41 0C 1A F8 \r\r>", 1726.0},   // then whole
        // the first ECU answered, broken: the second one's answer is not read
        {0x0C, FrameFormat::can11, "7E8 05 41 0C 1A F8 \r7E9 04 41 0C 1A F8 \r\r>", std::nullopt, true},
        {0x0C, FrameFormat::can11, "7E8 21 00 00 \r\r>", std::nullopt, true},                    // stray frames only
        {0x0C, FrameFormat::can11, "NO DATA\r\r>", std::nullopt},
        // another ECU's late answer to another read, printed first
        {0x0D, FrameFormat::can11, "7E9 04 41 0C 10 00 \r7E8 03 41 0D 2A \r\r>", 42.0},
        {0x0D, FrameFormat::can11, "7E9 04 41 0C 10 00 \r7EA 03 41 0C 10 \r7E8 03 41 0D 2A \r\r>", 42.0},
        // without headers on CAN, each line a message: the one naming another read is passed over
        {0x0D, FrameFormat::canHeadersOff, "41 0C 10 00\r41 0D 2A\r\r>", 42.0},
        {0x0D, FrameFormat::canHeadersOff, "7F 01 12\r41 0D 2A\r\r>", std::nullopt},
    };
    for (const auto& c : cases) {
        SessionRig rig(table({{fmt::format("01{:02X}", c.pid), c.reply}}));
        rig.session->setFormat(c.format);
        const auto read = rig.session->readPolled(c.pid);
        EXPECT_EQ(read.reading ? read.reading->scalar() : std::nullopt, c.value) << c.reply;
        EXPECT_EQ(read.broken, c.broken) << c.reply;
    }

    // In step, a reply holding the read's own answer is its own, though the ECU printed first
    // answers the read before: taken at once, no probe and no wait.
    SessionRig slow(table({{"010C", "7E8 04 41 0C 1A F8 \r\r>"},
                           {"010D", "7E9 04 41 0C 10 00 \r7E8 03 41 0D 2A \r\r>"}}),
                    {.responseTimeout = 5s});
    slow.session->setFormat(FrameFormat::can11);
    EXPECT_EQ(slow.session->read(0x0C)->scalar(), 1726.0);
    const auto speed = slow.session->read(0x0D);
    EXPECT_EQ(speed ? speed->scalar() : std::nullopt, 42.0);
    EXPECT_EQ(slow.transport->lines(), (Lines{"010C", "010D"}));
    EXPECT_EQ(slow.session->owedReplyCount(), 0u);
}

// A message cut short is noted with what cut it: a single frame short of its length as such.
TEST(SessionOperationsTest, ABrokenAnswerIsNotedWithWhatBrokeIt) {
    const struct {
        const char* reply;
        const char* note;
    } cases[] = {
        {"7E8 05 41 0C 1A F8 \r\r>", "message de 7E8 en une trame unique plus courte que la longueur qu'elle annonce"},
        {"7E8 10 14 41 0C 1A F8 00 00 \r\r>", "message de 7E8 plus court que sa première trame ne l'annonçait"},
    };
    for (const auto& c : cases) {
        TraceCapture trace;
        SessionRig rig(table({{"010C", c.reply}}));
        rig.session->setFormat(FrameFormat::can11);
        rig.session->read(0x0C);
        EXPECT_TRUE(eventually([&] { return trace.text().find(c.note) != std::string::npos; })) << trace.text();
    }
}

// Answers AT commands "OK" (ATI with its name), stays silent on "ATMA" and answers the
// character that ends monitor mode as a real adapter does.
ScriptedTransport::Responder monitoringAdapter() {
    return [](const std::string& line) -> Lines {
        if (line == "ATMA") return {};
        if (line.empty()) return {"\r\r>"};
        return {line == "ATI" ? "ELM327 v1.5\r\r>" : "OK\r\r>"};
    };
}

TEST(SessionMonitorTest, LinesAreCutAtCarriageReturnsAndStopRestoresTheAdapter) {
    SessionRig rig(monitoringAdapter());
    const auto stream = rig.session->startMonitoring();
    ASSERT_TRUE(rig.session->isMonitoring());
    for (const char* chunk : {"7E8 03 41 0D 00\r", "\r\r", "7E8 0>1\r", "  7DF 02 01 0D\t\r7E8 04", " 41 0C 1A F8\r7E9"})
        rig.transport->push(chunk);
    const Lines expected{"7E8 03 41 0D 00", "7DF 02 01 0D", "7E8 04 41 0C 1A F8"};
    Lines lines;
    ASSERT_TRUE(eventually([&] {
        while (auto line = stream->pop(0ms, {})) lines.push_back(*line);
        return lines.size() >= expected.size();
    }));
    EXPECT_EQ(lines, expected);
    rig.session->stopMonitoring();
    rig.session->stopMonitoring(); // a second stop sends nothing
    EXPECT_TRUE(stream->finished());
    EXPECT_EQ(rig.transport->lines(), (Lines{"ATH1", "ATS1", "ATCAF0", "ATMA", "", "ATCAF1", "ATS0"}));
    EXPECT_EQ(rig.session->format(), FrameFormat::can11);
}

// The adapter's "STOPPED" to the interruption may come late, after a restore command's own reply:
// it is no command's reply, and none is shifted by it.
TEST(SessionMonitorTest, ALateStoppedAfterTheMonitorIsNoCommandsReply) {
    SessionRig rig([](const std::string& line) -> Lines {
        if (line == "ATS0") return {"STOPPED\r\r>", "OK\r\r>"};
        return monitoringAdapter()(line);
    });
    rig.session->startMonitoring();
    rig.session->stopMonitoring();
    EXPECT_EQ(rig.session->queuedReplyCount() + rig.session->owedReplyCount(), 0u);
    EXPECT_EQ(rig.session->raw("ATI").text, Lines{"ELM327 v1.5"});
}

TEST(SessionMonitorTest, FailedStartRestoresTheAdapterAndFreesTheLock) {
    SessionRig rig(monitoringAdapter());
    rig.transport->failSendsContaining("ATMA");
    EXPECT_THROW(rig.session->startMonitoring(), TransportError);
    EXPECT_FALSE(rig.session->isMonitoring());
    EXPECT_EQ(rig.transport->lines(), (Lines{"ATH1", "ATS1", "ATCAF0", "ATCAF1", "ATS0"}));
    auto other = std::async(std::launch::async, [&] { return rig.session->raw("ATI"); });
    ASSERT_EQ(other.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(other.get().text, Lines{"ELM327 v1.5"});
}

TEST(SessionMonitorTest, NoCommandReachesTheAdapterWhileMonitoring) {
    SessionRig rig(monitoringAdapter());
    const auto stream = rig.session->startMonitoring();
    auto queued = std::async(std::launch::async, [&] { return rig.session->raw("ATI"); });
    ASSERT_TRUE(eventually([&] { return rig.session->lockQueueLength() == 1; }));
    // Not even the thread that started the monitor gets through.
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_THROW(rig.session->query(OBDCommand(0x0C), stopped.get_token()), ExchangeCancelled);
    EXPECT_EQ(rig.transport->lines().size(), 4u);
    // Stopped from another thread while a consumer waits for the next line.
    auto stopper = std::async(std::launch::async, [&] { rig.session->stopMonitoring(); });
    while (!stream->finished()) stream->pop(1h, {});
    stopper.get();
    EXPECT_EQ(queued.get().text, Lines{"ELM327 v1.5"});
    EXPECT_EQ(rig.transport->lines().back(), "ATI");
}

TEST(SessionMonitorTest, MonitorGivesBackTheFrameFormatOfTheCar) {
    const struct {
        FrameFormat before;
        bool startFails;
        FrameFormat after; // headers stay on after the monitor
    } cases[] = {{FrameFormat::can29, false, FrameFormat::can29},     {FrameFormat::can29, true, FrameFormat::can29},
                 {FrameFormat::can11, false, FrameFormat::can11},     {FrameFormat::headersOff, false, FrameFormat::can11},
                 {FrameFormat::headersOff, true, FrameFormat::can11}};
    for (const auto& c : cases) {
        SessionRig rig([](const std::string& line) {
            return line == "010C" ? Lines{"18DAF110 04 41 0C 1A F8 \r\r>"} : monitoringAdapter()(line);
        });
        rig.session->setFormat(c.before);
        if (c.startFails) {
            rig.transport->failSendsContaining("ATMA");
            EXPECT_THROW(rig.session->startMonitoring(), TransportError);
        } else {
            rig.session->startMonitoring();
            rig.session->stopMonitoring();
        }
        EXPECT_EQ(rig.session->format(), c.after) << c.before.headerWidth() << c.startFails;
        if (c.before == FrameFormat::can29) {
            const auto speed = rig.session->read(0x0C);
            EXPECT_EQ(speed ? speed->scalar() : std::nullopt, std::optional<double>(1726.0)) << c.startFails;
        }
    }
}

// A stop asked for while the monitor is being set up is kept, and the start gives up itself:
// the adapter is restored once and the command lock released once, to the caller waiting.
TEST(SessionMonitorTest, StopDuringStartUpIsHonouredOnce) {
    const struct {
        const char* stopOn; // the command being answered when the stop comes
        bool sendFails;     // that command's send fails after the stop
        Lines lines;
    } cases[] = {{"ATS1", false, {"ATH1", "ATS1", "ATCAF0", "ATCAF1", "ATS0", "ATI"}},
                 {"ATMA", false, {"ATH1", "ATS1", "ATCAF0", "ATMA", "", "ATCAF1", "ATS0", "ATI"}},
                 {"ATMA", true, {"ATH1", "ATS1", "ATCAF0", "ATMA", "ATCAF1", "ATS0", "ATI"}}};
    for (const auto& c : cases) {
        std::future<ELM327Response> waiting; // outlives the session, which wakes it on a fault
        ELM327Session* session = nullptr;
        SessionRig rig([&](const std::string& line) {
            if (line == "ATH1") {
                waiting = std::async(std::launch::async, [&] { return session->raw("ATI"); });
                EXPECT_TRUE(eventually([&] { return session->lockQueueLength() == 1; }));
            }
            if (line == c.stopOn) {
                session->stopMonitoring();
                if (c.sendFails) throw TransportError::notConnected();
            }
            return monitoringAdapter()(line);
        });
        session = rig.session.get();
        if (c.sendFails) {
            EXPECT_THROW(rig.session->startMonitoring(), TransportError);
        } else {
            EXPECT_THROW(rig.session->startMonitoring(), ExchangeCancelled) << c.stopOn;
        }
        ASSERT_FALSE(rig.session->isMonitoring()) << c.stopOn;
        ASSERT_EQ(waiting.wait_for(20s), std::future_status::ready);
        EXPECT_EQ(waiting.get().text, Lines{"ELM327 v1.5"});
        EXPECT_EQ(rig.transport->lines(), c.lines) << c.stopOn;
    }
}

// The adapter has one monitor: a start while it runs, or while another starts, is refused at once,
// from whichever thread, and sends nothing.
TEST(SessionMonitorTest, ASecondStartFailsAtOnce) {
    using Start = std::future<std::shared_ptr<MonitorStream>>;
    const auto refusedAtOnce = [](ELM327Session& session, Start& start) {
        if (start.wait_for(20s) == std::future_status::ready) {
            EXPECT_THROW(start.get(), MonitorAlreadyRunning);
            return;
        }
        ADD_FAILURE() << "the start waited for the monitor";
        // Ends the monitors it may start, so that the test ends.
        while (start.wait_for(10ms) != std::future_status::ready) session.stopMonitoring();
        start.wait();
    };
    {
        SessionRig rig(monitoringAdapter(), {.responseTimeout = 1h, .monitorStopPause = 1ms});
        ELM327Session& session = *rig.session;
        Start sameThread = std::async(std::launch::async, [&] {
            session.startMonitoring();
            return session.startMonitoring();
        });
        refusedAtOnce(session, sameThread);
        Start otherThread = std::async(std::launch::async, [&] { return session.startMonitoring(); });
        refusedAtOnce(session, otherThread);
        EXPECT_EQ(rig.transport->lines(), (Lines{"ATH1", "ATS1", "ATCAF0", "ATMA"}));
        EXPECT_TRUE(session.isMonitoring());
    }
    {
        // Two starts wait behind another user: the first served starts, the other gives up then.
        SessionRig rig(monitoringAdapter(), {.responseTimeout = 1h, .monitorStopPause = 1ms});
        ELM327Session& session = *rig.session;
        auto section = session.exclusive();
        Start first = std::async(std::launch::async, [&] { return session.startMonitoring(); });
        ASSERT_TRUE(eventually([&] { return session.lockQueueLength() == 1; }));
        Start second = std::async(std::launch::async, [&] { return session.startMonitoring(); });
        ASSERT_TRUE(eventually([&] { return session.lockQueueLength() == 2; }));
        section.release();
        ASSERT_EQ(first.wait_for(20s), std::future_status::ready);
        EXPECT_FALSE(first.get()->finished());
        refusedAtOnce(session, second);
        EXPECT_EQ(rig.transport->lines().size(), 4u);
    }
}

// An adapter stuck in monitor mode: a stop request ends the restore at once, and the next exchange
// carries out what is left of it before its own command.
TEST(SessionMonitorTest, AStoppedRestoreIsFinishedByTheNextExchange) {
    const struct {
        const char* name;
        bool stopFirst; // requested before stopMonitoring() is called
        Lines restore, next;
    } cases[] = {
        {"stopped before the interruption", true, {}, {"", "ATCAF1", "ATS0", "ATI"}},
        {"stopped while the adapter stays silent", false, {"", "ATCAF1"}, {"ATCAF1", "ATS0", "ATI"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> stuck{true};
        SessionRig rig([&](const std::string& line) -> Lines {
            if (stuck && (line.empty() || line == "ATCAF1")) return {};
            return monitoringAdapter()(line);
        }, {.responseTimeout = 1h, .monitorStopPause = 1ms});
        rig.session->startMonitoring();
        const std::size_t started = rig.transport->lines().size();
        std::stop_source stop;
        if (c.stopFirst) stop.request_stop();
        auto stopping = std::async(std::launch::async, [&] { rig.session->stopMonitoring(stop.get_token()); });
        if (!c.stopFirst) {
            ASSERT_TRUE(rig.transport->waitForLines(started + 2));
            stop.request_stop();
        }
        ASSERT_EQ(stopping.wait_for(20s), std::future_status::ready);
        EXPECT_FALSE(rig.session->isMonitoring());
        const Lines all = rig.transport->lines();
        EXPECT_EQ(Lines(all.begin() + static_cast<std::ptrdiff_t>(started), all.end()), c.restore);

        stuck = false;
        // A held command is answered once the adapter goes on: late, before the next one.
        if (!c.stopFirst) rig.transport->push("OK\r\r>");
        EXPECT_EQ(rig.session->raw("ATI").text, Lines{"ELM327 v1.5"});
        EXPECT_EQ(rig.session->raw("ATI").text, Lines{"ELM327 v1.5"}); // the restore is over
        const Lines after = rig.transport->lines();
        Lines expected = c.next;
        expected.push_back("ATI");
        EXPECT_EQ(Lines(after.begin() + static_cast<std::ptrdiff_t>(all.size()), after.end()), expected);
    }
}

TEST(SessionMonitorTest, DisconnectLeavesMonitorMode) {
    SessionRig rig(monitoringAdapter());
    const auto stream = rig.session->startMonitoring();
    rig.session->disconnect();
    ASSERT_FALSE(rig.session->isMonitoring());
    EXPECT_TRUE(stream->finished());
    rig.session->connect();
    EXPECT_EQ(rig.session->raw("ATI").text, Lines{"ELM327 v1.5"});
}

// The bound counts memory, a line's characters and its own cost: long lines weigh what they take.
TEST(MonitorStreamTest, BacklogIsBoundedAndDropsTheOldestLines) {
    constexpr std::size_t cost = MonitorStream::lineOverheadBytes;
    MonitorStream stream(4 * (2 + cost));
    for (int i = 1; i <= 6; ++i) stream.push("L" + std::to_string(i));
    EXPECT_EQ(stream.droppedLines(), 2u);
    stream.push(std::string(3 * (2 + cost) - cost, 'X')); // leaves room for one short line
    EXPECT_EQ(stream.droppedLines(), 5u);
    stream.finish();
    Lines lines;
    while (auto line = stream.pop(0ms, {})) lines.push_back(line->substr(0, 2));
    EXPECT_EQ(lines, (Lines{"L6", "XX"}));
    EXPECT_EQ(stream.bufferedMemory(), 0u);

    MonitorStream busy; // a flood of 60 kB lines, nobody reading
    for (int i = 0; i < 4096; ++i) busy.push(std::string(60'000, 'A'));
    EXPECT_EQ(busy.bufferedLines(), MonitorStream::defaultCapacityBytes / (60'000 + cost));
    EXPECT_LE(busy.bufferedMemory(), MonitorStream::defaultCapacityBytes);
}

} // namespace
} // namespace veq
