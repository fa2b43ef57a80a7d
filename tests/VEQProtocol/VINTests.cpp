#include "VEQProtocol/VIN.hpp"

#include <gtest/gtest.h>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;

namespace {
Bytes ascii(std::string_view s) { return Bytes(s.begin(), s.end()); }
Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
} // namespace

TEST(VINTests, Decode) {
    struct Case { const char* label; Bytes bytes; std::optional<std::string> expected; };
    const Case cases[] = {
        {"count byte then characters", concat({{0x01}, ascii("WDD2571231A123456")}), "WDD2571231A123456"},
        {"zero filler of the last frame", concat({{0x01}, ascii("VF1RFB00X56789012"), {0x00, 0x00, 0x00}}),
         "VF1RFB00X56789012"},
        {"service and PID echoed", concat({{0x49, 0x02, 0x01}, ascii("WDD2571231A123456")}), "WDD2571231A123456"},
        {"18 characters keep the last 17", ascii("XWDD2571231A123456"), "WDD2571231A123456"},
        {"16 characters", concat({{0x01}, ascii("WDD2571231A12345")}), std::nullopt},
        {"lower case is foreign", ascii("wdd2571231a123456"), std::nullopt},
        {"I, O and Q are foreign", concat({ascii("IOQ"), ascii("WDD2571231A123456"), ascii("oiq")}),
         "WDD2571231A123456"},
        {"Latin-1 and control bytes dropped", concat({ascii("WDD25712"), {0xC9, 0x0D, 0xFF, 0x80}, ascii("31A123456")}),
         "WDD2571231A123456"},
        {"empty", {}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(VIN::decode(c.bytes), c.expected) << c.label;
}

TEST(VINTests, Analyze) {
    const auto d = VIN::analyze("WDD2571231A123456");
    ASSERT_TRUE(d);
    EXPECT_EQ(*d, (VIN::Decoded{"WDD", "257123", "1A123456", "1", true}));

    const std::tuple<std::string, bool, bool> cases[] = { // VIN, analysed, the maker's cars
        {"WDC1234567A123456", true, true},  {"W1K1234567A123456", true, true},  {"W1V1234567A123456", true, true},
        {"WDF1234567A123456", true, false}, // the maker's vans
        {"wdd2571231A123456", true, false}, {"WDDO571231A123456", true, true},  // O accepted, no check digit
        {"VF1RFB00X56789012", true, false}, {"WDD2571231A12345", false, false}, {"WDD2571231A1234567", false, false},
        {"", false, false},
    };
    for (const auto& [vin, analysed, mercedes] : cases) {
        const auto r = VIN::analyze(vin);
        ASSERT_EQ(r.has_value(), analysed) << vin;
        if (!r) continue;
        EXPECT_EQ(r->isMercedes, mercedes) << vin;
        EXPECT_EQ(r->wmi + r->vds + r->vis, vin);
        EXPECT_EQ(r->modelYearCode, vin.substr(9, 1));
    }
}

TEST(VINTests, AnalyzeCountsCharactersNotBytes) {
    // 17 characters in 18 bytes: cut by character, the 10th kept whole.
    const auto d = VIN::analyze("WDD257123\u00c9A123456");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->modelYearCode, "\u00c9");
    EXPECT_EQ(d->vis, "\u00c9A123456");
    EXPECT_FALSE(VIN::analyze("WDD25712\u00c9A123456")); // 16 characters in 17 bytes
}
