// The backup store's folder: what it loads, how it names files, and which backup allows a write.
#include "VEQEngine/ECUBackupStore.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <set>

using namespace veq;
using namespace std::chrono;
using veq::testing::readFile;
using veq::testing::TemporaryFolder;
using veq::testing::writeFile;
namespace fs = std::filesystem;

namespace {

const system_clock::time_point t0{seconds{1700000000}};

ECUBackup backup(std::string address, system_clock::time_point createdAt, bool verified = true,
                 std::string name = "Moteur") {
    return ECUBackup(UUID::random(), std::move(name), std::move(address), createdAt, "WDD2571231A123456",
                     {{"0xF187", {0x41, 0x32}}, {"0xF190", {0x57}}}, verified);
}

std::set<std::string> folderNames(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

} // namespace

TEST(ECUBackupStoreTests, CreatesItsFolderAndLoadsOnlyBackupFilesNamedJson) {
    TemporaryFolder folder;
    const auto dir = folder / "OskavelCar" / "Backups";
    ECUBackupStore(std::optional{dir}); // creates the folder with its parents
    ASSERT_TRUE(fs::is_directory(dir));

    const std::string good = backup("7E0", t0).encoded();
    writeFile(dir / "7E0-1.json", good);
    writeFile(dir / ".hidden.json", backup("7E1", t0).encoded());
    writeFile(dir / "7E2-1.JSON", backup("7E2", t0).encoded());
    writeFile(dir / "7E3-1.json.txt", backup("7E3", t0).encoded());
    writeFile(dir / "7E4-1.json", good.substr(0, good.size() / 2));
    writeFile(dir / "7E5-1.json", "");
    fs::create_directory(dir / "7E6-1.json");

    ECUBackupStore store(dir);
    std::set<std::string> addresses;
    for (const auto& b : store.all()) addresses.insert(b.ecuAddress);
    EXPECT_EQ(addresses, (std::set<std::string>{"7E0", "7E1"}));
    EXPECT_EQ(store.storageDirectory(), dir);
}

TEST(ECUBackupStoreTests, EditedFileLoadsButAllowsNoWrite) {
    TemporaryFolder folder;
    const auto now = system_clock::now();
    fs::path file;
    {
        ECUBackupStore store(folder.path());
        file = store.add(backup("7E0", now)).value();
        EXPECT_TRUE(store.hasValidBackup("7E0", now));
    }
    std::string text = readFile(file);
    text.replace(text.find("65,"), 3, "66,");
    writeFile(file, text);

    ECUBackupStore reloaded(folder.path());
    ASSERT_EQ(reloaded.all().size(), 1u);
    EXPECT_TRUE(reloaded.all()[0].verified);
    EXPECT_FALSE(reloaded.all()[0].isIntact());
    EXPECT_FALSE(reloaded.hasValidBackup("7E0", now));
}

TEST(ECUBackupStoreTests, OnlyAFreshVerifiedIntactLatestBackupIsValid) {
    struct Case {
        const char* name;
        double ageSeconds;
        bool verified;
        const char* asked;
        bool valid;
    };
    const Case cases[] = {
        {"fresh", 10, true, "7E0", true},
        {"just under a day", 86399.5, true, "7E0", true},
        {"a day old", 86400, true, "7E0", false},
        {"dated in the future", -3600, true, "7E0", true},
        {"not verified", 10, false, "7E0", false},
        {"other address", 10, true, "7E1", false},
        {"same address in lower case", 10, true, "7e0", false},
    };
    const auto now = system_clock::now();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder folder;
        ECUBackupStore store(folder.path());
        store.add(backup("7E0", now - duration_cast<system_clock::duration>(duration<double>(c.ageSeconds)), c.verified));
        EXPECT_EQ(store.hasValidBackup(c.asked, now), c.valid);
    }

    // Only the latest backup counts: a newer unverified one hides an older valid one.
    TemporaryFolder folder;
    ECUBackupStore store(folder.path());
    store.add(backup("7E0", now - hours(2)));
    store.add(backup("7E0", now - hours(1), false));
    EXPECT_FALSE(store.hasValidBackup("7E0", now));
}

