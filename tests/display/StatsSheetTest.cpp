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

TEST(SheetHeading, ShrinksByTwoWhileTheTextIsAtLeastAsWideAsThePage)
{
    QImage page(100, 100, QImage::Format_RGB32);
    QPainter painter(&page);
    const QString name = QStringLiteral("BRISTOL SURPRISE MAXIMUS");
    const auto width = [&](int size) {
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(size);
        font.setBold(true);
        return QFontMetrics(font, &page).horizontalAdvance(name);
    };
    ASSERT_GT(width(14), width(12));
    const std::pair<int, int> cases[] = {
        {width(14) + 1, 14}, {width(14), 12}, {width(12) + 1, 12}, {width(12), 10}, {width(10), 8},
        {width(8), 8},       {20, 8}};
    for (const auto& [pageWidth, size] : cases) {
        const SheetHeading heading(painter, pageWidth, name);
        EXPECT_EQ(heading.Size(), size) << pageWidth;
        EXPECT_EQ(painter.font().pointSize(), size);
        EXPECT_TRUE(painter.font().bold());
        EXPECT_EQ(heading.LineHeight(), painter.fontMetrics().height() + 10);
    }
}

TEST(StatsSheet, LinesStandOneLineHeightApartAndPrintingWritesThoseOfTheLastShowing)
{
    auto card = std::make_unique<TBellCard>();
    card->Store().SetBells(8);
    card->Store().SetName("CAMBRIDGE SURPRISE MAJOR");
    card->Store().SetPlaceNotation("-38-14-1258-36-14-58-16-78LH12");
    card->Store().Calculate();
    card->View = PageView::Statistics;
    card->Client = QSize(900, 2000); // the picture keeps to the sheet, though the window is taller
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
    const QImage picture = card->ClipboardImage();
    ASSERT_EQ(picture.size(), QSize(900, nextLine + h));
    // Ink in the heading and on each body line, none below the last.
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

    const test::TempDir dir;
    const std::string shown = card->Stats().Stats().Lines().fchGroups;
    // Another method in the store, not shown yet: printing keeps to what was on the screen.
    card->Store().SetBells(6);
    card->Store().SetPlaceNotation("x16x16x16LH12");
    card->Store().Calculate();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.Path("stats.pdf")));
    ASSERT_EQ(PrintCard(*card, printer, 1), QString());
    EXPECT_EQ(card->Stats().Stats().Lines().fchGroups, shown);
    // On paper the lines are spaced by the printer's own text metrics.
    EXPECT_GT(card->Stats().LineHeight(), 30);
}

} // namespace
} // namespace tambrel
