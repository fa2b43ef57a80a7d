#include "ExpertFixtures.hpp"

#include "TestSupport/ExternalTool.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Expert/AuditListView.hpp"
#include "VEQUI/Views/Expert/BackupListView.hpp"
#include "VEQUI/Views/Expert/DIDCSV.hpp"
#include "VEQUI/Views/Expert/DIDScannerView.hpp"
#include "VEQUI/Views/Expert/ECUPicker.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"

#include <gtest/gtest.h>

#include <atomic>

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

namespace veq {
namespace {

using namespace veq::testing;
using Access = AppModelTestAccess;

const std::string restoreRefusal =
    "La restauration \u00E9crit dans le calculateur et exige donc le SecurityAccess (0x27), indisponible sans provider. "
    "La sauvegarde reste intacte et exportable : un atelier \u00E9quip\u00E9 de XENTRY ou DTS Monaco peut la "
    "r\u00E9appliquer.";

std::string capsuleText(const QWidget& root, const char* name) {
    const auto* capsule = only<SymbolCapsuleView>(root, QString::fromLatin1(name));
    return capsule ? capsule->component().text.toStdString() : "<none>";
}

ECUBackup backupNow(const char* ecu, const char* address, std::map<std::string, std::vector<std::uint8_t>> values,
                    bool verified) {
    return ECUBackup(UUID::random(), ecu, address,
                     std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now()), std::nullopt,
                     std::move(values), verified);
}

TEST(ExpertTabs, AnEngineBackupIsListedVerifiedItsRestoreRefusedAndTheAuditListsEveryStep) {
    ExpertRig rig;
    ASSERT_TRUE(rig.open());
    AppModel& model = rig.model();
    ExpertView& view = *rig.view;

    // No backup yet: the empty state, no scroll view.
    view.selectTab(ExpertView::Tab::backups);
    settleAll();
    EXPECT_EQ(textOf(view, "emptyTitle"), "Aucune sauvegarde");
    EXPECT_EQ(only(view, QStringLiteral("backupScroll")), nullptr);

    ASSERT_TRUE(rig.backUp("eng-start-stop-off"));
    settleAll();
    const auto cards = named(view, QStringLiteral("backupCard"));
    ASSERT_EQ(cards.size(), 1);
    const ECUBackup& backup = model.backupList().front();
    EXPECT_TRUE(backup.verified);
    EXPECT_EQ(textOf(*cards[0], "backupECU"), "ME/CDI moteur");
    EXPECT_TRUE(textOf(*cards[0], "backupDetail").starts_with("7E0 \u00B7 " + std::to_string(backup.values.size()) + " DID \u00B7 "));
    EXPECT_EQ(textOf(*cards[0], "backupChecksum"), "SHA-256 \u00B7 " + backup.checksum.substr(0, 16) + "\u2026");
    EXPECT_EQ(capsuleText(*cards[0], "freshnessTag"), "Valide (< 24 h)");
    EXPECT_EQ(capsuleText(*cards[0], "readBackTag"), "Relecture v\u00E9rifi\u00E9e");
    EXPECT_EQ(capsuleText(*cards[0], "integrityTag"), "Empreinte intacte");
    EXPECT_EQ(only<SymbolView>(*cards[0], QStringLiteral("backupStatus"))->symbol(), "checkmark.seal.fill");
    shoot(view, QStringLiteral("expert-backups"));
    QTest::mouseClick(only<QWidget>(view, QStringLiteral("openFolder")), Qt::LeftButton);
    EXPECT_EQ(rig.reveals.shown, std::vector<std::filesystem::path>{model.backupStore().storageDirectory()});

    // "Annuler": nothing asked of the model. "Restaurer": refused, in the message and the audit.
    QTest::mouseClick(only<QWidget>(*cards[0], QStringLiteral("restoreButton")), Qt::LeftButton);
    ASSERT_EQ(rig.dialogs().confirmations.size(), 1u);
    const auto& asked = rig.dialogs().confirmations[0];
    EXPECT_EQ(asked.title, "Restaurer ce calculateur ?");
    EXPECT_EQ(asked.text, "La restauration r\u00E9\u00E9crit les valeurs sauvegard\u00E9es dans le calculateur. Elle exige "
                          "les m\u00EAmes garde-fous qu'une \u00E9criture normale.");
    EXPECT_EQ(asked.confirmLabel, "Restaurer");
    EXPECT_EQ(asked.cancelLabel, "Annuler");
    EXPECT_TRUE(asked.destructive);
    settleAll();
    EXPECT_FALSE(model.lastExecutionMessage().has_value());
    rig.dialogs().confirmAnswers.push_back(true);
    QTest::mouseClick(named<QWidget>(view, QStringLiteral("restoreButton")).front(), Qt::LeftButton);
    ASSERT_TRUE(settleUntil([&] { return model.lastExecutionMessage().has_value(); }));
    EXPECT_EQ(*model.lastExecutionMessage(), "Restauration refus\u00E9e \u2014 " + restoreRefusal);

    view.selectTab(ExpertView::Tab::audit);
    ASSERT_TRUE(settleUntil([&] { return named(view, QStringLiteral("auditRow")).size() == 4; }));
    const auto rows = named(view, QStringLiteral("auditRow"));
    std::vector<std::string> symbols;
    for (const QWidget* row : rows) symbols.push_back(only<SymbolView>(*row, QStringLiteral("auditSymbol"))->symbol());
    // Newest first: the refusal above the attempt, then the backup and the acceptance.
    EXPECT_EQ(symbols, (std::vector<std::string>{"xmark.octagon.fill", "arrow.uturn.backward", "arrow.down.doc.fill",
                                                 "hand.raised.fill"}));
    EXPECT_EQ(textOf(*rows[0], "auditResult"), restoreRefusal);
    EXPECT_EQ(texts(*rows[0], QStringLiteral("auditDetail")).at(1), "ECU 7E0");
    EXPECT_EQ(texts(*rows[3], QStringLiteral("auditDetail")).size(), 1u);
    shoot(view, QStringLiteral("expert-audit"));
    QTest::mouseClick(only<QWidget>(view, QStringLiteral("revealLog")), Qt::LeftButton);
    ASSERT_EQ(rig.reveals.shown.size(), 2u);
    EXPECT_EQ(rig.reveals.shown[1], model.auditLog().logFileURL());
}

TEST(ExpertTabs, AnAlteredBackupIsFlaggedAndItsRestoreFailsOnTheChecksumAndWithoutACarARestoreOnlyClosesTheDialog) {
    ExpertRig rig;
    ECUBackup altered = backupNow("Bo\u00EEte", "7E1", {{"0xF190", {0x41}}}, true);
    altered.values["0xF190"] = {0x42};
    ASSERT_TRUE(rig.model().backupStore().add(altered).has_value());
    ASSERT_TRUE(rig.model().backupStore().add(backupNow("Moteur", "7E0", {}, false)).has_value());
    BackupListView backups(rig.model(), rig.reveals.action());
    present(backups, QSize(900, 500));
    ASSERT_TRUE(settleUntil([&] { return named(backups, QStringLiteral("backupCard")).size() == 2; }));
    const auto card = [&](const char* address) -> QWidget& {
        for (QWidget* c : named(backups, QStringLiteral("backupCard"))) {
            if (textOf(*c, "backupDetail").starts_with(address)) return *c;
        }
        throw std::runtime_error("no card");
    };
    EXPECT_EQ(capsuleText(card("7E1"), "integrityTag"), "ALT\u00C9R\u00C9E");
    EXPECT_EQ(only<SymbolView>(card("7E1"), QStringLiteral("backupStatus"))->symbol(), "exclamationmark.triangle.fill");
    EXPECT_TRUE(textOf(card("7E0"), "backupDetail").starts_with("7E0 \u00B7 0 DID \u00B7 "));
    EXPECT_EQ(capsuleText(card("7E0"), "readBackTag"), "Non v\u00E9rifi\u00E9e");
    shoot(backups, QStringLiteral("expert-backup-altered"));

    // Before any connection a confirmed restore only closes the dialog, and the audit is empty.
    rig.dialogs().confirmAnswers.push_back(true);
    QTest::mouseClick(only<QWidget>(card("7E0"), QStringLiteral("restoreButton")), Qt::LeftButton);
    settleAll();
    EXPECT_FALSE(backups.confirmingRestore().has_value());
    EXPECT_FALSE(rig.model().lastExecutionMessage().has_value());
    AuditListView audit(rig.model(), rig.reveals.action());
    present(audit, QSize(900, 400));
    settleAll();
    EXPECT_EQ(textOf(audit, "emptyTitle"), "Aucune op\u00E9ration enregistr\u00E9e");
    EXPECT_EQ(only(audit, QStringLiteral("auditScroll")), nullptr);

    // Once connected, the altered backup's restore fails on its checksum.
    ASSERT_TRUE(rig.connect());
    rig.model().acceptExpertMode();
    rig.dialogs().confirmAnswers.push_back(true);
    QTest::mouseClick(only<QWidget>(card("7E1"), QStringLiteral("restoreButton")), Qt::LeftButton);
    ASSERT_TRUE(settleUntil([&] { return rig.model().lastExecutionMessage().has_value(); }));
    EXPECT_EQ(*rig.model().lastExecutionMessage(),
              "\u00C9chec de restauration : Sauvegarde alt\u00E9r\u00E9e : l'empreinte de contr\u00F4le ne correspond pas.");
}

TEST(ExpertTabs, ABackupListGoneWhileItsRestoreIsBeingConfirmedRestoresNothing) {
    // The connection drops while the question is up: the screen is taken down under the dialog.
    ExpertRig rig;
    ASSERT_TRUE(rig.connect());
    rig.model().acceptExpertMode();
    ASSERT_TRUE(rig.model().backupStore().add(backupNow("Moteur", "7E0", {{"0xF190", {0x41}}}, true)).has_value());
    auto* backups = new BackupListView(rig.model(), rig.reveals.action());
    present(*backups, QSize(900, 500));
    ASSERT_TRUE(settleUntil([&] { return named(*backups, QStringLiteral("backupCard")).size() == 1; }));
    QPointer<BackupListView> alive(backups);
    rig.dialogs().whileConfirming = [&] { delete alive.data(); };
    rig.dialogs().confirmAnswers.push_back(true);
    QTest::mouseClick(only<QWidget>(*backups, QStringLiteral("restoreButton")), Qt::LeftButton);
    // A restore the model ran would have left its verdict by now.
    EXPECT_FALSE(settleUntil([&] { return rig.model().lastExecutionMessage().has_value(); }, std::chrono::seconds(2)));
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(rig.dialogs().confirmations.size(), 1u);
}

std::vector<std::string> comboTexts(const QComboBox& box) {
    std::vector<std::string> out;
    for (int i = 0; i < box.count(); ++i) out.push_back(box.itemText(i).toStdString());
    return out;
}

TEST(DIDScanner, ScansIdentificationAndMakerRangesWatchesValuesNamesAndExportsTheCSV) {
    ExpertRig rig;
    ASSERT_TRUE(rig.connect());
    AppModel& model = rig.model();
    DIDScannerView view(model);
    present(view, expertScreenSize);
    settleAll();
    EXPECT_EQ(textOf(view, "emptyTitle"), "Aucun identifiant d\u00E9couvert");
    EXPECT_FALSE(only<QWidget>(view, QStringLiteral("watchButton"))->isEnabled());
    EXPECT_FALSE(only<QWidget>(view, QStringLiteral("exportButton"))->isEnabled());
    EXPECT_EQ(comboTexts(*only<QComboBox>(view, QStringLiteral("rangePicker"))),
              (std::vector<std::string>{"Identification (ISO) (128)", "Configuration basse (512)",
                                        "Configuration moyenne (768)", "Mesures constructeur (256)",
                                        "Balayage complet (65536)"}));
    auto* ecus = only<QComboBox>(view, QStringLiteral("ecuPicker"));
    std::vector<std::string> expected;
    for (const auto& ecu : model.ecus()) {
        if (ecu.responded) expected.push_back(ecu.name + " \u00B7 " + ecu.txHeader);
    }
    EXPECT_EQ(comboTexts(*ecus), expected);
    EXPECT_EQ(ecus->currentData().toString().toStdString(), "7E0");

    // The identification range, with its progress from the start; then the maker's measurements.
    const auto scan = [&](int range, const char* progress) {
        auto* ranges = only<QComboBox>(view, QStringLiteral("rangePicker"));
        ranges->setCurrentIndex(range);
        Q_EMIT ranges->activated(range);
        QTest::mouseClick(only<QWidget>(view, QStringLiteral("startScan")), Qt::LeftButton);
        EXPECT_TRUE(model.didScanning());
        EXPECT_TRUE(only<QWidget>(view, QStringLiteral("scanProgress"))->isVisibleTo(&view));
        EXPECT_EQ(textOf(view, "scanProgressText"), progress);
        EXPECT_FALSE(only<QWidget>(view, QStringLiteral("watchButton"))->isEnabled());
        ASSERT_TRUE(settleUntil([&] { return !model.didScanning(); }, std::chrono::seconds(60)));
        settleAll();
        EXPECT_FALSE(only<QWidget>(view, QStringLiteral("scanProgress"))->isVisibleTo(&view));
    };
    scan(0, "DID 0xF180 \u2014 0/128");
    const auto identification = model.discoveredDIDs().size();
    ASSERT_GT(identification, 0u);
    scan(3, "DID 0x2000 \u2014 0/256");
    const auto& dids = model.discoveredDIDs();
    ASSERT_GT(dids.size(), identification);
    EXPECT_EQ(named(view, QStringLiteral("didRow")).size(), static_cast<qsizetype>(dids.size()));
    shoot(view, QStringLiteral("expert-dids"));

    // Watching: the reads grow and the bytes that moved turn amber; the row keeps its name field.
    auto* watch = only<PlainButton>(view, QStringLiteral("watchButton"));
    ASSERT_TRUE(watch->isEnabled());
    QTest::mouseClick(watch, Qt::LeftButton);
    EXPECT_TRUE(model.didWatching());
    EXPECT_EQ(watch->text().toStdString(), "Arr\u00EAter l'observation");
    EXPECT_EQ(watch->colour(), VEQ::warning());
    ASSERT_TRUE(settleUntil([&] {
        const auto bytes = named<QLabel>(view, QStringLiteral("didByte"));
        return std::any_of(bytes.begin(), bytes.end(), [](const QLabel* byte) { return textColor(byte) == VEQ::warning(); });
    }, std::chrono::seconds(30)));
    shoot(view, QStringLiteral("expert-dids-watching"));
    EXPECT_TRUE(textOf(view, "explanationText").starts_with("Observation active : "));
    const auto rpm = std::find_if(dids.begin(), dids.end(), [](const DiscoveredDID& d) { return d.did == 0x2001; });
    ASSERT_NE(rpm, dids.end());
    EXPECT_GT(rpm->reads, 1);

    // A name given to the first row while the watch rewrites its bytes, quotes and ";" included.
    auto* field = named<QLineEdit>(view, QStringLiteral("didName")).front();
    const QString name = QStringLiteral("Num\u00E9ro \"a\";b");
    QTest::keyClicks(field, QStringLiteral("Num"));
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_Eacute, QStringLiteral("\u00E9"), Qt::NoModifier);
    QTest::keyClicks(field, QStringLiteral("ro \"a\";b"));
    settleAll();
    QTest::mouseClick(only<QWidget>(view, QStringLiteral("watchButton")), Qt::LeftButton);
    EXPECT_FALSE(model.didWatching());
    EXPECT_EQ(model.discoveredDIDs().front().label, name.toStdString());
    EXPECT_EQ(named<QLineEdit>(view, QStringLiteral("didName")).front()->text(), name);

