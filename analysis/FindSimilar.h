#pragma once

#include "engine/Bells.h"
#include "engine/PlaceNotation.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

class TBellStore;

// Texts of the find-similar search, byte for byte; "\r\r" is a line break with a blank line.
inline constexpr std::string_view kMsgFindNeeds =
    "To use Find Similar Methods, the method must be:\r\r    Symetric\r    On a maximum of 8 "
    "Bells\r    Have 40 or less Changes in a lead";

// Which half of the base method's work stays: "Above the Treble" keeps the places made above
// the treble and varies those below it; "Below the Treble" the other way round.
enum class FindType { Above, Below };

// The lead-end change a variant closes its half lead with: "LH1" makes n-th place (1n on even
// stages, 1 on odd), "LH2" second's place (12, or 12n on odd stages).
enum class LeadEnd { LH1, LH2 };

// The largest stage and lead the search takes.
inline constexpr int kFindMaxBells = 8;
inline constexpr int kFindMaxChanges = 40;

// Empty when a calculated method may be searched from (symmetric, at most 8 bells and 40
// changes in a lead); otherwise the main window's refusal.
std::string FindRefusal(const TBellStore& store);

// The lead-head groups offered for `bells` (4..8), "ALL" first: the codes whose lead heads are
// Plain Bob's.
std::vector<std::string> FindGroups(int bells);

// Empty when `group` (upper case) is offered for `bells`; otherwise the refusal naming those that
// are.
std::string FindGroupRefusal(int bells, std::string_view group);

struct FindRequest {
    FindType type = FindType::Above;
    bool rightPlaces = false;  // "Only use Places made Right"
    std::string group = "ALL"; // "ALL" or a group FindGroups offers
};

// The enumeration of the variants of one base method: every half lead that keeps the base
// method's work on one side of the treble, closed by the lead ends the group admits. Each
// variant to store reaches `Found` with its notation (tidy form) and its lead-head code, which
// is the code its own notation calculates to.
class SimilarMethods {
public:
    // What the search hands on: the notation and group of one variant. False ends the search.
    using FoundFn = std::function<bool(std::string_view notation, std::string_view group)>;
    // Called on the searching thread a few times a second with the possibilities so far.
    using ProgressFn = std::function<void(std::uint64_t possibilities)>;

    // `base`: a calculated store that FindRefusal accepts; `request.group` one FindGroups offers.
    SimilarMethods(const TBellStore& base, const FindRequest& request);

    // Runs the whole search, or until `stop` is set (checked before every candidate) or `found`
    // returns false. True when it ran to its end.
    bool Run(const std::atomic<bool>& stop, const FoundFn& found, const ProgressFn& progress = {},
             std::chrono::milliseconds progressEvery = std::chrono::milliseconds(200));

    // Refused candidates and lead-end variants tried. Variants whose lead head is admitted but
    // whose notation is no method of that lead head (it fails the notation check or rings
    // another lead head: a candidate joined with the places the treble makes itself can give
    // no change at all) are counted, never stored.
    std::uint64_t Possibilities() const { return m_possibilities; }

private:
    static constexpr int kMaxCandidates = 15;
    static constexpr int kMaxDepth = kFindMaxChanges / 2;
    static constexpr std::uint32_t kNoChange = 0xFFFFFFFFU; // "ZZ": equals no change
    // Rows of the search's own size: half the bytes of a row of any stage, and a product with
    // no loop bound to test, in the loop that runs for every candidate.
    using SearchRow = BasicRow<kFindMaxBells>;

    struct Candidate {
        std::uint32_t places = 0; // bit p-1 for place p, of the candidate alone
        std::uint32_t change = 0; // with the fixed part
        bool letThrough = false;  // the bell count's own place on odd stages ("right" anyway)
        SearchRow step{};         // the change as a row: a row times it is the next row
    };
    struct DepthPlan {
        std::uint32_t fixed = 0; // places kept from the base method
        int count = 0;
        std::array<Candidate, kMaxCandidates> candidates{};
    };

    // The lead head of the half lead now built, closed by `end`, packed.
    std::uint64_t LeadHead(LeadEnd end) const;
    // Notation of the current half lead with `end` into m_notation; false when too long.
    bool BuildNotation(LeadEnd end);
    // Rings m_notation as a method of its own: true, and its code in m_code, when it passes the
    // notation check and its lead head is `leadHead`.
    bool Verify(std::uint64_t leadHead);

    int m_bells = 0;
    int m_half = 0;
    FindRequest m_request;
    std::vector<LeadEnd> m_ends;            // tried in this order on each half lead
    std::vector<std::uint64_t> m_leadHeads; // packed rows
    std::array<SearchRow, 2> m_leadEnds{};  // by LeadEnd: the swaps after the half-lead mirror

    std::array<DepthPlan, kMaxDepth + 1> m_depths{};
    // Working state of the enumeration, by depth; indices 0..2 stand before depth 1, so the
    // three depths before any depth can be read without a test.
    static constexpr int kBefore = 3;
    std::array<std::uint32_t, kMaxDepth + kBefore + 1> m_candidate{}; // 0 = "Z"
    std::array<std::uint32_t, kMaxDepth + kBefore + 1> m_change{};
    std::array<SearchRow, kMaxDepth + 1> m_rows{};
    std::uint64_t m_possibilities = 0;

    std::string m_notation;
    std::string m_code;
    ChangeList m_split{};
};

} // namespace tambrel
