#include "app/gui/HelpSystem.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/SingleInstance.h"
#include "app/gui/TfrmEdit.h"
#include "app/gui/TfrmFind.h"
#include "app/gui/TfrmImportCalls.h"
#include "app/gui/TfrmImportMethods.h"
#include "app/gui/TfrmIntMeth.h"
#include "app/gui/TfrmMain.h"
#include "app/gui/TfrmOpen.h"
#include "app/gui/TfrmOptions.h"
#include "display/Printing.h"
#include "display/TBellCard.h"
#include "display/TBellPageWidget.h"
#include "display/TfrmPrint.h"
#include "library/OptionsTable.h"
#include "library/TfrmDataMod.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalServer>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSysInfo>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Failures show strings as text.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace tambrel {
namespace {

using test::TempDir;

struct Message {
    BoxKind kind;
    QString text;
};

// Whether a PDF carries this document title, which the writer stores in UTF-16, high byte first.
bool PdfTitled(const std::string& file, const QString& title)
{
    std::string utf16;
    for (const QChar c : title) {
        utf16 += static_cast<char>(c.unicode() >> 8);
        utf16 += static_cast<char>(c.unicode() & 0xFF);
    }
    return test::ReadFile(file).find(utf16) != std::string::npos;
}

// The main window over a small library, with every message box and dialog answered by the test.
class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.Path("data"));
        dir.Write("data/Methods.csv",
                  "0,TB_Method_Library,\"Test 1\",\n"
                  "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n"
                  "6,\"PLAIN BOB MINOR\",\"-1-1-1 LH2\",A\n"
                  "6,\"OTHER BOB MINOR\",\"-1-1-1 LH2\",A\n"
                  "8,\"TAKEN NAME MAJOR\",\"-1-1-1-1 LH1\",G\n"
                  "8,\"SOMETHING ELSE MAJOR\",\"-5-4.5-5.36.4-4.5-4-1 LH1\",M\n");
        std::filesystem::copy_file(TAMBREL_CALLS_CSV, dir.Path("data/Calls.csv"));
        data = std::make_unique<TfrmDataMod>(dir.Path("Library"), dir.Path("data"));
        ASSERT_TRUE(data->frmDataModCreate());
        messages.hook = [this](BoxKind kind, const QString&, const QString& text) {
            shown.push_back({kind, text});
            if (answers.empty()) {
                return true;
            }
            const bool answer = answers.front();
            answers.pop_front();
            return answer;
        };
        messages.saveHook = [this] { return saveChoice; };
        help = std::make_unique<HelpSystem>(messages, dir.Path("program"));
        window = std::make_unique<TfrmMain>(*data, *help, messages);
        window->aboutAtFirstActivation = false;
        window->execDialog = [this](QDialog& dialog) {
            ++dialogs;
            if (onDialog) {
                onDialog(dialog);
            }
            return dialog.result();
        };
        window->resize(1040, 700);
    }

    // Enters a method through the real entry dialog.
    void Enter(int bells, const QString& name, const QString& notation)
    {
        onDialog = [&](QDialog& dialog) {
            auto& edit = dynamic_cast<TfrmEdit&>(dialog);
            edit.setResult(QDialog::Rejected);
            edit.cboBells->setCurrentIndex(bells - 4);
            edit.edtName->setText(name);
            edit.edtPlaces->setText(notation);
            edit.butOKClick();
        };
        window->MethodAction(QStringLiteral("NEW"));
        onDialog = nullptr;
    }

    int OpenTabs() const
    {
        int open = 0;
        for (int t = 0; t < window->tbsMain->count(); ++t) {
            open += window->tbsMain->isTabVisible(t) ? 1 : 0;
        }
        return open;
    }
    QString CurrentName()
    {
        return QString::fromStdString(window->Card(window->CurrentMethod()).Store().Name());
    }
    QString Last() const { return shown.empty() ? QString() : shown.back().text; }

    TempDir dir;
    std::unique_ptr<TfrmDataMod> data;
    MessageBoxes messages;
    std::unique_ptr<HelpSystem> help;
    std::unique_ptr<TfrmMain> window;
    std::vector<Message> shown;
    std::deque<bool> answers;
    SaveChoice saveChoice = SaveChoice::Main;
    std::function<void(QDialog&)> onDialog;
    int dialogs = 0;
};

TEST_F(MainWindow, FiveMethodsAtMostAndCancellingNewOpensNothing)
{
    EXPECT_FALSE(window->MethodCommandsEnabled());
    for (int i = 1; i <= 5; ++i) {
        Enter(6, QStringLiteral("METHOD %1").arg(i), QStringLiteral("x16x16x16x16x16x12"));
    }
    EXPECT_EQ(OpenTabs(), 5);
    EXPECT_TRUE(window->MethodCommandsEnabled());
    EXPECT_EQ(CurrentName(), "METHOD 5");
    const int before = dialogs;
    window->MethodAction(QStringLiteral("NEW"));
    EXPECT_EQ(Last(), "A maximum of five methods can be shown.");
    EXPECT_EQ(dialogs, before); // no dialog, nothing changed
    EXPECT_EQ(OpenTabs(), 5);

    window->CloseAll();
    Enter(6, QStringLiteral("KEPT"), QStringLiteral("x16x16x16x16x16x12"));
    const int current = window->CurrentMethod();
    onDialog = [](QDialog& dialog) { dialog.setResult(QDialog::Rejected); };
    window->MethodAction(QStringLiteral("NEW"));
    EXPECT_EQ(OpenTabs(), 1);
    EXPECT_EQ(window->CurrentMethod(), current);
}

TEST_F(MainWindow, OpenPutsTheBrowsersMethodOnTheLowestFreePage)
{
    Enter(6, "FIRST", "x16x16x16x16x16x12");
    Enter(6, "SECOND", "x16x16x16x16x16x12");
    answers = {true};
    window->tbsMain->setCurrentIndex(window->tbsMain->indexOf(&window->Page(1)));
    window->CloseCurrent(); // slot 1 is free again
    onDialog = [](QDialog& dialog) {
        auto& open = dynamic_cast<TfrmOpen&>(dialog);
        EXPECT_EQ(open.windowTitle(), "Open an Existing Method - Main Library built Test 1");
        QTest::keyClicks(open.edtFind, "camb");
        open.chkSavePos->setChecked(false);
        open.butOKClick();
    };
    window->GlobalOptions.Bells = 8;
    window->MethodAction(QStringLiteral("OPEN"));
    EXPECT_EQ(OpenTabs(), 2);
    EXPECT_EQ(window->CurrentMethod(), 1);
    EXPECT_EQ(CurrentName(), "CAMBRIDGE SURPRISE MAJOR");
    EXPECT_FALSE(window->Card(1).Edited);
    EXPECT_FALSE(window->Card(1).Changed);
    EXPECT_EQ(window->Card(1).Store().PlaceNotation(), "-3-4-25-36-4-5-6-7 LH2");
    EXPECT_EQ(window->tbsMain->tabToolTip(window->tbsMain->currentIndex()),
              "CAMBRIDGE SURPRISE MAJOR");
    EXPECT_FALSE(window->GlobalOptions.SaveOpenPos);
    EXPECT_FALSE(window->ResetOpenPosition); // cleared by the first showing
    EXPECT_FALSE(data->dbfMethods.Active());

    // Cancelled: no page is taken and the current one stays.
    onDialog = [](QDialog& dialog) { dialog.reject(); };
    window->MethodAction(QStringLiteral("OPEN"));
    EXPECT_EQ(OpenTabs(), 2);
    EXPECT_EQ(window->CurrentMethod(), 1);
}