    // The CSV through the save panel.
    const auto file = rig.rig.folder.path() / "export.csv";
    rig.dialogs().saveAnswers.push_back(file);
    QTest::mouseClick(only<QWidget>(view, QStringLiteral("exportButton")), Qt::LeftButton);
    ASSERT_EQ(rig.dialogs().saveRequests.size(), 1u);
    EXPECT_EQ(rig.dialogs().saveRequests[0].suggestedName, "dids-7E0.csv");
    EXPECT_EQ(fileText(file), DIDCSV::encode(model.discoveredDIDs()));
    expectKeptFilesRefused(rig.rig, [&] { QTest::mouseClick(only<QWidget>(view, QStringLiteral("exportButton")), Qt::LeftButton); });
}

TEST(DIDScanner, PickerTextsAndTheCSVLineOfTheExample) {
    EXPECT_EQ(DIDScannerView::scannableECUs({}), (std::vector<std::string>{"7E0", "7E1"}));
    const std::vector<DiscoveredECU> ecus{{"Moteur", "7E0", "7E8", true, {}, {}}, {"Bo\u00EEte", "7E1", "7E9", false, {}, {}}};
    EXPECT_EQ(DIDScannerView::scannableECUs(ecus), (std::vector<std::string>{"7E0"}));
    EXPECT_EQ(DIDScannerView::ecuName(ecus, "7E1").toStdString(), "Bo\u00EEte \u00B7 7E1");
    EXPECT_EQ(DIDScannerView::ecuName(ecus, "7E5").toStdString(), "Calculateur \u00B7 7E5");

    DiscoveredDID serial = DiscoveredDID::make(0xF190, "7E0", {0x31, 0x32, 0x33, 0x34});
    serial.label = "S\u00E9rie";
    serial.reads = 2;
    DiscoveredDID odd = DiscoveredDID::make(0x0101, "7E1", {0x3B, 0x22, 0x41, 0x42});
    odd.label = "a;\"b\"";
    DiscoveredDID bare = DiscoveredDID::make(0x0102, "7E1", {});
    bare.label = "x;y";
    EXPECT_EQ(DIDCSV::encode({serial, odd, bare}),
              "did;ecu;octets;ascii;libelle;lectures\n"
              "0xF190;7E0;31 32 33 34;1234;S\u00E9rie;2\n"
              "0x0101;7E1;3B 22 41 42;\";\"\"AB\";\"a;\"\"b\"\"\";1\n"
              "0x0102;7E1;;;\"x;y\";1\n");
    EXPECT_EQ(DIDCSV::encode({}), "did;ecu;octets;ascii;libelle;lectures\n");
    EXPECT_EQ(DIDCSV::field("deux\nlignes"), "\"deux\nlignes\"");
}

