#include "analysis/Messages.h"
#include "display/CompSheet.h"
#include "display/IntMethSheet.h"
#include "display/SheetLayout.h"
#include "display/TBellCard.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tambrel {
namespace {

using S = SheetSection;

std::unique_ptr<TBellCard> Method(int bells, const std::string& name, const std::string& notation)
{
    auto card = std::make_unique<TBellCard>();
    card->Store().SetBells(bells);
    card->Store().SetName(name);
    card->Store().SetPlaceNotation(notation);
    card->Store().Calculate();
    card->Client = QSize(1200, 700);
    return card;
}

const std::string kCambridgeMajor = "-38-14-1258-36-14-58-16-78LH12";
const std::string kYorkshireMajor = "-38-14-58-16-12-38-14-78LH12";
// 56 leads of 32 changes: a course of 1792 rows.
const std::string kLongSixteen = "x1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx78CD";
const std::string kCambridgeMaximus = "-3T-14-125T-36-147T-58-169T-70-18-9T-10-ETLH12";

std::vector<const PlacedText*> Named(const std::vector<PlacedText>& page, const std::string& text)
{
    std::vector<const PlacedText*> found;
    for (const PlacedText& placed : page) {
        if (placed.text == text) {
            found.push_back(&placed);
        }
    }
    return found;
}

// Prints `view` onto A4 pages of a PDF in memory.
int PrintToPdf(TBellView& view, QPageLayout::Orientation orientation)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(1200);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), orientation,
                                     QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    QPainter painter(&writer);
    PrinterSurface surface(writer, painter);
    view.Render(surface);
    painter.end();
    return static_cast<int>(buffer.data().count("/Type /Page\n"));
}

// Every entry of the sheet stands once on the pages, under its own column's heading, and
// nothing passes the bottom of a page.
void ExpectEveryEntryOnAPage(const ColumnSheet& sheet, const SheetLayout& layout,
                             const SheetGeometry& geometry, int pdfPages)
{
    ASSERT_TRUE(geometry.print);
    EXPECT_EQ(static_cast<int>(layout.pages.size()), pdfPages);
    std::map<std::string, int> expected;
    for (const SheetColumn& column : sheet.columns) {
        for (const auto& entries : column.entries) {
            for (const std::string& entry : entries) {
                ++expected[entry];
            }
        }
    }
    std::map<std::string, int> placed;
    for (const auto& page : layout.pages) {
        ASSERT_FALSE(page.empty());
        for (const PlacedText& text : page) {
            EXPECT_LE(text.y + geometry.lineHeight, geometry.height) << text.text;
            EXPECT_GE(text.y, geometry.bodyTop) << text.text;
            if (text.style == SheetTextStyle::Regular) {
                ++placed[text.text];
                // Every column on a page comes with its lead heading.
                EXPECT_TRUE(std::ranges::any_of(page, [&](const PlacedText& h) {
                    return h.x == text.x && h.y < text.y && h.text.starts_with("(Lead ");
                })) << text.text;
            }
        }
    }
    EXPECT_EQ(placed, expected);
}

