#pragma once

#include "analysis/ColumnSheet.h"
#include "display/SheetLayout.h"
#include "display/TBellView.h"

#include <string>

namespace tambrel {

// What the composition and inter-method sheets share: a sheet of lead columns, computed when
// shown and laid out afresh for each rendering, so that a new window width re-wraps the columns
// without searching again.
class ColumnSheetView : public TBellView {
public:
    const ColumnSheet& Sheet() const { return m_sheet; }
    // How often the sheet has been computed: showing it again for the same method and options
    // reuses the last one.
    int Computations() const { return m_computations; }

    // What the last rendering chose, for tests: the body's point size and the layout.
    int BodySize() const { return m_bodySize; }
    const SheetLayout& Layout() const { return m_layout; }
    const SheetGeometry& Geometry() const { return m_geometry; }

protected:
    // Computes the sheet with `compute` unless `key` (everything the sheet depends on) is the
    // key it was last computed for.
    template <typename Compute> void ComputeFor(const std::string& key, Compute compute)
    {
        if (m_computations > 0 && key == m_key) {
            return;
        }
        m_sheet = compute();
        m_key = key;
        ++m_computations;
    }
    // Paints the sheet: its heading, then the columns, on the picture or over printer pages.
    void RenderSheet(Surface& surface);
    // Paints the heading with `message` below it instead of the columns.
    void RenderMessage(Surface& surface, const std::string& title, const std::string& message);
    void Forget() { m_computations = 0; }

private:
    ColumnSheet m_sheet;
    std::string m_key;
    int m_computations = 0;
    int m_bodySize = 10;
    SheetGeometry m_geometry;
    SheetLayout m_layout;
};

} // namespace tambrel
