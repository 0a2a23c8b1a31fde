#include "library/MethodBrowser.h"
#include "engine/TextFunctions.h"
#include "library/MethodLookup.h"
#include "library/NameFilter.h"
#include "library/TfrmDataMod.h"
#include "tests/support/BrowserLibrary.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace tambrel {
namespace {

// The browser's table over the small test library.
class Browser : public ::testing::Test {
protected:
    explicit Browser(std::string_view methodsCsv = kBrowserMethodsCsv) : dir(methodsCsv) {}
    void SetUp() override { ASSERT_TRUE(data.EnsureTables()); }

    BrowserRange Refresh(const BrowserChoice& choice, RefreshMode mode = RefreshMode::NoSave)
    {
        range = RefreshBrowser(data, choice, mode, saved);
        return range;
    }
    std::string Current() const { return TrimRight(data.dbfMethods.FieldText("name")); }
    // The names the list shows, in order.
    std::vector<std::string> Listed() const
    {
        std::vector<std::string> names;
        for (const std::size_t pos : ListedPositions(data.dbfMethods, range, {})) {
            names.push_back(MethodAt(data.dbfMethods, pos).name);
        }
        return names;
    }
    std::uint32_t RecordOf(const std::string& name)
    {
        Refresh({0, kAllStages, "ALL", FindBy::Name, name});
        return data.dbfMethods.RecNo();
    }

    test::LibraryDir dir;
    TfrmDataMod data{dir.Library(), dir.Data()};
    std::int64_t saved = kNoSavedRecNo;
    BrowserRange range;
};

const BrowserChoice kAll{0, kAllStages, "ALL", FindBy::Name, ""};

const std::vector<std::string> kEightByName = {
    "ALDENHAM SURPRISE MAJOR",      "ASHTEAD SURPRISE MAJOR",   "BRISTOL SURPRISE MAJOR",
    "BROKEN NOTATION MAJOR",        "CAMBRIDGE SURPRISE MAJOR", "LONDON SURPRISE MAJOR",
    "NEW YORKSHIRE SURPRISE MAJOR", "PLAIN BOB MAJOR",          "YORKSHIRE SURPRISE MAJOR"};

TEST_F(Browser, SearchTextPositionsWithinTheWholeListedRange)
{
    struct Case {
        int bells;
        std::string group;
        FindBy findBy;
        std::string text;
        std::string positioned;
        std::string firstListed;
        std::size_t listed;
    };
    const Case cases[] = {
        {8, "ALL", FindBy::Name, "", "ALDENHAM SURPRISE MAJOR", "ALDENHAM SURPRISE MAJOR", 9},
        {8, "ALL", FindBy::Name, "CAMB", "CAMBRIDGE SURPRISE MAJOR", "ALDENHAM SURPRISE MAJOR", 9},
        {8, "ALL", FindBy::Name, "CAMBRIDGEZ", "LONDON SURPRISE MAJOR", "ALDENHAM SURPRISE MAJOR",
         9},
        // Beyond the last 8-bell name, where the 9-bell methods begin: the last 8-bell method.
        {8, "ALL", FindBy::Name, "ZZZ", "YORKSHIRE SURPRISE MAJOR", "ALDENHAM SURPRISE MAJOR", 9},
        // Group A is followed by group B on the same bells; group M by the 9-bell methods.
        {8, "a", FindBy::Name, "ZZZ", "PLAIN BOB MAJOR", "ALDENHAM SURPRISE MAJOR", 3},
        {8, "B", FindBy::Name, "C", "CAMBRIDGE SURPRISE MAJOR", "BROKEN NOTATION MAJOR", 4},
        {8, "M", FindBy::Name, "ZZZ", "LONDON SURPRISE MAJOR", "BRISTOL SURPRISE MAJOR", 2},
        {8, "ALL", FindBy::Places, "-3-4-25", "CAMBRIDGE SURPRISE MAJOR", "PLAIN BOB MAJOR", 9},
        {8, "A", FindBy::Places, "~", "ALDENHAM SURPRISE MAJOR", "PLAIN BOB MAJOR", 3},
        // The last stage of the table: past every key, one step back is still this stage.
        {9, "ALL", FindBy::Name, "ZZZ", "GRANDSIRE CATERS", "GRANDSIRE CATERS", 1},
        // The first stage after the header record, which is never listed.
        {10, "ALL", FindBy::Name, "", "CAMBRIDGE SURPRISE ROYAL", "CAMBRIDGE SURPRISE ROYAL", 1},
        // Every stage, fewest bells first: the first name that begins with the text, stage by
        // stage, else the first stage's nearest.
        {kAllStages, "ALL", FindBy::Name, "", "PLAIN BOB MINOR", "PLAIN BOB MINOR", 13},
        {kAllStages, "ALL", FindBy::Name, "CAMB", "CAMBRIDGE SURPRISE MAJOR", "PLAIN BOB MINOR",
         13},
        {kAllStages, "ALL", FindBy::Name, "ZZZ", "PLAIN BOB MINOR", "PLAIN BOB MINOR", 13},
        {kAllStages, "B", FindBy::Name, "CAMBRIDGE SURPRISE R", "CAMBRIDGE SURPRISE ROYAL",
         "BROKEN NOTATION MAJOR", 6},
        {kAllStages, "ALL", FindBy::Places, "-3-4-25-36-4-5-6-7-8", "CAMBRIDGE SURPRISE ROYAL",
         "PLAIN BOB MINOR", 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bells) + " " + c.group + " " + c.text);
        ASSERT_TRUE(Refresh({0, c.bells, c.group, c.findBy, c.text}).found);
        EXPECT_EQ(Current(), c.positioned);
        EXPECT_EQ(saved, data.dbfMethods.RecNo());
        const std::vector<std::string> listed = Listed();
        ASSERT_EQ(listed.size(), c.listed);
        EXPECT_EQ(listed.front(), c.firstListed);
    }
    ASSERT_TRUE(Refresh({}).found);
    EXPECT_EQ(Listed(), kEightByName);
    ASSERT_TRUE(Refresh(kAll).found);
    std::vector<std::string> all = kEightByName;
    all.insert(all.begin(), "PLAIN BOB MINOR");
    all.insert(all.end(),
               {"GRANDSIRE CATERS", "CAMBRIDGE SURPRISE ROYAL", "CAMBRIDGE SURPRISE MAXIMUS"});
    EXPECT_EQ(Listed(), all);
}

