#include "analysis/TBellStats.h"

#include "analysis/TBellFCH.h"
#include "analysis/TBellRolls.h"
#include "engine/Bells.h"
#include "engine/TBellStore.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace tambrel {

namespace {

constexpr int kInCourseRows = 22;   // rows 1..22
constexpr int kOutOfCourseEnd = 41; // rows 23..41
constexpr int kSplitRows = 3;       // rows 42..44, 8 bells only

constexpr std::array<GroupRow, TBellStats::kGroupRows> kGroupTable = {{
    {"23456", "A", "A"},  {"24365", "B", "B"}, {"25634", "C", "C"},  {"32546", "D", "D"},
    {"32465", "E", "E"},  {"32654", "F", "F"}, {"56423", "G", "G"},  {"53462", "H", "H"},
    {"54632", "I", "I"},  {"53624", "K", "K"}, {"26543", "L", "L1"}, {"42563", "", "L2"},
    {"23564", "M", "M"},  {"34562", "N", "N"}, {"52643", "O", "O"},  {"54326", "P", "P1"},
    {"64523", "", "P2"},  {"45623", "R", "R"}, {"52364", "S", "S"},  {"24536", "T", "T"},
    {"34256", "U", "U1"}, {"42635", "", "U2"}, {"32456", "", "B"},   {"42365", "", "C"},
    {"53426", "", "D"},   {"25364", "", "E"},  {"26345", "", "F"},   {"36542", "", "H"},
    {"34526", "", "K1"},  {"64325", "", "K2"}, {"53264", "", "N1"},  {"65234", "", "N2"},
    {"53642", "", "O"},   {"32564", "", "T"},  {"23465", "a", "a1"}, {"23546", "", "a2"},
    {"26534", "b", "b"},  {"42536", "c", "c"}, {"54236", "d", "d"},  {"52463", "e", "e"},
    {"65342", "f", "f"},  {"265743", "X", ""}, {"364752", "Y", ""},  {"546732", "Z", ""},
}};

// The tenors-together members of the group or part each of rows 1..41 stands for (the
// Central Council's table of false course head groups). A method's false course heads need
// not come in whole groups, so each is looked up among all the members, not only the row's
// own course head.
constexpr std::array<std::string_view, kOutOfCourseEnd> kGroupMembers = {
    "23456",
    "24365",
    "25634",
    "32546 46253",
    "32465 43265",
    "45236 32654",
    "56423 63542",
    "53462 63425",
    "54632 65324",
    "65432 53624",
    "26543",
    "42563 36245",
    "23564 23645 25463 26435",
    "34562 62345 46325 54263",
    "52643 36524 65243 46532",
    "54326 64352",
    "56342 64523",
    "45623 56234 35642 62534",
    "52364 34625 64235 45362",
    "24536 25346 36452 43526 62453 26354 53246 24653",
    "34256 42356 43652 63254 52436 35426",
    "35264 42635",
    "25436 32456 23654 43256",
    "42365 34265",
    "53426 63452 24356",
    "25364 24635",
    "26345 24563",
    "56243 62543 46523 36542",
    "46352 52346 64253 34526",
    "64325 54362",
    "62435 53264 43625 35462",
    "65234 45632 52634 35624",
    "63524 53642 56432 65423",
    "32564 32645 46235 45263",
    "23465",
    "23546 26453",
    "26534 25643",
    "35246 42536 42653 36254",
    "34652 45326 62354 54236",
    "36425 52463 43562 63245",
    "54623 56324 65342 64532",
};

// Five symbols of bells 2 to 6 as a number 0..3124; -1 for any other text.
constexpr int FchKey(std::string_view fch)
{
    if (fch.size() != 5) {
        return -1;
    }
    int key = 0;
    for (const char c : fch) {
        if (c < '2' || c > '6') {
            return -1;
        }
        key = key * 5 + (c - '2');
    }
    return key;
}

constexpr int kFchKeys = 5 * 5 * 5 * 5 * 5;

constexpr std::array<std::int8_t, kFchKeys> kRowOfKey = [] {
    std::array<std::int8_t, kFchKeys> rows{};
    for (std::size_t row = 0; row < kGroupMembers.size(); ++row) {
        const std::string_view members = kGroupMembers[row];
        for (std::size_t at = 0; at + 5 <= members.size(); at += 6) {
            rows[static_cast<std::size_t>(FchKey(members.substr(at, 5)))] =
                static_cast<std::int8_t>(row + 1);
        }
    }
    return rows;
}();

std::string Number(long value)
{
    return std::to_string(value);
}

// The 8-bell patterns keep as many back bells as the runs they count; "x" fills the rest.
std::string RollPattern(int bells, bool up)
{
    std::string pattern;
    for (int k = 3; k >= 0; --k) {
        pattern += SymbolOf(up ? bells - k : bells - 3 + k);
    }
    if (bells < 10) {
        const auto blanks = static_cast<std::size_t>(10 - bells);
        const auto kept = static_cast<std::size_t>(bells - 6);
        pattern = up ? std::string(blanks, 'x') + pattern.substr(4 - kept)
                     : pattern.substr(0, kept) + std::string(blanks, 'x');
    }
    return pattern;
}

} // namespace

