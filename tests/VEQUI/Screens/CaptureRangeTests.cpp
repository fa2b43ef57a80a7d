// The capture's range of held events to save: its span and handles as time passes, its button's
// states, and a range saved through the save panel as MDF 4.10 and read back.
#include "ScreenRig.hpp"

#include "VEQStore/Export/ExportNaming.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Kit/RangeTimeline.hpp"
#include "VEQUI/Views/Capture/CaptureRangeCard.hpp"
#include "VEQUI/Views/Capture/CaptureView.hpp"
#include "VEQUI/Views/Recording/FactView.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <QLabel>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>

namespace veq::testing {
namespace {

namespace fs = std::filesystem;
using Access = AppModelTestAccess;
using Date = std::chrono::system_clock::time_point;

CaptureView* openCapture(ScreenRig& rig) {
    if (!rig.connect() || !rig.click(QStringLiteral("sidebarRow.Capture"))) return nullptr;
    rig.settle();
    return rig.find<CaptureView>(QStringLiteral("CaptureView"));
}

// The span the card offers once the recorder has held events for `seconds`.
bool holdsAtLeast(const CaptureRangeCard& card, double seconds) {
    return waitUntil([&] { return card.timeline().upper() - card.timeline().lower() >= seconds; }, 15s);
}

// The absolute times of the first and last records of an MDF 4.10 file as this system writes it:
// the start in the header block at 64, the data block's link in the data group at 224, the
// record count and size in the channel group at 288, the master time (seconds, a double) first
// in each record.
struct MDFSpan {
    Date first;
    Date last;
    std::uint64_t records = 0;
};
std::uint64_t littleEndian(const std::string& bytes, std::size_t offset, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value |= std::uint64_t(std::uint8_t(bytes.at(offset + i))) << (8 * i);
    return value;
}
MDFSpan mdfSpan(const std::string& file) {
    const auto start = Date(std::chrono::duration_cast<Date::duration>(std::chrono::nanoseconds(littleEndian(file, 136, 8))));
    const std::uint64_t data = littleEndian(file, 264, 8) + 24;
    const std::uint64_t records = littleEndian(file, 368, 8);
    const std::uint64_t size = littleEndian(file, 384, 4);
    const auto at = [&](std::uint64_t record) {
        const double seconds = std::bit_cast<double>(littleEndian(file, data + record * size, 8));
        return start + std::chrono::round<Date::duration>(std::chrono::duration<double>(seconds));
    };
    return {at(0), at(records - 1), records};
}

TEST(CaptureRange, ARangeChosenOnTheStripIsSavedAsMDFThroughThePanelAndItsRecordsLieWithinIt) {
    ScreenRig rig;
    CaptureView* capture = openCapture(rig);
    ASSERT_NE(capture, nullptr);
    CaptureRangeCard& card = capture->rangeCard();
    ASSERT_TRUE(holdsAtLeast(card, 3.0));
    EXPECT_TRUE(card.timeline().isWhole()) << "the whole held span at first";
    EXPECT_TRUE(card.saveButton().isEnabled());

    // One second in from each end, by the keyboard: the start handle, then the end handle.
    RangeTimeline& timeline = card.timeline();
    QWidget& strip = timeline.strip();
    strip.setFocus();
    timeline.setFocusedHandle(RangeTimeline::Handle::start);
    QTest::keyClick(&strip, Qt::Key_Right);
    timeline.setFocusedHandle(RangeTimeline::Handle::end);
    QTest::keyClick(&strip, Qt::Key_Left);
    const auto range = card.range();
    ASSERT_TRUE(range.has_value());
    ASSERT_GT(range->second, range->first);

    const fs::path file = rig.folder.path() / "plage.mf4";
    rig.dialogs->saveAnswers.push_back(file);
    QTest::mouseClick(&card.saveButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return rig.model().lastSavedLog() && rig.model().lastSavedLog()->url == file; }, 15s))
        << rig.model().lastExecutionMessage().value_or("");
    ASSERT_EQ(rig.dialogs->saveRequests.size(), 1u);
    EXPECT_EQ(rig.dialogs->saveRequests[0].directory, rig.model().sessionCatalog().sessionsDirectory());

    const MDFSpan saved = mdfSpan(readFile(file));
    ASSERT_GE(saved.records, 2u);
    const auto bucket = std::chrono::milliseconds(50);
    EXPECT_GE(saved.first, range->first - bucket);
    EXPECT_LE(saved.first, range->second + bucket);
    EXPECT_GE(saved.last, range->first - bucket);
    EXPECT_LE(saved.last, range->second + bucket);
    EXPECT_GE(saved.last - saved.first, range->second - range->first - 2 * bucket) << "the range is filled";

    // It shows as the last saved log, like a marked stretch.
    rig.settle();
    const auto facts = rig.findAll<FactView>(QStringLiteral("savedFact"));
    ASSERT_EQ(facts.size(), 5);
    EXPECT_EQ(facts[0]->component().value, QStringLiteral("plage.mf4"));

