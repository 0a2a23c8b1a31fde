#include "analysis/Messages.h"
#include "app/gui/SingleInstance.h"
#include "app/gui/TfrmFind.h"
#include "app/gui/TfrmImportCalls.h"
#include "app/gui/TfrmImportMethods.h"
#include "app/gui/TfrmIntMeth.h"
#include "app/gui/TfrmOpen.h"
#include "app/gui/TfrmOptions.h"
#include "display/Printing.h"
#include "display/TBellCard.h"
#include "display/TBellPageWidget.h"
#include "display/TfrmPrint.h"
#include "library/LibraryTables.h"
#include "library/OptionsTable.h"
#include "tests/app/GuiFixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QCursor>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QLocalServer>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSysInfo>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include <optional>
#include <type_traits>

#include <sys/stat.h>
#include <unistd.h>

namespace tambrel {
namespace {

const QString kMinor = QStringLiteral("x16x16x16x16x16x12");
const QString kCambridge = QStringLiteral("-38-14-1258-36-14-58-16-78LH12");
const QString kCloseEdited =
    QStringLiteral("The Current Method has been edited.\r\rDo you still want to close it?");

// Whether a PDF carries this document title, which the writer stores in UTF-16, high byte first.
bool PdfTitled(const QString& file, const QString& title)
{
    std::string utf16;
    for (const QChar c : title) {
        utf16 += static_cast<char>(c.unicode() >> 8);
        utf16 += static_cast<char>(c.unicode() & 0xFF);
    }
    return test::ReadFile(file.toStdString()).find(utf16) != std::string::npos;
}

// The main window over a library whose names and notations a save can collide with, and the
// bundled calls.
class MainWindow : public test::WindowFixture {
protected:
    MainWindow()
        : WindowFixture("0,TB_Method_Library,\"Test 1\",\n"
                        "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n"
                        "6,\"PLAIN BOB MINOR\",\"-1-1-1 LH2\",A\n"
                        "8,\"TAKEN NAME MAJOR\",\"-1-1-1-1 LH1\",G\n",
                        test::BundledCalls())
    {
    }
    // Print files are chosen from `files` in turn, each suggestion kept in `suggested`.
    void ChooseFiles(std::deque<QString> files)
    {
        window->printer.setOutputFormat(QPrinter::PdfFormat);
        window->choosePrintFile = [this, all = std::move(files)](const QString& offer) mutable {
            suggested << offer;
            const QString file = all.front();
            all.pop_front();
            return file;
        };
    }
    // Runs `command`, handing the dialog it shows to `inDialog`.
    template <class Dialog = QDialog>
    void Run(QAction* command, const std::type_identity_t<std::function<void(Dialog&)>>& inDialog)
    {
        onDialog = [&](QDialog& dialog) { inDialog(dynamic_cast<Dialog&>(dialog)); };
        command->trigger();
        onDialog = nullptr;
    }
    // Prints the current method to the file `name` through an accepted print dialog.
    QString PrintTo(const char* name, const std::function<void()>& inDialog = {})
    {
        const QString file = QString::fromStdString(dir.Path(name));
        ChooseFiles({file});
        Run(window->mnuFPrint, [&](QDialog& dialog) {
            if (inDialog) {
                inDialog();
            }
            dialog.setResult(QDialog::Accepted);
        });
        return file;
    }
    // The lead-head group of the method stored under `key`, if it is there.
    std::optional<std::string> Stored(const std::string& key, const char* table = "MAIN")
    {
        EXPECT_TRUE(data.OpenTables(table, TableAccess::Read));
        data.dbfMethods.SetOrderToTag("NAME");
        std::optional<std::string> group;
        if (data.dbfMethods.FindExact(key)) {
            group = data.dbfMethods.FieldText("group");
        }
        data.CloseTables();
        return group;
    }
    QStringList suggested;
};

TEST_F(MainWindow, FiveMethodsAtMostEachClosedToItsNeighbourAndOpenFillsTheFirstGap)
{
    for (const char* name : {"ONE", "TWO", "THREE", "FOUR", "FIVE"}) {
        Enter(6, name, kMinor);
    }
    const int before = dialogs;
    window->mnuFNew->trigger();
    EXPECT_EQ(Last(), "A maximum of five methods can be shown.");
    EXPECT_EQ(dialogs, before);

    Front(3);
    answers = {true};
    window->mnuFClose->trigger();
    EXPECT_EQ(Last(), "THREE\r\r" + kCloseEdited);
    EXPECT_EQ(CurrentName(), "TWO");
    // The tabs in turn by keyboard, round the ends, skipping the closed one.
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const Qt::KeyboardModifier ctrl = Qt::ControlModifier;
    const std::pair<QKeyCombination, const char*> steps[] = {
        {ctrl | Qt::Key_Tab, "FOUR"},     {ctrl | Qt::Key_PageUp, "TWO"},
        {ctrl | Qt::Key_PageUp, "ONE"},   {ctrl | Qt::ShiftModifier | Qt::Key_Backtab, "FIVE"},
        {ctrl | Qt::Key_PageDown, "ONE"}, {ctrl | Qt::Key_Tab, "TWO"}};
    for (const auto& [keys, name] : steps) {
        QTest::keyClick(window.get(), keys.key(), keys.keyboardModifiers());
        EXPECT_EQ(CurrentName(), name);
    }
    Front(1);
    Current().Edited = false;
    window->mnuFClose->trigger(); // the leftmost: its right neighbour follows
    EXPECT_EQ(CurrentName(), "TWO");
    answers = {false}; // keep it after all
    window->mnuFClose->trigger();
    EXPECT_EQ(OpenTabs(), 3);
    window->mnuFNew->trigger(); // cancelled: nothing opens
    EXPECT_EQ(OpenTabs(), 3);
    EXPECT_EQ(CurrentName(), "TWO");
    window->GlobalOptions.Bells = 8;
    Run<TfrmOpen>(window->mnuFOpen, [](TfrmOpen& open) {
        QTest::keyClicks(open.edtFind, "camb");
        open.butOKClick();
    });
    EXPECT_EQ(window->CurrentMethod(), 1);
    EXPECT_FALSE(Current().Edited);
    EXPECT_EQ(window->tbsMain->tabToolTip(window->tbsMain->currentIndex()),
              "CAMBRIDGE SURPRISE MAJOR");
}

TEST_F(MainWindow, ViewsRefusedKeepTheViewList)
{
    Enter(6, "PLAIN BOB MINOR", kMinor);
    Enter(16, "LONG COURSE", QString::fromStdString(test::Repeat("x16", 20) + "LH1D"));
    EXPECT_EQ(Last(), "This method has more than 2000 rows in the Plain Course.\r\rOnly the first "
                      "2000 changes are shown.");
    struct Case {
        int slot;
        QAction* view;
        std::string_view refusal; // the composition texts are pinned with the sheets
    };
    for (const Case& c : {
             Case{1, window->mnuVComposition, kMsgCompFewBells},
             Case{1, window->mnuVInterMethod,
                  "Inter-Method Falseness Sheets are only available for methods with 7 or more "
                  "bells."},
             Case{2, window->mnuVComposition, kMsgCompTooLong},
             // Falseness against part of a course would look complete: refused before the dialog.
             Case{2, window->mnuVInterMethod,
                  "Inter-Method Falseness Sheets are not available for methods \rwith more than "
                  "2000 rows in the Plain Course."},
         }) {
        Front(c.slot);
        const int before = dialogs;
        c.view->trigger();
        EXPECT_EQ(Last().toStdString(), c.refusal);
        EXPECT_EQ(dialogs, before);
        EXPECT_EQ(window->cboView->currentIndex(), 0);
        EXPECT_TRUE(window->mnuVDiagram->isChecked());
    }
}

// The sheets themselves are tested with the display; here the views are chosen and printed.
TEST_F(MainWindow, TheSheetViewsShowAndPrint)
{
    Enter(8, "CAMBRIDGE SURPRISE MAJOR", kCambridge);
    Enter(8, "YORKSHIRE SURPRISE MAJOR", "-38-14-58-16-12-38-14-78LH12");
    Enter(7, "STEDMAN TRIPLES", "3.1.7.3.1.3.1.3.7.1.3.1");
    Front(1);
    TBellCard& card = window->Card(1);
    // Each progress text, with whether the hourglass was up while it stood.
    std::vector<std::pair<QString, bool>> statuses;
    const auto status = card.onStatus;
    card.onStatus = [&](const QString& text) {
        const QCursor* cursor = QApplication::overrideCursor();
        statuses.emplace_back(text, cursor != nullptr && cursor->shape() == Qt::WaitCursor);
        status(text);
    };
    const std::size_t messagesBefore = shown.size();
    window->mnuVStatistics->trigger();
    EXPECT_EQ(card.View, PageView::Statistics);
    EXPECT_EQ(window->cboView->currentIndex(), 1);
    EXPECT_EQ(statuses, (std::vector<std::pair<QString, bool>>{{" Getting Statistics...", true},
                                                               {"", true}}));
    bool posterOffered = true; // printing a sheet offers only the copies
    const QString file =
        PrintTo("sheet.pdf", [&] { posterOffered = !window->frmPrint->rgpPoster->isHidden(); });
    EXPECT_FALSE(posterOffered);
    EXPECT_TRUE(PdfTitled(file, "CAMBRIDGE SURPRISE MAJOR"));

    window->cboView->setCurrentIndex(2); // the view list does what the menu does
    emit window->cboView->activated(2);
    EXPECT_EQ(card.View, PageView::Composition);
    EXPECT_TRUE(window->mnuVComposition->isChecked());
    EXPECT_EQ(shown.size(), messagesBefore);

    // The second-method dialog offers the open methods of the same stage; Cancel keeps the view.
    QStringList offered;
    Run<TfrmIntMeth>(window->mnuVInterMethod, [&](TfrmIntMeth& choose) {
        for (int row = 0; row < choose.lstMethods->count(); ++row) {
            offered.push_back(choose.lstMethods->item(row)->text());
        }
        choose.butCancel->click();
    });
    EXPECT_EQ(offered, (QStringList{"CAMBRIDGE SURPRISE MAJOR", "YORKSHIRE SURPRISE MAJOR"}));
    EXPECT_EQ(window->cboView->currentIndex(), 2);
    Run<TfrmIntMeth>(window->mnuVInterMethod, [](TfrmIntMeth& choose) {
        choose.lstMethodsDblClick(choose.lstMethods->item(1));
    });
    EXPECT_EQ(card.View, PageView::InterMethod);
    EXPECT_EQ(card.IntMeth().Sheet().subtitle, "Against FCH's of YORKSHIRE SURPRISE MAJOR");
    // Chosen again while shown: the dialog comes back at the method chosen last.
    QString selected;
    Run<TfrmIntMeth>(window->mnuVInterMethod, [&](TfrmIntMeth& choose) {
        selected = choose.lstMethods->currentItem()->text();
        choose.butCancel->click();
    });
    EXPECT_EQ(selected, "YORKSHIRE SURPRISE MAJOR");
    EXPECT_EQ(card.View, PageView::InterMethod);
    // Yorkshire's page closed: the sheet, drawn again as its tab comes to the front, says so.
    Front(2);
    answers = {true};
    window->CloseCurrent();
    const auto& pages = card.IntMeth().Layout().pages;
    EXPECT_TRUE(pages.size() == 1 && pages[0].size() == 1);
    window->mnuVDiagram->trigger();
    EXPECT_EQ(card.View, PageView::Diagram);
}

// The touch view: its calling line is there with the view, proves and draws as it is typed, says
// why a calling is refused in the result line rather than in a box, and stays with the page.
TEST_F(MainWindow, TouchViewProvesTheCallingAsItIsTyped)
{
    Enter(6, "PLAIN BOB MINOR", kMinor);
    Enter(8, "CAMBRIDGE SURPRISE MAJOR", kCambridge);
    Front(1);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_FALSE(window->pnlCalling->isVisible());
    QTest::keyClick(window.get(), Qt::Key_5, Qt::ControlModifier);
    TBellCard& card = window->Card(1);
    EXPECT_EQ(card.View, PageView::Touch);
    EXPECT_EQ(window->cboView->currentText(), "Touch");
    EXPECT_TRUE(window->pnlCalling->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), window->edtCalling);

