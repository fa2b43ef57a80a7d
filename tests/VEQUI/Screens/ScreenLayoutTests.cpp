// Every screen and expert tab of the window at the two sizes users see (1280 x 800, the window's
// first size, and 1080 x 680, its smallest), pictured as layout-<size>-<screen>.png and run through
// the layout check: one connection per size, the screens visited in turn.
#include "RecordingFixtures.hpp"
#include "ScreenRig.hpp"

#include "VEQUI/Support/LayoutCheck.hpp"
#include "VEQUI/Support/PDFText.hpp"
#include "VEQUI/Views/Diagnostics/TerminalView.hpp"
#include "VEQUI/Views/Expert/ExpertView.hpp"
#include "VEQUI/Views/Expert/RecipeDetailView.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Instruments/GearStripView.hpp"
#include "VEQUI/Views/Kit/RangeTimeline.hpp"
#include "VEQUI/Views/Capture/CaptureChannelList.hpp"
#include "VEQUI/Views/Trips/DrivePanel.hpp"
#include "VEQUI/Views/Trips/DriveTimeline.hpp"
#include "VEQUI/Views/Report/ParameterTable.hpp"
#include "VEQUI/Views/Report/ReportCodeList.hpp"
#include "VEQUI/Views/Report/ReportPreview.hpp"
#include "VEQUI/Views/Report/ReportView.hpp"
#include "VEQUI/Views/Trips/SessionList.hpp"
#include "VEQUI/Views/Trips/TripsView.hpp"
#include "VEQUI/Views/ScreenFixtures.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPdfDocument>
#include <QPdfView>
#include <QScrollArea>
#include <QScrollBar>

namespace veq::testing {
namespace {

// Pictures a screen as layout-<window size>-<screen>.png and checks its layout; the faults are
// told under the picture's name. `root` is the window unless a sheet stands over it.
struct Tour {
    const ScreenRig& rig;
    QSize size;

    void visit(const char* screen, QWidget* root = nullptr, const LayoutCheckOptions& options = {}) const {
        rig.settle();
        settle(); // layouts asked for by the last changes
        look(screen, root, options);
    }

