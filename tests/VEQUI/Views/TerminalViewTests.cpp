// The command terminal screen and its bus monitor mode: the ready-made commands and modes against
// their golden copy; commands typed and pressed filling the transcript by kind; the monitor
// starting and stopping with the mode and the screen, polling paused meanwhile; rows in
// identifier order with the changed bytes highlighted; recording and export through the save
// panel; a thousand identifiers build nothing per row and a burst of updates paints once.
#include "ScreenFixtures.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Diagnostics/FrameTable.hpp"
#include "VEQUI/Views/Diagnostics/SnifferView.hpp"
#include "VEQUI/Views/Diagnostics/TerminalCommands.hpp"
#include "VEQUI/Views/Diagnostics/TerminalConsole.hpp"
#include "VEQUI/Views/Diagnostics/TerminalView.hpp"
#include "VEQUI/Views/Diagnostics/ToolSymbols.hpp"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <fmt/format.h>

#include <fstream>
#include <set>
#include <sstream>

namespace veq {
namespace {

using namespace veq::testing;
using Mode = TerminalCommands::Mode;
using Line = TerminalConsole::Line;
using Cells = FrameRowCells;
using Access = AppModelToolsAccess;

const QSize screenSize(900, 620);
const QString command = QStringLiteral("\u00BB");
const QString blank = QStringLiteral("  ");
const QString cross = QStringLiteral("\u2715");
const char* const activeText = "Sniffer actif \u2014 t\u00E9l\u00E9m\u00E9trie en pause";

struct Screen {
    ConnectionRig rig;
    std::unique_ptr<TerminalView> view;

