// Identifier ranges: counts in 32 bits, identities and the table offered to the user.
#include "VEQEngine/DIDRange.hpp"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace veq;

namespace {

TEST(DIDRange, CountAndIdentity) {
    struct Case {
        std::uint16_t start;
        std::uint16_t end;
        std::int32_t count;
        std::string id;
    };
    const Case cases[] = {
        {0xF180, 0xF1FF, 128, "61824-61951"},
        {0x0000, 0xFFFF, 65536, "0-65535"},
        {0xF190, 0xF190, 1, "61840-61840"},
        {0x0200, 0x0100, 0, "512-256"}, // start above end: empty
    };
    for (const Case& c : cases) {
        const DIDRange r{c.start, c.end, "n", "d"};
        EXPECT_EQ(r.count(), c.count) << c.id;
        EXPECT_EQ(r.id(), c.id);
    }
}

TEST(DIDRange, PriorityTable) {
    const auto& table = DIDRange::priority();
    ASSERT_EQ(table.size(), 5u);
    EXPECT_EQ(table[0], (DIDRange{0xF180, 0xF1FF, "Identification (ISO)",
                                  "Numéros de pièce, versions logicielles, VIN, numéros de série. Normalisé \u2014 "
                                  "le plus rentable."}));
    EXPECT_EQ(table[3].name, "Mesures constructeur");
    EXPECT_EQ(table[4].count(), 65536);
    std::unordered_set<DIDRange> distinct(table.begin(), table.end());
    EXPECT_EQ(distinct.size(), table.size());
    DIDRange renamed = table[1];
    renamed.detail += ".";
    EXPECT_FALSE(distinct.contains(renamed));
}

} // namespace
