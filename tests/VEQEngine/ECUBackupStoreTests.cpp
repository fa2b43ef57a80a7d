// The backup store: what it loads, how it names files, which backup allows a write, and how a
// backup is read from an ECU.
#include "VEQEngine/ECUBackupStore.hpp"

#include "RecordingSimulator.hpp"
#include "TestSupport/TemporaryFolder.hpp"
#include "VEQEngine/ELM327Session.hpp"
#include "VEQEngine/UDSClient.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

using namespace veq;
using namespace std::chrono;
using veq::testing::RecordingSimulator;
using veq::testing::TemporaryFolder;
namespace fs = std::filesystem;

namespace {

const system_clock::time_point t0{seconds{1700000000}};

ECUBackup backup(std::string address, system_clock::time_point createdAt, bool verified = true, std::string name = "") {
    return ECUBackup(UUID::random(), std::move(name), std::move(address), createdAt, {}, {{"0xF187", {0x41}}}, verified);
}

std::set<std::string> names(const fs::path& folder) {
    std::set<std::string> out;
    for (const auto& entry : fs::directory_iterator(folder)) out.insert(entry.path().filename().string());
    return out;
}

} // namespace

TEST(ECUBackupStoreTests, LoadsOnlyReadableJsonFilesAndAnEditedOneAllowsNoWrite) {
    TemporaryFolder folder;
    const auto dir = folder / "OskavelCar" / "Backups";
    const auto now = system_clock::now();
    const fs::path file = ECUBackupStore(dir).add(backup("7E0", now)).value(); // the folder is created
    const std::string text = veq::testing::readFile(file);
    for (const char* name : {"7E1.JSON", "7E1.json.txt"}) veq::testing::writeFile(dir / name, backup("7E1", now).encoded());
    veq::testing::writeFile(dir / "7E2.json", text.substr(0, text.size() / 2));
    EXPECT_TRUE(ECUBackupStore(dir).hasValidBackup("7E0", now));
    EXPECT_EQ(ECUBackupStore(dir).all().size(), 1u);

    std::string edited = text;
    edited.replace(edited.find("65"), 2, "66");
    veq::testing::writeFile(file, edited);
    const ECUBackupStore reloaded(dir);
    ASSERT_EQ(reloaded.all().size(), 1u);
    EXPECT_FALSE(reloaded.all()[0].isIntact());
    EXPECT_FALSE(reloaded.hasValidBackup("7E0", now));
}

TEST(ECUBackupStoreTests, OnlyAFreshVerifiedIntactLatestBackupIsValid) {
    const auto now = system_clock::now();
    const struct {
        double age;
        bool verified;
        const char* asked;
        bool valid;
    } cases[] = {{10, true, "7E0", true},   {86399.5, true, "7E0", true}, {86400, true, "7E0", false},
                 {-3600, true, "7E0", true}, {10, false, "7E0", false},   {10, true, "7e0", false}};
    for (const auto& c : cases) {
        TemporaryFolder folder;
        ECUBackupStore store(folder.path());
        store.add(backup("7E0", now - duration_cast<system_clock::duration>(duration<double>(c.age)), c.verified));
        EXPECT_EQ(store.hasValidBackup(c.asked, now), c.valid) << c.age << " " << c.verified << " " << c.asked;
        store.add(backup("7E0", now + hours(2), false)); // the latest decides, and it is not verified
        EXPECT_FALSE(store.hasValidBackup("7E0", now));
    }
}

TEST(ECUBackupStoreTests, LatestAndAllKeepStoredOrderAmongEqualTimes) {
    TemporaryFolder folder;
    ECUBackupStore store(folder.path());
    for (const auto& b : {backup("7E0", t0, true, "a"), backup("7E0", t0, true, "b"), backup("7E1", t0 + seconds(5), true, "c"),
                          backup("7E0", t0 - seconds(5), true, "d")}) {
        store.add(b);
    }
    EXPECT_EQ(store.latest("7E0")->ecuName, "a");
    EXPECT_FALSE(store.latest("7E7"));
    std::string order;
    for (const auto& b : store.all()) order += b.ecuName;
    EXPECT_EQ(order, "cabd");
}