// The selected entry as the picker draws it.
QString shownEntry(const QComboBox& picker) {
    const auto* ecus = dynamic_cast<const ECUPicker*>(&picker);
    return ecus ? ecus->shownText() : picker.currentText();
}

// Every entry of a picker as it shows when selected: whole or ended with "…" where it is cut,
// within its text field (a plain picker cuts a longer entry short without a sign).
std::vector<std::string> entriesNotShownWhole(QComboBox& picker) {
    QStyleOptionComboBox option;
    option.initFrom(&picker);
    const QRect field = picker.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &picker);
    std::vector<std::string> faults;
    const int selected = picker.currentIndex();
    for (int i = 0; i < picker.count(); ++i) {
        picker.setCurrentIndex(i);
        const QString shown = shownEntry(picker);
        const bool fits = picker.fontMetrics().horizontalAdvance(shown) <= field.width() - 2;
        if (!fits || (shown != picker.currentText() && !shown.contains(QChar(0x2026)))) faults.push_back(shown.toStdString());
    }
    picker.setCurrentIndex(selected);
    return faults;
}

// Identifiers found on the engine ECU, as a scan leaves them.
std::vector<DiscoveredDID> foundDIDs(int count) {
    std::vector<DiscoveredDID> dids;
    for (int i = 0; i < count; ++i) dids.push_back(DiscoveredDID::make(static_cast<std::uint16_t>(0x2000 + i), "7E0", {0x12, 0x34}));
    return dids;
}

