#pragma once

#include "display/Surface.h"
#include "engine/Bells.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <array>
#include <functional>

namespace tambrel {

class TBellCard;
class TBellOptions;
class TBellStore;

// Which lead a column draws.
enum class LeadKind { Plain, Bob, Single };

// The working record of one rendering, shared by the heading, column placement, column
// drawing and advance steps. Geometry in device pixels of the surface.
struct ColumnState {
    bool printing = false;
    int n = 0;
    int R = 0;
    int L = 0;
    QString caption;
    Row startRow{};
    LeadKind kind = LeadKind::Plain;
    int rowStyle = 0; // the Numbers option, or 4 for the grid column
    QString lineSymbols;
    int B1 = 0;
    std::array<QColor, 17> colours{}; // by bell, 1..16
    bool startRowFlag = true;
    bool handstrokes = false;
    int x = 0;
    int y = 0;
    int cw = 0;   // cell width: distance between bell positions
    int rh = 0;   // row height
    int x0 = 0;   // left margin after the heading
    int y0 = 0;   // top of the first column row
    int maxX = 0; // extent drawn so far
    int maxY = 0;
    int gap = 0;  // vertical space between bands of columns
    int colW = 0; // (n + 2) * cw
    int colH = 0;
    int across = 0; // columns to a band, 0 = as many as the width holds
    bool trebleBlue = false;
    bool continuous = false;
    bool afterPlain = false;
    int pw = 0; // line pen width
    int page = 1;
    int penX = 0; // where the last text ended, as a canvas pen would be left
    int penY = 0;
};

// The status text for calls the diagram has no column for, as the calls library lacks them for
// the stage: " No bob for 7 bells in the Calls Library." ("" when neither is missing).
QString MissingCallsText(int bells, bool bob, bool single);

// The method diagram: the plain course lead by lead with the chosen bells' paths, a heading,
// and the grid, bob and single columns. The same code paints the page picture and the printer.
// The smallest figure, in pixels high, that a lead fitted to the window is drawn with.
inline constexpr int kMinFigurePixels = 9;

class TBellDraw {
public:
    TBellDraw(const TBellStore& store, TBellOptions& options) : m_store(store), m_options(options)
    {
    }

    // Progress texts (" Drawing Lead 3...") as each column is drawn; "" at the end.
    std::function<void(const QString&)> onStatus;
    // Each column as it is placed, before it is drawn (its kind, caption, origin and page).
    std::function<void(const ColumnState&)> onColumn;

    // Draws the whole diagram on `surface`. Caps BlueBell1/BlueBell2 at the stage (the options
    // are changed, as the options dialog then shows).
    void RenderDiagram(Surface& surface);

    // The calls the last rendering wanted a column for and the calls library does not have for
    // the stage (" No bob for 7 bells in the Calls Library."); "" when none.
    const QString& MissingCalls() const { return m_missingCalls; }

    // The geometry the last rendering chose, for tests and the status bar.
    const ColumnState& State() const { return m_state; }
    int FontSize() const { return m_fontSize; }

private:
    void DrawTitle(Surface& surface);
    void PlaceColumn(Surface& surface);
    void DrawColumn(Surface& surface);
    void AdvanceColumn();

    void SetFont(QPainter& painter, const QString& family, int size, bool bold = false,
                 bool underline = false);
    void Write(QPainter& painter, int x, int y, const QString& text);
    void Status(const QString& text);

    const TBellStore& m_store;
    TBellOptions& m_options;
    ColumnState m_state;
    int m_fontSize = 10;
    int m_size = 1;   // the Size option, a usable value
    int m_poster = 0; // columns per printed page width, 0 = no poster
    bool m_colour = true;
    QString m_missingCalls;
};

} // namespace tambrel
