#pragma once

#include "display/ColumnSheetView.h"

namespace tambrel {

class TBellFCH;
class TBellRolls;
class TBellOptions;
class TBellStore;

// The composition sheet as a view of its page: every lead's roll-ups and false course heads,
// from the page's method and options with the shared finder and counter.
class CompSheet : public ColumnSheetView {
public:
    CompSheet(const TBellStore& store, const TBellOptions& options, TBellFCH& fch,
              TBellRolls& rolls)
        : m_store(store), m_options(options), m_fch(fch), m_rolls(rolls)
    {
    }

    void Compute() override;
    void Render(Surface& surface) override;
    QString ShowStatus() const override
    {
        return QStringLiteral(" Getting Composition Information...");
    }

private:
    const TBellStore& m_store;
    const TBellOptions& m_options;
    TBellFCH& m_fch;
    TBellRolls& m_rolls;
};

} // namespace tambrel
