#pragma once

#include "engine/Bells.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

    // Fills the lists for lead `lead` (1..a.LeadsInCourse()) of `a` against `b`'s plain
    // course. `labelled` adds the lead of B to each text: "L3-34256", with at least two digits
    // ("L03-") when B's course has more than nine leads, or "34256 V3" in the second notation.
    // `secondNotation` writes each FCH as the bells that take the places of A's bells. Entries
    // stand as found: by row of A, then lead of B, then row within that lead. `a` and `b` have
    // the same number of bells; otherwise, and for a lead outside A's course, the lists stay
    // empty.
    void Search(const TBellStore& a, const TBellStore& b, int lead, bool labelled,
                bool secondNotation);

    // Entries valid: 0..60; a list that overflowed holds the one entry kOverflow.
    int Count(List list) const { return m_counts[Index(list)]; }
    // Entry k, 1..Count(list).
    const std::string& Entry(List list, int k) const;

    const std::string& InCourse(int k) const { return Entry(List::InCourse, k); }
    const std::string& OutOfCourse(int k) const { return Entry(List::OutOfCourse, k); }

private:
    static constexpr std::size_t Index(List list) { return static_cast<std::size_t>(list); }
    // Files B's rows by the places of the treble and the fixed bells, so that a row of A meets
    // only the rows it matches.
    void IndexCourse(const TBellStore& b, int bells, int fixedLimit);
    std::size_t Bucket(std::uint64_t key) const;
    // Adds the FCH, the row whose bells 2..top stand where A's bells are heard in B's (the treble
    // and the fixed bells at home), found in lead `leadB` of B, unless its text is kept already.
    void Store(const Row& fch, int top, int bells, int leadB, int leadsB, bool labelled,
               bool secondNotation);

    std::array<int, 4> m_counts{};
    std::array<std::array<std::string, kMaxEntries>, 4> m_lists{};
    // Beside each entry, its text as a number (the FCH's bells, four bits each, and the lead of
    // B when labelled), so that duplicates are found without comparing texts.
    std::array<std::array<std::uint64_t, kMaxEntries>, 4> m_keys{};
    // A list that met more than kMaxEntries distinct texts; it changes no more in this search.
    std::array<bool, 4> m_overflowed{};

    // The index of the current search, kept between searches only to reuse its memory.
    // Per row of B: the places of its treble and fixed bells packed four bits each, the place
    // of every bell (the row's inverse), and the next row (ascending) with the same bucket, -1
    // at the end.
    std::vector<std::uint64_t> m_rowKeys;
    std::vector<Row> m_rowPlaces;
    std::vector<std::int32_t> m_nextRow;
    std::vector<std::int32_t> m_buckets; // first row of each bucket, -1 when empty
    int m_bucketShift = 64;              // a key's bucket is its hash shifted right this far
};

} // namespace tambrel