    const std::size_t boxes = shown.size();
    const auto type = [&](const char* calling) {
        window->edtCalling->clear();
        QTest::keyClicks(window->edtCalling, calling);
        EXPECT_EQ(window->lblTouchResult->text(), card.Touch().ResultText());
        return card.Touch().ResultText();
    };
    EXPECT_EQ(type("(ppppb)3"), "180 changes, true, comes round.");
    const int drawn = card.Picture().Size().height();
    EXPECT_EQ(type("(pppsb)6"), "False: row 168 repeats row 59. (24 rows repeat.)");
    EXPECT_EQ(card.Calling, "(pppsb)6");
    // Page 2 holds a method of another stage: no lead of it here.
    EXPECT_EQ(type("p 2:b"), "There is no method of 6 bells on page 2.");
    // By calling positions: three Homes are the bob every fifth lead.
    window->chkByPositions->click();
    EXPECT_EQ(type("H H H"), "180 changes, true, comes round.");
    EXPECT_EQ(type("M"), "\"M\" is not a calling position on 6 bells.");
    // Home for the 5th instead of the tenor: another touch.
    EXPECT_EQ(test::Items(window->cboObservation).join(','), "2,3,4,5,6");
    window->cboObservation->setCurrentIndex(3);
    emit window->cboObservation->activated(3);
    EXPECT_EQ(type("H"), "Does not come round: ends at 143652 after 60 changes.");
    window->chkByPositions->click();
    EXPECT_EQ(type("pq"), "\"q\" is not a call: use p, b (or -) and s.");
    EXPECT_LT(card.Picture().Size().height(), drawn / 2); // the heading and the message alone
    EXPECT_EQ(shown.size(), boxes);

