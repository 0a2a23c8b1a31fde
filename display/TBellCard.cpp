#include "display/TBellCard.h"

namespace tambrel {

TBellCard::TBellCard() : TBellCard(nullptr, nullptr) {}

TBellCard::TBellCard(TBellFCH& fch, TBellRolls& rolls) : TBellCard(&fch, &rolls) {}

TBellCard::TBellCard(TBellFCH* fch, TBellRolls* rolls)
    : m_store(std::make_unique<TBellStore>()), m_diagram(*m_store, PageOptions),
      m_diagramView(m_diagram), m_ownFch(fch == nullptr ? std::make_unique<TBellFCH>() : nullptr),
      m_ownRolls(rolls == nullptr ? std::make_unique<TBellRolls>() : nullptr),
      m_stats(*m_store, fch != nullptr ? *fch : *m_ownFch, rolls != nullptr ? *rolls : *m_ownRolls),
      m_comp(*m_store, PageOptions, fch != nullptr ? *fch : *m_ownFch,
             rolls != nullptr ? *rolls : *m_ownRolls),
      m_intMeth(*m_store, PageOptions, fch != nullptr ? *fch : *m_ownFch),
      m_touch(*m_store, Calling, CallingByPositions, ObservationBell)
{
    m_store->SetOwner(&PageOptions);
    m_diagram.onStatus = [this](const QString& text) {
        if (onStatus) {
            onStatus(text);
        }
    };
}

TBellView& TBellCard::ViewObject(PageView view)
{
    switch (view) {
    case PageView::Statistics:
        return m_stats;
    case PageView::Composition:
        return m_comp;
    case PageView::InterMethod:
        return m_intMeth;
    case PageView::Touch:
        return m_touch;
    case PageView::Diagram:
        break;
    }
    return m_diagramView;
}

void TBellCard::Show(PageView view)
{
    TBellView& object = ViewObject(view);
    if (onStatus && !object.ShowStatus().isEmpty()) {
        onStatus(object.ShowStatus());
    }
    object.Compute();
    {
        PictureSurface surface(m_picture, Client, Screen);
        surface.onRepaint = onRepaint;
        object.Render(surface);
    }
    if (onStatus) {
        onStatus(object.DoneStatus());
    }
    if (onRepaint) {
        onRepaint();
    }
}

void TBellCard::ClearPage()
{
    m_picture.Clear();
    if (onRepaint) {
        onRepaint();
    }
    View = PageView::Diagram;
    Calling.clear();
    CallingByPositions = false;
    ObservationBell = 0;
    Changed = false;
    Edited = false;
}

} // namespace tambrel