// A scan that could not read everything warns over its results until a stop or the next scan: cut
// short by a mute adapter or a lost link, or gone through with identifiers the adapter never answered.
TEST(DIDScanner, TheControlBarShowsEveryEntryWholeAndFitsTheScreenAtTheSizesUsersSee) {
    std::atomic<bool> mute = false, vinLost = false, linkLost = false;
    ScriptedCar car([&](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (linkLost && line == "22F190") {
            car.transport()->failSendsContaining("");
            car.transport()->loseLink();
            return silence();
        }
        if (mute || (vinLost && line == "22F190")) return silence();
        return std::nullopt;
    });
    // Replies given up after 100 ms; a scan ends once the adapter has been silent for 1 s.
    ExpertRig rig({.car = &car, .responseTimeout = std::chrono::milliseconds(100), .adapterSilence = std::chrono::seconds(1)});
    ASSERT_TRUE(rig.connect());
    DIDScannerView view(rig.model());
    const auto warning = [&]() -> std::optional<std::string> {
        if (!only<QWidget>(view, QStringLiteral("scanShortfall"))->isVisibleTo(&view)) return std::nullopt;
        return textOf(view, "scanShortfallText");
    };
    enum class State { empty, watching, interrupted, incomplete, linkLost };
    const struct {
        State state;
        QString picture;
        std::optional<std::string> warning;
    } states[] = {
        {State::empty, QStringLiteral("expert-dids-empty"), std::nullopt},
        {State::watching, QStringLiteral("expert-dids-watching"), std::nullopt},
        {State::interrupted, QStringLiteral("expert-dids-interrupted"),
         "Balayage interrompu : l'adaptateur ne r\u00E9pond plus \u2014 r\u00E9sultat incomplet"},
        {State::incomplete, QStringLiteral("expert-dids-incomplete"),
         "Balayage incomplet : 1 identifiant(s) sans r\u00E9ponse de l'adaptateur"},
        // Last: the connection is gone after it.
        {State::linkLost, QStringLiteral("expert-dids-link-lost"),
         "Balayage interrompu : liaison avec l'adaptateur perdue \u2014 r\u00E9sultat incomplet"},
    };
    for (const auto& [state, picture, warned] : states) {
        if (state == State::watching) {
            Access::setDiscoveredDIDs(rig.model(), foundDIDs(3));
            Access::setDidWatching(rig.model(), true); // the longest label of the watch button
        }
        if (state != State::empty && state != State::watching) {
            Access::setDidWatching(rig.model(), false);
            mute = state == State::interrupted;
            vinLost = state == State::incomplete;
            linkLost = state == State::linkLost;
            rig.model().startDIDScan(DIDRange::priority().front());
            ASSERT_TRUE(settleUntil([&] { return !rig.model().didScanning(); }, std::chrono::seconds(30)));
        }
        for (const QSize size : userScreenSizes) {
            present(view, size);
            settleAll();
            const std::string where = sized(picture, size).toStdString();
            auto* ecus = only<QComboBox>(view, QStringLiteral("ecuPicker"));
            EXPECT_EQ(entriesNotShownWhole(*ecus), std::vector<std::string>{}) << where;
            EXPECT_EQ(entriesNotShownWhole(*only<QComboBox>(view, QStringLiteral("rangePicker"))), std::vector<std::string>{})
                << where;
            // Each ECU's header shows, however long its name.
            for (int i = 0; i < ecus->count(); ++i) {
                ecus->setCurrentIndex(i);
                const QString header = QStringLiteral(" \u00B7 ") + ecus->itemData(i).toString();
                EXPECT_TRUE(shownEntry(*ecus).endsWith(header)) << ecus->itemText(i).toStdString();
            }
            ecus->setCurrentIndex(ecus->findData(QStringLiteral("7E0")));
            // Its controls, the watch button's longest label among them, never hold the screen wider.
            EXPECT_EQ(view.width(), size.width()) << where;
            EXPECT_EQ(warning(), warned) << where;
            shoot(view, sized(picture, size));
        }
    }
    rig.model().stopDIDScan();
    EXPECT_EQ(warning(), std::nullopt);
    EXPECT_EQ(DIDScannerView::shortfallText({AppModel::DIDScanShortfall::Kind::unanswered, 12}).toStdString(),
              "Balayage incomplet : 12 identifiant(s) sans r\u00E9ponse de l'adaptateur");
}

TEST(ExpertLists, ShowTheirScrollBarOnlyWhileTheyScroll) {
    ExpertRig rig;
    ASSERT_TRUE(rig.open());
    ExpertView& view = *rig.view;
    const auto barShown = [&](const char* scroll) {
        settleAll();
        return only<QScrollArea>(view, QString::fromUtf8(scroll))->verticalScrollBar()->isVisible();
    };
    // The catalogue scrolls; a search that keeps one recipe does not.
    EXPECT_TRUE(barShown("recipeScroll"));
    view.setSearch(QStringLiteral("coming home"));
    EXPECT_FALSE(barShown("recipeScroll"));
    shoot(view, QStringLiteral("expert-recipes-one-found"));
    // Three identifiers fit; sixty do not.
    view.selectTab(ExpertView::Tab::scanner);
    Access::setDiscoveredDIDs(rig.model(), foundDIDs(3));
    EXPECT_FALSE(barShown("didScroll"));
    Access::setDiscoveredDIDs(rig.model(), foundDIDs(60));
    EXPECT_TRUE(barShown("didScroll"));
}

} // namespace
} // namespace veq
