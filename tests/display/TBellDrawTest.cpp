#include "display/TBellDraw.h"
#include "display/Surface.h"
#include "display/TBellCard.h"
#include "engine/CCNotation.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace tambrel {
namespace {

// A plain-bob-like bob and single under every code, on every stage.
const CallsLibrary& TestCalls()
{
    static const CallsLibrary calls = [] {
        CallsLibrary made;
        for (int bells = 5; bells <= 16; ++bells) {
            for (int code = 1; code <= 10; ++code) {
                made.Add(bells, CallsLibrary::NormalRef(std::to_string(code)),
                         code % 2 == 1 ? "Bob" : "Single", code % 2 == 1 ? "14" : "1234", "");
            }
        }
        return made;
    }();
    return calls;
}

// A method on a page, drawn on its picture, with every column it placed.
struct Drawn {
    std::unique_ptr<TBellCard> card = std::make_unique<TBellCard>();
    std::vector<ColumnState> columns;
    QString status; // what the status panel was left with

    Drawn(int bells, const std::string& notation, const std::string& name,
          const CallsLibrary* calls = &TestCalls())
    {
        TBellStore& store = card->Store();
        store.SetCallsLibrary(calls);
        card->onStatus = [this](const QString& text) { status = text; };
        store.SetBells(bells);
        store.SetName(name);
        store.SetPlaceNotation(notation);
        store.Calculate();
        card->Diagram().onColumn = [this](const ColumnState& s) { columns.push_back(s); };
    }
    TBellOptions& Options() { return card->PageOptions; }
    // Lines only, no numbers and no bob column, so that the pixels show the lines alone.
    void LinesOnly(int treble, int blueBell)
    {
        Options().Numbers = 3;
        Options().Treble = treble;
        Options().BlueBell1 = blueBell;
        Options().BlueBell2 = 0;
        Options().ShowBob = false;
    }
    const ColumnState& State() { return card->Diagram().State(); }
    void Show(QSize client, QSize screen = QSize(1280, 1024))
    {
        columns.clear();
        card->Client = client;
        card->Screen = screen;
        card->Show(PageView::Diagram);
    }
    // The font the lead columns are drawn in, measured on the picture.
    QFontMetrics RowMetrics()
    {
        const int size = card->Diagram().FontSize();
        QFont font(size > 9 ? QStringLiteral("Times New Roman") : QStringLiteral("Arial"));
        font.setPointSize(size);
        return QFontMetrics(font, &card->Picture().Bitmap());
    }
    // Where the last row of `column` (the lead head after the lead-end rule) is drawn.
    QRect LastRow(const ColumnState& column)
    {
        const int h = RowMetrics().height();
        return QRect(column.x, column.y - h / 2 + column.L * column.rh, column.colW, h);
    }
    std::vector<ColumnState> Kind(LeadKind kind) const
    {
        std::vector<ColumnState> found;
        for (const ColumnState& c : columns) {
            if (c.kind == kind && !(kind == LeadKind::Plain && c.rowStyle == 4)) {
                found.push_back(c);
            }
        }
        return found;
    }
};

const std::string kPlainBobMinor = "x16x16x16x16x16x12";

// How high a figure of the lead columns stands on the picture.
int RowFigureHeight(Drawn& method)
{
    const QFont font(QStringLiteral("Arial"), method.card->Diagram().FontSize());
    return QFontMetrics(font, &method.card->Picture().Bitmap())
        .tightBoundingRect(QStringLiteral("8"))
        .height();
}

bool Dark(QRgb pixel)
{
    return qGray(pixel) < 100;
}
bool Red(QRgb pixel)
{
    return qRed(pixel) > 180 && qGreen(pixel) < 110 && qBlue(pixel) < 110;
}

bool Any(const QImage& page, QRect area, bool (*ink)(QRgb) = Dark)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (ink(page.pixel(x, y))) {
                return true;
            }
        }
    }
    return false;
}

