// The small enumerations the model keeps for the screens: layouts, transports, sections.
#include "VEQUI/Model/AppSection.hpp"
#include "VEQUI/Model/CockpitLayout.hpp"
#include "VEQUI/Model/TransportKind.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace veq;

TEST(ValueTypesTests, CockpitLayoutsWithTitlesTabsAndFlankGauges) {
    struct Row { CockpitLayout layout; const char* raw; const char* title; const char* tab; std::uint8_t left, right; };
    // Transcribed from the layout and flank tables.
    const Row golden[] = {
        {CockpitLayout::road, "road", "Route", "ROUTE", 0x05, 0x5C},
        {CockpitLayout::track, "track", "Circuit", "CIRCUIT", 0x0B, 0x5C},
        {CockpitLayout::economy, "economy", "\u00C9conomie", "\u00C9CONOMIE", 0x10, 0x5E},
        {CockpitLayout::engine, "engine", "Moteur", "MOTEUR", 0x05, 0x5C},
        {CockpitLayout::transmission, "transmission", "Transmission", "TRANSMISSION", 0x5C, 0x42},
    };
    ASSERT_EQ(allCases<CockpitLayout>().size(), std::size(golden));
    for (std::size_t i = 0; i < std::size(golden); ++i) {
        const auto& r = golden[i];
        EXPECT_EQ(std::tuple(allCases<CockpitLayout>()[i], rawValue(r.layout), id(r.layout), fromRaw<CockpitLayout>(r.raw)),
                  std::tuple(r.layout, r.raw, r.raw, std::optional(r.layout)));
        EXPECT_EQ(std::tuple(title(r.layout), tabText(r.layout).toStdString()), std::tuple(r.title, r.tab));
        EXPECT_EQ(layoutFlankPIDs(r.layout), (std::array<std::uint8_t, 2>{r.left, r.right})) << r.raw;
    }
    for (const char* other : {"Road", "route", "", "road "}) EXPECT_EQ(fromRaw<CockpitLayout>(other), std::nullopt);
}

TEST(ValueTypesTests, TransportKindsWithTheirCards) {
    struct Row { TransportKind kind; const char* raw; const char* title; const char* subtitle; const char* icon; };
    // Transcribed from the transport table.
    const Row golden[] = {
        {TransportKind::simulator, "simulator", "Simulateur", "CLS 450 2019 émulée — aucune voiture requise", "cpu"},
        {TransportKind::bluetooth, "bluetooth", "Bluetooth", "Adaptateur ELM327 BLE (FFF0/FFE0/18F0)",
         "dot.radiowaves.left.and.right"},
        {TransportKind::wifi, "wifi", "WiFi", "Adaptateur ELM327 WiFi en TCP", "wifi"},
    };
    ASSERT_EQ(allCases<TransportKind>().size(), std::size(golden));
    for (std::size_t i = 0; i < std::size(golden); ++i) {
        const auto& r = golden[i];
        EXPECT_EQ(std::tuple(allCases<TransportKind>()[i], id(r.kind), fromRaw<TransportKind>(r.raw)),
                  std::tuple(r.kind, r.raw, std::optional(r.kind)));
        EXPECT_EQ(std::tuple(title(r.kind), subtitle(r.kind), icon(r.kind)), std::tuple(r.title, r.subtitle, r.icon));
    }
    for (const char* other : {"Simulator", "wi-fi", "", "ble"}) EXPECT_EQ(fromRaw<TransportKind>(other), std::nullopt);
}

TEST(ValueTypesTests, ElevenSectionsInSidebarOrder) {
    struct Row { AppSection section; const char* title; const char* icon; };
    // Transcribed from the section table.
    const Row golden[] = {
        {AppSection::cockpit, "Cockpit", "gauge.open.with.lines.needle.33percent"},
        {AppSection::liveData, "Live Data", "waveform.path.ecg"},
        {AppSection::capture, "Capture", "record.circle"},
        {AppSection::messages, "Messages", "bell.badge.fill"},
        {AppSection::diagnostic, "Diagnostic", "exclamationmark.triangle"},
        {AppSection::ecus, "Calculateurs", "point.3.connected.trianglepath.dotted"},
        {AppSection::trips, "Trajets", "map"},
        {AppSection::terminal, "Terminal", "terminal"},
        {AppSection::expert, "Mode Expert", "wrench.and.screwdriver.fill"},
        {AppSection::report, "Rapport", "doc.text"},
        {AppSection::settings, "Réglages", "gearshape"},
    };
    ASSERT_EQ(allCases<AppSection>().size(), std::size(golden));
    for (std::size_t i = 0; i < std::size(golden); ++i) {
        const auto& r = golden[i];
        EXPECT_EQ(std::tuple(allCases<AppSection>()[i], rawValue(r.section), id(r.section), fromRaw<AppSection>(r.title)),
                  std::tuple(r.section, r.title, r.title, std::optional(r.section)));
        EXPECT_EQ(icon(r.section), r.icon) << r.title;
    }
    for (const char* other : {"cockpit", "Live data", "Reglages", "", "Mode expert"})
        EXPECT_EQ(fromRaw<AppSection>(other), std::nullopt) << other;
}