    explicit Screen(ScriptedCar* car = nullptr, QSize size = screenSize)
        : rig({.car = car}), view(std::make_unique<TerminalView>(*rig)) {
        present(*view, size);
    }
    AppModel& model() { return *rig; }
    TerminalConsole* console() const { return static_cast<TerminalConsole*>(only<QTextEdit>(*view, QStringLiteral("console"))); }
    std::vector<Line> lines() const { return console() ? console()->lines() : std::vector<Line>{}; }
    QLineEdit* field() const { return only<QLineEdit>(*view, QStringLiteral("inputField")); }
    ToolButton* tool(const char* name) const { return static_cast<ToolButton*>(button(*view, QString::fromLatin1(name))); }
    std::string label(const char* name) const { return textOf(*view, name); }
    FrameTable* table() const { return static_cast<FrameTable*>(only<QAbstractScrollArea>(*view, QStringLiteral("frameTable"))); }
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
    bool connect() { return rig.connect(); }
};

TEST(TerminalView, ReadyMadeCommandsModesAndLineKindsMatchTheirTables) {
    const std::pair<const char*, const char*> golden[] = {
        {"ATI", "Version firmware"},    {"ATRV", "Tension batterie"}, {"ATDPN", "Protocole détecté"},
        {"0100", "PIDs supportés"},     {"010C", "Régime"},           {"0105", "Température eau"},
        {"03", "Codes défaut"},         {"0902", "VIN"},
    };
    ASSERT_EQ(TerminalCommands::palette().size(), std::size(golden));
    for (std::size_t i = 0; i < std::size(golden); ++i) {
        EXPECT_EQ(TerminalCommands::palette()[i].command, golden[i].first) << i;
        EXPECT_EQ(TerminalCommands::palette()[i].label, golden[i].second) << i;
    }
    EXPECT_EQ(TerminalCommands::modeFromRaw("Console"), Mode::console);
    EXPECT_EQ(TerminalCommands::modeFromRaw("Sniffer CAN"), Mode::sniffer);
    for (const char* other : {"console", "sniffer can", "Sniffer", "", "Console "}) {
        EXPECT_EQ(TerminalCommands::modeFromRaw(other), std::nullopt) << other;
    }

    // Each kind of line has its prefix and colour.
    using Kind = AppModel::TerminalEntry::Kind;
    const QColor accent(0x12, 0x34, 0x56);
    const std::tuple<Kind, QString, QColor> kinds[] = {
        {Kind::command, command, accent}, {Kind::response, blank, VEQ::textPrimary()},
        {Kind::error, cross, VEQ::critical()}, {Kind::info, blank, VEQ::textSecondary()}};
    for (const auto& [kind, prefix, colour] : kinds) {
        EXPECT_EQ(TerminalCommands::lineStyle(kind, accent), (TerminalCommands::LineStyle{prefix, colour})) << static_cast<int>(kind);
    }

    // The screen shows them in that order: segments in the header, tiles in the bar.
    Screen screen;
    std::vector<std::string> segments;
    for (auto* s : named<QPushButton>(*screen.view, QStringLiteral("modeSegment"))) segments.push_back(s->text().toStdString());
    EXPECT_EQ(segments, (std::vector<std::string>{"Console", "Sniffer CAN"}));
    const auto tiles = named<QAbstractButton>(*screen.view, QStringLiteral("paletteButton"));
    ASSERT_EQ(tiles.size(), 8);
    for (int i = 0; i < tiles.size(); ++i) EXPECT_EQ(tiles[i]->text().toStdString(), golden[i].first);
    EXPECT_EQ(screen.label("headerTitle"), "Terminal");
    EXPECT_EQ(screen.field()->placeholderText().toStdString(), "Commande (ex. 010C, ATRV)\u2026");
}

TEST(TerminalView, WithoutAVehicleACommandGivesOneErrorLineAndNoEcho) {
    Screen screen;
    // An empty transcript: clearing is offered and changes nothing.
    ASSERT_TRUE(screen.tool("clearButton")->isEnabled());
    QTest::mouseClick(screen.tool("clearButton"), Qt::LeftButton);
    EXPECT_TRUE(screen.model().terminalLog().empty());

    // Empty field: the send button is off and in the stroke colour; Return sends nothing.
    EXPECT_FALSE(screen.tool("sendButton")->isEnabled());
    EXPECT_EQ(screen.tool("sendButton")->colour(), VEQ::stroke());
    screen.pressReturn();
    // Blanks alone: the button is on and in the accent, but nothing is sent and they stay.
    screen.type(QStringLiteral("   "));
    EXPECT_TRUE(screen.tool("sendButton")->isEnabled());
    EXPECT_EQ(screen.tool("sendButton")->colour(), screen.model().accent());
    QTest::mouseClick(screen.tool("sendButton"), Qt::LeftButton);
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
    ASSERT_TRUE(screen.connect()) << screen.model().phase().message;
    const QColor accent = screen.model().accent();

    screen.type(QStringLiteral("  atrv  "));
    QTest::mouseClick(screen.tool("sendButton"), Qt::LeftButton);
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
    EXPECT_EQ(screen.lines()[4], (Line{blank, QStringLiteral("(pas de réponse)"), VEQ::textSecondary()}));

    // A palette command goes out at once, and the text typed meanwhile is lost.
    screen.type(QStringLiteral("ATWS"));
    QTest::mouseClick(screen.paletteButton("ATDPN"), Qt::LeftButton);
    EXPECT_EQ(screen.field()->text().toStdString(), "");
    ASSERT_TRUE(screen.linesReach(7));
    EXPECT_FALSE(car.sent("ATWS"));
    EXPECT_EQ(screen.lines()[5], (Line{command, QStringLiteral("ATDPN"), accent}));

    // Each line its entry of the log.
    const auto& log = screen.model().terminalLog();
    const auto lines = screen.lines();
    ASSERT_EQ(lines.size(), log.size());
    for (std::size_t i = 0; i < log.size(); ++i) {
        const auto style = TerminalCommands::lineStyle(log[i].kind, accent);
        EXPECT_EQ(lines[i], (Line{style.prefix, QString::fromStdString(log[i].text), style.colour})) << i;
    }
    shoot(*screen.view, QStringLiteral("terminal-console"));
    QTest::mouseClick(screen.tool("clearButton"), Qt::LeftButton);
    EXPECT_TRUE(screen.model().terminalLog().empty());
    EXPECT_TRUE(screen.lines().empty());
}

std::string withoutDateLine(const std::string& trace) {
    std::istringstream in(trace);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("date ")) out += line + "\n";
    }
    return out;
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

CANFrameRow row(std::vector<std::uint8_t> data, std::vector<bool> changed, int count, double span) {
    const auto first = std::chrono::system_clock::time_point(std::chrono::seconds(1'000'000));
    return {"7E8", std::move(data), std::move(changed), count, first,
            first + std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::duration<double>(span))};
}