// Plain Bob Sixteen has leads with nothing to list; its 15 columns of 20 characters pass 1200
// pixels.
TEST(CompSheetView, ColumnsKeepTheirHeadingsAndWrapWithoutSearchingAgain)
{
    auto card = Method(16, "PLAIN BOB SIXTEEN", "x1Dx1Dx1Dx1Dx1Dx1Dx1Dx1DLH12");
    card->Show(PageView::Composition);
    CompSheet& view = card->Comp();
    const auto& page = view.Layout().pages.at(0);
    const int leads = static_cast<int>(view.Sheet().columns.size());
    ASSERT_EQ(leads, 15);
    for (const std::string heading : {"Roll Ups", "Even FCH", "Odd FCH"}) {
        EXPECT_EQ(static_cast<int>(Named(page, heading).size()), leads) << heading;
    }
    EXPECT_TRUE(Named(page, "Split FCH").empty()); // 8 bells only
    // Each section at one height below its lead's heading, in every row of columns.
    const auto evenBelowHeading = [&](int lead) {
        const auto headings = Named(page, "(Lead " + std::to_string(lead) + ")");
        EXPECT_EQ(headings.size(), 1U) << lead;
        int even = INT_MAX;
        for (const PlacedText* text : Named(page, "Even FCH")) {
            if (text->x == headings.at(0)->x && text->y > headings.at(0)->y) {
                even = std::min(even, text->y);
            }
        }
        return even - headings.at(0)->y;
    };
    for (int lead = 1; lead <= leads; ++lead) {
        EXPECT_EQ(evenBelowHeading(lead), evenBelowHeading(1)) << lead;
    }

    const int rowStep = (view.Sheet().RowLines() + 1) * view.Geometry().lineHeight;
    const auto rowTops = [&] {
        std::vector<int> tops;
        for (const PlacedText& text : view.Layout().pages.at(0)) {
            if (text.text.rfind("(Lead ", 0) == 0 && text.x == 10) {
                tops.push_back(text.y);
            }
        }
        return tops;
    };
    const std::vector<int> wide = rowTops();
    ASSERT_GE(wide.size(), 2U);
    EXPECT_EQ(wide[1] - wide[0], rowStep);
    EXPECT_EQ(card->Picture().Size().height(), wide.back() + rowStep);
    // No column passes the picture but for its last three character places.
    for (const PlacedText& text : page) {
        EXPECT_LE(text.x + view.Geometry().columnWidth - 3 * view.Geometry().charWidth, 1200);
    }

    card->Client = QSize(500, 700);
    card->Show(PageView::Composition);
    EXPECT_GT(rowTops().size(), wide.size());
    EXPECT_EQ(view.Computations(), 1); // laid out again from the columns already found
    card->PageOptions.OddFCH = false;
    card->Show(PageView::Composition);
    EXPECT_EQ(view.Computations(), 2);
}

TEST(CompSheetView, PrintingLosesNoEntryAndTheBodyIsSize8Above12Bells)
{
    struct Case {
        int bells;
        std::string notation;
        QPageLayout::Orientation orientation;
        int pages, bands; // 0: more than one
        int size;
    };
    for (const Case& c : {
             Case{8, kCambridgeMajor, QPageLayout::Portrait, 1, 1, 10},
             // Too tall for a landscape page: the last section goes on a page of its own.
             Case{8, kCambridgeMajor, QPageLayout::Landscape, 2, 2, 10},
             // Rows of columns that pass the bottom of the page go on to further pages.
             Case{12, kCambridgeMaximus, QPageLayout::Landscape, 1, 1, 10},
             Case{14, "x1Bx1Bx1Bx1Bx1Bx1Bx1BLH12", QPageLayout::Portrait, 1, 1, 8},
             Case{16, kLongSixteen, QPageLayout::Portrait, 0, 1, 8},
             Case{16, kLongSixteen, QPageLayout::Landscape, 0, 1, 8},
         }) {
        SCOPED_TRACE(testing::Message() << c.bells << " " << c.orientation);
        auto card = Method(c.bells, "TEST", c.notation);
        card->Show(PageView::Composition);
        EXPECT_EQ(card->Comp().BodySize(), c.size);
        const int pages = PrintToPdf(card->Comp(), c.orientation);
        EXPECT_EQ(card->Comp().BodySize(), c.size);
        EXPECT_TRUE(c.pages > 0 ? pages == c.pages : pages > 1) << pages;
        EXPECT_EQ(card->Comp().Layout().bands, c.bands);
        ExpectEveryEntryOnAPage(card->Comp().Sheet(), card->Comp().Layout(),
                                card->Comp().Geometry(), pages);
    }
}

