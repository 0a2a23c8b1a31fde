#include "engine/Bells.h"
#include "engine/TextFunctions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace tambrel {
namespace {

TEST(Bells, SymbolsAndStages)
{
    for (const auto& [bell, symbol] : {std::pair{10, '0'}, {11, 'E'}, {12, 'T'}, {16, 'D'}}) {
        EXPECT_EQ(SymbolOf(bell), symbol);
        EXPECT_EQ(BellOf(symbol), bell);
    }
    EXPECT_EQ(BellOf('e'), 11); // upper-cased first
    EXPECT_EQ(BellOf('X'), 0);
    EXPECT_EQ(RoundsText(12), "1234567890ET");
    EXPECT_EQ(StageName(9), "Caters");
    EXPECT_EQ(StageName(17), "");
    EXPECT_EQ(StageListEntry(4), "  4 - Minimus");
    EXPECT_EQ(StageListEntry(16), "16 - Sixteen");
}

TEST(Bells, ChangesSwapPairsOutsideTheirPlaces)
{
    struct Case {
        int bells;
        std::string_view change, row; // row empty: some permutation
    };
    for (const Case c :
         {Case{8, "", "21436587"}, Case{8, "18", "13254768"}, Case{8, "12", "12436587"},
          Case{6, "14", "132465"},
          // A cross on an odd stage, places beyond the stage or that leave a bell
          // without a partner still permute.
          Case{7, "", "2143657"}, Case{7, "9", "2143657"}, Case{7, "31", ""}, Case{7, "2", ""}}) {
        SCOPED_TRACE(c.change);
        const Row row = ApplyChange(Rounds(c.bells), ChangeMovement(c.change, c.bells));
        if (!c.row.empty()) {
            EXPECT_EQ(RowText(row, c.bells), c.row);
        }
        EXPECT_EQ(row * row.Inverse(), Rounds(c.bells));
    }
    EXPECT_EQ(ChangeMovement("", 6)[6], 0); // positions past the stage never move
}

// Products read "b applied to a": (a * b)[p] = a[b[p]].
TEST(Row, ProductInversePowerAndParity)
{
    struct Case {
        std::string_view a, b, product, inverse;
        bool even;
        std::string_view cube;
    };
    for (const Case& c : {
             Case{"13524", "14253", "12345", "14253", false, "14253"},
             Case{"13527486", "21436587", "31254768", "14263857", true, "17856342"},
             Case{"2314", "1243", "2341", "3124", true, "1234"},
             Case{"1234567890ETABDC", "1234567890ETABCD", "1234567890ETABDC", "1234567890ETABDC",
                  false, "1234567890ETABDC"},
         }) {
        SCOPED_TRACE(c.a);
        const Row a = ParseRow(c.a);
        const int bells = static_cast<int>(c.a.size());
        EXPECT_EQ(a.Bells(), bells);
        EXPECT_EQ(RowText(a * ParseRow(c.b), bells), c.product);
        EXPECT_EQ(RowText(a.Inverse(), bells), c.inverse);
        EXPECT_EQ(a * a.Inverse(), Rounds(bells));
        EXPECT_EQ(a.IsEven(), c.even);
        EXPECT_EQ(RowText(a.Power(3), bells), c.cube);
        EXPECT_EQ(a.Power(-1), a.Inverse());
        EXPECT_EQ(a.Power(0), Rounds(bells));
    }
}

TEST(Row, PackedRoundTrips)
{
    for (int bells = kMinBells; bells <= kMaxBells; ++bells) {
        SCOPED_TRACE(bells);
        Row back{}; // rounds backwards: every bell away from home, the 16th at the front
        for (int p = 0; p < bells; ++p) {
            back[static_cast<std::size_t>(p)] = static_cast<std::uint8_t>(bells - p);
        }
        EXPECT_EQ(Row::Unpacked(back.Packed(), bells), back);
        EXPECT_EQ(Row::Unpacked(Rounds(bells).Packed(), bells), Rounds(bells));
        EXPECT_NE(back.Packed(), Rounds(bells).Packed());
    }
}

TEST(TextFunctions, CutsTrimsAndNumbers)
{
    EXPECT_EQ(Left("abc", 2), "ab");
    EXPECT_EQ(Left("abc", -1), "");
    EXPECT_EQ(Right("abcdef", 2), "ef");
    EXPECT_EQ(Right("ab", 5), "ab");
    EXPECT_EQ(TrimRight("  ab  "), "  ab");
    EXPECT_EQ(Trim("  ab c  "), "ab c");
    EXPECT_EQ(Trim("    "), "");
    EXPECT_EQ(PadRight("8", 2), "8 ");
    EXPECT_EQ(PadRight("123", 2), "12");
    EXPECT_EQ(ZeroFill(7, 3), "007");
    EXPECT_EQ(ZeroFill(1234, 3), "234");
    EXPECT_EQ(GroupThousands(999), "999");
    EXPECT_EQ(GroupThousands(1000), "1,000");
    EXPECT_EQ(GroupThousands(1234567), "1,234,567");
}

TEST(TextFunctions, Utf8)
{
    EXPECT_EQ(UpperCase("Sainte-Mère-Église"), "SAINTE-MÈRE-ÉGLISE");
    EXPECT_EQ(UpperCase("Škoda Łódź ÿ ṟ"), "ŠKODA ŁÓDŹ Ÿ Ṟ");
    EXPECT_EQ(UpperCase("straße £2 ₃"), "STRAßE £2 ₃"); // no single upper-case sharp s
    // Broken UTF-8 passes unchanged rather than being lost.
    EXPECT_EQ(UpperCase(std::string("a\xC3") + "b\xFF"), std::string("A\xC3") + "B\xFF");
    EXPECT_EQ(Utf8Length("Église"), 6);
    EXPECT_EQ(Utf8Length("\xFF\xFE"), 2);
    EXPECT_EQ(Utf8Left("Église", 1), "É");
    EXPECT_EQ(Utf8Left("ab", 5), "ab");
}

} // namespace
} // namespace tambrel
