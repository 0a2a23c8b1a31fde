#pragma once

#include "tables/Status.h"
#include "tables/TDbf.h"

#include <string>
#include <string_view>

namespace tambrel {

// Looking a method up in a method table (main, personal or find library) the one way every
// caller needs: by bells and name, or by bells and tidy notation, through the NAME and PLACES
// tags; and what saving a method does with what it finds.

// Bells as the tables store them: "8 ", "12".
std::string BellsKey(int bells);

enum class FindBy { Name, Places };

// Positions an open method table on the first record of `bellsKey` (as BellsKey makes it)
// whose upper-case name, or tidy notation, is `text`, ordering the table by NAME or PLACES.
// False, the cursor at the end, when there is none.
bool FindMethod(TDbf& methods, FindBy by, std::string_view bellsKey, std::string_view text);

// Writes `name` over the name of the current record.
Status RenameMethod(TDbf& methods, std::string_view name);
// Appends a method record.
Status AppendMethod(TDbf& methods, std::string_view bells, std::string_view name,
                    std::string_view places, std::string_view group);

// What a library holds for a method about to be saved: the notation stored under its name,
// and the name (upper case) stored with its notation; each empty when there is none.
struct HeldMethod {
    std::string places;
    std::string name;
};
// Looks both up; the record of the notation, the one a rename writes, stays current. A
// notation too long to store is not looked up.
HeldMethod LookUpHeld(TDbf& methods, int bells, std::string_view name, std::string_view tidy);

enum class SaveOutcome {
    TooLong,       // the notation does not fit the places field: nothing is looked up
    AlreadyStored, // the name or the notation is stored with the other
    AskRename,     // the notation is stored under another name, the name is free
    Append,        // neither is stored
    NameTaken,     // the name is stored with another notation
    BothTaken,     // the notation under another name, and the name with another notation
};
struct SaveDecision {
    SaveOutcome outcome;
    std::string text; // the message or question to show; empty for Append
};
// What saving `name` with tidy notation `tidy` does, given what the library holds.
SaveDecision DecideSave(std::string_view name, std::string_view tidy, const HeldMethod& held);

// The check for a method's notation in the main library and then the personal one: the names
// stored with it (empty when not stored; the personal library is not asked when the main one
// holds it), and what to show.
struct UniqueReport {
    bool inMain;
    std::string text;
};
UniqueReport ReportUnique(std::string_view inMain, std::string_view inPersonal);

} // namespace tambrel
