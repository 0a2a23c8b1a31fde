#pragma once

#include "analysis/ColumnSheet.h"
#include "analysis/TBellComp.h"

#include <string>
#include <vector>

namespace tambrel {

class TBellFCH;
class TBellStore;

// The method chosen as the second method of an inter-method sheet, as it was when chosen: its
// page and what the sheet depends on. A page keeps its own choice.
struct SecondMethod {
    int slot = 0; // the page, 1..5; 0 when none is chosen
    int bells = 0;
    std::string name;
    std::string notation;

    static SecondMethod Of(int slot, const TBellStore& store);
    // Whether `store` (null for a page no longer open) is still the method chosen, unchanged.
    bool Matches(const TBellStore* store) const;
};

// The inter-method falseness sheet: for every lead of method A, its false course heads against
// the whole plain course of method B, labelled with B's lead ("L3-34256") whatever the options'
// notation. A may be B itself, when a row is never compared with itself.
class TBellIntMeth {
public:
    static std::vector<SheetSection> Sections(int bells, const FchDisplay& display);

    // "" when A alone can have the sheet: 7 or more bells and a whole plain course.
    static std::string Refusal(const TBellStore& a);
    // "" when A and B can make a sheet: as above, the same number of bells, and B's plain course
    // whole too.
    static std::string Refusal(const TBellStore& a, const TBellStore& b);

    static ColumnSheet Calculate(const TBellStore& a, const TBellStore& b,
                                 const FchDisplay& display, TBellFCH& fch);
};

} // namespace tambrel
