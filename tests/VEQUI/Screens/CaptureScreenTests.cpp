// The capture screen's own behaviour around the recorder: the refresh it holds only while shown,
// one duration for one saved log, and a recorder card that keeps its height.
#include "ScreenRig.hpp"

#include "VEQUI/Views/Kit/EventLogControl.hpp"
#include "VEQUI/Views/Kit/LogMarkTexts.hpp"
#include "VEQUI/Views/Kit/TextItem.hpp"
#include "VEQUI/Views/Capture/CaptureView.hpp"
#include "VEQUI/Views/Recording/FactView.hpp"

#include <gtest/gtest.h>

#include <QPointer>

#include <string>

namespace veq::testing {
namespace {

using Access = AppModelTestAccess;
using LogPhase = AppModel::LogPhase;

CaptureView* openCapture(ScreenRig& rig) {
    if (!rig.connect() || !rig.click(QStringLiteral("sidebarRow.Capture"))) return nullptr;
    rig.settle();
    return rig.find<CaptureView>(QStringLiteral("CaptureView"));
}

TEST(CaptureScreen, HidingTheScreenEndsItsRefreshWhileTheScreenStillExists) {
    ScreenRig rig;
    QPointer<CaptureView> capture = openCapture(rig);
    ASSERT_NE(capture, nullptr);
    EXPECT_TRUE(Access::captureRefreshing(rig.model()));
    capture->hide();
    ASSERT_FALSE(capture.isNull());
    EXPECT_FALSE(Access::captureRefreshing(rig.model()));
    capture->show();
    EXPECT_TRUE(Access::captureRefreshing(rig.model()));
}

// The marking control's line "✓ n lignes · 24 s" and the card's "0:24" are the same log.
TEST(CaptureScreen, TheSavedLogsDurationReadsAsTheMarkingControlsRoundedSeconds) {
    ScreenRig rig;
    CaptureView* capture = openCapture(rig);
    ASSERT_NE(capture, nullptr);
    struct Case { double seconds; const char* chip; const char* card; };
    static const Case cases[] = {
        {23.6, "24 s", "0:24"}, {23.4, "23 s", "0:23"}, {59.7, "60 s", "1:00"}, {0.4, "0 s", "0:00"},
        {3599.8, "3600 s", "1:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        Access::setLastSavedLog(rig.model(), EventRecorder::SavedLog{"/tmp/x.veqt", 12, 2, 40, c.seconds});
        auto* chip = rig.find<TextItemView>(QStringLiteral("savedLogLine"));
        ASSERT_NE(chip, nullptr);
        EXPECT_TRUE(chip->component().text.endsWith(QString::fromUtf8(c.chip))) << chip->component().text.toStdString();
        const auto facts = rig.findAll<FactView>(QStringLiteral("savedFact"));
        ASSERT_EQ(facts.size(), 5);
        EXPECT_EQ(facts[4]->component().value, QString::fromUtf8(c.card));
    }
}

TEST(CaptureScreen, TheRecorderCardKeepsItsHeightInEveryMarkingState) {
    ScreenRig rig;
    CaptureView* capture = openCapture(rig);
    ASSERT_NE(capture, nullptr);
    QWidget* card = rig.find(QStringLiteral("recorderCard"));
    QWidget* markingRow = rig.find(QStringLiteral("markingRow"));
    ASSERT_NE(card, nullptr);
    ASSERT_NE(markingRow, nullptr);
    const auto heightIn = [&](const LogPhase& phase) {
        Access::setLogPhase(rig.model(), phase);
        rig.settle();
        // Every form fits the row it is held in.
        EXPECT_LE(capture->logControl().sizeHint().height(), markingRow->height());
        return card->height();
    };
    const auto now = std::chrono::system_clock::now();
    const int idle = heightIn(LogPhase::idle());
    EXPECT_EQ(heightIn(LogPhase::running(now)), idle) << "running";
    EXPECT_EQ(heightIn(LogPhase::ended(now, now + std::chrono::seconds(4))), idle) << "ended";
    EXPECT_EQ(heightIn(LogPhase::saving()), idle) << "saving";
    Access::setLastSavedLog(rig.model(), EventRecorder::SavedLog{"/tmp/x.veqt", 12, 2, 40, 4.2});
    EXPECT_EQ(heightIn(LogPhase::idle()), idle) << "idle with a saved log";
}

} // namespace
} // namespace veq::testing
