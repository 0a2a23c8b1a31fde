#include "library/CallsData.h"
#include "engine/Bells.h"
#include "engine/CCNotation.h"
#include "engine/PlaceNotation.h"
#include "engine/TextFunctions.h"
#include "library/TfrmDataMod.h"
#include "tables/Delimited.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace tambrel {
namespace {

using test::Repeat;

// Where each call is rung: the method whose call leads show it.
std::string Representative(int bells, const std::string& ref)
{
    const std::string n(1, SymbolOf(bells));
    const bool even = bells % 2 == 0;
    if (ref == "01" || ref == "02") {
        return even ? Repeat("-1" + n, bells / 2) + ",12"
                    : Repeat(n + ".1.", (bells - 1) / 2) + n + ",12" + n;
    }
    if (ref == "03" || ref == "04") {
        return even ? Repeat("-1" + n, bells / 2) + ",1" + n
                    : Repeat(n + ".1.", (bells - 1) / 2) + n + ",1";
    }
    if (ref == "05" || ref == "06") {
        std::string back = Repeat(n + ".1.", (bells - 1) / 2);
        return even ? "3" + n + "," + Repeat("1" + n + "-", bells / 2)
                    : "3,1." + back.substr(0, back.size() - 1);
    }
    if (ref == "07" || ref == "08") {
        return "3.1." + n + ".3.1.3,1";
    }
    return bells == 9 ? "9,1.5.1.7.3.9.5.9.1" : "E,1.5.1.E.3.9.1.E.7.E.1";
}

// Odd when a change swaps an odd number of pairs: the nature it gives a row.
int Parity(const std::string& change, int bells)
{
    return ((bells - static_cast<int>(change.size())) / 2) % 2;
}

// Every stage has the calls the rules choose, each rung in the method it is meant for: its lines
// name bells the call moves, and a bob keeps the nature of the lead head where a single changes
// it (not on five bells, where every one-change call at a 125 lead end keeps it).
TEST(BundledCalls, EveryStageHasTheCallsTheRulesChooseAndTheyDoWhatTheySay)
{
    // The calls are read from the table built from the bundled file, as the program reads them.
    const test::LibraryDir dir(test::kSmallMethodsCsv, test::ReadFile(TAMBREL_CALLS_CSV));
    TfrmDataMod module(dir.Library(), dir.Data());
    ASSERT_TRUE(module.EnsureTables());
    ASSERT_TRUE(module.OpenTables("CALLS"));
    const CallsLibrary calls = ReadCallsTable(module.dbfCalls);
    std::string error;
    const std::optional<CallsLibrary> file = ReadCallsFile(TAMBREL_CALLS_CSV, error);
    ASSERT_TRUE(file) << error;
    std::ifstream in(TAMBREL_CALLS_CSV);
    std::vector<std::vector<std::string>> records;
    for (std::string line; std::getline(in, line);) {
        records.push_back(SplitDelimitedLine(line));
    }
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0][2], "TB_Calls_Library");
    EXPECT_LE(records[0][3].size(), 20U);
    for (const CallsLibrary* read : {&calls, &*file}) {
        EXPECT_EQ(read->buildText, records[0][3]);
        EXPECT_EQ(read->Size(), records.size() - 1);
    }
    std::set<std::pair<int, std::string>> codes;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const std::vector<std::string>& r = records[i];
        ASSERT_EQ(r.size(), 5U) << i;
        const int bells = std::stoi(r[0]);
        const std::string& ref = r[1];
        SCOPED_TRACE(r[0] + " " + ref);
        EXPECT_TRUE(IsValidStage(bells));
        EXPECT_EQ(CheckPlaceNotation(r[3], bells), "");
        EXPECT_TRUE(!r[2].empty() && r[2].size() <= 20U && r[3].size() <= 20U);
        EXPECT_TRUE(!r[4].empty() && r[4].size() <= 10U);
        EXPECT_TRUE(codes.insert({bells, ref}).second) << "twice";
        for (const CallsLibrary* read : {&calls, &*file}) {
            ASSERT_NE(read->Find(bells, ref), nullptr);
            const CallRecord& call = *read->Find(bells, ref);
            EXPECT_EQ(call.name + "|" + call.places + "|" + call.lines,
                      r[2] + "|" + r[3] + "|" + r[4]);
        }

        const auto store = test::Calculated(
            bells, *ExpandCCNotation(Representative(bells, ref)).value, "Test", &calls);
        store->Owner() = CallChoice{ref, "", ref, ""};
        store->RecalcCalls();
        EXPECT_EQ(store->BobLines(), r[4]);
        // Ring the plain and the call lead side by side from the diagram's starting row.
        const int length = store->LeadLength();
        Row plain = store->RowAt(store->RowCount() - length / 2);
        Row call = plain;
        std::set<int> moved;
        int plainParity = 0;
        int callParity = 0;
        for (int p = 1; p <= length; ++p) {
            const int change = p <= length / 2 ? length - length / 2 + p : p - length / 2;
            plain = ApplyChange(plain, ChangeMovement(store->GetChange(change), bells));
            call = ApplyChange(call, ChangeMovement(store->GetBobChange(p), bells));
            for (std::size_t q = 0; q < static_cast<std::size_t>(bells); ++q) {
                if (plain[q] != call[q]) {
                    moved.insert(plain[q]);
                }
            }
            plainParity += Parity(store->GetChange(p), bells);
            callParity += Parity(store->GetBobChange(p), bells);
        }
        for (const char symbol : r[4]) {
            EXPECT_GE(BellOf(symbol), 2) << symbol; // the treble is always drawn anyway
            EXPECT_EQ(moved.count(BellOf(symbol)), 1U) << symbol;
        }
        const bool bob = std::stoi(ref) % 2 == 1;
        EXPECT_TRUE(bells == 5 || (plainParity % 2 == callParity % 2) == bob)
            << (bob ? "a bob" : "a single");
    }
    for (int bells = kMinBells; bells <= kMaxBells; ++bells) {
        for (int code = 1; code <= (bells == 9 || bells == 11 ? 10 : 8); ++code) {
            EXPECT_EQ(codes.count({bells, ZeroFill(code, 2)}), 1U) << bells << " bells, " << code;
        }
    }
}

