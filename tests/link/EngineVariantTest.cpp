#include "wire/EngineVariant.h"

#include <gtest/gtest.h>

namespace ecu {
namespace {

TEST(EngineVariant, ComboIndexesMapBothWaysAndAnythingElseIsNone) {
    EXPECT_EQ(VariantFromIndex(0), EngineVariant::Sohc);
    EXPECT_EQ(VariantFromIndex(1), EngineVariant::Dohc);
    for (const int other : {-1, 2, 5, -100})
        EXPECT_EQ(VariantFromIndex(other), EngineVariant::None) << other;
    for (const EngineVariant v : {EngineVariant::Sohc, EngineVariant::Dohc, EngineVariant::None})
        EXPECT_EQ(VariantFromIndex(VariantIndex(v)), v);
    EXPECT_EQ(VariantIndex(EngineVariant::None), -1);
}

TEST(EngineVariant, ParserTakesOnlyTheTwoLowerCaseNames) {
    EXPECT_EQ(ParseVariant("sohc"), EngineVariant::Sohc);
    EXPECT_EQ(ParseVariant("dohc"), EngineVariant::Dohc);
    for (const char* refused : {"", "SOHC", "Dohc", "auto", "none", "sohc ", "dohc\n", "soh"})
        EXPECT_EQ(ParseVariant(refused), std::nullopt) << '"' << refused << '"';
    EXPECT_STREQ(VariantName(EngineVariant::Dohc), "DOHC");
}

} // namespace
} // namespace ecu
