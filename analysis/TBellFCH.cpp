#include "analysis/TBellFCH.h"

#include "engine/TBellStore.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

namespace tambrel {

namespace {

// The places of the treble and of the bells from `fixedLimit` up, four bits each (16th place as
// 0): two rows of a stage match exactly when their keys are equal. At most 11 bells, so 44 bits.
std::uint64_t FixedKey(const Row& places, int bells, int fixedLimit)
{
    std::uint64_t key = places[0] & 0xFU;
    unsigned shift = 4;
    for (int bell = fixedLimit; bell <= bells; ++bell, shift += 4) {
        key |= std::uint64_t{places[static_cast<std::size_t>(bell - 1)] & 0xFU} << shift;
    }
    return key;
}

} // namespace

const std::string& TBellFCH::Entry(List list, int k) const
{
    assert(k >= 1 && k <= kMaxEntries);
    return m_lists[Index(list)][static_cast<std::size_t>(k - 1)];
}

void TBellFCH::IndexCourse(const TBellStore& b, int bells, int fixedLimit)
{
    const int rows = b.LeadsInCourse() * b.LeadLength();
    int bits = 4;
    while ((1 << bits) < 2 * rows) {
        ++bits;
    }
    m_bucketShift = 64 - bits;
    m_buckets.assign(std::size_t{1} << static_cast<unsigned>(bits), -1);
    const auto size = static_cast<std::size_t>(rows);
    m_rowKeys.resize(size);
    m_rowPlaces.resize(size);
    m_nextRow.resize(size);
    // Filled from the last row back, so that every bucket lists its rows in course order.
    for (int r = rows - 1; r >= 0; --r) {
        const auto row = static_cast<std::size_t>(r);
        m_rowPlaces[row] = b.RowAt(r).Inverse(bells);
        m_rowKeys[row] = FixedKey(m_rowPlaces[row], bells, fixedLimit);
        std::int32_t& bucket = m_buckets[Bucket(m_rowKeys[row])];
        m_nextRow[row] = bucket;
        bucket = r;
    }
}

std::size_t TBellFCH::Bucket(std::uint64_t key) const
{
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >>
                                    static_cast<unsigned>(m_bucketShift));
}

void TBellFCH::Store(const Row& fch, int top, int bells, int leadB, int leadsB, bool labelled,
                     bool secondNotation)
{
    // On eight bells an FCH that leaves the 7th at home is written, and filed, without it.
    const bool split = bells == 8 && fch[6] != 7;
    const int last = split ? 7 : std::min(top, 6);
    // Bells 2..last, at most 24 bits (the others are at home in every FCH of this list), and
    // the parity from them: as many inversions as the exchanges a bubble sort makes.
    std::uint64_t key = 0;
    int inversions = 0;
    for (std::size_t p = 1; p < static_cast<std::size_t>(last); ++p) {
        const std::uint8_t to = fch[p];
        key |= std::uint64_t{to} << (4U * (p - 1));
        for (std::size_t later = p + 1; later < static_cast<std::size_t>(last); ++later) {
            inversions += fch[later] < to ? 1 : 0;
        }
    }
    if (labelled) {
        key |= static_cast<std::uint64_t>(leadB) << 28U;
    }
    // The text decides the parity, so a text can only ever be in the one list of its kind that
    // its parity chooses: the duplicate check need not look at the other.
    const bool inCourse = inversions % 2 == 0;
    const List list = split ? (inCourse ? List::SplitIn : List::SplitOut)
                            : (inCourse ? List::InCourse : List::OutOfCourse);
    const std::size_t index = Index(list);
    if (m_overflowed[index]) {
        return;
    }
    int& count = m_counts[index];
    auto& keys = m_keys[index];
    const auto held = keys.begin() + count;
    if (std::find(keys.begin(), held, key) != held) {
        return;
    }
    if (count == kMaxEntries) {
        m_lists[index][0] = std::string(kOverflow);
        m_overflowed[index] = true;
        return;
    }
    std::string& text = m_lists[index][static_cast<std::size_t>(count)];
    text.clear();
    if (labelled && !secondNotation) {
        text += 'L';
        if (leadsB > 9 && leadB < 10) {
            text += '0';
        }
        text += std::to_string(leadB);
        text += '-';
    }
    for (int bell = 2; bell <= last; ++bell) {
        text += SymbolOf(fch[static_cast<std::size_t>(bell - 1)]);
    }
    if (labelled && secondNotation) {
        text += " V";
        text += std::to_string(leadB);
    }
    keys[static_cast<std::size_t>(count)] = key;
    ++count;
}

void TBellFCH::Search(const TBellStore& a, const TBellStore& b, int lead, bool labelled,
                      bool secondNotation)
{
    m_counts.fill(0);
    m_overflowed.fill(false);
    for (auto& list : m_lists) {
        list[0].clear();
    }
    const int n = a.Bells();
    const int lengthA = a.LeadLength();
    const int lengthB = b.LeadLength();
    if (lengthA <= 0 || lengthB <= 0 || lead < 1 || lead > a.LeadsInCourse() || !IsValidStage(n) ||
        b.Bells() != n) {
        return;
    }
    // The treble and the bells from the fixed limit up must stand still between the rows; the
    // FCH names the bells from 2 to `top`.
    const int fixed = n == 8 ? 8 : 7;
    const int top = std::min(fixed - 1, n);
    const int leadsB = b.LeadsInCourse();
    const bool same = &a == &b;
    IndexCourse(b, n, fixed);

    for (int ra = (lead - 1) * lengthA; ra < lead * lengthA; ++ra) {
        const Row& x = a.RowAt(ra);
        const Row placesX = x.Inverse(n);
        const std::uint64_t key = FixedKey(placesX, n, fixed);
        for (std::int32_t rb = m_buckets[Bucket(key)]; rb >= 0;
             rb = m_nextRow[static_cast<std::size_t>(rb)]) {
            const auto row = static_cast<std::size_t>(rb);
            if (m_rowKeys[row] != key || (same && rb == ra)) {
                continue;
            }
            const Row& y = b.RowAt(rb);
            const Row& placesY = m_rowPlaces[row];
            // First notation: bell k of B's row is heard as the bell of A's row in its place;
            // second notation: bell k of A's row as the bell of B's row in its place.
            // The product y * placesX or x * placesY, taken only over the bells an FCH shows:
            // this is the search's innermost loop.
            const Row& from = secondNotation ? y : x;
            const Row& by = secondNotation ? placesX : placesY;
            Row fch{};
            fch[0] = 1;
            for (std::size_t p = 1; p < static_cast<std::size_t>(top); ++p) {
                fch[p] = from[by[p] - 1U];
            }
            Store(fch, top, n, rb / lengthB + 1, leadsB, labelled, secondNotation);
        }
    }
    for (std::size_t list = 0; list < m_counts.size(); ++list) {
        if (m_overflowed[list]) {
            m_counts[list] = 1;
        }
    }
}

} // namespace tambrel
