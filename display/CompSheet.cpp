#include "display/CompSheet.h"

#include "analysis/TBellComp.h"
#include "display/TBellOptions.h"
#include "engine/TBellStore.h"

namespace tambrel {

void CompSheet::Compute()
{
    const FchDisplay display{m_options.OddFCH, m_options.SplitTenorFCH, m_options.TB2Notation};
    const std::string key = std::to_string(m_store.Bells()) + '\n' + m_store.PlaceNotation() +
                            '\n' + m_store.Name() + '\n' + (display.oddFch ? 'O' : '-') +
                            (display.splitTenorFch ? 'S' : '-') + (display.tb2Notation ? 'V' : '-');
    ComputeFor(key, [&] { return TBellComp::Calculate(m_store, display, m_fch, m_rolls); });
}

void CompSheet::Render(Surface& surface)
{
    Compute(); // printing after the options changed draws what they now ask for
    RenderSheet(surface);
}

} // namespace tambrel