TEST(ECUBackupStoreTests, EachBackupGetsItsOwnFileInsideTheFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"7E0", "7E0-1700000000.json"}, {"../../etc/x", "etcx-1700000000.json"}, {"a b.c_d-E", "abc_d-E-1700000000.json"},
        {"", "-1700000000.json"},       {"\xC3\xA9\t7E0\n", "7E0-1700000000.json"}};
    for (const auto& [address, name] : cases) EXPECT_EQ(ECUBackupStore::fileName(backup(address, t0)), name) << address;

    TemporaryFolder folder;
    ECUBackupStore store(folder / "Backups");
    // Three backups of one ECU within one second, one of them named after a path outside the folder.
    for (const char* address : {"7E0", "7E0", "../7E0"}) EXPECT_TRUE(store.add(backup(address, t0 + milliseconds(100))));
    EXPECT_EQ(names(folder / "Backups"),
              (std::set<std::string>{"7E0-1700000000.json", "7E0-1700000000-2.json", "7E0-1700000000-3.json"}));
    EXPECT_EQ(ECUBackupStore(folder / "Backups").all().size(), 3u);

    fs::remove_all(folder / "Backups"); // an unwritable folder: kept in memory only
    EXPECT_FALSE(store.add(backup("7E1", t0)));
    EXPECT_TRUE(store.latest("7E1"));
}

TEST(ECUBackupStoreTests, CreateBackupKeepsFirstReadsAndVerifiesOnlyIdenticalSecondReads) {
    using Bytes = std::vector<std::uint8_t>;
    const Bytes refused{0x7F, 0x22, 0x31};
    const struct {
        const char* name;
        std::string line; // the line answered with `reply` on its n-th request (-1: every request)
        int n;
        Bytes reply;
        bool aimed;
        std::set<std::string> keys;
        bool verified;
    } cases[] = {
        {"both read twice alike", "", 0, {}, true, {"0xF187", "0xF188"}, true},
        {"only the echo", "22F187", -1, {0x62, 0xF1, 0x87}, true, {"0xF188"}, true},
        {"first read refused", "22F187", 0, refused, true, {"0xF188"}, true},
        {"second read differs", "22F187", 1, {0x62, 0xF1, 0x87, 0x42}, true, {"0xF187", "0xF188"}, false},
        {"second read refused", "22F188", 1, refused, true, {"0xF187", "0xF188"}, false},
        {"answer for another identifier", "22F187", 0, {0x62, 0xF1, 0x88, 0x41}, true, {"0xF188"}, false},
        {"not aimed at the ECU", "", 0, {}, false, {"0xF187", "0xF188"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto transport = std::make_shared<RecordingSimulator>();
        ELM327Session session(transport);
        session.connect();
        session.runInitialization();
        session.raw("ATSH7E0");
        std::map<std::string, int> count;
        transport->setOverride([&](const std::string& line) -> std::optional<std::string> {
            const int n = count[line]++;
            if (line != c.line || (c.n >= 0 && n != c.n)) return std::nullopt;
            return RecordingSimulator::ecuReply(c.reply);
        });
        TemporaryFolder folder;
        ECUBackupStore store(folder.path());
        UDSClient client(session);
        int progress = 0;
        const std::uint16_t dids[] = {0xF187, 0xF188};
        const ECUBackup b = store.createBackup("Moteur", "7E0", {}, client, c.aimed, dids, [&](int i, int n) {
            EXPECT_EQ(i, ++progress);
            EXPECT_EQ(n, 2);
        });
        std::set<std::string> keys;
        for (const auto& [key, bytes] : b.values) keys.insert(key);
        EXPECT_EQ(keys, c.keys);
        EXPECT_EQ(b.verified, c.verified);
        EXPECT_EQ(progress, 2);
        if (keys.contains("0xF187")) {
            EXPECT_EQ(b.values.at("0xF187"), text::bytesOf("A2569006200")); // the first read's bytes
        }
        EXPECT_EQ(ECUBackupStore(folder.path()).latest("7E0")->id, b.id); // kept and written
    }
}
