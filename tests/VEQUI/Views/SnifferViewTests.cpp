// The bus monitor screen inside the terminal: the monitor starts and stops with the screen,
// polling pauses meanwhile and answers again after; rows in identifier order with the changed
// bytes highlighted; recording and export hand the model's trace to the save panel; fast mode
// switches leave one monitor; a thousand identifiers build nothing per row and a burst of
// updates paints once.
#include "ToolScreenFixtures.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/FrameTable.hpp"
#include "VEQUI/Views/SnifferView.hpp"
#include "VEQUI/Views/TerminalView.hpp"
#include "VEQUI/Views/ToolSymbols.hpp"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <fmt/format.h>

#include <fstream>
#include <sstream>

namespace veq {
namespace {

using namespace veq::testing;
using Mode = TerminalCommands::Mode;
using Cells = FrameRowCells;
using Access = AppModelToolsAccess;

const QSize screenSize(900, 620);
const char* const activeText = "Sniffer actif \u2014 t\u00E9l\u00E9m\u00E9trie en pause";
const char* const stoppedText = "Sniffer arr\u00EAt\u00E9";

struct Screen {
    ConnectionRig rig;
    std::unique_ptr<TerminalView> view;

    explicit Screen(ScriptedCar* car = nullptr) : rig({.car = car}), view(std::make_unique<TerminalView>(*rig)) {
        present(*view, screenSize);
    }
    AppModel& model() { return *rig; }
    void chooseMode(Mode mode) {
        for (auto* segment : named<QPushButton>(*view, QStringLiteral("modeSegment"))) {
            if (segment->text().toStdString() == TerminalCommands::rawValue(mode)) QTest::mouseClick(segment, Qt::LeftButton);
        }
        settle();
    }
    std::string label(const char* name) const { return text(only<QLabel>(*view, QString::fromLatin1(name))); }
    ToolButton* tool(const char* name) const { return static_cast<ToolButton*>(button(*view, QString::fromLatin1(name))); }
    FrameTable* table() const {
        return static_cast<FrameTable*>(only<QAbstractScrollArea>(*view, QStringLiteral("frameTable")));
    }
    bool tableShown() const { return table() && table()->isVisible(); }
    bool emptyShown() const {
        const auto* state = only(*view, QStringLiteral("emptyState"));
        return state && state->isVisible();
    }
};

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
    struct Case {
        const char* name;
        CANFrameRow row;
        std::vector<Cells::Byte> bytes;
        const char* rate;
        const char* count;
    };
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

TEST(SnifferView, WithoutAVehicleTheMonitorIsRefusedAndTheEmptyStateShows) {
    Screen screen;
    screen.chooseMode(Mode::sniffer);
    EXPECT_FALSE(screen.model().sniffing());
    EXPECT_EQ(screen.label("statusText"), stoppedText);
    EXPECT_EQ(screen.label("idCount"), "0 ID");
    EXPECT_TRUE(screen.emptyShown());
    EXPECT_EQ(screen.label("emptyTitle"), "En attente de trafic CAN\u2026");
    EXPECT_EQ(screen.label("emptyDetail"), "Le bus OBD ne diffuse pas toujours de trames en continu.");
    EXPECT_EQ(screen.tool("recordButton")->text().toStdString(), "Enregistrer");
    EXPECT_FALSE(screen.tool("exportButton")->isEnabled());
    std::vector<std::string> titles;
    for (const QLabel* l : named<QLabel>(*screen.view, QStringLiteral("columnTitle"))) titles.push_back(text(l));
    EXPECT_EQ(titles, (std::vector<std::string>{"ID", "DONN\u00C9ES", "Hz", "N"}));
    const QImage image = shoot(*screen.view, QStringLiteral("sniffer-stopped"));
    // The unlit dot.
    const QWidget& dot = *only(*screen.view, QStringLiteral("statusDot"));
    EXPECT_EQ(image.pixelColor(placeIn(*screen.view, dot).center()), VEQ::stroke());
}

TEST(SnifferView, OnTheSimulatedCarRowsArriveRecordingExportsTheTraceAndLeavingResumesPolling) {
    Screen screen;
    ASSERT_TRUE(screen.rig.connect()) << screen.model().phase().message;
    ASSERT_TRUE(pollingAnswers(screen.model()));

    screen.chooseMode(Mode::sniffer);
    EXPECT_TRUE(screen.model().sniffing());
    EXPECT_EQ(screen.label("statusText"), activeText);
    // Rows come in; the adapter is monitoring, so no poll gets through meanwhile.
    ASSERT_TRUE(waitUntil([&] { return screen.tableShown() && screen.model().snifferRows().size() == 4; }, 20s));
    const std::int64_t samples = engineSpeedSamples(screen.model());
    ASSERT_TRUE(waitUntil([&] { return screen.model().snifferRows().at("0C8").count >= 6; }, 20s));
    EXPECT_EQ(engineSpeedSamples(screen.model()), samples);
    EXPECT_TRUE(Access::pollingPaused(screen.model()));
    settleFor(50ms);
    EXPECT_EQ(screen.label("idCount"), "4 ID");
    EXPECT_EQ(screen.table()->idsInView(), (std::vector<std::string>{"0C8", "200", "308", "3D9"}));

    // The frame counter's byte moves: it is drawn in the warning colour.
    const CANFrameRow counted = screen.model().snifferRows().at("0C8");
    const Cells cells = frameRowCells(counted, screen.model().accent());
    EXPECT_TRUE(std::any_of(cells.bytes.begin(), cells.bytes.end(), [](const auto& b) { return b.colour == VEQ::warning(); }));
    const QImage running = shoot(*screen.view, QStringLiteral("sniffer-running"));
    const QRect tableArea = placeIn(*screen.view, *screen.table()->viewport());
    EXPECT_GT(countNear(running, tableArea, VEQ::warning(), 40), 10);
    EXPECT_GT(countNear(running, tableArea, screen.model().accent(), 40), 10);

    // Recording: a fresh one reads 0 and cannot be exported until a frame is in.
    QTest::mouseClick(screen.tool("recordButton"), Qt::LeftButton);
    EXPECT_TRUE(screen.model().snifferRecording());
    EXPECT_EQ(screen.tool("recordButton")->text().toStdString(), "Enregistre (0)");
    EXPECT_EQ(screen.tool("recordButton")->colour(), VEQ::critical());
    EXPECT_FALSE(screen.tool("exportButton")->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return screen.model().recordedFrames().size() >= 5 && screen.tool("exportButton")->isEnabled(); }, 20s));
    QTest::mouseClick(screen.tool("recordButton"), Qt::LeftButton);
    settle();
    EXPECT_EQ(screen.tool("recordButton")->text().toStdString(), "Enregistrer");
    EXPECT_EQ(screen.tool("recordButton")->colour(), VEQ::textSecondary());
    EXPECT_TRUE(screen.tool("exportButton")->isEnabled());

