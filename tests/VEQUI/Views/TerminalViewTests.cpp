// The command terminal screen: its ready-made commands and modes against their golden copy,
// commands typed and pressed filling the transcript by kind, the send button's rules, clearing,
// and the mode switch keeping the transcript and the typed text.
#include "ToolScreenFixtures.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/TerminalCommands.hpp"
#include "VEQUI/Views/TerminalConsole.hpp"
#include "VEQUI/Views/TerminalView.hpp"
#include "VEQUI/Views/ToolSymbols.hpp"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace veq {
namespace {

using namespace veq::testing;
using Mode = TerminalCommands::Mode;
using Line = TerminalConsole::Line;

const QSize screenSize(900, 620);
const QString command = QStringLiteral("\u00BB");
const QString blank = QStringLiteral("  ");
const QString cross = QStringLiteral("\u2715");

struct Screen {
    ScriptedCar* car;
    ConnectionRig rig;
    std::unique_ptr<TerminalView> view;

    explicit Screen(ScriptedCar* scripted = nullptr)
        : car(scripted), rig({.car = scripted}), view(std::make_unique<TerminalView>(*rig)) {
        present(*view, screenSize);
    }
    AppModel& model() { return *rig; }
    TerminalConsole* console() const {
        return static_cast<TerminalConsole*>(only<QTextEdit>(*view, QStringLiteral("console")));
    }
    std::vector<Line> lines() const { return console() ? console()->lines() : std::vector<Line>{}; }
    QLineEdit* field() const { return only<QLineEdit>(*view, QStringLiteral("inputField")); }
    ToolButton* sendButton() const { return static_cast<ToolButton*>(button(*view, QStringLiteral("sendButton"))); }
    void type(const QString& text) {
        field()->setFocus();
        QTest::keyClicks(field(), text);
    }
    void pressReturn() { QTest::keyClick(field(), Qt::Key_Return); }
    void chooseMode(Mode mode) {
        for (auto* segment : named<QPushButton>(*view, QStringLiteral("modeSegment"))) {
            if (segment->text().toStdString() == TerminalCommands::rawValue(mode)) QTest::mouseClick(segment, Qt::LeftButton);
        }
        settle();
    }
    QAbstractButton* paletteButton(const char* text) const {
        for (auto* b : named<QAbstractButton>(*view, QStringLiteral("paletteButton"))) {
            if (b->text() == QLatin1String(text)) return b;
        }
        return nullptr;
    }
    // Waits for the transcript to hold `count` lines.
    bool linesReach(std::size_t count) { return waitUntil([&] { return lines().size() >= count; }, 15s); }
};

TEST(TerminalView, ReadyMadeCommandsAndModesMatchTheirTables) {
    struct Row {
        const char* command;
        const char* label;
    };
    const Row golden[] = {
        {"ATI", "Version firmware"},    {"ATRV", "Tension batterie"}, {"ATDPN", "Protocole détecté"},
        {"0100", "PIDs supportés"},     {"010C", "Régime"},           {"0105", "Température eau"},
        {"03", "Codes défaut"},         {"0902", "VIN"},
    };
    ASSERT_EQ(TerminalCommands::palette().size(), std::size(golden));
    for (std::size_t i = 0; i < std::size(golden); ++i) {
        EXPECT_EQ(TerminalCommands::palette()[i].command, golden[i].command) << i;
        EXPECT_EQ(TerminalCommands::palette()[i].label, golden[i].label) << i;
    }

    EXPECT_EQ(TerminalCommands::rawValue(Mode::console), "Console");
    EXPECT_EQ(TerminalCommands::rawValue(Mode::sniffer), "Sniffer CAN");
    EXPECT_EQ(TerminalCommands::modeFromRaw("Console"), Mode::console);
    EXPECT_EQ(TerminalCommands::modeFromRaw("Sniffer CAN"), Mode::sniffer);
    for (const char* other : {"console", "sniffer can", "Sniffer", "", "Console "}) {
        EXPECT_EQ(TerminalCommands::modeFromRaw(other), std::nullopt) << other;
    }

    // The screen shows them in that order: segments in the header, tiles in the bar.
    Screen screen;
    std::vector<std::string> segments;
    for (auto* s : named<QPushButton>(*screen.view, QStringLiteral("modeSegment"))) segments.push_back(s->text().toStdString());
    EXPECT_EQ(segments, (std::vector<std::string>{"Console", "Sniffer CAN"}));
    const auto tiles = named<QAbstractButton>(*screen.view, QStringLiteral("paletteButton"));
    ASSERT_EQ(tiles.size(), 8);
    for (int i = 0; i < tiles.size(); ++i) EXPECT_EQ(tiles[i]->text().toStdString(), golden[i].command);
    EXPECT_EQ(only(*screen.view, QStringLiteral("modePicker"))->width(), 220);
    EXPECT_EQ(text(only<QLabel>(*screen.view, QStringLiteral("headerTitle"))), "Terminal");
    EXPECT_EQ(screen.field()->placeholderText().toStdString(), "Commande (ex. 010C, ATRV)\u2026");
}

TEST(TerminalView, LinesTakeThePrefixAndColourOfTheirKind) {
    using Kind = AppModel::TerminalEntry::Kind;
    const QColor accent(0x12, 0x34, 0x56);
    struct Case {
        Kind kind;
        QString prefix;
        QColor colour;
    };
    const Case cases[] = {
        {Kind::command, command, accent},
        {Kind::response, blank, VEQ::textPrimary()},
        {Kind::error, cross, VEQ::critical()},
        {Kind::info, blank, VEQ::textSecondary()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TerminalCommands::lineStyle(c.kind, accent), (TerminalCommands::LineStyle{c.prefix, c.colour}))
            << static_cast<int>(c.kind);
    }
}

TEST(TerminalView, WithoutAVehicleACommandGivesOneErrorLineAndNoEcho) {
    Screen screen;
    EXPECT_TRUE(screen.lines().empty());
    // An empty transcript: clearing is offered and changes nothing.
    auto* clear = button(*screen.view, QStringLiteral("clearButton"));
    ASSERT_NE(clear, nullptr);
    EXPECT_TRUE(clear->isEnabled());
    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_TRUE(screen.model().terminalLog().empty());

    // Empty field: the send button is off and in the stroke colour; Return sends nothing.
    EXPECT_FALSE(screen.sendButton()->isEnabled());
    EXPECT_EQ(screen.sendButton()->colour(), VEQ::stroke());
    screen.pressReturn();
    EXPECT_TRUE(screen.model().terminalLog().empty());

    // Blanks alone: the button is on and in the accent, but nothing is sent and they stay.
    screen.type(QStringLiteral("   "));
    EXPECT_TRUE(screen.sendButton()->isEnabled());
    EXPECT_EQ(screen.sendButton()->colour(), screen.model().accent());
    QTest::mouseClick(screen.sendButton(), Qt::LeftButton);
    screen.pressReturn();
    EXPECT_TRUE(screen.model().terminalLog().empty());
    EXPECT_EQ(screen.field()->text().toStdString(), "   ");

    screen.field()->clear();
    screen.type(QStringLiteral("  atrv  "));
    screen.pressReturn();
    EXPECT_EQ(screen.field()->text().toStdString(), "");
    ASSERT_TRUE(screen.linesReach(1));
    settle();
    EXPECT_EQ(screen.lines(), (std::vector<Line>{{cross, QStringLiteral("Non connecté à un véhicule."), VEQ::critical()}}));
    shoot(*screen.view, QStringLiteral("terminal-not-connected"));
}

TEST(TerminalView, TypedAndPaletteCommandsFillTheTranscriptByKindAndClearEmptiesIt) {
    // The script answers two lines for a trimmed, lower-case "atrv", nothing at all for "ATXX";
    // the simulated car answers everything else.
    ScriptedCar car([](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "atrv") return says("12.4V\r13.1V");
        if (line == "ATXX") return says("");
        return std::nullopt;
    });
    Screen screen(&car);
    ASSERT_TRUE(screen.rig.connect()) << screen.model().phase().message;
    const QColor accent = screen.model().accent();