// Over every stage the index's order (10..16 before 4..9) is not the order shown.
TEST_F(Browser, RowNearFollowsTheStagesShown)
{
    ASSERT_TRUE(Refresh(kAll).found);
    const std::vector<std::size_t> listed =
        ListedPositions(data.dbfMethods, range, NameFilter("CAMBRIDGE"));
    ASSERT_EQ(listed.size(), 3U);
    const auto rowOf = [&](const std::string& name) {
        Refresh({0, kAllStages, "ALL", FindBy::Name, name});
        return ListedRowNear(listed, range, data.dbfMethods.Position());
    };
    EXPECT_EQ(rowOf("PLAIN BOB MINOR"), 0);
    EXPECT_EQ(rowOf("YORKSHIRE"), 1); // after the Major, the Royal
    EXPECT_EQ(rowOf("CAMBRIDGE SURPRISE MAXIMUS"), 2);
    EXPECT_EQ(ListedRowNear(listed, range, data.dbfMethods.RecordCount() + 5), 2);
    EXPECT_EQ(ListedRowNear({}, range, 0), -1);
    // A saved record of any stage comes back.
    saved = RecordOf("GRANDSIRE");
    ASSERT_TRUE(Refresh(kAll, RefreshMode::Save).found);
    EXPECT_EQ(Current(), "GRANDSIRE CATERS");
}

