#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tambrel {

class TBellStore;

// The false course heads of one lead of a method A against the whole plain course of a
// method B: for every pair of rows, one of that lead of A and one of B's course, in which the
// treble and the fixed back bells stand in the same places, the course head in which A's row
// recurs in B. One shared finder serves every sheet; each search replaces the last result.
class TBellFCH {
public:
    static constexpr int kMaxEntries = 60;
    static constexpr std::string_view kOverflow = "60+ FCHs";

    // The four lists, in the order the sheets read them.
    enum class List { InCourse, OutOfCourse, SplitIn, SplitOut };

    // Fills the lists for lead `lead` (1-based) of `a` against `b`'s plain course. `labelled`
    // adds the lead of B to each text ("L3-34256", or "34256 V3" in the second notation);
    // `secondNotation` writes each FCH as the bells that take the places of A's bells.
    // Entries stand as found: by row of A, then lead of B, then row within that lead.
    void Search(const TBellStore& a, const TBellStore& b, int lead, bool labelled,
                bool secondNotation);

    // Entries valid: 0..60; a list that overflowed holds the one entry kOverflow.
    int Count(List list) const { return m_counts[Index(list)]; }
    // Entry k, 1..Count(list).
    const std::string& Entry(List list, int k) const;

    const std::string& InCourse(int k) const { return Entry(List::InCourse, k); }
    const std::string& OutOfCourse(int k) const { return Entry(List::OutOfCourse, k); }
    const std::string& SplitInCourse(int k) const { return Entry(List::SplitIn, k); }
    const std::string& SplitOutOfCourse(int k) const { return Entry(List::SplitOut, k); }

private:
    static constexpr std::size_t Index(List list) { return static_cast<std::size_t>(list); }
    // Adds `text` to `list` unless it is there already (or, for a five-symbol text, in the
    // other five-symbol list; for a six-symbol one, in the other six-symbol list).
    void Store(List list, List other, const std::string& text);

    std::array<int, 4> m_counts{};
    std::array<std::array<std::string, kMaxEntries>, 4> m_lists{};
};

} // namespace tambrel
