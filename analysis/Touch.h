#pragma once

#include "analysis/LeadCall.h"
#include "engine/Bells.h"
#include "engine/Result.h"
#include "engine/Row.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tambrel {

class TBellStore;

// One lead of a touch: the page whose method rings it (0 the touch's own method, else a page
// number) and the call at its lead end.
struct TouchLead {
    int page = 0;
    LeadCall call = LeadCall::Plain;

    bool operator==(const TouchLead&) const = default;
};

inline constexpr int kMaxTouchRows = 100000;
inline constexpr std::size_t kMaxListedFalseRows = 100;

// Reads a calling, lead by lead: "p" plain, "b" or "-" bob, "s" single, blanks ignored; a group
// in round brackets followed by a number repeats ("(ppb)3"); "2:b" is a lead of the method on
// page 2; a trailing "*N" repeats the whole calling (a touch of N parts).
Result<std::vector<TouchLead>> ParseCalling(std::string_view text);

// Music counted over the rows rung, rounds at the start and the end excepted: each row's
// longest run of consecutive bells in order (rising or falling) at the front and at the back,
// counted by its length (a row that is one run counts once), and the named rows of the stage.
struct TouchMusic {
    std::array<int, kMaxBells + 1> runs{};          // index: a run's length, 4..bells
    std::vector<std::pair<std::string, int>> named; // the stage's named rows, in a fixed order
};

// The stage's named rows ("backrounds", "queens", "kings", "tittums", "whittingtons") that
// exist on it.
std::vector<std::pair<std::string, Row>> NamedRows(int bells);

struct TouchProof {
    int changes = 0;           // rows rung after rounds, up to the first return of rounds
    bool comesRound = false;   // rounds came up
    bool roundPartWay = false; // and part way through a lead
    int roundLead = 0;         // the lead (1-based) rounds came up in
    int roundChange = 0;       // and the change of that lead
    bool isTrue = true;
    std::vector<std::pair<int, int>> falseRows; // (row, the earlier row it repeats), at most 100
    int falseCount = 0;                         // every row that repeats an earlier one
    int leads = 0;                              // leads rung, whole or not
    int callingLeads = 0;                       // leads the calling holds
    int bobs = 0;
    int singles = 0;
    Row endRow{};
    std::vector<Row> leadHeads; // after each lead rung whole
    TouchMusic music;
};

// Proves touches, keeping its buffers from one proof to the next so that a touch proved as it
// is typed allocates nothing once the buffers have grown.
class TouchProver {
public:
    // Rings `leads` from rounds. `methods[page]` is the method of that page (index 0 the
    // touch's own), null where there is none; every method has the stage of methods[0] and was
    // calculated. Refuses a lead of a page without a method, a call its method lacks, and a
    // touch longer than kMaxTouchRows.
    Result<TouchProof> Prove(std::span<const TouchLead> leads,
                             std::span<const TBellStore* const> methods);

    // The rows of the last proof: rounds, then every row rung.
    const std::vector<Row>& Rows() const { return m_rows; }

private:
    std::vector<Row> m_rows;
    std::vector<Row> m_changes;        // each lead's changes as permutations, lead after lead
    std::vector<std::uint64_t> m_keys; // hash table of rows, 0 = empty
};

// The result line: "5056 changes, true, comes round." / "False: row 3071 repeats row 1187." /
// "Does not come round: ends at 18765432 after 640 changes."
std::string TouchSummary(const TouchProof& proof, int bells);

} // namespace tambrel
