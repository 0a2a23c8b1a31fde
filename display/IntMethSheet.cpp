#include "display/IntMethSheet.h"

#include "analysis/Messages.h"
#include "display/TBellOptions.h"
#include "engine/TBellStore.h"

namespace tambrel {

const TBellStore* IntMethSheet::SecondStore() const
{
    const TBellStore* second =
        openMethod ? openMethod(m_second.slot) : (m_second.slot != 0 ? &m_store : nullptr);
    if (!m_second.Matches(second) || !TBellIntMeth::Refusal(m_store, *second).empty()) {
        return nullptr;
    }
    return second;
}

void IntMethSheet::Compute()
{
    const TBellStore* second = SecondStore();
    if (second == nullptr) {
        return;
    }
    const FchDisplay display{m_options.OddFCH, m_options.SplitTenorFCH, false};
    const std::string key = std::to_string(m_store.Bells()) + '\n' + m_store.PlaceNotation() +
                            '\n' + m_store.Name() + '\n' +
                            (second == &m_store ? "itself" : std::to_string(m_second.slot)) + '\n' +
                            second->PlaceNotation() + '\n' + second->Name() + '\n' +
                            (display.oddFch ? 'O' : '-') + (display.splitTenorFch ? 'S' : '-');
    ComputeFor(key, [&] { return TBellIntMeth::Calculate(m_store, *second, display, m_fch); });
}

void IntMethSheet::Render(Surface& surface)
{
    if (SecondStore() == nullptr) {
        RenderMessage(surface, "Plain Course of " + m_store.Name(),
                      std::string(kMsgSecondMethodStale));
        return;
    }
    Compute();
    RenderSheet(surface);
}

} // namespace tambrel
