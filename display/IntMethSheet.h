#pragma once

#include "analysis/TBellIntMeth.h"
#include "display/ColumnSheetView.h"

#include <functional>

namespace tambrel {

class TBellFCH;
class TBellOptions;
class TBellStore;

// The inter-method falseness sheet as a view of its page: the page's method against the second
// method chosen for this page. The choice is checked at every showing and printing; when its
// page has been closed, holds another method or was changed, the sheet says so instead.
class IntMethSheet : public ColumnSheetView {
public:
    IntMethSheet(const TBellStore& store, const TBellOptions& options, TBellFCH& fch)
        : m_store(store), m_options(options), m_fch(fch)
    {
    }

    // The method open on page `slot` (1..5), or null when that page is free. Without it only
    // this page's own method can be the second.
    std::function<const TBellStore*(int slot)> openMethod;

    // Chooses the method now on page `slot` as the second method.
    void Choose(int slot, const TBellStore& second) { m_second = SecondMethod::Of(slot, second); }
    const SecondMethod& Second() const { return m_second; }
    // The second method as chosen, or null when it is no longer there as it was.
    const TBellStore* SecondStore() const;

    void Compute() override;
    void Render(Surface& surface) override;
    QString ShowStatus() const override
    {
        return QStringLiteral(" Getting Inter-method Falseness...");
    }

private:
    const TBellStore& m_store;
    const TBellOptions& m_options;
    TBellFCH& m_fch;
    SecondMethod m_second;
};

} // namespace tambrel