TEST(SnifferView, RowCellsShowBytesRateAndCountWithChangedBytesInWarning) {
    const QColor accent(0x11, 0x22, 0x33);
    const QColor p = VEQ::textPrimary();
    const QColor w = VEQ::warning();
    struct Case { const char* name; CANFrameRow row; std::vector<Cells::Byte> bytes; const char* rate; const char* count; };
    const Case cases[] = {
        {"first frame", row({0x03, 0x41, 0x0d}, {false, false, false}, 1, 0), {{"03", p}, {"41", p}, {"0D", p}}, "0", "1"},
        {"second byte changed", row({0x03, 0x42, 0xff}, {false, true, false}, 11, 2.0), {{"03", p}, {"42", w}, {"FF", p}}, "5", "11"},
        {"longer frame", row({0x01, 0x02, 0x03}, {false, false, true}, 2, 0.5), {{"01", p}, {"02", p}, {"03", w}}, "2", "2"},
        {"marks shorter than bytes", row({0xa0, 0xb1}, {true}, 3, 0.04), {{"A0", w}, {"B1", p}}, "0", "3"},
        {"rate rounds", row({0x00}, {false}, 4, 2.0), {{"00", p}}, "2", "4"},
    };
    for (const Case& c : cases) {
        const Cells cells = frameRowCells(c.row, accent);
        EXPECT_EQ(cells.id, QStringLiteral("7E8")) << c.name;
        EXPECT_EQ(cells.idColour, accent) << c.name;
        EXPECT_EQ(cells.bytes, c.bytes) << c.name;
        EXPECT_EQ(cells.rate.toStdString(), c.rate) << c.name;
        EXPECT_EQ(cells.count.toStdString(), c.count) << c.name;
    }
}

// A row's texts as the table lays them out on its viewport: identifier, bytes, rate, count.
struct LaidOutRow {
    std::vector<RowText> texts;
    const RowText& rate() const { return texts[texts.size() - 2]; }
    const RowText& count() const { return texts.back(); }
    std::vector<RowText> data() const { return {texts.begin() + 1, texts.end() - 2}; }
};
LaidOutRow laidOut(const FrameTable& table, const CANFrameRow& row) {
    return {table.rowTexts(frameRowCells(row, VEQ::accent()), 0)};
}

// Once the table scrolls, its scroll bar takes width from the rows: the titles over them follow,
// at the sizes users see.
TEST(SnifferView, RateAndCountStandUnderTheirTitlesOnceTheTableScrolls) {
    for (const UserSize& size : userSizes) {
        SCOPED_TRACE(size.name);
        Screen screen(nullptr, size.content);
        screen.chooseMode(Mode::sniffer);
        std::vector<MonitorFrame> frames;
        for (int i = 0; i < 80; ++i) {
            frames.push_back(*MonitorFrame::parse(fmt::format("{:03X} 01 02 03 04 05 06 07 08", 0x100 + i)));
        }
        Access::applyMonitorFrames(screen.model(), frames);
        FrameTable& table = *screen.table();
        ASSERT_TRUE(waitUntil([&] { return table.verticalScrollBar()->isVisible(); }));
        settle();
        const auto titles = named<QLabel>(*screen.view, QStringLiteral("columnTitle"));
        ASSERT_EQ(titles.size(), 4);
        const LaidOutRow row = laidOut(table, screen.model().snifferRows().begin()->second);
        const auto rightInView = [&](const RowText& text) {
            return table.viewport()->mapTo(screen.view.get(), text.rect.topRight()).x();
        };
        EXPECT_EQ(placeIn(*screen.view, *titles[2]).right(), rightInView(row.rate()));
        EXPECT_EQ(placeIn(*screen.view, *titles[3]).right(), rightInView(row.count()));
        EXPECT_EQ(row.data().size(), 8u); // a whole CAN frame fits
        shoot(*screen.view, QStringLiteral("sniffer-scrolling-") + QString::fromStdString(size.name));
    }
}

