#include "engine/LeadHeadCode.h"

#include <array>
#include <cassert>
#include <cstddef>
#include <utility>

namespace tambrel {

namespace {

constexpr int kEntries = 20;
constexpr int kStages = kMaxBells - kMinBells + 1;

// Codes for the reference lead heads 1..20 when the lead-end change makes 2nds (PB) or 3rds
// (Grandsire), and when it makes no internal place.
constexpr std::array<std::string_view, kEntries> kCodesWithPlace = {
    "A",  "B", "C", "C1", "C2", "C3", "C4", "D4", "D3", "D2",
    "D1", "D", "E", "F",  "P",  "P1", "P2", "Q2", "Q1", "Q"};
constexpr std::array<std::string_view, kEntries> kCodesWithoutPlace = {
    "G",  "H", "J", "J1", "J2", "J3", "J4", "K4", "K3", "K2",
    "K1", "K", "L", "M",  "R",  "R1", "R2", "S2", "S1", "S"};

// How many times the reference lead-end pair is applied to rounds for each entry; 0 = no entry.
// Entries 1..14 count whole leads of the reference method from the front of its course and
// back from its end; entries 15..20 use the other lead-end type.
constexpr std::array<std::array<int, kEntries>, kStages> kPowers = {{
    //  A  B  C C1 C2 C3 C4 D4 D3 D2 D1  D  E  F   P P1 P2 Q2 Q1  Q
    {{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 0}},        // 4
    {{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 3}},        // 5
    {{1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 4, 1, 0, 0, 0, 0, 3}},        // 6
    {{1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 4, 1, 0, 0, 0, 0, 5}},        // 7
    {{1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 4, 5, 6, 1, 0, 0, 0, 0, 5}},        // 8
    {{1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 4, 5, 6, 1, 3, 0, 0, 5, 7}},        // 9
    {{1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 5, 6, 7, 8, 1, 3, 0, 0, 5, 7}},        // 10
    {{1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 5, 6, 7, 8, 1, 3, 0, 0, 7, 9}},        // 11
    {{1, 2, 3, 4, 5, 0, 0, 0, 0, 6, 7, 8, 9, 10, 1, 3, 0, 0, 7, 9}},       // 12
    {{1, 2, 3, 4, 5, 0, 0, 0, 0, 6, 7, 8, 9, 10, 1, 3, 5, 7, 9, 11}},      // 13
    {{1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 1, 3, 5, 7, 9, 11}},    // 14
    {{1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 1, 3, 5, 9, 11, 13}},   // 15
    {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 1, 3, 5, 9, 11, 13}}, // 16
}};

// The two changes of a reference method's lead end as one row: pairs swapped from position 2
// (PB) or 4 (Grandsire), then from position 3.
constexpr Row LeadEndPair(LeadEndType type, int bells)
{
    Row row = Rounds(bells);
    for (const int start : {type == LeadEndType::PB ? 2 : 4, 3}) {
        for (int b = start; b < bells; b += 2) {
            std::swap(row[static_cast<std::size_t>(b - 1)], row[static_cast<std::size_t>(b)]);
        }
    }
    return row;
}

struct StageCodes {
    std::array<LeadHeadCodeEntry, 2 * kEntries> entries{};
    std::size_t count = 0;
};

constexpr std::array<StageCodes, kStages> BuildCodes()
{
    std::array<StageCodes, kStages> stages{};
    for (int bells = kMinBells; bells <= kMaxBells; ++bells) {
        StageCodes& stage = stages[static_cast<std::size_t>(bells - kMinBells)];
        const auto& powers = kPowers[static_cast<std::size_t>(bells - kMinBells)];
        const bool evenStage = bells % 2 == 0;
        // The four lists: entries 1..14 with a place and without, then 15..20 the same.
        for (const auto& [from, to] : {std::pair{0, 14}, std::pair{14, kEntries}}) {
            const bool plainBob = (from == 0) == evenStage;
            const Row pair =
                LeadEndPair(plainBob ? LeadEndType::PB : LeadEndType::Grandsire, bells);
            for (const bool place : {true, false}) {
                for (int e = from; e < to; ++e) {
                    const int power = powers[static_cast<std::size_t>(e)];
                    if (power == 0) {
                        continue;
                    }
                    const auto i = static_cast<std::size_t>(e);
                    stage.entries[stage.count++] = {place ? kCodesWithPlace[i]
                                                          : kCodesWithoutPlace[i],
                                                    pair.Power(power), place, plainBob};
                }
            }
        }
    }
    return stages;
}

constexpr std::array<StageCodes, kStages> kCodes = BuildCodes();

} // namespace

std::span<const LeadHeadCodeEntry> LeadHeadCodes(int bells)
{
    assert(IsValidStage(bells));
    const StageCodes& stage = kCodes[static_cast<std::size_t>(bells - kMinBells)];
    return std::span<const LeadHeadCodeEntry>(stage.entries).first(stage.count);
}

std::string LeadHeadCodeOf(const Row& leadHead, int bells, LeadEndType type,
                           std::string_view places)
{
    const bool place = (type == LeadEndType::PB && places == "2") ||
                       (type == LeadEndType::Grandsire && places == "3");
    if (place || places.empty()) {
        for (const LeadHeadCodeEntry& entry : LeadHeadCodes(bells)) {
            if (entry.place == place && entry.leadHead == leadHead) {
                return std::string(entry.code);
            }
        }
    }
    return "Z";
}

} // namespace tambrel
