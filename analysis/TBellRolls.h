#pragma once

#include "engine/Bells.h"

#include <string>
#include <vector>

namespace tambrel {

class TBellStore;

// The musical back-bell rows of one lead: CRU positions (the bells from 7 up at home, the treble
// clear of 5ths and 6ths), four-bell roll-ups into the tenor and roll-downs from it, each found
// row with a pattern text: the symbols of the places that make it and "x" for the others. One
// shared counter serves every sheet; each count replaces the last result.
class TBellRolls {
public:
    // What one row shows. A row gives at most two patterns: one for a CRU position or roll-up,
    // one for a roll-down.
    struct RowMusic {
        bool cru = false;
        bool rollUp = false;
        bool rollDown = false;
        std::string upPattern; // the row up to the tenor, "x" after it; empty unless cru or rollUp
        std::string downPattern; // "x" before the tenor, the row from it; empty unless rollDown
    };
    // `row` holds a row of `bells` (4..16) bells.
    static RowMusic Examine(const Row& row, int bells);

    // Counts the rows after lead `lead`'s first row up to and including the next lead head.
    void Count(const TBellStore& store, int lead);

    int Cru() const { return m_cru; }
    int RollUps() const { return m_rollUps; }
    int RollDowns() const { return m_rollDowns; }
    // A row may give two patterns (a roll-up and a roll-down), so a lead of 100 rows up to 200.
    int PatternCount() const { return static_cast<int>(m_patterns.size()); }
    const std::string& Pattern(int k) const; // k = 1..PatternCount()

private:
    int m_cru = 0;
    int m_rollUps = 0;
    int m_rollDowns = 0;
    std::vector<std::string> m_patterns;
};

} // namespace tambrel
