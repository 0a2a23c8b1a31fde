#pragma once

#include "engine/Bells.h"
#include "engine/PlaceNotation.h"
#include "tables/Status.h"

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
class TfrmDataMod;

// Texts of the find-similar search, byte for byte; "\r\r" is a line break with a blank line.
inline constexpr std::string_view kMsgFindNeeds =
    "To use Find Similar Methods, the method must be:\r\r    Symetric\r    On a maximum of 8 "
    "Bells\r    Have 40 or less Changes in a lead";
inline constexpr std::string_view kMsgProblemGenerating = "Problem generating methods.";
inline constexpr std::string_view kMsgTotalsSaved = "have been saved in the Method Find Library";

// Which half of the base method's work stays: "Above the Treble" keeps the places made above
// the treble and varies those below it; "Below the Treble" the other way round.
enum class FindType { Above, Below };

// The lead-end change a variant closes its half lead with: "LH1" makes n-th place (1n on even
// stages, 1 on odd), "LH2" second's place (12, or 12n on odd stages).
enum class LeadEnd { LH1, LH2 };

// The largest stage and lead the search takes.
inline constexpr int kFindMaxBells = 8;
inline constexpr int kFindMaxChanges = 40;

// The most methods one search stores: the find library is held in memory while it is filled,
// and a table may not pass 256 MB, so a search that would store more ends there.
inline constexpr std::uint64_t kMaxFoundMethods = 100'000;

// Empty when a calculated method may be searched from (symmetric, at most 8 bells and 40
// changes in a lead); otherwise the main window's refusal.
std::string FindRefusal(const TBellStore& store);

// The lead-head groups offered for `bells` (4..8), "ALL" first.
std::vector<std::string> FindGroups(int bells);

// Empty when `group` (upper case) is offered for `bells`; otherwise the refusal naming those that
// are.
std::string FindGroupRefusal(int bells, std::string_view group);

// "12 New Methods and 3 Existing Methods".
std::string FindTotalsText(std::uint64_t newMethods, std::uint64_t existing);

struct FindRequest {
    FindType type = FindType::Above;
    bool rightPlaces = false;  // "Only use Places made Right"
    std::string group = "ALL"; // "ALL" or a group FindGroups offers
};

struct FindCounts {
    std::uint64_t possibilities = 0; // refused candidates and lead-end variants tried
    std::uint64_t found = 0;         // methods stored
    std::uint64_t newMethods = 0;    // of those, methods the main library lacks
    std::uint64_t Existing() const { return found - newMethods; }
};

// The enumeration of the variants of one base method, with no tables: every half lead that
// keeps the base method's work on one side of the treble, closed by the lead ends the group
// admits. Each variant to store reaches `Found` with its notation (tidy form) and its lead-head
// code, which is the code its own notation calculates to.
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

    std::uint64_t Possibilities() const { return m_possibilities; }
    // Variants whose lead head is admitted but whose notation is no method of that lead head:
    // it fails the notation check or rings another lead head (a candidate joined with the
    // places the treble makes itself can give no change at all). Counted, never stored.
    std::uint64_t Unstorable() const { return m_unstorable; }
    int HalfLead() const { return m_half; }
    // The lead heads a variant may have, as row texts ("135264,156342,...").
    std::string LeadHeadList() const;
    // The plan of depth 1..HalfLead: the treble's row (the lower of its two positions), the
    // places kept from the base method and the candidates tried, in order, as place texts.
    int TrebleRow(int depth) const { return Depth(depth).row; }
    std::string FixedPart(int depth) const;
    std::vector<std::string> Candidates(int depth) const;

private:
    static constexpr int kMaxCandidates = 15;
    static constexpr int kMaxDepth = kFindMaxChanges / 2;
    static constexpr std::uint32_t kNoChange = 0xFFFFFFFFU; // "ZZ": equals no change

    struct Candidate {
        std::uint32_t places = 0; // bit p-1 for place p, of the candidate alone
        std::uint32_t change = 0; // with the fixed part
        bool letThrough = false;  // the bell count's own place on odd stages ("right" anyway)
        std::array<std::uint8_t, kFindMaxBells> source{}; // position each bell comes from
    };
    struct DepthPlan {
        int row = 0; // lower of the treble's two positions across this change
        std::uint32_t fixed = 0;
        int count = 0;
        std::array<Candidate, kMaxCandidates> candidates{};
    };
    using Bells8 = std::array<std::uint8_t, kFindMaxBells>;

    const DepthPlan& Depth(int depth) const;
    // The lead head of the half lead now built, closed by `end`, packed four bits a bell.
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

    std::array<DepthPlan, kMaxDepth + 1> m_depths{};
    // Working state of the enumeration, by depth; indices 0..2 stand before depth 1, so the
    // three depths before any depth can be read without a test.
    static constexpr int kBefore = 3;
    std::array<std::uint32_t, kMaxDepth + kBefore + 1> m_candidate{}; // 0 = "Z"
    std::array<std::uint32_t, kMaxDepth + kBefore + 1> m_change{};
    std::array<Bells8, kMaxDepth + 1> m_rows{};
    std::uint64_t m_possibilities = 0;
    std::uint64_t m_unstorable = 0;

    std::string m_notation;
    std::string m_code;
    ChangeList m_split{};
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