// Printer pages as pictures, A4 at 96 dots an inch, so that tests can look at each page.
class PagesSurface : public Surface {
public:
    explicit PagesSurface(QSize page) : m_page(page) { Start(); }
    ~PagesSurface() override { m_painter.end(); }
    RenderMode Mode() const override { return RenderMode::Print; }
    QPainter& Painter() override { return m_painter; }
    QSize Size() const override { return m_page; }
    bool NewPage() override
    {
        m_painter.end();
        Start();
        return true;
    }
    const std::vector<QImage>& Pages() const { return m_pages; }

private:
    void Start()
    {
        m_pages.emplace_back(m_page, QImage::Format_RGB32);
        m_pages.back().fill(Qt::white);
        m_painter.begin(&m_pages.back());
    }
    QSize m_page;
    std::vector<QImage> m_pages;
    QPainter m_painter;
};

TEST(Diagram, FontSizeAndCellWidthFollowTheSurface)
{
    Drawn pb(6, kPlainBobMinor, "Plain Bob Minor");
    // Five leads and the bob column: 6 * 8 = 48 cells across 1190 pixels.
    pb.Show(QSize(1200, 800));
    EXPECT_EQ(pb.State().cw, 24);
    EXPECT_EQ(pb.card->Diagram().FontSize(), 18); // Arial 18: digits 13 wide, 19 < 24
    EXPECT_EQ(pb.State().colW, 8 * 24);

    pb.Options().Fit2Screen = false;
    pb.Show(QSize(400, 800)); // 8 pixels a cell: digits of Arial 7 (5 wide) still fit
    EXPECT_EQ(pb.State().cw, 8);
    EXPECT_EQ(pb.card->Diagram().FontSize(), 7);
    EXPECT_EQ(pb.State().rh, 9);
    // Fitted, the cells widen to legible figures and the columns wrap into bands.
    pb.Options().Fit2Screen = true;
    pb.Show(QSize(400, 800));
    EXPECT_GT(pb.State().cw, 8);
    EXPECT_GE(RowFigureHeight(pb), kMinFigurePixels);
    EXPECT_GT(pb.columns.back().y, pb.columns.front().y);

    // A low window: the lead must fit the height too.
    pb.Show(QSize(1200, 250));
    EXPECT_LT(pb.card->Diagram().FontSize(), 18);
    EXPECT_LT(pb.State().rh * (pb.State().L + 1), 250 + pb.State().y0);

    // An unusable size option draws as the normal size rather than dividing by nothing.
    pb.Options().Size = 9;
    pb.Show(QSize(1200, 800));
    EXPECT_EQ(pb.State().cw, 24);
}

TEST(Diagram, ColumnsWrapIntoBandsThatStayOnThePicture)
{
    Drawn big(16, *ExpandCCNotation("-3-4-25-36-47-58-69-70-8E-9T-0A-EB-TC-AD-B,2").value,
              "Sixteen");
    big.Show(QSize(1200, 800));
    const ColumnState& s = big.State();
    ASSERT_GT(big.columns.size(), 10U);
    int bands = 1;
    for (std::size_t i = 1; i < big.columns.size(); ++i) {
        const ColumnState& previous = big.columns[i - 1];
        const ColumnState& column = big.columns[i];
        EXPECT_LE(column.x + s.colW, 1200) << i;
        if (column.x == s.x0) {
            ++bands; // a new band starts at the left margin, one column height lower
            EXPECT_EQ(column.y, previous.y + s.colH - s.rh + s.gap);
        } else {
            EXPECT_EQ(column.x, previous.x + s.colW);
            EXPECT_EQ(column.y, previous.y);
        }
    }
    EXPECT_GT(bands, 1);
    EXPECT_GE(big.card->Picture().Size().height(), big.columns.back().y + s.colH);

    // Printed, the columns wrap onto new pages, each with the heading again.
    big.columns.clear();
    PagesSurface pages(QSize(794, 1123));
    big.card->Diagram().RenderDiagram(pages);
    EXPECT_GT(pages.Pages().size(), 1U);
    for (const ColumnState& c : big.columns) {
        EXPECT_LE(c.y + big.State().colH, 1123);
        EXPECT_LE(c.x + big.State().colW, 794);
    }
    for (const QImage& page : pages.Pages()) {
        EXPECT_TRUE(Any(page, QRect(0, 0, 794, 30)));
    }
}