TEST_F(MainWindow, ClosingATabMakesItsNeighbourCurrent)
{
    Enter(6, "LEFT", "x16x16x16x16x16x12");
    Enter(6, "MIDDLE", "x16x16x16x16x16x12");
    Enter(6, "RIGHT", "x16x16x16x16x16x12");
    window->tbsMain->setCurrentIndex(window->tbsMain->indexOf(&window->Page(2)));
    ASSERT_EQ(CurrentName(), "MIDDLE");
    answers = {true}; // yes, close the edited method
    window->CloseCurrent();
    EXPECT_EQ(Last(), "The Current Method has been edited.\r\rDo you still want to close it?");
    EXPECT_EQ(CurrentName(), "LEFT");
    EXPECT_EQ(OpenTabs(), 2);

    window->Card(1).Edited = false;
    window->CloseCurrent(); // the leftmost: its right neighbour follows
    EXPECT_EQ(CurrentName(), "RIGHT");
    answers = {false}; // keep it after all
    window->CloseCurrent();
    EXPECT_EQ(OpenTabs(), 1);
    answers = {true};
    window->CloseCurrent();
    EXPECT_EQ(OpenTabs(), 0);
    EXPECT_FALSE(window->MethodCommandsEnabled());
    EXPECT_EQ(window->CurrentMethod(), 0);
}

TEST_F(MainWindow, ViewsRefusedKeepTheViewList)
{
    Enter(6, "PLAIN BOB MINOR", "x16x16x16x16x16x12");
    window->cboView->setCurrentIndex(2);
    window->ChooseView(2);
    EXPECT_EQ(Last(), "Composition Sheets are only available for methods with 7 or more bells.");
    EXPECT_EQ(window->cboView->currentIndex(), 0);
    EXPECT_TRUE(window->mnuVDiagram->isChecked());
    window->ChooseView(3);
    EXPECT_EQ(Last(), "Inter-Method Falseness Sheets are only available for methods with 7 or "
                      "more bells.");
    EXPECT_EQ(window->cboView->currentIndex(), 0);

    Enter(16, "LONG COURSE", QString::fromStdString(test::Repeat("x16", 20) + "LH1D"));
    EXPECT_EQ(Last(), "This method has more than 2000 rows in the Plain Course.\r\rOnly the first "
                      "2000 changes are shown.");
    window->ChooseView(2);
    EXPECT_EQ(Last(), "Composition Sheets are not available for methods \rwith more than 2000 "
                      "rows in the Plain Course.");
    // Falseness against part of a course would look complete: refused before the dialog.
    const int before = dialogs;
    window->ChooseView(3);
    EXPECT_EQ(Last(), "Inter-Method Falseness Sheets are not available for methods \rwith more "
                      "than 2000 rows in the Plain Course.");
    EXPECT_EQ(dialogs, before);
    EXPECT_EQ(window->cboView->currentIndex(), 0);
}

TEST_F(MainWindow, CompositionAndInterMethodViewsShowTheSheetsAndPrintThem)
{
    Enter(8, "CAMBRIDGE SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12");
    Enter(8, "YORKSHIRE SURPRISE MAJOR", "-38-14-58-16-12-38-14-78LH12");
    Enter(7, "STEDMAN TRIPLES", "3.1.7.3.1.3.1.3.7.1.3.1");
    window->tbsMain->setCurrentIndex(window->tbsMain->indexOf(&window->Page(1)));
    ASSERT_EQ(window->CurrentMethod(), 1);
    TBellCard& card = window->Card(1);
    std::vector<QString> statuses;
    const auto status = card.onStatus;
    card.onStatus = [&](const QString& text) {
        statuses.push_back(text);
        status(text);
    };

    const std::size_t messagesBefore = shown.size();
    window->ChooseView(2);
    EXPECT_EQ(shown.size(), messagesBefore);
    EXPECT_EQ(card.View, PageView::Composition);
    EXPECT_TRUE(window->mnuVComposition->isChecked());
    EXPECT_EQ(window->cboView->currentIndex(), 2);
    EXPECT_EQ(statuses, (std::vector<QString>{" Getting Composition Information...", ""}));
    EXPECT_EQ(card.Comp().Sheet().columns.size(), 7U);
    EXPECT_EQ(card.Picture().Size().height(), card.Comp().Layout().height);

    // The dialog offers the open methods of the same stage, this one too; Cancel keeps the view.
    QStringList offered;
    onDialog = [&](QDialog& dialog) {
        auto& choose = dynamic_cast<TfrmIntMeth&>(dialog);
        EXPECT_EQ(choose.windowTitle(), "Inter-Method Falseness");
        for (int row = 0; row < choose.lstMethods->count(); ++row) {
            offered.push_back(choose.lstMethods->item(row)->text());
        }
        EXPECT_EQ(choose.lstMethods->currentRow(), 0);
        choose.butCancel->click();
    };
    window->ChooseView(3);
    EXPECT_EQ(offered, (QStringList{"CAMBRIDGE SURPRISE MAJOR", "YORKSHIRE SURPRISE MAJOR"}));
    EXPECT_EQ(card.View, PageView::Composition);
    EXPECT_EQ(window->cboView->currentIndex(), 2);
    EXPECT_TRUE(window->mnuVComposition->isChecked());

    // A double-click chooses.
    onDialog = [&](QDialog& dialog) {
        auto& choose = dynamic_cast<TfrmIntMeth&>(dialog);
        choose.lstMethodsDblClick(choose.lstMethods->item(1));
    };
    statuses.clear();
    window->ChooseView(3);
    EXPECT_EQ(card.View, PageView::InterMethod);
    EXPECT_TRUE(window->mnuVInterMethod->isChecked());
    EXPECT_EQ(statuses, (std::vector<QString>{" Getting Inter-method Falseness...", ""}));
    EXPECT_EQ(card.IntMeth().Second().slot, 2);
    EXPECT_EQ(card.IntMeth().Sheet().subtitle, "Against FCH's of YORKSHIRE SURPRISE MAJOR");
    const QString file = QString::fromStdString(dir.Path("intmeth.pdf"));
    window->printer.setOutputFormat(QPrinter::PdfFormat);
    window->choosePrintFile = [&](const QString&) { return file; };
    onDialog = [](QDialog& dialog) { dialog.setResult(QDialog::Accepted); };
    window->PrintMethod();
    EXPECT_TRUE(PdfTitled(file.toStdString(), "CAMBRIDGE SURPRISE MAJOR"));
    ASSERT_FALSE(card.IntMeth().Layout().pages.empty());
    EXPECT_GT(card.IntMeth().Layout().pages[0].size(), 1U); // the columns, not a message

    // Yorkshire's page is closed: showing and printing the sheet say so.
    window->tbsMain->setCurrentIndex(window->tbsMain->indexOf(&window->Page(2)));
    answers = {true};
    window->CloseCurrent();
    ASSERT_EQ(window->CurrentMethod(), 1);
    const auto stale = [&] {
        const auto& pages = card.IntMeth().Layout().pages;
        return pages.size() == 1 && pages[0].size() == 1 &&
               QString::fromStdString(pages[0][0].text) ==
                   "The second method has been closed or changed; choose it again.";
    };
    EXPECT_TRUE(stale());     // drawn again as its tab came to the front
    window->Page(1).Redraw(); // as after a resize
    EXPECT_TRUE(stale());
    window->PrintMethod();
    EXPECT_TRUE(stale());
    // Another method opened into its page is not taken for it.
    Enter(8, "YORKSHIRE SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12");
    ASSERT_EQ(window->CurrentMethod(), 2);
    window->tbsMain->setCurrentIndex(window->tbsMain->indexOf(&window->Page(1)));
    EXPECT_TRUE(stale());

    // The method chosen as its own second method.
    window->ChooseView(0);
    onDialog = [&](QDialog& dialog) {
        auto& choose = dynamic_cast<TfrmIntMeth&>(dialog);
        choose.lstMethods->setCurrentRow(0);
        choose.butOk->click();
    };
    window->ChooseView(3);
    EXPECT_EQ(card.View, PageView::InterMethod);
    EXPECT_FALSE(stale());
    EXPECT_EQ(card.IntMeth().Sheet().subtitle, "Against FCH's of CAMBRIDGE SURPRISE MAJOR");
}

