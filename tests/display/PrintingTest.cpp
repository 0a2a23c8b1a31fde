#include "display/Printing.h"
#include "display/TBellCard.h"
#include "display/TBellPageWidget.h"
#include "display/TfrmPrint.h"
#include "tests/support/TestSupport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPrinter>
#include <QRadioButton>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tambrel {
namespace {

using test::ReadFile;
using test::TempDir;

std::unique_ptr<TBellCard> Card(int bells = 6, const std::string& name = "Plain Bob Minor",
                                const std::string& notation = "x16x16x16x16x16x12")
{
    auto card = std::make_unique<TBellCard>();
    card->Store().SetBells(bells);
    card->Store().SetName(name);
    card->Store().SetPlaceNotation(notation);
    card->Store().Calculate();
    return card;
}

int PdfPages(const std::string& file)
{
    return static_cast<int>(QByteArray::fromStdString(ReadFile(file)).count("/Type /Page\n"));
}

TEST(PrintDialog, ChoicesGoToTheGlobalAndThePageOptions)
{
    QPrinter printer(QPrinter::HighResolution);
    TfrmPrint dialog(printer);
    TBellOptions global;
    global.PrintPoster = 3;
    global.PrintColour = false;
    global.PrintOrient = "Landscape";
    dialog.FormActivate(global, true);
    EXPECT_EQ(dialog.speCopies->value(), 1);
    EXPECT_TRUE(dialog.posterChoices[2]->isChecked());
    EXPECT_FALSE(dialog.chkColour->isChecked());
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_FALSE(dialog.rgpPoster->isHidden());

    dialog.speCopies->setValue(3);
    dialog.posterChoices[1]->setChecked(true);
    dialog.chkColour->setChecked(true);
    printer.setPageOrientation(QPageLayout::Portrait); // as the set-up dialog would
    TBellOptions page;
    dialog.Accepted(global, page);
    EXPECT_EQ(global.Copies, 1);
    EXPECT_EQ(global.PrintPoster, 2);
    EXPECT_TRUE(global.PrintColour);
    EXPECT_EQ(global.PrintOrient, "Portrait");
    EXPECT_EQ(page.Copies, 3);
    EXPECT_EQ(page.PrintPoster, 2);
    EXPECT_EQ(page.PrintOrient, "Portrait");

    dialog.posterChoices[0]->setChecked(true);
    dialog.Accepted(global, page);
    EXPECT_EQ(global.PrintPoster, 0);

    dialog.FormActivate(global, false); // a sheet: copies and set-up only
    EXPECT_TRUE(dialog.rgpPoster->isHidden());
    EXPECT_TRUE(dialog.chkColour->isHidden());
}

TEST(PrintCard, CopiesToAFileFollowOneAnotherInItAndAJobThatCannotStartSaysSo)
{
    const TempDir dir;
    auto card = Card();
    card->Show(PageView::Diagram);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.Path("pbm.pdf")));
    ASSERT_EQ(PrintCard(*card, printer, 1), QString());
    const int onePage = PdfPages(dir.Path("pbm.pdf"));
    EXPECT_EQ(onePage, 1);
    ASSERT_EQ(PrintCard(*card, printer, 3), QString());
    EXPECT_EQ(PdfPages(dir.Path("pbm.pdf")), 3 * onePage);
    EXPECT_EQ(printer.docName(), QStringLiteral("PLAIN BOB MINOR"));
    // A job that cannot start says so.
    printer.setOutputFileName(QString::fromStdString(dir.Path("no/such/folder/x.pdf")));
    EXPECT_EQ(PrintCard(*card, printer, 1), kMsgPrintFailed);
}

