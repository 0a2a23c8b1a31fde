#pragma once

#include "analysis/FindSimilar.h"
#include "tables/Status.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

class TBellStore;
class TfrmDataMod;

// The find dialog's storing of the find-similar search (analysis/FindSimilar.h) into the method
// find library.

// Texts of the find dialog, byte for byte.
inline constexpr std::string_view kMsgProblemGenerating = "Problem generating methods.";
inline constexpr std::string_view kMsgTotalsSaved = "have been saved in the Method Find Library";

// The most methods one search stores: the find library is held in memory while it is filled,
// and a table may not pass 256 MB, so a search that would store more ends there.
inline constexpr std::uint64_t kMaxFoundMethods = 100'000;

// "12 New Methods and 3 Existing Methods".
std::string FindTotalsText(std::uint64_t newMethods, std::uint64_t existing);

struct FindCounts {
    std::uint64_t possibilities = 0; // refused candidates and lead-end variants tried
    std::uint64_t found = 0;         // methods stored
    std::uint64_t newMethods = 0;    // of those, methods the main library lacks
    std::uint64_t Existing() const { return found - newMethods; }
};

// How a search is watched and bounded.
struct FindControl {
    const std::atomic<bool>* stop = nullptr; // set from any thread to end the search
    // A few times a second, on the searching thread, with the counts so far.
    std::function<void(const FindCounts&)> progress;
    std::size_t keep = 0;                  // stored methods to hand back in FindOutcome::methods
    std::uint64_t most = kMaxFoundMethods; // methods to store before the search ends
};

struct FoundMethod {
    std::string name;
    std::string notation;
    std::string group;
};

struct FindOutcome {
    Status status;                    // failed: a table could not be opened, read or written
    FindCounts counts;                // as far as the search went, also after a failure
    bool stopped = false;             // ended by the stop flag or by reaching FindControl::most
    std::vector<FoundMethod> methods; // the first FindControl::keep stored, in order
};

// The whole search of the find dialog: empties the method-find library and fills it with the
// variants of `base`, each named as the main library names its notation or "#000001 Unknown
// Method" onwards. Tables are opened by table code and all closed at the end. After a stop or
// a failure the find library holds what was stored so far (or, when even that cannot be
// written, what it held before).
FindOutcome FindSimilarMethods(TfrmDataMod& module, const TBellStore& base,
                               const FindRequest& request, const FindControl& control);

} // namespace tambrel