TEST_F(MainWindow, TheStatisticsViewShowsTheSheetAndPrintsIt)
{
    Enter(8, "CAMBRIDGE SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12");
    TBellCard& card = window->Card(window->CurrentMethod());
    // Each progress text, with whether the hourglass was up while it stood.
    std::vector<std::pair<QString, bool>> statuses;
    const auto status = card.onStatus;
    card.onStatus = [&](const QString& text) {
        const QCursor* cursor = QApplication::overrideCursor();
        statuses.emplace_back(text, cursor != nullptr && cursor->shape() == Qt::WaitCursor);
        status(text);
    };
    const std::size_t messagesBefore = shown.size();
    window->cboView->setCurrentIndex(1);
    window->ChooseView(1);
    EXPECT_EQ(shown.size(), messagesBefore); // no message: the sheet itself
    EXPECT_EQ(card.View, PageView::Statistics);
    EXPECT_TRUE(window->mnuVStatistics->isChecked());
    EXPECT_EQ(window->cboView->currentIndex(), 1);
    EXPECT_EQ(statuses, (std::vector<std::pair<QString, bool>>{{" Getting Statistics...", true},
                                                               {"", true}}));
    EXPECT_EQ(window->pnlStatus->text(), "");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(card.Stats().Stats().Lines().classification,
              "This is a Regular Symetric Method of Lead Head Group B");
    EXPECT_EQ(card.Stats().Stats().Lines().rollUps, "Four Bell plus Roll Ups (xx78) = 15");
    // The page shows the sheet: as tall as its lines, not the diagram.
    EXPECT_EQ(card.Picture().Size().height(),
              card.Stats().LineTops().back() + 2 * card.Stats().LineHeight());

    // Printing the sheet: only the copies are offered, and the job is the method's.
    const QString file = QString::fromStdString(dir.Path("stats.pdf"));
    window->printer.setOutputFormat(QPrinter::PdfFormat);
    window->choosePrintFile = [&](const QString&) { return file; };
    bool posterOffered = true;
    onDialog = [&](QDialog& dialog) {
        posterOffered =
            !window->frmPrint->rgpPoster->isHidden() || !window->frmPrint->chkColour->isHidden();
        dialog.setResult(QDialog::Accepted);
    };
    window->PrintMethod();
    EXPECT_FALSE(posterOffered);
    EXPECT_TRUE(PdfTitled(file.toStdString(), "CAMBRIDGE SURPRISE MAJOR"));

    window->ChooseView(0);
    EXPECT_EQ(card.View, PageView::Diagram);
    EXPECT_TRUE(window->mnuVDiagram->isChecked());
}

TEST_F(MainWindow, FourBellMethodsHaveNoCallColumnsAndNoExpandedSize)
{
    window->GlobalOptions.Size = 2;
    window->GlobalOptions.ShowBob = true;
    window->GlobalOptions.ShowSingle = true;
    Enter(4, "PLAIN BOB MINIMUS", "x14x14x14x12");
    const TBellOptions& page = window->Card(window->CurrentMethod()).PageOptions;
    EXPECT_EQ(page.Size, 1);
    EXPECT_FALSE(page.ShowBob);
    EXPECT_FALSE(page.ShowSingle);
    EXPECT_EQ(window->Card(window->CurrentMethod()).Diagram().State().n, 4);
}

TEST_F(MainWindow, LongNamesAreCutOnTheirTab)
{
    window->show();
    QCoreApplication::processEvents();
    window->FirstActivation();
    const QString name(60, QLatin1Char('W'));
    Enter(6, name, "x16x16x16x16x16x12");
    const QString caption = window->tbsMain->tabText(window->tbsMain->currentIndex());
    EXPECT_TRUE(caption.endsWith("...")) << caption.toStdString();
    EXPECT_LT(caption.size(), 60);
    Enter(6, "BELLS & WHISTLES <1>", "x16x16x16x16x16x12");
    EXPECT_EQ(window->tbsMain->tabText(window->tbsMain->currentIndex()), "BELLS && WHISTLES <1>");
}

TEST_F(MainWindow, SavingTakesEveryBranch)
{
    // The library holds this very method: nothing to save.
    Enter(8, "CAMBRIDGE SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12");
    window->SaveMethod();
    EXPECT_EQ(shown.back().kind, BoxKind::Plain);
    EXPECT_EQ(Last(), "This Method is already in the Method Library");
    EXPECT_FALSE(window->Card(window->CurrentMethod()).Edited);
    EXPECT_EQ(window->pnlStatus->text(), "");
    window->CloseAll();

    // Its notation under a new name: renamed in the library on Yes.
    Enter(8, "NEW NAME SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12");
    answers = {true};
    window->SaveMethod();
    EXPECT_EQ(Last(),
              "This Method already exists as:\r\rCAMBRIDGE SURPRISE MAJOR\r\rDo you want to "
              "rename it?");
    EXPECT_FALSE(window->Card(window->CurrentMethod()).Edited);
    EXPECT_EQ(window->pnlStatus->text(), "Saved to the Main Library.");
    ASSERT_TRUE(data->OpenTables("MAIN"));
    data->dbfMethods.SetOrderToTag("NAME");
    EXPECT_TRUE(data->dbfMethods.FindExact("8 NEW NAME SURPRISE MAJOR"));
    EXPECT_FALSE(data->dbfMethods.FindExact("8 CAMBRIDGE SURPRISE MAJOR"));
    data->CloseTables();
    window->CloseAll();

    // Neither stored: a new record with the lead-head code as its group.
    Enter(8, "PLAIN BOB MAJOR", "x18x18x18x18x18x18x18x12");
    const std::size_t before = shown.size();
    window->SaveMethod();
    EXPECT_EQ(shown.size(), before); // no box: the status bar says where it went
    EXPECT_EQ(window->pnlStatus->text(), "Saved to the Main Library.");
    EXPECT_FALSE(window->Card(window->CurrentMethod()).Edited);
    ASSERT_TRUE(data->OpenTables("MAIN"));
    data->dbfMethods.SetOrderToTag("PLACES");
    ASSERT_TRUE(data->dbfMethods.FindExact("8 -1-1-1-1 LH2"));
    data->dbfMethods.SetOrderToTag("NAME");
    ASSERT_TRUE(data->dbfMethods.FindExact("8 PLAIN BOB MAJOR"));
    EXPECT_EQ(data->dbfMethods.FieldText("group"), "A ");
    EXPECT_EQ(data->dbfMethods.FieldText("bells"), "8 ");
    data->CloseTables();
    window->CloseAll();

    // The name is taken by another notation: rename first.
    Enter(8, "TAKEN NAME MAJOR", "x18x18x18x18x18x18x18x14");
    window->SaveMethod();
    EXPECT_EQ(shown.back().kind, BoxKind::Warning);
    EXPECT_EQ(Last(), "A Method already exists with the name\r\rTAKEN NAME MAJOR\r\rso this Method "
                      "must be renamed before saving.");
    EXPECT_TRUE(window->Card(window->CurrentMethod()).Edited);
    window->Card(window->CurrentMethod()).Edited = false;
    window->CloseAll();

    // Both taken by others: it cannot be saved.
    Enter(8, "TAKEN NAME MAJOR", "-58-14.58-58.36.14-14.58-14-18LH18");
    window->SaveMethod();
    EXPECT_EQ(Last(), "This Method already exists as:\r\rSOMETHING ELSE MAJOR\r\rand a different "
                      "method exists with the name\r\rTAKEN NAME MAJOR\r\rso the Method cannot be "
                      "saved.");
    EXPECT_TRUE(window->Card(window->CurrentMethod()).Edited); // nothing saved: still edited
    answers = {false};
    window->CloseCurrent();
    EXPECT_EQ(Last(), "The Current Method has been edited.\r\rDo you still want to close it?");
    ASSERT_EQ(OpenTabs(), 1);
    window->Card(window->CurrentMethod()).Edited = false;
    window->CloseAll();

    // Two records share these places; the name lookup finds this name with them.
    Enter(6, "OTHER BOB MINOR", "x16x16x16x16x16x12");
    window->SaveMethod();
    EXPECT_EQ(Last(), "This Method is already in the Method Library");
    window->CloseAll();

    // Too long for the library: nothing saved, still edited. (Typed short, but its tidy form
    // writes the whole asymmetric lead out.)
    Enter(5, "LONG", QString::fromStdString(test::Repeat("3.1.5.1.", 6) + "3 LH 3.1.5"));
    ASSERT_GE(window->Card(window->CurrentMethod()).Store().TidyNotation().size(), 99U);
    window->SaveMethod();
    EXPECT_EQ(Last(), "The Place Notation of this Method is too long \rto store in the Method "
                      "Library.");
    EXPECT_TRUE(window->Card(window->CurrentMethod()).Edited);
    EXPECT_FALSE(data->dbfMethods.Active()); // the tables are closed again

    // Cancel saves nothing.
    saveChoice = SaveChoice::Cancel;
    const std::size_t count = shown.size();
    window->SaveMethod();
    EXPECT_EQ(shown.size(), count);
    EXPECT_TRUE(window->Card(window->CurrentMethod()).Edited);
}

