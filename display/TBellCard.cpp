#include "display/TBellCard.h"

namespace tambrel {

TBellCard::TBellCard()
    : m_store(std::make_unique<TBellStore>()), m_diagram(*m_store, PageOptions),
      m_diagramView(m_diagram)
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
    {
        PictureSurface surface(m_picture, Client, Screen);
        surface.onRepaint = onRepaint;
        object.Render(surface);
    }
    if (onStatus) {
        onStatus(QString());
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
    Changed = false;
    Edited = false;
}

} // namespace tambrel