    // The same range as an own file in the sessions folder: read back, and catalogued.
    const fs::path own = rig.model().sessionCatalog().sessionsDirectory() / "plage.veqt";
    rig.dialogs->saveAnswers.push_back(own);
    QTest::mouseClick(&card.saveButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return rig.model().lastSavedLog() && rig.model().lastSavedLog()->url == own; }, 15s));
    const TelemetryFile::Contents contents = TelemetryFile::read(own);
    ASSERT_GE(contents.records.size(), 2u);
    const auto dated = [&](const TelemetryFile::Record& record) {
        return contents.startDate + std::chrono::milliseconds(record.milliseconds);
    };
    EXPECT_GE(dated(contents.records.front()), range->first - bucket);
    EXPECT_LE(dated(contents.records.back()), range->second + bucket);
    EXPECT_TRUE(std::any_of(rig.model().pastSessions().begin(), rig.model().pastSessions().end(),
                            [](const SessionRecord& record) { return record.fileName == "plage.veqt"; }));
}

TEST(CaptureRange, AnEndAtNowFollowsNowAndOneMovedBackStays) {
    ScreenRig rig;
    CaptureView* capture = openCapture(rig);
    ASSERT_NE(capture, nullptr);
    CaptureRangeCard& card = capture->rangeCard();
    ASSERT_TRUE(waitUntil([&] { return rig.model().captureOldestEvent().has_value(); }));
    // The strip starts at the whole second the oldest event falls in; now is 0.7 s past one.
    const Date first = std::chrono::floor<std::chrono::seconds>(*rig.model().captureOldestEvent());
    Date now = first + std::chrono::milliseconds(20'700);
    card.setClock([&] { return now; });
    RangeTimeline& timeline = card.timeline();
    ASSERT_NEAR(timeline.upper() - timeline.lower(), 20.7, 1e-6);
    EXPECT_EQ(card.range(), std::pair(first, now));

    now += std::chrono::seconds(5);
    card.refresh();
    EXPECT_EQ(card.range()->second, now) << "at now, the end follows";
    EXPECT_NEAR(timeline.upper() - timeline.lower(), 25.7, 1e-6);

    timeline.setFocusedHandle(RangeTimeline::Handle::end);
    QTest::keyClick(&timeline.strip(), Qt::Key_Left);
    const Date chosen = std::chrono::round<std::chrono::seconds>(now - std::chrono::seconds(1));
    EXPECT_EQ(card.range()->second, chosen);
    now += std::chrono::seconds(5);
    card.refresh();
    EXPECT_EQ(card.range()->second, chosen) << "moved back, it stays";
    EXPECT_EQ(timeline.endLabel().text(), QStringLiteral("Fin ") + DateTexts::clockTime(chosen));

    // Saved between two moves of the strip, an end at now is saved up to the moment of the click.
    QTest::keyClick(&timeline.strip(), Qt::Key_End);
    now += std::chrono::milliseconds(900);
    QTest::mouseClick(&card.saveButton(), Qt::LeftButton); // the panel is cancelled
    EXPECT_EQ(rig.model().logPhase(), AppModel::LogPhase::ended(first, now));
    EXPECT_EQ(card.range()->second, now);
    // Both ends read as the clock shows them, the length between them too, and the name agrees.
    EXPECT_EQ(timeline.lengthLabel().text(), QStringLiteral("Durée ") + DateTexts::clockDuration(31));
    ASSERT_TRUE(waitUntil([&] { return !rig.dialogs->saveRequests.empty(); }));
    EXPECT_EQ(rig.dialogs->saveRequests.back().suggestedName, ExportNaming::dji(first, "mf4", TimeZone::current()));
}

TEST(CaptureRange, TheButtonSaysWhyItIsOffAndThatARangeReplacesAMarkedStretch) {
    ScreenRig rig;
    {
        // Before any connection: no recorder, no event.
        CaptureRangeCard idle(rig.model());
        EXPECT_FALSE(idle.saveButton().isEnabled());
        EXPECT_EQ(idle.note().text(), QStringLiteral("L'enregistreur ne garde encore aucun événement."));
        EXPECT_EQ(idle.timeline().startLabel().text(), QStringLiteral("Début \u2014"));
    }
    CaptureView* capture = openCapture(rig);
    ASSERT_NE(capture, nullptr);
    CaptureRangeCard& card = capture->rangeCard();
    ASSERT_TRUE(holdsAtLeast(card, 1.0));
    EXPECT_TRUE(card.saveButton().isEnabled());
    const QString plain = card.note().text();

    card.timeline().setRange(card.timeline().lower() + 0.5, card.timeline().lower() + 0.5);
    EXPECT_FALSE(card.saveButton().isEnabled());
    EXPECT_EQ(card.note().text(), QStringLiteral("La plage est vide : éloignez la fin du début."));
    QTest::mouseClick(&card.saveButton(), Qt::LeftButton);
    EXPECT_EQ(rig.model().logPhase(), AppModel::LogPhase::idle()) << "an off button saves nothing";

    card.timeline().selectWhole();
    EXPECT_EQ(card.note().text(), plain);
    rig.model().startLog();
    EXPECT_TRUE(card.saveButton().isEnabled());
    EXPECT_EQ(card.note().text(), QStringLiteral("Un passage est marqué : enregistrer la plage le remplace."));
    Access::setLogPhase(rig.model(), AppModel::LogPhase::saving());
    EXPECT_FALSE(card.saveButton().isEnabled());
    EXPECT_EQ(card.note().text(), QStringLiteral("Écriture du log en cours…"));
    Access::setLogPhase(rig.model(), AppModel::LogPhase::idle());
    EXPECT_TRUE(card.saveButton().isEnabled());
}

} // namespace
} // namespace veq::testing