TEST_F(Browser, NoMethodsOfTheChoiceClosesTheTable)
{
    for (const auto& [library, bells, group] : {std::tuple{0, 16, "ALL"}, std::tuple{0, 8, "Z"},
                                                std::tuple{1, 8, "ALL"}, std::tuple{2, 6, "ALL"}}) {
        SCOPED_TRACE(std::to_string(library) + " " + std::to_string(bells) + group);
        saved = 5;
        const BrowserRange none = Refresh({library, bells, group, FindBy::Name, ""});
        EXPECT_TRUE(none.status);
        EXPECT_FALSE(none.found);
        EXPECT_EQ(saved, kNoSavedRecNo);
        EXPECT_FALSE(data.dbfMethods.Active());
    }
}

TEST_F(Browser, SavedPositionComesBackOnlyWithinTheRange)
{
    const std::uint32_t yorkshire = RecordOf("YORKSHIRE");
    const std::uint32_t plainBob = RecordOf("PLAIN BOB MAJOR");
    Refresh({0, 6, "ALL", FindBy::Name, ""});
    const std::uint32_t minor = data.dbfMethods.RecNo();
    struct Case {
        std::int64_t saved;
        std::string group;
        bool savePosition;
        RefreshMode mode;
        std::string positioned;
    };
    const Case cases[] = {
        {yorkshire, "ALL", true, RefreshMode::Save, "YORKSHIRE SURPRISE MAJOR"},
        {yorkshire, "B", true, RefreshMode::Save, "YORKSHIRE SURPRISE MAJOR"},
        {yorkshire, "ALL", false, RefreshMode::Save, "ALDENHAM SURPRISE MAJOR"},
        {yorkshire, "ALL", true, RefreshMode::NoSave, "ALDENHAM SURPRISE MAJOR"},
        // In another group or on another stage: the top of the range, with no message.
        {plainBob, "B", true, RefreshMode::Save, "BROKEN NOTATION MAJOR"},
        {minor, "ALL", true, RefreshMode::Save, "ALDENHAM SURPRISE MAJOR"},
        {kNoSavedRecNo, "ALL", true, RefreshMode::Save, "ALDENHAM SURPRISE MAJOR"},
        {9999, "ALL", true, RefreshMode::Save, "ALDENHAM SURPRISE MAJOR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.saved) + " " + c.group);
        saved = c.saved;
        ASSERT_TRUE(Refresh({0, 8, c.group, FindBy::Name, "", c.savePosition}, c.mode).found);
        EXPECT_EQ(Current(), c.positioned);
        EXPECT_EQ(saved, data.dbfMethods.RecNo());
    }
}

TEST_F(Browser, CaptionNamesTheLibraryAndAnEmptyFindListSaysWhereItIsFilled)
{
    EXPECT_EQ(BrowserCaption(data), "Open an Existing Method - Main Library built Test build 7");
    EXPECT_FALSE(data.dbfMethods.Active());
    std::filesystem::remove(dir.Path("Library/Methods.dbf"));
    EXPECT_EQ(BrowserCaption(data), "Open an Existing Method - Main Library");
    EXPECT_EQ(BrowserCaption(data, 2), "Open an Existing Method - Method Find Library");
    EXPECT_EQ(BrowserCaption(data, 1), "Open an Existing Method - Personal Library");
    BrowserChoice choice;
    choice.bells = 6;
    EXPECT_EQ(EmptyListText(choice), "");
    choice.library = 2;
    EXPECT_EQ(EmptyListText(choice),
              "No methods found yet for 6 bells: use Tools > Find Similar Methods");
    choice.bells = kAllStages;
    EXPECT_EQ(EmptyListText(choice), "No methods found yet: use Tools > Find Similar Methods");
}

TEST_F(Browser, DeletingLeavesALiveNeighbourCurrent)
{
    struct Case {
        int bells;
        std::string group;
        std::string deleted;
        std::string current; // "" when the range is left empty
    };
    const Case cases[] = {
        {8, "ALL", "CAMBRIDGE SURPRISE MAJOR", "LONDON SURPRISE MAJOR"}, // a middle one
        {kAllStages, "ALL", "LONDON SURPRISE MAJOR", "NEW YORKSHIRE SURPRISE MAJOR"},
        {8, "ALL", "YORKSHIRE SURPRISE MAJOR", "PLAIN BOB MAJOR"},       // the last
        {8, "A", "PLAIN BOB MAJOR", "ASHTEAD SURPRISE MAJOR"},           // the group's last
        {8, "ALL", "ALDENHAM SURPRISE MAJOR", "ASHTEAD SURPRISE MAJOR"}, // the first
        {12, "ALL", "CAMBRIDGE SURPRISE MAXIMUS", ""},                   // the only one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deleted);
        BrowserChoice choice{0, c.bells, c.group, FindBy::Name, c.deleted};
        ASSERT_TRUE(Refresh(choice).found);
        ASSERT_EQ(Current(), c.deleted);
        const std::size_t before = Listed().size();
        const std::uint32_t recno = data.dbfMethods.RecNo();
        const MethodFields fields = MethodAt(data.dbfMethods, data.dbfMethods.Position());
        ASSERT_TRUE(DeleteBrowsedMethod(data, choice, recno, fields, saved));
        EXPECT_FALSE(data.dbfMethods.Active());
        choice.findText.clear();
        if (c.current.empty()) {
            EXPECT_EQ(saved, kNoSavedRecNo);
            EXPECT_FALSE(Refresh(choice, RefreshMode::Save).found);
            continue;
        }
        ASSERT_TRUE(Refresh(choice, RefreshMode::Save).found);
        EXPECT_EQ(Current(), c.current);
        EXPECT_EQ(saved, data.dbfMethods.RecNo());
        const std::vector<std::string> listed = Listed();
        EXPECT_EQ(listed.size(), before - 1);
        EXPECT_EQ(std::count(listed.begin(), listed.end(), c.deleted), 0);
    }
}

TEST_F(Browser, DeletingAMethodChangedSinceListingChangesNothing)
{
    const BrowserChoice choice{0, 8, "ALL", FindBy::Name, "LONDON"};
    ASSERT_TRUE(Refresh(choice).found);
    const std::uint32_t recno = data.dbfMethods.RecNo();
    MethodFields fields = MethodAt(data.dbfMethods, data.dbfMethods.Position());
    saved = recno;
    fields.places += "X"; // as if another program had rewritten the record meanwhile
    const Status refused = DeleteBrowsedMethod(data, choice, recno, fields, saved);
    EXPECT_EQ(refused.error, kMsgMethodChanged);
    EXPECT_EQ(saved, recno);
    // Record 1 is the header record: not of the range either.
    EXPECT_EQ(DeleteBrowsedMethod(data, choice, 1, MethodFields{}, saved).error, kMsgMethodChanged);
    ASSERT_TRUE(Refresh(BrowserChoice{}).found);
    EXPECT_EQ(Listed(), kEightByName);
}

// The browser's library with a method or two of most classes besides, each named by its class as
// the Central Council names it, and a 5-bell stage whose only method is refused.
const std::string kClassMethodsCsv =
    std::string(kBrowserMethodsCsv) +
    "8,\"ALVESCOT LITTLE BOB MAJOR\",\"-1-36.2.36 LH2\",Z\n"
    "8,\"AB DELIGHT MAJOR\",\"-3-4-5-36-34-1.34-6.7 LH1\",G\n"
    "8,\"ASHDOWN LITTLE SURPRISE MAJOR\",\"-3-6-2-3-4-36 LH2\",A\n"
    "8,\"AEONS LITTLE SURPRISE MAJOR\",\"34-5.4-2-3-34-6 LH1\",M\n"
    "8,\"STEDMAN DIFFERENTIAL MAJOR\",\"3.1-3.1.3 LH1\",Z\n"
    "8,\"TRAFALGAR DIFFERENTIAL LITTLE ALLIANCE MAJOR\",\"-34-45-34 LH2\",Z\n"
    "8,\"DORE PLACE MAJOR\",\"-1.2.3.4.5.6.7 LH1\",G\n"
    "8,\"APPLEWHITE TREBLE PLACE MAJOR\",\"-3-4-5-236-4-5-67-7 LH2\",B\n"
    "7,\"NORTH UTSIRE DIFFERENTIAL TRIPLES\",\"3456.4 LH1\",Z\n"
    "6,\"KENT TREBLE BOB MINOR\",\"34-34.1-2-1-2-1 LH1\",M\n"
    "6,\"ANGEL DIFFERENTIAL BOB MINOR\",\"345.4.25.3-345 LH2\",Z\n"
    "12,\"121212 LITTLE ALLIANCE MAXIMUS\",\"58.49.58.49-34 LH1\",M\n"
    "5,\"BROKEN DOUBLES\",\"3.Q\",Z\n";

// The class list and the list narrowed to a class.
class ClassBrowser : public Browser {
protected:
    ClassBrowser() : Browser(kClassMethodsCsv) {}

    std::vector<std::string> Classes(int library, int bells)
    {
        BrowserChoice choice;
        choice.library = library;
        choice.bells = bells;
        std::vector<std::string> words;
        for (const ClassCode code : ClassesPresent(data, choice, cache)) {
            words.push_back(ClassWordsOf(code));
        }
        return words;
    }
    // The names listed for the choice, narrowed to the class named (every one for "").
    std::vector<std::string> ListedOf(BrowserChoice choice, const std::string& classWords,
                                      const std::string& filter = "")
    {
        choice.methodClass = CodeOfWords(classWords);
        std::vector<std::string> names;
        if (!Refresh(choice).found) {
            return names;
        }
        for (const std::size_t pos :
             ListedPositions(data.dbfMethods, range, NameFilter(filter), choice, cache)) {
            names.push_back(MethodAt(data.dbfMethods, pos).name);
        }
        return names;
    }
    static ClassCode CodeOfWords(const std::string& words)
    {
        if (words.empty()) {
            return kAnyClass;
        }
        for (int code = 0; code < kUnclassified; ++code) {
            if (ClassWordsOf(static_cast<ClassCode>(code)) == words) {
                return static_cast<ClassCode>(code);
            }
        }
        ADD_FAILURE() << "no class " << words;
        return kUnclassified;
    }

    ClassCache cache;
};

TEST_F(ClassBrowser, ClassesAreThoseOfTheStageInTheCouncilsOrder)
{
    struct Case {
        int library;
        int bells;
        std::vector<std::string> classes;
    };
    const Case cases[] = {
        {0,
         8,
         {"Differential", "Bob", "Little Bob", "Place", "Surprise", "Little Surprise", "Delight",
          "Treble Place", "Differential Little Alliance"}},
        {0, 6, {"Bob", "Differential Bob", "Treble Bob"}},
        {0, 7, {"Differential"}},
        {0, 9, {"Bob"}}, // Grandsire: two hunt bells, plain hunting
        {0, 12, {"Surprise", "Little Alliance"}},
        {0,
         kAllStages,
         {"Differential", "Bob", "Little Bob", "Differential Bob", "Place", "Treble Bob",
          "Surprise", "Little Surprise", "Delight", "Treble Place", "Little Alliance",
          "Differential Little Alliance"}},
        {0, 5, {}},  // its only method's notation is refused
        {0, 16, {}}, // no methods, the last stage of the table
        {0, 4, {}},  // no methods, the first
        {1, 8, {}},  // the personal library is empty
        {1, kAllStages, {}},
        {3, 8, {}}, // no such library
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.library) + " " + std::to_string(c.bells));
        EXPECT_EQ(Classes(c.library, c.bells), c.classes);
    }
    // Asked with the table already in another order and restricted, the same classes.
    ASSERT_TRUE(Refresh({0, 8, "M", FindBy::Places, ""}).found);
    const std::size_t positioned = data.dbfMethods.Position();
    EXPECT_EQ(Classes(0, 6), (std::vector<std::string>{"Bob", "Differential Bob", "Treble Bob"}));
    EXPECT_EQ(data.dbfMethods.Position(), positioned);
}

