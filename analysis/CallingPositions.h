#pragma once

#include "analysis/LeadCall.h"
#include "analysis/Touch.h"
#include "engine/Result.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

class TBellStore;

// Where the observation bell stands about one lead end, each a place 1..bells.
struct LeadEndPlaces {
    int before = 0; // in the lead-end row, the row before the lead head
    int after = 0;  // in the lead head the call gives
    int plain = 0;  // in the lead head a plain lead end would give
};

// The conventional name of a call by where it leaves the observation bell, as composers write
// it: H, W, M (even stages: nths, (n-1)ths, (n-2)ths place; odd stages: nths, (n-2)ths,
// (n-1)ths), I (2nds), B (the bell that led before the treble, left in 2nds or, moved by the
// call, in 3rds), O (3rds at a bob, T at a single), F (4ths), V (5ths); any other place by its
// number ("7"). Names that would clash with one nearer the front are not used: no W below six
// bells and no M below seven. Empty for a plain lead. The single's "s" is not part of it.
std::string CallingPosition(int bells, LeadCall call, const LeadEndPlaces& places);

// A calling in positions turned into the call at each lead, rung from rounds. The text is a
// list of positions, blanks or commas between them or none ("W H H", "WHH"): a letter above or
// a place number, an "s" before it for a single ("sH"), a count before a letter for that many
// calls in turn ("2H" = "H H"), "/" or a new line to ring on to the course end, "*N" at the end
// for N parts. Each position is called at the first lead from where the last one left off whose
// call gives it; it is refused when a whole course passes without it. After each part plain
// leads run on to the course end: the observation bell back in its own place at a lead head.
// Only for methods with Plain Bob lead heads, and the observation bell one of 2..bells.
Result<std::vector<LeadCall>> CallingFromPositions(const TBellStore& store,
                                                   std::string_view positions, int observationBell);

// The same as the leads of a touch of the method itself.
Result<std::vector<TouchLead>> TouchFromPositions(const TBellStore& store,
                                                  std::string_view positions, int observationBell);

// The position of each called lead of a touch rung from rounds ("H", "sW"), empty for a plain
// lead; all empty when the observation bell is not one of 2..bells.
std::vector<std::string> PositionsOfCalls(const TBellStore& store, std::span<const LeadCall> leads,
                                          int observationBell);

} // namespace tambrel
