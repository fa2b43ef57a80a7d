// The window and its navigation: which screen each phase shows, the sidebar and its footer, the
// keyboard shortcuts, the ECU map section built anew, and closing the window at any
// moment.
#include "ScreenRig.hpp"

#include "VEQUI/Views/ScreenFixtures.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Diagnostics/ECUCard.hpp"
#include "VEQUI/Views/Diagnostics/ECUMapView.hpp"
#include "VEQUI/Views/Instruments/CockpitTopBar.hpp"
#include "VEQUI/Views/Instruments/GaugeFocusView.hpp"
#include "VEQUI/Views/Shell/LinkNoticeBar.hpp"
#include "VEQUI/Views/Shell/SectionScreens.hpp"
#include "VEQUI/Views/Shell/Sidebar.hpp"
#include "VEQUI/Views/Trips/SessionList.hpp"
#include "VEQUI/Support/LayoutCheck.hpp"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTimer>

namespace veq::testing {
namespace {

using Phase = AppModel::Phase;
using Screen = RootView::Screen;

TEST(RootView, EachPhaseShowsItsScreen) {
    const std::tuple<Phase, bool, Screen> cases[] = {
        {Phase::disconnected(), false, Screen::wizard},      {Phase::disconnected(), true, Screen::wizard},
        {Phase::connecting(), false, Screen::progress},      {Phase::connecting(), true, Screen::progress},
        {Phase::failed("x"), false, Screen::progress},       {Phase::failed("x"), true, Screen::progress},
        {Phase::live(), false, Screen::liveInterface},       {Phase::live(), true, Screen::focusGauge},
    };
    for (const auto& [phase, focusMode, screen] : cases) {
        EXPECT_EQ(RootView::screenFor(phase, focusMode), screen) << static_cast<int>(phase.kind) << " " << focusMode;
    }
}

TEST(RootView, TheWindowOpensAt1280By800AndNeverGetsSmallerThan1080By680) {
    ScreenRig rig;
    EXPECT_EQ(rig.window->size(), QSize(1280, 800));
    EXPECT_EQ(rig.window->minimumSize(), QSize(1080, 680));
    rig.window->resize(600, 400);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.window->size(), QSize(1080, 680));
    EXPECT_TRUE(rig.snapshot("wizard-smallest"));
}

// The sidebar's eleven sections, in this order.
const std::vector<std::string> kSidebarTitles{"Cockpit",  "Live Data",    "Capture", "Messages",
                                              "Diagnostic", "Calculateurs", "Trajets", "Terminal",
                                              "Mode Expert", "Rapport",     "Réglages"};

TEST(RootView, TheSidebarListsTheElevenSectionsAndEachRowShowsItsScreen) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    rig.settle();
    auto* live = rig.root().liveInterface();
    ASSERT_NE(live, nullptr);
    std::vector<std::string> titles;
    for (auto* row : live->sidebar()->rows()) titles.push_back(row->text().toStdString());
    EXPECT_EQ(titles, kSidebarTitles);
    EXPECT_EQ(rig.find<QLabel>(QStringLiteral("sidebarBrand"))->text(), QStringLiteral("OSKAVEL CAR"));
    EXPECT_EQ(live->sidebar()->width(), Sidebar::kWidth);

