// The header each exchange states, and the "ATSH" the session sends for it only when another
// header is in force on the adapter.
#include "VEQEngine/Session/TransmitHeader.hpp"

#include "VEQEngine/Session/ScriptedTransport.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <map>

namespace veq {
namespace {

using testing::SessionRig;
using Lines = std::vector<std::string>;
using Action = std::function<ELM327Response(ELM327Session&)>;

// One exchange and the lines it puts on the wire.
struct Step {
    const char* what;
    Action action;
    Lines sent;
};

Action query(std::uint8_t pid) {
    return [pid](ELM327Session& s) { return s.query(OBDCommand(pid)); };
}
Action to(std::string header, std::string command) {
    return [=](ELM327Session& s) { return s.raw(TransmitHeader::of(header), command); };
}
Action raw(std::string command) {
    return [=](ELM327Session& s) { return s.raw(command); };
}
Action obdHeader(std::optional<std::string> header) {
    return [=](ELM327Session& s) {
        s.setOBDHeader(header);
        return ELM327Response{};
    };
}

// An adapter that takes every header but those listed: "?" refuses one; nothing leaves it
// unanswered past the time-out, its "OK" coming late, just before the next command's reply. It
// answers "ATI" with its banner and every other command "OK".
struct HeaderRig {
    std::map<std::string, std::optional<std::string>> headerAnswers;
    std::size_t held = 0; // headers answered late; the command lock serialises the script
    SessionRig rig{[this](const std::string& line) -> Lines {
        Lines replies(std::exchange(held, 0), "OK\r\r>");
        if (const auto it = headerAnswers.find(line); it != headerAnswers.end()) {
            if (it->second) replies.push_back(*it->second + "\r\r>");
            else ++held;
            return replies;
        }
        replies.push_back(line == "ATDPN" ? "A6\r\r>" : line == "ATI" ? "ELM327 v1.5\r\r>" : "OK\r\r>");
        return replies;
    }};

