#include "library/MethodBrowser.h"

#include "engine/Bells.h"
#include "engine/LeadHeadCode.h"
#include "engine/PlaceNotation.h"
#include "engine/TextFunctions.h"

#include <algorithm>
#include <bitset>
#include <charconv>
#include <iterator>
#include <limits>
#include <span>

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

namespace {

// Four codes to a class: plain, Little, Differential, Differential Little.
constexpr int kClassCodes = (static_cast<int>(MethodClass::Hybrid) + 1) * 4;
static_assert(kClassCodes <= kUnclassified);

} // namespace

ClassCode ClassCodeOf(const Classification& c)
{
    // A principle is never Little: its words are "Principle" or "Differential" alone.
    const bool little = c.little && c.kind != MethodClass::Principle;
    return static_cast<ClassCode>(static_cast<int>(c.kind) * 4 + (c.differential ? 2 : 0) +
                                  (little ? 1 : 0));
}

std::string ClassWordsOf(ClassCode code)
{
    if (code >= kClassCodes) {
        return {};
    }
    Classification c;
    c.kind = static_cast<MethodClass>(code / 4);
    c.differential = (code & 2) != 0;
    c.little = (code & 1) != 0;
    // ClassCodeOf never gives a Little principle.
    return c.kind == MethodClass::Principle && c.little ? std::string() : c.ClassWords();
}

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

int BellsOf(const std::string& field)
{
    int bells = 0;
    const std::string text = Trim(field);
    std::from_chars(text.data(), text.data() + text.size(), bells);
    return bells;
}

// Whether the record at the cursor belongs to the chosen bells (any stage for kAllStages) and
// group.
bool InRange(const TDbf& methods, const BrowserChoice& choice)
{
    if (methods.Eof()) {
        return false;
    }
    const std::string bells = methods.FieldText("bells");
    if (choice.bells == kAllStages ? !IsValidStage(BellsOf(bells))
                                   : bells != BellsKey(choice.bells)) {
        return false;
    }
    return AllGroups(choice) || UpperCase(methods.FieldText("group")) == GroupField(choice.group);
}

BrowserChoice OfStage(BrowserChoice choice, int bells)
{
    choice.bells = bells;
    return choice;
}

// Every stage's span, fewest bells first, the cursor left unrestricted.
std::vector<BrowserSpan> StageSpans(TDbf& methods, const BrowserChoice& choice)
{
    std::vector<BrowserSpan> spans;
    for (int bells = kMinBells; bells <= kMaxBells; ++bells) {
        const BrowserChoice stage = OfStage(choice, bells);
        if (!methods.Find(RangeKey(stage))) {
            continue;
        }
        const std::size_t first = methods.Position();
        if (methods.SetWhileTo(RangeCondition(stage))) {
            spans.push_back({bells, first, methods.WhileRange().second});
        }
        methods.SetWhileTo("");
    }
    return spans;
}

