#pragma once

#include <QString>

class QPainter;

namespace tambrel {

class Surface;

// Readies a surface for a sheet: text antialiased, and on screen the picture as large as the
// client area. Returns the width to lay the sheet out in.
int StartSheet(Surface& surface);

// Sets a sheet's font: Arial at `size` points, black, bold or not.
void SetSheetFont(QPainter& painter, int size, bool bold);

// Writes `text` with its top-left corner at (x, y) in the painter's font.
void WriteSheetText(QPainter& painter, int x, int y, const QString& text);

// The two heading lines every analysis sheet starts with. The font is bold Arial, 14 points,
// lowered by 2 while the fitted text is at least as wide as the page, stopping at 8 (a text
// still too wide is written at 8). The line height, the text height of that font plus 10, is
// also the spacing of the sheet's body.
class SheetHeading {
public:
    static constexpr int kLargest = 14;
    static constexpr int kSmallest = 8;

    // Chooses the size for `fitted` on a page `width` pixels wide, measured with the painter's
    // device, and leaves the painter in the heading font.
    SheetHeading(QPainter& painter, int width, const QString& fitted);

    int Size() const { return m_size; }
    int LineHeight() const { return m_lineHeight; }

    // Writes `first` at (10, 10) and `second` one line height lower at x = 10, in the
    // heading font.
    void Write(QPainter& painter, const QString& first, const QString& second) const;

private:
    int m_size = kLargest;
    int m_lineHeight = 0;
};

} // namespace tambrel