    // Export: the panel offers the trace's name; cancelling writes nothing, a chosen file
    // receives the model's text.
    auto& dialogs = *screen.rig.dialogs;
    QTest::mouseClick(screen.tool("exportButton"), Qt::LeftButton);
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].suggestedName, "oskavelcar-trace.asc");
    ASSERT_EQ(dialogs.saveRequests[0].types.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].types[0].extension, "asc");
    EXPECT_FALSE(std::filesystem::exists(screen.rig.folder.path() / "oskavelcar-trace.asc"));
    const auto target = screen.rig.folder.path() / "trace.asc";
    EXPECT_FALSE(std::filesystem::exists(target));
    dialogs.saveAnswers.push_back(target);
    QTest::mouseClick(screen.tool("exportButton"), Qt::LeftButton);
    ASSERT_TRUE(std::filesystem::exists(target));
    EXPECT_EQ(withoutDateLine(fileText(target)), withoutDateLine(screen.model().snifferASCText()));
    EXPECT_NE(fileText(target).find(" 0C8 "), std::string::npos);

    // Back to the console: the monitor stops and polling answers again.
    screen.chooseMode(Mode::console);
    EXPECT_FALSE(screen.model().sniffing());
    EXPECT_TRUE(pollingAnswers(screen.model()));

    // Back to the monitor: an empty table again, the recording kept.
    const auto recorded = screen.model().recordedFrames().size();
    screen.chooseMode(Mode::sniffer);
    EXPECT_TRUE(screen.model().sniffing());
    EXPECT_TRUE(screen.model().snifferRows().empty());
    EXPECT_EQ(screen.model().recordedFrames().size(), recorded);
    EXPECT_EQ(screen.tool("recordButton")->text().toStdString(), "Enregistrer");
    ASSERT_TRUE(waitUntil([&] { return !screen.model().snifferRows().empty(); }, 20s));

    // Leaving the section removes the screen: the monitor stops, polling answers again.
    screen.view.reset();
    EXPECT_FALSE(screen.model().sniffing());
    EXPECT_TRUE(waitUntil([&] { return !Access::snifferTaskRunning(screen.model()); }));
    EXPECT_FALSE(Access::pollingPaused(screen.model()));
    EXPECT_TRUE(pollingAnswers(screen.model()));
}

