// The settings screen: every control writes its model property; the texts follow the model.
#include "ScreenRig.hpp"

#include "VEQUI/Views/ScreenFixtures.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Shell/SettingsView.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QTextLayout>

namespace veq::testing {
namespace {

std::string text(const ScreenRig& rig, const char* name) {
    const auto* label = rig.find<QLabel>(QString::fromUtf8(name));
    return label ? label->text().toStdString() : "<absent>";
}

// Opens the settings of a live model (the simulated car).
bool openSettings(ScreenRig& rig) {
    if (!rig.connect()) return false;
    const bool clicked = rig.click(QStringLiteral("sidebarRow.Réglages"));
    rig.settle();
    return clicked && rig.find(QStringLiteral("settingsView")) != nullptr;
}

TEST(SettingsView, PickingAnotherProfileWritesItAndDropsTheVINBadgeAndNoProfileDropsItsRows) {
    ScreenRig rig;
    ASSERT_TRUE(openSettings(rig));
    AppModel& model = rig.model();
    ASSERT_TRUE(model.profileMatchedFromVIN()); // the simulated car's VIN matches a profile
    ASSERT_NE(rig.find(QStringLiteral("vinBadge")), nullptr);
    EXPECT_EQ(text(rig, "vinBadge"), "reconnu par le VIN");

    auto* picker = rig.find<QComboBox>(QStringLiteral("profilePicker"));
    ASSERT_NE(picker, nullptr);
    ASSERT_EQ(picker->count(), static_cast<int>(model.profiles().size()));
    EXPECT_EQ(picker->itemText(0).toStdString(), model.profiles().front().displayName());
    const int matched = picker->currentIndex();
    ASSERT_GE(matched, 0);
    EXPECT_EQ(model.profiles()[static_cast<std::size_t>(matched)], *model.selectedProfile());

    // The user picks the next entry.
    picker->setFocus();
    QTest::keyClick(picker, matched + 1 < picker->count() ? Qt::Key_Down : Qt::Key_Up);
    const int picked = picker->currentIndex();
    ASSERT_NE(picked, matched);
    EXPECT_EQ(*model.selectedProfile(), model.profiles()[static_cast<std::size_t>(picked)]);
    EXPECT_FALSE(model.profileMatchedFromVIN());
    rig.settle();
    EXPECT_EQ(rig.find(QStringLiteral("vinBadge")), nullptr);
    EXPECT_EQ(text(rig, "profileDetail"), SettingsText::profileDetail(*model.selectedProfile()));
    EXPECT_TRUE(rig.snapshot("settings-profile-picked"));

    // Without a profile the detail and bus rows go; a profile with buses the OBD socket cannot
    // reach lists each.
    model.setSelectedProfile(std::nullopt);
    rig.settle();
    EXPECT_EQ(rig.find<QComboBox>(QStringLiteral("profilePicker"))->currentIndex(), -1);
    EXPECT_EQ(rig.find(QStringLiteral("profileDetail")), nullptr);
    EXPECT_TRUE(rig.findAll(QStringLiteral("unreachableBus")).isEmpty());
    const auto withBuses = std::find_if(model.profiles().begin(), model.profiles().end(),
                                        [](const VehicleProfile& p) { return !p.unreachableBusses().empty(); });
    ASSERT_NE(withBuses, model.profiles().end());
    model.setSelectedProfile(*withBuses);
    rig.settle();
    EXPECT_EQ(text(rig, "profileDetail"), SettingsText::profileDetail(*withBuses));
    std::vector<std::string> rows;
    for (auto* label : rig.findAll<QLabel>(QStringLiteral("unreachableBusText"))) rows.push_back(label->text().toStdString());
    std::vector<std::string> expected;
    for (const auto& bus : withBuses->unreachableBusses()) expected.push_back(SettingsText::unreachableBus(bus));
    EXPECT_EQ(rows, expected);
    EXPECT_TRUE(rig.snapshot("settings-buses"));
}

TEST(SettingsText, DetailAndBusLinesAsTheyRead) {
    VehicleProfile profile;
    profile.platform = "MRA";
    profile.ecus.resize(3);
    EXPECT_EQ(SettingsText::profileDetail(profile), "MRA · — · 3 calculateurs déclarés");
    profile.engine = "M274";
    profile.ecus.resize(12);
    EXPECT_EQ(SettingsText::profileDetail(profile), "MRA · M274 · 12 calculateurs déclarés");

    VehicleBus bus{"CAN-B (habitacle)", 83333, {}, false, std::nullopt};
    EXPECT_EQ(SettingsText::unreachableBus(bus), "CAN-B (habitacle) (83 kbit/s) — non routé vers l'OBD");
    bus.note = "derrière la passerelle";
    EXPECT_EQ(SettingsText::unreachableBus(bus), "CAN-B (habitacle) (83 kbit/s) — derrière la passerelle");

    EXPECT_EQ(SettingsText::speedFactor(1.06), "×1.060");
    EXPECT_EQ(SettingsText::speedFactor(1.0), "×1.000");
    EXPECT_EQ(SettingsText::tankCapacity(66.0), "66 L");
    EXPECT_EQ(SettingsText::tankCapacity(std::nullopt), "inconnu");
    EXPECT_EQ(SettingsText::emphasised(QStringLiteral("a **b** <c>")), QStringLiteral("a <b>b</b> &lt;c&gt;"));
}

// The lines a word-wrapping label shows, as it wraps its text within its width.
std::vector<QString> wrappedLines(const QLabel& label) {
    QTextLayout layout(label.text(), label.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    std::vector<QString> lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(label.contentsRect().width());
        lines.push_back(label.text().mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

// The tank note keeps its text and wraps so that no number is parted from its unit ("80" over
// "L"), in the window as it opens and at its minimum size.
TEST(SettingsView, TheTankNoteKeepsEachNumberOnTheLineOfItsUnit) {
    ScreenRig rig;
    ASSERT_TRUE(openSettings(rig));
    for (const UserSize& size : userSizes) {
        SCOPED_TRACE(size.name);
        rig.window->resize(size.window);
        rig.settle();
        const auto* note = rig.find<QLabel>(QStringLiteral("tankNote"));
        ASSERT_NE(note, nullptr);
        EXPECT_EQ(note->text().toStdString(),
                  "le PID 0x2F ne donne qu'un pourcentage ; la W257 existe en 66 L et 80 L");
        const auto lines = wrappedLines(*note);
        ASSERT_FALSE(lines.empty());
        for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
            const QString last = lines[i].section(QLatin1Char(' '), -1);
            bool number = false;
            last.toInt(&number);
            EXPECT_FALSE(number) << "line " << i << " ends with a number: " << lines[i].toStdString();
        }
        EXPECT_GE(note->height(), note->heightForWidth(note->width())) << "every line shown";
        EXPECT_TRUE(rig.snapshot(QStringLiteral("settings-") + QString::fromStdString(size.name)));
    }
}

TEST(SettingsView, TheFixedTextsReadAsWrittenAndEveryControlWritesItsModelProperty) {
    ScreenRig rig;
    ASSERT_TRUE(openSettings(rig));
    AppModel& model = rig.model();
    EXPECT_EQ(text(rig, "settingsTitle"), "Réglages");
    EXPECT_EQ(text(rig, "profileTitle"), "Profil véhicule");
    EXPECT_EQ(rig.find<QCheckBox>(QStringLiteral("recordLocationToggle"))->text(),
              QStringLiteral("Enregistrer la position avec la télémétrie"));
    EXPECT_EQ(text(rig, "locationExplanation"),
              SettingsText::emphasised(QStringLiteral(
                  "L'OBD-II ne publie aucune coordonnée : il n'existe pas de PID de position. La position vient donc "
                  "du récepteur de cet appareil. Sur une tablette cellulaire, c'est un vrai GPS (3–5 m). Sur un "
                  "ordinateur portable, c'est un positionnement par réseaux Wi-Fi, correct à l'arrêt en ville mais "
                  "**inutilisable en roulant** — dans ce cas, enregistrez la trace sur votre téléphone et importez "
                  "le GPX."))
                  .toStdString());
    EXPECT_EQ(text(rig, "calibrationTitle"), "Calibration des mesures");
    EXPECT_EQ(text(rig, "calibrationExplanation"),
              "Le compteur d'une voiture homologuée en Europe n'a pas le droit de sous-estimer la vitesse : il peut "
              "l'afficher jusqu'à +10 % + 4 km/h (règlement UNECE R39). L'OBD, lui, publie la vitesse réelle. À 100 "
              "km/h au combiné, l'OBD lira 93–95 km/h — l'application n'est pas fausse, votre compteur est optimiste. "
              "La distance, intégrée depuis la vitesse, hérite du même écart face au compteur kilométrique.");
    EXPECT_EQ(text(rig, "tankNote"), "le PID 0x2F ne donne qu'un pourcentage ; la W257 existe en 66 L et 80 L");
    EXPECT_EQ(rig.find<QCheckBox>(QStringLiteral("nightModeToggle"))->text(),
              QStringLiteral("Mode nuit (accent ambre, luminosité réduite)"));
    EXPECT_EQ(text(rig, "unitsTitle"), "Unités");
    EXPECT_EQ(rig.find<QAbstractButton>(QStringLiteral("unit.metric"))->text(), QStringLiteral("Métrique"));
    EXPECT_EQ(rig.find<QAbstractButton>(QStringLiteral("unit.imperial"))->text(), QStringLiteral("Impériale"));
    EXPECT_EQ(text(rig, "privacyTitle"), "Confidentialité");
    EXPECT_EQ(text(rig, "privacyText"), "Tout reste local. Aucune télémétrie, aucune donnée envoyée.");
    EXPECT_TRUE(rig.snapshot("settings"));


    // Position recording: the flag, the icon and the status line.
    ASSERT_TRUE(model.recordLocation());
    ASSERT_TRUE(rig.click(QStringLiteral("recordLocationToggle")));
    EXPECT_FALSE(model.recordLocation());
    EXPECT_EQ(rig.find<SymbolView>(QStringLiteral("locationIcon"))->symbol(), "location.slash");
    EXPECT_EQ(rig.find<SymbolView>(QStringLiteral("locationIcon"))->tint(), VEQ::textSecondary());
    EXPECT_EQ(text(rig, "locationSummary"), model.locationSummary());
    ASSERT_TRUE(rig.click(QStringLiteral("recordLocationToggle")));
    EXPECT_EQ(rig.find<SymbolView>(QStringLiteral("locationIcon"))->symbol(), "location.fill");

    // Speed: the slider covers 0.9 to 1.15; the two quick choices.
    auto* slider = rig.find<QSlider>(QStringLiteral("speedFactorSlider"));
    ASSERT_NE(slider, nullptr);
    // Turned over the slider and the profile picker without the focus, the wheel changes neither.
    const auto before = std::pair{model.selectedProfile(), model.calibration().speedFactor};
    wheelDown(*slider);
    wheelDown(*rig.find(QStringLiteral("profilePicker")));
    EXPECT_EQ(std::pair(model.selectedProfile(), model.calibration().speedFactor), before);
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_DOUBLE_EQ(model.calibration().speedFactor, 1.15);
    EXPECT_EQ(text(rig, "speedFactor"), "×1.150");
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_DOUBLE_EQ(model.calibration().speedFactor, 0.9);
    ASSERT_TRUE(rig.click(QStringLiteral("dashboardSpeedButton")));
    EXPECT_DOUBLE_EQ(model.calibration().speedFactor, 1.06);
    ASSERT_TRUE(rig.click(QStringLiteral("realSpeedButton")));
    EXPECT_DOUBLE_EQ(model.calibration().speedFactor, 1.0);
    EXPECT_EQ(text(rig, "speedFactor"), "×1.000");

    // Tank: the profile's capacity, unknown for a profile without one, until a capacity is chosen.
    EXPECT_EQ(model.effectiveTankCapacity(), 66.0); // the simulated car's profile
    EXPECT_EQ(text(rig, "tankCapacity"), "66 L");
    model.setSelectedProfile(model.profiles().front()); // the generic profile
    ASSERT_FALSE(model.effectiveTankCapacity().has_value());
    EXPECT_EQ(text(rig, "tankCapacity"), "inconnu");
    ASSERT_TRUE(rig.click(QStringLiteral("tankButton.80 L")));
    EXPECT_EQ(model.calibration().tankCapacityL, 80.0);
    EXPECT_EQ(text(rig, "tankCapacity"), "80 L");

    // Units.
    for (const auto unit : {UnitSystem::imperial, UnitSystem::metric}) {
        ASSERT_TRUE(rig.click(unit == UnitSystem::metric ? QStringLiteral("unit.metric") : QStringLiteral("unit.imperial")));
        EXPECT_EQ(model.unitSystem(), unit);
    }

    // Night mode: the flag, and this screen's accent at once.
    ASSERT_TRUE(rig.click(QStringLiteral("nightModeToggle")));
    EXPECT_TRUE(model.nightMode());
    EXPECT_EQ(slider->palette().color(QPalette::Highlight), VEQ::nightAccent());
    EXPECT_EQ(rig.find<PlainButton>(QStringLiteral("realSpeedButton"))->colour(), VEQ::nightAccent());
    EXPECT_EQ(rig.find<SymbolView>(QStringLiteral("locationIcon"))->tint(), VEQ::nightAccent());
    EXPECT_TRUE(rig.snapshot("settings-night"));
}

} // namespace
} // namespace veq::testing
