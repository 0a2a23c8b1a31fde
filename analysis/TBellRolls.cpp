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

TBellRolls::RowMusic TBellRolls::Examine(const Row& row, int bells)
{
    assert(IsValidStage(bells));
    const int n = bells;
    // Four bells from ten up; below ten the treble may stand in the run's lower places, so
    // the run shortens to the bells from 7 up.
    const int run = n < 10 ? n - 6 : 4;
    const auto at = [&](int place) { // 1-based; 0 outside the row
        return place >= 1 && place <= n ? row[static_cast<std::size_t>(place - 1)] : 0;
    };
    int tenor = 0;
    int treble = 0;
    for (int p = 1; p <= n; ++p) {
        tenor = at(p) == n ? p : tenor;
        treble = at(p) == 1 ? p : treble;
    }

    RowMusic music;
    music.cru = treble != 5 && treble != 6;
    for (int bell = 7; bell <= n && music.cru; ++bell) {
        music.cru = at(bell) == bell;
    }
    music.rollUp = tenor >= 4;
    for (int k = 0; k < run && music.rollUp; ++k) {
        music.rollUp = at(tenor - k) == n - k;
    }
    music.rollUp = music.rollUp && !(n <= 9 && treble == tenor - 3) &&
                   !(n <= 8 && treble == tenor - 2) && !(n <= 7 && treble == tenor - 1);
    if (music.cru || music.rollUp) {
        for (int p = 1; p <= n; ++p) {
            music.upPattern += p <= tenor ? SymbolOf(at(p)) : 'x';
        }
    }

    music.rollDown = tenor >= 1 && tenor <= n - 3;
    for (int k = 0; k < run && music.rollDown; ++k) {
        music.rollDown = at(tenor + k) == n - k;
    }
    music.rollDown = music.rollDown && !(n <= 9 && treble == tenor + 3) &&
                     !(n <= 8 && treble == tenor + 2) && !(n <= 7 && treble == tenor + 1);
    if (music.rollDown) {
        for (int p = 1; p <= n; ++p) {
            music.downPattern += p < tenor ? 'x' : SymbolOf(at(p));
        }
    }
    return music;
}

void TBellRolls::Count(const TBellStore& store, int lead)
{
    m_cru = 0;
    m_rollUps = 0;
    m_rollDowns = 0;
    m_patterns.clear();
    const int length = store.LeadLength();
    if (length <= 0 || lead < 1 || !IsValidStage(store.Bells())) {
        return;
    }
    for (int r = (lead - 1) * length + 1; r <= lead * length && r <= store.RowCount(); ++r) {
        RowMusic music = Examine(store.RowAt(r), store.Bells());
        m_cru += music.cru ? 1 : 0;
        m_rollUps += music.rollUp ? 1 : 0;
        m_rollDowns += music.rollDown ? 1 : 0;
        if (!music.upPattern.empty()) {
            m_patterns.push_back(std::move(music.upPattern));
        }
        if (!music.downPattern.empty()) {
            m_patterns.push_back(std::move(music.downPattern));
        }
    }
}

} // namespace tambrel
