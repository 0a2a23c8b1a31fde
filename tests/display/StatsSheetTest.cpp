#include "display/StatsSheet.h"
#include "display/Printing.h"
#include "display/SheetHeading.h"
#include "display/TBellCard.h"
#include "tests/support/TestSupport.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPrinter>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tambrel {
namespace {

std::unique_ptr<TBellCard> Method(int bells, const std::string& name, const std::string& notation)
{
    auto card = std::make_unique<TBellCard>();
    card->Store().SetBells(bells);
    card->Store().SetName(name);
    card->Store().SetPlaceNotation(notation);
    card->Store().Calculate();
    card->Client = QSize(900, 300);
    card->View = PageView::Statistics;
    return card;
}

const std::string kCambridgeMajor = "-38-14-1258-36-14-58-16-78LH12";

int HeadingWidth(const QPaintDevice* device, const QString& text, int size)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(size);
    font.setBold(true);
    return QFontMetrics(font, device).horizontalAdvance(text);
}

TEST(SheetHeading, ShrinksByTwoWhileTheTextIsAtLeastAsWideAsThePage)
{
    QImage page(100, 100, QImage::Format_RGB32);
    QPainter painter(&page);
    const QString name = QStringLiteral("BRISTOL SURPRISE MAXIMUS");
    struct Case {
        int width; // of the page
        int size;  // chosen
    };
    const int at14 = HeadingWidth(&page, name, 14);
    const int at12 = HeadingWidth(&page, name, 12);
    const int at10 = HeadingWidth(&page, name, 10);
    const int at8 = HeadingWidth(&page, name, 8);
    ASSERT_GT(at14, at12);
    ASSERT_GT(at12, at10);
    ASSERT_GT(at10, at8);
    for (const Case c : {Case{at14 + 1, 14}, Case{at14, 12}, Case{at12 + 1, 12}, Case{at12, 10},
                         Case{at10, 8}, Case{at8, 8}, Case{20, 8}}) {
        SCOPED_TRACE(c.width);
        const SheetHeading heading(painter, c.width, name);
        EXPECT_EQ(heading.Size(), c.size);
        EXPECT_EQ(painter.font().pointSize(), c.size);
        EXPECT_TRUE(painter.font().bold());
        EXPECT_EQ(heading.LineHeight(), painter.fontMetrics().height() + 10);
    }
}

TEST(StatsSheet, LinesStandOneLineHeightApartAndThePictureEndsOneLineBelow)
{
    auto card = Method(8, "CAMBRIDGE SURPRISE MAJOR", kCambridgeMajor);
    card->Show(PageView::Statistics);
    const StatsSheet& sheet = card->Stats();
    EXPECT_EQ(sheet.HeadingSize(), 14);
    const int h = sheet.LineHeight();
    // Classification, two counts, right places, direction, difficulty, three roll lines and
    // the groups: no average line, as the tenor never reverses.
    ASSERT_EQ(sheet.LineTops().size(), 10U);
    for (std::size_t k = 0; k < sheet.LineTops().size(); ++k) {
        EXPECT_EQ(sheet.LineTops()[k], 2 * h + 10 + static_cast<int>(k) * h) << k;
    }
    const int nextLine = sheet.LineTops().back() + h;
    EXPECT_EQ(card->Picture().Size(), QSize(900, nextLine + h));
    // The clipboard gets the sheet and no more, though the window was taller.
    card->Client = QSize(900, 2000);
    card->Show(PageView::Statistics);
    EXPECT_EQ(card->ClipboardImage().size(), QSize(900, nextLine + h));

    // Ink in the heading and on each body line, none below the last.
    const QImage picture = card->ClipboardImage();
    const auto inkBetween = [&](int top, int bottom) {
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                if (qGray(picture.pixel(x, y)) < 100) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(inkBetween(10, h));
    for (const int top : sheet.LineTops()) {
        EXPECT_TRUE(inkBetween(top, top + h)) << top;
    }
    EXPECT_FALSE(inkBetween(nextLine, picture.height()));
}

TEST(StatsSheet, PrintingWritesTheLinesOfTheLastShowing)
{
    const test::TempDir dir;
    auto card = Method(8, "CAMBRIDGE SURPRISE MAJOR", kCambridgeMajor);
    card->Show(PageView::Statistics);
    const StatsLines shown = card->Stats().Stats().Lines();
    // Another method in the store, not shown yet: printing keeps to what was on the screen.
    card->Store().SetBells(6);
    card->Store().SetPlaceNotation("x16x16x16LH12");
    card->Store().Calculate();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.Path("stats.pdf")));
    ASSERT_EQ(PrintCard(*card, printer, 2), QString());
    EXPECT_EQ(card->Stats().Stats().Lines().fchGroups, shown.fchGroups);
    EXPECT_EQ(card->Stats().Stats().Lines().classification, shown.classification);
    EXPECT_EQ(printer.docName(), QStringLiteral("CAMBRIDGE SURPRISE MAJOR"));
    // Two copies into one file: a page each, as the sheet fits one page.
    const std::string pdf = test::ReadFile(dir.Path("stats.pdf"));
    int pages = 0;
    for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos;
         at = pdf.find("/Type /Page", at + 1)) {
        pages += pdf.compare(at, 12, "/Type /Pages") == 0 ? 0 : 1;
    }
    EXPECT_EQ(pages, 2);
    // On paper the lines are spaced by the printer's own text metrics.
    EXPECT_GT(card->Stats().LineHeight(), 30);
}

} // namespace
} // namespace tambrel