TEST(Diagram, LeadEndRuleAboveTheLeadHead)
{
    Drawn pb(6, kPlainBobMinor, "Plain Bob Minor");
    pb.LinesOnly(1, 0); // and no treble or blue line
    pb.Show(QSize(1200, 800));
    ASSERT_FALSE(pb.columns.empty());
    const ColumnState& column = pb.columns.front();
    const QImage image = pb.card->Picture().Used();
    const int hh = pb.RowMetrics().height() / 2;
    const int ruleY = column.y + hh + (column.L - 1) * column.rh - 1;
    const int middle = column.x + column.cw * 3;
    EXPECT_TRUE(Any(image, QRect(middle, ruleY - 1, 1, 3)));
    // Nothing else is drawn across the middle of the column.
    for (const int y : {ruleY - column.rh / 2, ruleY - 4 * column.rh, ruleY + column.rh / 2}) {
        EXPECT_FALSE(Dark(image.pixel(middle, y))) << y;
    }
}

TEST(Diagram, CrossingMarksOnlyWhereTrebleAndBlueBellSwap)
{
    Drawn pb(6, kPlainBobMinor, "Plain Bob Minor");
    pb.LinesOnly(2, 3);
    pb.Show(QSize(1200, 800));
    const QImage image = pb.card->Picture().Used();
    const ColumnState& column = pb.columns.front();
    const TBellStore& store = pb.card->Store();
    int marks = 0;
    for (int j = 1; j <= column.L; ++j) {
        const Row& before = store.RowAt(j - 1);
        const Row& after = store.RowAt(j);
        int t0 = 0, b0 = 0, t1 = 0, b1 = 0;
        for (int p = 0; p < 6; ++p) {
            t0 = before[p] == 1 ? p : t0;
            b0 = before[p] == 3 ? p : b0;
            t1 = after[p] == 1 ? p : t1;
            b1 = after[p] == 3 ? p : b1;
        }
        const bool swapped = (t0 + 1 == b0 && t1 == b1 + 1) || (t0 == b0 + 1 && t1 + 1 == b1);
        marks += swapped ? 1 : 0;
        const int yMiddle = column.y + (j - 1) * column.rh + column.rh / 2;
        EXPECT_EQ(Any(image, QRect(column.x, yMiddle, column.colW, 1), Red), swapped)
            << "change " << j;
    }
    EXPECT_GT(marks, 0);

    pb.Options().BlueBell1 = 0; // no blue bell: no crossing to mark
    pb.Show(QSize(1200, 800));
    const QImage plain = pb.card->Picture().Used();
    EXPECT_FALSE(Any(plain, plain.rect(), Red));
}