TEST_F(MainWindow, UniqueCheckLooksInBothLibraries)
{
    Enter(8, "ANY NAME", "-38-14-1258-36-14-58-16-78LH12");
    window->CheckUnique();
    EXPECT_EQ(Last(), "This method exists in the Main Library as:\r\rCAMBRIDGE SURPRISE MAJOR");
    Enter(8, "ANOTHER", "x18x18x18x18x18x18x18x14");
    saveChoice = SaveChoice::Personal;
    window->SaveMethod();
    EXPECT_EQ(window->pnlStatus->text(), "Saved to the Personal Library.");
    window->CheckUnique();
    EXPECT_EQ(Last(), "This method is not in the Main Library and so it is probably unique.\r\rIt "
                      "exists in your Personal Library as:\r\rANOTHER");
    Enter(8, "THIRD", "x18x18x18x18x18x18x18x16");
    window->CheckUnique();
    EXPECT_EQ(Last(), "This method is not in either Library\rand so it is probably unique.");
}

TEST_F(MainWindow, EntryDialogNewAndEdit)
{
    TfrmEdit& edit = *window->frmEdit;
    onDialog = [&](QDialog&) {
        EXPECT_EQ(edit.windowTitle(), "New Method");
        EXPECT_TRUE(edit.butCopyName->isHidden());
        EXPECT_TRUE(edit.butCopyPlaces->isHidden());
        EXPECT_EQ(edit.edtName->text(), "UNTITLED METHOD");
        edit.setResult(QDialog::Rejected);
        edit.edtName->setText("   ");
        edit.edtPlaces->clear();
        edit.butOKClick(); // the name is reported before the empty notation
        EXPECT_EQ(Last(), "No Method Name Entered.");
        edit.edtName->setText("TEST");
        edit.butOKClick();
        EXPECT_EQ(Last(), "No Place Notation Entered.");
        edit.cboBells->setCurrentIndex(12); // sixteen bells
        edit.edtPlaces->setText("x1Dx1D");
        edit.butOKClick();
    };
    window->MethodAction("NEW");
    ASSERT_EQ(OpenTabs(), 1);
    EXPECT_EQ(window->Card(window->CurrentMethod()).Store().Bells(), 16);
    EXPECT_EQ(window->GlobalOptions.Bells, 16);
    EXPECT_TRUE(window->lblEdited->isVisibleTo(window.get()));

    onDialog = [&](QDialog&) {
        EXPECT_EQ(edit.windowTitle(), "Edit a Method");
        EXPECT_FALSE(edit.butCopyName->isHidden());
        EXPECT_EQ(edit.edtPlaces->text(), "X1DX1D");
        edit.cboBells->setCurrentIndex(8); // twelve: D is no bell there
        edit.setResult(QDialog::Rejected);
        edit.butOKClick();
    };
    window->MethodAction("EDIT");
    EXPECT_EQ(Last(), "Error in the Place Notation:\r\rX1DX1D\r\rError at:\r\rX1D <--");
    EXPECT_EQ(window->Card(window->CurrentMethod()).Store().Bells(), 16); // unchanged

    window->GlobalOptions.Bells = 99; // not a stage: the dialog offers eight
    onDialog = [&](QDialog& dialog) {
        EXPECT_EQ(edit.cboBells->currentIndex(), 4);
        dialog.setResult(QDialog::Rejected);
    };
    window->MethodAction("NEW");
}

TEST_F(MainWindow, OptionsDialogListsAndWhatEachButtonWrites)
{
    TfrmOptions& options = *window->frmOptions;
    const auto items = [](QComboBox* list) {
        QStringList all;
        for (int i = 0; i < list->count(); ++i) {
            all << list->itemText(i);
        }
        return all;
    };
    Enter(4, "PLAIN BOB MINIMUS", "x14x14x14x12");
    onDialog = [&](QDialog& dialog) {
        EXPECT_EQ(items(options.cboSize), QStringList({" Compressed", " Normal", " Fixed"}));
        EXPECT_EQ(items(options.cboBlueLine1).last(), " 4 - Tenor");
        EXPECT_EQ(options.cboBlueLine1->count(), 5);
        EXPECT_FALSE(options.chkShowBob->isEnabled());
        EXPECT_FALSE(options.tabs->isTabEnabled(options.tabs->indexOf(options.tbsCalls)));
        options.cboSize->setCurrentIndex(2); // " Fixed"
        dialog.setResult(QDialog::Rejected);
        options.butOkClick();
    };
    window->SetOptions();
    EXPECT_EQ(window->Card(window->CurrentMethod()).PageOptions.Size, 3);

    Enter(8, "CAMBRIDGE SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12");
    TBellOptions& page = window->Card(window->CurrentMethod()).PageOptions;
    page.BlueBell1 = 10;
    onDialog = [&](QDialog& dialog) {
        EXPECT_EQ(items(options.cboSize),
                  QStringList({" Compressed", " Normal", " Expanded", " Fixed"}));
        EXPECT_EQ(options.cboBlueLine1->currentIndex(), 8); // above the stage: the tenor
        EXPECT_EQ(options.cboLead2Show->count(), 8);        // all leads and the seven
        EXPECT_EQ(options.cboLead2Show->itemText(2), "2 - 15738264");
        EXPECT_EQ(options.windowTitle(), "Set Options - Calls Library built Tambrel 2026-12");
        EXPECT_EQ(options.cboBobType->currentText(), "Bob");
        EXPECT_EQ(options.edtBobLines->text(), "234");
        options.cboBobType->setCurrentIndex(2); // the 16 bob
        emit options.cboBobType->activated(2);
        EXPECT_EQ(options.edtBobLines->text(), "678");
        options.cboLead2Show->setCurrentIndex(3);
        options.cboNumbers->setCurrentIndex(2);
        dialog.setResult(QDialog::Rejected);
        options.butDefaultClick();
    };
    window->SetOptions();
    EXPECT_EQ(page.BobType, "03");
    EXPECT_EQ(page.LeadToShow, 3);
    EXPECT_EQ(page.Numbers, 2);
    EXPECT_EQ(window->GlobalOptions.Numbers, 2);
    EXPECT_EQ(window->GlobalOptions.LeadToShow, 0); // not the lead, not the calls
    EXPECT_EQ(window->GlobalOptions.BobType, "");
    EXPECT_EQ(window->Card(window->CurrentMethod()).Store().GetBobChange(16), "16");

    Enter(12, "BRISTOL SURPRISE MAXIMUS", "-5T-14.5T-5T.36.14-7T.58.16-9T.70.18-18.9T-18-1T LH1T");
    onDialog = [&](QDialog& dialog) {
        EXPECT_EQ(items(options.cboSize), QStringList({" Normal", " Expanded", " Fixed"}));
        options.cboSize->setCurrentIndex(0);
        options.cboNumbers->setCurrentIndex(1);
        dialog.setResult(QDialog::Rejected);
        options.butOkClick();
    };
    window->SetOptions();
    EXPECT_EQ(window->Card(window->CurrentMethod()).PageOptions.Size, 1);
    EXPECT_EQ(window->GlobalOptions.Numbers, 2); // this method only
}

