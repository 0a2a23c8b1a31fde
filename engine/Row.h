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
// All of it is inline and runs over the sixteen places without a test, so that the search
// loops that use it pay no more than the hand-written loops it replaces. Both rows of a product
// have one stage.
struct Row : std::array<std::uint8_t, kMaxBells> {
    // The number of bells: positions before the first that holds none.
    constexpr int Bells() const
    {
        int bells = 0;
        while (bells < kMaxBells && (*this)[static_cast<std::size_t>(bells)] != 0) {
            ++bells;
        }
        return bells;
    }

    constexpr Row Inverse() const
    {
        Row inverse{};
        for (std::size_t p = 0; p < size(); ++p) {
            // A position past the stage writes into the 16th place, cleared below.
            inverse[((*this)[p] - 1U) & 0xFU] = static_cast<std::uint8_t>(p + 1);
        }
        if ((*this)[kMaxBells - 1] == 0) {
            inverse[kMaxBells - 1] = 0;
        }
        return inverse;
    }

    // The inverse over the first `bells` places, for the search loops that know their stage.
    constexpr Row Inverse(int bells) const
    {
        Row inverse{};
        for (std::size_t p = 0; p < static_cast<std::size_t>(bells); ++p) {
            inverse[(*this)[p] - 1U] = static_cast<std::uint8_t>(p + 1);
        }
        return inverse;
    }

    constexpr Row Power(int k) const
    {
        const Row base = k < 0 ? Inverse() : *this;
        Row result = *this * Inverse(); // rounds on this stage
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
        for (std::size_t p = 0; p < size() && (*this)[p] != 0; ++p) {
            if ((seen >> p & 1U) != 0) {
                continue;
            }
            for (std::size_t q = p; (seen >> q & 1U) == 0; q = ((*this)[q] - 1U) & 0xFU) {
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
        for (std::size_t p = 0; p < size(); ++p) {
            key |= std::uint64_t{(*this)[p] & 0xFU} << (4U * p);
        }
        return key;
    }

    static constexpr Row Unpacked(std::uint64_t key, int bells)
    {
        Row row{};
        for (std::size_t p = 0; p < static_cast<std::size_t>(bells); ++p) {
            const auto bell = static_cast<std::uint8_t>(key >> (4U * p) & 0xFU);
            row[p] = bell == 0 ? 16 : bell;
        }
        return row;
    }

    friend constexpr Row operator*(const Row& a, const Row& b)
    {
        // Past the stage b holds 0, which reads a's 16th place: 0 too unless a has 16 bells,
        // and then so has b and no place is past the stage.
        Row product{};
        for (std::size_t p = 0; p < b.size(); ++p) {
            product[p] = a[(b[p] - 1U) & 0xFU];
        }
        return product;
    }

    // a * b over the first `bells` places, both rows being of that stage.
    static constexpr Row Product(const Row& a, const Row& b, int bells)
    {
        Row product{};
        for (std::size_t p = 0; p < static_cast<std::size_t>(bells); ++p) {
            product[p] = a[b[p] - 1U];
        }
        return product;
    }

    friend constexpr bool operator==(const Row&, const Row&) = default;
};

constexpr Row Rounds(int bells)
{
    Row row{};
    for (int p = 0; p < bells && p < kMaxBells; ++p) {
        row[static_cast<std::size_t>(p)] = static_cast<std::uint8_t>(p + 1);
    }
    return row;
}

} // namespace tambrel