TEST(Diagram, ChosenLeadsAndCallColumns)
{
    Drawn pb(6, kPlainBobMinor, "Plain Bob Minor");
    pb.Options().LeadToShow = 3;
    pb.Options().ShowSingle = true;
    pb.Show(QSize(1200, 800));
    ASSERT_EQ(pb.Kind(LeadKind::Plain).size(), 1U);
    EXPECT_EQ(pb.Kind(LeadKind::Plain)[0].startRow, pb.card->Store().RowAt(24));
    EXPECT_EQ(pb.Kind(LeadKind::Plain)[0].caption, "(6)"); // bell 2 at the third lead head
    EXPECT_EQ(pb.Kind(LeadKind::Bob).size(), 1U);
    EXPECT_EQ(pb.Kind(LeadKind::Single).size(), 1U);

    pb.Options().LeadToShow = 6; // past the fifth and last lead: no lead column at all
    pb.Show(QSize(1200, 800));
    EXPECT_TRUE(pb.Kind(LeadKind::Plain).empty());
    EXPECT_EQ(pb.Kind(LeadKind::Bob).size(), 1U);

    Drawn minimus(4, "x14x14x14x12", "Plain Bob Minimus");
    minimus.Options().ShowBob = true;
    minimus.Options().ShowSingle = true;
    minimus.Options().ShowGrid = true;
    minimus.Options().BlueBell1 = 9; // above the stage: the tenor and the bell below
    minimus.Options().BlueBell2 = 9;
    minimus.Show(QSize(1200, 800));
    EXPECT_EQ(minimus.Options().BlueBell1, 4);
    EXPECT_EQ(minimus.Options().BlueBell2, 3);
    EXPECT_EQ(minimus.Kind(LeadKind::Plain)[0].lineSymbols, "143");
    EXPECT_EQ(minimus.Kind(LeadKind::Plain)[0].colours[4], QColor(0, 0, 255));
    EXPECT_EQ(minimus.Kind(LeadKind::Plain)[0].colours[3], QColor(0, 128, 0));
    EXPECT_TRUE(minimus.Kind(LeadKind::Bob).empty());
    EXPECT_TRUE(minimus.Kind(LeadKind::Single).empty());
    EXPECT_EQ(minimus.columns.back().caption, "Grid");
    EXPECT_EQ(minimus.status, ""); // four bells have none to miss

    // A call the calls library lacks for the stage has no column (no "Bob" over a plain lead),
    // and the status line says so; the columns left share the width.
    CallsLibrary bobOnly;
    bobOnly.Add(6, "01", "Bob", "14", "234");
    for (const CallsLibrary* calls : std::vector<const CallsLibrary*>{&bobOnly, nullptr}) {
        Drawn lacking(6, kPlainBobMinor, "Plain Bob Minor", calls);
        lacking.Options().ShowSingle = true;
        lacking.Show(QSize(1200, 800));
        EXPECT_EQ(lacking.Kind(LeadKind::Bob).size(), calls != nullptr ? 1U : 0U);
        EXPECT_TRUE(lacking.Kind(LeadKind::Single).empty());
        EXPECT_EQ(lacking.status, calls != nullptr
                                      ? " No single for 6 bells in the Calls Library."
                                      : " No bob or single for 6 bells in the Calls Library.");
        EXPECT_EQ(lacking.State().cw, calls != nullptr ? 1190 / 48 : 1190 / 40);
    }
}

TEST(Diagram, ContinuousLeadsRunDownAndStartNewColumns)
{
    Drawn gc(9, "3.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1", "Grandsire Caters");
    gc.Options().Continuous = true;
    gc.Show(QSize(900, 300), QSize(900, 300)); // a picture 750 pixels high
    const std::vector<ColumnState> leads = gc.Kind(LeadKind::Plain);
    ASSERT_EQ(leads.size(), 7U);
    const ColumnState& s = gc.State();
    int columns = 1;
    for (std::size_t i = 1; i < leads.size(); ++i) {
        EXPECT_TRUE(leads[i].caption.isEmpty());
        if (leads[i].x != leads[i - 1].x) {
            ++columns;
            EXPECT_EQ(leads[i].x, leads[i - 1].x + s.colW);
            EXPECT_EQ(leads[i].y, s.y0);
            EXPECT_GT(leads[i - 1].y + 2 * s.colH, 750); // the lead would not have fitted
            EXPECT_TRUE(leads[i].startRowFlag);          // a column's top shows its start row
        } else {
            EXPECT_EQ(leads[i].y, leads[i - 1].y + s.colH);
            EXPECT_FALSE(leads[i].startRowFlag);
        }
    }
    EXPECT_GT(columns, 1);
    EXPECT_NE(gc.Kind(LeadKind::Bob).front().x, leads.back().x); // calls start a new column
}