TEST_F(ClassBrowser, AClassNarrowsTheListWithTheNameFilterAndTheGroup)
{
    struct Case {
        int bells;
        std::string group;
        std::string filter;
        std::string classWords;
        std::vector<std::string> listed;
    };
    const Case cases[] = {
        {8,
         "ALL",
         "",
         "Little Surprise",
         {"AEONS LITTLE SURPRISE MAJOR", "ASHDOWN LITTLE SURPRISE MAJOR"}},
        {8, "ALL", "", "Bob", {"PLAIN BOB MAJOR"}},
        {8, "ALL", "", "Differential", {"STEDMAN DIFFERENTIAL MAJOR"}},
        {8, "ALL", "", "Treble Bob", {}}, // a class of another stage
        {8,
         "ALL",
         "YORK",
         "Surprise",
         {"NEW YORKSHIRE SURPRISE MAJOR", "YORKSHIRE SURPRISE MAJOR"}},
        // Little is part of the class: Little Surprise methods are not Surprise ones.
        {8, "ALL", "LITTLE", "Surprise", {}},
        {8,
         "ALL",
         "LITTLE SURPRISE",
         "Little Surprise",
         {"AEONS LITTLE SURPRISE MAJOR", "ASHDOWN LITTLE SURPRISE MAJOR"}},
        {8, "ALL", "AEONS", "Little Bob", {}},
        // The group narrows as well.
        {8, "A", "", "Surprise", {"ALDENHAM SURPRISE MAJOR", "ASHTEAD SURPRISE MAJOR"}},
        {8, "A", "", "Little Surprise", {"ASHDOWN LITTLE SURPRISE MAJOR"}},
        {8, "M", "", "Little Surprise", {"AEONS LITTLE SURPRISE MAJOR"}},
        {8, "M", "", "Bob", {}},
        {8, "B", "TREBLE", "Treble Place", {"APPLEWHITE TREBLE PLACE MAJOR"}},
        {8, "Z", "", "Treble Place", {}},
        // Every stage, fewest bells first.
        {kAllStages, "ALL", "", "Bob", {"PLAIN BOB MINOR", "PLAIN BOB MAJOR", "GRANDSIRE CATERS"}},
        {kAllStages,
         "ALL",
         "CAMBRIDGE",
         "Surprise",
         {"CAMBRIDGE SURPRISE MAJOR", "CAMBRIDGE SURPRISE ROYAL", "CAMBRIDGE SURPRISE MAXIMUS"}},
        {kAllStages,
         "Z",
         "",
         "Differential",
         {"NORTH UTSIRE DIFFERENTIAL TRIPLES", "STEDMAN DIFFERENTIAL MAJOR"}},
        {kAllStages, "M", "ALLIANCE", "Little Alliance", {"121212 LITTLE ALLIANCE MAXIMUS"}},
        // "All" lists as without a class.
        {6,
         "ALL",
         "",
         "",
         {"ANGEL DIFFERENTIAL BOB MINOR", "KENT TREBLE BOB MINOR", "PLAIN BOB MINOR"}},
        {8,
         "M",
         "",
         "",
         {"AEONS LITTLE SURPRISE MAJOR", "BRISTOL SURPRISE MAJOR", "LONDON SURPRISE MAJOR"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bells) + " " + c.group + " " + c.filter + " " + c.classWords);
        EXPECT_EQ(ListedOf({0, c.bells, c.group, FindBy::Name, ""}, c.classWords, c.filter),
                  c.listed);
    }
}

