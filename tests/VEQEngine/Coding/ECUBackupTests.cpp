// The backup's checksum against digests made by sha256sum, its file form, and what an edited
// file does to its integrity.
#include "VEQEngine/Coding/ECUBackup.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace veq;
using namespace std::chrono;

namespace {

system_clock::time_point at(double secondsSince1970) {
    return system_clock::time_point{duration_cast<system_clock::duration>(duration<double>(secondsSince1970))};
}

const ECUBackup sample(*UUID::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"), "Moteur", "7E0", at(1706702400),
                       "WDD2571231A123456", {{"0xF190", {0x57, 0x44}}, {"0xF187", {0x41, 0x32}}}, true);

} // namespace

TEST(ECUBackupTests, ChecksumIsTheSHA256OfAddressSecondsKeysAndBytes) {
    const struct {
        const char* stream; // what `printf '<stream>' | sha256sum` digested
        std::string address;
        double seconds;
        ECUBackup::Values values;
        std::string digest;
    } cases[] = {
        {"7E01700000000", "7E0", 1700000000.9, {}, "72df2bbbad00126964f9640a68c77fc007fcd213992753d52a37653c435c8323"},
        {"7E00", "7E0", -0.5, {}, "cefa901ba5d9580ca713aa0ec5fb5d0b7b880075e211993bcdfce1cb67f81db8"},
        {"7E017000000000xF1860xF187A20xF190\\x00\\xff", "7E0", 1700000000,
         {{"0xF190", {0x00, 0xFF}}, {"0xF187", {0x41, 0x32}}, {"0xF186", {}}},
         "7ed9c2a59f8a3f8839cfef188231f086fbf72a0256305841fb4cd524bec4234c"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ECUBackup(UUID::random(), "x", c.address, at(c.seconds), {}, c.values, false).checksum, c.digest) << c.stream;
    }
}

TEST(ECUBackupTests, FileReadsBackIntactAndEditsOfAddressTimeOrValueAreSeen) {
    auto backup = sample;
    backup.createdAt += milliseconds(750); // only whole seconds are written, and sealed
    EXPECT_EQ(nlohmann::json::parse(backup.encoded()).dump(),
              R"({"checksum":")" + sample.checksum + R"(","createdAt":"2024-01-31T12:00:00Z","ecuAddress":"7E0",)"
              R"("ecuName":"Moteur","id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","values":{"0xF187":[65,50],)"
              R"("0xF190":[87,68]},"verified":true,"vin":"WDD2571231A123456"})");
    EXPECT_EQ(ECUBackup::decode(backup.encoded()), sample);

    const struct {
        std::string from, to;
        bool intact;
    } edits[] = {{"65,", "66,", false}, {"\"7E0\"", "\"7E1\"", false}, {"12:00:00Z", "12:00:01Z", false},
                 {"\"Moteur\"", "\"Boîte\"", true}};
    for (const auto& e : edits) {
        std::string text = sample.encoded();
        text.replace(text.find(e.from), e.from.size(), e.to);
        const auto edited = ECUBackup::decode(text);
        ASSERT_TRUE(edited) << e.to;
        EXPECT_EQ(edited->isIntact(), e.intact) << e.to;
    }
}

TEST(ECUBackupTests, DecodeRefusesWhatIsNotABackupFile) {
    const std::pair<std::string, nlohmann::json> edits[] = {
        {"checksum", nullptr}, {"verified", "true"}, {"values", {{"0xF187", {65, 256}}}}, {"vin", nullptr}};
    for (const auto& [key, value] : edits) {
        auto j = nlohmann::json::parse(sample.encoded());
        if (value.is_null()) j.erase(key);
        else j[key] = value;
        EXPECT_EQ(ECUBackup::decode(j.dump()).has_value(), key == "vin") << key; // only the VIN may be left out
    }
    EXPECT_FALSE(ECUBackup::decode(sample.encoded().substr(0, 100)));
}
