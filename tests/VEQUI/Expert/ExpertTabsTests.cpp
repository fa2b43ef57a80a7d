#include "ExpertFixtures.hpp"

#include "TestSupport/ExternalTool.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/AuditListView.hpp"
#include "VEQUI/Views/BackupListView.hpp"
#include "VEQUI/Views/DIDCSV.hpp"
#include "VEQUI/Views/DIDScannerView.hpp"
#include "VEQUI/Views/ExpertView.hpp"
#include "VEQUI/Views/PlainButton.hpp"
#include "VEQUI/Views/SymbolView.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>

#include <fstream>
#include <sstream>

namespace veq {
namespace {

using namespace veq::testing;

const QSize screenSize(1180, 760);

const CodingRecipe& recipeNamed(const AppModel& model, const std::string& id) {
    for (const CodingRecipe& recipe : model.recipes()) {
        if (recipe.id == id) return recipe;
    }
    throw std::runtime_error("no recipe " + id);
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

const std::string restoreRefusal =
    "La restauration \u00E9crit dans le calculateur et exige donc le SecurityAccess (0x27), indisponible sans provider. "
    "La sauvegarde reste intacte et exportable : un atelier \u00E9quip\u00E9 de XENTRY ou DTS Monaco peut la "
    "r\u00E9appliquer.";

TEST(ExpertTabs, AnEngineBackupIsListedVerifiedItsRestoreRefusedAndTheAuditListsEveryStep) {
    ExpertRig rig;
    ASSERT_TRUE(rig.connect());
    AppModel& model = rig.model();
    model.acceptExpertMode();
    ExpertView view(model, rig.reveals.action());
    present(view, screenSize);

    // No backup yet: the info bar and the empty state, no scroll view.
    view.selectTab(ExpertView::Tab::backups);
    settleAll();
    EXPECT_EQ(text(only<QLabel>(view, QStringLiteral("emptyTitle"))), "Aucune sauvegarde");
    EXPECT_EQ(only(view, QStringLiteral("backupScroll")), nullptr);
    shoot(view, QStringLiteral("expert-backups-empty"));

    model.backupECU(recipeNamed(model, "eng-start-stop-off"));
    ASSERT_TRUE(settleUntil([&] { return !model.backupProgress() && !model.backupList().empty(); }, std::chrono::seconds(30)));
    settleAll();
    const auto cards = named(view, QStringLiteral("backupCard"));
    ASSERT_EQ(cards.size(), 1);
    const ECUBackup& backup = model.backupList().front();
    EXPECT_TRUE(backup.verified);
    EXPECT_EQ(text(only<QLabel>(*cards[0], QStringLiteral("backupECU"))), "ME/CDI moteur");
    EXPECT_EQ(text(only<QLabel>(*cards[0], QStringLiteral("backupDetail"))).rfind("7E0 \u00B7 " + std::to_string(backup.values.size()) + " DID \u00B7 ", 0), 0u);
    EXPECT_EQ(text(only<QLabel>(*cards[0], QStringLiteral("backupChecksum"))), "SHA-256 \u00B7 " + backup.checksum.substr(0, 16) + "\u2026");
    EXPECT_EQ(only<SymbolCapsuleView>(*cards[0], QStringLiteral("freshnessTag"))->component().text, QStringLiteral("Valide (< 24 h)"));
    EXPECT_EQ(only<SymbolCapsuleView>(*cards[0], QStringLiteral("readBackTag"))->component().text, QStringLiteral("Relecture v\u00E9rifi\u00E9e"));
    EXPECT_EQ(only<SymbolCapsuleView>(*cards[0], QStringLiteral("integrityTag"))->component().text, QStringLiteral("Empreinte intacte"));
    EXPECT_EQ(only<SymbolView>(*cards[0], QStringLiteral("backupStatus"))->symbol(), "checkmark.seal.fill");
    shoot(view, QStringLiteral("expert-backups"));

    QTest::mouseClick(only<QWidget>(view, QStringLiteral("openFolder")), Qt::LeftButton);
    ASSERT_EQ(rig.reveals.shown.size(), 1u);
    EXPECT_EQ(rig.reveals.shown[0], model.backupStore().storageDirectory());

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
    auto* backupsView = only<BackupListView>(view, QStringLiteral("BackupListView"));
    EXPECT_FALSE(backupsView->confirmingRestore().has_value());

    rig.dialogs().confirmAnswers.push_back(true);
    QTest::mouseClick(named<QWidget>(view, QStringLiteral("restoreButton")).front(), Qt::LeftButton);
    EXPECT_FALSE(backupsView->confirmingRestore().has_value());
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
    EXPECT_EQ(text(only<QLabel>(*rows[0], QStringLiteral("auditResult"))), restoreRefusal);
    EXPECT_EQ(only<SymbolView>(*rows[0], QStringLiteral("auditSymbol"))->tint(), VEQ::critical());
    EXPECT_EQ(texts(*rows[0], QStringLiteral("auditDetail")).at(1), "ECU 7E0");
    EXPECT_EQ(texts(*rows[1], QStringLiteral("auditDetail")).at(1), "ECU 7E0");
    EXPECT_EQ(texts(*rows[3], QStringLiteral("auditDetail")).size(), 1u);
    shoot(view, QStringLiteral("expert-audit"));
    QTest::mouseClick(only<QWidget>(view, QStringLiteral("revealLog")), Qt::LeftButton);
    ASSERT_EQ(rig.reveals.shown.size(), 2u);
    EXPECT_EQ(rig.reveals.shown[1], model.auditLog().logFileURL());
}

TEST(ExpertTabs, AnAlteredBackupIsFlaggedAndItsRestoreFailsOnTheChecksum) {
    ExpertRig rig;
    ASSERT_TRUE(rig.connect());
    AppModel& model = rig.model();
    ECUBackup altered(UUID::random(), "Bo\u00EEte", "7E1",
                      std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now()), std::nullopt,
                      {{"0xF190", {0x41}}}, true);
    altered.values["0xF190"] = {0x42};
    ASSERT_TRUE(model.backupStore().add(altered).has_value());
    model.acceptExpertMode();
    BackupListView view(model, rig.reveals.action());
    present(view, QSize(900, 400));
    ASSERT_TRUE(settleUntil([&] { return named(view, QStringLiteral("backupCard")).size() == 1; }));
    const QWidget& card = *named(view, QStringLiteral("backupCard")).front();
    EXPECT_EQ(only<SymbolCapsuleView>(card, QStringLiteral("integrityTag"))->component().text, QStringLiteral("ALT\u00C9R\u00C9E"));
    EXPECT_EQ(only<SymbolView>(card, QStringLiteral("backupStatus"))->symbol(), "exclamationmark.triangle.fill");
    shoot(view, QStringLiteral("expert-backup-altered"));
    rig.dialogs().confirmAnswers.push_back(true);
    QTest::mouseClick(only<QWidget>(card, QStringLiteral("restoreButton")), Qt::LeftButton);
    ASSERT_TRUE(settleUntil([&] { return model.lastExecutionMessage().has_value(); }));
    EXPECT_EQ(*model.lastExecutionMessage(),
              "\u00C9chec de restauration : Sauvegarde alt\u00E9r\u00E9e : l'empreinte de contr\u00F4le ne correspond pas.");
}

TEST(ExpertTabs, BeforeAnyConnectionARestoreOnlyClosesTheDialogAndTheAuditIsEmpty) {
    ExpertRig rig;
    ECUBackup backup(UUID::random(), "Moteur", "7E0",
                     std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now()), std::nullopt, {},
                     false);
    ASSERT_TRUE(rig.model().backupStore().add(backup).has_value());
    BackupListView backups(rig.model(), rig.reveals.action());
    present(backups, QSize(900, 400));
    ASSERT_TRUE(settleUntil([&] { return named(backups, QStringLiteral("backupCard")).size() == 1; }));
    const QWidget& card = *named(backups, QStringLiteral("backupCard")).front();
    EXPECT_EQ(text(only<QLabel>(card, QStringLiteral("backupDetail"))).rfind("7E0 \u00B7 0 DID \u00B7 ", 0), 0u);
    EXPECT_EQ(only<SymbolCapsuleView>(card, QStringLiteral("readBackTag"))->component().text, QStringLiteral("Non v\u00E9rifi\u00E9e"));
    rig.dialogs().confirmAnswers.push_back(true);
    QTest::mouseClick(only<QWidget>(card, QStringLiteral("restoreButton")), Qt::LeftButton);
    settleAll();
    EXPECT_FALSE(backups.confirmingRestore().has_value());
    EXPECT_FALSE(rig.model().lastExecutionMessage().has_value());