// The pages of a PDF file as pictures, as a reader shows them.
std::vector<QImage> PdfPictures(const std::string& file)
{
    const std::string prefix = file + "-page";
    if (std::system(("pdftoppm -r 40 -png '" + file + "' '" + prefix + "'").c_str()) != 0) {
        ADD_FAILURE() << "pdftoppm could not read " << file;
        return {};
    }
    std::vector<QImage> pages;
    for (int page = 1; std::filesystem::exists(prefix + "-" + std::to_string(page) + ".png");
         ++page) {
        const std::string png = prefix + "-" + std::to_string(page) + ".png";
        pages.emplace_back(QString::fromStdString(png));
        std::filesystem::remove(png);
    }
    return pages;
}

// Every print starts from the same state, whatever the printer printed before: the second of
// two prints is on paper what a first print is (the diagram's last pen once coloured the
// sheets printed after it).
TEST(PrintCard, ASecondPrintIsAFirstPrint)
{
    const TempDir dir;
    auto card = Card(8, "Cambridge Surprise Major", "-3-4-25-36-4-5-6-7 LH2");
    const auto print = [&](QPrinter& printer, PageView view) {
        card->View = view;
        card->Show(view);
        printer.setOutputFileName(QString::fromStdString(dir.Path("print.pdf")));
        EXPECT_EQ(PrintCard(*card, printer, 1), QString());
        return PdfPictures(dir.Path("print.pdf"));
    };
    // The diagram's coloured pens and the sheets' fonts, each before the other.
    for (const auto& [before, view] : {std::pair{PageView::Diagram, PageView::Statistics},
                                       std::pair{PageView::Diagram, PageView::Composition},
                                       std::pair{PageView::Statistics, PageView::Diagram}}) {
        QPrinter fresh(QPrinter::HighResolution);
        fresh.setOutputFormat(QPrinter::PdfFormat);
        const std::vector<QImage> first = print(fresh, view);
        ASSERT_FALSE(first.empty());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        print(printer, before);
        EXPECT_TRUE(print(printer, view) == first)
            << "view " << static_cast<int>(view) << " after " << static_cast<int>(before);
    }
}

TEST(PrintFile, OfferedUnderTheMethodsNameInTheDocumentsFolder)
{
    const TempDir dir;
    std::filesystem::create_directories(dir.Path("home"));
    const QString home = QString::fromStdString(dir.Path("home"));
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    // No documents folder: the home folder, rather than a file dialog that shows another.
    EXPECT_EQ(SuggestedPrintFile("PLAIN BOB MINOR"), home + "/PLAIN BOB MINOR.pdf");
    std::filesystem::create_directories(dir.Path("home/Documents"));
    EXPECT_EQ(SuggestedPrintFile("PLAIN BOB MINOR"), home + "/Documents/PLAIN BOB MINOR.pdf");
    EXPECT_EQ(SuggestedPrintFile("1/2 TURN DOUBLES"), home + "/Documents/1-2 TURN DOUBLES.pdf");
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

TEST(Clipboard, ThePictureAsFarAsItIsDrawn)
{
    auto card = Card();
    card->Client = QSize(1200, 800);
    card->Show(PageView::Diagram);
    CopyToClipboard(*card);
    ASSERT_TRUE(ClipboardHasPicture());
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), card->ClipboardImage().size());
    EXPECT_LT(copied.height(), 800);
    ClearClipboard();
    EXPECT_FALSE(ClipboardHasPicture());
}

TEST(PageWidget, RedrawsOnceAfterTheWindowStopsChangingSize)
{
    auto card = Card();
    TBellPageWidget page(*card);
    int redraws = 0;
    QObject::connect(&page, &TBellPageWidget::redrawn, [&] { ++redraws; });
    page.resize(900, 600);
    page.show();
    page.Redraw();
    ASSERT_EQ(redraws, 1);
    const int before = card->Picture().Size().width();
    for (const int width : {700, 650, 600}) {
        page.resize(width, 600);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(redraws, 1); // not yet: the size is still changing
    QElapsedTimer waited;
    waited.start();
    while (redraws == 1 && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(redraws, 2);
    EXPECT_LT(card->Picture().Size().width(), before);
    EXPECT_LE(card->Picture().Size().width(), page.viewport()->width());
}

} // namespace
} // namespace tambrel
