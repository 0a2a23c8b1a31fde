#pragma once

#include "analysis/TBellFCH.h"
#include "analysis/TBellRolls.h"
#include "display/CompSheet.h"
#include "display/IntMethSheet.h"
#include "display/StatsSheet.h"
#include "display/Surface.h"
#include "display/TBellDraw.h"
#include "display/TBellOptions.h"
#include "display/TBellView.h"
#include "display/TouchView.h"
#include "engine/TBellStore.h"

#include <QString>

#include <functional>
#include <memory>

namespace tambrel {

// The views a page can show, in the order of the main window's view list.
enum class PageView { Diagram = 0, Statistics = 1, Composition = 2, InterMethod = 3, Touch = 4 };

// The method diagram as a view of its page.
class DiagramView : public TBellView {
public:
    explicit DiagramView(TBellDraw& draw) : m_draw(draw) {}
    void Render(Surface& surface) override { m_draw.RenderDiagram(surface); }
    QString DoneStatus() const override { return m_draw.MissingCalls(); }

private:
    TBellDraw& m_draw;
};

// One method page: its store, options, picture and the five views over them.
class TBellCard {
public:
    // A page with a false-course-head finder and roll-up counter of its own.
    TBellCard();
    // A page whose sheets use the window's shared finder and counter, which outlive it.
    TBellCard(TBellFCH& fch, TBellRolls& rolls);
    TBellCard(const TBellCard&) = delete;
    TBellCard& operator=(const TBellCard&) = delete;

    TBellStore& Store() { return *m_store; }
    const TBellStore& Store() const { return *m_store; }
    TBellOptions PageOptions; // the page's own settings; its call choice is the store's owner
    TBellDraw& Diagram() { return m_diagram; }
    StatsSheet& Stats() { return m_stats; }
    CompSheet& Comp() { return m_comp; }
    IntMethSheet& IntMeth() { return m_intMeth; }
    TouchView& Touch() { return m_touch; }
    TBellView& ViewObject(PageView view);

    PageView View = PageView::Diagram;
    bool Changed = false;            // new method details or options await recalculation
    bool Edited = false;             // entered or edited and not saved since
    std::string Calling;             // the touch view's calling, kept while the page is open
    bool CallingByPositions = false; // the calling is written in calling positions
    int ObservationBell = 0;         // of the calling positions; 0 or past the stage: the tenor

    PagePicture& Picture() { return m_picture; }
    const PagePicture& Picture() const { return m_picture; }

    // The scroll box's client area and the screen, for drawing on the picture.
    QSize Client{800, 600};
    QSize Screen{1280, 1024};
    std::function<void(const QString&)> onStatus; // the main window's status panel
    std::function<void()> onRepaint;              // show the picture as it is drawn

    // Draws `view` on the page picture.
    void Show(PageView view);
    // White picture, the diagram view, no calling, both flags clear: the page is free again.
    void ClearPage();
    // The picture as far as it is drawn: what the clipboard receives.
    QImage ClipboardImage() const { return m_picture.Used(); }

private:
    TBellCard(TBellFCH* fch, TBellRolls* rolls); // own ones for null

    std::unique_ptr<TBellStore> m_store;
    PagePicture m_picture;
    TBellDraw m_diagram;
    DiagramView m_diagramView;
    std::unique_ptr<TBellFCH> m_ownFch; // only without shared ones
    std::unique_ptr<TBellRolls> m_ownRolls;
    StatsSheet m_stats;
    CompSheet m_comp;
    IntMethSheet m_intMeth;
    TouchView m_touch;
};

} // namespace tambrel