TEST(SnifferView, RowsAreListedByIdentifierText) {
    ScriptedCar car(monitorPrinting({"7E8 03 41 0D 00", "18DAF110 02 10 03", "7E0 02 01 0D", "100 11 22"}));
    Screen screen(&car);
    ASSERT_TRUE(screen.rig.connect()) << screen.model().phase().message;
    screen.chooseMode(Mode::sniffer);
    ASSERT_TRUE(waitUntil([&] { return screen.model().snifferRows().size() == 4; }, 20s));
    settleFor(50ms);
    EXPECT_EQ(screen.table()->idsInView(), (std::vector<std::string>{"100", "18DAF110", "7E0", "7E8"}));
    EXPECT_EQ(screen.label("idCount"), "4 ID");
}

TEST(SnifferView, FastModeSwitchesWhileTheAdapterHoldsTheStartLeaveOneMonitorWithPollingPaused) {
    ScriptGate gate;
    ScriptedCar car(monitorPrinting({"7E8 03 41 0D 00"}, &gate));
    Screen screen(&car);
    ASSERT_TRUE(screen.rig.connect()) << screen.model().phase().message;
    ASSERT_TRUE(pollingAnswers(screen.model()));

    screen.chooseMode(Mode::sniffer);
    ASSERT_TRUE(waitUntil([&] { return gate.reached(); }, 20s)) << "the adapter never got the monitor's start";
    screen.chooseMode(Mode::console);
    screen.chooseMode(Mode::sniffer);
    EXPECT_TRUE(screen.model().sniffing());
    gate.open();

    ASSERT_TRUE(waitUntil([&] { return screen.model().snifferRows().contains("7E8"); }, 20s));
    settleFor(300ms);
    EXPECT_TRUE(screen.model().sniffing());
    EXPECT_EQ(screen.label("statusText"), activeText);
    // One monitor mode at a time, and the last one still open.
    int open = 0;
    for (const std::string& line : car.lines()) {
        if (line == "ATMA") {
            EXPECT_EQ(open, 0) << "monitor mode entered twice without leaving";
            open = 1;
        } else if (open && line != "ATMA") {
            open = 0;
        }
    }
    EXPECT_EQ(open, 1) << "the second start is not the one running";
    EXPECT_EQ(car.count("ATMA"), 2u);
    // Polling stays paused under the running monitor.
    EXPECT_TRUE(Access::snifferTaskRunning(screen.model()));
    EXPECT_TRUE(Access::pollingPaused(screen.model()));
    const std::int64_t samples = engineSpeedSamples(screen.model());
    settleFor(500ms);
    EXPECT_EQ(engineSpeedSamples(screen.model()), samples);

    screen.chooseMode(Mode::console);
    EXPECT_TRUE(waitUntil([&] { return !Access::snifferTaskRunning(screen.model()); }));
    EXPECT_FALSE(Access::pollingPaused(screen.model()));
    EXPECT_TRUE(pollingAnswers(screen.model()));
}

TEST(SnifferView, AThousandIdentifiersBuildNoRowsAndABurstOfUpdatesPaintsOnce) {
    std::vector<std::string> frames;
    for (int i = 0; i < 1000; ++i) frames.push_back(fmt::format("{:08X} 01 02 03 04", 0x18DA0000 + i));
    ScriptedCar car(monitorPrinting(frames));
    Screen screen(&car);
    ASSERT_TRUE(screen.rig.connect()) << screen.model().phase().message;
    screen.chooseMode(Mode::sniffer);
    ASSERT_TRUE(waitUntil([&] { return screen.model().snifferRows().size() == 1000; }, 20s));
    settleFor(50ms);
    EXPECT_EQ(screen.label("idCount"), "1000 ID");

    FrameTable& table = *screen.table();
    EXPECT_TRUE(table.viewport()->children().isEmpty()) << "rows are drawn, not built";
    const auto inView = table.idsInView();
    EXPECT_EQ(inView.size(), static_cast<std::size_t>((table.viewport()->height() + table.rowHeight() - 1) / table.rowHeight()));
    EXPECT_LT(inView.size(), 40u);
    EXPECT_EQ(inView.front(), "18DA0000");
    // Scrolled to the end, the last identifiers are in view.
    table.verticalScrollBar()->setValue(table.verticalScrollBar()->maximum());
    EXPECT_EQ(table.idsInView().back(), "18DA03E7");
    table.verticalScrollBar()->setValue(0);
    settle();

    // Many changes before the next tick: one paint.
    PaintCounter counter(table.viewport());
    for (int i = 0; i < 200; ++i) Q_EMIT screen.model().snifferRowsChanged();
    settleFor(100ms);
    EXPECT_EQ(counter.paints, 1);
    shoot(*screen.view, QStringLiteral("sniffer-thousand"));
}

} // namespace
} // namespace veq
