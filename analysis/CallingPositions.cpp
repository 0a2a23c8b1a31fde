#include "analysis/CallingPositions.h"

#include "engine/Bells.h"
#include "engine/Row.h"
#include "engine/TBellStore.h"

#include <cctype>
#include <cstddef>

namespace tambrel {

namespace {

// A calling runs to far fewer leads than this; more means a mistyped part count.
constexpr std::size_t kMaxLeads = 10000;

// The change at position p (1..LeadLength) of the bob or single lead as the store lays it out.
const std::string& CallChange(const TBellStore& store, LeadCall call, int p)
{
    return call == LeadCall::Single ? store.GetSingleChange(p) : store.GetBobChange(p);
}

struct RungLead {
    Row leadEnd;  // the row before the lead head
    Row leadHead; // the lead head as rung
    // The row the next lead is rung from with the plain lead's changes: the lead head, unless
    // the call runs on past it.
    Row next;
};

// One lead from `head`. The store's call lead is the plain lead turned about its lead end:
// position p <= L/2 holds plain change L - L/2 + p, and the positions after it the first
// changes of the next lead. A called lead is the plain lead with its second half taken from
// there. A call that reaches past the lead head (5.1.7 about a Caters lead end) also changes
// the next lead's first changes; rather than carry those into the next lead, its head is moved
// so that the plain changes from it give the rows the call gives, which keeps every later lead
// head right whatever is called next.
RungLead RingLead(const TBellStore& store, const Row& head, LeadCall call)
{
    const int bells = store.Bells();
    const int length = store.LeadLength();
    const int half = length / 2;
    const auto change = [&](int i) -> const std::string& {
        return call == LeadCall::Plain || i <= length - half
                   ? store.GetChange(i)
                   : CallChange(store, call, i - (length - half));
    };
    RungLead lead;
    Row row = head;
    for (int i = 1; i <= length; ++i) {
        if (i == length) {
            lead.leadEnd = row;
        }
        row = ApplyChange(row, ChangeMovement(change(i), bells));
    }
    lead.leadHead = row;
    lead.next = row;
    if (call == LeadCall::Plain) {
        return lead;
    }
    int spill = 0;
    for (int k = 1; k <= length - half; ++k) {
        if (CallChange(store, call, half + k) != store.GetChange(k)) {
            spill = k;
        }
    }
    if (spill > 0) {
        Row called = Rounds(bells);
        Row plain = Rounds(bells);
        for (int k = 1; k <= spill; ++k) {
            called = ApplyChange(called, ChangeMovement(CallChange(store, call, half + k), bells));
            plain = ApplyChange(plain, ChangeMovement(store.GetChange(k), bells));
        }
        lead.next = row * called * plain.Inverse();
    }
    return lead;
}

int PlaceOf(const Row& row, int bell)
{
    for (std::size_t p = 0; p < row.size(); ++p) {
        if (row[p] == bell) {
            return static_cast<int>(p) + 1;
        }
    }
    return 0;
}

// The observation bell about the lead end of a lead rung from `head`.
LeadEndPlaces PlacesAt(const TBellStore& store, const Row& head, LeadCall call, int bell)
{
    const RungLead called = RingLead(store, head, call);
    return {PlaceOf(called.leadEnd, bell), PlaceOf(called.leadHead, bell),
            PlaceOf(RingLead(store, head, LeadCall::Plain).leadHead, bell)};
}

// The place H, W or M names on this stage; 0 where the name is not used, because the place
// has a name nearer the front (W on five bells would be 3rds).
int NamedPlace(char letter, int bells)
{
    const bool even = bells % 2 == 0;
    switch (letter) {
    case 'H':
        return bells;
    case 'W':
        return bells >= 6 ? bells - (even ? 1 : 2) : 0;
    case 'M':
        return bells >= 7 ? bells - (even ? 2 : 1) : 0;
    case 'I':
        return 2;
    case 'O':
    case 'T':
        return 3;
    case 'F':
        return 4;
    case 'V':
        return 5;
    default:
        return 0;
    }
}

bool PlainBobLeadHeads(const TBellStore& store)
{
    const int bells = store.Bells();
    const int length = store.LeadLength();
    if (!IsValidStage(bells) || length < 1 || store.RowCount() < length) {
        return false;
    }
    // Plain Bob's own lead: plain hunting with 2nds made at the lead end; its lead heads are
    // the powers of its first.
    const std::string back(1, SymbolOf(bells));
    const bool even = bells % 2 == 0;
    Row bob = Rounds(bells);
    for (int k = 1; k <= 2 * bells; ++k) {
        const std::string change = k == 2 * bells ? (even ? "12" : "12" + back)
                                   : k % 2 == 1   ? (even ? "" : back)
                                                  : (even ? "1" + back : "1");
        bob = ApplyChange(bob, ChangeMovement(change, bells));
    }
    const Row& leadHead = store.RowAt(length);
    Row power = bob;
    for (int k = 1; k <= bells - 2; ++k, power = power * bob) {
        if (power == leadHead) {
            return true;
        }
    }
    return false;
}

struct Position {
    LeadCall call = LeadCall::Bob;
    char letter = 0; // one of HWMIBOTFV, or 0 for a place number
    int place = 0;   // the place the observation bell is left in; 0 for B
    bool courseEnd = false;
    std::string Text() const
    {
        const std::string name = letter != 0 ? std::string(1, letter) : std::to_string(place);
        return call == LeadCall::Single ? "s" + name : name;
    }
};

struct Calling {
    std::vector<Position> positions;
    int parts = 1;
};

bool IsDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

Result<Calling> ParseCalling(std::string_view text, int bells)
{
    Calling calling;
    const std::size_t star = text.find('*');
    if (star != std::string_view::npos) {
        const std::string_view count = text.substr(star + 1);
        std::size_t from = count.find_first_not_of(" \t");
        std::size_t to = count.find_last_not_of(" \t\r\n");
        int parts = 0;
        bool number = from != std::string_view::npos;
        for (std::size_t i = from; number && i <= to; ++i) {
            number = IsDigit(count[i]) && parts < 1000;
            parts = parts * 10 + (count[i] - '0');
        }
        if (!number || parts < 1 || parts > 999) {
            return Result<Calling>::fail("After \"*\" give the number of parts, 1 to 999.");
        }
        calling.parts = parts;
        text = text.substr(0, star);
    }
    const auto readNumber = [&](std::size_t& i) {
        int value = 0;
        while (i < text.size() && IsDigit(text[i])) {
            value = value < 1000 ? value * 10 + (text[i] - '0') : value;
            ++i;
        }
        return value;
    };
    const auto isAlpha = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == ',' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '/' || c == '\n') {
            calling.positions.push_back(Position{.courseEnd = true});
            ++i;
            continue;
        }
        const std::size_t start = i;
        int count = 1;
        if (IsDigit(c)) {
            const int number = readNumber(i);
            if (i < text.size() && isAlpha(text[i])) {
                count = number; // "2H": that many calls in turn
            } else {
                i = start;
            }
        }
        Position position;
        if (i + 1 < text.size() && (text[i] == 's' || text[i] == 'S') &&
            (isAlpha(text[i + 1]) || IsDigit(text[i + 1]))) {
            position.call = LeadCall::Single;
            ++i;
        }
        if (i < text.size() && IsDigit(text[i])) {
            position.place = readNumber(i);
            if (position.place < 2 || position.place > bells) {
                return Result<Calling>::fail("There is no calling position " +
                                             std::to_string(position.place) + " on " +
                                             std::to_string(bells) + " bells.");
            }
        } else {
            const auto letter =
                static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
            ++i;
            position.letter = letter;
            position.place = NamedPlace(letter, bells);
            if (letter != 'B' && position.place == 0) {
                // Built by appending: GCC 12 misreads a string inserted at the front.
                std::string message = "\"";
                message.append(text.substr(start, i - start));
                message += "\" is not a calling position on " + std::to_string(bells) + " bells.";
                return Result<Calling>::fail(message);
            }
        }
        if (count < 1 || count > 99) {
            return Result<Calling>::fail("A count before a position is 1 to 99.");
        }
        calling.positions.insert(calling.positions.end(), static_cast<std::size_t>(count),
                                 position);
    }
    bool called = false;
    for (const Position& position : calling.positions) {
        called = called || !position.courseEnd;
    }
    if (!called) {
        return Result<Calling>::fail("Write the calling as positions, such as \"W H H\".");
    }
    return Result<Calling>::ok(std::move(calling));
}

} // namespace

