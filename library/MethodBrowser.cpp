#include "library/MethodBrowser.h"

#include "engine/LeadHeadCode.h"
#include "engine/TextFunctions.h"

#include <charconv>
#include <limits>

namespace tambrel {

namespace {

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

std::vector<std::string> LeadHeadGroups(int bells)
{
    std::vector<std::string> groups{"ALL"};
    for (const LeadHeadCodeEntry& code : LeadHeadCodes(bells)) {
        groups.emplace_back(code.code);
    }
    groups.emplace_back("Z");
    return groups;
}

namespace {

// The index key of the listed range: bells, then the group padded to two characters unless
// the group is "ALL".
std::string RangeKey(const BrowserChoice& choice)
{
    return AllGroups(choice) ? BellsKey(choice.bells)
                             : BellsKey(choice.bells) + GroupField(choice.group);
}

// The tag a choice orders by: NAME, GRPNAME, PLACES or GRPPLACES.
std::string_view RangeTag(const BrowserChoice& choice)
{
    if (choice.findBy == FindBy::Name) {
        return AllGroups(choice) ? "NAME" : "GRPNAME";
    }
    return AllGroups(choice) ? "PLACES" : "GRPPLACES";
}

// The while-condition of the range: Bells="8 ", with .And. Group="A " when a group is chosen.
std::string RangeCondition(const BrowserChoice& choice)
{
    std::string condition = "Bells=\"" + BellsKey(choice.bells) + "\"";
    if (!AllGroups(choice)) {
        condition += " .And. Group=\"" + GroupField(choice.group) + "\"";
    }
    return condition;
}

// Whether the record at the cursor belongs to the chosen bells (and group).
bool InRange(const TDbf& methods, const BrowserChoice& choice)
{
    if (methods.Eof() || methods.FieldText("bells") != BellsKey(choice.bells)) {
        return false;
    }
    return AllGroups(choice) || UpperCase(methods.FieldText("group")) == GroupField(choice.group);
}

} // namespace

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
        methods.SetWhileTo("");
        methods.SetErrorsRaised(true);
        range.status = methods.SetOrderToTag(RangeTag(choice));
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
    return range;
}

std::string BrowserCaption(TfrmDataMod& data, int library)
{
    if (library == 1 || library == 2) {
        return library == 1 ? "Open an Existing Method - Personal Library"
                            : "Open an Existing Method - Method Find Library";
    }
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

std::string EmptyListText(const BrowserChoice& choice)
{
    if (choice.library != 2) {
        return {};
    }
    return "No methods found yet for " + std::to_string(choice.bells) +
           " bells: use Tools > Find Similar Methods";
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
