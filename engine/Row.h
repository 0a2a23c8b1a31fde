#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tambrel {

inline constexpr int kMaxBells = 16;

// A row: the bell in each position, index 0 being position 1. Positions past the stage hold 0,
// so two rows of one stage compare with == and the stage is the count of bells held. A row is
// also a permutation, read as "the bell of position p goes to where bell p stands", which
// gives the operations of the established ringing libraries' row types:
//
//   a * b      the product: b applied to a, (a * b)[p] = a[b[p]], so that a row times a
//              change (a row of the places it swaps) is the next row, and a lead head times
//              the lead head of the next lead is the lead head after it;
//   Inverse()  the row r with r * row and row * r rounds;
//   Power(k)   the row multiplied by itself k times (k < 0: its inverse's power);
//   IsEven()   whether an even number of swaps reaches it from rounds;
//   Packed()   four bits a position in one number, equal for equal rows of one stage.
//
// All of it is inline and runs over all N places without a test, so that the search loops that
// use it pay no more than hand-written loops would. Both rows of a product have one stage. N is
// a power of two: sixteen for every stage (`Row`), eight for searches that stop at Major.
template <std::size_t N> struct BasicRow : std::array<std::uint8_t, N> {
    static_assert(N >= 4 && N <= kMaxBells && (N & (N - 1)) == 0);
    static constexpr std::size_t kLast = N - 1;

    // The number of bells: positions before the first that holds none.
    constexpr int Bells() const
    {
        int bells = 0;
        while (bells < static_cast<int>(N) && (*this)[static_cast<std::size_t>(bells)] != 0) {
            ++bells;
        }
        return bells;
    }

    constexpr BasicRow Inverse() const
    {
        BasicRow inverse{};
        for (std::size_t p = 0; p < N; ++p) {
            // A position past the stage writes into the last place, cleared below.
            inverse[((*this)[p] - 1U) & kLast] = static_cast<std::uint8_t>(p + 1);
        }
        if ((*this)[kLast] == 0) {
            inverse[kLast] = 0;
        }
        return inverse;
    }

    // The inverse over the first `bells` places, for the search loops that know their stage.
    constexpr BasicRow Inverse(int bells) const
    {
        BasicRow inverse{};
        for (std::size_t p = 0; p < static_cast<std::size_t>(bells); ++p) {
            inverse[(*this)[p] - 1U] = static_cast<std::uint8_t>(p + 1);
        }
        return inverse;
    }

    constexpr BasicRow Power(int k) const
    {
        const BasicRow base = k < 0 ? Inverse() : *this;
        BasicRow result = *this * Inverse(); // rounds on this stage
        for (int i = k < 0 ? -k : k; i > 0; --i) {
            result = result * base;
        }
        return result;
    }

    constexpr bool IsEven() const
    {
        // Each cycle of length L takes L - 1 swaps.
        std::uint32_t seen = 0;
        int swaps = 0;
        for (std::size_t p = 0; p < N && (*this)[p] != 0; ++p) {
            if ((seen >> p & 1U) != 0) {
                continue;
            }
            for (std::size_t q = p; (seen >> q & 1U) == 0; q = ((*this)[q] - 1U) & kLast) {
                seen |= 1U << q;
                ++swaps;
            }
            --swaps;
        }
        return swaps % 2 == 0;
    }

    // Bell b as b mod 16 (bell 16 as 0), so that a row of 16 bells fits: distinct rows of one
    // stage pack distinct.
    constexpr std::uint64_t Packed() const
    {
        std::uint64_t key = 0;
        for (std::size_t p = 0; p < N; ++p) {
            key |= std::uint64_t{(*this)[p] & 0xFU} << (4U * p);
        }
        return key;
    }

    static constexpr BasicRow Unpacked(std::uint64_t key, int bells)
    {
        BasicRow row{};
        for (std::size_t p = 0; p < static_cast<std::size_t>(bells); ++p) {
            const auto bell = static_cast<std::uint8_t>(key >> (4U * p) & 0xFU);
            row[p] = bell == 0 ? 16 : bell;
        }
        return row;
    }

    friend constexpr BasicRow operator*(const BasicRow& a, const BasicRow& b)
    {
        // Past the stage b holds 0, which reads a's last place: 0 too unless a has N bells,
        // and then so has b and no place is past the stage.
        BasicRow product{};
        for (std::size_t p = 0; p < N; ++p) {
            product[p] = a[(b[p] - 1U) & kLast];
        }
        return product;
    }

    friend constexpr bool operator==(const BasicRow&, const BasicRow&) = default;
};

using Row = BasicRow<kMaxBells>;

template <std::size_t N = kMaxBells> constexpr BasicRow<N> Rounds(int bells)
{
    BasicRow<N> row{};
    for (int p = 0; p < bells && p < static_cast<int>(N); ++p) {
        row[static_cast<std::size_t>(p)] = static_cast<std::uint8_t>(p + 1);
    }
    return row;
}

} // namespace tambrel