    struct Case {
        const char* row;
        AppSection section;
        const char* screen; // object name of the content
    };
    const Case cases[] = {
        {"Réglages",     AppSection::settings,   "settingsView"},
        {"Live Data",    AppSection::liveData,   "liveDataView"},
        {"Messages",     AppSection::messages,   "messagesView"},
        {"Diagnostic",   AppSection::diagnostic, "DiagnosticView"},
        {"Calculateurs", AppSection::ecus,       "ECUMapView"},
        {"Terminal",     AppSection::terminal,   "TerminalView"},
        {"Mode Expert",  AppSection::expert,     "ExpertView"},
        {"Capture",      AppSection::capture,    "CaptureView"},
        {"Trajets",      AppSection::trips,      "tripsSection"},
        {"Rapport",      AppSection::report,     "ReportView"},
        {"Cockpit",      AppSection::cockpit,    "cockpitView"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.") + QString::fromUtf8(c.row))) << c.row;
        rig.settle();
        EXPECT_EQ(rig.root().section(), c.section) << c.row;
        ASSERT_NE(live->contentScreen(), nullptr);
        EXPECT_EQ(live->contentScreen()->objectName().toStdString(), c.screen) << c.row;
        for (auto* row : live->sidebar()->rows()) EXPECT_EQ(row->isSelected(), row->section() == c.section) << c.row;
    }

    // Choosing the section shown keeps its screen.
    QWidget* shown = live->contentScreen();
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Cockpit")));
    EXPECT_EQ(live->contentScreen(), shown);

    rig.model().setNightMode(true);
    rig.settle();
    EXPECT_EQ(rig.find<QLabel>(QStringLiteral("sidebarBrand"))->palette().color(QPalette::WindowText), VEQ::nightAccent());
    for (auto* row : live->sidebar()->rows()) EXPECT_EQ(row->accent(), VEQ::nightAccent());
    EXPECT_TRUE(rig.snapshot("live-night"));
}

TEST(RootView, TheFooterOpensFullScreenGaugesHidesTheMenuAndDisconnects) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    rig.settle();
    EXPECT_EQ(rig.find<QAbstractButton>(QStringLiteral("fullScreenButton"))->toolTip(), QStringLiteral("Ctrl+Maj+F"));
    EXPECT_EQ(rig.find<QAbstractButton>(QStringLiteral("hideSidebarButton"))->toolTip(), QStringLiteral("Ctrl+Alt+S"));
    EXPECT_EQ(rig.find<QAbstractButton>(QStringLiteral("disconnectButton"))->text(), QStringLiteral("Déconnecter"));

    // "Compteurs plein écran": the cockpit, in focus mode.
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Réglages")));
    ASSERT_TRUE(rig.click(QStringLiteral("fullScreenButton")));
    rig.settle();
    EXPECT_TRUE(rig.model().focusMode());
    EXPECT_EQ(rig.root().section(), AppSection::cockpit);
    EXPECT_EQ(rig.root().screenKind(), Screen::focusGauge);
    EXPECT_TRUE(rig.snapshot("focus-mode"));
    rig.press(Qt::Key_Escape);
    rig.settle();
    EXPECT_FALSE(rig.model().focusMode());
    EXPECT_EQ(rig.root().screenKind(), Screen::liveInterface);

    // "Masquer le menu": the content takes the whole width; the round button brings it back.
    ASSERT_TRUE(rig.click(QStringLiteral("hideSidebarButton")));
    rig.settle();
    auto* live = rig.root().liveInterface();
    EXPECT_TRUE(rig.model().sidebarHidden());
    EXPECT_EQ(live->sidebarDock()->width(), 0);
    EXPECT_EQ(live->contentScreen()->width(), rig.window->width());
    auto* show = rig.find<QAbstractButton>(QStringLiteral("showSidebarButton"));
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(show->toolTip(), QStringLiteral("Afficher le menu (Ctrl+Alt+S)"));
    EXPECT_EQ(show->mapTo(rig.window.get(), QPoint(0, 0)), QPoint(10, 10));
    EXPECT_TRUE(rig.snapshot("sidebar-hidden"));
    ASSERT_TRUE(rig.click(QStringLiteral("showSidebarButton")));
    rig.settle();
    EXPECT_FALSE(rig.model().sidebarHidden());
    EXPECT_EQ(live->sidebarDock()->width(), Sidebar::kWidth + 1);
    EXPECT_EQ(rig.find(QStringLiteral("showSidebarButton")), nullptr);

    // "Déconnecter": back to the wizard; the section chosen stays for the next connection.
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Terminal")));
    ASSERT_TRUE(rig.click(QStringLiteral("disconnectButton")));
    EXPECT_EQ(rig.model().phase(), Phase::disconnected());
    EXPECT_EQ(rig.root().screenKind(), Screen::wizard);
    EXPECT_EQ(rig.root().section(), AppSection::terminal);
    ASSERT_TRUE(rig.connect());
    rig.settle();
    EXPECT_EQ(rig.root().liveInterface()->section(), AppSection::terminal);
}

