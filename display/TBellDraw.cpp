#include "display/TBellDraw.h"

#include "display/TBellOptions.h"
#include "engine/TBellStore.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPen>
#include <QRawFont>
#include <QStaticText>

#include <algorithm>
#include <cmath>

namespace tambrel {

namespace {

const QString kArial = QStringLiteral("Arial");
const QString kTimes = QStringLiteral("Times New Roman");

// The whole part, cut toward zero: a negative fraction such as the pen width's
// (width of "8" - 6) / 3 at small sizes counts as 0, not -1.
int Whole(double value)
{
    return static_cast<int>(std::trunc(value));
}

QString Symbol(int bell)
{
    return QString(QChar(SymbolOf(bell)));
}

// Colours for the plain course: treble red, first blue bell blue, second green, all others
// black; in this order, so a blue bell that is the treble wins over red.
std::array<QColor, 17> PlainColours(bool colour, int b1, int b2)
{
    std::array<QColor, 17> table;
    table.fill(Qt::black);
    if (colour) {
        table[1] = QColor(255, 0, 0);
        if (b1 > 0) {
            table[static_cast<std::size_t>(b1)] = QColor(0, 0, 255);
        }
        if (b2 > 0) {
            table[static_cast<std::size_t>(b2)] = QColor(0, 128, 0);
        }
    }
    return table;
}

// Colours for the grid and call columns, bell by bell.
std::array<QColor, 17> ExtraColours(bool colour)
{
    std::array<QColor, 17> table;
    table.fill(Qt::black);
    if (colour) {
        const QColor red(255, 0, 0), blue(0, 0, 255), green(0, 128, 0), fuchsia(255, 0, 255),
            maroon(128, 0, 0), black(0, 0, 0), teal(0, 128, 128), navy(0, 0, 128);
        const QColor order[16] = {red,   blue,    green,  fuchsia, maroon, black, teal,  navy,
                                  green, fuchsia, maroon, black,   teal,   navy,  green, fuchsia};
        for (std::size_t b = 1; b <= 16; ++b) {
            table[b] = order[b - 1];
        }
    }
    return table;
}

int PositionOf(const Row& row, int bell, int n)
{
    for (int p = 0; p < n; ++p) {
        if (row[static_cast<std::size_t>(p)] == bell) {
            return p + 1;
        }
    }
    return 0;
}

} // namespace

QString MissingCallsText(int bells, bool bob, bool single)
{
    if (!bob && !single) {
        return {};
    }
    const QString calls = bob && single ? QStringLiteral("bob or single")
                          : bob         ? QStringLiteral("bob")
                                        : QStringLiteral("single");
    return QStringLiteral(" No %1 for %2 bells in the Calls Library.").arg(calls).arg(bells);
}

void TBellDraw::Status(const QString& text)
{
    if (onStatus) {
        onStatus(text);
    }
}

void TBellDraw::SetFont(QPainter& painter, const QString& family, int size, bool bold,
                        bool underline)
{
    QFont font(family);
    font.setPointSize(size);
    font.setBold(bold);
    font.setUnderline(underline);
    font.setStyleStrategy(QFont::PreferDefault);
    painter.setFont(font);
    m_fontSize = size;
}

// Text is placed by its top-left corner; the pen is left at its end.
void TBellDraw::Write(QPainter& painter, int x, int y, const QString& text)
{
    const QFontMetrics metrics = painter.fontMetrics();
    painter.drawText(x, y + metrics.ascent(), text);
    m_state.penX = x + metrics.horizontalAdvance(text);
    m_state.penY = y;
}

void TBellDraw::RenderDiagram(Surface& surface)
{
    ColumnState& s = m_state;
    s = ColumnState{};
    QPainter& painter = surface.Painter();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    // 1. The stage and the blue bells, capped at the tenor and the bell below it.
    s.n = m_store.Bells();
    s.R = m_store.RowCount();
    s.L = m_store.LeadLength();
    if (m_options.BlueBell1 > s.n) {
        m_options.BlueBell1 = s.n;
    }
    if (m_options.BlueBell2 > s.n) {
        m_options.BlueBell2 = s.n - 1;
    }
    // Values outside their ranges (edited outside the program) count as the defaults.
    m_size = m_options.Size >= 0 && m_options.Size <= 3 ? m_options.Size : 1;
    s.printing = surface.Mode() == RenderMode::Print;
    const int poster = m_options.PrintPoster;
    m_poster = s.printing && (poster == 2 || poster == 3 || poster == 4) ? poster : 0;
    s.continuous = m_options.Continuous;

    // 2. The surface: a white picture of the scroll box's width.
    if (!s.printing) {
        const int width = surface.Client().width();
        surface.SetSize(QSize(width, Whole(2.5 * surface.Screen().height())));
        painter.fillRect(QRect(QPoint(0, 0), surface.Size()), Qt::white);
        surface.Repaint();
        if (!s.continuous) {
            surface.SetSize(QSize(width, surface.Client().height()));
        }
    }

    // 3. Colour on paper needs a colour printer too.
    m_colour = s.printing ? m_options.Colour && m_options.PrintColour : m_options.Colour;

    // 4. The heading.
    s.page = 1;
    s.maxX = 0;
    s.maxY = 0;
    DrawTitle(surface);
    const int titleBottom = s.penY; // y0' of the layout rules
    s.x0 = s.penX;
    surface.Repaint();

    // 5. The gap between bands.
    SetFont(painter, kArial, 10);
    s.gap = Whole(2.5 * painter.fontMetrics().height());

    // 6. Columns across the surface. A call the calls library lacks for the stage has none: a
    // column headed "Bob" over a plain lead would say what is not so.
    const int n = s.n;
    const bool noBob = m_options.ShowBob && n > 4 && !m_store.HasBob();
    const bool noSingle = m_options.ShowSingle && n > 4 && !m_store.HasSingle();
    m_missingCalls = MissingCallsText(n, noBob, noSingle);
    int columns = 0;
    if (m_poster > 0) {
        columns = m_poster;
    } else {
        columns = (s.L > 0 ? s.R / s.L : 0) + (m_options.ShowGrid ? 1 : 0) +
                  (m_options.ShowBob && !noBob ? 1 : 0) +
                  (m_options.ShowSingle && !noSingle ? 1 : 0);
    }

    // 7. Character cells across the surface.
    int units = 0;
    const int half = Whole(columns * 0.5 + 0.999);
    const int quarter = Whole(columns * 0.25 + 0.999);
    switch (m_size) {
    case 0:
        units = n <= 8 ? Whole((n + 2) * columns * 1.5) : (n + 2) * columns;
        break;
    case 1:
        units = n <= 8 ? (n + 2) * columns : half * (n + 2);
        break;
    case 2:
        units = n <= 8 ? half * (n + 2) : quarter * (n + 2);
        break;
    default:
        units = n <= 10 ? (n + 2) * n : Whole(n * 0.5 + 0.999) * (n + 2);
        break;
    }
    if (m_poster > 0) {
        units = (n + 2) * columns + 1;
    }
    units = std::max(units, 1);

    // 8. Cell width: never narrower than a digit at the smallest size.
    const QSize area = surface.Size();
    s.cw = Whole(static_cast<double>(area.width() - 10) / units);
    SetFont(painter, kArial, 6);
    if (painter.fontMetrics().horizontalAdvance(QStringLiteral("8")) > s.cw) {
        s.cw = painter.fontMetrics().horizontalAdvance(QStringLiteral("8"));
    }

    // 9. Where the first lead column must end. The heading is part of what the window shows,
    // so a lead fitted to the screen ends within the visible height, heading included.
    int limit = 0;
    if (!s.printing) {
        limit = m_options.Fit2Screen ? surface.Client().height() : 99999;
    } else {
        limit = area.height() > area.width() ? Whole(area.height() * 0.5) : area.height();
    }

    // 10. The largest font whose digits fit cells `cw` wide and whose layout, given its row
    // height and band gap, fits the height; 0 when none does.
    const int largest = m_poster > 0 ? 72 : (n < 6 ? 24 : 18);
    const auto rowHeight = [&](int fontSize) {
        const int h8 = painter.fontMetrics().height();
        return fontSize < 8 && n > 12 ? Whole(h8 * 0.8) : Whole(h8 * 0.9);
    };
    const auto fontFor = [&](int cw, const auto& fitsHeight) {
        for (int size = largest; size >= 6; --size) {
            SetFont(painter, kArial, size);
            const QFontMetrics metrics = painter.fontMetrics();
            const int gap = size > 10 ? Whole(2.5 * metrics.height()) : s.gap;
            if (Whole(metrics.horizontalAdvance(QStringLiteral("8")) * 1.5) < cw &&
                fitsHeight(size, rowHeight(size), gap)) {
                return size;
            }
        }
        return 0;
    };
    // On screen, a lead fitted to a window too small for it keeps legible figures, at least
    // kMinFigurePixels high: cells too narrow for them are widened, so that the columns wrap
    // into further bands, and the picture scrolls beyond the window. (Unfitted, the cells
    // still share the window's width.)
    int smallest = 6;
    if (!s.printing && m_options.Fit2Screen) {
        for (; smallest < largest; ++smallest) {
            SetFont(painter, kArial, smallest);
            if (painter.fontMetrics().tightBoundingRect(QStringLiteral("8")).height() >=
                kMinFigurePixels) {
                break;
            }
        }
        s.cw = std::max(
            s.cw, Whole(painter.fontMetrics().horizontalAdvance(QStringLiteral("8")) * 1.5) + 1);
    }
    // The first column's bottom as steps 11 and 12 will place it, below the gap under the
    // heading: a column measured any shorter is moved on past a page or the window's bottom,
    // or cut there. A continuous lead also keeps room for its start row.
    int size = fontFor(s.cw, [&](int fontSize, int rh, int gap) {
        const int needed =
            s.continuous ? titleBottom + rh * (s.L + 1) : titleBottom + gap - rh + rh * (s.L + 1);
        return needed < limit || fontSize <= smallest;
    });

    // On paper the page, not the window, sets the columns to a band: of every count across,
    // the one with the largest figures whose bands all fit the one page (most columns across
    // among equals, so that cells are no wider than they need be). A diagram too big for one
    // page keeps the layout above and runs on over the pages.
    if (s.printing && m_poster == 0 && !s.continuous) {
        // A chosen lead is one column, not the course's.
        const int drawn =
            m_options.LeadToShow > 0 ? columns - (s.L > 0 ? s.R / s.L : 0) + 1 : columns;
        int best = 0;
        for (int across = drawn; across >= 1; --across) {
            const int cw = Whole(static_cast<double>(area.width() - 10) / ((n + 2) * across));
            const int bands = (drawn + across - 1) / across;
            const int found = fontFor(cw, [&](int, int rh, int gap) {
                const int colH = s.L * rh + rh;
                return titleBottom + gap - rh + (bands - 1) * (colH - rh + gap) + colH <=
                       area.height();
            });
            if (found > best) {
                best = found;
                size = found;
                s.cw = cw;
                s.across = across;
            }
        }
    }
    size = std::max(size, 6);
    SetFont(painter, kArial, size);

    // A poster's cells are as wide as its figures need, as on screen, so that it is the
    // screen's diagram enlarged rather than stretched sideways; its columns are centred on
    // the page.
    if (m_poster > 0) {
        s.cw = std::min(
            s.cw, Whole(painter.fontMetrics().horizontalAdvance(QStringLiteral("8")) * 1.5) + 1);
        s.across = m_poster;
    }

    // 11. Sizes that follow from the font.
    if (size > 10) {
        s.gap = Whole(2.5 * painter.fontMetrics().height());
    }
    s.rh = rowHeight(size);
    s.colW = (n + 2) * s.cw;
    s.colH = s.L * s.rh + (s.continuous ? 0 : s.rh);
    if (m_poster > 0) {
        s.x0 = std::max(s.x0, (area.width() - m_poster * s.colW) / 2);
    }
    if (size > 9) {
        SetFont(painter, kTimes, size);
    }
    s.pw = Whole((painter.fontMetrics().horizontalAdvance(QStringLiteral("8")) - 6) / 3.0) + 2;
    const int searched = size;

    // 12. Where the columns start.
    const int first = m_options.LeadToShow > 0 ? m_options.LeadToShow : 1;
    const int leads = s.L > 0 ? s.R / s.L : 0;
    s.x = s.x0;
    s.y = s.continuous ? titleBottom + Whole(s.rh * 0.5) : titleBottom + s.gap - s.rh;
    s.y0 = s.y;

    // 13. The plain course's lines and colours.
    const int b1 = m_options.BlueBell1;
    const int b2 = m_options.BlueBell2;
    s.kind = LeadKind::Plain;
    s.rowStyle = m_options.Numbers;
    s.handstrokes = m_options.Handstrokes;
    s.lineSymbols.clear();
    switch (m_options.Treble) {
    case 2:
        s.lineSymbols = QStringLiteral("/");
        break;
    case 3:
        s.lineSymbols = QStringLiteral("1");
        break;
    case 4:
        s.lineSymbols = QStringLiteral("1/");
        break;
    default:
        break;
    }
    if (b1 > 0) {
        s.lineSymbols += Symbol(b1);
    }
    if (b2 > 0) {
        s.lineSymbols += Symbol(b2);
    }
    s.B1 = b1;
    s.trebleBlue = b1 == 1 || b2 == 1;
    s.colours = PlainColours(m_colour, b1, b2);
    s.afterPlain = false;

    // 14. One column per lead (only the chosen one when a lead is chosen).
    const int last = m_options.LeadToShow > 0 ? first : leads;
    for (int k = first; k <= last && k <= leads; ++k) {
        Status(QStringLiteral(" Drawing Lead %1...").arg(k));
        s.caption.clear();
        s.startRowFlag = true;
        s.startRow = m_store.RowAt((k - 1) * s.L);
        if (m_options.ShowTitle) {
            for (int p = 1; p <= n; ++p) {
                if (s.startRow[static_cast<std::size_t>(p - 1)] == b1) {
                    s.caption = QStringLiteral("(%1)").arg(p); // the blue bell's place
                }
            }
        }
        PlaceColumn(surface);
        if (s.continuous) {
            s.caption.clear();
            s.startRowFlag = s.y == s.y0;
        }
        const int drawSize = !s.printing ? searched : (searched > 7 ? searched - 2 : 6);
        QFont font = painter.font();
        font.setPointSize(drawSize);
        if (drawSize > 9) {
            font.setFamily(kTimes);
        }
        painter.setFont(font);
        m_fontSize = drawSize;
        DrawColumn(surface);
        surface.Repaint();
        AdvanceColumn();
    }

    // 15. The extra columns: their own colours, a start row, no handstroke marks.
    s.colours = m_colour ? ExtraColours(true) : ExtraColours(false);
    s.startRowFlag = true;
    s.handstrokes = false;
    const int plainPen = s.pw;
    if (s.continuous) {
        if (s.y > s.y0) {
            s.y = 1000000; // the next column starts at the top, to the right
        }
        s.afterPlain = true;
    }

    // 16. The method grid: every bell's path through one lead.
    if (m_options.ShowGrid) {
        Status(QStringLiteral(" Drawing method grid ..."));
        s.caption = QStringLiteral("Grid");
        s.kind = LeadKind::Plain;
        s.rowStyle = 4;
        s.lineSymbols = QString::fromLatin1(BellSymbols.data(), n);
        s.pw = Whole(plainPen * 0.5 + 0.6);
        s.startRow = m_store.RowAt(0);
        PlaceColumn(surface);
        DrawColumn(surface);
        AdvanceColumn();
        surface.Repaint();
    }

    // 17, 18. The bob and single leads, from half a lead before the end of the course.
    const auto callColumn = [&](bool shown, const char* status, const char* caption, LeadKind kind,
                                const std::string& lines) {
        if (!shown || n <= 4) {
            return; // four bells have no calls to show
        }
        Status(QString::fromLatin1(status));
        s.caption = QString::fromLatin1(caption);
        s.kind = kind;
        s.rowStyle = m_options.Numbers;
        s.lineSymbols = QStringLiteral("1") + QString::fromStdString(lines);
        s.pw = plainPen;
        s.startRow = m_store.RowAt(s.R - Whole(s.L * 0.5));
        PlaceColumn(surface);
        DrawColumn(surface);
        AdvanceColumn();
        surface.Repaint();
    };
    callColumn(m_options.ShowBob && !noBob, " Drawing Bob ...", "Bob", LeadKind::Bob,
               m_store.BobLines());
    callColumn(m_options.ShowSingle && !noSingle, " Drawing Single ...", "Single", LeadKind::Single,
               m_store.SingleLines());

    // 19. The picture ends where the drawing does.
    if (!s.printing) {
        surface.SetSize(QSize(s.maxX, s.maxY + s.rh));
    }
    Status(QString());
}

void TBellDraw::DrawTitle(Surface& surface)
{
    ColumnState& s = m_state;
    QPainter& painter = surface.Painter();
    const QString name = QString::fromStdString(m_store.Name());
    painter.setPen(Qt::black);
    if (!m_options.ShowTitle) {
        s.penX = 10;
        s.penY = 10;
        return;
    }
    const int width = surface.Size().width();
    if (m_poster > 0) {
        int size = 14;
        SetFont(painter, kArial, size, true);
        while (width <= painter.fontMetrics().horizontalAdvance(QStringLiteral("  ") + name) &&
               size > 8) {
            size -= 2;
            SetFont(painter, kArial, size, true);
        }
        const int h = painter.fontMetrics().height();
        // The name heads the first page only; later pages keep a blank line in its place.
        Write(painter, painter.fontMetrics().horizontalAdvance(QStringLiteral("  ")), 10,
              s.page == 1 ? name : QStringLiteral(" "));
        s.maxX = s.penX;
        s.penX = 10;
        s.penY = Whole(h * 1.5) + 11;
    } else if (s.continuous) {
        SetFont(painter, kArial, 8);
        const QFontMetrics metrics = painter.fontMetrics();
        const int column = Whole(metrics.horizontalAdvance(QStringLiteral("W")) * 1.5);
        const int line = metrics.height();
        for (int i = 0; i < name.size(); ++i) {
            Write(painter, column, (i + 1) * line, name.mid(i, 1));
        }
        s.maxY = s.penY;
        s.penX = 2 * column;
        s.penY = 10;
    } else {
        int size = 14;
        SetFont(painter, kArial, size, true, true);
        while (width <= painter.fontMetrics().horizontalAdvance(name) && size > 8) {
            size -= 2;
            SetFont(painter, kArial, size, true, true);
        }
        const int h = painter.fontMetrics().height();
        Write(painter, Whole((width - painter.fontMetrics().horizontalAdvance(name)) * 0.5), 10,
              name);
        s.maxX = s.penX;
        const QString notation = QStringLiteral("(%1)").arg(
            QString::fromStdString(m_store.ShownNotation(m_options.CCNotation)));
        size = 10;
        SetFont(painter, kArial, size);
        while (width <= painter.fontMetrics().horizontalAdvance(notation) && size > 7) {
            --size;
            SetFont(painter, kArial, size);
        }
        const int h2 = painter.fontMetrics().height();
        Write(painter, Whole((width - painter.fontMetrics().horizontalAdvance(notation)) * 0.5),
              h + 11, notation);
        s.maxX = std::max(s.maxX, s.penX);
        s.penX = 10;
        s.penY = h + 11 + h2;
    }
    QFont font = painter.font();
    font.setFamily(kArial);
    painter.setFont(font);
}

void TBellDraw::PlaceColumn(Surface& surface)
{
    ColumnState& s = m_state;
    QSize area = surface.Size();
    if (s.continuous) {
        // A column that holds nothing yet keeps its lead even when the lead is taller than the
        // picture (the next column is no taller, and this one would stay empty); the picture
        // then grows to hold the lead, a screen height at a time.
        const int top = s.afterPlain ? s.y0 - s.rh + s.gap : s.y0;
        if (s.y + s.colH > area.height() && s.y > top) {
            s.x += s.colW;
            s.y = top;
            if (!s.printing && s.x + s.colW > area.width()) {
                area.rwidth() += surface.Screen().width();
                surface.SetSize(area);
            }
        }
        if (!s.printing) {
            while (area.height() < s.y + s.colH) {
                area.rheight() += std::max(surface.Screen().height(), 1);
            }
            if (area != surface.Size()) {
                surface.SetSize(area);
            }
        }
    } else {
        if (s.x + s.colW > area.width() || (s.across > 0 && s.x >= s.x0 + s.across * s.colW)) {
            s.x = s.x0;
            s.y = s.y + s.colH - s.rh + s.gap;
        }
        if (!s.printing) {
            while (area.height() < s.y + s.colH) {
                area.rheight() += std::max(surface.Screen().height(), 1);
            }
            if (area != surface.Size()) {
                surface.SetSize(area);
            }
        }
    }
    if (s.printing && (s.y + s.colH > area.height() || s.x + s.colW > area.width())) {
        QPainter& painter = surface.Painter();
        const QFont kept = painter.font();
        surface.NewPage();
        ++s.page;
        DrawTitle(surface);
        QFont font = kept;
        font.setFamily(kArial);
        painter.setFont(font);
        m_fontSize = font.pointSize();
        s.y = s.y0;
        s.x = s.x0;
    }
}

void TBellDraw::DrawColumn(Surface& surface)
{
    ColumnState& s = m_state;
    if (onColumn) {
        onColumn(s);
    }
    QPainter& painter = surface.Painter();
    const int n = s.n;
    const QFontMetrics metrics = painter.fontMetrics();
    const int hw = metrics.horizontalAdvance(QStringLiteral("8")) / 2;
    const int hh = metrics.height() / 2;

    // The caption, a little smaller than the rows, centred over the column.
    if (!s.caption.isEmpty()) {
        const QFont rows = painter.font();
        QFont font = rows;
        font.setPointSize(m_fontSize < 12 ? 10 : m_fontSize - 2);
        painter.setFont(font);
        painter.setPen(Qt::black);
        const QFontMetrics caption = painter.fontMetrics();
        Write(painter,
              s.x + s.cw + Whole((s.cw * (n - 1) - caption.horizontalAdvance(s.caption)) * 0.5),
              s.y - Whole(s.rh * 0.5) - Whole(caption.height() * 1.2), s.caption);
        painter.setFont(rows);
    }

    const QColor textColour = m_options.GreyNumbers ? QColor(128, 128, 128) : QColor(Qt::black);

    // Framed lines: a frame per position, every fourth shaded.
    if (s.rowStyle == 2) {
        const QColor fill = m_fontSize == 6 ? QColor(128, 128, 128) : QColor(192, 192, 192);
        const int top = s.y + hh;
        const int bottom = s.L * s.rh + s.y + hh;
        for (int i = 0; i <= n; ++i) {
            QPen pen(i == 0 || i == n ? QColor(Qt::black) : QColor(128, 128, 128));
            pen.setWidth(s.printing ? 2 : 1);
            painter.setPen(pen);
            const int lineX = s.cw / 2 + s.x + i * s.cw;
            painter.drawLine(lineX, top, lineX, bottom);
            if ((i + 1) % 4 == 0) {
                painter.fillRect(QRect(lineX, top, s.cw, bottom - top), fill);
            }
        }
    }

    // The symbols of each position, laid out once and then placed by their top-left corner.
    std::array<QStaticText, kMaxBells + 1> symbols;
    for (int b = 1; b <= n; ++b) {
        symbols[static_cast<std::size_t>(b)].setText(Symbol(b));
        symbols[static_cast<std::size_t>(b)].prepare(QTransform(), painter.font());
    }
    // On the picture a row goes as one run of glyphs, placed where the texts would stand (the
    // pixels are the same): sixteen texts a row made most of a long course's drawing time.
    const bool runs = surface.DrawsGlyphRuns();
    QRawFont raw;
    std::array<quint32, kMaxBells + 1> glyphs{};
    if (runs) {
        raw = QRawFont::fromFont(painter.font());
        for (int b = 1; b <= n; ++b) {
            const QList<quint32> index = raw.glyphIndexesForString(Symbol(b));
            glyphs[static_cast<std::size_t>(b)] = index.isEmpty() ? 0 : index.front();
        }
    }
    QList<quint32> rowGlyphs;
    QList<QPointF> rowPositions;
    const int ascent = metrics.ascent();
    const auto writeRow = [&](const Row& row, int top) {
        painter.setPen(textColour);
        if (runs) {
            rowGlyphs.clear();
            rowPositions.clear();
            for (int p = 1; p <= n; ++p) {
                const int bell = row[static_cast<std::size_t>(p - 1)];
                if (bell >= 1 && bell <= n) {
                    rowGlyphs.push_back(glyphs[static_cast<std::size_t>(bell)]);
                    rowPositions.push_back(QPointF(s.x - hw + p * s.cw, top + ascent));
                }
            }
            QGlyphRun run;
            run.setRawFont(raw);
            run.setGlyphIndexes(rowGlyphs);
            run.setPositions(rowPositions);
            painter.drawGlyphRun(QPointF(0, 0), run);
            return;
        }
        for (int p = 1; p <= n; ++p) {
            const int bell = row[static_cast<std::size_t>(p - 1)];
            if (bell >= 1 && bell <= n) {
                painter.drawStaticText(QPoint(s.x - hw + p * s.cw, top),
                                       symbols[static_cast<std::size_t>(bell)]);
            }
        }
    };
    if (s.startRowFlag) {
        writeRow(s.startRow, s.y - hh);
    }

    QPen pen(Qt::black);
    pen.setCapStyle(Qt::RoundCap); // a zero-length line is a dot only with a round cap
    pen.setJoinStyle(Qt::RoundJoin);
    const int thinPen = Whole(s.pw * 0.5 + 0.6);
    // The lines' pen. Round ends join one row's segment smoothly to the next; on lines of two
    // pixels or less a square end does the same to the eye, and is far cheaper to draw.
    const auto linePen = [&](int width, const QColor& colour) {
        QPen line(colour);
        line.setWidth(width);
        line.setCapStyle(width <= 2 ? Qt::SquareCap : Qt::RoundCap);
        line.setJoinStyle(Qt::RoundJoin);
        return line;
    };
    Row row = s.startRow;
    for (int j = 1; j <= s.L; ++j) {
        const Row previous = row;
        const std::string& change = s.kind == LeadKind::Plain ? m_store.GetChange(j)
                                    : s.kind == LeadKind::Bob ? m_store.GetBobChange(j)
                                                              : m_store.GetSingleChange(j);
        row = ApplyChange(row, ChangeMovement(change, n));
        pen.setColor(Qt::black);
        pen.setWidth(m_fontSize < 8 ? 2 : 2 * s.pw);
        painter.setPen(pen);

        if (s.rowStyle == 0) {
            writeRow(row, s.y - hh + j * s.rh);
        } else if (s.rowStyle == 1) {
            painter.setPen(pen);
            for (int p = 1; p <= n; ++p) {
                painter.drawPoint(QPoint(s.x + p * s.cw, s.y + j * s.rh));
            }
        }
        if (s.handstrokes && j % 2 == 1) {
            painter.setPen(textColour);
            Write(painter, s.x - hw + (n + 1) * s.cw, s.y - hh + j * s.rh, QStringLiteral("H"));
        }
        const bool leadEnd = s.kind == LeadKind::Plain ? j == s.L : s.L % 2 == 0 && j == s.L / 2;
        if (leadEnd) {
            QPen rule(Qt::black);
            rule.setWidth(thinPen);
            painter.setPen(rule);
            const int ruleY = s.y + hh + (j - 1) * s.rh - 1;
            painter.drawLine(s.x + s.cw / 2, ruleY, s.x + s.cw / 2 + n * s.cw, ruleY);
        }

        const int top = s.y + (j - 1) * s.rh;
        for (const QChar symbol : s.lineSymbols) {
            if (symbol == QLatin1Char('/')) {
                // A crossing mark: the treble's step where it and the blue bell change places.
                const int before = PositionOf(previous, 1, n);
                const int beforeBlue = PositionOf(previous, s.B1, n);
                const int after = PositionOf(row, 1, n);
                const int afterBlue = PositionOf(row, s.B1, n);
                const bool swapped = s.B1 > 0 && beforeBlue > 0 &&
                                     ((before + 1 == beforeBlue && after == afterBlue + 1) ||
                                      (before == beforeBlue + 1 && after + 1 == afterBlue));
                if (swapped) {
                    painter.setPen(linePen(s.pw, s.colours[1]));
                    painter.drawLine(s.x + before * s.cw, top, s.x + after * s.cw, top + s.rh);
                }
                continue;
            }
            const int bell = BellOf(static_cast<char>(symbol.toLatin1()));
            const int from = bell >= 1 ? PositionOf(previous, bell, n) : 0;
            const int to = bell >= 1 ? PositionOf(row, bell, n) : 0;
            if (from == 0 || to == 0) {
                continue; // a bell the row does not hold
            }
            painter.setPen(linePen(bell == 1 && !s.trebleBlue ? thinPen : s.pw,
                                   s.colours[static_cast<std::size_t>(bell)]));
            painter.drawLine(s.x + from * s.cw, top, s.x + to * s.cw, top + s.rh);
        }
    }
}

void TBellDraw::AdvanceColumn()
{
    ColumnState& s = m_state;
    if (s.continuous) {
        s.y += s.colH + (s.afterPlain ? s.gap : 0);
        s.maxX = s.x + s.colW;
        s.maxY = std::max(s.maxY, s.y);
    } else {
        s.x += s.colW;
        s.maxX = std::max(s.maxX, s.x);
        s.maxY = s.y + s.colH;
    }
}

} // namespace tambrel