    void play(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            const std::size_t before = rig.transport->lines().size();
            step.action(*rig.session);
            const Lines all = rig.transport->lines();
            EXPECT_EQ(Lines(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()), step.sent) << step.what;
        }
    }
};

TEST(TransmitHeaderTest, TextIsReadAsTheAdapterReadsIt) {
    EXPECT_EQ(TransmitHeader::of(" 7e0 ").header(), "7E0");
    EXPECT_EQ(TransmitHeader::of("18 da 10 f1"), TransmitHeader::of("18DA10F1"));
    EXPECT_TRUE(TransmitHeader::any().header().empty());
    const struct {
        const char* command;
        std::optional<std::string> header;
        bool cleared;
    } cases[] = {{"ATSH7E1", "7E1", false}, {"at sh 18da10f1", "18DA10F1", false}, {"ATSH", std::nullopt, false},
                 {"22F190", std::nullopt, false}, {"ATSP6", std::nullopt, false}, {"ATZ", std::nullopt, true},
                 {"at ws", std::nullopt, true},   {"ATD", std::nullopt, true},  {"ATDPN", std::nullopt, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(TransmitHeader::setBy(c.command), c.header) << c.command;
        EXPECT_EQ(TransmitHeader::clearedBy(c.command), c.cleared) << c.command;
    }
}

TEST(TransmitHeaderTest, EachExchangeGoesOutWithItsHeaderSentOnlyWhenAnotherIsInForce) {
    HeaderRig h;
    h.play({
        {"the adapter's own addressing serves OBD", query(0x00), {"0100"}},
        {"a UDS request selects its ECU", to("7E1", "22F190"), {"ATSH7E1", "22F190"}},
        {"and keeps it, whatever its case", to("7e1", "22F191"), {"22F191"}},
        {"a command for no ECU goes as it is", raw("3E00"), {"3E00"}},
        {"OBD selects the functional header", query(0x0C), {"ATSH7DF", "010C"}},
        {"once", query(0x0D), {"010D"}},
        {"a typed header changes the one in force", raw("AT SH 7E0"), {"AT SH 7E0"}},
        {"known from then on", to("7E0", "22F190"), {"22F190"}},
        {"a reset brings back the adapter's addressing", raw("ATZ"), {"ATZ"}},
        {"which OBD takes", query(0x0C), {"010C"}},
        {"a header found by the sweep", obdHeader("7e0"), {}},
        {"is OBD's from then on", query(0x0C), {"ATSH7E0", "010C"}},
        {"until it is forgotten", obdHeader(std::nullopt), {}},
        {"then the functional header again", query(0x0C), {"ATSH7DF", "010C"}},
    });
}

TEST(TransmitHeaderTest, TheFunctionalHeaderIsTheBussOwn) {
    HeaderRig h;
    h.rig.session->setFormat(FrameFormat::can29);
    h.play({
        {"29-bit frames", to("18DA18F1", "22F190"), {"ATSH18DA18F1", "22F190"}},
        {"OBD on 29 bits", query(0x0C), {"ATSH18DB33F1", "010C"}},
        {"the adapter names its protocol", raw("ATDPN"), {"ATDPN"}}, // 6: CAN 11 bits, whatever the format
        {"a UDS request", to("7E1", "22F190"), {"ATSH7E1", "22F190"}},
        {"OBD on 11 bits", query(0x0C), {"ATSH7DF", "010C"}},
        {"a bus without CAN identifiers", raw("ATSP3"), {"ATSP3"}},
        {"a header", to("7E1", "22F190"), {"ATSH7E1", "22F190"}},
        {"its default cannot be named: nothing is sent for it", query(0x0C), {"010C"}},
    });
}

TEST(TransmitHeaderTest, ARequestWhoseHeaderTheAdapterDidNotTakeIsNotSent) {
    HeaderRig h;
    h.headerAnswers = {{"ATSH7E5", "?"}, {"ATSH7E6", std::nullopt}};
    h.play({
        {"a header of its own", to("7E1", "22F190"), {"ATSH7E1", "22F190"}},
        {"refused", to("7E5", "22F190"), {"ATSH7E5"}},
        {"refused, the one in force stays known", to("7E1", "22F191"), {"22F191"}},
        // Its reply still owed, the session asks for one that names its request before sending the
        // header once more; the late "OK" comes first and settles it.
        {"unanswered, sent once more", to("7E6", "22F190"), {"ATSH7E6", "ATI", "ATSH7E6"}},
        {"asked again", to("7E6", "22F190"), {"ATI", "ATSH7E6", "ATI", "ATSH7E6"}},
        {"after silence nothing is known in force", to("7E1", "22F192"), {"ATI", "ATSH7E1", "22F192"}},
    });
    const ELM327Response refused = h.rig.session->raw(TransmitHeader::of("7E5"), "22F190");
    EXPECT_EQ(refused.error, ELM327Error::unknownCommand);
    EXPECT_TRUE(refused.unsent); // the header's reply, never the request's
    const ELM327Response silent = h.rig.session->query(TransmitHeader::of("7E6"), OBDCommand(0x0C));
    EXPECT_FALSE(silent.promptTerminated || silent.error);
    EXPECT_EQ(h.rig.session->transmitHeader(), std::nullopt);
}

// A header command whose wait is given up (a stop) may still have been taken: the header it
// replaced is no longer believed in force, so the next request for it selects it again.
TEST(TransmitHeaderTest, AHeaderCommandGivenUpLeavesNoHeaderBelievedInForce) {
    HeaderRig h;
    h.headerAnswers = {{"ATSH7E1", std::nullopt}};
    h.rig.session->raw(TransmitHeader::of("7E0"), "22F190");
    std::stop_source stop;
    auto giving = std::async(std::launch::async, [&] { h.rig.session->raw(TransmitHeader::of("7E1"), "22F190", stop.get_token()); });
    ASSERT_TRUE(h.rig.transport->waitForLines(3));
    stop.request_stop();
    EXPECT_ANY_THROW(giving.get());
    EXPECT_EQ(h.rig.session->transmitHeader(), std::nullopt);
    h.play({{"selected again", to("7E0", "22F191"), {"ATI", "ATSH7E0", "22F191"}}});
}

// A reset left unanswered may never have reached the adapter: the header in force before it is
// not believed gone, and the next OBD request names its own.
TEST(TransmitHeaderTest, AnUnansweredResetLeavesNoAddressingBelievedInForce) {
    SessionRig rig([](const std::string& line) { return line == "ATZ" ? Lines{} : Lines{"OK\r\r>"}; });
    rig.session->raw(TransmitHeader::of("7E0"), "22F190");
    EXPECT_TRUE(rig.session->raw("ATZ").isSilence());
    const std::size_t before = rig.transport->lines().size();
    rig.session->query(OBDCommand(0x04));
    const Lines all = rig.transport->lines();
    EXPECT_EQ(Lines(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()), (Lines{"ATSH7DF", "0104"}));
}

// A section for one ECU sends its header even when the session believes it in force: the adapter
// may have been reset without the session seeing it.
TEST(TransmitHeaderTest, ASectionForOneECUSelectsItWhenItOpens) {
    HeaderRig h;
    h.headerAnswers = {{"ATSH7E5", "?"}};
    ELM327Session& session = *h.rig.session;
    session.raw(TransmitHeader::of("7E1"), "22F190");
    const std::size_t before = h.rig.transport->lines().size();
    {
        const auto section = session.exclusive(TransmitHeader::of("7E1"));
        ASSERT_TRUE(section.selection());
        EXPECT_TRUE(TransmitHeader::taken(*section.selection()));
        session.raw(TransmitHeader::of("7E1"), "22F191");
    }
    {
        const auto section = session.exclusive(TransmitHeader::obd()); // the adapter's functional header, named
        EXPECT_TRUE(section.selection());
    }
    {
        const auto section = session.exclusive(TransmitHeader::any());
        EXPECT_FALSE(section.selection());
    }
    {
        const auto section = session.exclusive(TransmitHeader::of("7E5"));
        ASSERT_TRUE(section.selection());
        EXPECT_EQ(section.selection()->error, ELM327Error::unknownCommand);
        session.raw(TransmitHeader::of("7E5"), "22F190"); // asks again, and sends nothing more
    }
    const Lines all = h.rig.transport->lines();
    EXPECT_EQ(Lines(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
              (Lines{"ATSH7E1", "22F191", "ATSH7DF", "ATSH7E5", "ATSH7E5"}));
}

} // namespace
} // namespace veq