TEST(CallsData, FilesWithoutTheMarkerAreRefused)
{
    const test::TempDir dir;
    std::string error;
    EXPECT_FALSE(ReadCallsFile(dir.Write("a.csv", "8,01,Bob,14,234\n"), error));
    EXPECT_EQ(error,
              "The calls file " + dir.Path("a.csv") + " does not begin with its marker record.");
    EXPECT_FALSE(ReadCallsFile(dir.Path("missing.csv"), error));
    // Twenty characters fill the table's field and are kept; twenty-one are not, and said.
    const std::string twenty = "1234.1234.1234.12345";
    std::vector<std::string> warnings;
    const std::optional<CallsLibrary> calls =
        ReadCallsFile(dir.Write("b.csv", "0,00,TB_Calls_Library,Build,\n8,1,Bob,14,234\n"
                                         "8,02,Long," +
                                             twenty + "1,\n8,03,Full," + twenty + ",\n"),
                      error, &warnings);
    ASSERT_TRUE(calls);
    EXPECT_EQ(calls->Size(), 2U);
    EXPECT_NE(calls->Find(8, "01"), nullptr);
    ASSERT_NE(calls->Find(8, "03"), nullptr);
    EXPECT_EQ(calls->Find(8, "03")->places, twenty);
    EXPECT_EQ(calls->Find(8, "02"), nullptr);
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "The call Long (8 bells, 02) has a notation of 21 characters; at most "
                            "20 fit the calls table, so it is left out."}));
    EXPECT_EQ(calls->buildText, "Build");
}

} // namespace
} // namespace tambrel
