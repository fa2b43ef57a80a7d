#include "VEQProtocol/DataIdentifier.hpp"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;

TEST(DataIdentifierTests, StandardListInOrder) {
    const auto& standard = DataIdentifier::standard();
    ASSERT_EQ(standard.size(), 8u);
    const std::uint16_t ids[] = {0xF186, 0xF187, 0xF188, 0xF18C, 0xF190, 0xF191, 0xF195, 0xF197};
    for (std::size_t i = 0; i < standard.size(); ++i) {
        EXPECT_EQ(standard[i].id, ids[i]);
        EXPECT_EQ(standard[i].isASCII, ids[i] != 0xF186) << standard[i].hexID();
    }
    EXPECT_EQ(standard[1].name, "Numéro de pièce constructeur");
    EXPECT_EQ(standard[3].name, "Numéro de série ECU");
    EXPECT_EQ(standard[7].name, "Nom du système");
}

TEST(DataIdentifierTests, NamedAndHexID) {
    EXPECT_EQ(DataIdentifier::named(0xF190), (DataIdentifier{0xF190, "VIN", true}));
    EXPECT_EQ(DataIdentifier::named(0xF186), (DataIdentifier{0xF186, "Session diagnostique active", false}));
    EXPECT_EQ(DataIdentifier::named(0x1234), (DataIdentifier{0x1234, "DID 0x1234", false}));
    EXPECT_EQ(DataIdentifier::named(0x0101).name, "DID 0x0101");
    EXPECT_EQ(DataIdentifier::named(0x00AB).name, "DID 0x00AB");
    EXPECT_EQ(DataIdentifier::named(0xF190).hexID(), "0xF190");
    EXPECT_EQ(DataIdentifier::named(0x0001).hexID(), "0x0001");
    EXPECT_EQ(DataIdentifier::named(0xBEEF).hexID(), "0xBEEF");
}

TEST(DataIdentifierTests, Interpret) {
    const DataIdentifier vin = DataIdentifier::named(0xF190);
    const DataIdentifier session = DataIdentifier::named(0xF186);
    const DataIdentifier unknown = DataIdentifier::named(0x0101);
    const std::string vinText = "WDD2571231A123456";
    Bytes padded{0x00, 0x00};
    padded.insert(padded.end(), vinText.begin(), vinText.end());

    struct Case { const DataIdentifier& did; Bytes bytes; const char* expected; };
    const Case cases[] = {
        {vin, Bytes(vinText.begin(), vinText.end()), "WDD2571231A123456"},
        {vin, padded, "WDD2571231A123456"},                  // filler vanishes, not shown as spaces
        {vin, {'A', 0x0A, 'B', 0x7F, 'C', 0x80, ' '}, "ABC "}, // every non-printable byte dropped
        {vin, {0x20, 0x7E}, " ~"},                           // the printable range is inclusive
        {vin, {0x00, 0x00, 0x00}, "00 00 00"},               // nothing printable: hexadecimal dump
        {vin, {0xFF, 0xFF}, "FF FF"},
        {session, {0x03}, "03"},
        {session, {'A', 'B'}, "41 42"},                      // not text: dump even if printable
        {unknown, {0x0A, 0xBC, 0x00}, "0A BC 00"},
        {vin, {}, ""},
        {session, {}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.did.interpret(c.bytes), c.expected) << c.did.hexID();
}

TEST(DataIdentifierTests, EqualityAndHashUseEveryField) {
    const DataIdentifier a{0xF190, "VIN", true};
    const DataIdentifier variants[] = {{0xF191, "VIN", true}, {0xF190, "NIV", true}, {0xF190, "VIN", false}};
    std::unordered_set<DataIdentifier> set{a, DataIdentifier::named(0xF190)};
    EXPECT_EQ(set.size(), 1u);
    for (const auto& v : variants) {
        EXPECT_NE(v, a);
        set.insert(v);
    }
    EXPECT_EQ(set.size(), 4u);
}
