#include "VEQEngine/Coding/ECUBackupStore.hpp"

#include "VEQEngine/Coding/RecordingSimulator.hpp"
#include "TestSupport/EndedProcess.hpp"
#include "TestSupport/TemporaryFolder.hpp"
#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/UDS/UDSClient.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <thread>

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

} // namespace

TEST(ECUBackupStoreTests, LoadsOnlyReadableJsonFilesAndAnEditedOneAllowsNoWrite) {
    TemporaryFolder folder;
    const auto dir = folder / "OskavelCar" / "Backups";
    const auto now = system_clock::now();
    const fs::path file = ECUBackupStore(dir).add(backup("7E0", now)).value(); // the folder is created
    const std::string text = veq::testing::readFile(file);
    veq::testing::writeFile(dir / "7E1.JSON", backup("7E1", now).encoded());
    veq::testing::writeFile(dir / "7E2.json", text.substr(0, text.size() / 2));
    EXPECT_TRUE(ECUBackupStore(dir).hasValidBackup("7E0", now));
    EXPECT_EQ(ECUBackupStore(dir).all().size(), 1u);

    std::string edited = text;
    edited.replace(edited.find("65\n"), 2, "66"); // the value byte 0x41
    veq::testing::writeFile(file, edited);
    const ECUBackupStore reloaded(dir);
    ASSERT_EQ(reloaded.all().size(), 1u);
    EXPECT_FALSE(reloaded.hasValidBackup("7E0", now));
}

TEST(ECUBackupStoreTests, OnlyAFreshVerifiedLatestBackupIsValid) {
    const auto now = system_clock::now();
    const struct {
        double age;
        bool verified;
        const char* asked;
        bool valid;
    } cases[] = {{86399.5, true, "7E0", true}, {86400, true, "7E0", false}, {10, false, "7E0", false},
                 {10, true, "7e0", false},      {0, true, "7E0", true},      {-60, true, "7E0", false}}; // from the future
    for (const auto& c : cases) {
        TemporaryFolder folder;
        ECUBackupStore store(folder.path());
        store.add(backup("7E0", now - duration_cast<system_clock::duration>(duration<double>(c.age)), c.verified));
        EXPECT_EQ(store.hasValidBackup(c.asked, now), c.valid) << c.age << " " << c.verified << " " << c.asked;
        store.add(backup("7E0", now + hours(2), false)); // the latest decides
        EXPECT_FALSE(store.hasValidBackup("7E0", now));
    }
}

TEST(ECUBackupStoreTests, EachBackupGetsItsOwnFileInsideTheFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"../../etc/x", "etcx-1700000000.json"}, {"a b.c_d-E", "abc_d-E-1700000000.json"},
        {"\xC3\xA9\t7E0\n", "7E0-1700000000.json"}};
    for (const auto& [address, name] : cases) EXPECT_EQ(ECUBackupStore::fileName(backup(address, t0)), name) << address;

    TemporaryFolder folder;
    ECUBackupStore store(folder / "Backups");
    for (const char* address : {"7E0", "7E0", "../7E0"}) EXPECT_TRUE(store.add(backup(address, t0 + milliseconds(100))));
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder / "Backups")) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"7E0-1700000000.json", "7E0-1700000000-2.json", "7E0-1700000000-3.json"}));
    EXPECT_EQ(ECUBackupStore(folder / "Backups").all().size(), 3u);
}

TEST(ECUBackupStoreTests, CreateBackupKeepsFirstReadsAndVerifiesOnlyIdenticalSecondReads) {
    using Bytes = std::vector<std::uint8_t>;
    const struct {
        const char* name;
        std::string line; // answered with `reply` on its n-th request (-1: every request)
        int n;
        Bytes reply;
        bool aimed;
        std::set<std::string> keys;
        bool verified;
    } cases[] = {
        {"both read twice alike", "", 0, {}, true, {"0xF187", "0xF188"}, true},
        {"only the echo", "22F187", -1, {0x62, 0xF1, 0x87}, true, {"0xF188"}, true},
        {"second read differs", "22F187", 1, {0x62, 0xF1, 0x87, 0x42}, true, {"0xF187", "0xF188"}, false},
        {"second read refused", "22F188", 1, {0x7F, 0x22, 0x31}, true, {"0xF187", "0xF188"}, false},
        // Another identifier's answer is a wrong one, never this identifier's: left out as unanswered.
        {"only another identifier's answer", "22F187", -1, {0x62, 0xF1, 0x88, 0x41}, true, {"0xF188"}, true},
        {"not aimed at the ECU", "", 0, {}, false, {"0xF187", "0xF188"}, false},
    };
    for (const auto& c : cases) {
        auto transport = std::make_shared<RecordingSimulator>();
        ELM327Session session(transport, {.responseTimeout = std::chrono::milliseconds(300)});
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
        const std::uint16_t dids[] = {0xF187, 0xF188};
        const ECUBackup b = store.createBackup("Moteur", "7E0", {}, client, c.aimed, dids, {});
        std::set<std::string> keys;
        for (const auto& [key, bytes] : b.values) keys.insert(key);
        EXPECT_EQ(keys, c.keys) << c.name;
        EXPECT_EQ(b.verified, c.verified) << c.name;
        if (keys.contains("0xF187")) {
            EXPECT_EQ(b.values.at("0xF187"), text::bytesOf("A2569006200")) << c.name; // the first read's bytes
        }
        EXPECT_EQ(ECUBackupStore(folder.path()).latest("7E0")->id, b.id); // kept and written
    }
}

TEST(ECUBackupStoreTests, TwoStoresOnOneFolderNeverReplaceEachOthersFiles) {
    // Two processes backing up the same ECU within one second pick their names at the same time.
    TemporaryFolder folder;
    ECUBackupStore first(folder.path()), second(folder.path());
    constexpr int perStore = 40;
    {
        std::jthread other([&] {
            for (int i = 0; i < perStore; ++i) EXPECT_TRUE(second.add(backup("7E0", t0)));
        });
        for (int i = 0; i < perStore; ++i) EXPECT_TRUE(first.add(backup("7E0", t0)));
    }
    std::set<std::string> written, loaded;
    for (const auto* store : {&first, &second}) {
        for (const ECUBackup& b : store->all()) written.insert(b.id.uuidString());
    }
    for (const ECUBackup& b : ECUBackupStore(folder.path()).all()) loaded.insert(b.id.uuidString());
    EXPECT_EQ(loaded, written);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 2 * perStore); // no temporary file left
}

TEST(ECUBackupStoreTests, OpeningTheFolderRemovesBackupsThatCrashedWritersLeftHalfWritten) {
    TemporaryFolder folder;
    const std::string dead = std::to_string(veq::testing::endedProcessID());
    const std::string alive = std::to_string(::getpid());
    ECUBackupStore(folder.path()).add(backup("7E0", t0));
    const std::pair<std::string, bool> files[] = {
        {".7E0-1700000001.json.tmp-" + dead + "-0", false},
        {"..7E0-1700000002.json.tmp-" + dead + "-1.tmp-" + dead + "-2", false},
        {".7E0-1700000003.json.tmp-" + alive + "-3", true}, // being written by this process
        {".notes.txt.tmp-" + dead + "-4", true},             // not a backup
    };
    for (const auto& [name, kept] : files) veq::testing::writeFile(folder / name, "{");
    EXPECT_EQ(ECUBackupStore(folder.path()).all().size(), 1u);
    for (const auto& [name, kept] : files) EXPECT_EQ(fs::exists(folder / name), kept) << name;
    EXPECT_TRUE(fs::exists(folder / "7E0-1700000000.json"));
}
