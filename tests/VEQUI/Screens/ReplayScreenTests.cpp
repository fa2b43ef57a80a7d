// The replay of the drive under way in the window on the simulated car: reached from the trips
// screen and left back to it, its dials at a scrubbed time, playing on the display tick at the
// real time, the keys, the screen without snapshots, a drive longer than the store holds, the
// match with the drive's CSV export, and its layout.
#include "RecordingFixtures.hpp"
#include "ScreenRig.hpp"

#include "VEQStore/Export/Exporters.hpp"
#include "VEQSupport/FileReading.hpp"
#include "VEQUI/Model/DisplayUnits.hpp"
#include "VEQUI/Support/LayoutCheck.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Kit/SegmentedPicker.hpp"
#include "VEQUI/Views/Trips/DrivePanel.hpp"
#include "VEQUI/Views/Trips/ReplayGauges.hpp"
#include "VEQUI/Views/Trips/ReplayView.hpp"
#include "VEQUI/Views/Trips/SessionList.hpp"
#include "VEQUI/Views/Recording/TripFigures.hpp"
#include "VEQUI/Views/Trips/TripsView.hpp"
#include "VEQUI/Views/ScreenFixtures.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace veq::testing {
namespace {

using namespace std::chrono_literals;

// Opens the trips screen, then the replay from the card of the drive under way, once the store
// holds `seconds` of snapshots.
ReplayView* openReplay(ScreenRig& rig, double seconds) {
    if (!waitUntil([&] { return rig.model().store().replayDuration() >= seconds; }, 60s)) return nullptr;
    if (!rig.click(QStringLiteral("sidebarRow.Trajets"))) return nullptr;
    rig.settle();
    if (!rig.click(QStringLiteral("replayButton"))) return nullptr;
    rig.settle();
    return rig.find<ReplayView>(QStringLiteral("ReplayView"));
}

// The snapshot in force at `t`, found by walking the list: the last one not later than `t`, the
// first when they are all later.
const TelemetryStore::Snapshot& inForce(const TelemetryStore& store, double t) {
    const auto& snapshots = store.snapshots();
    std::size_t found = 0;
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        if (snapshots[i].t <= t) found = i;
    }
    return snapshots[found];
}

// What the cockpit would show for that stored value: calibrated, in the user's unit system.
std::optional<double> asShown(const AppModel& model, std::uint8_t pid, const TelemetryStore::Snapshot& snapshot) {
    const auto raw = snapshot.value(pid);
    if (!raw) return std::nullopt;
    return DisplayUnits::inDisplayUnit(pid, model.calibration().apply(*raw, pid), model.unitSystem());
}

