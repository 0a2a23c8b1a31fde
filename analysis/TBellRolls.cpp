#include "analysis/TBellRolls.h"

#include "engine/Bells.h"
#include "engine/TBellStore.h"

#include <cassert>
#include <utility>

namespace tambrel {

const std::string& TBellRolls::Pattern(int k) const
{
    assert(k >= 1 && k <= PatternCount());
    return m_patterns[static_cast<std::size_t>(k - 1)];
}

void TBellRolls::Count(const TBellStore& store, int lead)
{
    m_cru = 0;
    m_rollUps = 0;
    m_rollDowns = 0;
    m_patterns.clear();
    const int n = store.Bells();
    const int length = store.LeadLength();
    if (length <= 0 || lead < 1) {
        return;
    }
    // Four bells from ten up; below ten the treble may stand in the run's lower places, so
    // the run shortens to the bells from 7 up.
    const int run = n < 10 ? n - 6 : 4;
    for (int r = (lead - 1) * length + 1; r <= lead * length && r <= store.RowCount(); ++r) {
        const Row& row = store.RowAt(r);
        const auto at = [&](int place) { // 1-based; 0 outside the row
            return place >= 1 && place <= n ? row[static_cast<std::size_t>(place - 1)] : 0;
        };
        int tenor = 0;
        int treble = 0;
        for (int p = 1; p <= n; ++p) {
            tenor = at(p) == n ? p : tenor;
            treble = at(p) == 1 ? p : treble;
        }

        bool cru = treble != 5 && treble != 6;
        for (int bell = 7; bell <= n && cru; ++bell) {
            cru = at(bell) == bell;
        }
        bool rollUp = tenor >= 4;
        for (int k = 0; k < run && rollUp; ++k) {
            rollUp = at(tenor - k) == n - k;
        }
        rollUp = rollUp && !(n <= 9 && treble == tenor - 3) && !(n <= 8 && treble == tenor - 2) &&
                 !(n <= 7 && treble == tenor - 1);
        m_cru += cru ? 1 : 0;
        m_rollUps += rollUp ? 1 : 0;
        if (cru || rollUp) {
            std::string pattern;
            for (int p = 1; p <= n; ++p) {
                pattern += p <= tenor ? SymbolOf(at(p)) : 'x';
            }
            m_patterns.push_back(std::move(pattern));
        }

        bool rollDown = tenor >= 1 && tenor <= n - 3;
        for (int k = 0; k < run && rollDown; ++k) {
            rollDown = at(tenor + k) == n - k;
        }
        rollDown = rollDown && !(n <= 9 && treble == tenor + 3) &&
                   !(n <= 8 && treble == tenor + 2) && !(n <= 7 && treble == tenor + 1);
        if (rollDown) {
            ++m_rollDowns;
            std::string pattern;
            for (int p = 1; p <= n; ++p) {
                pattern += p < tenor ? 'x' : SymbolOf(at(p));
            }
            m_patterns.push_back(std::move(pattern));
        }
    }
}

} // namespace tambrel