std::string CallingPosition(int bells, LeadCall call, const LeadEndPlaces& places)
{
    if (call == LeadCall::Plain) {
        return {};
    }
    for (const char letter : {'H', 'W', 'M'}) {
        if (places.after == NamedPlace(letter, bells)) {
            return std::string(1, letter);
        }
    }
    // The bell that led before the treble is "Before" wherever the call takes it: making 2nds
    // at a call that makes 2nds, else running out to 3rds. A bell that runs out at every lead
    // end, as at a far call, is only "Out".
    if (places.before == 2 &&
        (places.after == 2 || (places.after == 3 && places.plain != places.after))) {
        return "B";
    }
    switch (places.after) {
    case 2:
        return "I";
    case 3:
        return call == LeadCall::Single ? "T" : "O";
    case 4:
        return "F";
    case 5:
        return "V";
    default:
        return std::to_string(places.after);
    }
}

Result<std::vector<LeadCall>> CallingFromPositions(const TBellStore& store,
                                                   std::string_view positions, int observationBell)
{
    using Leads = Result<std::vector<LeadCall>>;
    const int bells = store.Bells();
    if (!PlainBobLeadHeads(store)) {
        return Leads::fail("Calling positions are only for methods with Plain Bob lead heads.");
    }
    if (observationBell < 2 || observationBell > bells) {
        return Leads::fail("The observation bell is one of the bells 2 to " +
                           std::string(1, SymbolOf(bells)) + ".");
    }
    Result<Calling> calling = ParseCalling(positions, bells);
    if (!calling) {
        return Leads::fail(calling.error);
    }
    for (const Position& position : calling.value->positions) {
        if (position.courseEnd) {
            continue;
        }
        if (position.call == LeadCall::Bob && !store.HasBob()) {
            return Leads::fail("This method has no bob.");
        }
        if (position.call == LeadCall::Single && !store.HasSingle()) {
            return Leads::fail("This method has no single.");
        }
    }

    std::vector<LeadCall> leads;
    Row head = Rounds(bells);
    const auto home = [&] { return PlaceOf(head, observationBell) == observationBell; };
    const auto ringPlain = [&] {
        leads.push_back(LeadCall::Plain);
        head = RingLead(store, head, LeadCall::Plain).next;
    };
    // Plain Bob lead heads take the bell through every place in a course, so this ends.
    const auto ringToCourseEnd = [&] {
        while (!home() && leads.size() <= kMaxLeads) {
            ringPlain();
        }
    };
    for (int part = 0; part < calling.value->parts; ++part) {
        for (const Position& position : calling.value->positions) {
            if (position.courseEnd) {
                ringToCourseEnd();
                continue;
            }
            // A search that starts at a course end may run one whole course; one that starts
            // inside a course may also finish it.
            int courseEnds = home() ? 1 : 0;
            while (true) {
                const LeadEndPlaces places = PlacesAt(store, head, position.call, observationBell);
                const bool found = position.letter == 'B'
                                       ? CallingPosition(bells, position.call, places) == "B"
                                       : places.after == position.place;
                if (found) {
                    leads.push_back(position.call);
                    head = RingLead(store, head, position.call).next;
                    break;
                }
                ringPlain();
                if (home() && ++courseEnds == 2) {
                    return Leads::fail("The observation bell never reaches " + position.Text() +
                                       " in this course.");
                }
            }
            if (leads.size() > kMaxLeads) {
                break;
            }
        }
        ringToCourseEnd();
        if (leads.size() > kMaxLeads) {
            return Leads::fail("The calling runs to more than " + std::to_string(kMaxLeads) +
                               " leads.");
        }
    }
    return Leads::ok(std::move(leads));
}