    Front(2);
    EXPECT_FALSE(window->pnlCalling->isVisible());
    Front(1);
    EXPECT_EQ(window->edtCalling->text(), "pq");
    EXPECT_TRUE(PdfTitled(PrintTo("touch.pdf"), "PLAIN BOB MINOR"));
    window->mnuVDiagram->trigger();
    EXPECT_FALSE(window->pnlCalling->isVisible());
}

// The library's decision is tested with the library; here the window asks, shows, writes and
// says where it went.
TEST_F(MainWindow, SavingAsksShowsAndSaysWhereItWent)
{
    Enter(8, "NEW NAME SURPRISE MAJOR", kCambridge);
    answers = {true};
    window->mnuFSave->trigger(); // the rename asked, and made
    EXPECT_EQ(shown.back().kind, BoxKind::Question);
    EXPECT_FALSE(Current().Edited);
    EXPECT_EQ(window->pnlStatus->text(), "Saved to the Main Library.");
    EXPECT_TRUE(Stored("8 NEW NAME SURPRISE MAJOR"));
    window->mnuFSave->trigger();
    EXPECT_EQ(shown.back().kind, BoxKind::Plain);
    EXPECT_EQ(window->pnlStatus->text(), "");

    Enter(8, "TAKEN NAME MAJOR", "x18x18x18x18x18x18x18x14");
    window->mnuFSave->trigger();
    EXPECT_EQ(shown.back().kind, BoxKind::Warning);
    EXPECT_TRUE(Current().Edited);

    // A new method goes to the chosen library without a box, with its lead-head group.
    Enter(8, "PLAIN BOB MAJOR", "x18x18x18x18x18x18x18x12");
    saveChoice = SaveChoice::Personal;
    const std::size_t before = shown.size();
    window->mnuFSave->trigger();
    EXPECT_EQ(shown.size(), before);
    EXPECT_EQ(window->pnlStatus->text(), "Saved to the Personal Library.");
    EXPECT_FALSE(Current().Edited);
    EXPECT_EQ(Stored("8 PLAIN BOB MAJOR", "PERSONAL"), "A ");
    window->CheckUnique();
    EXPECT_EQ(shown.back().kind, BoxKind::Information);
    EXPECT_TRUE(Last().endsWith("Personal Library as:\r\rPLAIN BOB MAJOR"));
    Enter(8, "ANY NAME", kCambridge);
    window->mnuTUnique->trigger();
    EXPECT_EQ(shown.back().kind, BoxKind::Warning);
    EXPECT_EQ(Last(), "This method exists in the Main Library as:\r\rNEW NAME SURPRISE MAJOR");

    // Too long for the library (its tidy form writes the asymmetric lead out): still edited.
    Enter(5, "LONG", QString::fromStdString(test::Repeat("3.1.5.1.", 6) + "3 LH 3.1.5"));
    window->mnuFSave->trigger();
    EXPECT_EQ(shown.back().kind, BoxKind::Information);
    EXPECT_TRUE(Current().Edited);
    EXPECT_FALSE(data.dbfMethods.Active());
    saveChoice = SaveChoice::Cancel;
    const std::size_t count = shown.size();
    window->mnuFSave->trigger();
    EXPECT_EQ(shown.size(), count);
}

// The title is the Council's: words that disagree with the notation are asked about (No saves
// nothing), a name without them is offered the full title (Enter keeps the name as typed).
TEST_F(MainWindow, SavingOffersTheFullTitleAndAsksWhenTheClassWordsDisagree)
{
    const QString yorkshire = QStringLiteral("-38-14-58-16-12-38-14-78,12");
    Enter(8, "YORKSHIRE DELIGHT MAJOR", yorkshire);
    answers = {false};
    window->mnuFSave->trigger();
    EXPECT_EQ(Last(), "The notation makes YORKSHIRE DELIGHT MAJOR a Surprise method. Save it "
                      "under this name anyway?");
    EXPECT_TRUE(Current().Edited);
    EXPECT_FALSE(Stored("8 YORKSHIRE DELIGHT MAJOR"));
    answers = {true};
    window->mnuFSave->trigger();
    EXPECT_TRUE(Stored("8 YORKSHIRE DELIGHT MAJOR"));
    EXPECT_TRUE(titlesOffered.isEmpty());

    const QString plain = QStringLiteral("x16x16x16x16x16x14");
    Enter(6, "DOUBLE OXFORD", plain);
    titleChoice = TitleChoice::Cancel;
    window->mnuFSave->trigger();
    ASSERT_EQ(titlesOffered.size(), 1);
    EXPECT_EQ(titlesOffered.back(), TitleOfferText("DOUBLE OXFORD", "DOUBLE OXFORD BOB MINOR"));
    EXPECT_TRUE(Current().Edited);
    EXPECT_FALSE(Stored("6 DOUBLE OXFORD"));
    titleChoice = TitleChoice::AsTyped;
    window->mnuFSave->trigger();
    EXPECT_TRUE(Stored("6 DOUBLE OXFORD"));

    Enter(8, "LINCOLN", QStringLiteral("-38-14-56-16-12-58-14-58,12"));
    titleChoice = TitleChoice::Full;
    window->mnuFSave->trigger();
    EXPECT_TRUE(Stored("8 LINCOLN SURPRISE MAJOR"));
    EXPECT_EQ(Current().Store().Name(), "LINCOLN SURPRISE MAJOR");
    EXPECT_EQ(window->tbsMain->tabToolTip(window->tbsMain->currentIndex()),
              "LINCOLN SURPRISE MAJOR");
    EXPECT_EQ(titlesOffered.size(), 3);
}

TEST_F(MainWindow, EntryDialogNewAndEdit)
{
    Run<TfrmEdit>(window->mnuFNew, [&](TfrmEdit& edit) {
        EXPECT_EQ(edit.windowTitle(), "New Method");
        EXPECT_TRUE(edit.butCopyName->isHidden());
        EXPECT_EQ(edit.edtName->text(), "UNTITLED METHOD");
        edit.edtName->setText("   ");
        edit.edtPlaces->clear();
        edit.butOKClick(); // the name is reported before the empty notation
        EXPECT_EQ(Last(), "No Method Name Entered.");
        edit.edtName->setText("PLAIN BOB MINOR");
        edit.butOKClick();
        EXPECT_EQ(Last(), "No Place Notation Entered.");
        QTest::keyClicks(edit.cboBells, "6");
        EXPECT_EQ(edit.lblClass->text(), "");            // no notation yet
        QTest::keyClicks(edit.edtPlaces, "x16x16x16,1"); // the Council's class as it is typed
        EXPECT_EQ(edit.lblClass->text(), "Place, palindromic double rotational: PLAIN PLACE MINOR");
        QTest::keyClicks(edit.edtPlaces, "2"); // the Central Council's form
        EXPECT_EQ(edit.lblClass->text(), "Bob, palindromic: PLAIN BOB MINOR");
        edit.edtName->setText("PLAIN");
        EXPECT_EQ(edit.lblClass->text(), "Bob, palindromic: PLAIN BOB MINOR");
        edit.cboBells->setCurrentIndex(7 - kMinBells); // a cross on seven: no class
        EXPECT_EQ(edit.lblClass->text(), "");
        edit.cboBells->setCurrentIndex(6 - kMinBells);
        edit.edtName->setText("PLAIN BOB MINOR");
        edit.butOKClick();
    });
    ASSERT_EQ(OpenTabs(), 1);
    const TBellStore& store = Current().Store();
    EXPECT_EQ(store.PlaceNotation(), "-16-16-16-16-16-12");
    EXPECT_EQ(window->GlobalOptions.Bells, 6);
    EXPECT_TRUE(window->lblEdited->isVisibleTo(window.get()));

    // A lead of 68 changes typed in 54 characters: more than the box takes when written out.
    const std::string longLead = test::Repeat("-1D", 17) + ",1D";
    Run<TfrmEdit>(window->mnuFEdit, [&](TfrmEdit& edit) {
        EXPECT_EQ(edit.windowTitle(), "Edit a Method");
        EXPECT_FALSE(edit.butCopyName->isHidden());
        edit.edtPlaces->setText("-38-14-1258-36-14-58-16-78,12"); // Cambridge Major's, on six
        edit.butOKClick();
        EXPECT_EQ(shown.back().kind, BoxKind::Warning);
        EXPECT_EQ(Last(), "Error in the Place Notation:\r\r-38-14-1258-36-14-58-16-78-16-58-14-36-"
                          "1258-14-38-12\r\rError at:\r\r-38 <--");
        EXPECT_EQ(edit.edtPlaces->text(), "-38-14-1258-36-14-58-16-78,12"); // as typed
        edit.cboBells->setCurrentIndex(12);
        edit.edtPlaces->setText(QString::fromStdString(longLead));
        edit.butOKClick();
    });
    const std::string expanded = store.PlaceNotation();
    EXPECT_EQ(store.Bells(), 16);
    EXPECT_EQ(store.LeadLength(), 68);
    Run<TfrmEdit>(window->mnuFEdit, [&](TfrmEdit& edit) {
        EXPECT_EQ(edit.edtPlaces->text().toStdString(), expanded); // all of it
        edit.cboBells->setCurrentIndex(8);                         // twelve: D is no bell there
        edit.butOKClick();
    });
    EXPECT_TRUE(Last().startsWith("Error in the Place Notation:"));
    EXPECT_EQ(store.Bells(), 16); // unchanged
}

TEST_F(MainWindow, NumberOfBellsByTypingWithItsFocusShown)
{
    TfrmEdit& edit = *window->frmEdit;
    window->GlobalOptions.Bells = 99; // not a stage: the dialog offers eight
    edit.Prepare(window->Card(1), window->GlobalOptions);
    EXPECT_EQ(edit.cboBells->currentIndex(), 4);
    QTest::keyClicks(edit.cboBells, "6");
    EXPECT_EQ(edit.cboBells->currentText(), "  6 - Minor");
    edit.cboBells->view()->keyboardSearch({}); // a new search, as after a pause
    QTest::keyClicks(edit.cboBells, "12");
    EXPECT_EQ(edit.cboBells->currentText(), "12 - Maximus");
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    const QColor frame = edit.cboBells->palette().color(QPalette::Highlight);
    const auto edge = [&] {
        const QImage picture = edit.cboBells->grab().toImage();
        return picture.pixelColor(1, picture.height() / 2);
    };
    edit.cboBells->setFocus();
    EXPECT_EQ(edge(), frame);
    edit.edtName->setFocus();
    EXPECT_NE(edge(), frame);
    edit.hide();
}

TEST_F(MainWindow, NewPagesTakeTheStagesLimitsAndTheOptionsDialogWrites)
{
    window->show();
    QCoreApplication::processEvents();
    window->FirstActivation();
    window->GlobalOptions.Size = 2;
    window->GlobalOptions.ShowBob = true;
    Enter(4, "PLAIN BOB MINIMUS", "x14x14x14x12");
    EXPECT_EQ(Current().PageOptions.Size, 1); // no call columns, no expanded size on four
    EXPECT_FALSE(Current().PageOptions.ShowBob);
    Run<TfrmOptions>(window->mnuVOptions, [](TfrmOptions& options) {
        EXPECT_EQ(test::Items(options.cboSize), QStringList({" Compressed", " Normal", " Fixed"}));
        EXPECT_FALSE(options.chkShowBob->isEnabled());
        EXPECT_FALSE(options.tabs->isTabEnabled(options.tabs->indexOf(options.tbsCalls)));
        options.cboSize->setCurrentIndex(2); // " Fixed"
        options.butOkClick();
    });
    EXPECT_EQ(Current().PageOptions.Size, 3);

    Enter(8, "CAMBRIDGE SURPRISE MAJOR", kCambridge);
    TBellOptions& page = Current().PageOptions;
    page.BlueBell1 = 10;
    Run<TfrmOptions>(window->mnuVOptions, [](TfrmOptions& options) {
        EXPECT_EQ(test::Items(options.cboSize),
                  QStringList({" Compressed", " Normal", " Expanded", " Fixed"}));
        EXPECT_EQ(options.cboBlueLine1->currentIndex(), 8); // above the stage: the tenor
        EXPECT_EQ(options.cboLead2Show->itemText(2), "2 - 15738264");
        EXPECT_EQ(options.windowTitle(), "Set Options - Calls Library built Tambrel 2026-12");
        options.cboBobType->setCurrentIndex(2); // the 16 bob
        emit options.cboBobType->activated(2);
        EXPECT_EQ(options.edtBobLines->text(), "678");
        options.cboLead2Show->setCurrentIndex(3);
        options.cboNumbers->setCurrentIndex(2);
        options.butDefaultClick();
    });
    EXPECT_EQ(page.BobType, "03");
    EXPECT_EQ(page.LeadToShow, 3);
    EXPECT_EQ(window->GlobalOptions.Numbers, 2);
    EXPECT_EQ(window->GlobalOptions.LeadToShow, 0); // not the lead, not the calls
    EXPECT_EQ(window->GlobalOptions.BobType, "");
    EXPECT_EQ(Current().Store().GetBobChange(16), "16"); // the calls worked out again
    Run<TfrmOptions>(window->mnuVOptions, [](TfrmOptions& options) {
        options.cboNumbers->setCurrentIndex(1);
        options.cboNotation->setCurrentIndex(1);
        options.butOkClick();
    });
    EXPECT_EQ(page.Numbers, 1);
    EXPECT_EQ(window->GlobalOptions.Numbers, 2); // this method only
    // The notation form is the user's, for every page and the next start.
    EXPECT_TRUE(window->GlobalOptions.CCNotation);
    EXPECT_TRUE(window->Card(1).PageOptions.CCNotation);
    EXPECT_EQ(QSettings().value("display/placeNotationForm").toString(), "cc");
    // The entry dialog shows and copies that form; left alone, the page keeps its notation.
    Run<TfrmEdit>(window->mnuFEdit, [](TfrmEdit& edit) {
        EXPECT_EQ(edit.edtPlaces->text(), "-38-14-1258-36-14-58-16-78,12");
        edit.butCopyPlaces->click();
        edit.butOKClick();
    });
    EXPECT_EQ(QApplication::clipboard()->text(), "-38-14-1258-36-14-58-16-78,12");
    EXPECT_EQ(Current().Store().PlaceNotation(), kCambridge.toStdString());
    QSettings().remove("display/placeNotationForm"); // the next window starts as a new user's

    // Long names are cut on the tabs, and an "&" is no access key there.
    Enter(6, QString(60, QLatin1Char('W')), kMinor);
    const QString caption = window->tbsMain->tabText(window->tbsMain->currentIndex());
    EXPECT_TRUE(caption.endsWith("...")) << caption.toStdString();
    EXPECT_LT(caption.size(), 60);
    Enter(6, "BELLS & WHISTLES <1>", kMinor);
    EXPECT_EQ(window->tbsMain->tabText(window->tbsMain->currentIndex()), "BELLS && WHISTLES <1>");
}

// The search runs beside the window, the busy pointer over all of the program meanwhile.
TEST_F(MainWindow, FindSimilarShowsItsDialogOrSaysWhyNot)
{
    Enter(6, "PLAIN BOB MINOR", kMinor);
    window->ResetOpenPosition = false;
    bool busy = false;
    const std::size_t messagesBefore = shown.size();
    Run<TfrmFind>(window->mnuTFind, [&](TfrmFind& find) {
        QSignalSpy ended(&find, &TfrmFind::searchEnded);
        find.butOK->click();
        busy = QApplication::overrideCursor() != nullptr &&
               QApplication::overrideCursor()->shape() == Qt::BusyCursor;
        ASSERT_TRUE(ended.count() > 0 || ended.wait(30'000));
        EXPECT_EQ(find.lblFound->text(), "13");
    });
    EXPECT_EQ(dialogs, 2);
    EXPECT_TRUE(busy);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(shown.size(), messagesBefore);
    EXPECT_TRUE(window->ResetOpenPosition); // the find library was written anew
    Enter(9, "GRANDSIRE CATERS", "3.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1");
    window->mnuTFind->trigger();
    EXPECT_EQ(Last(), "To use Find Similar Methods, the method must be:\r\r    Symetric\r    On a "
                      "maximum of 8 Bells\r    Have 40 or less Changes in a lead");
}

TEST_F(MainWindow, MethodCommandsOnlyWhileAMethodIsOpenAndExitAsks)
{
    const auto expectEnabled = [&](bool enabled) {
        for (QAction* command :
             {window->mnuFClose, window->mnuFCloseAll, window->mnuFEdit, window->mnuFSave,
              window->mnuFPrint, window->mnuVDiagram, window->mnuVStatistics,
              window->mnuVComposition, window->mnuVInterMethod, window->mnuVOptions,
              window->mnuTUnique, window->mnuTFind, window->mnuTClipboard}) {
            EXPECT_EQ(command->isEnabled(), enabled) << command->objectName().toStdString();
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
    Enter(6, "PLAIN BOB MINOR", kMinor);
    expectEnabled(true);
    window->mnuFCloseAll->trigger(); // the question is answered Yes
    expectEnabled(false);

    auto* tools = qobject_cast<QMenu*>(window->mnuTClearClipboard->associatedObjects().value(0));
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

    // Exit asks, and saves the options last.
    Enter(6, "PLAIN BOB MINOR", kMinor);
    answers = {false};
    EXPECT_FALSE(window->AskExit());
    EXPECT_EQ(Last(), "Exit from Tambrel?");
    answers = {true, false}; // exit, but keep the edited method
    EXPECT_FALSE(window->AskExit());
    EXPECT_EQ(OpenTabs(), 1);
    window->GlobalOptions.Numbers = 3;
    answers = {true, true};
    EXPECT_TRUE(window->AskExit());
    TBellOptions reloaded;
    std::vector<std::string> warnings;
    OptionsTable table(data);
    reloaded.Load(table, warnings);
    EXPECT_EQ(reloaded.Numbers, 3);
}

TEST_F(MainWindow, EnterOnAnyQuestionChangesNothing)
{
    const QString existing = QString::fromStdString(dir.Write("kept.pdf", "a file kept"));
    Enter(8, "NEW NAME SURPRISE MAJOR", kCambridge);
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
    ChooseFiles({existing, QString()});
    onDialog = [](QDialog& dialog) { dialog.setResult(QDialog::Accepted); };
    window->PrintMethod(); // to a file that is there already
    enter.stop();

    const QString close = MessageBoxes::Displayed("NEW NAME SURPRISE MAJOR\r\r" + kCloseEdited);
    EXPECT_EQ(asked, QStringList({MessageBoxes::Displayed("This Method already exists as:\r\r"
                                                          "CAMBRIDGE SURPRISE MAJOR\r\rDo you "
                                                          "want to rename it?"),
                                  "Save to which Library?", close, close, "Exit from Tambrel?",
                                  MessageBoxes::Displayed("The file\r\r" + existing +
                                                          "\r\ralready exists.\r\rDo you want "
                                                          "to replace it?")}));
    EXPECT_TRUE(Current().Edited);
    EXPECT_EQ(test::ReadFile(existing.toStdString()), "a file kept");
    EXPECT_TRUE(Stored("8 CAMBRIDGE SURPRISE MAJOR"));
}

TEST_F(MainWindow, PrintingToAFileAsksEveryTimeAndReplacesOnlyOnYes)
{
    const QString cambridge = QString::fromStdString(dir.Path("cambridge.pdf"));
    window->printer.setOutputFormat(QPrinter::PdfFormat);
    window->printer.setOutputFileName(cambridge); // an earlier print chose it
    Enter(8, "CAMBRIDGE SURPRISE MAJOR", kCambridge);
    EXPECT_TRUE(PdfTitled(PrintTo("cambridge.pdf"), "CAMBRIDGE SURPRISE MAJOR"));
    const std::string printed = test::ReadFile(cambridge.toStdString());

    // The same file chosen by mistake: No, then Cancel prints nothing and keeps the choices
    // of the print dialog out of the options.
    Enter(6, "PLAIN BOB MINOR", kMinor);
    const TBellOptions global = window->GlobalOptions;
    suggested.clear();
    ChooseFiles({cambridge, QString(), cambridge});
    onDialog = [&](QDialog& dialog) {
        window->frmPrint->chkColour->setChecked(!global.PrintColour);
        window->frmPrint->speCopies->setValue(3);
        dialog.setResult(QDialog::Accepted);
    };
    answers = {false};
    window->PrintMethod();
    EXPECT_EQ(suggested, QStringList(2, SuggestedPrintFile("PLAIN BOB MINOR")));
    EXPECT_EQ(test::ReadFile(cambridge.toStdString()), printed);
    EXPECT_EQ(window->GlobalOptions.PrintColour, global.PrintColour);
    EXPECT_EQ(Current().PageOptions.Copies, global.Copies);
    answers = {true};
    window->PrintMethod();
    EXPECT_TRUE(PdfTitled(cambridge, "PLAIN BOB MINOR"));
    EXPECT_EQ(window->GlobalOptions.PrintColour, !global.PrintColour);

    // A file chosen in the set-up is used without asking again, unless it is there already
    // and its replacing is declined; OK is then what Enter presses.
    const QString chosen = QString::fromStdString(dir.Path("chosen.pdf"));
    onDialog = [&](QDialog& dialog) {
        window->printer.setOutputFormat(QPrinter::PdfFormat);
        window->printer.setOutputFileName(chosen);
        window->frmPrint->SetupDone();
        EXPECT_TRUE(window->frmPrint->butOk->isDefault());
        EXPECT_FALSE(window->frmPrint->butSetup->autoDefault());
        dialog.setResult(QDialog::Accepted);
    };
    suggested.clear();
    window->PrintMethod();
    EXPECT_TRUE(suggested.isEmpty());
    EXPECT_TRUE(PdfTitled(chosen, "PLAIN BOB MINOR"));
    const QString other = QString::fromStdString(dir.Path("other.pdf"));
    ChooseFiles({other});
    answers = {false}; // keep chosen.pdf: a file is asked for instead
    window->PrintMethod();
    EXPECT_EQ(suggested.size(), 1);
    EXPECT_TRUE(PdfTitled(other, "PLAIN BOB MINOR"));
}

TEST_F(MainWindow, HelpFromADialogComesToTheFrontAndAnswers)
{
    help->Command("OPEN");
    window->mnuHContents->trigger();
    EXPECT_EQ(Last(), kMsgHelpMissing);
    std::filesystem::create_directories(dir.Path("program/help"));
    const std::string page = test::Repeat("<p>Line</p>", 200);
    for (const std::string topic :
         {"index.htm", "editing_method.htm", "options.htm", "reading_diagram.htm"}) {
        dir.Write("program/help/" + topic, page);
    }
    help->Command("OPEN");
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    Enter(8, "CAMBRIDGE SURPRISE MAJOR", kCambridge);
    window->execDialog = nullptr; // the real modal dialogs
    struct Case {
        QDialog* dialog;
        QAction* open;
        QString page;
    };
    for (const Case& c : {Case{window->frmEdit, window->mnuFEdit, "editing_method.htm"},
                          Case{window->frmOptions, window->mnuVOptions, "options.htm"},
                          Case{window->frmPrint, window->mnuFPrint, "reading_diagram.htm"}}) {
        SCOPED_TRACE(c.dialog->objectName().toStdString());
        bool scrolled = false;
        QTimer::singleShot(0, c.dialog, [&] {
            // The dialog closes however the checks end.
            const std::unique_ptr<QDialog, void (*)(QDialog*)> closer(
                c.dialog, [](QDialog* dialog) { dialog->reject(); });
            ASSERT_EQ(QApplication::activeModalWidget(), c.dialog);
            c.dialog->findChild<QPushButton*>("butHelp")->click();
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
        c.open->trigger();
        EXPECT_TRUE(scrolled);
        EXPECT_FALSE(c.dialog->isVisible());
    }
    help->Command("SHOW", "options.htm#calls", window.get()); // a section of the page
    EXPECT_TRUE(help->Browser()->source().toLocalFile().endsWith("options.htm"));
    EXPECT_EQ(help->Browser()->source().fragment(), "calls");
    EXPECT_TRUE(help->Visible());
    help->Command("CLOSE");
    EXPECT_FALSE(help->Visible());
}

// The buttons and check box a state enables.
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
    Enter(6, "PLAIN BOB MINOR", kMinor);
    answers = {false}; // an edited method kept open stops the form
    window->ImportMethods();
    EXPECT_EQ(dialogs, 1);
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
    bool replace = false;                 // the answer to the replace question
    std::vector<ImportState> statesAsked; // the state while a question is shown
    messages.hook = [&](BoxKind kind, const QString&, const QString& text) {
        shown.push_back({kind, text});
        statesAsked.push_back(form.State());
        ExpectState(form, form.State());
        if (text.startsWith(QStringLiteral("Replace the "))) {
            return replace;
        }
        return kind != BoxKind::Question || text.endsWith(kCloseEdited); // every rename declined
    };
    Run(window->mnuTImportMethods, [&](QDialog&) {
        EXPECT_TRUE(form.chkCheckMyLib->isChecked());
        ExpectState(form, ImportState::Select);
        EXPECT_TRUE(std::filesystem::exists(staging));
        EXPECT_FALSE(form.lblClosed->isHidden()); // the open method went, and it says why
        form.butSelect->click();                  // cancelled: nothing read
        chosen = bad;
        form.butSelect->click();
        EXPECT_EQ(Last(), "Unable to import Methods from file:\r\r" + bad);
        ExpectState(form, ImportState::Select);

        chosen = good;
        form.butSelect->click();
        EXPECT_EQ(form.lblFile->text(), "Import Methods from the file extra.csv");
        EXPECT_EQ(form.lblProgress->text(), "Ready to Import");
        EXPECT_EQ(form.lblDetails->text(), "1 line of the file left out or changed: see Details.");
        ExpectState(form, ImportState::Import);
        form.butDetails->click();
        EXPECT_EQ(Last(), "Reading extra.csv left out or changed:\r\r"
                          "Line 4: a control character in a value; left out.");

        form.chkCheckMyLib->setChecked(false);
        form.butImport->click(); // the rename is asked while the buttons are off, and declined
        EXPECT_EQ(statesAsked.back(), ImportState::Off);
        EXPECT_EQ(form.lblProgress->text(), "3 Methods Checked, 1 Imported, 0 Renamed.");
        EXPECT_EQ(form.prgImport->maximum(), 3);
        EXPECT_EQ(form.prgImport->value(), 3);
        ExpectState(form, ImportState::Import);

        // The same file again, as the whole library: asked first, No (the default) keeps it.
        form.butReplace->click();
        EXPECT_EQ(Last(), "Replace the 4 Methods of the Main Library with the 2 Methods of "
                          "extra.csv?");
        replace = true;
        form.butReplace->click();
        EXPECT_EQ(form.lblProgress->text(), "2 Methods Imported");
        form.butClose->click();
    });
    EXPECT_EQ(dialogs, 2); // the entry dialog, then the import
    EXPECT_EQ(OpenTabs(), 0);
    EXPECT_FALSE(window->GlobalOptions.CheckMyLib); // taken from the box at the close
    EXPECT_FALSE(std::filesystem::exists(staging));
    EXPECT_TRUE(window->ResetOpenPosition);
    ASSERT_TRUE(data.OpenTables("MAIN", TableAccess::Read));
    EXPECT_EQ(data.dbfMethods.RecordCount(), 3U);
    data.CloseTables();

    // A library held by another program: said, and no dialog.
    window->ResetOpenPosition = false;
    TDbf held(kMethodTags, kMethodLayout);
    held.SetDbfFileName(dir.Path("Library/Methods.dbf"));
    ASSERT_TRUE(held.Open(TableAccess::Read));
    window->ImportMethods();
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(Last(), "The table Methods.dbf is in use by another program (or another window of "
                      "Tambrel). Close it there and try again.");
    EXPECT_FALSE(std::filesystem::exists(staging));
    EXPECT_FALSE(window->ResetOpenPosition);
}

TEST_F(MainWindow, ImportCallsDialogReplacesTheCallsForLaterMethods)
{
    TfrmImportCalls& form = *window->frmImportCalls;
    form.chooseFile = [&] {
        return QString::fromStdString(dir.Write("calls.csv", "0,00,TB_Calls_Library,\"Mine 1\",\n"
                                                             "6,1,\"Bob\",14,6\n"
                                                             "6,2,\"Single\",1234,5\n"));
    };
    Run(window->mnuTImportCalls, [&](QDialog&) {
        EXPECT_EQ(form.lblFile->text(), "Select the File from which to Import Calls");
        form.butSelect->click();
        EXPECT_EQ(form.lblFile->text(), "Import Calls from the file calls.csv");
        form.butReplace->click();
        EXPECT_EQ(Last(), "Replace the 108 Calls of the Calls Library with the 2 Calls of "
                          "calls.csv?");
        EXPECT_EQ(form.lblProgress->text(), "3 Calls Imported");
        form.reject(); // closed by its window: the staging file goes all the same
    });
    EXPECT_FALSE(std::filesystem::exists(dir.Path("Library/ImpCalls.dbf")));
    Enter(6, "PLAIN BOB MINOR", kMinor);
    EXPECT_EQ(Current().Store().BobLines(), "6");
}

// Writes a lock as the program running as `pid` would.
void WriteLock(const QString& path, const QByteArray& pid)
{
    QFile lock(path);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(pid + "\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
               QSysInfo::machineHostName().toUtf8() + "\n");
}

// A lock left by a crash does not block; the second start then raises the first.
TEST(SingleInstance, TheSecondStartRaisesTheFirst)
{
    const QString key = QStringLiteral("tambrel-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(key);
    ASSERT_FALSE(first.Folder().isEmpty());
    WriteLock(first.Folder() + QLatin1Char('/') + key + QStringLiteral(".lock"), "2147483");
    ASSERT_EQ(first.Claim(), SingleInstance::Outcome::First);
    int raised = 0;
    QStringList asked;
    QObject::connect(&first, &SingleInstance::raiseRequested, [&] { ++raised; });
    QObject::connect(&first, &SingleInstance::libraryRequested,
                     [&](const QString& folder) { asked << folder; });
    for (const QString& library : {QString(), QStringLiteral("/elsewhere/Library \u00e9")}) {
        SingleInstance second(key);
        EXPECT_EQ(second.Claim(library), SingleInstance::Outcome::AlreadyRuns);
    }
    for (int i = 0; i < 50 && raised < 2; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(raised, 2);
    EXPECT_EQ(asked, QStringList{QStringLiteral("/elsewhere/Library \u00e9")});
    // The running program speaks up only for another folder than its own.
    const test::TempDir dir;
    const QString open = QString::fromStdString(dir.Path("Library"));
    EXPECT_EQ(SingleInstance::OtherLibraryText(open, open + "/../Library/"), "");
    EXPECT_EQ(SingleInstance::OtherLibraryText(open, {}), "");
    EXPECT_EQ(SingleInstance::OtherLibraryText(open, "/elsewhere"),
              "Tambrel is already running with the method libraries in\r\r" + open +
                  "\r\rso those in\r\r/elsewhere\r\rwere not opened. To use them, exit Tambrel "
                  "and start it again with that folder.");
}

// Another user's lock naming a running process, and their socket, planted where the guard
// lives, are not trusted; nor is a runtime folder of theirs open to all used.
TEST(SingleInstance, AnotherUsersGuardAndFolderAreIgnored)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "files of another user need root";
    }
    const uid_t nobody = 65534;
    const QString key =
        QStringLiteral("tambrel-planted-%1").arg(QCoreApplication::applicationPid());
    const QString folder = SingleInstance(key).Folder();
    ASSERT_FALSE(folder.isEmpty());
    const QString lockPath = folder + QLatin1Char('/') + key + QStringLiteral(".lock");
    WriteLock(lockPath, QByteArray::number(QCoreApplication::applicationPid())); // alive
    QLocalServer planted;
    ASSERT_TRUE(planted.listen(folder + QLatin1Char('/') + key + QStringLiteral(".socket")));
    ASSERT_EQ(::chown(QFile::encodeName(lockPath).constData(), nobody, nobody), 0);
    ASSERT_EQ(::chown(QFile::encodeName(planted.fullServerName()).constData(), nobody, nobody), 0);
    int asked = 0;
    QObject::connect(&planted, &QLocalServer::newConnection, [&] { ++asked; });
    SingleInstance guard(key);
    EXPECT_EQ(guard.Claim(), SingleInstance::Outcome::First);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(asked, 0);

    const test::TempDir dir;
    const std::string theirs = dir.Path("theirs");
    std::filesystem::create_directory(theirs);
    std::filesystem::permissions(theirs, std::filesystem::perms::all);
    ASSERT_EQ(::chown(theirs.c_str(), nobody, nobody), 0);
    const QByteArray kept = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(theirs));
    const QString used = SingleInstance(QStringLiteral("tambrel-their-folder")).Folder();
    if (kept.isEmpty()) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", kept);
    }
    EXPECT_NE(used.toStdString(), theirs);
    if (!used.isEmpty()) {
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(used).constData(), &info), 0);
        EXPECT_EQ(info.st_uid, ::getuid());
        EXPECT_EQ(info.st_mode & 077U, 0U);
    }
}

} // namespace
} // namespace tambrel