// The dials show the snapshot in force at the replay time; false (with the reason) otherwise.
::testing::AssertionResult showsTheSnapshotInForce(const AppModel& model, const ReplayView& view) {
    const auto& snapshot = inForce(model.store(), view.time());
    for (std::size_t i = 0; i < view.gauges().size(); ++i) {
        const std::uint8_t pid = view.parameters()[i];
        const auto shown = view.gauges()[i]->gauge().value;
        const auto expected = asShown(model, pid, snapshot);
        if (shown != expected) {
            return ::testing::AssertionFailure() << "at " << view.time() << " s, PID " << int(pid) << " shows "
                                                 << shown.value_or(-1e9) << ", expected " << expected.value_or(-1e9);
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(ReplayGauges, EngineSpeedThenTheLayoutThenTheOthersByNumberAtMostEight) {
    struct Case {
        CockpitLayout layout;
        std::vector<std::uint8_t> held;
        std::vector<std::uint8_t> shown;
    };
    const Case cases[] = {
        // Flanks 0x05 0x5C, band 0x0B 0x2F 0x46 0x42 0x04 0x0F: the eighth place goes to 0x04.
        {CockpitLayout::road, {0x04, 0x05, 0x0B, 0x0C, 0x0D, 0x0F, 0x2F, 0x42, 0x46, 0x5C},
         {0x0C, 0x05, 0x5C, 0x0B, 0x2F, 0x46, 0x42, 0x04}},
        // What the snapshots do not hold is left out; the others follow by number.
        {CockpitLayout::road, {0x05, 0x0D, 0x11, 0x42}, {0x05, 0x42, 0x0D, 0x11}},
        // A parameter the layout names twice (engine speed, voltage) takes one dial.
        {CockpitLayout::transmission, {0x03, 0x0C, 0x0D, 0x42, 0x5C}, {0x0C, 0x5C, 0x42, 0x0D, 0x03}},
        {CockpitLayout::economy, {}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(ReplayGauges::parameters(c.layout, c.held), c.shown);
}

TEST(ReplayScreen, OpensFromTheDriveUnderWayAndTrajetsLeadsBackToTheList) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    ReplayView* replay = openReplay(rig, 0.5);
    ASSERT_NE(replay, nullptr);
    // In the trips section's place, which the sidebar keeps selected.
    EXPECT_EQ(rig.root().section(), AppSection::trips);
    EXPECT_EQ(rig.find<TripsView>(QStringLiteral("TripsView")), nullptr);
    EXPECT_EQ(rig.root().liveInterface()->contentScreen()->objectName(), QStringLiteral("tripsSection"));
    EXPECT_TRUE(replay->hasFocus());
    EXPECT_FALSE(replay->gauges().empty());
    EXPECT_TRUE(rig.snapshot("replay"));

    ASSERT_TRUE(rig.click(QStringLiteral("replayBackButton")));
    rig.settle();
    EXPECT_NE(rig.find<TripsView>(QStringLiteral("TripsView")), nullptr);
    EXPECT_TRUE(rig.window->findChildren<QWidget*>(QStringLiteral("ReplayView")).isEmpty()); // nothing of it stays behind

    // Opened again, then the connection ends: the window goes back to the wizard, without it.
    ASSERT_TRUE(rig.click(QStringLiteral("replayButton")));
    ASSERT_NE(rig.find<ReplayView>(QStringLiteral("ReplayView")), nullptr);
    rig.model().disconnect();
    ASSERT_TRUE(waitUntil([&] { return rig.model().phase() == AppModel::Phase::disconnected(); }));
    rig.settle();
    EXPECT_TRUE(rig.window->findChildren<QWidget*>(QStringLiteral("ReplayView")).isEmpty());
    EXPECT_TRUE(rig.model().store().snapshots().empty());
}

TEST(ReplayScreen, AScrubShowsTheSnapshotInForceCalibratedAndInTheUsersUnits) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    AppModel& model = rig.model();
    VehicleCalibration calibration;
    calibration.speedFactor = 1.1;
    calibration.temperatureOffsetC = -3;
    model.setCalibration(calibration);
    model.setUnitSystem(UnitSystem::imperial);
    ReplayView* replay = openReplay(rig, 3);
    ASSERT_NE(replay, nullptr);
    auto* slider = rig.find<QSlider>(QStringLiteral("replaySlider"));
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), std::lround(model.store().replayDuration() * 1000));

    const auto& snapshots = model.store().snapshots();
    ASSERT_GE(snapshots.size(), 8u);
    const double times[] = {
        0,                                       // the first snapshot
        snapshots[3].t,                          // on a snapshot (to the slider's millisecond)
        (snapshots[5].t + snapshots[6].t) / 2,   // between two
        model.store().replayDuration() / 2,
        model.store().replayDuration(),          // the last
    };
    for (const double t : times) {
        slider->setValue(static_cast<int>(std::lround(t * 1000)));
        EXPECT_NEAR(replay->time(), t, 0.001);
        EXPECT_TRUE(showsTheSnapshotInForce(model, *replay));
    }
    // Where a parameter was not read yet, its dial shows no value rather than 0.
    replay->seek(-5);
    EXPECT_EQ(replay->time(), 0);
    EXPECT_TRUE(showsTheSnapshotInForce(model, *replay));
    const auto& first = snapshots.front();
    for (std::size_t i = 0; i < replay->gauges().size(); ++i) {
        if (!first.value(replay->parameters()[i])) {
            EXPECT_FALSE(replay->gauges()[i]->gauge().value.has_value());
        }
    }
    // The dials are in the user's unit: the speed's in mph when it has a dial (the simulated car's
    // eight leave it out), the coolant's, which always has one, in degrees Fahrenheit.
    for (std::size_t i = 0; i < replay->gauges().size(); ++i) {
        if (replay->parameters()[i] == 0x0D) {
            EXPECT_EQ(replay->gauges()[i]->gauge().unit, QStringLiteral("mph"));
        }
    }
    const auto coolant = std::find(replay->parameters().begin(), replay->parameters().end(), 0x05);
    ASSERT_NE(coolant, replay->parameters().end());
    EXPECT_EQ(replay->gauges()[static_cast<std::size_t>(coolant - replay->parameters().begin())]->gauge().unit,
              QStringLiteral("\u00B0F"));
    // Settings changed while the replay shows apply at once.
    replay->seek(model.store().replayDuration() / 2);
    model.setUnitSystem(UnitSystem::metric);
    model.setCalibration(VehicleCalibration::none);
    EXPECT_TRUE(showsTheSnapshotInForce(model, *replay));

    // The end follows the drive being recorded.
    const int end = slider->maximum();
    ASSERT_TRUE(waitUntil([&] { return slider->maximum() > end; }));
    EXPECT_EQ(slider->maximum(), std::lround(model.store().replayDuration() * 1000));
}

TEST(ReplayScreen, PlaysTheRealTimeAtTheChosenRateAndStopsAtTheEnd) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    ReplayView* replay = openReplay(rig, 4);
    ASSERT_NE(replay, nullptr);
    auto* play = rig.find<QAbstractButton>(QStringLiteral("replayPlayButton"));
    ASSERT_NE(play, nullptr);
    auto* picker = rig.find<SegmentedPicker>(QStringLiteral("replayRatePicker"));
    ASSERT_NE(picker, nullptr);

    // Between two ticks the event loop does not run: the store stands still and only the test's
    // clock moves the time, read at each tick, whether the ticks come on time, late or skipped; a
    // gap over 0.25 s (a stall) counts as 0.25 s.
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    replay->setClock([&now] { return now; });
    struct Case {
        int segment;
        std::vector<std::chrono::milliseconds> gaps;
        double seconds;
    };
    const Case cases[] = {
        {0, {16ms, 16ms, 17ms, 1min}, 0.299},
        {1, {16ms, 40ms, 250ms, 251ms}, 4 * 0.556},
        {2, {16ms, 33ms, 100ms, 16ms}, 16 * 0.165},
    };
    for (const auto& c : cases) {
        replay->seek(0);
        QTest::mouseClick(picker->segment(c.segment), Qt::LeftButton);
        EXPECT_EQ(replay->rate(), ReplayView::rates[static_cast<std::size_t>(c.segment)]);
        now += 5s; // paused, the clock runs on without playing
        QTest::mouseClick(play, Qt::LeftButton);
        ASSERT_TRUE(replay->playing());
        EXPECT_TRUE(replay->ticking());
        for (const auto gap : c.gaps) {
            now += gap;
            replay->tick();
        }
        EXPECT_NEAR(replay->time(), c.seconds, 1e-9) << "rate " << replay->rate();
        EXPECT_TRUE(showsTheSnapshotInForce(rig.model(), *replay));
        QTest::mouseClick(play, Qt::LeftButton);
        EXPECT_FALSE(replay->playing());
        EXPECT_EQ(play->text(), QStringLiteral("Lire"));
    }

    // Played on its own ticks at 16x, it stops at the end, then its ticks stop once the needles rest.
    replay->setClock({});
    replay->seek(replay->duration() - 2);
    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_EQ(play->text(), QStringLiteral("Pause"));
    ASSERT_TRUE(waitUntil([&] { return !replay->playing(); }));
    EXPECT_EQ(play->text(), QStringLiteral("Lire"));
    EXPECT_GE(replay->time(), replay->duration() - 0.5); // the drive goes on being recorded meanwhile
    ASSERT_TRUE(waitUntil([&] { return !replay->ticking(); }));

    // Paused with settled needles, the dials are not drawn again while the drive goes on.
    long long paints = 0;
    struct Counter : QObject {
        long long& count;
        explicit Counter(long long& c) : count(c) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++count;
            return false;
        }
    } counter(paints);
    for (CircularGaugeView* gauge : replay->gauges()) gauge->installEventFilter(&counter);
    const double end = replay->duration();
    ASSERT_TRUE(waitUntil([&] { return replay->duration() > end + 0.5; }));
    EXPECT_FALSE(replay->ticking());
    EXPECT_EQ(paints, 0);
    for (CircularGaugeView* gauge : replay->gauges()) gauge->removeEventFilter(&counter);

    // Play from the end starts over.
    replay->seek(replay->duration());
    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_EQ(replay->time(), 0);
    EXPECT_TRUE(replay->playing());
}