TEST(SheetLayout, ASectionTallerThanAPageIsSplitUnderItsHeadingsAgain)
{
    ColumnSheet sheet;
    sheet.bells = 8;
    sheet.sections = {S::RollUps, S::Even, S::Odd};
    for (int lead = 1; lead <= 3; ++lead) {
        SheetColumn& column = sheet.columns.emplace_back();
        column.lead = lead;
        column.firstRow = "12345678";
        column.Entries(S::RollUps) = {"13245678"};
        for (int k = 0; k < 40 + lead; ++k) {
            column.Entries(S::Even).push_back("L" + std::to_string(lead) + "-" + std::to_string(k));
        }
        column.Entries(S::Odd) = {"odd" + std::to_string(lead)};
    }
    // 20 lines below the heading.
    const SheetGeometry geometry{.print = true,
                                 .width = 1000,
                                 .height = 50 + 20 * 10,
                                 .bodyTop = 50,
                                 .lineHeight = 10,
                                 .columnWidth = 120,
                                 .charWidth = 10};
    const SheetLayout layout = LayOutSheet(sheet, geometry);
    // 20 lines: the lead headings take 3, leaving 17; "Even FCH" and 16 entries a page.
    // Roll-ups alone, then 43 even entries in parts of 16, the last part with the odd section.
    ASSERT_EQ(layout.bands, 4);
    ExpectEveryEntryOnAPage(sheet, layout, geometry, 4);
    for (std::size_t p = 0; p < layout.pages.size(); ++p) {
        const auto& page = layout.pages[p];
        for (int lead = 1; lead <= 3; ++lead) {
            EXPECT_EQ(Named(page, "(Lead " + std::to_string(lead) + ")").size(), 1U) << p;
        }
        EXPECT_EQ(Named(page, "Even FCH").size(), p == 0 ? 0U : 3U) << p;
    }
    EXPECT_EQ(Named(layout.pages.at(3), "Odd FCH").size(), 3U);
}

TEST(IntMethSheetView, TheSecondMethodIsCheckedAtEveryShowingAndPrinting)
{
    // The main window's pages: method k on page k, a null page closed.
    const auto cambridge = Method(8, "CAMBRIDGE SURPRISE MAJOR", kCambridgeMajor);
    const auto yorkshire = Method(8, "YORKSHIRE SURPRISE MAJOR", kYorkshireMajor);
    bool secondOpen = true;
    TBellCard& card = *cambridge;
    IntMethSheet& view = card.IntMeth();
    view.openMethod = [&](int slot) -> const TBellStore* {
        return slot == 1 ? &card.Store() : slot == 2 && secondOpen ? &yorkshire->Store() : nullptr;
    };
    const auto stale = [&] {
        const auto& layout = view.Layout();
        return layout.pages.size() == 1 && layout.pages[0].size() == 1 &&
               layout.pages[0][0].text == kMsgSecondMethodStale;
    };

    view.Choose(2, yorkshire->Store());
    card.Show(PageView::InterMethod);
    EXPECT_FALSE(stale());
    EXPECT_EQ(view.Sheet().subtitle, "Against FCH's of YORKSHIRE SURPRISE MAJOR");
    EXPECT_EQ(view.Sheet().columns.size(), 7U);

    // Yorkshire's page is edited to another method of another stage: the sheet says so, on
    // the page and on paper.
    TBellStore& second = yorkshire->Store();
    second.SetBells(7);
    second.SetPlaceNotation("3.1.7.3.1.3.1.3.7.1.3.1");
    second.Calculate();
    card.Show(PageView::InterMethod);
    EXPECT_TRUE(stale());
    EXPECT_EQ(PrintToPdf(view, QPageLayout::Portrait), 1);
    EXPECT_TRUE(stale());
    // The picture holds the heading and the sentence, no columns.
    EXPECT_LT(card.Picture().Size().height(), 200);

    // Back as it was, then the page is closed.
    second.SetBells(8);
    second.SetPlaceNotation(kYorkshireMajor);
    second.Calculate();
    card.Show(PageView::InterMethod);
    EXPECT_FALSE(stale());
    secondOpen = false;
    card.Show(PageView::InterMethod);
    EXPECT_TRUE(stale());
    EXPECT_EQ(view.SecondStore(), nullptr);

    // The current method chosen as its own second method.
    view.Choose(1, card.Store());
    card.Show(PageView::InterMethod);
    EXPECT_FALSE(stale());
    EXPECT_EQ(view.SecondStore(), &card.Store());
    EXPECT_EQ(view.Sheet().subtitle, "Against FCH's of CAMBRIDGE SURPRISE MAJOR");
}

} // namespace
} // namespace tambrel
