// The terminal back end of the model: the transcript of commands, replies, error words, silent
// adapters and failed sends, one exchange per line, and the 500-entry cut.
#include "ToolFixtures.hpp"

#include "VEQTransport/TransportError.hpp"

#include <gtest/gtest.h>

using namespace veq;
using namespace veq::testing;
using Kind = AppModel::TerminalEntry::Kind;

namespace {

struct Line {
    Kind kind;
    std::string text;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Line& l) {
    return os << static_cast<int>(l.kind) << ":" << l.text;
}

std::vector<Line> transcript(const AppModel& model, std::size_t from = 0) {
    std::vector<Line> out;
    for (std::size_t i = from; i < model.terminalLog().size(); ++i) {
        out.push_back({model.terminalLog()[i].kind, model.terminalLog()[i].text});
    }
    return out;
}

// Sends and waits until the log has grown to `entries` more than before the send.
bool sendAndWait(AppModel& model, std::string_view text, std::size_t entries) {
    const std::size_t before = model.terminalLog().size();
    model.sendTerminalCommand(text);
    return waitUntil([&] { return model.terminalLog().size() >= before + entries; }, 20s);
}

const std::string notConnected = "Non connecté à un véhicule.";

} // namespace

TEST(TerminalTests, RepliesErrorWordsSilenceAndFailuresEnterTheTranscript) {
    ScriptedCar car([](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "01FF") return says("NO DATA");
        if (line == "ATXX") return silence();
        if (line == "ATMULTI") return says("LINE ONE\rLINE TWO\r\rLINE THREE");
        return std::nullopt;
    });
    car.failSendsContaining("ATBROKEN");
    ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;

    struct Case {
        std::string typed;
        std::vector<Line> expected;
    };
    const std::vector<Case> cases{
        {"  ATI \n", {{Kind::command, "ATI"}, {Kind::response, "ELM327 v1.5"}}},
        {"01FF", {{Kind::command, "01FF"}, {Kind::error, "NO DATA"}, {Kind::response, "NO DATA"}}},
        {"ATXX", {{Kind::command, "ATXX"}, {Kind::info, "(pas de réponse)"}}},
        {"ATMULTI",
         {{Kind::command, "ATMULTI"}, {Kind::response, "LINE ONE"}, {Kind::response, "LINE TWO"},
          {Kind::response, "LINE THREE"}}},
        {"ATBROKEN",
         {{Kind::command, "ATBROKEN"},
          {Kind::error, std::string("Erreur : ") + TransportError::notConnected().what()}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const std::size_t from = rig->terminalLog().size();
        rig->sendTerminalCommand(c.typed);
        // The command shows at once, before its reply.
        ASSERT_GT(rig->terminalLog().size(), from);
        EXPECT_EQ(transcript(*rig, from)[0], c.expected[0]);
        ASSERT_TRUE(waitUntil([&] { return rig->terminalLog().size() >= from + c.expected.size(); }, 20s));
        settleFor(20ms);
        EXPECT_EQ(transcript(*rig, from), c.expected);
    }
    EXPECT_TRUE(car.sent("ATI"));
    EXPECT_TRUE(pollingAnswers(*rig));

    // Input of blanks and line breaks only sends nothing.
    const std::size_t size = rig->terminalLog().size();
    rig->sendTerminalCommand(" \r\n\t ");
    settleFor(50ms);
    EXPECT_EQ(rig->terminalLog().size(), size);
    rig->clearTerminal();
    EXPECT_TRUE(rig->terminalLog().empty());
}

TEST(TerminalTests, EachLineOfTheInputIsAnExchangeOfItsOwn) {
    ScriptedCar car;
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    const std::size_t sent = car.lines().size();

    ASSERT_TRUE(sendAndWait(*rig, "ATI\r010D\r\n  ATRV  \n\n", 6));
    settleFor(20ms);
    const auto log = transcript(*rig);
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ((std::vector<Line>{log[0], log[1], log[2]}),
              (std::vector<Line>{{Kind::command, "ATI"}, {Kind::command, "010D"}, {Kind::command, "ATRV"}}));
    EXPECT_EQ(log[3], (Line{Kind::response, "ELM327 v1.5"}));
    EXPECT_NE(log[4].text.find("410D"), std::string::npos) << log[4].text;
    EXPECT_EQ(log[5].kind, Kind::response);
    EXPECT_NE(log[5].text.find('V'), std::string::npos) << log[5].text;

    // The adapter received each command on its own line, in order (polling sends "010D" too).
    std::vector<std::string> terminalLines;
    const auto lines = car.lines();
    for (auto it = lines.begin() + static_cast<std::ptrdiff_t>(sent); it != lines.end(); ++it) {
        if (*it == "ATI" || *it == "ATRV") terminalLines.push_back(*it);
    }
    EXPECT_EQ(terminalLines, (std::vector<std::string>{"ATI", "ATRV"}));
}

// The header typed stays the terminal's: the polling between two commands sends its own, and the
// terminal's next request goes to the terminal's ECU again.
TEST(TerminalTests, RequestsGoToTheHeaderTypedWhilePollingRuns) {
    ScriptedCar car;
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    ASSERT_TRUE(sendAndWait(*rig, "ATSH7E1", 2));
    ASSERT_TRUE(pollingAnswers(*rig));
    const std::size_t from = rig->terminalLog().size();
    ASSERT_TRUE(sendAndWait(*rig, "222010", 2)); // the gearbox's gear
    settleFor(20ms);
    const auto log = transcript(*rig, from);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].kind, Kind::response);
    EXPECT_NE(log[1].text.find("622010"), std::string::npos) << log[1].text;
    EXPECT_TRUE(pollingAnswers(*rig));
}

