#include "library/MethodBrowser.h"
#include "engine/TextFunctions.h"
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

    test::LibraryDir dir{kBrowserMethodsCsv};
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

} // namespace
} // namespace tambrel