    screen.type(QStringLiteral("  atrv  "));
    QTest::mouseClick(screen.sendButton(), Qt::LeftButton);
    EXPECT_EQ(screen.field()->text().toStdString(), "");
    ASSERT_TRUE(screen.linesReach(3));
    EXPECT_TRUE(car.sent("atrv")) << "sent trimmed, its case unchanged";
    EXPECT_EQ(screen.lines(), (std::vector<Line>{{command, QStringLiteral("atrv"), accent},
                                                  {blank, QStringLiteral("12.4V"), VEQ::textPrimary()},
                                                  {blank, QStringLiteral("13.1V"), VEQ::textPrimary()}}));

    // A reply with neither a line nor an error word.
    screen.type(QStringLiteral("ATXX"));
    screen.pressReturn();
    ASSERT_TRUE(screen.linesReach(5));
    EXPECT_EQ(screen.lines()[3], (Line{command, QStringLiteral("ATXX"), accent}));
    EXPECT_EQ(screen.lines()[4], (Line{blank, QStringLiteral("(pas de réponse)"), VEQ::textSecondary()}));

    // A palette command goes out at once, and the text typed meanwhile is lost.
    screen.type(QStringLiteral("ATWS"));
    QTest::mouseClick(screen.paletteButton("ATDPN"), Qt::LeftButton);
    EXPECT_EQ(screen.field()->text().toStdString(), "");
    ASSERT_TRUE(screen.linesReach(7));
    EXPECT_FALSE(car.sent("ATWS"));
    EXPECT_EQ(screen.lines()[5], (Line{command, QStringLiteral("ATDPN"), accent}));
    EXPECT_EQ(screen.lines()[6].colour, VEQ::textPrimary());
    EXPECT_FALSE(screen.lines()[6].text.isEmpty());