// A method whose notation is refused is of no class: "All" lists it, no class does, and every
// other method is listed under exactly one class.
TEST_F(ClassBrowser, ARefusedNotationIsListedOnlyUnderAll)
{
    for (const int bells : {8, 5, kAllStages}) {
        SCOPED_TRACE(bells);
        const BrowserChoice choice{0, bells, "ALL", FindBy::Name, ""};
        std::vector<std::string> all = ListedOf(choice, "");
        std::vector<std::string> byClass;
        for (const std::string& words : Classes(0, bells)) {
            const std::vector<std::string> part = ListedOf(choice, words);
            EXPECT_FALSE(part.empty()) << words;
            byClass.insert(byClass.end(), part.begin(), part.end());
        }
        for (const std::string refused : {"BROKEN NOTATION MAJOR", "BROKEN DOUBLES"}) {
            const auto at = std::find(all.begin(), all.end(), refused);
            EXPECT_EQ(at != all.end(),
                      bells == kAllStages || (bells == 5) == (refused == "BROKEN DOUBLES"));
            if (at != all.end()) {
                all.erase(at);
            }
        }
        std::sort(all.begin(), all.end());
        std::sort(byClass.begin(), byClass.end());
        EXPECT_EQ(byClass, all);
    }
    // Not even under a class it would have, had it been ringable.
    EXPECT_EQ(ListedOf({0, 5, "ALL", FindBy::Name, ""}, "Bob"), std::vector<std::string>{});
}