TEST(Diagram, ThePictureEndsWhereTheDrawingDoes)
{
    Drawn pb(6, kPlainBobMinor, "Plain Bob Minor");
    pb.Show(QSize(1200, 800));
    const ColumnState& s = pb.State();
    const QImage used = pb.card->ClipboardImage();
    EXPECT_EQ(used.size(), QSize(s.maxX, s.maxY + s.rh));
    EXPECT_LT(used.height(), 800);
    EXPECT_GE(pb.card->Picture().Bitmap().height(), used.height()); // the bitmap keeps its size

    // A second, smaller drawing on the same page leaves nothing of the first beyond it.
    pb.Options().LeadToShow = 1;
    pb.Options().ShowBob = false;
    pb.Show(QSize(1200, 800));
    const QImage& bitmap = pb.card->Picture().Bitmap();
    const QSize second = pb.card->Picture().Size();
    for (int x = second.width() + 2; x < std::min(bitmap.width(), used.width()); x += 3) {
        for (int y = 0; y < second.height(); y += 3) {
            ASSERT_EQ(bitmap.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
        }
    }

    // A picture of twice the pixels keeps the geometry of the drawing.
    const ColumnState normal = pb.State();
    pb.card->Picture() = PagePicture(2.0);
    pb.Show(QSize(1200, 800));
    EXPECT_EQ(pb.State().cw, normal.cw);
    EXPECT_EQ(pb.card->ClipboardImage().size(),
              QSize(2 * normal.maxX, 2 * (normal.maxY + normal.rh)));
}

TEST(Diagram, FitToScreenShowsTheWholeFirstLeadWithoutScrolling)
{
    struct Case {
        int bells;
        std::string notation;
        int size;
        bool continuous;
    };
    const std::string cambridge = "-38-14-1258-36-14-58-16-78LH12";
    const std::string pbMajor = "x18x18x18x18LH12";
    for (const Case& c : {Case{8, cambridge, 2, false}, Case{8, cambridge, 3, false},
                          Case{8, pbMajor, 2, false}, Case{8, cambridge, 2, true}}) {
        for (const int height : {500, 700}) {
            SCOPED_TRACE(c.notation + " size " + std::to_string(c.size) +
                         (c.continuous ? " continuous" : "") + " height " + std::to_string(height));
            Drawn method(c.bells, c.notation, "Method");
            method.Options().Fit2Screen = true;
            method.Options().Size = c.size;
            method.Options().Continuous = c.continuous;
            method.Show(QSize(1200, height));
            ASSERT_GT(method.card->Diagram().FontSize(), 6); // a size that fits exists
            const ColumnState first = method.Kind(LeadKind::Plain).front();
            EXPECT_LE(method.LastRow(first).bottom() + 1, height);
        }
    }
}

// A window too small for the whole lead: the figures stay legible and the picture scrolls.
TEST(Diagram, FitToASmallWindowKeepsLegibleFiguresAndScrolls)
{
    Drawn method(16, test::Repeat("x1D", 16), "Plain Hunt on Sixteen");
    method.Options().Fit2Screen = true;
    method.Show(QSize(1200, 200), QSize(1200, 200));
    EXPECT_GE(RowFigureHeight(method), kMinFigurePixels);
    const QImage image = method.card->Picture().Used();
    const QRect lastRow = method.LastRow(method.Kind(LeadKind::Plain).front());
    EXPECT_GT(lastRow.bottom(), 200);
    ASSERT_LE(lastRow.bottom() + 1, image.height());
    EXPECT_TRUE(Any(image, lastRow));
}

TEST(Diagram, ContinuousLeadTallerThanThePictureStartsTheFirstColumnAndGrowsIt)
{
    Drawn cambridge(8, "-38-14-1258-36-14-58-16-78LH12", "Cambridge Surprise Major");
    cambridge.Options().Continuous = true;
    cambridge.Options().Fit2Screen = false;
    std::vector<int> heights; // the picture's height as each column is drawn
    cambridge.card->Diagram().onColumn = [&](const ColumnState& s) {
        cambridge.columns.push_back(s);
        heights.push_back(cambridge.card->Picture().Size().height());
    };
    cambridge.Show(QSize(1200, 200), QSize(1200, 200)); // a picture 500 pixels high
    const ColumnState& s = cambridge.State();
    ASSERT_GT(s.colH, 500); // one lead is taller than the picture was
    ASSERT_FALSE(cambridge.columns.empty());
    EXPECT_EQ(cambridge.columns.front().x, s.x0);
    EXPECT_EQ(cambridge.columns.front().y, s.y0);
    for (std::size_t i = 0; i < cambridge.columns.size(); ++i) {
        const ColumnState& c = cambridge.columns[i];
        EXPECT_LE(c.y + s.colH, heights[i]) << "column " << i;
        if (i > 0 && c.x != cambridge.columns[i - 1].x) {
            EXPECT_EQ(c.x, cambridge.columns[i - 1].x + s.colW) << "no column left empty";
        }
    }
    // The first lead's last row is on the finished picture.
    const QImage image = cambridge.card->Picture().Used();
    const ColumnState& first = cambridge.columns.front();
    const QRect lastRow = cambridge.LastRow(first);
    ASSERT_LE(lastRow.bottom() + 1, image.height());
    EXPECT_TRUE(Any(image, lastRow));
}

TEST(Diagram, SixteenBellBlueLineIsTwiceTheTreblesWidth)
{
    // Plain hunt: the treble and the blue bell travel paths of the same length in the lead, so
    // the ink of each line is in proportion to its pen's width.
    Drawn hunt(16, test::Repeat("x1D", 16), "Plain Hunt on Sixteen");
    hunt.LinesOnly(3, 2);
    hunt.Options().Fit2Screen = false;
    hunt.Show(QSize(150, 800)); // small figures
    ASSERT_LE(hunt.card->Diagram().FontSize(), 7);
    EXPECT_EQ(hunt.State().pw, 2);
    const QImage image = hunt.card->Picture().Used();
    double red = 0;
    double blue = 0;
    double other = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            double& ink = qRed(pixel) > qBlue(pixel) + 20   ? red
                          : qBlue(pixel) > qRed(pixel) + 20 ? blue
                                                            : other;
            ink += (255 - qGreen(pixel)) / 255.0;
        }
    }
    ASSERT_GT(red, 0);
    EXPECT_GT(blue / red, 1.5);
}

