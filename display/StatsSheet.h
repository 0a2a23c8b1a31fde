#pragma once

#include "analysis/TBellStats.h"
#include "display/TBellView.h"

#include <QString>

#include <vector>

namespace tambrel {

class TBellFCH;
class TBellRolls;
class TBellStore;

// The statistics sheet as a view of its page: computed from the page's method with the shared
// false-course-head finder and roll-up counter when shown, painted on the picture or on paper.
// Printing paints the lines of the last showing.
class StatsSheet : public TBellView {
public:
    StatsSheet(const TBellStore& store, TBellFCH& fch, TBellRolls& rolls)
        : m_store(store), m_fch(fch), m_rolls(rolls)
    {
    }

    void Compute() override;
    void Render(Surface& surface) override;
    QString ShowStatus() const override { return QStringLiteral(" Getting Statistics..."); }

    const TBellStats& Stats() const { return m_stats; }

    // What the last rendering chose, for tests: the heading's point size, the line height and
    // the top of each body line, in device pixels.
    int HeadingSize() const { return m_headingSize; }
    int LineHeight() const { return m_lineHeight; }
    const std::vector<int>& LineTops() const { return m_lineTops; }

private:
    const TBellStore& m_store;
    TBellFCH& m_fch;
    TBellRolls& m_rolls;
    TBellStats m_stats;
    int m_headingSize = 14;
    int m_lineHeight = 0;
    std::vector<int> m_lineTops;
};

} // namespace tambrel