// Over every stage: the first name (or notation) that begins with the search text, stage by
// stage, else the single-stage rule on the first stage listed.
void PositionOverStages(TDbf& methods, const BrowserChoice& choice,
                        const std::vector<BrowserSpan>& spans)
{
    const std::string field = choice.findBy == FindBy::Name ? "name" : "places";
    const std::string typed = methods.AsStored(choice.findText);
    for (const BrowserSpan& span : spans) {
        const BrowserChoice stage = OfStage(choice, span.bells);
        methods.FindNear(RangeKey(stage) + choice.findText);
        if (InRange(methods, stage) && methods.FieldText(field).starts_with(typed)) {
            return;
        }
    }
    const BrowserChoice stage = OfStage(choice, spans.front().bells);
    methods.FindNear(RangeKey(stage) + choice.findText);
    if (!InRange(methods, stage)) {
        methods.Skip(-1);
    }
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
    if (range.status && choice.bells == kAllStages) {
        range.spans = StageSpans(methods, choice);
    } else if (range.status) {
        methods.GoTop();
        if (methods.Find(RangeKey(choice))) {
            range.spans.push_back({choice.bells, methods.Position(), 0});
        }
    }
    if (range.spans.empty()) {
        savedRecNo = kNoSavedRecNo;
        data.CloseTables();
        return range;
    }
    const BrowserChoice top = OfStage(choice, range.spans.front().bells);
    if (choice.savePosition && mode == RefreshMode::Save) {
        // A saved record that has gone, or now lies outside the range, gives the range's top.
        methods.SetErrorsRaised(false);
        if (savedRecNo >= 1 && savedRecNo <= std::numeric_limits<std::uint32_t>::max()) {
            methods.Go(static_cast<std::uint32_t>(savedRecNo));
        }
        methods.SetErrorsRaised(true);
        if (!InRange(methods, choice)) {
            methods.Find(RangeKey(top));
        }
    } else if (choice.bells == kAllStages) {
        PositionOverStages(methods, choice, range.spans);
    } else {
        methods.FindNear(RangeKey(choice) + choice.findText);
        // Text beyond the range's last name or notation lands on the next range (or the end):
        // one step back is the range's last method.
        if (!InRange(methods, choice)) {
            methods.Skip(-1);
        }
    }
    if (choice.bells != kAllStages) {
        range.status = methods.SetWhileTo(RangeCondition(choice));
        range.spans.front().end = methods.WhileRange().second;
    }
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

std::vector<std::size_t> ListedPositions(const TDbf& methods, const BrowserRange& range,
                                         const NameFilter& filter)
{
    std::vector<std::size_t> listed;
    for (const BrowserSpan& span : range.spans) {
        std::vector<std::size_t> part =
            filter.Empty() ? LivePositions(methods, span.first, span.end)
                           : FilterPositions(methods, span.first, span.end, filter);
        if (listed.empty()) {
            listed = std::move(part);
        } else {
            listed.insert(listed.end(), part.begin(), part.end());
        }
    }
    return listed;
}

ClassCode ClassCache::ClassAt(int library, const TDbf& methods, std::size_t pos, int bells)
{
    const std::uint32_t recno = methods.LiveRecordAt(pos);
    const auto table = static_cast<std::size_t>(library);
    if (recno == 0 || table >= m_entries.size()) {
        return kUnclassified;
    }
    std::vector<Entry>& entries = m_entries[table];
    if (entries.size() < recno) {
        entries.resize(std::max<std::size_t>(recno, methods.RecordCount()));
    }
    Entry& entry = entries[recno - 1];
    std::string places = methods.FieldTextAt(pos, "places");
    if (entry.bells == bells && entry.places == places) {
        return entry.code;
    }
    ++m_classified;
    const std::string notation = Trim(places);
    ClassCode code = kUnclassified;
    if (IsValidStage(bells) && CheckPlaceNotation(notation, bells).empty()) {
        ChangeList changes;
        const int count = SplitNotation(notation, bells, changes);
        code = ClassCodeOf(
            Classify(std::span(changes.data(), static_cast<std::size_t>(count)), bells));
    }
    entry = {bells, std::move(places), code};
    return code;
}

namespace {

// The positions of a stage's records in any of the method tags' orders, deleted ones included:
// every key begins with the bells, so the stage's records lie together and are found by halving.
BrowserSpan SpanOfStage(const TDbf& methods, int bells)
{
    const std::string key = BellsKey(bells);
    const std::size_t size = methods.RecordCount();
    const auto bound = [&](bool after) {
        std::size_t low = 0;
        std::size_t high = size;
        while (low < high) {
            const std::size_t mid = low + (high - low) / 2;
            const std::string field = methods.FieldTextAt(mid, "bells");
            if (after ? field <= key : field < key) {
                low = mid + 1;
            } else {
                high = mid;
            }
        }
        return low;
    };
    return {bells, bound(false), bound(true)};
}

} // namespace

std::vector<ClassCode> ClassesPresent(TfrmDataMod& data, const BrowserChoice& choice,
                                      ClassCache& cache)
{
    const auto library = static_cast<std::size_t>(choice.library);
    if (library >= kBrowserTableCodes.size() ||
        !data.OpenTables(kBrowserTableCodes[library], TableAccess::Read)) {
        return {};
    }
    TDbf& methods = data.dbfMethods;
    if (methods.CurrentTag().empty() && !methods.SetOrderToTag("NAME")) {
        return {};
    }
    std::bitset<kClassCodes> present;
    const int lowest = choice.bells == kAllStages ? kMinBells : choice.bells;
    const int highest = choice.bells == kAllStages ? kMaxBells : choice.bells;
    for (int bells = lowest; bells <= highest; ++bells) {
        const BrowserSpan span = SpanOfStage(methods, bells);
        for (std::size_t pos = span.first; pos < span.end; ++pos) {
            if (const ClassCode code = cache.ClassAt(choice.library, methods, pos, bells);
                code < kClassCodes) {
                present.set(code);
            }
        }
    }
    std::vector<ClassCode> classes;
    for (std::size_t code = 0; code < present.size(); ++code) {
        if (present.test(code)) {
            classes.push_back(static_cast<ClassCode>(code));
        }
    }
    return classes;
}

std::vector<std::size_t> ListedPositions(const TDbf& methods, const BrowserRange& range,
                                         const NameFilter& filter, const BrowserChoice& choice,
                                         ClassCache& cache)
{
    if (choice.methodClass == kAnyClass) {
        return ListedPositions(methods, range, filter);
    }
    std::vector<std::size_t> listed;
    for (const BrowserSpan& span : range.spans) {
        // The names are compared first: they rule out more, and more cheaply.
        const std::vector<std::size_t> part =
            filter.Empty() ? LivePositions(methods, span.first, span.end)
                           : FilterPositions(methods, span.first, span.end, filter);
        std::copy_if(part.begin(), part.end(), std::back_inserter(listed), [&](std::size_t pos) {
            return cache.ClassAt(choice.library, methods, pos, span.bells) == choice.methodClass;
        });
    }
    return listed;
}

int ListedRowNear(const std::vector<std::size_t>& listed, const BrowserRange& range,
                  std::size_t pos)
{
    if (listed.empty()) {
        return -1;
    }
    // Shown in order of span, then of position; a position outside every span comes last.
    const auto rank = [&range](std::size_t p) {
        const auto span =
            std::find_if(range.spans.begin(), range.spans.end(),
                         [p](const BrowserSpan& s) { return p >= s.first && p < s.end; });
        return std::pair{span - range.spans.begin(), p};
    };
    const auto found =
        std::lower_bound(listed.begin(), listed.end(), rank(pos),
                         [&rank](std::size_t p, const auto& key) { return rank(p) < key; });
    return found == listed.end() ? static_cast<int>(listed.size()) - 1
                                 : static_cast<int>(found - listed.begin());
}

std::string EmptyListText(const BrowserChoice& choice)
{
    if (choice.library != 2) {
        return {};
    }
    const std::string stage =
        choice.bells == kAllStages ? "" : " for " + std::to_string(choice.bells) + " bells";
    return "No methods found yet" + stage + ": use Tools > Find Similar Methods";
}

MethodFields MethodAt(const TDbf& methods, std::size_t pos)
{
    MethodFields fields;
    fields.bells = BellsOf(methods.FieldTextAt(pos, "bells"));
    fields.name = Trim(methods.FieldTextAt(pos, "name"));
    fields.places = Trim(methods.FieldTextAt(pos, "places"));
    fields.group = Trim(methods.FieldTextAt(pos, "group"));
    return fields;
}

Status DeleteBrowsedMethod(TfrmDataMod& data, const BrowserChoice& listed, std::uint32_t recno,
                           const MethodFields& expected, std::int64_t& savedRecNo)
{
    // Over every stage, the neighbour left current is one of the method's own stage.
    const BrowserChoice choice =
        listed.bells == kAllStages ? OfStage(listed, expected.bells) : listed;
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