TEST(ReplayScreen, TheKeysStepAndJump) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    ReplayView* replay = openReplay(rig, 12);
    ASSERT_NE(replay, nullptr);
    auto* clock = rig.find<QLabel>(QStringLiteral("replayClock"));
    ASSERT_NE(clock, nullptr);
    // The store stands still between key presses: nothing runs the event loop there.
    const double end = replay->duration();
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        double time;
    };
    const Case cases[] = {
        {Qt::Key_Home, Qt::NoModifier, 0},         {Qt::Key_Right, Qt::NoModifier, 1},
        {Qt::Key_Right, Qt::ShiftModifier, 11},    {Qt::Key_Left, Qt::NoModifier, 10},
        {Qt::Key_Left, Qt::ShiftModifier, 0},      {Qt::Key_Left, Qt::NoModifier, 0},
        {Qt::Key_End, Qt::NoModifier, end},        {Qt::Key_Right, Qt::NoModifier, end},
        {Qt::Key_Left, Qt::ShiftModifier, end - 10},
    };
    // Keys go where the keyboard's focus is, which the replay takes when it opens.
    ASSERT_EQ(QApplication::focusWidget(), replay);
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    };
    for (const auto& c : cases) {
        press(c.key, c.modifiers);
        EXPECT_NEAR(replay->time(), c.time, 1e-9) << "key " << c.key;
        EXPECT_TRUE(showsTheSnapshotInForce(rig.model(), *replay));
    }
    EXPECT_EQ(clock->text(), TripFigures::clockDuration(end - 10) + QStringLiteral(" / ") + TripFigures::clockDuration(end));
    press(Qt::Key_Space);
    EXPECT_TRUE(replay->playing());
    press(Qt::Key_Space);
    EXPECT_FALSE(replay->playing());
    // Escape keeps its window-wide meaning: it leaves full-screen gauges, not the replay.
    const double before = replay->time();
    press(Qt::Key_Escape);
    EXPECT_TRUE(replay->isVisible()) << "still on the replay, not back on the trips";
    EXPECT_DOUBLE_EQ(replay->time(), before);
}

