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

#include <filesystem>
#include <memory>
#include <string>

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
