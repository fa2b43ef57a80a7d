#include "VEQTransport/ELM327Emulator.hpp"

#include <gtest/gtest.h>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The reply lines to `line` sent to `header`, echo off; the prompt checked and removed.
std::string ask(std::string_view header, std::string_view line, bool headers = false,
                const VehicleState& state = VehicleSimulation().state(0)) {
    ELM327Emulator emulator;
    emulator.echo = false;
    emulator.headers = headers;
    emulator.currentTxHeader = std::string(header);
    const Bytes bytes = emulator.respond(line, state);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_TRUE(text.ends_with("\r\r>")) << text;
    if (text.ends_with("\r\r>")) text.resize(text.size() - 3);
    return text;
}

struct Exchange {
    std::string_view header;
    std::string_view request;
    std::string_view lines; // frames joined by CR, headers off
};

// clang-format off
const Exchange exchanges[] = {
    // session control: any session, fixed timings
    {"7E0", "1003",     "065003003201F400"},
    {"7E0", "10",       "065001003201F400"},
    {"7E1", "1002",     "065002003201F400"},
    // clear codes: acknowledged
    {"7E0", "14FFFFFF", "0154000000000000"},
    // trouble codes by status mask (the mask is not examined)
    {"7E0", "1902FF",   "100B5902FF030064\r2108017100080000"},
    {"7E0", "190208",   "100B5902FF030064\r2108017100080000"},
    {"7E0", "19",       "100B5902FF030064\r2108017100080000"},
    {"7E1", "1902FF",   "075902FF07156208"},
    {"7E0", "1901FF",   "037F191200000000"},
    // data identifiers: identification, live, unknown, too short
    {"7E0", "22F188",   "100E62F188303034\r21342F332E31312E\r2230000000000000"},
    {"7E0", "222001",   "056220010BE40000"},   // 761 rpm × 4
    {"7E0", "222003",   "05622003001E0000"},   // 3 kPa × 10
    {"7E0", "222004",   "046220043D000000"},
    {"7E1", "222011",   "0462201145000000"},   // 21.2 + 8 + 40 = 69.2 → 69
    {"7E1", "222012",   "0562201200000000"},
    {"7E0", "222010",   "037F223100000000"},   // gear belongs to the transmission
    {"7E1", "222001",   "037F223100000000"},   // engine speed belongs to the engine
    {"7E0", "221234",   "037F223100000000"},
    {"7E0", "22F1",     "037F221300000000"},
    {"7E0", "22",       "037F221300000000"},
    {"7E0", "22200120", "056220010BE40000"},   // only the first identifier is read
    // security access: a fixed seed, every key refused
    {"7E0", "2701",     "0667015AC3197E00"},
    {"7E0", "27",       "0667015AC3197E00"},
    {"7E1", "2703",     "0667035AC3197E00"},
    {"7E0", "270211223344", "037F273500000000"},
    // writing is always denied
    {"7E0", "2EF19001", "037F2E3300000000"},
    // tester present, even with the suppress bit
    {"7E0", "3E00",     "027E000000000000"},
    {"7E1", "3E80",     "027E000000000000"},
    // routed here but not supported
    {"7E0", "1101",     "037F111100000000"},
    {"7E0", "3101FF00", "037F311100000000"},
    // only the two units answer, the functional address included
    {"7DF", "1003",     "NO DATA"},
    {"7E2", "22F190",   "NO DATA"},
    {"",    "3E00",     "NO DATA"},
};
// clang-format on

} // namespace

TEST(ELM327EmulatorUDSTests, ServicesWithHeadersOff) {
    for (const Exchange& e : exchanges) {
        EXPECT_EQ(ask(e.header, e.request), e.lines) << e.header << " " << e.request;
    }
}

