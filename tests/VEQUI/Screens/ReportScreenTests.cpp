// The report on the simulated car through the real window: its PDF produced, previewed and saved
// byte for byte, then read back with poppler; a failed save.
#include "ScreenRig.hpp"

#include "VEQUI/Support/PDFText.hpp"
#include "VEQUI/Views/Kit/FileExporter.hpp"
#include "VEQUI/Views/Report/ReportCodeList.hpp"
#include "VEQUI/Views/Report/ReportContent.hpp"
#include "VEQUI/Views/Report/ReportDocument.hpp"
#include "VEQUI/Views/Report/ReportECUTable.hpp"
#include "VEQUI/Views/Report/ReportPreview.hpp"
#include "VEQUI/Views/Report/ReportView.hpp"

#include <gtest/gtest.h>

#include <QFile>
#include <QPdfDocument>
#include <QPdfView>
#include <QRegularExpression>

#include <algorithm>
#include <filesystem>

namespace veq::testing {
namespace {

namespace fs = std::filesystem;

QByteArray contentsOf(const fs::path& file) {
    QFile in(QString::fromStdString(file.string()));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// Asks for the preview and waits for the sheet with its document loaded.
ReportPreview* openPreview(const ScreenRig& rig, ReportView& report) {
    if (!rig.click(QStringLiteral("previewReportButton"))) return nullptr;
    const bool shown = waitUntil(
        [&] { return report.preview() && report.preview()->document().status() == QPdfDocument::Status::Ready; },
        std::chrono::seconds(20));
    return shown ? report.preview() : nullptr;
}

void click(QWidget* sheet, const char* name) {
    auto* button = sheet->findChild<QAbstractButton*>(QString::fromUtf8(name));
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
}

TEST(ReportScreen, PreviewedOnTheSimulatedCarAndSavedAsShown) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    AppModel& model = rig.model();
    ASSERT_TRUE(waitUntil([&] {
        const auto& ecus = model.ecus();
        const bool answered = std::any_of(ecus.begin(), ecus.end(), [](const DiscoveredECU& e) { return e.responded; });
        return model.vin() && !model.dtcs().empty() && answered && model.store().stats().size() >= 5;
    }, std::chrono::seconds(30)));
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Rapport")));
    auto* report = rig.find<ReportView>(QStringLiteral("ReportView"));
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->vinSections()[0]->component().value.toStdString(), model.vin()->substr(0, 3));
    EXPECT_EQ(report->codes().rows().size(), model.dtcs().size());
    EXPECT_FALSE(report->ecus().rows().empty());

    // A second past the start at least: a name taken from the present moment would differ.
    const auto start = Report::startOf(model);
    ASSERT_TRUE(start);
    ASSERT_TRUE(waitUntil([&] { return std::chrono::system_clock::now() - *start > std::chrono::milliseconds(1100); }));

    ReportPreview* preview = openPreview(rig, *report);
    ASSERT_NE(preview, nullptr);
    EXPECT_GE(preview->document().pageCount(), 1);
    EXPECT_TRUE(waitUntil([&] { return showsInk(*preview->view().viewport()); }));
    EXPECT_TRUE(preview->grab().save(QStringLiteral(VEQ_SCREENS_DIR "/report-preview.png")));

    const fs::path file = rig.folder.path() / "rapport.pdf";
    rig.dialogs->saveAnswers.push_back(file);
    click(preview, "savePdfButton");
    ASSERT_TRUE(waitUntil([&] { return fs::exists(file) && contentsOf(file).size() == preview->pdf().size(); }));
    const QByteArray saved = contentsOf(file);
    EXPECT_EQ(saved, preview->pdf());
    QFile kept(QStringLiteral(VEQ_SCREENS_DIR "/report-simulated-car.pdf")); // for anyone to look at
    if (kept.open(QIODevice::WriteOnly)) kept.write(saved);
    const Dialogs::SaveRequest& request = rig.dialogs->saveRequests.back();
    EXPECT_EQ(request.suggestedName, ReportDocument::fileName(Report::startOf(model), TimeZone::current()));
    EXPECT_TRUE(QString::fromStdString(request.suggestedName)
                    .contains(QRegularExpression(QStringLiteral("^Rapport_\\d{8}-\\d{6}\\.pdf$"))));
    // Named after the start the screen shows as "Début" (its time of day, the date being in the
    // locale's words there).
    const QString shownStart = report->facts()[2]->component().value;
    const QString clock = shownStart.section(QLatin1Char(' '), -1).remove(QLatin1Char(':'));
    EXPECT_EQ(clock.size(), 6) << shownStart.toStdString();
    EXPECT_TRUE(request.suggestedName.ends_with("-" + clock.toStdString() + ".pdf"))
        << request.suggestedName << " / " << shownStart.toStdString();
    EXPECT_EQ(request.types, std::vector<Dialogs::FileType>{FileExporter::pdfDocument()});
    EXPECT_TRUE(rig.dialogs->messages.empty());

    // What the saved file says, as poppler reads it.
    const QString text =
        pdfText(saved, 0, TextOrder::drawOrder).replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
    const ReportContent content = Report::contentOf(model);
    for (const QString& section : content.vinSections) EXPECT_TRUE(text.contains(section)) << section.toStdString();
    for (const ReportCode& code : content.codes) {
        EXPECT_TRUE(text.contains(code.code + QLatin1Char(' ') + code.title)) << code.code.toStdString();
    }
    for (const ReportECU& ecu : content.ecus) {
        EXPECT_TRUE(text.contains(ecu.address + QLatin1Char(' ') + ecu.name)) << ecu.name.toStdString();
    }
    for (const ParameterRow& row : content.parameters) EXPECT_TRUE(text.contains(row.name)) << row.name.toStdString();

    click(preview, "closePreviewButton");
    EXPECT_TRUE(waitUntil([&] { return report->preview() == nullptr; }));
}

// A destination that cannot be written, or the live drive's own file: the file exporter's message,
// and nothing written.
TEST(ReportScreen, AFailedSaveSaysSoAndLeavesNothing) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Rapport")));
    auto* report = rig.find<ReportView>(QStringLiteral("ReportView"));
    ASSERT_NE(report, nullptr);
    ReportPreview* preview = openPreview(rig, *report);
    ASSERT_NE(preview, nullptr);
    const fs::path file = rig.folder.path() / "absent" / "rapport.pdf";
    rig.dialogs->saveAnswers.push_back(file);
    click(preview, "savePdfButton");
    ASSERT_TRUE(waitUntil([&] { return !rig.dialogs->messages.empty(); }));
    EXPECT_TRUE(rig.dialogs->messages.back().text.starts_with("Enregistrement impossible : "))
        << rig.dialogs->messages.back().text;
    EXPECT_FALSE(fs::exists(file.parent_path()));

    // The drive being recorded is refused before any write: it stays the drive's file.
    const auto live = rig.model().store().recordingURL();
    ASSERT_TRUE(live);
    const std::size_t told = rig.dialogs->messages.size();
    rig.dialogs->saveAnswers.push_back(*live);
    click(preview, "savePdfButton");
    ASSERT_TRUE(waitUntil([&] { return rig.dialogs->messages.size() > told; }));
    EXPECT_TRUE(rig.dialogs->messages.back().text.starts_with("Enregistrement impossible : "))
        << rig.dialogs->messages.back().text;
    EXPECT_NE(rig.dialogs->messages.back().text.find("en cours d'enregistrement"), std::string::npos)
        << rig.dialogs->messages.back().text;
    EXPECT_FALSE(contentsOf(*live).startsWith("%PDF"));
}

} // namespace
} // namespace veq::testing