long RoundHalfEven(double value)
{
    const double below = std::floor(value);
    const double fraction = value - below;
    auto rounded = static_cast<long>(below);
    if (fraction > 0.5 || (fraction == 0.5 && rounded % 2 != 0)) {
        ++rounded;
    }
    return rounded;
}

long DifficultyIndex(int movement, int reversals, int score, int rows)
{
    const double index =
        movement +
        movement * reversals * 0.5 * (1.0 - std::abs(rows - 2 * score) / static_cast<double>(rows));
    // The sheet has always held the index in single precision before rounding it.
    const auto held = static_cast<float>(index);
    return RoundHalfEven(static_cast<double>(held));
}

const std::array<GroupRow, TBellStats::kGroupRows>& TBellStats::GroupTable()
{
    return kGroupTable;
}

int TBellStats::GroupRowOf(std::string_view fch)
{
    const int key = FchKey(fch);
    return key < 0 ? 0 : kRowOfKey[static_cast<std::size_t>(key)];
}

void TBellStats::Calculate(const TBellStore& store, TBellFCH& fch, TBellRolls& rolls)
{
    m_lines = StatsLines{};
    m_found.fill(false);
    m_leadLength = store.LeadLength();
    m_rowCount = store.RowCount();
    m_courseTooLong = store.CourseTooLong();
    Classify(store);
    AnalysePath(store);
    if (!m_courseTooLong) {
        CountRolls(store, rolls);
        FindGroups(store, fch);
    }
}

void TBellStats::Classify(const TBellStore& store)
{
    m_leadHeadCode = store.LeadHeadCode().empty() ? std::string("Z") : store.LeadHeadCode();
    const int n = store.Bells();
    const Row& leadHead = store.RowAt(store.LeadLength());
    const auto at = [&](int place) {
        return static_cast<int>(leadHead[static_cast<std::size_t>(place - 1)]);
    };

    const bool regular = m_leadHeadCode != "Z";
    // Cyclic: bells 2 to n follow each other round from some place, the treble ignored.
    bool cyclic = true;
    for (int p = 3; p <= n && cyclic; ++p) {
        cyclic = at(p) == (at(p - 1) == n ? 2 : at(p - 1) + 1);
    }
    // Differential: the moving bells fall into more than one cycle of the lead head.
    bool differential = false;
    if (!regular && !cyclic) {
        std::array<bool, kMaxBells + 1> visited{};
        for (int b = 1; b <= n; ++b) {
            visited[static_cast<std::size_t>(b)] = at(b) == b;
        }
        int b = 1;
        while (b <= n && visited[static_cast<std::size_t>(b)]) {
            ++b;
        }
        if (b < n) {
            while (!visited[static_cast<std::size_t>(b)]) {
                visited[static_cast<std::size_t>(b)] = true;
                b = at(b);
            }
        }
        for (int bell = 1; bell <= n && !differential; ++bell) {
            differential = !visited[static_cast<std::size_t>(bell)];
        }
    }
    // The sheet has always spelt these words so.
    const std::string word = store.Symmetric() ? "Symetric" : "Assymetric";
    if (regular) {
        m_lines.classification =
            "This is a Regular " + word + " Method of Lead Head Group " + m_leadHeadCode;
    } else if (cyclic) {
        m_lines.classification = "This is a " + word + " Cyclic Method";
    } else if (differential) {
        m_lines.classification = "This is a " + word + " Differential Method";
    } else {
        m_lines.classification = "This is an Irregular " + word + " Method";
    }
}

