#include "app/Catalogue.h"

#include <gtest/gtest.h>

namespace {

using app::platformIdFilter;
using app::platformStringFilter;

TEST(PlatformIdFilter, OnlyTheExactPair)
{
    EXPECT_TRUE(platformIdFilter(0x0483, 0xA110));
    EXPECT_FALSE(platformIdFilter(0x0483, 0xA111));
    EXPECT_FALSE(platformIdFilter(0x0484, 0xA110));
    EXPECT_FALSE(platformIdFilter(0xA110, 0x0483));
    // Full 32-bit comparison: high bits are not masked away.
    EXPECT_FALSE(platformIdFilter(0x10483, 0xA110));
    EXPECT_FALSE(platformIdFilter(0x0483, 0x1A110));
}

struct StringCase {
    const wchar_t* manufacturer;
    const wchar_t* product;
    bool accepted;
};

class PlatformStringFilter : public ::testing::TestWithParam<StringCase> {};

TEST_P(PlatformStringFilter, ExactMatchRules)
{
    const StringCase& c = GetParam();
    EXPECT_EQ(c.accepted, platformStringFilter(0x0483, 0xA110, c.manufacturer, c.product))
        << "manufacturer '" << testing::PrintToString(std::wstring(c.manufacturer))
        << "' product " << testing::PrintToString(std::wstring(c.product));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlatformStringFilter,
    ::testing::Values(StringCase{L"Tervalis", L"Quorvel Motion 2", true},
                      StringCase{L"KPX", L"Anything", true},
                      StringCase{L"kpx", L"Anything", false},
                      StringCase{L"KPX ", L"Anything", false},
                      StringCase{L"KP", L"Anything", false},
                      StringCase{L"", L"Anything", false},
                      StringCase{L"tervalis", L"Anything", false},
                      StringCase{L"Tervalis Inc", L"Anything", false},
                      StringCase{L"Tervalis", L"", true},
                      StringCase{L"Tervalis", L"Emberload", false},
                      StringCase{L"Tervalis", L"Emberload-X", false},
                      StringCase{L"KPX", L"Emberload-2", false},
                      StringCase{L"Tervalis", L"emberload", true},
                      StringCase{L"Tervalis", L"Emberload ", true},
                      StringCase{L"Tervalis", L"Emberload-3", true},
                      StringCase{L"Tervalis", L"Emberloa", true},
                      StringCase{L"Other", L"Emberload", false}));

// The identifiers are ignored, and a string is not cut at an embedded NUL.
TEST(PlatformStringFilterEdges, IdentifiersIgnoredAndNulKept)
{
    EXPECT_TRUE(platformStringFilter(0, 0, L"Tervalis", L"X"));
    EXPECT_TRUE(platformStringFilter(0xFFFFFFFF, 1, L"KPX", L"X"));
    EXPECT_FALSE(platformStringFilter(0x0483, 0xA110, std::wstring(L"KPX\0!", 5), L"X"));
    EXPECT_TRUE(platformStringFilter(0x0483, 0xA110, L"KPX", std::wstring(L"Emberload\0", 10)));
}

} // namespace