TEST(RootView, ALostLinkIsToldOverEverySectionAndTheFullScreenCockpitAndTheContactGoesOff) {
    ScriptedCar car;
    ScreenRig rig({.car = &car});
    ASSERT_TRUE(rig.connect());
    rig.settle();
    EXPECT_EQ(rig.find(QStringLiteral("linkNoticeBar")), nullptr);
    ASSERT_TRUE(StatusChips::of(rig.model()).chips.front().on);

    car.transport()->loseLink();
    ASSERT_TRUE(waitUntil([&] { return rig.find(QStringLiteral("linkNoticeBar")) != nullptr; }));
    const auto shownTexts = [&] {
        return LinkNoticeBar::Texts{rig.find<QLabel>(QStringLiteral("linkNoticeTitle"))->text(),
                                    rig.find<QLabel>(QStringLiteral("linkNoticeDetail"))->text()};
    };
    const LinkNoticeBar::Texts inSections{
        QStringLiteral("Liaison avec l'adaptateur perdue"),
        QStringLiteral("Les valeurs affichées sont les dernières reçues. Déconnectez-vous puis reconnectez-vous.")};
    EXPECT_EQ(shownTexts(), inSections);
    EXPECT_EQ(StatusChips::of(rig.model()).chips.front().text, QStringLiteral("Contact"));
    EXPECT_FALSE(StatusChips::of(rig.model()).chips.front().on);
    for (const QSize size : {QSize(1280, 800), QSize(1080, 680)}) {
        rig.window->resize(size);
        for (const char* section : {"Live Data", "Trajets"}) {
            ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.") + QString::fromUtf8(section)));
            rig.settle();
            EXPECT_EQ(shownTexts(), inSections) << section;
            const auto faults = checkLayout(*rig.window);
            EXPECT_TRUE(faults.empty()) << layoutReport(QString::fromUtf8(section), *rig.window, faults);
        }
    }
    EXPECT_TRUE(rig.snapshot("link-lost"));
    // The drive is listed as ended by the loss, not as waiting for the disconnection.
    const auto* drives = rig.find<SessionList>(QStringLiteral("sessionList"));
    ASSERT_TRUE(drives && drives->rows().size() == 1);
    const SessionRowTexts row = drives->textsOf(0);
    EXPECT_EQ(row.mark, QStringLiteral("Liaison perdue"));
    EXPECT_EQ(row.details, QStringLiteral("Interrompu par la perte de liaison avec l'adaptateur."));
    // Its card over the list no longer calls it under way; its figures and its replay stay.
    const auto cardTitle = [&] {
        const auto* card = rig.find<QWidget>(QStringLiteral("currentTripCard"));
        return card ? card->findChild<QLabel*>(QStringLiteral("cardTitle"))->text() : QString();
    };
    EXPECT_EQ(cardTitle(), QStringLiteral("Trajet interrompu"));
    EXPECT_NE(rig.find(QStringLiteral("currentTripTiles")), nullptr);
    EXPECT_NE(rig.find(QStringLiteral("replayButton")), nullptr);
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Cockpit")));
    EXPECT_TRUE(rig.snapshot("link-lost-cockpit"));

    // The full-screen cockpit has no "Déconnecter": it says how to leave.
    rig.press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    rig.settle();
    ASSERT_EQ(rig.root().screenKind(), Screen::focusGauge);
    EXPECT_EQ(shownTexts().title, inSections.title);
    EXPECT_EQ(shownTexts().detail, inSections.detail + QStringLiteral(" Appuyez sur Échap pour quitter le plein écran."));
    EXPECT_TRUE(rig.snapshot("link-lost-full-screen"));
    rig.press(Qt::Key_Escape);
    rig.settle();
    EXPECT_EQ(shownTexts(), inSections);

    // A new connection starts without it.
    ASSERT_TRUE(rig.click(QStringLiteral("disconnectButton")));
    ASSERT_TRUE(rig.connect());
    rig.settle();
    EXPECT_EQ(rig.find(QStringLiteral("linkNoticeBar")), nullptr);
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Trajets")));
    rig.settle();
    EXPECT_EQ(cardTitle(), QStringLiteral("Trajet en cours"));
}

