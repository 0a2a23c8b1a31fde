#include "display/StatsSheet.h"
#include "display/SheetHeading.h"

#include "engine/TBellStore.h"

#include <algorithm>

namespace tambrel {

void StatsSheet::Compute()
{
    m_stats.Calculate(m_store, m_fch, m_rolls);
}

void StatsSheet::Render(Surface& surface)
{
    const int width = StartSheet(surface);
    QPainter& painter = surface.Painter();
    const bool printing = surface.Mode() == RenderMode::Print;

    const QString name = QString::fromStdString(m_store.Name());
    const SheetHeading heading(painter, width, name);
    m_headingSize = heading.Size();
    const int h = heading.LineHeight();
    m_lineHeight = h;
    const std::vector<SheetLine> lines = m_stats.BodyLines();
    const int bottom = 2 * h + 10 + static_cast<int>(lines.size() + 1) * h;
    if (!printing) {
        // Room for the whole sheet while it is drawn; a short window scrolls over it.
        surface.SetSize(QSize(width, std::max(surface.Size().height(), bottom)));
        painter.fillRect(QRect(QPoint(0, 0), surface.Size()), Qt::white);
    }
    heading.Write(painter, name, QStringLiteral("Statistics Sheet"));

    m_lineTops.clear();
    int y = 2 * h + 10;
    for (const SheetLine& line : lines) {
        SetSheetFont(painter, 10, line.bold);
        WriteSheetText(painter, 50, y, QString::fromStdString(line.text));
        m_lineTops.push_back(y);
        y += h;
    }
    if (!printing) {
        surface.SetSize(QSize(width, y + h)); // the picture ends one blank line below the text
    }
    surface.Repaint();
}

} // namespace tambrel
