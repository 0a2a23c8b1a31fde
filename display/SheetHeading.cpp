#include "display/SheetHeading.h"

#include "display/Surface.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace tambrel {

int StartSheet(Surface& surface)
{
    surface.Painter().setRenderHint(QPainter::TextAntialiasing, true);
    if (surface.Mode() != RenderMode::Print) {
        surface.SetSize(surface.Client());
    }
    return surface.Size().width();
}

void SetSheetFont(QPainter& painter, int size, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(size);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferDefault);
    painter.setFont(font);
    painter.setPen(Qt::black);
}

void WriteSheetText(QPainter& painter, int x, int y, const QString& text)
{
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

SheetHeading::SheetHeading(QPainter& painter, int width, const QString& fitted)
{
    SetSheetFont(painter, m_size, true);
    while (painter.fontMetrics().horizontalAdvance(fitted) >= width && m_size > kSmallest) {
        m_size -= 2;
        SetSheetFont(painter, m_size, true);
    }
    m_lineHeight = painter.fontMetrics().height() + 10;
}

void SheetHeading::Write(QPainter& painter, const QString& first, const QString& second) const
{
    SetSheetFont(painter, m_size, true);
    WriteSheetText(painter, 10, 10, first);
    WriteSheetText(painter, 10, m_lineHeight, second);
}

} // namespace tambrel
