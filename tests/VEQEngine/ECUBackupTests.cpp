// The backup value: its checksum against digests made by sha256sum, its file form, and what an
// edited file does to its integrity.
#include "VEQEngine/ECUBackup.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>

using namespace veq;
using namespace std::chrono;
using namespace std::string_literals;

namespace {

system_clock::time_point at(double secondsSince1970) {
    return system_clock::time_point{duration_cast<system_clock::duration>(duration<double>(secondsSince1970))};
}

ECUBackup sample(std::optional<std::string> vin = "WDD2571231A123456") {
    return ECUBackup(*UUID::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"), "Moteur", "7E0", at(1706702400), vin,
                     {{"0xF190", {0x57, 0x44}}, {"0xF187", {0x41, 0x32}}}, true);
}

} // namespace

TEST(ECUBackupTests, ChecksumIsTheSHA256OfAddressSecondsKeysAndBytes) {
    struct Case {
        std::string address;
        double seconds;
        ECUBackup::Values values;
        std::string digest; // printf '<stream>' | sha256sum
    };
    const Case cases[] = {
        {"7E0", 1700000000, {}, "72df2bbbad00126964f9640a68c77fc007fcd213992753d52a37653c435c8323"},   // "7E01700000000"
        {"7E0", 1700000000.9, {}, "72df2bbbad00126964f9640a68c77fc007fcd213992753d52a37653c435c8323"}, // fraction dropped
        {"7E0", -5, {}, "346fc4ad4e2680596849b38fa3e4b5cf4f650232f50daaa794dcf6ff19e69ab6"},            // "7E0-5"
        {"7E0", -0.5, {}, "cefa901ba5d9580ca713aa0ec5fb5d0b7b880075e211993bcdfce1cb67f81db8"},          // toward zero: "7E00"
        {"18DA10F1", -86400, {}, "8f33123fc8eacfbac8a791a63df7890a63d4a0259a1e3e2f2bd31b794c1e6fb9"},
        // Keys in ascending order whatever order they were given in; an empty value adds only its key.
        {"7E0", 1700000000, {{"0xF190", {0x00, 0xFF}}, {"0xF187", {0x41, 0x32}}, {"0xF186", {}}},
         "7ed9c2a59f8a3f8839cfef188231f086fbf72a0256305841fb4cd524bec4234c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address + " " + std::to_string(c.seconds));
        EXPECT_EQ(ECUBackup::computeChecksum(c.values, c.address, at(c.seconds)), c.digest);
        EXPECT_EQ(ECUBackup(UUID::random(), "x", c.address, at(c.seconds), {}, c.values, false).checksum, c.digest);
    }
}

TEST(ECUBackupTests, FileFormIsSortedIndentedJSONWithWholeSeconds) {
    auto backup = sample();
    backup.createdAt += milliseconds(750); // never written, so the file still reads back intact
    const std::string expected = R"({
  "checksum": ")" + backup.checksum + R"(",
  "createdAt": "2024-01-31T12:00:00Z",
  "ecuAddress": "7E0",
  "ecuName": "Moteur",
  "id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F",
  "values": {
    "0xF187": [
      65,
      50
    ],
    "0xF190": [
      87,
      68
    ]
  },
  "verified": true,
  "vin": "WDD2571231A123456"
})";
    EXPECT_EQ(backup.encoded(), expected);
    EXPECT_EQ(sample(std::nullopt).encoded().find("vin"), std::string::npos);

    const auto back = ECUBackup::decode(backup.encoded());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, sample());
    EXPECT_TRUE(back->isIntact());
}

TEST(ECUBackupTests, EditingAddressTimeOrAValueBreaksIntegrityAndNothingElseDoes) {
    struct Case {
        const char* edit;
        std::string from, to;
        bool intact;
    };
    const Case cases[] = {
        {"value byte", "65,", "66,", false},
        {"address", "\"7E0\"", "\"7E1\"", false},
        {"time", "12:00:00Z", "12:00:01Z", false},
        {"name", "\"Moteur\"", "\"Boîte\"", true},
        {"vin", "A123456", "A123457", true},
        {"verified", "true", "false", true},
        {"id", "E621E1F8", "E621E1F9", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edit);
        std::string text = sample().encoded();
        const auto where = text.find(c.from);
        ASSERT_NE(where, std::string::npos);
        text.replace(where, c.from.size(), c.to);
        const auto edited = ECUBackup::decode(text);
        ASSERT_TRUE(edited);
        EXPECT_EQ(edited->checksum, sample().checksum); // the stored checksum is never recomputed
        EXPECT_EQ(edited->isIntact(), c.intact);
    }
}

TEST(ECUBackupTests, DecodeRefusesWhatIsNotABackupFile) {
    const std::function<void(nlohmann::json&)> edits[] = {
        [](auto& j) { j.erase("checksum"); },
        [](auto& j) { j.erase("createdAt"); },
        [](auto& j) { j.erase("ecuAddress"); },
        [](auto& j) { j.erase("ecuName"); },
        [](auto& j) { j.erase("id"); },
        [](auto& j) { j.erase("values"); },
        [](auto& j) { j.erase("verified"); },
        [](auto& j) { j["createdAt"] = "2024-01-31T12:00:00.250Z"; },
        [](auto& j) { j["createdAt"] = "2024-01-31T12:00:00"; },
        [](auto& j) { j["createdAt"] = 1706702400; },
        [](auto& j) { j["id"] = "not-a-uuid"; },
        [](auto& j) { j["verified"] = "true"; },
        [](auto& j) { j["values"]["0xF187"] = {65, 256}; },
        [](auto& j) { j["values"]["0xF187"] = {65, -1}; },
        [](auto& j) { j["values"]["0xF187"] = {65, 1.5}; },
        [](auto& j) { j["values"]["0xF187"] = "A2"; },
        [](auto& j) { j["vin"] = 42; },
        [](auto& j) { j = nlohmann::json::array(); },
    };
    for (std::size_t i = 0; i < std::size(edits); ++i) {
        SCOPED_TRACE(i);
        auto j = nlohmann::json::parse(sample().encoded());
        edits[i](j);
        EXPECT_FALSE(ECUBackup::decode(j.dump()));
    }
    EXPECT_FALSE(ECUBackup::decode(sample().encoded().substr(0, 100))); // truncated file
    EXPECT_FALSE(ECUBackup::decode("\xFF\xFE"));

    // Unknown keys are ignored; a null or absent VIN is no VIN.
    auto j = nlohmann::json::parse(sample().encoded());
    j["comment"] = "ajouté à la main";
    j["vin"] = nullptr;
    const auto tolerant = ECUBackup::decode(j.dump());
    ASSERT_TRUE(tolerant);
    EXPECT_EQ(tolerant->vin, std::nullopt);
    EXPECT_TRUE(tolerant->isIntact());
}

TEST(ECUBackupTests, AgeAndFreshness) {
    const auto backup = sample();
    const struct {
        double secondsAfter;
        bool fresh;
    } cases[] = {{0, true}, {86399.999, true}, {86400, false}, {-3600, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.secondsAfter);
        const auto now = backup.createdAt + duration_cast<system_clock::duration>(duration<double>(c.secondsAfter));
        EXPECT_NEAR(backup.age(now), c.secondsAfter, 1e-6);
        EXPECT_EQ(backup.isFresh(now), c.fresh);
    }
    EXPECT_EQ(backup.didCount(), 2u);
    EXPECT_EQ(ECUBackup::key(0xF18C), "0xF18C");
    EXPECT_EQ(ECUBackup::key(0x0151), "0x0151");
}
