#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

class TBellFCH;
class TBellRolls;
class TBellStore;

// The nine result lines of the statistics sheet, in the sheet's order. Each is "" unless it
// was computed for the method, so nothing of an earlier method can stand in it.
struct StatsLines {
    std::string classification;
    std::string rightPlaces;
    std::string changesOfDirection;
    std::string averageBlows;
    std::string difficulty;
    std::string cruPositions;
    std::string rollUps;
    std::string rollDowns;
    std::string fchGroups;
};

// One line of the sheet's body as it is written, bold or not.
struct SheetLine {
    std::string text;
    bool bold = false;
    bool operator==(const SheetLine&) const = default;
};

// One row of the false-course-head group table: the course head (bells 2 to 6, and 7 for the
// three split-tenor rows) and the group's name on 8 bells and on 10 or more ("" for none).
struct GroupRow {
    std::string_view fch;
    std::string_view nameOnEight;
    std::string_view nameOnMore;
};

// The statistics of one method: its classification, the right places, changes of direction,
// average blows and difficulty of the tenor's path, the CRU positions and four-bell roll-ups,
// and the false-course-head groups. Computed as plain values; the display paints them.
class TBellStats {
public:
    static constexpr int kGroupRows = 44;
    // Rows 1..22 name in-course groups or parts, 23..41 out-of-course ones, 42..44 the
    // split-tenor groups of 8 bells.
    static const std::array<GroupRow, kGroupRows>& GroupTable();
    static const GroupRow& Group(int row) // 1..kGroupRows
    {
        return GroupTable()[static_cast<std::size_t>(row - 1)];
    }
    // The row (1..41) whose group or part holds the tenors-together course head `fch` (five
    // symbols of bells 2 to 6); 0 for any other text. Each row stands for every member of its
    // group or part, so each of the 120 orders of bells 2 to 6 has exactly one row.
    static int GroupRowOf(std::string_view fch);

    // Computes every line anew from the calculated method `store`, filling the shared finder
    // and counter afresh.
    void Calculate(const TBellStore& store, TBellFCH& fch, TBellRolls& rolls);

    const std::string& LeadHeadCode() const { return m_leadHeadCode; }
    const StatsLines& Lines() const { return m_lines; }
    // Whether the last calculation found the group of table row `row` (1..kGroupRows).
    bool Found(int row) const { return m_found[static_cast<std::size_t>(row - 1)]; }

    // The sheet's body as written below its heading, from the last calculation.
    std::vector<SheetLine> BodyLines() const;

private:
    void Classify(const TBellStore& store);
    void AnalysePath(const TBellStore& store);
    void CountRolls(const TBellStore& store, TBellRolls& rolls);
    void FindGroups(const TBellStore& store, TBellFCH& fch);

    std::string m_leadHeadCode;
    StatsLines m_lines;
    std::array<bool, kGroupRows> m_found{};
    int m_leadLength = 0;
    int m_rowCount = 0;
    bool m_courseTooLong = false;
};

// Halves go to the even neighbour: 2.5 gives 2, 3.5 gives 4, -2.5 gives -2.
long RoundHalfEven(double value);

// The difficulty index of a path of `rows` blows (at least 1) with this movement, reversals
// and right-place score: worked in double precision, held in single precision, then rounded.
long DifficultyIndex(int movement, int reversals, int score, int rows);

} // namespace tambrel
