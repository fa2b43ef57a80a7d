// A save panel listing the sessions folder leaves the catalogue's locks in place. The locks are
// the process's POSIX locks, read from the kernel's table: closing any descriptor this process
// opens on the store would drop them all.
#include "VEQStore/Catalog/SessionCatalog.hpp"
#include "VEQUI/Views/Kit/WidgetDialogs.hpp"

#include "TestSupport/TemporaryFolder.hpp"
#include "VEQUI/Model/ModelFixtures.hpp"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QFileSystemModel>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace veq::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The locks of this process on the file, from /proc/locks ("1: POSIX ADVISORY READ pid maj:min:inode
// start end"); nothing where the system has no such table.
std::optional<int> locksHeldOn(const fs::path& file) {
    std::ifstream table("/proc/locks");
    if (!table) return std::nullopt;
    struct stat info{};
    if (::stat(file.c_str(), &info) != 0) return 0;
    const std::string inode = ":" + std::to_string(info.st_ino);
    int held = 0;
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string number, kind, advisory, access, pid, where;
        fields >> number >> kind >> advisory >> access >> pid >> where;
        if (number == "->") continue; // a waiter, not a holder
        if (kind == "POSIX" && pid == std::to_string(::getpid()) && where.ends_with(inode)) ++held;
    }
    return held;
}

TEST(SavePanel, ListingTheSessionsFolderLeavesTheCataloguesLocksHeld) {
    TemporaryFolder folder;
    SessionCatalog catalog(folder / "Sessions");
    catalog.createSession("drive.veqt", std::nullopt, std::nullopt, std::nullopt);
    ASSERT_FALSE(catalog.allSessions().empty());
    const fs::path store = folder / "Sessions" / std::string(SessionCatalog::storeFileName);
    const fs::path memory = fs::path(store.string() + "-shm");
    const auto before = locksHeldOn(store);
    if (!before) GTEST_SKIP() << "no table of the kernel's file locks here";
    ASSERT_GT(*before, 0) << "the catalogue holds no lock to lose";
    ASSERT_GT(locksHeldOn(memory).value_or(0), 0);

    NameOnlyIconProvider icons;
    QFileDialog panel;
    Dialogs::SaveRequest request;
    request.directory = folder / "Sessions";
    request.suggestedName = "capture.mf4";
    request.types = {{"Fichier MDF 4.10", "mf4"}, {"Fichier de télémétrie Oskavel Car", "veqt"}};
    configureSavePanel(panel, request, icons);
    EXPECT_TRUE(panel.testOption(QFileDialog::DontUseNativeDialog));
    panel.setNameFilter(QStringLiteral("*")); // every file listed, as the type filter "All files" does
    panel.setViewMode(QFileDialog::Detail);   // with its type column
    panel.show();

    // The listing is done once the store's row has its type, which is what read the file.
    auto* model = panel.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const QString storePath = QString::fromStdString(store.string());
    ASSERT_TRUE(waitUntil([&] {
        const QModelIndex row = model->index(storePath);
        return row.isValid() && !model->index(row.row(), 2, row.parent()).data().toString().isEmpty();
    }, 10s));
    settleFor(300ms); // the gatherer has handed its rows over; let any straggler finish
    panel.close();

    EXPECT_EQ(locksHeldOn(store), before);
    EXPECT_GT(locksHeldOn(memory).value_or(0), 0);
}

} // namespace
} // namespace veq::testing