// On paper the page, not the window, sets the columns to a band: an ordinary diagram fills
// most of one A4 page rather than its top third (as far as the largest figures go).
TEST(Printing, AnOrdinaryDiagramFillsOnePage)
{
    for (const auto& [bells, notation] :
         {std::pair{8, "-3-4-25-36-4-5-6-7 LH2"}, std::pair{6, "-1-1-1 LH2"},
          std::pair{7, "3.1.7.1.7.1.7.1.7.1.7.1.7.1"}}) {
        Drawn method(bells, notation, "Method");
        PagesSurface pages(QSize(794, 1123));
        method.card->Diagram().RenderDiagram(pages);
        EXPECT_EQ(pages.Pages().size(), 1U) << notation;
        EXPECT_GE(method.State().maxY, 0.6 * 1123) << notation;
        EXPECT_LE(method.State().maxY, 1123) << notation;
    }
}

// Posters name the method on their first page only; a poster value that cannot be (edited
// outside) prints as a normal diagram.
TEST(Printing, PostersHoldTheirColumnsOnEachPageWithNoRowCut)
{
    struct Method {
        int bells;
        std::string notation;
        std::size_t columns; // leads of the plain course and the bob lead
    };
    const Method pbMinor{6, "x16x16x16LH12", 6};
    const Method pbMajor{8, "x18x18x18x18LH12", 8};
    const Method grandsire{7, "3.1.7.1.7.1.7.1.7.1.7.1.7.1", 6};
    struct Case {
        const Method& method;
        int poster;
        bool landscape;
        int pages;
    };
    // Landscape pages hold one band of columns, portrait pages two.
    const Case cases[] = {
        {pbMinor, 2, true, 3},   {pbMinor, 3, true, 2},    {pbMinor, 4, true, 2},
        {pbMinor, 2, false, 2},  {pbMinor, 3, false, 1},   {pbMinor, 4, false, 1},
        {pbMajor, 2, true, 4},   {pbMajor, 3, true, 3},    {pbMajor, 4, true, 2},
        {pbMajor, 2, false, 2},  {pbMajor, 3, false, 2},   {pbMajor, 4, false, 1},
        {grandsire, 3, true, 2}, {grandsire, 2, false, 2}, {grandsire, 3, false, 1},
        {pbMajor, 7, true, 1},
    };
    // Printed posters scale evenly: cells as wide as their figures need, whatever the poster.
    std::vector<double> shapes;
    for (const Case& c : cases) {
        Drawn method(c.method.bells, c.method.notation, "Method");
        method.Options().PrintPoster = c.poster;
        // Pictures of pages at screen resolution, and a printer's A4 with margins at 1200 dots
        // an inch, whose font metrics round differently.
        for (const bool printer : {false, true}) {
            SCOPED_TRACE(c.method.notation + " poster " + std::to_string(c.poster) +
                         (c.landscape ? " landscape" : " portrait") +
                         (printer ? " on the printer" : " on pictures"));
            method.columns.clear();
            QSize page;
            if (printer) {
                QBuffer file;
                file.open(QIODevice::WriteOnly);
                QPdfWriter writer(&file);
                writer.setResolution(1200);
                writer.setPageLayout(
                    QPageLayout(QPageSize(QPageSize::A4),
                                c.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
                QPainter painter(&writer);
                PrinterSurface pages(writer, painter);
                page = pages.Size();
                // A4 less the margins at 1200 dots an inch, to a third of a millimetre.
                EXPECT_NEAR(page.width(), (c.landscape ? 277 : 190) / 25.4 * 1200, 16);
                method.card->Diagram().RenderDiagram(pages);
            } else {
                page = c.landscape ? QSize(1123, 794) : QSize(794, 1123);
                PagesSurface pages(page);
                method.card->Diagram().RenderDiagram(pages);
                EXPECT_EQ(static_cast<int>(pages.Pages().size()), method.State().page);
                for (std::size_t p = 0; p < pages.Pages().size(); ++p) {
                    EXPECT_EQ(Any(pages.Pages()[p], QRect(0, 0, page.width(), 30)), p == 0) << p;
                }
            }
            const ColumnState& s = method.State();
            if (printer && c.poster <= 4) {
                shapes.push_back(static_cast<double>(s.cw) / s.rh);
            }
            ASSERT_EQ(method.columns.size(), c.method.columns);
            EXPECT_EQ(s.page, c.pages);
            std::vector<std::size_t> perPage(static_cast<std::size_t>(s.page) + 1, 0);
            for (const ColumnState& column : method.columns) {
                EXPECT_LE(column.y + s.colH, page.height()) << "page " << column.page;
                EXPECT_LE(column.x + s.colW, page.width()) << "page " << column.page;
                ++perPage[static_cast<std::size_t>(column.page)];
            }
            const std::size_t full = static_cast<std::size_t>(c.poster) * (c.landscape ? 1 : 2);
            for (std::size_t p = 1; p < perPage.size() - 1; ++p) {
                EXPECT_EQ(perPage[p], full) << "page " << p;
            }
        }
    }
    const auto [narrowest, widest] = std::minmax_element(shapes.begin(), shapes.end());
    EXPECT_LT(*widest - *narrowest, 0.03);
}

// A row rung twice is marked behind its figures in a colour of its own, on the picture and on
// paper; a true touch has no such mark.
TEST(TouchView, FalseRowsAreMarkedOnScreenAndInPrint)
{
    Drawn pb(6, kPlainBobMinor, "PLAIN BOB MINOR");
    const auto marked = [](const QImage& image) {
        return Any(image, image.rect(),
                   [](QRgb pixel) { return pixel == TouchView::FalseRowColour().rgb(); });
    };
    pb.card->Calling = "(ppppb)3";
    pb.card->Show(PageView::Touch);
    EXPECT_TRUE(pb.card->Touch().Proof().isTrue);
    EXPECT_FALSE(marked(pb.card->Picture().Bitmap()));
    pb.card->Calling = "(pppsb)6";
    pb.card->Show(PageView::Touch);
    EXPECT_EQ(pb.card->Touch().Proof().falseCount, 24);
    EXPECT_TRUE(marked(pb.card->Picture().Bitmap()));

    // On short pages the leads go on to further pages, the false rows marked there too.
    PagesSurface pages(QSize(794, 600));
    pb.card->Touch().Render(pages);
    ASSERT_GT(pages.Pages().size(), 1U);
    EXPECT_TRUE(marked(pages.Pages().back()));
}

} // namespace
} // namespace tambrel