TEST(TerminalTests, NotLiveLogsOneErrorUncutAndTheCutKeepsTheLast500) {
    ConnectionRig rig;
    for (int i = 0; i < 499; ++i) rig->sendTerminalCommand("ATI");
    ASSERT_EQ(rig->terminalLog().size(), 499u); // one entry each, sent nothing
    EXPECT_EQ(transcript(*rig, 498), (std::vector<Line>{{Kind::error, notConnected}}));
    rig->sendTerminalCommand("ATI");
    rig->sendTerminalCommand("ATZ");
    EXPECT_EQ(rig->terminalLog().size(), 501u); // that path is never cut

    rig->clearTerminal();
    for (int i = 0; i < 499; ++i) rig->sendTerminalCommand("ATI");
    const auto oldest = rig->terminalLog()[0].id;
    const auto second = rig->terminalLog()[1].id;
    ASSERT_TRUE(rig.connect()) << rig->phase().message;

    // 499 entries and a command with one reply line: 500, the oldest gone.
    rig->sendTerminalCommand("ATI");
    EXPECT_EQ(rig->terminalLog().size(), 500u);
    ASSERT_TRUE(waitUntil([&] { return rig->terminalLog().back().kind == Kind::response; }, 20s));
    EXPECT_EQ(rig->terminalLog().size(), 500u);
    EXPECT_EQ(rig->terminalLog()[0].id, second);
    EXPECT_NE(rig->terminalLog()[0].id, oldest);
    EXPECT_EQ(transcript(*rig, 498), (std::vector<Line>{{Kind::command, "ATI"}, {Kind::response, "ELM327 v1.5"}}));

    // 500 entries: still 500, the two oldest gone.
    const auto third = rig->terminalLog()[2].id;
    rig->sendTerminalCommand("ATI");
    EXPECT_EQ(rig->terminalLog().size(), 501u); // the command before its reply
    ASSERT_TRUE(waitUntil([&] { return rig->terminalLog().back().kind == Kind::response; }, 20s));
    EXPECT_EQ(rig->terminalLog().size(), 500u);
    EXPECT_EQ(rig->terminalLog()[0].id, third);

    // The transcript outlives the connection.
    rig->disconnect();
    EXPECT_EQ(rig->terminalLog().size(), 500u);
}
