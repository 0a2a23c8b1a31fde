#pragma once

#include <cstdint>

namespace tambrel {

// What is rung at one lead end of a touch: the plain lead, or the lead with the method's bob
// or single laid over its lead end.
enum class LeadCall : std::uint8_t { Plain, Bob, Single };

} // namespace tambrel