TEST(ECUBackupStoreTests, LatestAndAllKeepStoredOrderAmongEqualTimes) {
    TemporaryFolder folder;
    ECUBackupStore store(folder.path());
    const ECUBackup first = backup("7E0", t0, true, "premier");
    const ECUBackup second = backup("7E0", t0, true, "second");
    const ECUBackup other = backup("7E1", t0 + seconds(5));
    const ECUBackup older = backup("7E0", t0 - seconds(5));
    for (const auto& b : {first, second, other, older}) store.add(b);

    EXPECT_EQ(store.latest("7E0"), first);
    EXPECT_EQ(store.latest("7E7"), std::nullopt);
    std::vector<std::string> names;
    for (const auto& b : store.all()) names.push_back(b.ecuName);
    EXPECT_EQ(names, (std::vector<std::string>{"Moteur", "premier", "second", "Moteur"}));
    EXPECT_EQ(store.all().front(), other);
    EXPECT_EQ(store.all().back(), older);
}

TEST(ECUBackupStoreTests, FileNamesKeepOnlySafeCharactersOfTheAddress) {
    const struct {
        std::string address;
        std::string name;
    } cases[] = {
        {"7E0", "7E0-1700000000.json"},          {"18DA10F1", "18DA10F1-1700000000.json"},
        {"../../etc/x", "etcx-1700000000.json"}, {"7E0/..", "7E0-1700000000.json"},
        {"a b.c_d-E", "abc_d-E-1700000000.json"}, {"", "-1700000000.json"},
        {"\xC3\xA9\t7E0\n", "7E0-1700000000.json"},
    };
    for (const auto& c : cases) EXPECT_EQ(ECUBackupStore::fileName(backup(c.address, t0)), c.name) << c.address;
    EXPECT_EQ(ECUBackupStore::fileName(backup("7E0", t0 - seconds(1700000005))), "7E0--5.json");

    TemporaryFolder folder;
    ECUBackupStore store(folder / "Backups");
    const auto file = store.add(backup("../../escape", t0));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->parent_path(), folder / "Backups");
    EXPECT_EQ(folderNames(folder.path()), (std::set<std::string>{"Backups"}));
}

TEST(ECUBackupStoreTests, BackupsOfOneSecondEachKeepTheirFile) {
    TemporaryFolder folder;
    std::vector<ECUBackup> added;
    {
        ECUBackupStore store(folder.path());
        for (const char* name : {"un", "deux", "trois"}) {
            added.push_back(backup("7E0", t0 + milliseconds(100), true, name));
            store.add(added.back());
        }
        // Atomic writes leave no temporary file behind.
        EXPECT_EQ(folderNames(folder.path()),
                  (std::set<std::string>{"7E0-1700000000.json", "7E0-1700000000-2.json", "7E0-1700000000-3.json"}));
        const auto secondFile = ECUBackup::decode(readFile(folder / "7E0-1700000000-2.json"));
        ASSERT_TRUE(secondFile);
        EXPECT_EQ(secondFile->ecuName, "deux");
    }
    ECUBackupStore reloaded(folder.path());
    std::set<std::string> names;
    for (const auto& b : reloaded.all()) {
        names.insert(b.ecuName);
        EXPECT_TRUE(b.isIntact());
    }
    EXPECT_EQ(names, (std::set<std::string>{"un", "deux", "trois"}));
}

TEST(ECUBackupStoreTests, AFailedWriteKeepsTheBackupInMemory) {
    TemporaryFolder folder;
    ECUBackupStore store(folder / "Backups");
    fs::remove_all(folder / "Backups");
    const auto b = backup("7E0", t0);
    EXPECT_FALSE(store.add(b));
    EXPECT_EQ(store.latest("7E0"), b);

    // Text that is not UTF-8 cannot be encoded as JSON: kept, not written.
    ECUBackupStore other(folder / "Other");
    EXPECT_FALSE(other.add(backup("7E0", t0, true, "\xFF")));
    EXPECT_EQ(other.all().size(), 1u);
    EXPECT_TRUE(folderNames(folder / "Other").empty());
}
