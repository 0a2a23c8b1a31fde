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
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tambrel {
namespace {

using test::ReadFile;
using test::TempDir;

std::unique_ptr<TBellCard> PlainBobMinor()
{
    auto card = std::make_unique<TBellCard>();
    card->Store().SetBells(6);
    card->Store().SetName("Plain Bob Minor");
    card->Store().SetPlaceNotation("x16x16x16x16x16x12");
    card->Store().Calculate();
    return card;
}

int PdfPages(const std::string& file)
{
    const std::string pdf = ReadFile(file);
    int pages = 0;
    for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos;
         at = pdf.find("/Type /Page", at + 1)) {
        pages += pdf.compare(at, 12, "/Type /Pages") == 0 ? 0 : 1;
    }
    return pages;
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

TEST(PrintCard, CopiesToAFileFollowOneAnotherInIt)
{
    const TempDir dir;
    auto card = PlainBobMinor();
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
    auto card = std::make_unique<TBellCard>();
    card->Store().SetBells(8);
    card->Store().SetName("Cambridge Surprise Major");
    card->Store().SetPlaceNotation("-3-4-25-36-4-5-6-7 LH2");
    card->Store().Calculate();
    const auto print = [&](QPrinter& printer, PageView view) {
        card->View = view;
        card->Show(view);
        printer.setOutputFileName(QString::fromStdString(dir.Path("print.pdf")));
        EXPECT_EQ(PrintCard(*card, printer, 1), QString());
        return PdfPictures(dir.Path("print.pdf"));
    };
    const PageView views[] = {PageView::Diagram, PageView::Statistics, PageView::Composition};
    std::map<PageView, std::vector<QImage>> first;
    for (const PageView view : views) {
        QPrinter fresh(QPrinter::HighResolution);
        fresh.setOutputFormat(QPrinter::PdfFormat);
        first[view] = print(fresh, view);
        ASSERT_FALSE(first[view].empty());
    }
    for (const PageView before : views) {
        for (const PageView view : views) {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            print(printer, before);
            EXPECT_TRUE(print(printer, view) == first[view])
                << "view " << static_cast<int>(view) << " after " << static_cast<int>(before);
        }
    }
}

TEST(PrintCard, AJobThatCannotStartSaysSo)
{
    const TempDir dir;
    auto card = PlainBobMinor();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.Path("no/such/folder/x.pdf")));
    EXPECT_EQ(PrintCard(*card, printer, 1), kMsgPrintFailed);
}

// Sets an environment variable for one test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name), m_old(qgetenv(name))
    {
        qputenv(name, QByteArray::fromStdString(value));
    }
    ~ScopedEnv() { qputenv(m_name, m_old); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    QByteArray m_old;
};

TEST(PrintFile, OfferedUnderTheMethodsNameInTheDocumentsFolder)
{
    const TempDir dir;
    std::filesystem::create_directories(dir.Path("home"));
    const QString home = QString::fromStdString(dir.Path("home"));
    const ScopedEnv homeVariable("HOME", dir.Path("home"));
    const ScopedEnv config("XDG_CONFIG_HOME", dir.Path("home/.config"));
    // No documents folder: the home folder, rather than a file dialog that shows another.
    EXPECT_EQ(SuggestedPrintFile("PLAIN BOB MINOR"), home + "/PLAIN BOB MINOR.pdf");
    std::filesystem::create_directories(dir.Path("home/Documents"));
    EXPECT_EQ(SuggestedPrintFile("PLAIN BOB MINOR"), home + "/Documents/PLAIN BOB MINOR.pdf");
    EXPECT_EQ(SuggestedPrintFile("1/2 TURN DOUBLES"), home + "/Documents/1-2 TURN DOUBLES.pdf");
}

TEST(Clipboard, ThePictureAsFarAsItIsDrawn)
{
    auto card = PlainBobMinor();
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
    auto card = PlainBobMinor();
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