void TBellStats::AnalysePath(const TBellStore& store)
{
    const int n = store.Bells();
    const int length = store.LeadLength();
    const int rows = store.RowCount();
    if (length <= 0 || rows <= 0) {
        m_lines.rightPlaces = "Unable to analyse Right Places etc.";
        return;
    }
    // The tenor's path, change by change round the lead; the parity flag tells hand from
    // back so that a place made at the right stroke scores.
    int place = n;
    int change = 1;
    int move = store.GetMove(1, n);
    int previous = 0;
    bool parity = true;
    const auto step = [&] {
        previous = move;
        place += move;
        change = change == length ? 1 : change + 1;
        move = store.GetMove(change, place);
        parity = !parity;
    };

    // Start from a blow after a move down that is not followed at once by a move up.
    int counter = 0;
    do {
        if (++counter > rows) {
            m_lines.rightPlaces = "Unable to analyse Right Places etc.";
            return;
        }
        step();
    } while (previous != -1 || move == 1);

    int score = 0;
    int reversals = 0;
    int movement = 0;
    bool up = false;
    bool inReversal = false;
    for (int blow = 0; blow < rows; ++blow) {
        bool changed = false;
        if (up && move == -1 && previous != 1) {
            up = false;
            changed = true;
        } else if (!up && move == 1 && previous != -1) {
            up = true;
            changed = true;
        }
        const bool even = (place + move) % 2 == 0;
        if (parity == even) {
            score += up ? (changed ? 2 : 1) : (changed ? -1 : 0);
        } else {
            score += !up ? (changed ? 2 : 1) : (changed ? -1 : 0);
        }
        const int jump = std::abs(move - previous);
        movement += jump;
        if (jump == 2) {
            // Two reversals in a row, as in a dodge, cancel.
            inReversal = !inReversal;
            reversals += inReversal ? 1 : -1;
        } else {
            inReversal = false;
        }
        step();
    }

    m_lines.rightPlaces = "Right Places = " + Number(RoundHalfEven(score * 100.0 / rows)) + "%";
    m_lines.changesOfDirection = "Changes of Direction = " + Number(reversals);
    if (reversals > 0) {
        m_lines.averageBlows = "Average number of blows between direction changes = " +
                               Number(RoundHalfEven(static_cast<double>(rows) / reversals));
    }
    m_lines.difficulty =
        "Difficulty Index = " + Number(DifficultyIndex(movement, reversals, score, rows));
}

void TBellStats::CountRolls(const TBellStore& store, TBellRolls& rolls)
{
    const int n = store.Bells();
    if (n < 7) {
        return;
    }
    long cru = 0;
    long ups = 0;
    long downs = 0;
    for (int lead = 1; lead <= store.LeadsInCourse(); ++lead) {
        rolls.Count(store, lead);
        cru += rolls.Cru();
        ups += rolls.RollUps();
        downs += rolls.RollDowns();
    }
    m_lines.cruPositions = "CRU Positions = " + Number(cru);
    m_lines.rollUps = "Four Bell plus Roll Ups (" + RollPattern(n, true) + ") = " + Number(ups);
    m_lines.rollDowns =
        "Four Bell plus Roll Downs (" + RollPattern(n, false) + ") = " + Number(downs);
}

