#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tambrel {

class CallsLibrary;
struct ColumnSheet;

struct SheetOptions {
    std::string bells;
    std::string notation;
    std::string name;
    std::string bBells;    // the second method's bells; empty: the method's
    std::string bNotation; // the second method; empty: the method itself
    std::string bName;
    std::vector<std::string> settings; // KEY=VALUE, option names as in the options table
    bool json = false;
    const CallsLibrary* calls = nullptr; // a library's calls; none: the store's own
};

// The sheet's columns as one JSON object {"columns": [...]}: per lead `lead`, `first_row`, and
// the entries of each section shown (`patterns`, `even`, `odd`, `split_even`, `split_odd`) as
// drawn; a section not shown has no key.
std::string ColumnSheetJson(const ColumnSheet& sheet);

// The composition sheet of one method. Exit status 0, or 2 when the method is refused as the
// desktop program refuses it (fewer than 7 bells, a course cut at 2000 rows).
int RunComp(const SheetOptions& options, std::ostream& out, std::ostream& err);

// The inter-method falseness sheet of the method against a second one (itself unless given).
// Refused besides for two stages or a second course cut at 2000 rows.
int RunIntMeth(const SheetOptions& options, std::ostream& out, std::ostream& err);

} // namespace tambrel
