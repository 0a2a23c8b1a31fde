#include "library/MethodBrowser.h"

#include "engine/TextFunctions.h"

#include <charconv>
#include <limits>

namespace tambrel {

namespace {

struct GroupCode {
    std::string_view code;
    int leastBells;
};

// The lead-head codes, list by list, each with the fewest bells it can occur on.
constexpr GroupCode kGroupLists[] = {
    {"A", 4},   {"B", 6},   {"C", 8},   {"C1", 10}, {"C2", 12}, {"C3", 14}, {"C4", 16}, {"D4", 16},
    {"D3", 14}, {"D2", 12}, {"D1", 10}, {"D", 8},   {"E", 6},   {"F", 4},   {"G", 4},   {"H", 6},
    {"J", 8},   {"J1", 10}, {"J2", 12}, {"J3", 14}, {"J4", 16}, {"K4", 16}, {"K3", 14}, {"K2", 12},
    {"K1", 10}, {"K", 8},   {"L", 6},   {"M", 4},   {"P", 4},   {"P1", 9},  {"P2", 13}, {"Q2", 13},
    {"Q1", 9},  {"Q", 5},   {"R", 4},   {"R1", 9},  {"R2", 13}, {"S2", 13}, {"S1", 9},  {"S", 5},
};

bool AllGroups(const BrowserChoice& choice)
{
    return UpperCase(choice.group) == "ALL";
}

std::string GroupField(std::string_view group)
{
    std::string padded = UpperCase(group);
    padded.resize(2, ' ');
    return padded;
}

} // namespace

RefreshMode RefreshModeOf(std::string_view token)
{
    return token == "SAVE" ? RefreshMode::Save : RefreshMode::NoSave;
}

std::vector<std::string> LeadHeadGroups(int bells)
{
    std::vector<std::string> groups{"ALL"};
    for (const GroupCode& group : kGroupLists) {
        if (group.leastBells <= bells) {
            groups.emplace_back(group.code);
        }
    }
    groups.emplace_back("Z");
    return groups;
}

std::string RangeKey(const BrowserChoice& choice)
{
    return AllGroups(choice) ? BellsKey(choice.bells)
                             : BellsKey(choice.bells) + GroupField(choice.group);
}

std::string_view RangeTag(const BrowserChoice& choice)
{
    if (choice.findBy == FindBy::Name) {
        return AllGroups(choice) ? "NAME" : "GRPNAME";
    }
    return AllGroups(choice) ? "PLACES" : "GRPPLACES";
}

std::string RangeCondition(const BrowserChoice& choice)
{
    std::string condition = "Bells=\"" + BellsKey(choice.bells) + "\"";
    if (!AllGroups(choice)) {
        condition += " .And. Group=\"" + GroupField(choice.group) + "\"";
    }
    return condition;
}

bool InRange(const TDbf& methods, const BrowserChoice& choice)
{
    if (methods.Eof() || methods.FieldText("bells") != BellsKey(choice.bells)) {
        return false;
    }
    return AllGroups(choice) || UpperCase(methods.FieldText("group")) == GroupField(choice.group);
}

BrowserRange RefreshBrowser(TfrmDataMod& data, const BrowserChoice& choice, RefreshMode mode,
                            std::int64_t& savedRecNo)
{
    BrowserRange range;
    TDbf& methods = data.dbfMethods;
    const auto library = static_cast<std::size_t>(choice.library);
    range.status = library < kBrowserTableCodes.size()
                       ? data.OpenTables(kBrowserTableCodes[library], TableAccess::Read)
                       : Status::Fail("There is no such method library.");
    if (range.status) {
        methods.SetErrorsRaised(false);
        methods.DisableControls();
        methods.SetWhileTo("");
        methods.SetErrorsRaised(true);
        range.status = methods.SetOrderToTag(RangeTag(choice));
        methods.EnableControls();
    }
    const std::string key = RangeKey(choice);
    bool found = false;
    if (range.status) {
        methods.GoTop();
        found = methods.Find(key);
    }
    if (!found) {
        savedRecNo = kNoSavedRecNo;
        data.CloseTables();
        return range;
    }
    methods.DisableControls();
    range.first = methods.Position();
    if (choice.savePosition && mode == RefreshMode::Save) {
        // A saved record that has gone, or now lies outside the range, gives the range's top.
        methods.SetErrorsRaised(false);
        if (savedRecNo >= 1 && savedRecNo <= std::numeric_limits<std::uint32_t>::max()) {
            methods.Go(static_cast<std::uint32_t>(savedRecNo));
        }
        methods.SetErrorsRaised(true);
        if (!InRange(methods, choice)) {
            methods.Find(key);
        }
    } else {
        methods.FindNear(key + choice.findText);
        // Text beyond the range's last name or notation lands on the next range (or the end):
        // one step back is the range's last method.
        if (!InRange(methods, choice)) {
            methods.Skip(-1);
        }
    }
    range.status = methods.SetWhileTo(RangeCondition(choice));
    range.end = methods.WhileRange().second;
    range.found = range.status.ok();
    savedRecNo = methods.RecNo();
    methods.EnableControls();
    return range;
}

std::string BrowserCaption(TfrmDataMod& data)
{
    std::string caption = "Open an Existing Method - Main Library";
    if (data.OpenTables("MAIN", TableAccess::Read)) {
        TDbf& methods = data.dbfMethods;
        methods.SetWhileTo("");
        methods.SetOrderToTag("NAME"); // "0 " of the header sorts before every bell count
        methods.GoTop();
        if (!methods.Eof() && Trim(methods.FieldText("bells")) == "0") {
            caption += " built " + Trim(methods.FieldText("places"));
        }
    }
    data.CloseTables();
    return caption;
}

MethodFields MethodAt(const TDbf& methods, std::size_t pos)
{
    MethodFields fields;
    const std::string bells = Trim(methods.FieldTextAt(pos, "bells"));
    std::from_chars(bells.data(), bells.data() + bells.size(), fields.bells);
    fields.name = Trim(methods.FieldTextAt(pos, "name"));
    fields.places = Trim(methods.FieldTextAt(pos, "places"));
    fields.group = Trim(methods.FieldTextAt(pos, "group"));
    return fields;
}

Status DeleteBrowsedMethod(TfrmDataMod& data, const BrowserChoice& choice, std::uint32_t recno,
                           const MethodFields& expected, std::int64_t& savedRecNo)
{
    const auto library = static_cast<std::size_t>(choice.library);
    if (library >= kBrowserTableCodes.size()) {
        return Status::Fail("There is no such method library.");
    }
    // The reading hold goes first: the change needs the table alone.
    data.CloseTables();
    Status status = data.OpenTables(kBrowserTableCodes[library], TableAccess::Write);
    TDbf& methods = data.dbfMethods;
    if (status) {
        status = methods.SetOrderToTag(RangeTag(choice));
    }
    if (status) {
        // Restricted over the whole range, so that the record made current by the deletion is
        // a neighbour within it.
        methods.GoTop();
        const bool found = methods.Find(RangeKey(choice)) &&
                           methods.SetWhileTo(RangeCondition(choice)) && methods.Go(recno) &&
                           InRange(methods, choice) &&
                           MethodAt(methods, methods.Position()) == expected;
        if (!found) {
            status = Status::Fail(std::string(kMsgMethodChanged));
        }
    }
    if (status) {
        status = methods.DeleteRec();
    }
    const std::int64_t current = methods.Eof() ? kNoSavedRecNo : methods.RecNo();
    if (Status closed = data.CloseTables(); status && !closed) {
        status = closed;
    }
    if (status) {
        savedRecNo = current;
    }
    return status;
}

} // namespace tambrel