// Bytes that do not fit in the data column give way to "…" at its end; the bytes shown are the
// first ones, each with the room it needs.
TEST(SnifferView, BytesThatDoNotFitEndTheDataCellWithAnEllipsis) {
    struct Case { const char* name; int width; std::size_t bytes; bool cut; };
    const Case cases[] = {
        {"a CAN frame, 1080 window", 869, 8, false},
        {"64 bytes, 1080 window", 869, 64, true},
        {"a CAN frame, narrow table", 300, 8, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> data(c.bytes);
        for (std::size_t i = 0; i < c.bytes; ++i) data[i] = static_cast<std::uint8_t>(0xA0 + i);
        CANFrameTable::Rows rows{{"7E8", row(data, std::vector<bool>(c.bytes, false), 1, 0)}};
        FrameTable table([&]() -> const CANFrameTable::Rows& { return rows; }, [] { return VEQ::accent(); });
        QPalette backdrop = table.palette(); // the monitor screen's background, for the picture
        backdrop.setColor(QPalette::Window, VEQ::background());
        table.setPalette(backdrop);
        table.setAutoFillBackground(true);
        present(table, {c.width, 60});
        const LaidOutRow laid = laidOut(table, rows.begin()->second);
        const std::vector<RowText> shown = laid.data();
        ASSERT_FALSE(shown.empty());
        const int dataLeft = FrameTable::sidePadding + FrameTable::idWidth + FrameTable::cellSpacing;
        const int dataRight = laid.rate().rect.left() - FrameTable::cellSpacing;
        for (const RowText& text : shown) {
            SCOPED_TRACE(text.text.toStdString());
            EXPECT_GE(text.rect.left(), dataLeft);
            EXPECT_LE(text.rect.left() + text.rect.width(), dataRight);
            EXPECT_GE(text.rect.width(), QFontMetrics(text.font).horizontalAdvance(text.text));
        }
        EXPECT_EQ(shown.back().text == QStringLiteral("\u2026"), c.cut);
        const std::size_t bytesShown = shown.size() - (c.cut ? 1 : 0);
        if (c.cut) EXPECT_LT(bytesShown, c.bytes);
        else EXPECT_EQ(bytesShown, c.bytes);
        for (std::size_t i = 0; i < bytesShown; ++i) {
            EXPECT_EQ(shown[i].text.toStdString(), fmt::format("{:02X}", data[i]));
        }
        if (c.width == 869) shoot(table, QStringLiteral("sniffer-bytes-%1-1080x680").arg(c.bytes));
    }
}

TEST(SnifferView, WithoutAVehicleTheMonitorIsRefusedAndTheEmptyStateShows) {
    Screen screen;
    screen.chooseMode(Mode::sniffer);
    EXPECT_FALSE(screen.model().sniffing());
    EXPECT_EQ(screen.label("statusText"), "Sniffer arr\u00EAt\u00E9");
    EXPECT_EQ(screen.label("idCount"), "0 ID");
    EXPECT_TRUE(only(*screen.view, QStringLiteral("emptyState"))->isVisible());
    EXPECT_EQ(screen.label("emptyTitle"), "En attente de trafic CAN\u2026");
    EXPECT_EQ(screen.label("emptyDetail"), "Le bus OBD ne diffuse pas toujours de trames en continu.");
    EXPECT_EQ(screen.tool("recordButton")->text().toStdString(), "Enregistrer");
    EXPECT_FALSE(screen.tool("exportButton")->isEnabled());
    EXPECT_EQ(texts(*screen.view, QStringLiteral("columnTitle")), (std::vector<std::string>{"ID", "DONN\u00C9ES", "Hz", "N"}));
    const QImage image = shoot(*screen.view, QStringLiteral("sniffer-stopped"));
    EXPECT_EQ(image.pixelColor(placeIn(*screen.view, *only(*screen.view, QStringLiteral("statusDot"))).center()), VEQ::stroke());
}

TEST(SnifferView, OnTheSimulatedCarRecordingExportsTheTraceAndLeavingResumesPolling) {
    Screen screen;
    AppModel& model = screen.model();
    ASSERT_TRUE(screen.connect()) << model.phase().message;
    ASSERT_TRUE(pollingAnswers(model));

    screen.chooseMode(Mode::sniffer);
    ASSERT_TRUE(waitUntil([&] { return screen.table() && screen.table()->isVisible() && !model.snifferRows().empty(); }, 20s));
    shoot(*screen.view, QStringLiteral("sniffer-running"));

    // Recording: a fresh one reads 0 and cannot be exported until a frame is in.
    QTest::mouseClick(screen.tool("recordButton"), Qt::LeftButton);
    EXPECT_TRUE(model.snifferRecording());
    EXPECT_EQ(screen.tool("recordButton")->text().toStdString(), "Enregistre (0)");
    EXPECT_EQ(screen.tool("recordButton")->colour(), VEQ::critical());
    EXPECT_FALSE(screen.tool("exportButton")->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return model.recordedFrames().size() >= 5 && screen.tool("exportButton")->isEnabled(); }, 20s));
    QTest::mouseClick(screen.tool("recordButton"), Qt::LeftButton);
    settle();
    EXPECT_EQ(screen.tool("recordButton")->text().toStdString(), "Enregistrer");

    // Export: the panel offers the trace's name; cancelling writes nothing, a chosen file
    // receives the model's text.
    auto& dialogs = *screen.rig.dialogs;
    QTest::mouseClick(screen.tool("exportButton"), Qt::LeftButton);
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].suggestedName, "oskavelcar-trace.asc");
    EXPECT_EQ(dialogs.saveRequests[0].types.at(0).extension, "asc");
    const auto target = screen.rig.folder.path() / "trace.asc";
    EXPECT_FALSE(std::filesystem::exists(target));
    dialogs.saveAnswers.push_back(target);
    QTest::mouseClick(screen.tool("exportButton"), Qt::LeftButton);
    ASSERT_TRUE(std::filesystem::exists(target));
    EXPECT_EQ(withoutDateLine(fileText(target)), withoutDateLine(model.snifferASCText()));
    EXPECT_NE(fileText(target).find(" 0C8 "), std::string::npos);
    EXPECT_TRUE(dialogs.messages.empty());
    // A write that fails is told to the user, and what stood there stays, with nothing left beside it.
    const auto blocked = screen.rig.folder.path() / "blocked.asc";
    std::filesystem::create_directory(blocked); // a folder cannot be replaced by the trace
    const auto entries = [&] {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(screen.rig.folder.path()))
            names.insert(entry.path().filename().string());
        return names;
    };
    const auto before = entries();
    dialogs.saveAnswers.push_back(blocked);
    QTest::mouseClick(screen.tool("exportButton"), Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, Dialogs::Message::Kind::error);
    EXPECT_TRUE(dialogs.messages[0].text.starts_with("Enregistrement impossible : ")) << dialogs.messages[0].text;
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
    EXPECT_EQ(entries(), before);
    // Nor does a trace replace the catalogue or the lock that keeps a second window off it.
    expectKeptFilesRefused(screen.rig, [&] { QTest::mouseClick(screen.tool("exportButton"), Qt::LeftButton); });

    // Back to the console: the monitor stops and polling answers again.
    screen.chooseMode(Mode::console);
    EXPECT_FALSE(model.sniffing());
    EXPECT_TRUE(pollingAnswers(model));

    // Leaving the section removes the screen: the monitor stops, polling answers again.
    screen.view.reset();
    EXPECT_FALSE(model.sniffing());
    EXPECT_TRUE(waitUntil([&] { return !Access::snifferTaskRunning(model); }));
    EXPECT_FALSE(Access::pollingPaused(model));
    EXPECT_TRUE(pollingAnswers(model));
}

