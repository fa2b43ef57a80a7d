#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Support/GaugePixels.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Kit/RangeTimeline.hpp"

#include <QApplication>
#include <QLabel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace veq {
namespace {

using Handle = RangeTimeline::Handle;

struct Timeline : ::testing::Test {
    RangeTimeline timeline;
    std::vector<std::pair<double, double>> changes;

    void SetUp() override {
        timeline.resize(300, timeline.sizeHint().height());
        timeline.onChange = [this](double from, double to) { changes.emplace_back(from, to); };
        timeline.setAxis(0, 100);
        timeline.show();
    }

    QWidget& strip() { return timeline.strip(); }
    QPoint at(double time) const {
        // The handles' travel is the strip less half a handle and a pixel at each end.
        const double inset = 5;
        const double x = inset + time / 100 * (timeline.strip().width() - 2 * inset);
        return {static_cast<int>(std::lround(x)), timeline.strip().height() / 2};
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&strip(), &press);
    }
};

TEST_F(Timeline, StartsWholeAndAnEndAtTheUpperEndFollowsIt) {
    EXPECT_EQ(timeline.start(), 0);
    EXPECT_EQ(timeline.end(), 100);
    EXPECT_TRUE(timeline.isWhole());

    timeline.setAxis(0, 130);
    EXPECT_EQ(timeline.end(), 130) << "an end at the old end follows the new one";

    timeline.setRange(20, 90);
    timeline.setAxis(0, 160);
    EXPECT_EQ(timeline.start(), 20);
    EXPECT_EQ(timeline.end(), 90) << "an end moved back stays where it was put";

    timeline.setAxis(30, 60);
    EXPECT_EQ(timeline.start(), 30) << "a shrinking axis holds the handles inside it";
    EXPECT_EQ(timeline.end(), 60);
    EXPECT_FALSE(timeline.isEmpty());
    EXPECT_EQ(changes.back(), std::make_pair(30.0, 60.0)) << "the owner hears of every move";
}

TEST_F(Timeline, OwnerRangesAreOrderedAndHeldInTheAxis) {
    const struct {
        double from, to, start, end;
    } cases[] = {{10, 40, 10, 40}, {40, 10, 10, 40}, {-5, 50, 0, 50}, {50, 500, 50, 100}, {-9, 999, 0, 100}, {70, 70, 70, 70}};
    for (const auto& c : cases) {
        timeline.setRange(c.from, c.to);
        EXPECT_EQ(timeline.start(), c.start) << c.from << ".." << c.to;
        EXPECT_EQ(timeline.end(), c.end) << c.from << ".." << c.to;
    }
    EXPECT_TRUE(timeline.isEmpty());
}

TEST_F(Timeline, KeysMoveTheFocusedHandleBySecondsAndToTheEnds) {
    timeline.setRange(50, 60);
    strip().setFocus();
    timeline.setFocusedHandle(Handle::start);
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        double start, end;
    } steps[] = {
        {Qt::Key_Right, Qt::NoModifier, 51, 60},   {Qt::Key_Left, Qt::NoModifier, 50, 60},
        {Qt::Key_Left, Qt::ShiftModifier, 40, 60}, {Qt::Key_Right, Qt::ShiftModifier, 50, 60},
        {Qt::Key_Right, Qt::ShiftModifier, 60, 60}, // the start stops at the end
        {Qt::Key_Home, Qt::NoModifier, 0, 60},      {Qt::Key_Tab, Qt::NoModifier, 0, 60}, // now the end handle
        {Qt::Key_Right, Qt::NoModifier, 0, 61},     {Qt::Key_End, Qt::NoModifier, 0, 100},
        {Qt::Key_Right, Qt::ShiftModifier, 0, 100}, // held at the axis's end
        {Qt::Key_Home, Qt::NoModifier, 0, 0},       // the end stops at the start
    };
    for (const auto& step : steps) {
        key(step.key, step.modifiers);
        EXPECT_EQ(timeline.start(), step.start) << "key " << std::hex << step.key << " " << step.modifiers;
        EXPECT_EQ(timeline.end(), step.end) << "key " << std::hex << step.key << " " << step.modifiers;
    }
    EXPECT_EQ(timeline.focusedHandle(), Handle::end);
}