    // Enough lines to scroll: the console follows the end of the transcript.
    for (int round = 0; round < 3; ++round) {
        for (const char* c : {"ATI", "0100", "010C", "03", "0902", "ATRV"}) QTest::mouseClick(screen.paletteButton(c), Qt::LeftButton);
    }
    ASSERT_TRUE(waitUntil([&] { return car.count("ATRV") == 3 && screen.lines().size() >= 45; }, 15s));
    settle();
    ASSERT_EQ(screen.lines().size(), screen.model().terminalLog().size());
    QScrollBar* bar = screen.console()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_TRUE(waitUntil([&] { return bar->value() == bar->maximum(); }));
    // Every line matches its entry of the model's log, in order and by kind.
    const auto& log = screen.model().terminalLog();
    const auto lines = screen.lines();
    for (std::size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(lines[i], (Line{TerminalCommands::lineStyle(log[i].kind, accent).prefix, QString::fromStdString(log[i].text),
                                  TerminalCommands::lineStyle(log[i].kind, accent).colour}))
            << i;
    }
    shoot(*screen.view, QStringLiteral("terminal-console"));

    QTest::mouseClick(button(*screen.view, QStringLiteral("clearButton")), Qt::LeftButton);
    EXPECT_TRUE(screen.model().terminalLog().empty());
    EXPECT_TRUE(screen.lines().empty());
}

TEST(TerminalView, SwitchingModesKeepsTheTranscriptAndTheTypedTextAndANewScreenStartsAfresh) {
    Screen screen;
    screen.type(QStringLiteral("ATZ"));
    screen.pressReturn();
    ASSERT_TRUE(screen.linesReach(1));
    screen.type(QStringLiteral("01 0D"));

    screen.chooseMode(Mode::sniffer);
    EXPECT_EQ(screen.view->mode(), Mode::sniffer);
    EXPECT_NE(only(*screen.view, QStringLiteral("SnifferView")), nullptr);
    EXPECT_EQ(only(*screen.view, QStringLiteral("console")), nullptr);
    EXPECT_EQ(only(*screen.view, QStringLiteral("paletteBar")), nullptr);
    EXPECT_EQ(only(*screen.view, QStringLiteral("inputBar")), nullptr);
    EXPECT_FALSE(button(*screen.view, QStringLiteral("clearButton"))->isVisible());

    screen.chooseMode(Mode::console);
    EXPECT_EQ(only(*screen.view, QStringLiteral("SnifferView")), nullptr);
    EXPECT_TRUE(button(*screen.view, QStringLiteral("clearButton"))->isVisible());
    EXPECT_EQ(screen.field()->text().toStdString(), "01 0D");
    EXPECT_EQ(screen.lines().size(), 1u);

    // Leaving the section and coming back: console mode, empty field, the same transcript.
    screen.view = std::make_unique<TerminalView>(*screen.rig);
    present(*screen.view, screenSize);
    EXPECT_EQ(screen.view->mode(), Mode::console);
    EXPECT_EQ(screen.field()->text().toStdString(), "");
    EXPECT_EQ(screen.lines().size(), 1u);
}

} // namespace
} // namespace veq