TEST(SnifferView, FastModeSwitchesWhileTheAdapterHoldsTheStartLeaveOneMonitorWithPollingPaused) {
    ScriptGate gate;
    ScriptedCar car(monitorPrinting({"7E8 03 41 0D 00"}, &gate));
    Screen screen(&car);
    AppModel& model = screen.model();
    ASSERT_TRUE(screen.connect()) << model.phase().message;
    ASSERT_TRUE(pollingAnswers(model));

    screen.chooseMode(Mode::sniffer);
    ASSERT_TRUE(waitUntil([&] { return gate.reached(); }, 20s)) << "the adapter never got the monitor's start";
    screen.chooseMode(Mode::console);
    screen.chooseMode(Mode::sniffer);
    EXPECT_TRUE(model.sniffing());
    gate.open();

    ASSERT_TRUE(waitUntil([&] { return model.snifferRows().contains("7E8"); }, 20s));
    settleFor(300ms);
    EXPECT_TRUE(model.sniffing());
    EXPECT_EQ(screen.label("statusText"), activeText);
    // One monitor mode at a time, and the last one still open.
    int open = 0;
    for (const std::string& line : car.lines()) {
        if (line == "ATMA") {
            EXPECT_EQ(open, 0) << "monitor mode entered twice without leaving";
            open = 1;
        } else if (open) {
            open = 0;
        }
    }
    EXPECT_EQ(open, 1) << "the second start is not the one running";
    EXPECT_EQ(car.count("ATMA"), 2u);
    // Polling stays paused under the running monitor.
    EXPECT_TRUE(Access::snifferTaskRunning(model));
    EXPECT_TRUE(Access::pollingPaused(model));
    const std::int64_t samples = engineSpeedSamples(model);
    settleFor(500ms);
    EXPECT_EQ(engineSpeedSamples(model), samples);

    screen.chooseMode(Mode::console);
    EXPECT_TRUE(waitUntil([&] { return !Access::snifferTaskRunning(model); }));
    EXPECT_FALSE(Access::pollingPaused(model));
    EXPECT_TRUE(pollingAnswers(model));
}

