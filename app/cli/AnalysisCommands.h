#pragma once

#include <iosfwd>
#include <string>

namespace tambrel {

class CallsLibrary;

struct FchOptions {
    std::string bells;
    std::string notation;
    int lead = 0;          // 1..LeadsInCourse of the method
    std::string bBells;    // B's bells; empty: the method's
    std::string bNotation; // B's notation; empty: B is the method itself
    bool labels = false;   // label each FCH with B's lead
    bool tb2 = false;      // the second notation
    bool json = false;
    const CallsLibrary* calls = nullptr; // a library's calls; none: the store's own
};

// The false course heads of one lead of a method against the plain course of B (the method
// itself unless another is given). Exit status 0, or 2 when the input is refused.
int RunFch(const FchOptions& options, std::ostream& out, std::ostream& err);

struct RollsOptions {
    std::string bells;
    std::string notation;
    int lead = 0; // 1..LeadsInCourse
    bool json = false;
    const CallsLibrary* calls = nullptr;
};

// The CRU positions, roll-ups and roll-downs of one lead. Exit status 0, or 2 when refused.
int RunRolls(const RollsOptions& options, std::ostream& out, std::ostream& err);

} // namespace tambrel