TEST_F(Timeline, ClicksMoveTheNearerHandleAndDragsAreClamped) {
    timeline.setRange(20, 80);
    QTest::mouseClick(&strip(), Qt::LeftButton, {}, at(30));
    EXPECT_NEAR(timeline.start(), 30, 0.6) << "the start is nearer to 30";
    EXPECT_EQ(timeline.end(), 80);
    QTest::mouseClick(&strip(), Qt::LeftButton, {}, at(70));
    EXPECT_NEAR(timeline.end(), 70, 0.6);
    EXPECT_EQ(timeline.focusedHandle(), Handle::end) << "the keyboard then moves the handle just taken";

    // Drag the end far past the strip's right edge, then the start past the end.
    QTest::mousePress(&strip(), Qt::LeftButton, {}, at(70));
    QMouseEvent beyond(QEvent::MouseMove, QPointF(strip().width() + 200, 10), strip().mapToGlobal(QPointF(0, 0)),
                       Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(&strip(), &beyond);
    QTest::mouseRelease(&strip(), Qt::LeftButton, {}, at(100));
    EXPECT_EQ(timeline.end(), 100);

    QTest::mousePress(&strip(), Qt::LeftButton, {}, at(30));
    QMouseEvent past(QEvent::MouseMove, QPointF(strip().width() + 50, 10), strip().mapToGlobal(QPointF(0, 0)),
                     Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(&strip(), &past);
    QTest::mouseRelease(&strip(), Qt::LeftButton, {}, at(100));
    EXPECT_EQ(timeline.start(), 100) << "the start stops at the end";
    EXPECT_EQ(timeline.end(), 100);

    QMouseEvent left(QEvent::MouseMove, QPointF(-80, 10), strip().mapToGlobal(QPointF(0, 0)), Qt::LeftButton,
                     Qt::LeftButton, {});
    QTest::mousePress(&strip(), Qt::LeftButton, {}, at(100) - QPoint(1, 0));
    QApplication::sendEvent(&strip(), &left);
    QTest::mouseRelease(&strip(), Qt::LeftButton, {}, at(0));
    EXPECT_EQ(timeline.start(), 0) << "handles that sit together part towards the drag";
    EXPECT_EQ(timeline.end(), 100);
}

// An axis whose end is no whole second, as a drive's: the handles stop on whole seconds or at that
// end, which reads as the second it falls in, as a clock does; the length reads as the end less
// the start as they read (each rounded alone: 0:21).
TEST_F(Timeline, HandlesStopOnWholeSecondsOrAtTheEndAndTheTextsAgree) {
    timeline.setAxis(0, 95.6);
    const struct { double from, to, start, end; const char* texts; } cases[] = {
        {52.4, 73.6, 52, 74, "Début 0:52 Fin 1:14 Durée 0:22"}, {12.5, 95.4, 12, 95.6, "Début 0:12 Fin 1:35 Durée 1:23"}};
    for (const auto& c : cases) {
        timeline.setRange(c.from, c.to);
        EXPECT_EQ(std::pair(timeline.start(), timeline.end()), std::pair(c.start, c.end)) << c.from;
        EXPECT_EQ(timeline.startLabel().text() + ' ' + timeline.endLabel().text() + ' ' + timeline.lengthLabel().text(),
                  QString::fromUtf8(c.texts));
    }
}

TEST_F(Timeline, TextsReadTheTimesThroughTheOwnersFormat) {
    timeline.setAxis(0, 4000);
    timeline.setRange(12, 3725);
    EXPECT_EQ(timeline.startLabel().text(), QStringLiteral("Début 0:12"));
    EXPECT_EQ(timeline.endLabel().text(), QStringLiteral("Fin 1:02:05"));
    EXPECT_EQ(timeline.lengthLabel().text(), QStringLiteral("Durée 1:01:53"));

    timeline.setTimeText([](double t) { return QStringLiteral("T+%1").arg(t); });
    EXPECT_EQ(timeline.startLabel().text(), QStringLiteral("Début T+12"));
    EXPECT_EQ(timeline.lengthLabel().text(), QStringLiteral("Durée 1:01:53")) << "the length stays a duration";

    std::vector<double> trend;
    for (int i = 0; i < 240; ++i) trend.push_back(50 + 40 * std::sin(i / 20.0));
    timeline.setAxis(0, 100);
    timeline.setRange(20, 70);
    timeline.setBackdrop(trend);
    // On the screens' own background, as a person sees it.
    QPalette dark = timeline.palette();
    dark.setColor(QPalette::Window, VEQ::background());
    timeline.setPalette(dark);
    timeline.setAutoFillBackground(true);
    const QImage picture = timeline.grab().toImage();
    testing::saveScreen(picture, QStringLiteral("range-timeline"));
    // The dimmed outside is darker than the same trend between the handles.
    const auto lightness = [&](double time) {
        const QPoint p = timeline.strip().mapTo(&timeline, at(time));
        int sum = 0;
        for (int y = 2; y < timeline.strip().height() - 2; ++y) sum += picture.pixelColor(p.x(), y).lightness();
        return sum;
    };
    EXPECT_LT(lightness(10), lightness(45));
    EXPECT_LT(lightness(85), lightness(45));
}

} // namespace
} // namespace veq