std::vector<std::string> PositionsOfCalls(const TBellStore& store, std::span<const LeadCall> leads,
                                          int observationBell)
{
    std::vector<std::string> names(leads.size());
    const int bells = store.Bells();
    if (observationBell < 2 || observationBell > bells || store.LeadLength() < 1) {
        return names;
    }
    Row head = Rounds(bells);
    for (std::size_t i = 0; i < leads.size(); ++i) {
        if (leads[i] != LeadCall::Plain) {
            const std::string name =
                CallingPosition(bells, leads[i], PlacesAt(store, head, leads[i], observationBell));
            names[i] = leads[i] == LeadCall::Single ? "s" + name : name;
        }
        head = RingLead(store, head, leads[i]).next;
    }
    return names;
}

Result<std::vector<TouchLead>> TouchFromPositions(const TBellStore& store,
                                                  std::string_view positions, int observationBell)
{
    const Result<std::vector<LeadCall>> called =
        CallingFromPositions(store, positions, observationBell);
    if (!called) {
        return Result<std::vector<TouchLead>>::fail(called.error);
    }
    std::vector<TouchLead> leads;
    leads.reserve(called.value->size());
    for (const LeadCall call : *called.value) {
        leads.push_back({0, call});
    }
    return Result<std::vector<TouchLead>>::ok(std::move(leads));
}

} // namespace tambrel
