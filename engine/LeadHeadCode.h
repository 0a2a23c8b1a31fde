#pragma once

#include "engine/Bells.h"

#include <span>
#include <string>
#include <string_view>

namespace tambrel {

// How a method's lead ends: like Plain Bob ("PB", the treble leads at the change between two
// leads) or like Grandsire ("GRANDSIRE", bell 2 comes from 3rds to 2nds at the lead head).
enum class LeadEndType { PB, Grandsire };

// One lead-head code of a stage: the lead head it stands for and its lead-end change.
struct LeadHeadCodeEntry {
    std::string_view code; // "A", "C1", ...
    Row leadHead;
    // The lead-end change makes 2nds (3rds at a Grandsire lead end); otherwise no internal
    // place.
    bool place = false;
    // The lead head is one of Plain Bob's, reached by the pair of changes at its lead end;
    // otherwise one of Grandsire's.
    bool plainBob = false;
};

// The codes that occur on `bells` bells (4..16) in the order of their four lists: A to F
// (2nds or 3rds made), G to M (no place), then P to Q and R to S, whose lead heads are those of
// the other lead-end type.
std::span<const LeadHeadCodeEntry> LeadHeadCodes(int bells);

// The lead-head code of a lead head whose treble leads: `leadHead` is row L, `places` the
// internal places (positions 2..n-1) of the lead-end change that `type` selects. "Z" when the
// lead head is not a Plain Bob or Grandsire lead head or the places do not fit.
std::string LeadHeadCodeOf(const Row& leadHead, int bells, LeadEndType type,
                           std::string_view places);

} // namespace tambrel
