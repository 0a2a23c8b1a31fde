#include "engine/TBellStore.h"

#include "engine/CCNotation.h"
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
    m_symmetric = false;
    m_leadHeadCode.clear();
    m_tidyNotation.clear();
    m_leadLength = 0;
    m_courseTooLong = false;
    m_rowCount = 0;
    m_leadEndType = LeadEndType::PB;
    m_bobLines.clear();
    m_singleLines.clear();
    m_hasBob = false;
    m_hasSingle = false;
}

bool TBellStore::CalculateLeads(int leads)
{
    Reset();
    if (!IsValidStage(m_bells)) {
        assert(false && "a calculation needs 4..16 bells");
        return false;
    }
    BuildMoves();
    BuildTidyNotation();
    BuildPlainCourse(leads);
    FindLeadHeadCode();
    return true;
}

void TBellStore::Calculate()
{
    if (CalculateLeads(kMaxRows)) {
        SetDefaultCalls();
        LoadCalls();
    }
}

void TBellStore::RecalcCalls()
{
    if (m_leadLength >= 1) {
        LoadCalls();
    }
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

void TBellStore::CalculateFirstLead()
{
    CalculateLeads(1);
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
}

void TBellStore::BuildTidyNotation()
{
    TidyForm tidy = tambrel::BuildTidyNotation(UsedChanges(), m_bells);
    m_symmetric = tidy.symmetric;
    m_tidyNotation = std::move(tidy.notation);
}

std::string TBellStore::CCNotation() const
{
    const std::span<const std::string> used = UsedChanges();
    return CCNotationOf(std::vector<std::string>(used.begin(), used.end()));
}

void TBellStore::BuildPlainCourse(int leads)
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
    for (int lead = 0; lead < leads; ++lead) {
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

namespace {

// Names that take Stedman's calls: any part of this list, "STEDMAN" alone included.
constexpr std::string_view kStedmanNames = "STEDMAN DOUBLES,STEDMAN TRIPLES,STEDMAN CATERS,"
                                           "STEDMAN CINQUES,STEDMAN SEXTUPLES,STEDMAN SEPTUPLES";

} // namespace

CallChoice TBellStore::DefaultCalls() const
{
    CallChoice calls;
    const auto set = [&](std::string_view bob, std::string_view single) {
        calls.BobType = std::string(bob);
        calls.SingleType = std::string(single);
    };
    const int n = m_bells;
    // An empty name would be part of every text; it names no Stedman.
    const bool stedman = !m_name.empty() && kStedmanNames.find(m_name) != std::string_view::npos;
    if (stedman) {
        set(n <= 5 ? "01" : "07", "08");
    } else if (m_name.compare(0, 14, "DOUBLE NORWICH") == 0 && (n == 9 || n == 11)) {
        set("09", "10");
    } else if (m_leadEndType == LeadEndType::Grandsire) {
        set("05", "06");
    } else if (m_leadLength >= 1 && GetMove(m_leadLength, 2) == 0) {
        set("01", "02");
    } else if (m_rowCount >= m_leadLength && m_leadLength >= 1 &&
               RowAt(m_leadLength)[static_cast<std::size_t>(n - 3)] == n) {
        // The tenor in (n-2)ths place at the lead head.
        set("01", "02");
        const std::size_t t = static_cast<std::size_t>(n / 2);
        calls.BobLines = std::string(std::string_view("45680TB").substr(0, t - 1));
        calls.SingleLines = std::string(std::string_view("2345680TB").substr(0, t + 1));
    } else if (n > 5) {
        set("03", "04");
    } else {
        set("01", "02");
    }
    return calls;
}

void TBellStore::SetDefaultCalls()
{
    m_defaults = DefaultCalls();
    *m_owner = m_defaults;
}

bool TBellStore::BuildCallLead(std::string_view places, CallKind kind)
{
    if (Trim(places).empty() || !CheckPlaceNotation(places, m_bells).empty()) {
        return LayCall({}, kind);
    }
    ChangeList call;
    const auto count = static_cast<std::size_t>(SplitNotation(places, m_bells, call));
    return LayCall(std::span<const std::string>(call).first(count), kind);
}

bool TBellStore::LayCall(std::span<const std::string> call, CallKind kind)
{
    ChangeList& target = kind == CallKind::Bob ? m_bobChanges : m_singleChanges;
    const auto length = static_cast<std::size_t>(m_leadLength);
    const std::size_t half = length / 2;
    // The second half of one lead, the lead end at position H, then the start of the next.
    for (std::size_t p = 1; p <= length; ++p) {
        const std::size_t change = p <= half ? length - half + p : p - half;
        target[p - 1] = m_changes[change - 1];
    }
    for (std::size_t p = length; p < target.size(); ++p) {
        target[p].clear();
    }
    // Call change k stands at H - N/2 + k - 1; a call that would reach outside the lead is
    // not laid at all.
    const std::size_t count = call.size();
    if (count == 0 || half < count / 2 + 1 || half - count / 2 + count - 1 > length) {
        return false;
    }
    const std::size_t first = half - count / 2;
    for (std::size_t k = 0; k < count; ++k) {
        target[first + k - 1] = call[k];
    }
    return true;
}

void TBellStore::LoadCalls()
{
    CallChoice& owner = *m_owner;
    const auto load = [&](const std::string& chosen, const std::string& fallback, CallKind kind,
                          std::string& storeLines) {
        // A code left empty means the default call.
        const std::string_view code = Trim(chosen).empty() ? fallback : chosen;
        const CallRecord* call = m_calls != nullptr ? m_calls->Find(m_bells, code) : nullptr;
        const bool laid = call != nullptr ? LayCall(call->changes, kind) : LayCall({}, kind);
        storeLines = laid ? Trim(call->lines) : std::string();
        return laid;
    };
    m_hasBob = load(owner.BobType, m_defaults.BobType, CallKind::Bob, m_bobLines);
    m_hasSingle = load(owner.SingleType, m_defaults.SingleType, CallKind::Single, m_singleLines);
    // Lines the page has chosen win; otherwise the page takes the library's.
    if (owner.BobLines.empty()) {
        owner.BobLines = m_bobLines;
    } else {
        m_bobLines = owner.BobLines;
    }
    if (owner.SingleLines.empty()) {
        owner.SingleLines = m_singleLines;
    } else {
        m_singleLines = owner.SingleLines;
    }
}

} // namespace tambrel