void TBellStats::FindGroups(const TBellStore& store, TBellFCH& fch)
{
    const int n = store.Bells();
    // Groups are defined for lead heads of Plain Bob's course only: codes A to M.
    if (n % 2 != 0 || n < 8 || m_leadHeadCode > std::string_view("M")) {
        return;
    }
    using List = TBellFCH::List;
    const auto flag = [&](List list, int first, int last) {
        for (int k = 1; k <= fch.Count(list); ++k) {
            const std::string& text = fch.Entry(list, k);
            int row = 0;
            if (first > kOutOfCourseEnd) {
                for (int r = first; r <= last && row == 0; ++r) {
                    row = Group(r).fch == text ? r : 0;
                }
            } else {
                row = GroupRowOf(text);
            }
            if (row >= first && row <= last) {
                m_found[static_cast<std::size_t>(row - 1)] = true;
            }
        }
    };
    bool unable = false;
    for (int lead = 1; lead <= store.LeadsInCourse() && !unable; ++lead) {
        fch.Search(store, store, lead, false, false);
        unable =
            fch.InCourse(1) == TBellFCH::kOverflow || fch.OutOfCourse(1) == TBellFCH::kOverflow;
        if (unable) {
            break;
        }
        flag(List::InCourse, 1, kInCourseRows);
        flag(List::OutOfCourse, kInCourseRows + 1, kOutOfCourseEnd);
        if (n == 8) {
            flag(List::SplitIn, kOutOfCourseEnd + 1, kOutOfCourseEnd + kSplitRows);
            flag(List::SplitOut, kOutOfCourseEnd + 1, kOutOfCourseEnd + kSplitRows);
        }
    }
    if (unable) {
        m_lines.fchGroups = "Unable to derive the FCH Groups";
        return;
    }

    const auto names = [&](int first, int last, bool separated) {
        std::string joined;
        for (int row = first; row <= last; ++row) {
            if (Found(row)) {
                joined += n == 8 ? Group(row).nameOnEight : Group(row).nameOnMore;
                joined += separated ? "," : "";
            }
        }
        return joined;
    };
    if (n == 8) {
        std::string in = names(1, kInCourseRows, false);
        const std::string out = names(kInCourseRows + 1, kGroupRows, false);
        if (in.empty() && out.empty()) {
            in = "CPS";
        }
        m_lines.fchGroups = "FCH Groups = " + in + out;
        return;
    }
    std::string in = names(1, kInCourseRows, true);
    std::string out = names(kInCourseRows + 1, kGroupRows, true);
    in = in.empty() ? "CPS" : in.substr(0, in.size() - 1);
    out = out.empty() ? "CPS" : out.substr(0, out.size() - 1);
    m_lines.fchGroups = "FCH Groups = " + in + " (In)" + "  and  " + out + " (Out)";
}

std::vector<SheetLine> TBellStats::BodyLines() const
{
    std::vector<SheetLine> lines;
    const auto add = [&](const std::string& text, bool bold = false) {
        lines.push_back({text, bold});
    };
    add(m_lines.classification);
    add("Changes in One Lead = " + Number(m_leadLength));
    if (m_courseTooLong) {
        add("This method has over 2000 rows in the Plain Course.", true);
        add("Only the first " + Number(m_rowCount) +
                " have been used to calculate the following figures:",
            true);
    } else {
        add("Changes in the Plain Course = " + Number(m_rowCount));
    }
    add(m_lines.rightPlaces);
    add(m_lines.changesOfDirection);
    if (!m_lines.averageBlows.empty()) {
        add(m_lines.averageBlows);
    }
    add(m_lines.difficulty);
    if (!m_lines.cruPositions.empty()) {
        add(m_lines.cruPositions);
        add(m_lines.rollUps);
        add(m_lines.rollDowns);
    }
    if (!m_lines.fchGroups.empty()) {
        add(m_lines.fchGroups);
    }
    return lines;
}

} // namespace tambrel
