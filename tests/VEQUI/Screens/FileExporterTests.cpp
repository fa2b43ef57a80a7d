// Saving through the save panel (and the real panel as set up for a request, never opened here),
// copying into place, and what showing a file asks for.
#include "VEQUI/RecordingDialogs.hpp"
#include "VEQUI/Views/Kit/FileExporter.hpp"
#include "VEQUI/Views/Kit/WidgetDialogs.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/stat.h>

namespace veq::testing {
namespace {

namespace fs = std::filesystem;
using Kind = Dialogs::Message::Kind;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

// The folder's entries other than `keep`: temporaries left behind would show here.
std::vector<std::string> others(const fs::path& folder, const std::vector<std::string>& keep) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const auto name = entry.path().filename().string();
        if (std::find(keep.begin(), keep.end(), name) == keep.end()) found.push_back(name);
    }
    return found;
}

const FileExporter::ContentType kTrace{"Trace CAN", "asc"};

TEST(FileExporter, CancellingWritesNothingAndChangesNothing) {
    TemporaryFolder folder;
    write(folder / "old.txt", "ancien");
    RecordingDialogs dialogs; // no answer queued: the panel is cancelled
    FileExporter::save(dialogs, "nouveau", "old.txt", std::nullopt, {});
    FileExporter::saveCopy(dialogs, folder / "old.txt", "copie.txt", std::nullopt, {});
    EXPECT_EQ(dialogs.saveRequests.size(), 2u);
    EXPECT_EQ(contents(folder / "old.txt"), "ancien");
    EXPECT_EQ(others(folder.path(), {"old.txt"}), std::vector<std::string>{});
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST(FileExporter, SavingBytesOverAFileReplacesItWhole) {
    TemporaryFolder folder;
    write(folder / "rapport.html", std::string(10000, 'a'));
    RecordingDialogs dialogs;
    dialogs.saveAnswers.push_back(folder / "rapport.html");
    FileExporter::save(dialogs, "court", "rapport.html", FileExporter::ContentType{"Page HTML", "html"}, {});
    EXPECT_EQ(contents(folder / "rapport.html"), "court");
    EXPECT_EQ(others(folder.path(), {"rapport.html"}), std::vector<std::string>{});
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST(FileExporter, ACopyReplacesTheDestinationAndLeavesTheSource) {
    TemporaryFolder folder;
    write(folder / "source.mf4", "mesures");
    write(folder / "copie.mf4", "ancienne copie plus longue");
    RecordingDialogs dialogs;
    dialogs.saveAnswers.push_back(folder / "copie.mf4");
    FileExporter::saveCopy(dialogs, folder / "source.mf4", "copie.mf4", FileExporter::ContentType{"MDF", "mf4"}, {});
    EXPECT_EQ(contents(folder / "copie.mf4"), "mesures");
    EXPECT_EQ(contents(folder / "source.mf4"), "mesures");
    EXPECT_EQ(others(folder.path(), {"source.mf4", "copie.mf4"}), std::vector<std::string>{});
    EXPECT_TRUE(dialogs.messages.empty());
}

// A failed write or copy is told ("Enregistrement impossible : " and the file) and leaves what
// was there.
TEST(FileExporter, AFailedWriteOrCopyIsToldAndKeepsWhatWasThere) {
    TemporaryFolder folder;
    write(folder / "copie.mf4", "ancienne copie");
    RecordingDialogs dialogs;
    dialogs.saveAnswers.push_back(folder / "absent" / "trace.asc");
    dialogs.saveAnswers.push_back(folder / "copie.mf4");
    FileExporter::save(dialogs, "data", "trace.asc", kTrace, {});
    FileExporter::saveCopy(dialogs, folder / "disparu.mf4", "copie.mf4", std::nullopt, {});
    EXPECT_FALSE(fs::exists(folder / "absent"));
    EXPECT_EQ(contents(folder / "copie.mf4"), "ancienne copie");
    EXPECT_EQ(others(folder.path(), {"copie.mf4"}), std::vector<std::string>{});
    ASSERT_EQ(dialogs.messages.size(), 2u);
    const std::string named[] = {(folder / "absent" / "trace.asc").string(), "disparu.mf4"};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(dialogs.messages[i].kind, Kind::error);
        EXPECT_TRUE(dialogs.messages[i].text.starts_with("Enregistrement impossible : ")) << dialogs.messages[i].text;
        EXPECT_NE(dialogs.messages[i].text.find(named[i]), std::string::npos) << dialogs.messages[i].text;
    }
}

// The file's identity on its disk: a file written anew (even with the same bytes) gets another.
ino_t inode(const fs::path& file) {
    struct stat status {};
    return ::stat(file.c_str(), &status) == 0 ? status.st_ino : 0;
}

TEST(FileExporter, ChoosingTheSourceItselfLeavesItAsItWas) {
    TemporaryFolder folder;
    write(folder / "trajet.gpx", "trace");
    const ino_t before = inode(folder / "trajet.gpx");
    RecordingDialogs dialogs;
    dialogs.saveAnswers.push_back(folder / "trajet.gpx");
    dialogs.saveAnswers.push_back(folder / "." / "trajet.gpx"); // the same file by another path
    FileExporter::saveCopy(dialogs, folder / "trajet.gpx", "trajet.gpx", std::nullopt, {});
    FileExporter::saveCopy(dialogs, folder / "trajet.gpx", "trajet.gpx", std::nullopt, {});
    EXPECT_EQ(contents(folder / "trajet.gpx"), "trace");
    EXPECT_EQ(inode(folder / "trajet.gpx"), before); // not even rewritten
    EXPECT_EQ(others(folder.path(), {"trajet.gpx"}), std::vector<std::string>{});
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST(FileExporter, ThePanelGetsTheSuggestedNameTheStartingFolderAndOnlyTheTypesGiven) {
    RecordingDialogs dialogs;
    FileExporter::save(dialogs, "x", "trace.asc", kTrace, {});
    dialogs.saveAnswers.push_back(fs::path("/tmp/choisi.csv"));
    const std::vector<FileExporter::ContentType> types{{"CSV", "csv"}, {"JSON", "json"}};
    EXPECT_EQ(FileExporter::chooseDestination(dialogs, "export.csv", fs::path("/data"), types), fs::path("/tmp/choisi.csv"));
    EXPECT_EQ(FileExporter::chooseDestination(dialogs, "libre", std::nullopt, {}), std::nullopt);
    ASSERT_EQ(dialogs.saveRequests.size(), 3u);
    EXPECT_EQ(dialogs.saveRequests[0].suggestedName, "trace.asc");
    EXPECT_EQ(dialogs.saveRequests[0].types, std::vector<Dialogs::FileType>{kTrace});
    EXPECT_TRUE(dialogs.saveRequests[1].canCreateFolders);
    EXPECT_EQ(dialogs.saveRequests[1].directory, fs::path("/data"));
    EXPECT_EQ(dialogs.saveRequests[1].types, types);
    EXPECT_EQ(dialogs.saveRequests[2].suggestedName, "libre");
    EXPECT_TRUE(dialogs.saveRequests[2].directory.empty());
    EXPECT_TRUE(dialogs.saveRequests[2].types.empty()); // any name and extension
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(FileExporter::canReveal());
}

TEST(FileExporter, AFolderIsOpenedAndAnythingElseSelectedInItsParent) {
    TemporaryFolder folder;
    write(folder / "log.txt", "x");
    using Kind = FileExporter::RevealRequest::Kind;
    struct Case { fs::path item; Kind kind; };
    const Case cases[] = {
        {folder.path(), Kind::openFolder},
        {folder / "log.txt", Kind::selectItem},
        {folder / "absent.txt", Kind::selectItem},
        {folder / "absent" / "", Kind::selectItem},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileExporter::revealRequest(c.item), (FileExporter::RevealRequest{c.kind, c.item})) << c.item;
    }
}

TEST(WidgetDialogs, APanelGivenTypesOffersThemAndAddsTheChosenTypesExtension) {
    NameOnlyIconProvider icons;
    QFileDialog panel;
    Dialogs::SaveRequest request;
    request.title = "Exporter la trace";
    request.directory = QDir::tempPath().toStdString();
    request.suggestedName = "trace";
    request.types = {{"Trace CAN", "asc"}, {"Valeurs CSV", "csv"}};
    request.canCreateFolders = false;
    configureSavePanel(panel, request, icons);

    EXPECT_EQ(panel.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(panel.windowTitle(), QStringLiteral("Exporter la trace"));
    EXPECT_EQ(panel.nameFilters(), (QStringList{"Trace CAN (*.asc)", "Valeurs CSV (*.csv)"}));
    EXPECT_EQ(panel.defaultSuffix(), QStringLiteral("asc"));
    EXPECT_EQ(QDir(panel.directory()).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
    EXPECT_TRUE(panel.testOption(QFileDialog::ReadOnly));

    panel.selectNameFilter(QStringLiteral("Valeurs CSV (*.csv)"));
    Q_EMIT panel.filterSelected(QStringLiteral("Valeurs CSV (*.csv)"));
    EXPECT_EQ(panel.defaultSuffix(), QStringLiteral("csv"));
}

TEST(WidgetDialogs, APanelWithoutTypesTakesAnyNameAndAllowsNewFolders) {
    NameOnlyIconProvider icons;
    QFileDialog panel;
    Dialogs::SaveRequest request;
    request.suggestedName = "rapport.pdf";
    configureSavePanel(panel, request, icons);
    EXPECT_EQ(panel.windowTitle(), QStringLiteral("Oskavel Car"));
    EXPECT_TRUE(panel.defaultSuffix().isEmpty());
    EXPECT_FALSE(panel.testOption(QFileDialog::ReadOnly));
    EXPECT_TRUE(panel.nameFilters().isEmpty()); // no filter: any name and extension
}

} // namespace
} // namespace veq::testing
