#pragma once

#include "analysis/MethodClass.h"
#include "library/MethodLookup.h" // BellsKey, FindBy
#include "library/NameFilter.h"
#include "library/TfrmDataMod.h"
#include "tables/Status.h"
#include "tables/TDbf.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// The open-method browser's work on the method tables, apart from its window: which records a
// choice of library, bells, group and search text lists, where it positions, and deleting.

// The method tables in the order of the browser's library list ("Main", "Personal",
// "Method Find").
inline constexpr std::array<std::string_view, 3> kBrowserTableCodes = {"MAIN", "PERSONAL",
                                                                       "FIND_LIB"};

inline constexpr std::int64_t kNoSavedRecNo = -99; // no method to come back to

// "SAVE": come back to the saved record when Save Position is ticked; "NOSAVE": position by the
// search text.
enum class RefreshMode { Save, NoSave };

// The lead-head groups offered for `bells` bells (4..16): "ALL", the codes whose least bell
// count is at most `bells` list by list, then "Z".
std::vector<std::string> LeadHeadGroups(int bells);

// BrowserChoice::bells for every stage at once.
inline constexpr int kAllStages = 0;

// A class as the browser's class list offers it: the Central Council's class with its Little and
// Differential, numbered so that the classes sort in the Council's order of classes, each
// qualified form after its plain form (Bob, Little Bob, Differential Bob, Differential Little
// Bob, Place, ...).
using ClassCode = std::uint8_t;
inline constexpr ClassCode kUnclassified = 0xFE; // a notation the check refuses
inline constexpr ClassCode kAnyClass = 0xFF;     // the list's "All"

ClassCode ClassCodeOf(const Classification& c);
// "Surprise", "Differential Little Bob", "Principle", as Classification::ClassWords writes them;
// empty for a code ClassCodeOf never gives (kUnclassified, kAnyClass).
std::string ClassWordsOf(ClassCode code);

// What the browser's controls choose.
struct BrowserChoice {
    int library = 0; // index into kBrowserTableCodes
    int bells = 8;   // 4..16, or kAllStages
    std::string group = "ALL";
    FindBy findBy = FindBy::Name;
    std::string findText; // upper case, as the find box keeps it
    bool savePosition = true;
    ClassCode methodClass = kAnyClass;
};

// One stage's methods in the current order: positions [first, end), deleted records among
// them included.
struct BrowserSpan {
    int bells = 0;
    std::size_t first = 0;
    std::size_t end = 0;
};

// The listed range after a refresh: one span, or with every stage chosen one span per stage
// that has methods, fewest bells first (the index's keys put "10" before "4 ", so the spans are
// not in the order's own order). The cursor is on the positioned record.
struct BrowserRange {
    Status status;      // why the table could not be opened or ordered
    bool found = false; // the range has a record; when not, the tables are closed
    std::vector<BrowserSpan> spans;
};

// Refreshes the browser's cursor (data.dbfMethods): opens the chosen table for reading,
// orders it, finds the range, positions within it (the saved record, or the first name or
// notation at or after the search text, or the range's last record when the text lies beyond
// it), restricts it from there with the range's while-condition and sets `savedRecNo` to the
// positioned record. With nothing found `savedRecNo` becomes kNoSavedRecNo.
// Over every stage there is no restriction, and the search text positions at the first name
// or notation that begins with it, stage by stage; when none does, as on the first stage.
BrowserRange RefreshBrowser(TfrmDataMod& data, const BrowserChoice& choice, RefreshMode mode,
                            std::int64_t& savedRecNo);

// The caption: "Open an Existing Method - Main Library built " and the build text of the main
// library's header record. Opens and closes the main table; without a header record (or a
// readable table) the caption ends after "Main Library". The other libraries (`library` 1 and
// 2) are named instead: "... - Personal Library", "... - Method Find Library".
std::string BrowserCaption(TfrmDataMod& data, int library = 0);

// The positions listed: the live ones of the spans in turn, or those whose names pass `filter`.
std::vector<std::size_t> ListedPositions(const TDbf& methods, const BrowserRange& range,
                                         const NameFilter& filter);

// The classes of the browser's libraries, each record classified once: kept by library and
// record number with the stage and places the class came from, so that a record changed (or
// renumbered by a reindex) since is classified again.
class ClassCache {
public:
    // The class of the live record at `pos` of `methods`, the table of library `library`
    // (an index into kBrowserTableCodes) in any order, whose stage is `bells`.
    ClassCode ClassAt(int library, const TDbf& methods, std::size_t pos, int bells);
    // How many records have been classified, cached ones not counted again.
    std::size_t Classified() const { return m_classified; }

private:
    struct Entry {
        int bells = 0; // 0: not classified yet
        std::string places;
        ClassCode code = kUnclassified;
    };
    std::array<std::vector<Entry>, kBrowserTableCodes.size()> m_entries; // by record number - 1
    std::size_t m_classified = 0;
};

// The classes of the live methods of the chosen library and stage (every stage for
// kAllStages), whatever the group, in ClassCode order; a refused notation adds none. Opens the
// chosen table for reading when another or none is open, ordered by name, so that the cursor
// is positioned afterwards (RefreshBrowser does); an open table keeps its order and cursor.
// Empty when the table cannot be read.
std::vector<ClassCode> ClassesPresent(TfrmDataMod& data, const BrowserChoice& choice,
                                      ClassCache& cache);

// ListedPositions narrowed to the chosen class (choice.library and choice.methodClass); every
// listed position for kAnyClass.
std::vector<std::size_t> ListedPositions(const TDbf& methods, const BrowserRange& range,
                                         const NameFilter& filter, const BrowserChoice& choice,
                                         ClassCache& cache);

// The row of `listed` (as ListedPositions gives it) holding the first position not before
// `pos` in the order shown; the last row when every one is before it; -1 when none is listed.
int ListedRowNear(const std::vector<std::size_t>& listed, const BrowserRange& range,
                  std::size_t pos);

// What an empty list says, so that an empty method-find library points to where it is filled;
// empty for the other libraries.
std::string EmptyListText(const BrowserChoice& choice);

// A method record's fields, trimmed.
struct MethodFields {
    int bells = 0;
    std::string name;
    std::string places;
    std::string group;

    bool operator==(const MethodFields&) const = default;
};
MethodFields MethodAt(const TDbf& methods, std::size_t pos);

// Deletes record `recno` of the chosen table, opening it alone for the moment of the change,
// provided it still holds `expected` (another program may have changed the table since it was
// listed). `savedRecNo` becomes the live record of the range now current after the deletion
// (the next one, or the one before at the range's end), or kNoSavedRecNo when the range is
// empty. The tables are closed afterwards; a refusal leaves the table and `savedRecNo` as they
// were.
Status DeleteBrowsedMethod(TfrmDataMod& data, const BrowserChoice& choice, std::uint32_t recno,
                           const MethodFields& expected, std::int64_t& savedRecNo);

inline constexpr std::string_view kMsgMethodChanged =
    "This method has been changed or removed in the library since it was listed, so it was not "
    "deleted.";

} // namespace tambrel