    AuditListView audit(rig.model(), rig.reveals.action());
    present(audit, QSize(900, 400));
    settleAll();
    EXPECT_EQ(text(only<QLabel>(audit, QStringLiteral("emptyTitle"))), "Aucune op\u00E9ration enregistr\u00E9e");
    EXPECT_EQ(only(audit, QStringLiteral("auditScroll")), nullptr);
    shoot(audit, QStringLiteral("expert-audit-empty"));
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
    present(view, screenSize);
    settleAll();
    shoot(view, QStringLiteral("expert-dids-empty"));
    EXPECT_EQ(text(only<QLabel>(view, QStringLiteral("emptyTitle"))), "Aucun identifiant d\u00E9couvert");
    EXPECT_FALSE(only<QWidget>(view, QStringLiteral("watchButton"))->isEnabled());
    EXPECT_FALSE(only<QWidget>(view, QStringLiteral("exportButton"))->isEnabled());
    EXPECT_FALSE(only<QWidget>(view, QStringLiteral("scanProgress"))->isVisibleTo(&view));
    EXPECT_EQ(comboTexts(*only<QComboBox>(view, QStringLiteral("rangePicker"))),
              (std::vector<std::string>{"Identification (ISO) (128)", "Configuration basse (512)",
                                        "Configuration moyenne (768)", "Mesures constructeur (256)",
                                        "Balayage complet (65536)"}));
    auto* ecus = only<QComboBox>(view, QStringLiteral("ecuPicker"));
    std::vector<std::string> expected;
    for (const auto& ecu : model.ecus()) {
        if (ecu.responded) expected.push_back(ecu.name + " \u00B7 " + ecu.txHeader);
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(comboTexts(*ecus), expected);
    EXPECT_EQ(ecus->currentData().toString().toStdString(), "7E0");

    // The identification range, with its progress from the start.
    QTest::mouseClick(only<QWidget>(view, QStringLiteral("startScan")), Qt::LeftButton);
    EXPECT_TRUE(model.didScanning());
    EXPECT_TRUE(only<QWidget>(view, QStringLiteral("scanProgress"))->isVisibleTo(&view));
    EXPECT_EQ(text(only<QLabel>(view, QStringLiteral("scanProgressText"))), "DID 0xF180 \u2014 0/128");
    EXPECT_EQ(text(only<QLabel>(view, QStringLiteral("scanFoundText"))), "0 trouv\u00E9(s)");
    EXPECT_TRUE(only<QWidget>(view, QStringLiteral("stopScan"))->isVisibleTo(&view));
    EXPECT_FALSE(only<QWidget>(view, QStringLiteral("watchButton"))->isEnabled());
    ASSERT_TRUE(settleUntil([&] { return !model.didScanning(); }, std::chrono::seconds(60)));
    settleAll();
    EXPECT_FALSE(only<QWidget>(view, QStringLiteral("scanProgress"))->isVisibleTo(&view));
    const auto identification = model.discoveredDIDs().size();
    ASSERT_GT(identification, 0u);

    // The maker's measurement range.
    auto* ranges = only<QComboBox>(view, QStringLiteral("rangePicker"));
    ranges->setCurrentIndex(3);
    Q_EMIT ranges->activated(3);
    EXPECT_EQ(view.selectedRange(), DIDRange::priority()[3]);
    QTest::mouseClick(only<QWidget>(view, QStringLiteral("startScan")), Qt::LeftButton);
    EXPECT_EQ(text(only<QLabel>(view, QStringLiteral("scanProgressText"))), "DID 0x2000 \u2014 0/256");
    ASSERT_TRUE(settleUntil([&] { return !model.didScanning(); }, std::chrono::seconds(60)));
    settleAll();
    const auto& dids = model.discoveredDIDs();
    ASSERT_GT(dids.size(), identification);
    EXPECT_TRUE(std::any_of(dids.begin(), dids.end(), [](const DiscoveredDID& d) { return d.did == 0x2001; }));
    EXPECT_EQ(named(view, QStringLiteral("didRow")).size(), static_cast<qsizetype>(dids.size()));
    shoot(view, QStringLiteral("expert-dids"));

    // Watching: the reads grow and the bytes that moved turn amber; the row keeps its name field.
    auto* watch = only<PlainButton>(view, QStringLiteral("watchButton"));
    ASSERT_TRUE(watch->isEnabled());
    QTest::mouseClick(watch, Qt::LeftButton);
    EXPECT_TRUE(model.didWatching());
    EXPECT_EQ(watch->text().toStdString(), "Arr\u00EAter l'observation");
    EXPECT_EQ(watch->colour(), VEQ::warning());
    const auto amber = [&] {
        for (const QLabel* byte : named<QLabel>(view, QStringLiteral("didByte"))) {
            if (textColor(byte) == VEQ::warning()) return true;
        }
        return false;
    };
    ASSERT_TRUE(settleUntil([&] { return amber(); }, std::chrono::seconds(30)));
    shoot(view, QStringLiteral("expert-dids-watching"));
    EXPECT_EQ(text(only<QLabel>(view, QStringLiteral("explanationText"))).rfind("Observation active : ", 0), 0u);
    const auto rpm = std::find_if(dids.begin(), dids.end(), [](const DiscoveredDID& d) { return d.did == 0x2001; });
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

    // The CSV through the save panel, read back by Python's csv module.
    const auto file = rig.rig.folder.path() / "export.csv";
    rig.dialogs().saveAnswers.push_back(file);
    QTest::mouseClick(only<QWidget>(view, QStringLiteral("exportButton")), Qt::LeftButton);
    ASSERT_EQ(rig.dialogs().saveRequests.size(), 1u);
    EXPECT_EQ(rig.dialogs().saveRequests[0].suggestedName, "dids-7E0.csv");
    const std::string written = fileText(file);
    EXPECT_EQ(written, DIDCSV::encode(model.discoveredDIDs()));
    const auto python = runTool("python3 -c " +
                                shellQuoted("import csv,json,sys; print(json.dumps(list(csv.reader(open(sys.argv[1], "
                                            "newline='', encoding='utf-8'), delimiter=';'))))") +
                                " " + shellQuoted(file.string()));
    ASSERT_EQ(python.exitStatus, 0);
    const auto rows = nlohmann::json::parse(python.output);
    ASSERT_EQ(rows.size(), model.discoveredDIDs().size() + 1);
    EXPECT_EQ(rows[0], nlohmann::json::parse(R"(["did","ecu","octets","ascii","libelle","lectures"])"));
    for (std::size_t i = 0; i < model.discoveredDIDs().size(); ++i) {
        const DiscoveredDID& did = model.discoveredDIDs()[i];
        const nlohmann::json expected = {did.hexDID(), did.ecu, did.hexBytes(), did.asciiValue().value_or(""),
                                         did.label.value_or(""), std::to_string(did.reads)};
        EXPECT_EQ(rows[i + 1], expected) << did.hexDID();
    }
}

TEST(DIDScanner, PickerTextsAndTheCSVLineOfTheExample) {
    EXPECT_EQ(DIDScannerView::scannableECUs({}), (std::vector<std::string>{"7E0", "7E1"}));
    const std::vector<DiscoveredECU> ecus{{"Moteur", "7E0", "7E8", true, {}, {}}, {"Bo\u00EEte", "7E1", "7E9", false, {}, {}}};
    EXPECT_EQ(DIDScannerView::scannableECUs(ecus), (std::vector<std::string>{"7E0"}));
    EXPECT_EQ(DIDScannerView::ecuName(ecus, "7E0").toStdString(), "Moteur \u00B7 7E0");
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

} // namespace
} // namespace veq
