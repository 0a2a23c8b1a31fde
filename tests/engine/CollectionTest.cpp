// Runs every method of the Central Council collection through the engine and compares the lead
// heads and lead-head codes with the collection's own columns.
#include "engine/Bells.h"
#include "engine/CCNotation.h"
#include "engine/Messages.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"
#include "tables/Delimited.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tambrel {
namespace {

struct Kinds {
    std::map<std::string, int> counts;
    std::map<std::string, std::string> example;

    void Add(const std::string& kind, const std::string& title)
    {
        ++counts[kind];
        example.emplace(kind, title);
    }
};

int CodeIndex(std::string_view code, bool withPlace)
{
    static constexpr std::string_view kFirst[] = {"A",  "B",  "C",  "C1", "C2", "C3", "C4",
                                                  "D4", "D3", "D2", "D1", "D",  "E",  "F",
                                                  "P",  "P1", "P2", "Q2", "Q1", "Q"};
    static constexpr std::string_view kSecond[] = {"G",  "H",  "J",  "J1", "J2", "J3", "J4",
                                                   "K4", "K3", "K2", "K1", "K",  "L",  "M",
                                                   "R",  "R1", "R2", "S2", "S1", "S"};
    const auto& list = withPlace ? kFirst : kSecond;
    const auto* found = std::find(std::begin(list), std::end(list), code);
    return found == std::end(list) ? -1 : static_cast<int>(found - std::begin(list));
}

// Sorts a disagreement between our code and the collection's into its known kind.
std::string CodeDifference(int stage, const std::string& ours, const std::string& theirs)
{
    const bool oddStage = stage % 2 != 0;
    const bool oldNumbering = (ours == "P1" && theirs == "P2") ||
                              (ours == "Q1" && theirs == "Q2") ||
                              (ours == "R1" && theirs == "R2") || (ours == "S1" && theirs == "S2");
    if (oddStage && oldNumbering) {
        return "odd stage: our table numbers the third power 1, the collection 2";
    }
    if (ours == "Z") {
        return "collection code, ours none: the last change keeps bell 2 in 2nds (PB type)";
    }
    const int oursIndex = CodeIndex(ours, false);
    if (oursIndex >= 0 && oursIndex == CodeIndex(theirs, true)) {
        return "collection names the 2nds-place code for a lead end without that place";
    }
    return "other code difference";
}

TEST(Collection, LeadHeadsAndCodesAgree)
{
    std::ifstream csv(TAMBREL_COLLECTION_CSV, std::ios::binary);
    if (!csv) {
        // A clone of its own has no reference data beside it; CI has, and runs this in full.
        GTEST_SKIP() << "the reference collection is not beside the checkout: "
                     << TAMBREL_COLLECTION_CSV;
    }
    std::string line;
    ASSERT_TRUE(std::getline(csv, line));
    const std::vector<std::string> header = SplitDelimitedLine(line);
    const std::size_t stageColumn = test::ColumnOf(header, "stage");
    const std::size_t titleColumn = test::ColumnOf(header, "title");
    const std::size_t notationColumn = test::ColumnOf(header, "notation");
    const std::size_t leadHeadColumn = test::ColumnOf(header, "lead_head");
    const std::size_t codeColumn = test::ColumnOf(header, "lh_code");
    ASSERT_LT(codeColumn, header.size());

    auto store = std::make_unique<TBellStore>();
    Kinds kinds;
    int agreeing = 0;
    int leadHeadsCompared = 0;
    while (std::getline(csv, line)) {
        const std::vector<std::string> values = SplitDelimitedLine(line);
        ASSERT_EQ(values.size(), header.size()) << line;
        int stage = 0;
        std::from_chars(values[stageColumn].data(),
                        values[stageColumn].data() + values[stageColumn].size(), stage);
        const std::string& title = values[titleColumn];
        if (!IsValidStage(stage)) {
            kinds.Add("not held: stage outside 4..16", title);
            continue;
        }
        const Result<std::string> lead = ExpandCCNotation(values[notationColumn]);
        ASSERT_TRUE(lead) << title << ": " << lead.error;
        if (const std::string error = CheckPlaceNotation(*lead.value, stage); !error.empty()) {
            EXPECT_EQ(error, kMsgTooManyRows) << title;
            kinds.Add("not held: over 100 changes", title);
            continue;
        }
        store->SetBells(stage);
        store->SetName(title);
        store->SetPlaceNotation(*lead.value);
        store->Calculate();

        const std::string leadHead = store->GetRowText(store->LeadLength());
        if (const std::string& theirs = values[leadHeadColumn]; !theirs.empty()) {
            ++leadHeadsCompared;
            EXPECT_EQ(leadHead, theirs) << title;
        }
        const std::string& ours = store->LeadHeadCode();
        const std::string theirs = UpperCase(values[codeColumn]);
        if (ours == theirs || (ours == "Z" && theirs.empty())) {
            ++agreeing;
        } else if (theirs.empty()) {
            kinds.Add(stage == 4 ? "ours only: Minimus"
                      : values[leadHeadColumn].empty()
                          ? "ours only: the collection has no lead-head data"
                          : "ours only: the collection gives a lead head but no code",
                      title);
        } else {
            kinds.Add(CodeDifference(stage, ours, theirs), title);
        }
    }

    EXPECT_EQ(leadHeadsCompared, 21671);
    EXPECT_EQ(agreeing, 21970);
    const std::map<std::string, int> expected = {
        {"not held: stage outside 4..16", 94},
        {"not held: over 100 changes", 3},
        {"odd stage: our table numbers the third power 1, the collection 2", 10},
        {"collection code, ours none: the last change keeps bell 2 in 2nds (PB type)", 1},
        {"collection names the 2nds-place code for a lead end without that place", 1},
        {"ours only: Minimus", 830},
        {"ours only: the collection has no lead-head data", 627},
        {"ours only: the collection gives a lead head but no code", 260},
    };
    EXPECT_EQ(kinds.counts, expected);
    for (const auto& [kind, title] : kinds.example) {
        std::cout << kind << ": " << kinds.counts[kind] << " (e.g. " << title << ")\n";
    }
}

} // namespace
} // namespace tambrel
