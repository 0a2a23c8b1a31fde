#pragma once

#include "analysis/ColumnSheet.h"

#include <string>
#include <vector>

namespace tambrel {

class TBellFCH;
class TBellRolls;
class TBellStore;

// What the sheets read of the page's options.
struct FchDisplay {
    bool oddFch = true;        // the odd (out-of-course) sections
    bool splitTenorFch = true; // the split-tenor sections, on 8 bells only
    bool tb2Notation = false;  // labels "34256 V3" rather than "L3-34256" (composition sheet)
};

// The composition sheet of one method: for every lead of the plain course, its first row, the
// roll-ups of the lead and its false course heads against the whole course, labelled with the
// lead they clash with.
class TBellComp {
public:
    // The sections shown: roll-ups and even FCHs always, odd FCHs with `oddFch`, the split-tenor
    // sections on 8 bells with `splitTenorFch` (no other stage has six-symbol FCHs).
    static std::vector<SheetSection> Sections(int bells, const FchDisplay& display, bool rollUps);

    // "" when the method can have the sheet, else the message that refuses it: fewer than 7
    // bells, or a course cut at 2000 rows (its falseness would be against part of a course).
    static std::string Refusal(const TBellStore& store);

    // The sheet of the calculated method `store`, which Refusal accepts; fills the shared finder
    // and counter afresh for each lead.
    static ColumnSheet Calculate(const TBellStore& store, const FchDisplay& display, TBellFCH& fch,
                                 TBellRolls& rolls);

    // Copies the lists of the finder's last search into the column, for the sections the sheet
    // shows (the inter-method sheet fills its columns the same way).
    static void AddFchEntries(SheetColumn& column, const ColumnSheet& sheet, const TBellFCH& fch);
};

} // namespace tambrel
