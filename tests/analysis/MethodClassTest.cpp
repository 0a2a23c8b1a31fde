#include "analysis/MethodClass.h"

#include "engine/Bells.h"
#include "engine/CCNotation.h"
#include "engine/PlaceNotation.h"
#include "tables/Delimited.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace tambrel {
namespace {

// The changes of an expanded notation, split by hand: the engine holds at most 100 changes a
// lead, and a few of the collection's methods have more.
std::vector<std::string> ChangesOf(std::string_view notation)
{
    std::vector<std::string> changes;
    std::string change;
    for (const char ch : notation) {
        if (ch == '-' || ch == 'x' || ch == 'X') {
            if (!change.empty()) {
                changes.push_back(change);
            }
            changes.emplace_back();
            change.clear();
        } else if (ch == '.') {
            if (!change.empty()) {
                changes.push_back(change);
            }
            change.clear();
        } else {
            change += ch;
        }
    }
    if (!change.empty()) {
        changes.push_back(change);
    }
    return changes;
}

Classification ClassifyNotation(std::string_view typed, int bells)
{
    const std::optional<Classification> c = ClassifyTyped(typed, bells);
    EXPECT_TRUE(c) << typed;
    return c.value_or(Classification{});
}

TEST(MethodClass, TheCollectionsClassesAndSymmetriesAgree)
{
    std::ifstream csv(TAMBREL_COLLECTION_CSV, std::ios::binary);
    if (!csv) {
        GTEST_SKIP() << "the reference collection is not beside the checkout: "
                     << TAMBREL_COLLECTION_CSV;
    }
    std::string line;
    ASSERT_TRUE(std::getline(csv, line));
    const std::vector<std::string> header = SplitDelimitedLine(line);
    const std::size_t stageColumn = test::ColumnOf(header, "stage");
    const std::size_t titleColumn = test::ColumnOf(header, "title");
    const std::size_t nameColumn = test::ColumnOf(header, "name");
    const std::size_t classColumn = test::ColumnOf(header, "class");
    const std::size_t notationColumn = test::ColumnOf(header, "notation");
    const std::size_t leadHeadColumn = test::ColumnOf(header, "lead_head");
    const std::size_t codeColumn = test::ColumnOf(header, "lh_code");
    const std::size_t symmetryColumn = test::ColumnOf(header, "symmetry");
    ASSERT_LT(symmetryColumn, header.size());

    std::map<std::string, int> counts;
    std::vector<std::string> disagreements;
    while (std::getline(csv, line)) {
        const std::vector<std::string> values = SplitDelimitedLine(line);
        ASSERT_EQ(values.size(), header.size()) << line;
        const int stage = std::atoi(values[stageColumn].c_str());
        if (!IsValidStage(stage)) {
            continue;
        }
        const Result<std::string> lead = ExpandCCNotation(values[notationColumn]);
        ASSERT_TRUE(lead) << values[titleColumn];
        const std::vector<std::string> changes = ChangesOf(*lead.value);
        const Classification c = Classify(changes, stage);
        ++counts["methods"];
        const std::string& title = values[titleColumn];
        if (c.ClassWords() == values[classColumn]) {
            ++counts["class agrees"];
        } else {
            disagreements.push_back(title + ": class " + c.ClassWords() + ", theirs " +
                                    values[classColumn]);
        }
        // The symmetry column is known only for the methods matched to its source, those with
        // a lead head or a code.
        if (!values[leadHeadColumn].empty() || !values[codeColumn].empty()) {
            ++counts["symmetry known"];
            if (c.SymmetryWords() == values[symmetryColumn]) {
                ++counts["symmetry agrees"];
            } else {
                disagreements.push_back(title + ": symmetry '" + c.SymmetryWords() + "', theirs '" +
                                        values[symmetryColumn] + "'");
            }
        } else if (values[notationColumn].find(',') != std::string::npos) {
            // Elsewhere a notation written with a comma is a palindrome at least.
            ++counts[c.palindromic ? "comma form, palindromic" : "comma form, not palindromic"];
        }
        if (FullTitle(c, values[nameColumn], stage) == title &&
            TitleSuffixOf(title, c, stage) == TitleSuffix(c, values[nameColumn], stage)) {
            ++counts["title agrees"];
        } else {
            disagreements.push_back(title + ": title " + FullTitle(c, values[nameColumn], stage));
        }
    }
    // Every method of 4..16 bells, the three of more than 100 changes (which no library holds)
    // included; the symmetry only where the collection knows it.
    EXPECT_EQ(disagreements, std::vector<std::string>{});
    EXPECT_EQ(counts, (std::map<std::string, int>{{"class agrees", 23702},
                                                  {"comma form, palindromic", 1605},
                                                  {"methods", 23702},
                                                  {"symmetry agrees", 21674},
                                                  {"symmetry known", 21674},
                                                  {"title agrees", 23702}}));
}

struct Known {
    const char* title;
    const char* name;
    int bells;
    const char* notation; // the Council's form
    const char* classWords;
    const char* symmetry;
};

// Methods a ringer knows, one or more per class and qualifier, and the Framework's own examples
// of its edge cases; class, symmetry and title as the Council's collection gives them.
constexpr Known kKnown[] = {
    {"Stedman Triples", "Stedman", 7, "3.1.7.3.1.3,1", "Principle", "palindromic"},
    {"Christ Church Dublin Differential Doubles", "Christ Church Dublin", 5, "5.1.5.1.5,345",
     "Differential", "palindromic"},
    {"Plain Bob Major", "Plain", 8, "-18-18-18-18,12", "Bob", "palindromic"},
    {"Grandsire Triples", "Grandsire", 7, "3,1.7.1.7.1.7.1", "Bob", "palindromic"},
    {"Union Triples", "Union", 7, "3.1.7.1.7.1.7.1.7.1.7.1.5.1", "Bob", ""},
    {"Union Bob Doubles", "Union", 5, "3.1.5.1.345,1", "Bob", "palindromic"},
    {"Grandsire Minimus", "Grandsire", 4, "34,14-14-", "Place", "palindromic"},
    {"Bastow Little Bob Minor", "Bastow", 6, "-12,16", "Little Bob", "palindromic"},
    {"Little Bob Major", "", 8, "-18-14,12", "Little Bob", "palindromic"},
    {"Little Grandsire Triples", "Little Grandsire", 7, "3,1.7.1.5.1", "Little Bob", "palindromic"},
    {"Foti Place Minor", "Foti", 6, "3456.16-1236.12.36,12", "Place", "palindromic"},
    {"Magenta Little Place Maximus", "Magenta", 12, "56.1T.56.1T.56,1T", "Little Place",
     "palindromic"},
    {"Kent Treble Bob Minor", "Kent", 6, "34-34.16-12-16-12-16,16", "Treble Bob", "palindromic"},
    {"Gonville Little Treble Bob Minor", "Gonville", 6, "34-34.12,16", "Little Treble Bob",
     "palindromic"},
    {"Cambridge Surprise Minor", "Cambridge", 6, "-36-14-12-36-14-56,12", "Surprise",
     "palindromic"},
    {"Bristol Surprise Maximus", "Bristol", 12,
     "-5T-14.5T-5T.36.14-7T.58.16-9T.70.18-18.9T-18-1T,1T", "Surprise",
     "palindromic double rotational"},
    {"Cheeky Little Surprise Minor", "Cheeky", 6, "34-36.14-12-34,16", "Little Surprise",
     "palindromic"},
    {"College Bob IV Delight Minor", "College Bob IV", 6, "-34-14-12-16-34-56,12", "Delight",
     "palindromic"},
    {"Cambridge Little Delight Major", "Cambridge", 8, "-38-14-1256-18.34-34.56,12",
     "Little Delight", "palindromic"},
    {"Stoke Albany Treble Place Minor", "Stoke Albany", 6, "-36-14.1234-1234.16-34-56,12",
     "Treble Place", "palindromic"},
    {"Alperton Alliance Minor", "Alperton", 6, "-14-36-14-36,16", "Alliance", "palindromic"},
    {"Ypsen Harpen Alliance Minimus", "Ypsen Harpen", 4, "-14.12-14.34", "Alliance", "double"},
    {"Double Court Bob Minor", "Double Court", 6, "-14-36-16,16", "Bob",
     "palindromic double rotational"},
    {"Evening Exercise Bob Minor", "Evening Exercise", 6, "-14-36-16-16-16-16", "Bob",
     "rotational"},
    {"Double Union Minor", "Double Union", 6, "-16-36-56-16-14-12", "Bob", "double"},
    {"Deferential Differential Bob Minor", "Deferential", 6, "-16-16-36,1234", "Differential Bob",
     "palindromic"},
    {"Avalanche Differential Surprise Royal", "Avalanche", 10,
     "-34-14-56.70.36.14.70.14.58-56-70-58.16.30,12", "Differential Surprise", "palindromic"},
    // Little and Differential both.
    {"Tabernacle Differential Little Bob Caters", "Tabernacle", 9, "7.1.7.1.3456789,1",
     "Differential Little Bob", "palindromic"},
    {"Slinky Differential Little Treble Place Maximus", "Slinky", 12, "-14-14.5T.16.3T.16,1T",
     "Differential Little Treble Place", "palindromic"},
    // Hybrids: the title drops "Hybrid" and the "Little" before it, keeps "Differential". The
    // single hunt bell of an asymmetric method has an asymmetric path.
    {"Seavington St Mary Minor", "Seavington St Mary", 6,
     "-36-14-12-36-1456.56-56.14-36-12-14-36-12", "Hybrid", ""},
    {"Seven Stars Major", "Seven Stars", 8, "-58-14.58-58-14-58-36-,12", "Little Hybrid",
     "palindromic"},
    {"Cambridge over Cambridge Differential Minor", "Cambridge over Cambridge", 6,
     "-36-14-12-36-1456-56", "Differential Little Hybrid", ""},
    {"Tetley's Smoothflow Differential Minor", "Tetley's Smoothflow", 6, "-14-16-16-14-16-16-12",
     "Differential Hybrid", ""},
    // Treble place with a stationary hunt bell: a path of a single place.
    {"Cheeky Little Treble Place Minimus", "Cheeky", 4, "14.12", "Little Treble Place",
     "palindromic"},
    {"Martyrs Link Little Treble Place Major", "Martyrs Link", 8, "38.34", "Little Treble Place",
     "palindromic"},
    // Several hunt bells: the first class in the order Plain, Treble Dodging, Treble Place,
    // Alliance, Hybrid; Little only when every hunt bell of that class is little.
    {"Didymous Delight Major", "Didymous", 8, "36-34.16.58-56.18.34-14.38.56-36.58,14", "Delight",
     "palindromic double rotational"},
    {"Vincula Surprise Royal", "Vincula", 10, "-50-16-70-18-12-30-14-50-16-70,14", "Surprise",
     "palindromic"},
    {"Bushey Treble Place Triples", "Bushey", 7, "5.347.5.1.5.127.5.1.5.7.5.123.5.167,127",
     "Treble Place", "palindromic"},
    {"Glastonbury Bob Triples", "Glastonbury", 7, "3.1.7.1.7.5.7.5.7.3.5.1.5.1", "Bob", ""},
    {"Reverse Canterbury Pleasure Place Minor", "Reverse Canterbury Pleasure", 6, "36,1456-16-16-",
     "Place", "palindromic"},
    // Principles with no symmetry.
    {"Ayston Minimus", "Ayston", 4, "12.14-14.34.14.12.14-14.12.14", "Principle", ""},
};

TEST(MethodClass, KnownMethodsAndTheFrameworksEdgeCases)
{
    for (const Known& known : kKnown) {
        const Classification c = ClassifyNotation(known.notation, known.bells);
        EXPECT_EQ(c.ClassWords(), known.classWords) << known.title;
        EXPECT_EQ(c.SymmetryWords(), known.symmetry) << known.title;
        EXPECT_EQ(FullTitle(c, known.name, known.bells), known.title);
        // Read back: the name, and words that agree with the notation.
        const TitleParts parts = SplitTitle(known.title);
        EXPECT_EQ(parts.name, known.name) << known.title;
        EXPECT_EQ(parts.stage, known.bells) << known.title;
        const TitleCheck check = CheckTitle(known.title, c, known.bells);
        EXPECT_EQ(check.disagreement, "") << known.title;
        EXPECT_EQ(check.offer, "") << known.title;
    }
}

TEST(MethodClass, SavingATitleOffersTheFullOneOrAsksWhenTheWordsDisagree)
{
    const Classification surprise = ClassifyNotation("-38-14-1258-36-14-58-16-78,12", 8);
    const Classification grandsire = ClassifyNotation("3.1.7.1.7.1.7.1.7.1.7.1.7.1", 7);
    const Classification hybrid = ClassifyNotation("-36-14-12-36-1456.56-56.14-36-12-14-36-12", 6);
    const Classification alliance = ClassifyNotation("-14-36-14-36-14-36-14-16", 6);
    struct Case {
        const char* title;
        const Classification& c;
        int bells;
        const char* disagreement;
        const char* offer;
    };
    const Case cases[] = {
        {"CAMBRIDGE", surprise, 8, "", "CAMBRIDGE SURPRISE MAJOR"},
        {"  Cambridge  ", surprise, 8, "", "Cambridge Surprise Major"},
        {"CAMBRIDGE MAJOR", surprise, 8, "", "CAMBRIDGE SURPRISE MAJOR"},
        {"CAMBRIDGE SURPRISE", surprise, 8, "", "CAMBRIDGE SURPRISE MAJOR"},
        {"CAMBRIDGE SURPRISE MAJOR", surprise, 8, "", ""},
        {"CAMBRIDGE DELIGHT MAJOR", surprise, 8,
         "The notation makes CAMBRIDGE DELIGHT MAJOR a Surprise method. Save it under this name "
         "anyway?",
         ""},
        {"CAMBRIDGE TREBLE BOB", surprise, 8,
         "The notation makes CAMBRIDGE TREBLE BOB a Surprise method. Save it under this name "
         "anyway?",
         ""},
        {"CAMBRIDGE SURPRISE ROYAL", surprise, 8,
         "The notation makes CAMBRIDGE SURPRISE ROYAL a method of 8 bells (Major). Save it under "
         "this name anyway?",
         ""},
        {"FOO BOB MINOR", alliance, 6,
         "The notation makes FOO BOB MINOR an Alliance method. Save it under this name anyway?",
         ""},
        {"GRANDSIRE", grandsire, 7, "", "GRANDSIRE TRIPLES"},
        {"GRANDSIRE TRIPLES", grandsire, 7, "", ""},
        {"GRANDSIRE BOB TRIPLES", grandsire, 7, "", ""},
        {"SEAVINGTON ST MARY", hybrid, 6, "", "SEAVINGTON ST MARY MINOR"},
        {"SEAVINGTON ST MARY HYBRID MINOR", hybrid, 6, "", ""},
        {"SEAVINGTON ST MARY MINOR", hybrid, 6, "", ""},
        {"", surprise, 8, "", ""},
    };
    EXPECT_EQ(ClassLine(surprise, "CAMBRIDGE", 8),
              "Surprise, palindromic: CAMBRIDGE SURPRISE MAJOR");
    EXPECT_EQ(ClassLine(hybrid, "Seavington St Mary", 6),
              "Hybrid, no symmetry: Seavington St Mary Minor");
    EXPECT_FALSE(ClassifyTyped("-38-14", 7)); // a cross on an odd stage
    EXPECT_FALSE(ClassifyTyped("-3-4-2-3-4-5 LH2", 3));
    for (const Case& k : cases) {
        const TitleCheck check = CheckTitle(k.title, k.c, k.bells);
        EXPECT_EQ(check.disagreement, k.disagreement) << k.title;
        EXPECT_EQ(check.offer, k.offer) << k.title;
    }
}

} // namespace
} // namespace tambrel
