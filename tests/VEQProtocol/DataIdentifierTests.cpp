#include "VEQProtocol/DataIdentifier.hpp"

#include <gtest/gtest.h>


using namespace veq;
using Bytes = std::vector<std::uint8_t>;

TEST(DataIdentifierTests, StandardListNamesAndHexID) {
    std::vector<std::uint16_t> ids;
    for (const auto& d : DataIdentifier::standard()) {
        ids.push_back(d.id);
        EXPECT_EQ(DataIdentifier::named(d.id), d);
        EXPECT_EQ(d.isASCII, d.id != 0xF186) << d.hexID();
    }
    EXPECT_EQ(ids, (std::vector<std::uint16_t>{0xF186, 0xF187, 0xF188, 0xF18C, 0xF190, 0xF191, 0xF195, 0xF197}));
    EXPECT_EQ(DataIdentifier::named(0xF190), (DataIdentifier{0xF190, "VIN", true}));
    EXPECT_EQ(DataIdentifier::named(0xF186), (DataIdentifier{0xF186, "Session diagnostique active", false}));
    EXPECT_EQ(DataIdentifier::named(0x00AB), (DataIdentifier{0x00AB, "DID 0x00AB", false}));
    EXPECT_EQ(DataIdentifier::named(0x0001).hexID(), "0x0001");
    EXPECT_EQ(DataIdentifier::named(0xBEEF).hexID(), "0xBEEF");
}

TEST(DataIdentifierTests, Interpret) {
    const DataIdentifier vin = DataIdentifier::named(0xF190);
    const DataIdentifier session = DataIdentifier::named(0xF186);
    struct Case { const DataIdentifier& did; Bytes bytes; const char* expected; };
    const Case cases[] = {
        {vin, {0x00, 0x00, 'W', 'D', 'D', '2'}, "WDD2"},      // filler vanishes, not shown as spaces
        {vin, {'A', 0x0A, 'B', 0x7F, 'C', 0x80, ' '}, "ABC "}, // every non-printable byte dropped
        {vin, {0x20, 0x7E}, " ~"},                           // the printable range is inclusive
        {vin, {0x00, 0x00, 0x00}, "00 00 00"},               // nothing printable: hexadecimal dump
        {session, {'A', 'B'}, "41 42"},                      // not text: dump even if printable
        {DataIdentifier::named(0x0101), {0x0A, 0xBC, 0x00}, "0A BC 00"},
        {vin, {}, ""},
        {session, {}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.did.interpret(c.bytes), c.expected) << c.did.hexID();
}
