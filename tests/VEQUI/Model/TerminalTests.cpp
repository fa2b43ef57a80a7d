// The terminal back end of the model: the transcript of commands, replies, error words, silent
// adapters and failed sends, one exchange per line, the typed header, and the 500-entry cut.
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

std::ostream& operator<<(std::ostream& os, const Line& l) { return os << static_cast<int>(l.kind) << ":" << l.text; }

std::vector<Line> transcript(const AppModel& model, std::size_t from = 0) {
    std::vector<Line> out;
    for (std::size_t i = from; i < model.terminalLog().size(); ++i) {
        out.push_back({model.terminalLog()[i].kind, model.terminalLog()[i].text});
    }
    return out;
}

// Sends, waits until the log has grown by `entries`, and returns what the send added.
std::vector<Line> sendAndWait(AppModel& model, std::string_view text, std::size_t entries) {
    const std::size_t before = model.terminalLog().size();
    model.sendTerminalCommand(text);
    EXPECT_GT(model.terminalLog().size(), before); // the command shows at once, before its reply
    EXPECT_TRUE(waitUntil([&] { return model.terminalLog().size() >= before + entries; }, 20s)) << text;
    settleFor(20ms); // and nothing more comes
    return transcript(model, before);
}

} // namespace

TEST(TerminalTests, RepliesErrorWordsSilenceFailuresLinesAndTheTypedHeaderEnterTheTranscript) {
    ScriptedCar car([](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "01FF") return says("NO DATA");
        if (line == "ATXX") return silence();
        if (line == "ATMULTI") return says("LINE ONE\rLINE TWO\r\rLINE THREE");
        return std::nullopt;
    });
    car.failSendsContaining("ATBROKEN");
    ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;

    const struct { std::string typed; std::vector<Line> expected; } cases[] = {
        {"  ATI \n", {{Kind::command, "ATI"}, {Kind::response, "ELM327 v1.5"}}},
        {"01FF", {{Kind::command, "01FF"}, {Kind::error, "NO DATA"}, {Kind::response, "NO DATA"}}},
        {"ATXX", {{Kind::command, "ATXX"}, {Kind::info, "(pas de réponse)"}}},
        {"ATMULTI",
         {{Kind::command, "ATMULTI"}, {Kind::response, "LINE ONE"}, {Kind::response, "LINE TWO"},
          {Kind::response, "LINE THREE"}}},
        {"ATBROKEN",
         {{Kind::command, "ATBROKEN"}, {Kind::error, std::string("Erreur : ") + TransportError::notConnected().what()}}},
    };
    for (const auto& c : cases) EXPECT_EQ(sendAndWait(*rig, c.typed, c.expected.size()), c.expected) << c.typed;

    // Each line of the input is an exchange of its own, in order; blank lines send nothing.
    const std::size_t sent = car.lines().size();
    const auto log = sendAndWait(*rig, "ATI\r010D\r\n  ATRV  \n\n", 6);
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ((std::vector<Line>{log[0], log[1], log[2], log[3]}),
              (std::vector<Line>{{Kind::command, "ATI"}, {Kind::command, "010D"}, {Kind::command, "ATRV"},
                                 {Kind::response, "ELM327 v1.5"}}));
    EXPECT_NE(log[4].text.find("410D"), std::string::npos) << log[4].text;
    EXPECT_NE(log[5].text.find('V'), std::string::npos) << log[5].text;
    std::vector<std::string> terminalLines; // polling sends "010D" too
    const auto lines = car.lines();
    std::copy_if(lines.begin() + static_cast<std::ptrdiff_t>(sent), lines.end(), std::back_inserter(terminalLines),
                 [](const std::string& l) { return l == "ATI" || l == "ATRV"; });
    EXPECT_EQ(terminalLines, (std::vector<std::string>{"ATI", "ATRV"}));
    const std::size_t size = rig->terminalLog().size();
    rig->sendTerminalCommand(" \r\n\t ");
    settleFor(50ms);
    EXPECT_EQ(rig->terminalLog().size(), size);

    // The header typed stays the terminal's: polling between two commands sends its own, and the
    // terminal's next request goes to the gearbox again.
    sendAndWait(*rig, "ATSH7E1", 2);
    ASSERT_TRUE(pollingAnswers(*rig));
    const auto gear = sendAndWait(*rig, "222010", 2);
    ASSERT_EQ(gear.size(), 2u);
    EXPECT_NE(gear[1].text.find("622010"), std::string::npos) << gear[1].text;
    EXPECT_TRUE(pollingAnswers(*rig));
    rig->clearTerminal();
    EXPECT_TRUE(rig->terminalLog().empty());
}

TEST(TerminalTests, NotLiveLogsOneErrorUncutAndTheCutKeepsTheLast500) {
    ConnectionRig rig;
    for (int i = 0; i < 499; ++i) rig->sendTerminalCommand("ATI");
    ASSERT_EQ(rig->terminalLog().size(), 499u); // one entry each, sent nothing
    EXPECT_EQ(transcript(*rig, 498), (std::vector<Line>{{Kind::error, "Non connecté à un véhicule."}}));
    rig->sendTerminalCommand("ATI");
    rig->sendTerminalCommand("ATZ");
    EXPECT_EQ(rig->terminalLog().size(), 501u); // that path is never cut

    rig->clearTerminal();
    for (int i = 0; i < 499; ++i) rig->sendTerminalCommand("ATI");
    const auto second = rig->terminalLog()[1].id;
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    // 499 entries and a command with one reply line: 500, the oldest gone.
    rig->sendTerminalCommand("ATI");
    EXPECT_EQ(rig->terminalLog().size(), 500u);
    ASSERT_TRUE(waitUntil([&] { return rig->terminalLog().back().kind == Kind::response; }, 20s));
    EXPECT_EQ(rig->terminalLog().size(), 500u);
    EXPECT_EQ(rig->terminalLog()[0].id, second);
    EXPECT_EQ(transcript(*rig, 498), (std::vector<Line>{{Kind::command, "ATI"}, {Kind::response, "ELM327 v1.5"}}));
    // 500 entries: still 500, the two oldest gone.
    const auto third = rig->terminalLog()[2].id;
    rig->sendTerminalCommand("ATI");
    EXPECT_EQ(rig->terminalLog().size(), 501u); // the command before its reply
    ASSERT_TRUE(waitUntil([&] { return rig->terminalLog().back().kind == Kind::response; }, 20s));
    EXPECT_EQ(rig->terminalLog().size(), 500u);
    EXPECT_EQ(rig->terminalLog()[0].id, third);
    rig->disconnect();
    EXPECT_EQ(rig->terminalLog().size(), 500u); // the transcript outlives the connection
}
