#include "display/ColumnSheetView.h"

#include "display/SheetHeading.h"

#include <QFont>
#include <QFontMetrics>

#include <algorithm>

namespace tambrel {

namespace {

void SetBodyFont(QPainter& painter, int size, bool bold, bool underline)
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter); // a fixed pitch wherever Courier New is missing
    font.setFixedPitch(true);
    font.setPointSize(size);
    font.setBold(bold);
    font.setUnderline(underline);
    painter.setFont(font);
    painter.setPen(Qt::black);
}

void SetStyle(QPainter& painter, int size, SheetTextStyle style)
{
    SetBodyFont(painter, size,
                style == SheetTextStyle::Bold || style == SheetTextStyle::BoldUnderlined,
                style == SheetTextStyle::BoldUnderlined || style == SheetTextStyle::Underlined);
}

// The heading's size is chosen for the wider of its two lines.
SheetHeading FitHeading(QPainter& painter, int width, const QString& title, const QString& subtitle)
{
    SetSheetFont(painter, SheetHeading::kLargest, true);
    const QFontMetrics metrics = painter.fontMetrics();
    const QString& wider =
        metrics.horizontalAdvance(subtitle) > metrics.horizontalAdvance(title) ? subtitle : title;
    return SheetHeading(painter, width - 10, wider);
}

} // namespace

void ColumnSheetView::RenderSheet(Surface& surface)
{
    const int width = StartSheet(surface);
    QPainter& painter = surface.Painter();
    const bool printing = surface.Mode() == RenderMode::Print;
    const QString title = QString::fromStdString(m_sheet.title);
    const QString subtitle = QString::fromStdString(m_sheet.subtitle);
    const SheetHeading heading = FitHeading(painter, width, title, subtitle);

    // Lines are spaced for 10 points; above 12 bells the text is smaller to fit the long rows.
    m_bodySize = m_sheet.bells > 12 ? 8 : 10;
    SetBodyFont(painter, 10, false, false);
    m_geometry = SheetGeometry{};
    m_geometry.print = printing;
    m_geometry.width = width;
    m_geometry.height = surface.Size().height();
    m_geometry.bodyTop = 2 * heading.LineHeight() + 10;
    m_geometry.lineHeight = std::max(painter.fontMetrics().height(), 1);
    SetBodyFont(painter, m_bodySize, false, false);
    m_geometry.charWidth = painter.fontMetrics().horizontalAdvance(QLatin1Char('8'));
    m_geometry.columnWidth = (m_sheet.bells + 4) * m_geometry.charWidth;
    m_layout = LayOutSheet(m_sheet, m_geometry);

    if (!printing) {
        surface.SetSize(QSize(width, m_layout.height));
        painter.fillRect(QRect(QPoint(0, 0), surface.Size()), Qt::white);
    }
    for (std::size_t page = 0; page < m_layout.pages.size(); ++page) {
        if (page > 0 && !surface.NewPage()) {
            break;
        }
        heading.Write(painter, title, subtitle);
        for (const PlacedText& text : m_layout.pages[page]) {
            SetStyle(painter, m_bodySize, text.style);
            WriteSheetText(painter, text.x, text.y, QString::fromStdString(text.text));
        }
    }
    surface.Repaint();
}

void ColumnSheetView::RenderMessage(Surface& surface, const std::string& title,
                                    const std::string& message)
{
    const int width = StartSheet(surface);
    QPainter& painter = surface.Painter();
    const bool printing = surface.Mode() == RenderMode::Print;
    const QString heading = QString::fromStdString(title);
    const SheetHeading fitted = FitHeading(painter, width, heading, QString());
    const int h = fitted.LineHeight();
    m_layout = SheetLayout{};
    m_layout.pages.push_back({PlacedText{10, 2 * h + 10, message, SheetTextStyle::Bold}});
    m_layout.height = 2 * h + 10 + 2 * h;
    if (!printing) {
        surface.SetSize(QSize(width, m_layout.height));
        painter.fillRect(QRect(QPoint(0, 0), surface.Size()), Qt::white);
    }
    fitted.Write(painter, heading, QString());
    SetSheetFont(painter, 10, true);
    WriteSheetText(painter, 10, 2 * h + 10, QString::fromStdString(message));
    surface.Repaint();
}

} // namespace tambrel
