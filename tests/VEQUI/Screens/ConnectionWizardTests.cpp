// The connection wizard: the transport cards, the Wi-Fi fields, the adapters' list and the accent.
#include "ScreenRig.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Connection/AdaptersDisclosure.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Connection/TransportCard.hpp"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

namespace veq::testing {
namespace {

std::string labelText(const ScreenRig& rig, const char* name) {
    const auto* label = rig.find<QLabel>(QString::fromUtf8(name));
    return label ? label->text().toStdString() : "<absent>";
}

TransportCard* card(const ScreenRig& rig, const char* kind) {
    return rig.find<TransportCard>(QStringLiteral("transportCard.") + QString::fromUtf8(kind));
}

TEST(ConnectionWizard, OpensOnTheWizardWithTheSimulatorChosenAndItsFixedTexts) {
    ScreenRig rig;
    ASSERT_TRUE(rig.isActive());
    EXPECT_EQ(rig.root().screenKind(), RootView::Screen::wizard);
    EXPECT_EQ(rig.window->windowTitle(), QStringLiteral("Oskavel Car"));
    EXPECT_EQ(rig.model().transportKind(), TransportKind::simulator);
    EXPECT_TRUE(card(rig, "simulator")->isSelected());

    EXPECT_EQ(labelText(rig, "wizardTitle"), "OSKAVEL CAR");
    EXPECT_EQ(labelText(rig, "wizardSubtitle"), "Diagnostic et télémétrie multimarque · OBD-II");
    EXPECT_EQ(labelText(rig, "wizardFooter"), "Confidentialité : tout reste local, aucune télémétrie.");
    auto* connect = rig.find<ProminentButton>(QStringLiteral("connectButton"));
    ASSERT_NE(connect, nullptr);
    EXPECT_EQ(connect->text(), QStringLiteral("Se connecter"));
    EXPECT_TRUE(connect->isEnabled());
    EXPECT_GE(connect->width(), 220);
    EXPECT_EQ(rig.find(QStringLiteral("wifiRow")), nullptr);
    EXPECT_EQ(rig.find(QStringLiteral("wifiWarning")), nullptr);
    EXPECT_TRUE(rig.snapshot("wizard-simulator"));
}

TEST(ConnectionWizard, EachCardChoosesItsTransportAndOnlyWiFiShowsTheAddressAndPort) {
    ScreenRig rig;
    QSignalSpy changes(&rig.model(), &AppModel::transportKindChanged);
    struct Step { const char* card; TransportKind kind; bool wifiRow; int changesSoFar; };
    const Step steps[] = {
        {"simulator", TransportKind::simulator, false, 0}, // already chosen: no notification
        {"bluetooth", TransportKind::bluetooth, false, 1},
        {"wifi",      TransportKind::wifi,      true,  2},
        {"wifi",      TransportKind::wifi,      true,  2},
        {"simulator", TransportKind::simulator, false, 3},
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(rig.click(QStringLiteral("transportCard.") + QString::fromUtf8(step.card))) << step.card;
        EXPECT_EQ(rig.model().transportKind(), step.kind) << step.card;
        EXPECT_EQ(changes.count(), step.changesSoFar) << step.card;
        EXPECT_EQ(rig.find(QStringLiteral("wifiRow")) != nullptr, step.wifiRow) << step.card;
        EXPECT_EQ(rig.find(QStringLiteral("wifiWarning")) != nullptr, step.wifiRow) << step.card;
        for (const char* other : {"simulator", "bluetooth", "wifi"}) {
            EXPECT_EQ(card(rig, other)->isSelected(), std::string(other) == step.card) << step.card << " " << other;
        }
    }
}

TEST(ConnectionWizard, TheWiFiFieldsWriteTheModelAtEveryKeystrokeAndComeBackAsTyped) {
    ScreenRig rig;
    ASSERT_TRUE(rig.click(QStringLiteral("transportCard.wifi")));
    auto* host = rig.find<QLineEdit>(QStringLiteral("wifiHostField"));
    auto* port = rig.find<QLineEdit>(QStringLiteral("wifiPortField"));
    ASSERT_NE(host, nullptr);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(host->text().toStdString(), rig.model().wifiHost());
    EXPECT_EQ(port->text(), QStringLiteral("35000"));
    EXPECT_EQ(labelText(rig, "wifiWarning"), "⚠︎ Le WiFi de l'ELM327 coupe l'accès Internet de l'ordinateur.");
    EXPECT_EQ(rig.findAll<QLabel>(QStringLiteral("fieldCaption")).front()->text(), QStringLiteral("ADRESSE"));
    EXPECT_EQ(rig.findAll<QLabel>(QStringLiteral("fieldCaption")).back()->text(), QStringLiteral("PORT"));

    QSignalSpy hostChanges(&rig.model(), &AppModel::wifiHostChanged);
    host->selectAll();
    QTest::keyClicks(host, QStringLiteral("10.0.0.7"));
    EXPECT_EQ(rig.model().wifiHost(), "10.0.0.7");
    EXPECT_EQ(hostChanges.count(), 8); // one per keystroke (the first replaces the selection)
    port->selectAll();
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(rig.model().wifiPort(), ""); // nothing is checked here: the model reads the port
    QTest::keyClicks(port, QStringLiteral("abc"));
    EXPECT_EQ(rig.model().wifiPort(), "abc");
    EXPECT_TRUE(rig.snapshot("wizard-wifi"));

    ASSERT_TRUE(rig.click(QStringLiteral("transportCard.bluetooth")));
    ASSERT_TRUE(rig.click(QStringLiteral("transportCard.wifi")));
    EXPECT_EQ(rig.find<QLineEdit>(QStringLiteral("wifiHostField"))->text(), QStringLiteral("10.0.0.7"));
    EXPECT_EQ(rig.find<QLineEdit>(QStringLiteral("wifiPortField"))->text(), QStringLiteral("abc"));
}

TEST(ConnectionWizard, TheAdaptersListUnfoldsWithEveryKnownAdapterAndItsNotesInFull) {
    ScreenRig rig;
    EXPECT_EQ(rig.find(QStringLiteral("adaptersList")), nullptr); // folded when built
    ASSERT_TRUE(rig.click(QStringLiteral("adaptersDisclosureToggle")));
    rig.settle();
    const auto labels = [&](const char* name) {
        std::vector<std::string> out;
        for (auto* label : rig.findAll<QLabel>(QString::fromLatin1(name))) out.push_back(label->text().toStdString());
        return out;
    };
    EXPECT_EQ(labels("adapterName"), (std::vector<std::string>{"ELM327 clone (bleu/orange)", "Vgate iCar Pro", "Veepeak OBDCheck BLE",
                                               "OBDLink MX+ / LX", "Konnwei KW902 / KW903", "Kiwi 3", "Carista"}));
    EXPECT_EQ(labels("adapterLink"), (std::vector<std::string>{"WiFi / BLE", "BLE / WiFi", "BLE", "BLE / WiFi", "BLE", "BLE", "BLE"}));
    EXPECT_EQ(labelText(rig, "adaptersFootnote"),
              "Tout adaptateur à base d'ELM327 (ou compatible STN) fonctionne : la détection Bluetooth et WiFi essaie "
              "automatiquement les services et adresses les plus courants.");
    // Wrapped in full inside the 460-pixel group: every text is as tall as its lines need.
    auto notes = rig.findAll<QLabel>(QStringLiteral("adapterNote"));
    notes << rig.find<QLabel>(QStringLiteral("adaptersFootnote"));
    for (auto* note : notes) {
        EXPECT_GE(note->height(), note->heightForWidth(note->width())) << note->text().toStdString();
        EXPECT_LE(note->mapTo(rig.find(QStringLiteral("adaptersDisclosure")), QPoint(note->width(), 0)).x(),
                  AdaptersDisclosure::kWidth - 14);
    }
    EXPECT_TRUE(rig.snapshot("wizard-adapters"));

    // Night mode recolours every accent at once; the Wi-Fi warning keeps its colour.
    ASSERT_TRUE(rig.click(QStringLiteral("transportCard.wifi")));
    rig.model().setNightMode(true);
    EXPECT_EQ(rig.find<SymbolView>(QStringLiteral("wizardLogo"))->tint(), VEQ::nightAccent());
    EXPECT_EQ(card(rig, "wifi")->accent(), VEQ::nightAccent());
    EXPECT_EQ(rig.find<ProminentButton>(QStringLiteral("connectButton"))->tint(), VEQ::nightAccent());
    for (auto* link : rig.findAll<QLabel>(QStringLiteral("adapterLink"))) EXPECT_EQ(link->palette().color(QPalette::WindowText), VEQ::nightAccent());
    EXPECT_EQ(rig.find<QLabel>(QStringLiteral("wifiWarning"))->palette().color(QPalette::WindowText), VEQ::warning());
    EXPECT_TRUE(rig.snapshot("wizard-night"));

    ASSERT_TRUE(rig.click(QStringLiteral("adaptersDisclosureToggle")));
    EXPECT_EQ(rig.find(QStringLiteral("adaptersList")), nullptr);
}

} // namespace
} // namespace veq::testing