TEST(ReplayScreen, WithoutASnapshotItSaysSoAndOffersNothingToPlay) {
    ScreenRig rig; // not connected: the store holds nothing
    ReplayView replay(rig.model());
    present(replay, userSizes[0].content);
    auto* empty = replay.findChild<QWidget*>(QStringLiteral("replayEmpty"));
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->findChild<QLabel*>(QStringLiteral("emptyText"))->text(),
              QStringLiteral("Aucun instantané du trajet pour l'instant : rien à revoir."));
    EXPECT_FALSE(replay.findChild<QWidget*>(QStringLiteral("replayTimeBar"))->isVisible());
    EXPECT_TRUE(replay.gauges().empty());
    replay.setFocus();
    QTest::keyClick(&replay, Qt::Key_Space);
    EXPECT_FALSE(replay.playing());
    EXPECT_FALSE(replay.ticking());
    shoot(replay, QStringLiteral("replay-no-snapshot"));

    // The first value brings the dials and the time bar.
    rig.model().store().ingest(measured(0x0C, 820, std::chrono::system_clock::now()));
    EXPECT_FALSE(empty->isVisible());
    ASSERT_EQ(replay.gauges().size(), 1u);
    EXPECT_EQ(replay.gauges()[0]->gauge().value, 820);
}