TEST_F(ClassBrowser, EachRecordIsClassifiedOnceUntilItChanges)
{
    // Every method of the library, the header record not among them.
    const std::size_t live = ListedOf(kAll, "").size();
    EXPECT_EQ(cache.Classified(), 0U);
    Classes(0, kAllStages);
    EXPECT_EQ(cache.Classified(), live);
    Classes(0, 8);
    ListedOf({0, kAllStages, "ALL", FindBy::Places, ""}, "Surprise");
    EXPECT_EQ(cache.Classified(), live);

    // Another library's record numbers are its own.
    ASSERT_TRUE(data.OpenTables("PERSONAL", TableAccess::Write));
    ASSERT_TRUE(
        AppendMethod(data.dbfMethods, "8", "MY SURPRISE MAJOR", "-3-4-5-6-2-3-4-7 LH2", "B"));
    ASSERT_TRUE(AppendMethod(data.dbfMethods, "8", "MY BOB MAJOR", "-1-1-1-1 LH2", "A"));
    ASSERT_TRUE(data.CloseTables());
    EXPECT_EQ(Classes(1, 8), (std::vector<std::string>{"Bob", "Surprise"}));
    EXPECT_EQ(cache.Classified(), live + 2);
    Classes(0, kAllStages);
    EXPECT_EQ(cache.Classified(), live + 2);

    // A record rewritten since is classified again, and the class list follows it.
    ASSERT_TRUE(data.OpenTables("MAIN", TableAccess::Write));
    ASSERT_TRUE(FindMethod(data.dbfMethods, FindBy::Name, BellsKey(8), "AB DELIGHT MAJOR"));
    ASSERT_TRUE(data.dbfMethods.Replace("places", "-1-1-1-1 LH2"));
    ASSERT_TRUE(data.dbfMethods.ReplaceRec());
    ASSERT_TRUE(data.CloseTables());
    const std::vector<std::string> eight = Classes(0, 8);
    EXPECT_EQ(cache.Classified(), live + 3);
    EXPECT_EQ(std::count(eight.begin(), eight.end(), "Delight"), 0);
    EXPECT_EQ(ListedOf({0, 8, "ALL", FindBy::Name, ""}, "Bob"),
              (std::vector<std::string>{"AB DELIGHT MAJOR", "PLAIN BOB MAJOR"}));
    EXPECT_EQ(cache.Classified(), live + 3);
}

// Each class has its own code, in the Council's order, and the code gives its words back.
TEST(ClassWords, EachClassHasItsOwnCodeInTheCouncilsOrder)
{
    int last = -1;
    for (int kind = 0; kind <= static_cast<int>(MethodClass::Hybrid); ++kind) {
        for (const bool differential : {false, true}) {
            for (const bool little : {false, true}) {
                Classification c;
                c.kind = static_cast<MethodClass>(kind);
                c.differential = differential;
                c.little = little;
                const ClassCode code = ClassCodeOf(c);
                if (c.kind == MethodClass::Principle && little) {
                    // A principle's Little (never set by the classification) makes no class.
                    EXPECT_EQ(ClassWordsOf(code), differential ? "Differential" : "Principle");
                    continue;
                }
                EXPECT_GT(static_cast<int>(code), last) << c.ClassWords();
                last = code;
                EXPECT_EQ(ClassWordsOf(code), c.ClassWords());
            }
        }
    }
    EXPECT_LT(last, static_cast<int>(kUnclassified));
    EXPECT_EQ(ClassWordsOf(kUnclassified), "");
    EXPECT_EQ(ClassWordsOf(kAnyClass), "");
}

} // namespace
} // namespace tambrel
