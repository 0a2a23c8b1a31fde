#pragma once

#include "display/Surface.h"

namespace tambrel {

// What every view of a method page offers: render itself on the page picture or on printer
// pages. Showing and printing (cursor, status text, print jobs) are the page's business.
class TBellView {
public:
    virtual ~TBellView() = default;
    // What showing computes before it renders; printing renders what the last showing computed.
    virtual void Compute() {}
    virtual void Render(Surface& surface) = 0;
    // The progress text shown while the view is computed (" Getting Statistics...").
    virtual QString ShowStatus() const { return {}; }
    // What the status panel keeps once the view is drawn ("" for nothing).
    virtual QString DoneStatus() const { return {}; }
};

} // namespace tambrel