// A clock stepped back past the drive's first measurement leaves the newest snapshot before it:
// the time bar stays at 0 rather than running into negative times.
TEST(ReplayScreen, AClockSteppedBackBeforeTheFirstMeasurementKeepsTheTimeAtZero) {
    ScreenRig rig; // not connected: the test feeds the store
    ReplayView replay(rig.model());
    const auto start = std::chrono::system_clock::now();
    rig.model().store().ingest(measured(0x0C, 820, start));
    rig.model().store().ingest(measured(0x0C, 900, start - 5s));
    ASSERT_LT(rig.model().store().replayDuration(), 0);
    EXPECT_EQ(replay.duration(), 0);
    for (const double t : {0.0, 3.0, -2.0}) {
        replay.seek(t);
        EXPECT_EQ(replay.time(), 0) << "seek to " << t;
    }
    replay.setPlaying(true);
    for (int i = 0; i < 3 && replay.playing(); ++i) replay.tick();
    EXPECT_FALSE(replay.playing());
    EXPECT_EQ(replay.time(), 0);
}

// A drive longer than the store holds: the time bar begins at the first snapshot held, its clock
// counting from the drive's first measurement, and nothing takes the replay before it.
TEST(ReplayScreen, ADriveLongerThanTheStoreStartsAtItsFirstHeldSnapshot) {
    ScreenRig rig; // not connected: the test feeds the store
    const auto start = std::chrono::system_clock::now();
    const int count = static_cast<int>(TelemetryStore::snapshotCapacity) + 400; // the first 100 s fall out
    for (int i = 0; i < count; ++i) rig.model().store().ingest(measured(0x0C, i, start + i * 250ms));
    ReplayView replay(rig.model());
    present(replay, userSizes[0].content);
    auto* slider = replay.findChild<QSlider*>(QStringLiteral("replaySlider"));
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->minimum(), 100'000);
    EXPECT_EQ(replay.findChild<QLabel*>(QStringLiteral("replayClock"))->text(), QStringLiteral("1:40 / 2:48:19"));
    shoot(replay, QStringLiteral("replay-after-the-cap"));
    const std::pair<const char*, std::function<void()>> moves[] = {
        {"opened", [] {}},
        {"seek before it", [&] { replay.seek(30); }},
        {"Home", [&] { QTest::keyClick(&replay, Qt::Key_Home); }},
        {"slider to its start", [&] { slider->setValue(slider->minimum()); }},
        {"Lire from the end", [&] { replay.seek(replay.duration()); replay.setPlaying(true); }},
    };
    for (const auto& [what, move] : moves) {
        move();
        EXPECT_DOUBLE_EQ(replay.time(), 100) << what;
        ASSERT_EQ(replay.gauges().size(), 1u);
        EXPECT_EQ(replay.gauges()[0]->gauge().value, 400) << what;
        replay.seek(5000);
    }
}

// Hidden (the window minimised, or the section leaving it), the replay does not play on unseen.
TEST(ReplayScreen, HiddenItStopsPlaying) {
    ScreenRig rig; // not connected: the test feeds the store
    const auto start = std::chrono::system_clock::now();
    for (int i = 0; i < 40; ++i) rig.model().store().ingest(measured(0x0C, 800 + 50 * i, start + i * 250ms));
    ReplayView replay(rig.model());
    present(replay, userSizes[0].content);
    replay.setPlaying(true);
    replay.tick();
    ASSERT_TRUE(replay.playing());
    replay.hide();
    EXPECT_FALSE(replay.playing());
    const double time = replay.time();
    for (int i = 0; i < 5; ++i) replay.tick();
    EXPECT_EQ(replay.time(), time);
}

