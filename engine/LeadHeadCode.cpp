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

constexpr Row ApplyPair(LeadEndType type, Row row, int bells)
{
    const int starts[2] = {type == LeadEndType::PB ? 2 : 4, 3};
    for (const int start : starts) {
        for (int b = start; b < bells; b += 2) {
            std::swap(row[static_cast<std::size_t>(b - 1)], row[static_cast<std::size_t>(b)]);
        }
    }
    return row;
}

struct ReferenceSet {
    std::array<Row, kEntries> rows{};
    std::array<bool, kEntries> used{};
};

constexpr std::array<ReferenceSet, kStages> BuildReferences()
{
    std::array<ReferenceSet, kStages> sets{};
    for (int bells = kMinBells; bells <= kMaxBells; ++bells) {
        ReferenceSet& set = sets[static_cast<std::size_t>(bells - kMinBells)];
        const auto& powers = kPowers[static_cast<std::size_t>(bells - kMinBells)];
        const LeadEndType front = bells % 2 == 0 ? LeadEndType::PB : LeadEndType::Grandsire;
        const LeadEndType other = bells % 2 == 0 ? LeadEndType::Grandsire : LeadEndType::PB;
        for (std::size_t e = 0; e < kEntries; ++e) {
            if (powers[e] == 0) {
                continue;
            }
            Row row = Rounds(bells);
            for (int k = 0; k < powers[e]; ++k) {
                row = ApplyPair(e < 14 ? front : other, row, bells);
            }
            set.rows[e] = row;
            set.used[e] = true;
        }
    }
    return sets;
}

} // namespace

std::string ApplyLeadEndPair(LeadEndType type, std::string_view row)
{
    std::string text(row);
    const int bells = static_cast<int>(text.size());
    const int starts[2] = {type == LeadEndType::PB ? 2 : 4, 3};
    for (const int start : starts) {
        for (int b = start; b < bells; b += 2) {
            std::swap(text[static_cast<std::size_t>(b - 1)], text[static_cast<std::size_t>(b)]);
        }
    }
    return text;
}

std::string LeadHeadCodeOf(const Row& leadHead, int bells, LeadEndType type,
                           std::string_view places)
{
    assert(IsValidStage(bells));
    static constexpr std::array<ReferenceSet, kStages> kReferences = BuildReferences();
    const ReferenceSet& set = kReferences[static_cast<std::size_t>(bells - kMinBells)];
    for (std::size_t e = 0; e < kEntries; ++e) {
        if (!set.used[e] || set.rows[e] != leadHead) {
            continue;
        }
        if ((type == LeadEndType::PB && places == "2") ||
            (type == LeadEndType::Grandsire && places == "3")) {
            return std::string(kCodesWithPlace[e]);
        }
        if (places.empty()) {
            return std::string(kCodesWithoutPlace[e]);
        }
        return "Z";
    }
    return "Z";
}

} // namespace tambrel
