#pragma once

#include "engine/Bells.h"

#include <string>
#include <string_view>

namespace tambrel {

// How a method's lead ends: like Plain Bob ("PB", the treble leads at the change between two
// leads) or like Grandsire ("GRANDSIRE", bell 2 comes from 3rds to 2nds at the lead head).
enum class LeadEndType { PB, Grandsire };

// Applies the two changes at a reference method's lead end to a row text, in two passes that
// each read the text as the previous pass left it: the first swaps pairs from position 2 (PB)
// or 4 (Grandsire), the second from position 3.
std::string ApplyLeadEndPair(LeadEndType type, std::string_view row);

// The lead-head code of a lead head whose treble leads: `leadHead` is row L, `places` the
// internal places (positions 2..n-1) of the lead-end change that `type` selects. "Z" when the
// lead head is not a Plain Bob or Grandsire lead head or the places do not fit.
std::string LeadHeadCodeOf(const Row& leadHead, int bells, LeadEndType type,
                           std::string_view places);

} // namespace tambrel