TEST_F(MainWindow, ExitAsksAndSavesTheOptionsLast)
{
    Enter(6, "PLAIN BOB MINOR", "x16x16x16x16x16x12");
    answers = {false};
    EXPECT_FALSE(window->AskExit());
    EXPECT_EQ(Last(), "Exit from Tambrel?");
    answers = {true, false}; // exit, but keep the edited method
    EXPECT_FALSE(window->AskExit());
    EXPECT_EQ(OpenTabs(), 1);
    window->GlobalOptions.Numbers = 3;
    answers = {true, true};
    EXPECT_TRUE(window->AskExit());
    ASSERT_TRUE(data->OpenTables("OPTIONS"));
    EXPECT_EQ(data->dbfOptions.RecordCount(), 24U);
    data->CloseTables();
    TBellOptions reloaded;
    std::vector<std::string> warnings;
    OptionsTable table(*data);
    reloaded.Load(table, warnings);
    EXPECT_EQ(reloaded.Numbers, 3);
}

TEST_F(MainWindow, FindSimilarShowsItsDialogOrSaysWhyNot)
{
    Enter(6, "PLAIN BOB MINOR", "x16x16x16x16x16x12");
    EXPECT_EQ(OpenTabs(), 1);
    window->ResetOpenPosition = false;
    QString shownDialog;
    onDialog = [&](QDialog& dialog) {
        shownDialog = dialog.objectName();
        auto& find = dynamic_cast<TfrmFind&>(dialog);
        QSignalSpy ended(&find, &TfrmFind::searchEnded);
        find.butOK->click();
        ASSERT_TRUE(ended.wait(30'000));
        EXPECT_EQ(find.lblFound->text(), "13");
    };
    const std::size_t messagesBefore = shown.size();
    window->FindSimilar();
    onDialog = nullptr;
    EXPECT_EQ(shownDialog, "frmFind");
    EXPECT_EQ(shown.size(), messagesBefore);
    EXPECT_TRUE(window->ResetOpenPosition); // the find library was written anew
    Enter(8, "CAMBRIDGE SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12"); // 32 changes
    Enter(9, "GRANDSIRE CATERS", "3.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1");
    window->FindSimilar();
    EXPECT_EQ(Last(), "To use Find Similar Methods, the method must be:\r\r    Symetric\r    On a "
                      "maximum of 8 Bells\r    Have 40 or less Changes in a lead");
}

TEST_F(MainWindow, HelpWithAndWithoutItsPages)
{
    help->Command("OPEN");
    help->Command("SHOW", "options.htm", window.get());
    EXPECT_EQ(Last(), kMsgHelpMissing);

    std::filesystem::create_directories(dir.Path("program/help"));
    dir.Write("program/help/index.htm", "<h1>Contents</h1><a href=\"options.htm\">Options</a>");
    dir.Write("program/help/options.htm", "<h1>Set Options</h1>");
    help->Command("OPEN");
    help->Command("SHOW", "options.htm", window.get());
    ASSERT_NE(help->Browser(), nullptr);
    EXPECT_TRUE(help->Browser()->source().toLocalFile().endsWith("options.htm"));
    EXPECT_TRUE(help->Visible());
    help->Command("SHOW", "options.htm#calls", window.get()); // a section of the page
    EXPECT_TRUE(help->Browser()->source().toLocalFile().endsWith("options.htm"));
    EXPECT_EQ(help->Browser()->source().fragment(), "calls");
    help->Command("CLOSE");
    EXPECT_FALSE(help->Visible());
}

TEST_F(MainWindow, MethodCommandsOnlyWhileAMethodIsOpen)
{
    const std::vector<QAction*> methodCommands = {
        window->mnuFClose,      window->mnuFCloseAll,    window->mnuFEdit,
        window->mnuFSave,       window->mnuFPrint,       window->mnuVDiagram,
        window->mnuVStatistics, window->mnuVComposition, window->mnuVInterMethod,
        window->mnuVOptions,    window->mnuTUnique,      window->mnuTFind,
        window->mnuTClipboard};
    const auto expectEnabled = [&](bool enabled) {
        for (QAction* command : methodCommands) {
            SCOPED_TRACE(command->objectName().toStdString());
            EXPECT_EQ(command->isEnabled(), enabled);
        }
        EXPECT_EQ(window->cboView->isEnabled(), enabled);
        EXPECT_EQ(window->findChild<QToolButton*>("butPrint")->isEnabled(), enabled);
        EXPECT_EQ(window->tbsMain->isVisibleTo(window.get()), enabled);
        for (QAction* always :
             {window->mnuFNew, window->mnuFOpen, window->mnuFExit, window->mnuTImportMethods,
              window->mnuTReindex, window->mnuHContents}) {
            EXPECT_TRUE(always->isEnabled());
        }
    };
    expectEnabled(false);
    Enter(6, "PLAIN BOB MINOR", "x16x16x16x16x16x12");
    expectEnabled(true);
    window->CloseCurrent(); // the question is answered Yes
    expectEnabled(false);

    QMenu* tools = nullptr;
    for (QAction* menu : window->menuBar()->actions()) {
        tools = menu->text() == "&Tools" ? menu->menu() : tools;
    }
    ASSERT_NE(tools, nullptr);
    ClearClipboard();
    emit tools->aboutToShow();
    EXPECT_FALSE(window->mnuTClearClipboard->isEnabled());
    QApplication::clipboard()->setText("-38-14-1258-36-14-58-16-78,12");
    emit tools->aboutToShow();
    EXPECT_TRUE(window->mnuTClearClipboard->isEnabled());
    window->mnuTClearClipboard->trigger();
    emit tools->aboutToShow();
    EXPECT_FALSE(window->mnuTClearClipboard->isEnabled());
}

TEST_F(MainWindow, EnterOnAnyQuestionChangesNothing)
{
    const QString existing = QString::fromStdString(dir.Write("kept.pdf", "a file kept"));
    Enter(8, "NEW NAME SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12");
    // From here on the real boxes, each answered by Enter as soon as it shows.
    messages.hook = nullptr;
    QStringList asked;
    QTimer enter;
    QObject::connect(&enter, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            asked << box->text();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    enter.start(10);

    window->SaveMethod(); // to the main library: would rename the stored method
    messages.saveHook = nullptr;
    window->SaveMethod(); // the library question itself
    window->CloseCurrent();
    window->CloseAll();
    EXPECT_FALSE(window->AskExit());
    std::deque<QString> files = {existing, QString()};
    window->choosePrintFile = [&](const QString&) {
        const QString file = files.front();
        files.pop_front();
        return file;
    };
    onDialog = [](QDialog& dialog) { dialog.setResult(QDialog::Accepted); };
    window->PrintMethod(); // to a file that is there already
    enter.stop();

    const QString close = MessageBoxes::Displayed(
        "The Current Method has been edited.\r\rDo you still want to close it?");
    EXPECT_EQ(asked, QStringList({MessageBoxes::Displayed("This Method already exists as:\r\r"
                                                          "CAMBRIDGE SURPRISE MAJOR\r\rDo you "
                                                          "want to rename it?"),
                                  "Save to which Library?", close, close, "Exit from Tambrel?",
                                  MessageBoxes::Displayed("The file\r\r" + existing +
                                                          "\r\ralready exists.\r\rDo you want "
                                                          "to replace it?")}));
    ASSERT_EQ(OpenTabs(), 1);
    EXPECT_TRUE(window->Card(window->CurrentMethod()).Edited);
    EXPECT_EQ(window->pnlStatus->text(), "");
    EXPECT_EQ(test::ReadFile(existing.toStdString()), "a file kept");
    ASSERT_TRUE(data->OpenTables("MAIN"));
    data->dbfMethods.SetOrderToTag("NAME");
    EXPECT_TRUE(data->dbfMethods.FindExact("8 CAMBRIDGE SURPRISE MAJOR"));
    EXPECT_FALSE(data->dbfMethods.FindExact("8 NEW NAME SURPRISE MAJOR"));
    data->CloseTables();
}

TEST_F(MainWindow, PrintingToAFileAsksEveryTimeAndReplacesOnlyOnYes)
{
    const QString cambridge = QString::fromStdString(dir.Path("cambridge.pdf"));
    // The printer writes files, and an earlier print chose one.
    window->printer.setOutputFormat(QPrinter::PdfFormat);
    window->printer.setOutputFileName(cambridge);
    QStringList offered;
    std::deque<QString> files;
    window->choosePrintFile = [&](const QString& suggested) {
        offered << suggested;
        QString file;
        if (!files.empty()) {
            file = files.front();
            files.pop_front();
        }
        return file;
    };
    Enter(8, "CAMBRIDGE SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12");
    onDialog = [](QDialog& dialog) { dialog.setResult(QDialog::Accepted); };
    files = {cambridge};
    window->PrintMethod();
    ASSERT_EQ(offered, QStringList({SuggestedPrintFile("CAMBRIDGE SURPRISE MAJOR")}));
    EXPECT_TRUE(PdfTitled(cambridge.toStdString(), "CAMBRIDGE SURPRISE MAJOR"));
    const std::string printed = test::ReadFile(cambridge.toStdString());

    // The same file chosen by mistake: No, then Cancel prints nothing and keeps the choices
    // of the print dialog out of the options.
    Enter(6, "PLAIN BOB MINOR", "x16x16x16x16x16x12");
    const TBellOptions global = window->GlobalOptions;
    onDialog = [&](QDialog& dialog) {
        window->frmPrint->chkColour->setChecked(!global.PrintColour);
        window->frmPrint->speCopies->setValue(3);
        dialog.setResult(QDialog::Accepted);
    };
    files = {cambridge, QString()};
    answers = {false};
    window->PrintMethod();
    EXPECT_EQ(offered.mid(1), QStringList(2, SuggestedPrintFile("PLAIN BOB MINOR")));
    EXPECT_EQ(shown.back().kind, BoxKind::Question);
    EXPECT_EQ(Last(),
              "The file\r\r" + cambridge + "\r\ralready exists.\r\rDo you want to replace it?");
    EXPECT_EQ(test::ReadFile(cambridge.toStdString()), printed);
    EXPECT_EQ(window->GlobalOptions.PrintColour, global.PrintColour);
    EXPECT_EQ(window->Card(window->CurrentMethod()).PageOptions.Copies, global.Copies);

    files = {cambridge};
    answers = {true};
    window->PrintMethod();
    EXPECT_TRUE(PdfTitled(cambridge.toStdString(), "PLAIN BOB MINOR"));
    EXPECT_EQ(window->GlobalOptions.PrintColour, !global.PrintColour);
}

TEST_F(MainWindow, HelpFromADialogComesToTheFrontAndAnswers)
{
    std::filesystem::create_directories(dir.Path("program/help"));
    std::string page = "<h1>Help</h1>";
    for (int line = 1; line <= 200; ++line) {
        page += "<p>Line " + std::to_string(line) + "</p>";
    }
    for (const std::string topic :
         {"index.htm", "editing_method.htm", "options.htm", "reading_diagram.htm"}) {
        dir.Write("program/help/" + topic, page);
    }
    help->Command("OPEN");
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    Enter(8, "CAMBRIDGE SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12");
    window->execDialog = nullptr; // the real modal dialogs

    struct Case {
        QDialog* dialog;
        std::function<void()> open;
        QString page;
    };
    for (const Case& c :
         {Case{window->frmEdit, [this] { window->MethodAction("EDIT"); }, "editing_method.htm"},
          Case{window->frmOptions, [this] { window->SetOptions(); }, "options.htm"},
          Case{window->frmPrint, [this] { window->PrintMethod(); }, "reading_diagram.htm"}}) {
        SCOPED_TRACE(c.dialog->objectName().toStdString());
        bool scrolled = false;
        QTimer::singleShot(0, c.dialog, [&] {
            // The dialog closes however the checks end.
            const std::unique_ptr<QDialog, void (*)(QDialog*)> closer(
                c.dialog, [](QDialog* dialog) { dialog->reject(); });
            ASSERT_EQ(QApplication::activeModalWidget(), c.dialog);
            auto* button = c.dialog->findChild<QPushButton*>("butHelp");
            ASSERT_NE(button, nullptr);
            button->click();
            ASSERT_NE(help->Browser(), nullptr);
            EXPECT_EQ(help->Browser()->source().fileName(), c.page);
            QWidget* helpWindow = help->Browser()->window();
            EXPECT_TRUE(QTest::qWaitForWindowActive(helpWindow));
            QScrollBar* bar = help->Browser()->verticalScrollBar();
            bar->setValue(0);
            help->Browser()->setFocus();
            QTest::keyClick(helpWindow->windowHandle(), Qt::Key_Space); // a page further down
            scrolled = bar->value() > 0;
            EXPECT_TRUE(c.dialog->isVisible());
        });
        c.open();
        EXPECT_TRUE(scrolled);
        EXPECT_FALSE(c.dialog->isVisible());
    }
}

TEST_F(MainWindow, EntryDialogTakesTheCentralCouncilForm)
{
    TfrmEdit& edit = *window->frmEdit;
    onDialog = [&](QDialog&) {
        edit.setResult(QDialog::Rejected);
        QTest::keyClicks(edit.cboBells, "6");
        edit.edtName->setText("PLAIN BOB MINOR");
        QTest::keyClicks(edit.edtPlaces, "x16x16x16,12");
        edit.butOKClick();
    };
    window->MethodAction("NEW");
    ASSERT_EQ(OpenTabs(), 1);
    const TBellStore& store = window->Card(window->CurrentMethod()).Store();
    EXPECT_EQ(store.Bells(), 6);
    EXPECT_EQ(store.PlaceNotation(), "-16-16-16-16-16-12");
    EXPECT_EQ(store.LeadHeadCode(), "A");

    // A lead of 68 changes typed in 54 characters: more than the box takes when written out.
    const std::string longLead = test::Repeat("-1D", 17) + ",1D";
    std::string expanded;
    onDialog = [&](QDialog&) {
        edit.setResult(QDialog::Rejected);
        EXPECT_EQ(edit.edtPlaces->text(), "-16-16-16-16-16-12");
        edit.edtPlaces->setText("-38-14-1258-36-14-58-16-78,12"); // Cambridge Major's, on six
        edit.butOKClick();
        EXPECT_EQ(shown.back().kind, BoxKind::Warning);
        EXPECT_EQ(Last(), "Error in the Place Notation:\r\r-38-14-1258-36-14-58-16-78-16-58-14-36-"
                          "1258-14-38-12\r\rError at:\r\r-38 <--");
        EXPECT_EQ(edit.edtPlaces->text(), "-38-14-1258-36-14-58-16-78,12"); // as typed
        edit.cboBells->setCurrentIndex(12);
        edit.edtPlaces->setText(QString::fromStdString(longLead));
        edit.butOKClick();
    };
    window->MethodAction("EDIT");
    expanded = store.PlaceNotation();
    EXPECT_EQ(store.Bells(), 16);
    EXPECT_GT(expanded.size(), 98U);
    EXPECT_EQ(store.LeadLength(), 68);

    onDialog = [&](QDialog&) {
        edit.setResult(QDialog::Rejected);
        EXPECT_EQ(edit.edtPlaces->text().toStdString(), expanded); // all of it
        edit.butOKClick();
    };
    window->MethodAction("EDIT");
    EXPECT_EQ(store.PlaceNotation(), expanded);
}

TEST_F(MainWindow, NumberOfBellsByTypingWithItsFocusShown)
{
    TfrmEdit& edit = *window->frmEdit;
    edit.Prepare(window->Card(1), window->GlobalOptions);
    QTest::keyClicks(edit.cboBells, "6");
    EXPECT_EQ(edit.cboBells->currentText(), "  6 - Minor");
    QTest::qWait(QApplication::keyboardInputInterval() + 100); // a new search
    QTest::keyClicks(edit.cboBells, "1");
    EXPECT_EQ(edit.cboBells->currentText(), "10 - Royal");
    QTest::keyClicks(edit.cboBells, "2");
    EXPECT_EQ(edit.cboBells->currentText(), "12 - Maximus");
    EXPECT_EQ(edit.cboBells->itemText(0), "  4 - Minimus");

    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    const QColor frame = edit.cboBells->palette().color(QPalette::Highlight);
    const auto edge = [&] {
        const QImage picture = edit.cboBells->grab().toImage();
        return picture.pixelColor(1, picture.height() / 2);
    };
    edit.cboBells->setFocus();
    ASSERT_TRUE(edit.cboBells->hasFocus());
    EXPECT_EQ(edge(), frame);
    edit.edtName->setFocus();
    EXPECT_NE(edge(), frame);
    edit.hide();
}

// The buttons and check box a state enables: "SELECT", "IMPORT" or "OFF".
void ExpectState(const TfrmImportMethods& dialog, ImportState state)
{
    EXPECT_EQ(dialog.State(), state);
    EXPECT_EQ(dialog.butSelect->isEnabled(), state == ImportState::Select);
    EXPECT_EQ(dialog.butImport->isEnabled(), state == ImportState::Import);
    EXPECT_EQ(dialog.butReplace->isEnabled(), state == ImportState::Import);
    for (const QWidget* control : std::initializer_list<const QWidget*>{
             dialog.butClose, dialog.butHelp, dialog.chkCheckMyLib}) {
        EXPECT_EQ(control->isEnabled(), state != ImportState::Off);
    }
}

TEST_F(MainWindow, ImportMethodsDialogFromFileToBothModes)
{
    Enter(6, "PLAIN BOB MINOR", "x16x16x16x16x16x12");
    window->GlobalOptions.CheckMyLib = true;
    window->ResetOpenPosition = false; // as after the browser's first showing
    TfrmImportMethods& form = *window->frmImportMethods;
    const std::string staging = dir.Path("Library/ImpMeths.dbf");
    const QString bad = QString::fromStdString(dir.Write("bad.csv", "8,NO MARKER,-1-1 LH2,A\n"));
    const QString good = QString::fromStdString(
        dir.Write("extra.csv", "0,TB_Method_Library,\"Extra 1\",\n"
                               "6,\"EXTRA BOB MINOR\",\"-1-1-1-1-1 LH2\",A\n"
                               "6,\"PLAIN BOB RENAMED\",\"x16x16x16x16x16x12\",A\n"
                               "6,\"ESCAPE\x1B\",\"-1-1-1 LH1\",A\n"));
    QString chosen;
    form.chooseFile = [&] { return chosen; };
    bool replace = false; // the answer to the replace question
    const QString kMsgCloseEdited =
        QStringLiteral("The Current Method has been edited.\r\rDo you still want to close it?");
    std::vector<ImportState> statesAsked; // the state while a question is shown
    messages.hook = [&](BoxKind kind, const QString&, const QString& text) {
        shown.push_back({kind, text});
        statesAsked.push_back(form.State());
        ExpectState(form, form.State());
        if (text.startsWith(QStringLiteral("Replace the "))) {
            return replace;
        }
        return kind != BoxKind::Question || text == kMsgCloseEdited; // every rename declined
    };
    onDialog = [&](QDialog& dialog) {
        EXPECT_EQ(&dialog, &form);
        EXPECT_EQ(form.lblFile->text(), "Select the File from which to Import Methods");
        EXPECT_EQ(form.lblProgress->text(), "Progress");
        EXPECT_EQ(form.prgImport->value(), 0);
        EXPECT_TRUE(form.chkCheckMyLib->isChecked());
        ExpectState(form, ImportState::Select);
        EXPECT_TRUE(std::filesystem::exists(staging));
        EXPECT_FALSE(form.lblClosed->isHidden()); // the open method went, and it says why
        EXPECT_TRUE(form.butDetails->isHidden());

        form.butSelect->click(); // cancelled: nothing read
        ExpectState(form, ImportState::Select);
        chosen = bad;
        form.butSelect->click();
        EXPECT_EQ(Last(), "Unable to import Methods from file:\r\r" + bad);
        EXPECT_EQ(form.lblProgress->text(), "Progress");
        ExpectState(form, ImportState::Select);

        chosen = good;
        form.butSelect->click();
        EXPECT_EQ(form.lblFile->text(), "Import Methods from the file extra.csv");
        EXPECT_EQ(form.lblProgress->text(), "Ready to Import");
        ExpectState(form, ImportState::Import);
        EXPECT_EQ(form.lblDetails->text(), "1 line of the file left out or changed: see Details.");
        form.butDetails->click();
        EXPECT_EQ(Last(), "Reading extra.csv left out or changed:\r\r"
                          "Line 4: a control character in a value; left out.");

        form.chkCheckMyLib->setChecked(false);
        form.butImport->click(); // the rename is asked and declined
        EXPECT_EQ(statesAsked.back(), ImportState::Off);
        EXPECT_EQ(Last(), "PLAIN BOB RENAMED exists in the Method Library\r\rbut with the name "
                          "PLAIN BOB MINOR.\r\rDo you want change the name?");
        EXPECT_EQ(form.lblProgress->text(), "3 Methods Checked, 1 Imported, 0 Renamed.");
        EXPECT_EQ(form.prgImport->maximum(), 3);
        EXPECT_EQ(form.prgImport->value(), 3);
        ExpectState(form, ImportState::Import);

        // The same file again, as the whole library: asked first, No (the default) keeps it.
        form.butReplace->click();
        EXPECT_EQ(Last(), "Replace the 6 Methods of the Main Library with the 2 Methods of "
                          "extra.csv?");
        EXPECT_EQ(form.lblProgress->text(), "3 Methods Checked, 1 Imported, 0 Renamed.");
        replace = true;
        form.butReplace->click();
        EXPECT_EQ(form.lblProgress->text(), "2 Methods Imported");
        form.butClose->click();
    };
    window->ImportMethods();
    EXPECT_EQ(dialogs, 2); // the entry dialog, then the import
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(OpenTabs(), 0);
    EXPECT_FALSE(window->MethodCommandsEnabled());
    EXPECT_FALSE(window->GlobalOptions.CheckMyLib); // taken from the box at the close
    EXPECT_FALSE(std::filesystem::exists(staging));
    EXPECT_TRUE(window->ResetOpenPosition);

    ASSERT_TRUE(data->OpenTables("MAIN", TableAccess::Read));
    EXPECT_EQ(data->dbfMethods.RecordCount(), 3U);
    data->CloseTables();
}

TEST_F(MainWindow, ImportCallsDialogReplacesTheCallsForLaterMethods)
{
    TfrmImportCalls& form = *window->frmImportCalls;
    form.chooseFile = [&] {
        return QString::fromStdString(dir.Write("calls.csv", "0,00,TB_Calls_Library,\"Mine 1\",\n"
                                                             "6,1,\"Bob\",14,6\n"
                                                             "6,2,\"Single\",1234,5\n"));
    };
    onDialog = [&](QDialog&) {
        EXPECT_EQ(form.lblFile->text(), "Select the File from which to Import Calls");
        EXPECT_EQ(form.State(), ImportState::Select);
        EXPECT_FALSE(form.butReplace->isEnabled());
        form.butSelect->click();
        EXPECT_EQ(form.lblFile->text(), "Import Calls from the file calls.csv");
        EXPECT_TRUE(form.butReplace->isEnabled());
        EXPECT_FALSE(form.butSelect->isEnabled());
        form.butReplace->click();
        EXPECT_EQ(Last(), "Replace the 108 Calls of the Calls Library with the 2 Calls of "
                          "calls.csv?");
        EXPECT_EQ(form.lblProgress->text(), "3 Calls Imported");
        EXPECT_EQ(form.State(), ImportState::Import);
        form.reject(); // closed by its window: the staging file goes all the same
    };
    window->ImportCalls();
    EXPECT_FALSE(std::filesystem::exists(dir.Path("Library/ImpCalls.dbf")));
    Enter(6, "PLAIN BOB MINOR", "x16x16x16x16x16x12");
    EXPECT_EQ(window->Card(window->CurrentMethod()).Store().BobLines(), "6");
} // namespace tambrel

TEST_F(MainWindow, ImportsRefusedChangeNothing)
{
    // An edited method kept open stops the form.
    Enter(6, "PLAIN BOB MINOR", "x16x16x16x16x16x12");
    answers = {false};
    window->ResetOpenPosition = false;
    window->ImportMethods();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(OpenTabs(), 1);

    // A library held by another program: said, and no dialog.
    window->CloseAll();
    TDbf held(kMethodTags, kMethodLayout);
    held.SetDbfFileName(dir.Path("Library/Methods.dbf"));
    ASSERT_TRUE(held.Open(TableAccess::Read));
    window->ImportMethods();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(Last(), "The table Methods.dbf is in use by another program (or another window of "
                      "Tambrel). Close it there and try again.");
    EXPECT_FALSE(data->dbfTemp.Active());
    EXPECT_FALSE(std::filesystem::exists(dir.Path("Library/ImpMeths.dbf")));
    EXPECT_FALSE(window->ResetOpenPosition);
}

TEST(SingleInstance, TheSecondStartRaisesTheFirst)
{
    const QString key = QStringLiteral("tambrel-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(key);
    ASSERT_EQ(first.Claim(), SingleInstance::Outcome::First);
    int raised = 0;
    QObject::connect(&first, &SingleInstance::raiseRequested, [&] { ++raised; });
    SingleInstance second(key);
    EXPECT_EQ(second.Claim(), SingleInstance::Outcome::AlreadyRuns);
    for (int i = 0; i < 50 && raised == 0; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(raised, 1);
}

TEST(SingleInstance, ALockLeftByACrashDoesNotBlock)
{
    const QString key = QStringLiteral("tambrel-stale-%1").arg(QCoreApplication::applicationPid());
    SingleInstance guard(key);
    const QString folder = guard.Folder();
    ASSERT_FALSE(folder.isEmpty());
    {
        // A lock as a program that has since died would have left it.
        QFile lock(folder + QLatin1Char('/') + key + QStringLiteral(".lock"));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(2147483) + "\n" +
                   QCoreApplication::applicationName().toUtf8() + "\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n");
    }
    EXPECT_EQ(guard.Claim(), SingleInstance::Outcome::First);
}

// Another user's lock naming a running process, and their socket, planted where the guard
// lives: neither is trusted, and this program runs as the first.
TEST(SingleInstance, APlantedGuardOfAnotherUserIsIgnored)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "planting files of another user needs root";
    }
    const QString key =
        QStringLiteral("tambrel-planted-%1").arg(QCoreApplication::applicationPid());
    const QString folder = SingleInstance(key).Folder();
    ASSERT_FALSE(folder.isEmpty());
    const QString lockPath = folder + QLatin1Char('/') + key + QStringLiteral(".lock");
    {
        QFile lock(lockPath);
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write("1\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n");
    }
    QLocalServer planted;
    ASSERT_TRUE(planted.listen(folder + QLatin1Char('/') + key + QStringLiteral(".socket")));
    const uid_t nobody = 65534;
    ASSERT_EQ(::chown(QFile::encodeName(lockPath).constData(), nobody, nobody), 0);
    ASSERT_EQ(::chown(QFile::encodeName(planted.fullServerName()).constData(), nobody, nobody), 0);
    int asked = 0;
    QObject::connect(&planted, &QLocalServer::newConnection, [&] { ++asked; });

    SingleInstance guard(key);
    EXPECT_EQ(guard.Claim(), SingleInstance::Outcome::First);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(asked, 0);
}

// A runtime folder of another user, open to all, is never used for the guard.
TEST(SingleInstance, AnotherUsersFolderIsNotUsed)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a folder of another user needs root";
    }
    const test::TempDir dir;
    const std::string theirs = dir.Path("theirs");
    std::filesystem::create_directory(theirs);
    std::filesystem::permissions(theirs, std::filesystem::perms::all);
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    const QByteArray kept = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(theirs));
    const QString folder = SingleInstance(QStringLiteral("tambrel-their-folder")).Folder();
    if (kept.isEmpty()) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", kept);
    }
    EXPECT_NE(folder.toStdString(), theirs);
    if (!folder.isEmpty()) {
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &info), 0);
        EXPECT_EQ(info.st_uid, ::getuid());
        EXPECT_EQ(info.st_mode & 077U, 0U);
    }
}

} // namespace
} // namespace tambrel