// The replay at a moment matches the drive's CSV export there (metric, no calibration, to the
// CSV's three decimals).
TEST(ReplayScreen, AtAScrubbedMomentTheDialsMatchTheExportedCSV) {
    namespace fs = std::filesystem;
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    AppModel& model = rig.model();
    ASSERT_TRUE(waitUntil([&] { return model.store().replayDuration() >= 4; }, 60s));
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Trajets")));
    rig.settle();
    auto* trips = rig.find<TripsView>(QStringLiteral("TripsView"));
    ASSERT_NE(trips, nullptr);
    std::size_t live = 0;
    for (std::size_t i = 0; i < trips->sessions().rows().size(); ++i) {
        if (trips->sessions().rows()[i].live) live = i;
    }
    trips->sessions().select(live);
    const fs::path file = rig.folder.path() / "drive.csv";
    rig.dialogs->saveAnswers.push_back(file);
    QTest::mouseClick(trips->panel().exportButton(DriveExport::Format::csv), Qt::LeftButton);
    const SessionList& list = trips->sessions();
    ASSERT_TRUE(waitUntil([&] { return fs::exists(file) && !list.isBusy(*list.selectedRow()); }, 20s));
    const auto channels = TelemetryFile::read(*model.store().recordingURL()).channels;

    std::istringstream csv(readWholeFile(file, 1 << 26));
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(csv, line);) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, ';');) cells.push_back(cell);
        rows.push_back(std::move(cells));
    }
    ASSERT_GE(rows.size(), 12u);
    ASSERT_TRUE(rig.click(QStringLiteral("replayButton")));
    auto* replay = rig.find<ReplayView>(QStringLiteral("ReplayView"));
    ASSERT_NE(replay, nullptr);
    std::size_t compared = 0;
    for (const std::size_t row : {rows.size() / 2, rows.size() - 3}) {
        // Halfway to the next record: the record's time is cut to the millisecond.
        const double at = (std::stod(rows[row][0]) + std::stod(rows[row + 1][0])) / 2;
        replay->seek(at);
        for (std::size_t i = 0; i < replay->gauges().size(); ++i) {
            const std::uint8_t pid = replay->parameters()[i];
            const auto column = std::find_if(channels.begin(), channels.end(),
                                             [pid](const TelemetryFile::Channel& c) { return c.pid == pid; });
            if (column == channels.end()) continue;
            const std::string& cell = rows[row].at(static_cast<std::size_t>(column - channels.begin()) + 1);
            const auto value = replay->gauges()[i]->gauge().value;
            ASSERT_EQ(value.has_value(), !cell.empty()) << "PID " << int(pid) << " at " << at;
            if (value) {
                EXPECT_EQ(fmt::format("{:.3f}", static_cast<float>(*value)), cell) << "PID " << int(pid);
            }
            ++compared;
        }
    }
    EXPECT_GE(compared, 8u);
}

// The layout tour's pictures of the replay, at both sizes, mid-drive.
class ReplayLayout : public ::testing::TestWithParam<UserSize> {};

TEST_P(ReplayLayout, MidDrive) {
    const QSize size = GetParam().window;
    ScreenRig rig;
    rig.window->resize(size);
    rig.settle();
    ASSERT_TRUE(rig.connect());
    ReplayView* replay = openReplay(rig, 3);
    ASSERT_NE(replay, nullptr);
    replay->seek(replay->duration() / 2);
    ASSERT_TRUE(waitUntil([&] { return !replay->ticking(); }));
    const auto visit = [&](const char* screen) {
        rig.settle();
        settle();
        const QString name =
            QStringLiteral("layout-%1x%2-%3").arg(size.width()).arg(size.height()).arg(QString::fromUtf8(screen));
        EXPECT_TRUE(rig.window->grab().save(QStringLiteral(VEQ_SCREENS_DIR "/") + name + QStringLiteral(".png")));
        const auto faults = checkLayout(*rig.window);
        EXPECT_TRUE(faults.empty()) << layoutReport(name, *rig.window, faults);
        // Every dial whole in the window, none shrunk below legibility.
        for (CircularGaugeView* gauge : replay->gauges()) {
            EXPECT_GE(gauge->dialSquare().width(), 140) << screen;
            EXPECT_TRUE(rig.window->rect().contains(QRect(gauge->mapTo(rig.window.get(), QPoint()), gauge->size())));
        }
    };
    visit("replay");
    // The sidebar hidden, "‹ Trajets" clears the button that brings it back.
    rig.model().setSidebarHidden(true);
    visit("replay-sidebar-hidden");
    const QRect back(rig.find(QStringLiteral("replayBackButton"))->mapTo(rig.window.get(), QPoint()),
                     rig.find(QStringLiteral("replayBackButton"))->size());
    const QRect show(rig.find(QStringLiteral("showSidebarButton"))->mapTo(rig.window.get(), QPoint()),
                     rig.find(QStringLiteral("showSidebarButton"))->size());
    EXPECT_FALSE(back.intersects(show));
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReplayLayout, ::testing::ValuesIn(userSizes),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace veq::testing