TEST(RootView, TheSilenceNoticeNamesTheAdapterOrTheCar) {
    EXPECT_EQ(LinkNoticeBar::textsFor(LinkNotice::noValues, false),
              (LinkNoticeBar::Texts{QStringLiteral("Plus aucune valeur reçue"),
                                    QStringLiteral("L'adaptateur ou le véhicule ne répond plus : les valeurs affichées "
                                                   "sont les dernières reçues.")}));
    EXPECT_EQ(LinkNoticeBar::textsFor(LinkNotice::none, true), LinkNoticeBar::Texts{});
}

TEST(RootView, ShortcutsToggleTheMenuAndFocusModeAndPickTheLayouts) {
    ScreenRig rig({.animations = true});
    ASSERT_TRUE(rig.isActive());
    ASSERT_TRUE(rig.connect());
    rig.settle();
    AppModel& model = rig.model();
    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) { rig.press(key, modifiers); };
    const auto ctrlShiftF = [&] { press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier); };

    // Ctrl+Alt+S, twice.
    for (const bool hidden : {true, false}) {
        press(Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
        EXPECT_EQ(model.sidebarHidden(), hidden);
    }
    // Escape outside focus mode changes nothing.
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Messages")));
    press(Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(model.focusMode());
    EXPECT_EQ(rig.root().section(), AppSection::messages);

    // Ctrl+1 ... Ctrl+5 from another section: the cockpit with that layout.
    const CockpitLayout layouts[] = {CockpitLayout::road, CockpitLayout::track, CockpitLayout::economy,
                                     CockpitLayout::engine, CockpitLayout::transmission};
    const Qt::Key keys[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5};
    for (int i = 4; i >= 0; --i) {
        ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Terminal")));
        press(keys[i], Qt::ControlModifier);
        EXPECT_EQ(model.activeLayout(), layouts[i]) << i;
        EXPECT_EQ(rig.root().section(), AppSection::cockpit) << i;
    }

    // Ctrl+Shift+F enters focus mode on the cockpit; there Ctrl+1..5 switch the layout and stay.
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Réglages")));
    ctrlShiftF();
    EXPECT_TRUE(model.focusMode());
    EXPECT_EQ(rig.root().section(), AppSection::cockpit);
    auto* focus = rig.find<GaugeFocusView>(QStringLiteral("gaugeFocusView"));
    ASSERT_NE(focus, nullptr);
    for (int i = 0; i < 5; ++i) {
        press(keys[i], Qt::ControlModifier);
        EXPECT_EQ(model.activeLayout(), layouts[i]) << i;
        EXPECT_EQ(rig.find<GaugeFocusView>(QStringLiteral("gaugeFocusView")), focus) << i;
    }
    EXPECT_TRUE(rig.snapshot("focus-gauge-transmission"));

    // Ctrl+Shift+F in focus mode leaves it and keeps the section; so does Escape.
    model.setFocusMode(false);
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Diagnostic")));
    model.setFocusMode(true);
    ctrlShiftF();
    EXPECT_FALSE(model.focusMode());
    EXPECT_EQ(rig.root().section(), AppSection::diagnostic);
    ctrlShiftF();
    press(Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(model.focusMode());
    EXPECT_EQ(rig.root().screenKind(), Screen::liveInterface);
}

// While the sidebar is hidden its round button lies over the content's top-leading corner: every
// screen starts its header past it, in the window as it opens and at its minimum size. The layout
// check finds a text under the button; this looks for the symbols it cannot read.
TEST(RootView, WithTheSidebarHiddenNoSymbolOfAHeaderLiesUnderTheShowSidebarButton) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    rig.model().acceptExpertMode(); // the expert screen with its header, past the gate
    ASSERT_TRUE(rig.click(QStringLiteral("hideSidebarButton")));
    int symbols = 0;
    for (const UserSize& size : userSizes) {
        rig.window->resize(size.window);
        for (const AppSection section : SectionScreens::sidebarSections()) {
            SCOPED_TRACE(std::string(rawValue(section)) + " " + size.name);
            rig.root().setSection(section);
            rig.settle();
            auto* button = rig.find<QAbstractButton>(QStringLiteral("showSidebarButton"));
            ASSERT_NE(button, nullptr);
            const QRect covered(button->mapTo(rig.window.get(), QPoint(0, 0)), button->size());
            for (QWidget* widget : rig.root().liveInterface()->contentScreen()->findChildren<QWidget*>()) {
                if (!widget->isVisible() || !widget->objectName().endsWith(QStringLiteral("Symbol"))) continue;
                ++symbols;
                EXPECT_FALSE(QRect(widget->mapTo(rig.window.get(), QPoint(0, 0)), widget->size()).intersects(covered))
                    << widget->objectName().toStdString();
            }
        }
    }
    EXPECT_GT(symbols, 0); // the headers' symbols were there to be looked at
}

TEST(RootView, ShortcutsAlsoActBeforeTheCarIsLive) {
    ScreenRig rig;
    ASSERT_TRUE(rig.isActive());
    rig.press(Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(rig.model().sidebarHidden());
    rig.press(Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(rig.model().activeLayout(), CockpitLayout::economy);
    rig.press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(rig.model().focusMode());
    EXPECT_EQ(rig.root().screenKind(), Screen::wizard);
    // Once live, the focus gauge opens at once.
    ASSERT_TRUE(rig.connect());
    EXPECT_EQ(rig.root().screenKind(), Screen::focusGauge);
}

// Closing the window ends the model, its connection and its threads with it, at any phase.
TEST(RootView, ClosingTheWindowWhileConnectingEndsCleanly) {
    ScriptedCar car([](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line.starts_with("AT")) std::this_thread::sleep_for(20ms); // a slow adapter
        return std::nullopt;
    });
    auto rig = std::make_unique<ScreenRig>(ScreenRigOptions{.car = &car});
    ASSERT_TRUE(rig->click(QStringLiteral("connectButton")));
    ASSERT_TRUE(waitUntil([&] { return !rig->model().initSteps().empty() && rig->model().initSteps()[0].succeeded; }));
    EXPECT_EQ(rig->model().phase(), Phase::connecting());
    EXPECT_TRUE(rig->window->close());
    rig.reset();
    QCoreApplication::processEvents();
}

TEST(RootView, ClosingTheWindowWhileLiveEndsCleanly) {
    auto rig = std::make_unique<ScreenRig>();
    ASSERT_TRUE(rig->connect());
    ASSERT_TRUE(rig->click(QStringLiteral("sidebarRow.Réglages")));
    // The one window closing is the application's last: its event loop ends.
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    QTimer::singleShot(0, rig->window.get(), [&] { rig->window->close(); });
    QTimer fallback; // ends the loop should the window's closing not
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    fallback.start(10'000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(lastClosed.count(), 1);
    EXPECT_FALSE(rig->window->isVisible());
    rig.reset();
    QCoreApplication::processEvents();
}

TEST(DiagnosticsSections, TheECUMapIsBuiltAnewWhenChosenSoItsSelectionIsDropped) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect()) << rig.model().phase().message;
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Calculateurs")));
    rig.settle();
    const auto cards = rig.findAll<ECUCard>(QStringLiteral("ecuCard"));
    ASSERT_FALSE(cards.isEmpty());
    QTest::mouseClick(cards.front(), Qt::LeftButton);
    rig.settle();
    ASSERT_EQ(rig.find<ECUMapView>(QStringLiteral("ECUMapView"))->selected(), "7E0");

    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Diagnostic")));
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Calculateurs")));
    rig.settle();
    auto* map = rig.find<ECUMapView>(QStringLiteral("ECUMapView"));
    ASSERT_NE(map, nullptr);
    EXPECT_FALSE(map->selected().has_value());
    EXPECT_EQ(rig.find(QStringLiteral("ecuDetail")), nullptr);
}

} // namespace
} // namespace veq::testing
