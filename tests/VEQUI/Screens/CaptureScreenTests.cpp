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

#include <filesystem>

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

// A save of the range that is refused (a file the application keeps) or that fails (a folder that
// does not exist) is told in a message where the user saved, and nothing kept is written; the
// stretch stays marked. An ordinary destination is written without a word.
TEST(CaptureScreen, ARefusedOrFailedSaveIsToldOnTheScreenAndWritesNothingKept) {
    ScreenRig rig;
    ASSERT_NE(openCapture(rig), nullptr);
    auto* save = rig.find<QAbstractButton>(QStringLiteral("saveRangeButton"));
    ASSERT_NE(save, nullptr);
    const std::filesystem::path lock = rig.folder / "oskavel-car.lock";
    writeFile(lock, "4242\n");
    const std::string impossible = "Enregistrement impossible : ";
    const struct {
        std::filesystem::path destination;
        std::optional<std::string> message; // how it begins; nothing: saved
    } cases[] = {
        {rig.model().sessionCatalog().sessionsDirectory() / "sessions.store",
         impossible + "« sessions.store » appartient au catalogue des trajets ; choisissez un autre fichier."},
        {lock, impossible + "« oskavel-car.lock » est le verrou qui réserve les données à cette fenêtre ; choisissez un "
                            "autre fichier."},
        {rig.folder / "missing" / "range.mf4", impossible},
        {rig.folder / "range.mf4", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.destination.string());
        ASSERT_TRUE(waitUntil([&] { return save->isEnabled(); }, 20s));
        const std::size_t told = rig.dialogs->messages.size();
        const std::string before = std::filesystem::exists(c.destination) ? readFile(c.destination) : "";
        rig.dialogs->saveAnswers.push_back(c.destination);
        QTest::mouseClick(save, Qt::LeftButton);
        if (c.message) {
            ASSERT_TRUE(waitUntil([&] { return rig.dialogs->messages.size() > told; }, 20s));
            EXPECT_EQ(rig.dialogs->messages.back().kind, Dialogs::Message::Kind::error);
            EXPECT_TRUE(rig.dialogs->messages.back().text.starts_with(*c.message)) << rig.dialogs->messages.back().text;
            EXPECT_EQ(rig.model().logPhase().kind, LogPhase::Kind::ended);
            EXPECT_EQ(std::filesystem::exists(c.destination) ? readFile(c.destination) : "", before);
        } else {
            ASSERT_TRUE(waitUntil([&] { return rig.model().lastSavedLog() && rig.model().lastSavedLog()->url == c.destination; }, 20s));
            rig.settle();
            EXPECT_EQ(rig.dialogs->messages.size(), told);
        }
    }
}

} // namespace
} // namespace veq::testing