    // The same, the screen taken as it stands: no event runs before the picture and the check.
    void look(const char* screen, QWidget* root = nullptr, const LayoutCheckOptions& options = {}) const {
        QWidget& shown = root ? *root : *rig.window;
        const QString name =
            QStringLiteral("layout-%1x%2-%3").arg(size.width()).arg(size.height()).arg(QString::fromUtf8(screen));
        EXPECT_TRUE(shown.grab().save(QStringLiteral(VEQ_SCREENS_DIR "/") + name + QStringLiteral(".png"))) << screen;
        const auto faults = checkLayout(shown, options);
        EXPECT_TRUE(faults.empty()) << layoutReport(name, shown, faults);
    }
};

struct GearView {
    bool focus;
    const char* name;
    const char* strip;
};
const GearView gearViews[] = {{false, "cockpit", "gearStrip"}, {true, "focus", "focusGearStrip"}};

class ScreenLayout : public ::testing::TestWithParam<UserSize> {
protected:
    // A window at the size under test.
    static void fit(ScreenRig& rig, QSize size) {
        rig.window->resize(size);
        rig.settle();
    }
};

TEST_P(ScreenLayout, TheConnectionScreens) {
    const QSize size = GetParam().window;
    {
        Gate gate;
        ScriptedCar car(heldAtTheFifthStep(gate));
        ScreenRig rig({.car = &car});
        GateOpener opener{gate};
        fit(rig, size);
        const Tour tour{rig, size};
        tour.visit("wizard");
        ASSERT_TRUE(rig.click(QStringLiteral("connectButton")));
        ASSERT_TRUE(waitUntil([&] { return fourStepsTaken(rig.model()); }));
        tour.visit("connecting");
    }
    ScriptedCar car(silentBus());
    ScreenRig rig({.car = &car});
    fit(rig, size);
    ASSERT_FALSE(rig.connect());
    Tour{rig, size}.visit("connection-failed", nullptr,
                          {.shownWithoutScrolling = {QStringLiteral("retryButton"), QStringLiteral("backButton")}});
}

TEST_P(ScreenLayout, EverySectionOnceLive) {
    const QSize size = GetParam().window;
    ScreenRig rig;
    fit(rig, size);
    ASSERT_TRUE(rig.connect());
    const Tour tour{rig, size};
    AppModel& model = rig.model();

    const std::pair<CockpitLayout, const char*> layouts[] = {
        {CockpitLayout::road, "cockpit-road"},     {CockpitLayout::track, "cockpit-track"},
        {CockpitLayout::economy, "cockpit-economy"}, {CockpitLayout::engine, "cockpit-engine"},
        {CockpitLayout::transmission, "cockpit-transmission"},
    };
    ASSERT_TRUE(waitUntil([&] { return model.store().value(0x0C).has_value(); }));
    for (const auto& [layout, name] : layouts) {
        model.setActiveLayout(layout);
        tour.visit(name);
    }

    const std::pair<const char*, const char*> sections[] = {
        {"Live Data", "live-data"}, {"Messages", "messages"}, {"Diagnostic", "trouble-codes"},
        {"Calculateurs", "ecu-map"}, {"Trajets", "trips"}, {"Réglages", "settings"},
    };
    addPastDrive(model); // the trips list a past drive beside the one being recorded
    for (const auto& [row, name] : sections) {
        ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.") + QString::fromUtf8(row))) << row;
        tour.visit(name);
    }
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Trajets")));
    auto* trips = rig.find<TripsView>(QStringLiteral("TripsView"));
    ASSERT_NE(trips, nullptr);
    trips->sessions().select(1); // the past drive, with its figures and its timeline once read
    ASSERT_TRUE(waitUntil([&] { return trips->panel().timeline().contents() && !trips->panel().timeline().range().isBusy(); }));
    trips->panel().timeline().range().setRange(12, 64);
    tour.visit("trips-past-drive");
    // The capture's rows arrive with its first refresh; the report's table once it has rows.
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Capture")));
    ASSERT_TRUE(waitUntil([&] {
        auto* channels = rig.find<CaptureChannelList>(QStringLiteral("captureChannels"));
        return channels && channels->channels().size() >= 5;
    }));
    // A stretch marked and saved: the last saved log shows with its report.
    ASSERT_TRUE(rig.saveMarkedStretch(rig.folder.path() / "stretch.veqt"));
    tour.visit("capture");
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Rapport")));
    auto* report = rig.find<ReportView>(QStringLiteral("ReportView"));
    ASSERT_NE(report, nullptr);
    ASSERT_TRUE(waitUntil([&] {
        return report->table().rows().size() >= 5 && !report->codes().rows().empty() && model.vin();
    }));
    tour.visit("report");
    // Further down: the trouble codes and the ECUs.
    auto* scroll = rig.find<QScrollArea>(QStringLiteral("reportScroll"));
    scroll->verticalScrollBar()->setValue(
        rig.find(QStringLiteral("reportCodesCard"))->mapTo(scroll->widget(), QPoint(0, 0)).y());
    tour.visit("report-codes");
    if (size == QSize(1280, 800)) {
        ASSERT_TRUE(rig.click(QStringLiteral("previewReportButton")));
        ASSERT_TRUE(waitUntil([&] { return report->preview() && report->preview()->document().pageCount() > 0; },
                              std::chrono::seconds(20)));
        ASSERT_TRUE(waitUntil([&] { return showsInk(*report->preview()->view().viewport()); }));
        tour.visit("report-preview", report->preview());
        report->preview()->reject();
    }
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Calculateurs")));
    rig.settle();
    const auto ecus = rig.findAll(QStringLiteral("ecuCard"));
    ASSERT_FALSE(ecus.isEmpty());
    QTest::mouseClick(ecus.back(), Qt::LeftButton); // the door module, whose name is the longest
    tour.visit("ecu-map-detail");

    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Terminal")));
    auto* terminal = rig.find<TerminalView>(QStringLiteral("TerminalView"));
    ASSERT_NE(terminal, nullptr);
    const std::size_t before = model.terminalLog().size();
    rig.find<QLineEdit>(QStringLiteral("inputField"))->setText(QStringLiteral("ATRV"));
    ASSERT_TRUE(rig.click(QStringLiteral("sendButton")));
    ASSERT_TRUE(waitUntil([&] { return model.terminalLog().size() >= before + 2; }));
    tour.visit("terminal-console");
    terminal->setMode(TerminalView::Mode::sniffer);
    tour.visit("terminal-bus-monitor-waiting");

    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Mode Expert")));
    tour.visit("expert-gate");
    rig.find<QCheckBox>(QStringLiteral("acknowledgement"))->setChecked(true);
    ASSERT_TRUE(rig.click(QStringLiteral("acceptButton")));
    ASSERT_TRUE(waitUntil([&] { return model.feasibilities().size() == model.recipes().size(); }));
    auto* expert = rig.find<ExpertView>(QStringLiteral("ExpertView"));
    ASSERT_NE(expert, nullptr);
    const std::pair<ExpertView::Tab, const char*> tabs[] = {
        {ExpertView::Tab::scanner, "expert-did-scanner"}, {ExpertView::Tab::backups, "expert-backups"},
        {ExpertView::Tab::audit, "expert-audit"}, {ExpertView::Tab::recipes, "expert-recipes"},
    };
    for (const auto& [tab, name] : tabs) {
        expert->selectTab(tab);
        tour.visit(name);
    }
    for (const CodingRecipe& recipe : model.recipes()) {
        if (recipe.id == "sam-f-drl-fog") expert->open(recipe);
    }
    ASSERT_NE(expert->sheet(), nullptr);
    auto* detail = expert->sheet()->findChild<RecipeDetailView*>();
    ASSERT_TRUE(waitUntil([&] { return detail->refreshed(); }));
    tour.visit("expert-recipe-sheet", expert->sheet());
    expert->sheet()->reject();

    // The sidebar hidden, each screen leaves the top left corner to the button that brings it back.
    model.setSidebarHidden(true);
    const std::pair<AppSection, const char*> hidden[] = {
        {AppSection::liveData, "live-data-sidebar-hidden"},   {AppSection::messages, "messages-sidebar-hidden"},
        {AppSection::diagnostic, "trouble-codes-sidebar-hidden"}, {AppSection::ecus, "ecu-map-sidebar-hidden"},
        {AppSection::terminal, "terminal-sidebar-hidden"},    {AppSection::expert, "expert-sidebar-hidden"},
        {AppSection::settings, "settings-sidebar-hidden"},    {AppSection::capture, "capture-sidebar-hidden"},
        {AppSection::trips, "trips-sidebar-hidden"},          {AppSection::report, "report-sidebar-hidden"},
        {AppSection::cockpit, "cockpit-sidebar-hidden"},
    };
    for (const auto& [section, name] : hidden) {
        rig.root().setSection(section);
        tour.visit(name);
    }
    model.setSidebarHidden(false);
    model.setFocusMode(true);
    tour.visit("focus-gauge");
}

// The first moment of the drive with `gear` engaged; for a gear it never reaches, its top speed's.
double momentIn(int gear) {
    const VehicleSimulation drive;
    double fastest = 0;
    for (double t = 0; t < 120; t += 0.5) {
        if (drive.state(t).gear == gear) return t;
        if (drive.state(t).speedKmh > drive.state(fastest).speedKmh) fastest = t;
    }
    return fastest;
}

// The gear strip lit in each gear, reverse included, on the cockpit and the focus view: the car
// holds the gear, so no visit depends on how far a drive has got; and a moment of the drive in
// that gear, so that the views show the drive's figures from a crawl to its top speed.
TEST_P(ScreenLayout, TheGearStripInEachGear) {
    const QSize size = GetParam().window;
    ScriptedCar car;
    ScreenRig rig({.car = &car});
    fit(rig, size);
    ASSERT_TRUE(rig.connect());
    const Tour tour{rig, size};
    for (const auto& [focus, view, stripName] : gearViews) {
        rig.model().setFocusMode(focus);
        auto* strip = rig.find<GearStripView>(QString::fromUtf8(stripName));
        ASSERT_NE(strip, nullptr) << view;
        ASSERT_GT(strip->content().gearCount, 1) << view;
        for (int box = 0; box <= strip->content().gearCount; ++box) {
            const int gear = box == 0 ? -1 : box;
            const double moment = momentIn(gear);
            const double rpm = VehicleSimulation{}.state(moment).rpm;
            car.holdMoment(moment);
            car.holdGear(gear);
            ASSERT_TRUE(waitUntil([&] {
                const auto shown = rig.model().store().value(0x0C);
                return strip->isActive(box) && shown && std::abs(*shown - rpm) < 1;
            }, 20s)) << view << " " << box;
            tour.visit(fmt::format("{}-gear-{}", view, box == 0 ? "R" : std::to_string(box)).c_str());
        }
    }
}

// A gear change caught halfway, animations on: the box left springing back to its size, the
// engaged one growing, both over the unlit row. The frames are stepped here, not by the clock.
TEST_P(ScreenLayout, TheGearStripHalfwayThroughAGearChange) {
    const QSize size = GetParam().window;
    ScriptedCar car;
    car.holdGear(3);
    ScreenRig rig({.car = &car, .animations = true});
    fit(rig, size);
    ASSERT_TRUE(rig.connect());
    const Tour tour{rig, size};
    for (const auto& [focus, view, stripName] : gearViews) {
        rig.model().setFocusMode(focus);
        auto* strip = rig.find<GearStripView>(QString::fromUtf8(stripName));
        ASSERT_NE(strip, nullptr) << view;
        // The third lit and the view at rest (a view just shown brings its needles up from zero).
        const auto views = strip->parentWidget()->findChildren<QWidget*>(); // gauges have no meta-object
        const auto still = [&] {
            return !strip->isMoving() && std::none_of(views.begin(), views.end(), [](const QWidget* w) {
                const auto* gauge = dynamic_cast<const CircularGaugeView*>(w);
                return gauge && gauge->isMoving();
            });
        };
        ASSERT_TRUE(waitUntil([&] { return strip->isActive(3) && still(); }, 20s)) << view;
        rig.settle();
        GearStripView::Content fourth = strip->content();
        fourth.gear = TransmissionGear::forward(4);
        strip->setContent(fourth);
        for (int frame = 0; frame < 4; ++frame) strip->advanceFrame();
        ASSERT_GT(strip->boxScale(3), 1.0) << view;
        ASSERT_GT(strip->boxScale(4), 1.0) << view;
        tour.look(fmt::format("{}-gear-change", view).c_str());
    }
}

// The messages and live data with the engine cold, then warm an hour into the drive: the cards,
// their texts and their order follow the temperatures, whatever moment a run gets to.
TEST_P(ScreenLayout, TheMessagesColdAndWarm) {
    const QSize size = GetParam().window;
    ScriptedCar car;
    ScreenRig rig({.car = &car});
    fit(rig, size);
    ASSERT_TRUE(rig.connect());
    const Tour tour{rig, size};
    const TelemetryStore& store = rig.model().store();
    for (const auto& [moment, engine] : {std::pair{0.0, "cold"}, std::pair{3645.0, "warm"}}) {
        car.holdMoment(moment);
        const VehicleState state = VehicleSimulation{}.state(moment);
        const auto near = [&](std::uint8_t pid, double value) {
            return store.value(pid) && std::abs(*store.value(pid) - value) < 1;
        };
        ASSERT_TRUE(waitUntil([&] { return near(0x05, state.coolantC) && near(0x5C, state.oilC); }, 20s)) << engine;
        for (const auto& [row, name] : {std::pair{"Messages", "messages"}, std::pair{"Live Data", "live-data"}}) {
            ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.") + QString::fromUtf8(row))) << row;
            tour.visit(fmt::format("{}-engine-{}", name, engine).c_str());
        }
    }
}

// The bus monitor once a busy bus fills and scrolls its table.
TEST_P(ScreenLayout, TheBusMonitorWithTraffic) {
    std::vector<std::string> frames;
    for (int i = 0; i < 40; ++i) frames.push_back(fmt::format("{:03X} {:02X} 22 33 44 55 66 77 88", 0x100 + 7 * i, i));
    ScriptedCar car(monitorPrinting(frames));
    ScreenRig rig({.car = &car});
    fit(rig, GetParam().window);
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Terminal")));
    rig.find<TerminalView>(QStringLiteral("TerminalView"))->setMode(TerminalView::Mode::sniffer);
    ASSERT_TRUE(waitUntil([&] { return rig.model().snifferRows().size() >= 40; }));
    ASSERT_TRUE(waitUntil([&] { return rig.find(QStringLiteral("emptyState")) == nullptr; })); // the table's refresh tick
    Tour{rig, GetParam().window}.visit("terminal-bus-monitor");
}

// The window's first size and its smallest.
INSTANTIATE_TEST_SUITE_P(Sizes, ScreenLayout, ::testing::ValuesIn(userSizes),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace veq::testing
