#include "engine/TBellStore.h"

#include "engine/TextFunctions.h"

#include <algorithm>

namespace tambrel {

void TBellStore::SetBells(int bells)
{
    assert(IsValidStage(bells));
    m_bells = bells;
}

void TBellStore::SetName(std::string_view name)
{
    m_name = UpperCase(Utf8Left(name, kMaxNameLength));
}

void TBellStore::SetPlaceNotation(std::string_view notation)
{
    m_placeNotation = std::string(notation);
}

void TBellStore::Reset()
{
    m_calculated = false;
    m_symmetric = false;
    m_leadHeadCode.clear();
    m_tidyNotation.clear();
    m_leadLength = 0;
    m_courseTooLong = false;
    m_rowCount = 0;
    m_leadEndType = LeadEndType::PB;
}

void TBellStore::Calculate()
{
    Reset();
    if (!IsValidStage(m_bells)) {
        assert(false && "Calculate needs 4..16 bells");
        return;
    }
    BuildMoves();
    BuildTidyNotation();
    BuildPlainCourse();
    FindLeadHeadCode();
    // The default calls and the bob and single leads are chosen here once the calls library is
    // part of the program; until then the store holds the plain lead and course only.
}

void TBellStore::ParseAndTidy()
{
    Reset();
    if (!IsValidStage(m_bells)) {
        assert(false && "ParseAndTidy needs 4..16 bells");
        return;
    }
    m_leadLength = SplitNotation(m_placeNotation, m_bells, m_changes);
    BuildTidyNotation();
}

void TBellStore::BuildMoves()
{
    m_leadLength = SplitNotation(m_placeNotation, m_bells, m_changes);
    for (std::size_t i = 0; i < static_cast<std::size_t>(m_leadLength); ++i) {
        m_moves[i] = ChangeMovement(m_changes[i], m_bells);
        for (std::size_t p = 0; p < kMaxBells; ++p) {
            m_sources[i][p] = static_cast<std::uint8_t>(static_cast<int>(p) + m_moves[i][p]);
        }
    }
    m_calculated = true;
}

void TBellStore::BuildTidyNotation()
{
    TidyForm tidy = tambrel::BuildTidyNotation(UsedChanges(), m_bells);
    m_symmetric = tidy.symmetric;
    m_tidyNotation = std::move(tidy.notation);
}

void TBellStore::BuildPlainCourse()
{
    const Row rounds = Rounds(m_bells);
    m_rows[0] = rounds;
    m_rowCount = 0;
    m_courseTooLong = false;
    if (m_leadLength < 1) {
        return; // nothing to ring; the splitter found no change
    }
    const auto length = static_cast<std::size_t>(m_leadLength);
    std::size_t count = 0;
    for (;;) {
        if (count + length > static_cast<std::size_t>(kMaxRows)) {
            // Keep the whole leads that fit; the sheets report the course as too long.
            m_courseTooLong = true;
            break;
        }
        for (std::size_t i = 0; i < length; ++i) {
            const Row& previous = m_rows[count];
            Row& next = m_rows[count + 1];
            const auto& source = m_sources[i];
            for (std::size_t p = 0; p < kMaxBells; ++p) {
                next[p] = previous[source[p]];
            }
            ++count;
        }
        // Only a lead head at rounds ends the course; rounds inside a lead rings on.
        if (m_rows[count] == rounds) {
            break;
        }
    }
    m_rowCount = static_cast<int>(count);
}

void TBellStore::FindLeadHeadCode()
{
    m_leadHeadCode.assign(1, 'Z'); // "no code"; assigning the literal trips a GCC 12 warning
    if (m_leadLength < 1 || m_rowCount < m_leadLength) {
        return;
    }
    const Row& leadHead = m_rows[static_cast<std::size_t>(m_leadLength)];
    const Row& leadEnd = m_rows[static_cast<std::size_t>(m_leadLength - 1)];
    // The lead-end type is needed by the default calls even when there is no code.
    m_leadEndType =
        (leadEnd[2] == 2 && leadHead[1] == 2) ? LeadEndType::Grandsire : LeadEndType::PB;
    if (leadHead[0] != 1) {
        return;
    }
    const int change = m_leadEndType == LeadEndType::PB ? m_leadLength : 1;
    std::string places;
    for (int p = 2; p <= m_bells - 1; ++p) {
        if (GetMove(change, p) == 0) {
            places += SymbolOf(p);
        }
    }
    m_leadHeadCode = LeadHeadCodeOf(leadHead, m_bells, m_leadEndType, places);
}

void TBellStore::GetRow(int r, std::span<std::uint8_t> buffer) const
{
    const Row& row = RowAt(r);
    const auto n = std::min(buffer.size(), static_cast<std::size_t>(m_bells));
    std::copy_n(row.begin(), n, buffer.begin());
}

} // namespace tambrel