TEST(ELM327EmulatorUDSTests, RepliesCarryTheUnitsHeader) {
    EXPECT_EQ(ask("7E0", "1902FF", true), "7E8100B5902FF030064\r7E82108017100080000");
    // 62 F1 90 and the 17 characters of the VIN, from the transmission.
    EXPECT_EQ(ask("7E1", "22F190", true), "7E9101462F190574444\r7E92132353731323331\r7E92241313233343536");
    EXPECT_EQ(ask("7E1", "1003", true), "7E9065003003201F400");
}

TEST(ELM327EmulatorUDSTests, LiveIdentifiersFollowTheState) {
    VehicleState state = VehicleSimulation().state(115); // reverse
    EXPECT_EQ(ask("7E1", "222010", false, state), "0462201000000000"); // reverse reads as 0
    state = VehicleSimulation().state(52.5);
    EXPECT_EQ(ask("7E1", "222010", false, state), "0462201008000000");
    EXPECT_EQ(ask("7E1", "222012", false, state), "0562201230F00000"); // 12528
}

TEST(ELM327EmulatorUDSTests, TruncatedBytesDifferFromTheRoundedModeOneValue) {
    VehicleState state;
    state.coolantC = 61.9;
    EXPECT_EQ(ask("7E0", "222002", false, state), "0462200265000000"); // 101.9 truncated to 101
    EXPECT_EQ(ask("7DF", "0105", false, state), "0341056600000000");    // 101.9 rounded to 102
}

TEST(ELM327EmulatorUDSTests, IdentificationTable) {
    ELM327Emulator emulator;
    auto text = [](std::string_view s) { return std::optional<Bytes>(Bytes(s.begin(), s.end())); };
    // clang-format off
    const struct { std::uint16_t id; std::string_view ecu; std::optional<Bytes> bytes; } cases[] = {
        {0xF187, "7E0", text("A2569006200")},    {0xF187, "7E1", text("A7252702300")},
        {0xF18C, "7E0", text("MB2560M2561184")}, {0xF18C, "7E1", text("MB2540B0091122")},
        {0xF195, "7E0", text("0044/3.11.0")},    {0xF195, "7E1", text("0014/1.09.0")},
        {0xF197, "7E0", text("M256 ECM")},       {0xF197, "7E5", text("VGS 9G-TRONIC")}, // other headers: transmission
        {0xF189, "7E0", std::nullopt},           {0x2001, "7E0", std::nullopt},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(emulator.didData(c.id, c.ecu), c.bytes) << std::hex << c.id << " " << c.ecu;
    }
    emulator.vin = "VF1AAAAAAAAAAAAAA";
    EXPECT_EQ(emulator.didData(0xF190, "7E1"), text("VF1AAAAAAAAAAAAAA")); // the emulator's own VIN
}

TEST(ELM327EmulatorUDSTests, LiveTableBelongsToItsUnit) {
    const VehicleState state = VehicleSimulation().state(0);
    EXPECT_EQ(ELM327Emulator::liveDID(0x2001, "7E0", state), (Bytes{0x0B, 0xE4}));
    EXPECT_EQ(ELM327Emulator::liveDID(0x2002, "7E0", state), (Bytes{0x3D})); // 61.12 truncated
    EXPECT_FALSE(ELM327Emulator::liveDID(0x2010, "7DF", state));
    EXPECT_FALSE(ELM327Emulator::liveDID(0x2005, "7E0", state));
}

TEST(ELM327EmulatorUDSTests, ReplyHeaderForARequestHeader) {
    // clang-format off
    const struct { std::string_view request; std::string_view reply; } cases[] = {
        {"7E0", "7E8"}, {"7E1", "7E9"}, {"7E7", "7EF"}, {"0", "008"}, {"18DA", "18E2"}, {"FFFF", "10007"},
        {"", "7E8"}, {"7G0", "7E8"}, {"18DA10F1", "7E8"}, {"12345", "7E8"},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(ELM327Emulator::udsRxHeader(c.request), c.reply) << c.request;
    }
}