TEST(SnifferView, RowsStandInIdentifierTextOrderAndAThousandBuildNothingAndPaintOncePerBurst) {
    {
        ScriptedCar car(monitorPrinting({"7E8 03 41 0D 00", "18DAF110 02 10 03", "7E0 02 01 0D", "100 11 22"}));
        Screen screen(&car);
        ASSERT_TRUE(screen.connect()) << screen.model().phase().message;
        screen.chooseMode(Mode::sniffer);
        ASSERT_TRUE(waitUntil([&] { return screen.model().snifferRows().size() == 4; }, 20s));
        settleFor(50ms);
        EXPECT_EQ(screen.table()->idsInView(), (std::vector<std::string>{"100", "18DAF110", "7E0", "7E8"}));
    }
    std::vector<std::string> frames;
    for (int i = 0; i < 1000; ++i) frames.push_back(fmt::format("{:08X} 01 02 03 04", 0x18DA0000 + i));
    ScriptedCar car(monitorPrinting(frames));
    Screen screen(&car);
    ASSERT_TRUE(screen.connect()) << screen.model().phase().message;
    screen.chooseMode(Mode::sniffer);
    ASSERT_TRUE(waitUntil([&] { return screen.model().snifferRows().size() == 1000; }, 20s));
    settleFor(50ms);
    EXPECT_EQ(screen.label("idCount"), "1000 ID");

    FrameTable& table = *screen.table();
    EXPECT_TRUE(table.viewport()->children().isEmpty()) << "rows are drawn, not built";
    const auto inView = table.idsInView();
    EXPECT_EQ(inView.size(), static_cast<std::size_t>((table.viewport()->height() + table.rowHeight() - 1) / table.rowHeight()));
    EXPECT_EQ(inView.front(), "18DA0000");
    // Scrolled to the end, the last identifiers are in view.
    table.verticalScrollBar()->setValue(table.verticalScrollBar()->maximum());
    EXPECT_EQ(table.idsInView().back(), "18DA03E7");
    table.verticalScrollBar()->setValue(0);
    settle();

    // Many changes before the next tick: one paint.
    PaintsPerWidget paints(*table.viewport());
    for (int i = 0; i < 200; ++i) Q_EMIT screen.model().snifferRowsChanged();
    settleFor(100ms);
    EXPECT_EQ(paints.of(table.viewport()), 1);
    shoot(*screen.view, QStringLiteral("sniffer-thousand"));
}

} // namespace
} // namespace veq
