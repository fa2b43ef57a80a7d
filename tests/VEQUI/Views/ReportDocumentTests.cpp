// The report's content and its PDF, read back with poppler's readers; the report screen following
// the store by itself.
#include "ScreenFixtures.hpp"

#include "VEQUI/Support/PDFText.hpp"
#include "VEQUI/Views/Gauges/GaugeReadout.hpp"
#include "VEQUI/Views/Kit/SeverityColor.hpp"
#include "VEQUI/Views/Report/ParameterTable.hpp"
#include "VEQUI/Views/Report/ReportContent.hpp"
#include "VEQUI/Views/Report/ReportDocument.hpp"
#include "VEQUI/Views/Report/ReportView.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

namespace veq {
namespace {

using namespace veq::testing;

const std::string vin = "VF1RFB00X12345678";

// Writes the PDF beside the screens' pictures, for anyone to look at.
QByteArray kept(QByteArray pdf, const char* name) {
    QFile file(QStringLiteral(VEQ_SCREENS_DIR "/report-") + QString::fromUtf8(name) + QStringLiteral(".pdf"));
    if (file.open(QIODevice::WriteOnly)) file.write(pdf);
    return pdf;
}

// pdftotext's reading of the whole document in drawing order, every run of spaces and line ends
// made one space.
QString flatText(const QByteArray& pdf) {
    return pdfText(pdf, 0, TextOrder::drawOrder).replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
}

DTC code(const char* text) { return DTC{DTC::System::powertrain, text, {}}; }

// A report on `vin` with `parameters` parameters and the first `codes` misfire codes.
ReportContent sample(int parameters, int codes) {
    ReportContent content;
    content.application = QStringLiteral("Oskavel Car v1.0");
    content.profile = QStringLiteral("Renault Clio IV");
    content.vin = QString::fromStdString(vin);
    content.vinSections = Report::vinSectionsOf(vin);
    content.start = QStringLiteral("7 déc. 2026 11:58:16");
    content.trip = TripFigures::ofCurrentDrive(TripStats{});
    std::vector<DTC> dtcs;
    for (int i = 0; i < codes; ++i) dtcs.push_back(code(fmt::format("P03{:02d}", i).c_str()));
    content.codes = Report::codesOf(dtcs);
    content.ecusScanned = true;
    content.ecus = Report::ecusOf({{"Moteur", "7E0", "7E8", true, "03L906018", "S1234"},
                                   {"Boîte de vitesses", "7E1", "7E9", false, {}, {}},
                                   {"Module de porte", "744", "7AE", true, {}, {}}},
                                  {{"7E0", std::vector<UDSDTC>{UDSDTC{code("P0301"), 0, 0x09}, UDSDTC{code("P0302"), 0, 0x09}}},
                                   {"744", std::nullopt}}); // its codes could not be read
    for (int i = 1; i <= parameters; ++i) {
        content.parameters.push_back({QStringLiteral("Sonde %1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("°C"),
                                      {QStringLiteral("1.5"), QStringLiteral("0.0"), QStringLiteral("2.5"),
                                       QStringLiteral("4.0")},
                                      QString::number(100 + i)});
    }
    return content;
}

TEST(ReportContent, CodesExplainedAndOnlyTheECUsThatAnswered) {
    const auto codes = Report::codesOf({code("P0301"), code("U3FFF")});
    ASSERT_EQ(codes.size(), 2u);
    for (const ReportCode& row : codes) {
        const DTCInfo info = DTCDatabase::describe(row.code.toStdString());
        EXPECT_EQ(row.title.toStdString(), info.title);
        EXPECT_EQ(row.system.toStdString(), info.system);
        EXPECT_EQ(row.subsystem.toStdString(), info.subsystem);
        EXPECT_EQ(row.severity.toStdString(), std::string(label(info.severity)));
        EXPECT_EQ(row.severityColor, severityColor(info.severity));
        ASSERT_EQ(row.causes.size(), static_cast<qsizetype>(info.causes.size()));
        if (!info.causes.empty()) {
            EXPECT_EQ(row.causes.front().toStdString(), info.causes.front());
        }
    }

    const ReportContent content = sample(0, 0);
    ASSERT_EQ(content.ecus.size(), 2u); // the silent gearbox is left out
    EXPECT_EQ(content.ecus[0], (ReportECU{"7E0", "Moteur", "03L906018", "S1234", 2}));
    EXPECT_EQ(content.ecus[1], (ReportECU{"744", "Module de porte", "—", "—", std::nullopt}));
    EXPECT_EQ(Report::codeCountText(content.ecus[1]), "non lus");

    EXPECT_EQ(content.vinSections, (std::array<QString, 3>{"VF1", "RFB00X", "12345678"}));
    EXPECT_EQ(Report::vinSectionsOf(std::string("VF1RFB")), (std::array<QString, 3>{"—", "—", "—"}));
    EXPECT_EQ(Report::vinSectionsOf(std::nullopt), (std::array<QString, 3>{"—", "—", "—"}));
}

TEST(ReportDocument, AnA4PageOfRealTextHoldingEverySection) {
    const ReportContent content = sample(5, 3);
    const QByteArray pdf = kept(ReportDocument::pdf(content), "sample");
    const auto info = pdfInfo(pdf);
    ASSERT_TRUE(info) << "pdfinfo could not read the report";
    EXPECT_NEAR(info->width, 595.28, 1.0);
    EXPECT_NEAR(info->height, 841.89, 1.0);
    ASSERT_GE(info->pages, 1);

    const QString text = flatText(pdf);
    const std::vector<QString> expected{
        "Oskavel Car v1.0", "Rapport de diagnostic", QStringLiteral("page 1 / %1").arg(info->pages), "VIN VF1RFB00X12345678", "Renault Clio IV",
        "Constructeur (WMI) VF1", "Descripteur (VDS) RFB00X", "Identifiant (VIS) 12345678",
        "Début 7 déc. 2026 11:58:16", "Moteur", "7E0", "03L906018", "S1234", "Module de porte", "744", "non lus",
        "Sonde 01", "Sonde 05", "Échantillons"};
    for (const QString& piece : expected) EXPECT_TRUE(text.contains(piece)) << piece.toStdString() << "\n" << text.toStdString();
    for (const ReportCode& row : content.codes) {
        EXPECT_TRUE(text.contains(row.code + QLatin1Char(' ') + row.title)) << row.code.toStdString() << "\n" << text.toStdString();
        EXPECT_TRUE(text.contains(row.severity)) << row.severity.toStdString();
    }
    EXPECT_FALSE(text.contains(QStringLiteral("Boîte de vitesses"))); // it did not answer
    EXPECT_FALSE(text.contains(QStringLiteral("Aucun")));
}

TEST(ReportDocument, WhatIsMissingIsSaid) {
    ReportContent content = sample(0, 0);
    content.ecusScanned = false;
    content.ecus.clear();
    const QString text = flatText(ReportDocument::pdf(content));
    for (const char* note : {"Aucun code défaut", "Aucun calculateur interrogé", "Aucun paramètre reçu pour l'instant."}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(note))) << note << "\n" << text.toStdString();
    }
    // Codes that could not be read are never "none".
    content.codesUnread = true;
    const QString unread = flatText(ReportDocument::pdf(content));
    EXPECT_TRUE(unread.contains(QStringLiteral("Codes non lus"))) << unread.toStdString();
    EXPECT_FALSE(unread.contains(QStringLiteral("Aucun code défaut")));
}

// A parameter table too long for one page goes on with its header row atop the next, and every
// page says which it is of how many, under the VIN.
TEST(ReportDocument, ALongTableBreaksWithItsHeaderRepeated) {
    QElapsedTimer timer;
    timer.start();
    const QByteArray pdf = kept(ReportDocument::pdf(sample(90, 0)), "long-table");
    std::cerr << "produced in " << timer.elapsed() << " ms\n";
    const auto info = pdfInfo(pdf);
    ASSERT_TRUE(info);
    ASSERT_GE(info->pages, 2);
    for (int page = 1; page <= info->pages; ++page) {
        const QString text = pdfText(pdf, page);
        EXPECT_TRUE(text.contains(QStringLiteral("page %1 / %2").arg(page).arg(info->pages))) << page;
        EXPECT_TRUE(text.contains(QStringLiteral("VIN VF1RFB00X12345678"))) << page;
        EXPECT_TRUE(text.contains(QStringLiteral("Rapport de diagnostic"))) << page;
        // The table runs to the end: every page shows its column titles.
        EXPECT_EQ(text.count(QStringLiteral("Échantillons")), 1) << page << "\n" << text.toStdString();
    }
    EXPECT_TRUE(pdfText(pdf, info->pages).contains(QStringLiteral("Sonde 90")));
    EXPECT_FALSE(pdfText(pdf, 1).contains(QStringLiteral("Sonde 90")));
}

TEST(ReportDocument, NamedAfterTheStartInLocalTime) {
    using namespace std::chrono;
    const auto start = sys_days{year{2026} / 12 / 7} + hours{11} + minutes{58} + seconds{16};
    const auto paris = TimeZone::named("Europe/Paris");
    ASSERT_TRUE(paris);
    EXPECT_EQ(ReportDocument::fileName(start, TimeZone::utc()), "Rapport_20261207-115816.pdf");
    EXPECT_EQ(ReportDocument::fileName(start, *paris), "Rapport_20261207-125816.pdf");
    EXPECT_TRUE(QString::fromStdString(ReportDocument::fileName(std::nullopt, TimeZone::utc()))
                    .contains(QRegularExpression(QStringLiteral("^Rapport_\\d{8}-\\d{6}\\.pdf$"))));
}

// A trim a hair under zero reads "0.0" in the report's table and PDF; the instruments keep their formatter.
TEST(ReportView, AValueRoundingToZeroReadsWithoutSign) {
    LiveScreen<ReportView> screen;
    feed(screen.model(), 0x06, -0.04);
    ASSERT_TRUE(waitUntil([&] { return screen.view->table().rows().size() == 1; }));
    EXPECT_EQ(screen.view->table().rows()[0].values,
              (std::array<QString, 4>{"0.0", "0.0", "0.0", "0.0"}));
    EXPECT_EQ(GaugeReadout::formatted(-0.04).toStdString(), "-0.0");

    const QString text = flatText(ReportDocument::pdf(Report::contentOf(screen.model())));
    EXPECT_TRUE(text.contains(QStringLiteral("Correction court terme banc 1 % 0.0 0.0 0.0 0.0 1"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("-0.0")));
}

// The screen follows the store by itself: a change right after another shows once the
// throttle's interval ends, with nobody calling refresh().
TEST(ReportView, FollowsTheStoreThroughItsThrottle) {
    LiveScreen<ReportView> screen;
    ReportView& report = *screen.view;
    feed(screen.model(), 0x05, 90);
    ASSERT_TRUE(waitUntil([&] { return report.table().rows().size() == 1; }));
    feed(screen.model(), 0x0C, 812.4, 0.1);
    EXPECT_TRUE(waitUntil([&] { return report.table().rows().size() == 2; }, std::chrono::seconds(3)));
    feed(screen.model(), 0x0C, 1500, 0.2);
    EXPECT_TRUE(waitUntil([&] { return report.table().rows()[1].values[0] == QStringLiteral("1500"); },
                          std::chrono::seconds(3)));
}

} // namespace
} // namespace veq
