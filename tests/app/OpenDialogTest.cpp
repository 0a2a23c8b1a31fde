#include "app/gui/TfrmOpen.h"
#include "display/TBellOptions.h"
#include "tests/app/GuiFixture.h"
#include "tests/support/BrowserLibrary.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace tambrel {
namespace {

// The browser over the browser's test library, driven through its controls; a question left
// unanswered keeps its default, No.
class OpenDialog : public test::GuiFixture {
protected:
    OpenDialog() : GuiFixture(kBrowserMethodsCsv, "") { unanswered = false; }
    void SetUp() override
    {
        ASSERT_TRUE(data.EnsureTables());
        options.Bells = 8;
        options.SaveOpenPos = true;
    }
    void TearDown() override { dialog.FormClose(); }

    void Activate() { dialog.Prepare(card, options, reset); }
    void Choose(QComboBox* box, const QString& item)
    {
        const int index = box->findText(item);
        ASSERT_GE(index, 0) << item.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void ChooseBells(int bells) { Choose(dialog.cboBells, dialog.cboBells->itemText(bells - 3)); }
    void Type(const QString& text)
    {
        dialog.edtFind->clear();
        QTest::keyClicks(dialog.edtFind, text);
    }
    // Column 1 of every row, and of the selected one.
    QStringList Listed() const
    {
        QStringList rows;
        const QAbstractItemModel& model = *dialog.tzgMethods->model();
        for (int row = 0; row < model.rowCount(); ++row) {
            rows << model.index(row, 1).data().toString();
        }
        return rows;
    }
    QString Selected() const
    {
        const QModelIndex current = dialog.tzgMethods->selectionModel()->currentIndex();
        return current.siblingAtColumn(1).data().toString();
    }
    void ExpectListed(const QStringList& names, const QString& selected)
    {
        EXPECT_EQ(Listed(), names);
        EXPECT_EQ(Selected(), selected);
        EXPECT_EQ(dialog.SavedRecNo(), selected.isEmpty() ? kNoSavedRecNo : dialog.SelectedRecNo());
        EXPECT_EQ(dialog.butOK->isEnabled(), !selected.isEmpty());
        EXPECT_EQ(dialog.butDelete->isEnabled(), !selected.isEmpty());
    }

    TfrmOpen dialog{data, messages, *help};
    TBellCard card;
    TBellOptions options;
    bool reset = true;
};

const QStringList kEightByName = {
    "ALDENHAM SURPRISE MAJOR",      "ASHTEAD SURPRISE MAJOR",   "BRISTOL SURPRISE MAJOR",
    "BROKEN NOTATION MAJOR",        "CAMBRIDGE SURPRISE MAJOR", "LONDON SURPRISE MAJOR",
    "NEW YORKSHIRE SURPRISE MAJOR", "PLAIN BOB MAJOR",          "YORKSHIRE SURPRISE MAJOR"};

TEST_F(OpenDialog, EachKeystrokePositionsTheWholeRange)
{
    Activate();
    EXPECT_EQ(dialog.windowTitle(), "Open an Existing Method - Main Library built Test build 7");
    ExpectListed(kEightByName, "ALDENHAM SURPRISE MAJOR");
    EXPECT_TRUE(dialog.tzgMethods->isColumnHidden(0));
    Type("camb");
    EXPECT_EQ(dialog.edtFind->text(), "CAMB");
    ExpectListed(kEightByName, "CAMBRIDGE SURPRISE MAJOR"); // nothing before the match is hidden
    EXPECT_EQ(dialog.lblInfo->text(), "Pl&aces:");
    EXPECT_EQ(dialog.dbeInfo->text(), "-3-4-25-36-4-5-6-7 LH2");
    EXPECT_EQ(dialog.dbeGroupInfo->text(), "B");

    Choose(dialog.cboGroup, "A");
    EXPECT_EQ(dialog.edtFind->text(), "");
    Type("zzz");
    ExpectListed({"ALDENHAM SURPRISE MAJOR", "ASHTEAD SURPRISE MAJOR", "PLAIN BOB MAJOR"},
                 "PLAIN BOB MAJOR");

    // By places: the grid shows the notations, the info box the name.
    Choose(dialog.cboGroup, "ALL");
    dialog.findByButtons->button(1)->click();
    Type("-3-4-25");
    EXPECT_EQ(Selected(), "-3-4-25-36-4-5-6-7 LH2");
    EXPECT_EQ(dialog.lblInfo->text(), "N&ame:");
    EXPECT_EQ(dialog.dbeInfo->text(), "CAMBRIDGE SURPRISE MAJOR");
    // In the Council's form the notations shown change, not the order or what is searched.
    options.CCNotation = true;
    Activate();
    Type("-3-4-25");
    EXPECT_EQ(Selected(), "-38-14-1258-36-14-58-16-78,12");
    dialog.findByButtons->button(0)->click();
    Type("camb");
    EXPECT_EQ(dialog.dbeInfo->text(), "-38-14-1258-36-14-58-16-78,12");
    options.CCNotation = false;
    Activate();
    dialog.findByButtons->button(1)->click();

    // The group list follows the bells; a stage without methods lists nothing.
    ChooseBells(5);
    EXPECT_EQ(test::Items(dialog.cboGroup).join(','), "ALL,A,F,G,M,P,Q,R,S,Z");
    ExpectListed({}, "");
    EXPECT_FALSE(dialog.tzgMethods->isEnabled());
    EXPECT_FALSE(data.dbfMethods.Active());
}

TEST_F(OpenDialog, SavedPositionSurvivesGroupAndOrderButNotLibrary)
{
    Activate();
    ASSERT_TRUE(dialog.chkSavePos->isChecked());
    Type("york");
    const std::int64_t yorkshire = dialog.SavedRecNo();
    dialog.findByButtons->button(1)->click();
    EXPECT_EQ(dialog.dbeInfo->text(), "YORKSHIRE SURPRISE MAJOR");
    dialog.findByButtons->button(0)->click();
    Choose(dialog.cboGroup, "B");
    EXPECT_EQ(Selected(), "YORKSHIRE SURPRISE MAJOR");
    EXPECT_EQ(dialog.SavedRecNo(), yorkshire);

    // A click on the grid is what is saved.
    dialog.tzgMethods->selectionModel()->setCurrentIndex(dialog.tzgMethods->model()->index(1, 1),
                                                         QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
    Choose(dialog.cboGroup, "ALL");
    EXPECT_EQ(Selected(), "CAMBRIDGE SURPRISE MAJOR");

    dialog.libraryButtons->button(1)->click(); // the personal library is empty
    ExpectListed({}, "");
    EXPECT_EQ(dialog.windowTitle(), "Open an Existing Method - Personal Library");
    EXPECT_TRUE(dialog.lblEmpty->isHidden());
    dialog.libraryButtons->button(2)->click(); // so is the method-find library
    EXPECT_EQ(dialog.windowTitle(), "Open an Existing Method - Method Find Library");
    EXPECT_FALSE(dialog.lblEmpty->isHidden());
    EXPECT_EQ(dialog.lblEmpty->text(),
              "No methods found yet for 8 bells: use Tools > Find Similar Methods");
    dialog.libraryButtons->button(0)->click();
    EXPECT_TRUE(dialog.lblEmpty->isHidden());
    EXPECT_EQ(dialog.windowTitle(), "Open an Existing Method - Main Library built Test build 7");
    EXPECT_EQ(Selected(), "ALDENHAM SURPRISE MAJOR");

    // Without Save Position a change of group starts at the top.
    Type("york");
    dialog.chkSavePos->click();
    Choose(dialog.cboGroup, "ALL");
    EXPECT_EQ(Selected(), "ALDENHAM SURPRISE MAJOR");
}

TEST_F(OpenDialog, OpeningStoresTheMethodAndTheNextActivationComesBack)
{
    Activate();
    Type("york");
    dialog.butOKClick();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(card.Changed);
    EXPECT_EQ(card.Store().Name(), "YORKSHIRE SURPRISE MAJOR");
    EXPECT_EQ(card.Store().PlaceNotation(), "-3-4-5-6-2-3-4-7 LH2");
    EXPECT_FALSE(data.dbfMethods.Active()); // closing lets the table go

    Activate();
    EXPECT_EQ(Selected(), "YORKSHIRE SURPRISE MAJOR");
    EXPECT_EQ(dialog.edtFind->text(), "");
    dialog.reject();
    reset = true; // as after a find-similar run
    Activate();
    EXPECT_FALSE(reset);
    EXPECT_EQ(Selected(), "ALDENHAM SURPRISE MAJOR");

    // Another stage chosen last time: the saved position is forgotten too.
    Type("york");
    dialog.chkSavePos->click(); // unticked, and stored so
    ChooseBells(10);
    ExpectListed({"CAMBRIDGE SURPRISE ROYAL"}, "CAMBRIDGE SURPRISE ROYAL"); // past the header
    dialog.butOKClick();
    EXPECT_EQ(options.Bells, 10);
    EXPECT_FALSE(options.SaveOpenPos);
    options.Bells = 8;
    options.SaveOpenPos = true;
    Activate();
    EXPECT_EQ(Selected(), "ALDENHAM SURPRISE MAJOR");
    EXPECT_EQ(dialog.cboBells->currentIndex(), 5);

    // A notation the check refuses keeps the dialog open and the page as it was.
    Type("broken");
    card.Store().SetName("BEFORE");
    card.Changed = false;
    dialog.setResult(QDialog::Rejected);
    dialog.butOKClick();
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].kind, BoxKind::Warning);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(card.Changed);
    EXPECT_EQ(card.Store().Name(), "BEFORE");
    EXPECT_EQ(Selected(), "BROKEN NOTATION MAJOR");
}

TEST_F(OpenDialog, DeleteAsksThenListsTheNeighbour)
{
    Activate();
    Type("camb");
    dialog.butDeleteClick(); // unanswered: the default, No
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].kind, BoxKind::Question);
    EXPECT_EQ(shown[0].text, "Delete this Method?\r\rCAMBRIDGE SURPRISE MAJOR");
    EXPECT_EQ(Listed(), kEightByName);

    QStringList left = kEightByName;
    left.removeOne("CAMBRIDGE SURPRISE MAJOR");
    answers = {true};
    dialog.butDeleteClick();
    ExpectListed(left, "LONDON SURPRISE MAJOR");
    // The only method of its stage: nothing is left to list or act on.
    ChooseBells(12);
    answers = {true};
    dialog.butDeleteClick();
    ExpectListed({}, "");
}

// The stage by its number, and the arrows on through a list: the focus stays where it is.
TEST_F(OpenDialog, ListsAnswerTheKeyboardAndKeepTheFocus)
{
    Activate();
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.cboBells->setFocus();
    QTest::keyClicks(dialog.cboBells, "12");
    EXPECT_EQ(dialog.cboBells->currentText(), "12 - Maximus");
    EXPECT_EQ(Listed().size(), 1);
    EXPECT_TRUE(dialog.cboBells->hasFocus());
    QTest::keyClick(dialog.cboBells, Qt::Key_Up);
    EXPECT_EQ(dialog.cboBells->currentText(), "11 - Cinques");
    EXPECT_TRUE(dialog.cboBells->hasFocus());
    dialog.cboBells->view()->keyboardSearch({}); // a new search, as after a pause
    QTest::keyClicks(dialog.cboBells, "8");
    EXPECT_EQ(Listed(), kEightByName);
    dialog.cboGroup->setFocus();
    for (const int group : {1, 2}) {
        QTest::keyClick(dialog.cboGroup, Qt::Key_Down);
        EXPECT_EQ(dialog.cboGroup->currentIndex(), group);
        EXPECT_TRUE(dialog.cboGroup->hasFocus());
    }
    EXPECT_LT(Listed().size(), kEightByName.size());
    dialog.hide();
}

TEST_F(OpenDialog, NameFilterNarrowsTheListAndClearingGivesItBack)
{
    Activate();
    Type("p");
    QTest::keyClicks(dialog.edtFilter, "york");
    EXPECT_EQ(dialog.edtFilter->text(), "YORK");
    // The filter typed selects its first match shown, though PLAIN BOB was positioned; a find
    // typed then takes the first match from its text on, or the last when all lie before.
    EXPECT_EQ(Listed(), (QStringList{"NEW YORKSHIRE SURPRISE MAJOR", "YORKSHIRE SURPRISE MAJOR"}));
    EXPECT_EQ(Selected(), "NEW YORKSHIRE SURPRISE MAJOR");
    Type("p");
    EXPECT_EQ(Selected(), "YORKSHIRE SURPRISE MAJOR");
    Type("camb");
    EXPECT_EQ(Selected(), "NEW YORKSHIRE SURPRISE MAJOR");
    Type("z");
    EXPECT_EQ(Selected(), "YORKSHIRE SURPRISE MAJOR");
    // Clearing gives back the browser as it stood: the whole range at the typed position.
    dialog.edtFilter->clear();
    ExpectListed(kEightByName, "YORKSHIRE SURPRISE MAJOR");
    QTest::keyClicks(dialog.edtFilter, "royal");
    EXPECT_TRUE(Listed().isEmpty());
    EXPECT_FALSE(dialog.butOK->isEnabled());
    dialog.edtFilter->clear();

    // Open takes the record the filtered list selects.
    QTest::keyClicks(dialog.edtFilter, "new");
    dialog.butOKClick();
    EXPECT_EQ(card.Store().Name(), "NEW YORKSHIRE SURPRISE MAJOR");

    // "All" lists every stage, fewest bells first, each row with its stage; opening from it
    // keeps the method's stage for a new method and comes back to "All".
    Activate();
    EXPECT_TRUE(dialog.tzgMethods->isColumnHidden(0));
    Choose(dialog.cboBells, "All");
    EXPECT_FALSE(dialog.tzgMethods->isColumnHidden(0));
    QTest::keyClicks(dialog.edtFilter, "cambridge");
    ExpectListed(
        {"CAMBRIDGE SURPRISE MAJOR", "CAMBRIDGE SURPRISE ROYAL", "CAMBRIDGE SURPRISE MAXIMUS"},
        "CAMBRIDGE SURPRISE MAJOR");
    EXPECT_EQ(dialog.tzgMethods->model()->index(2, 0).data().toString(), "12");
    dialog.tzgMethods->selectRow(1);
    dialog.butOKClick();
    EXPECT_EQ(card.Store().Name(), "CAMBRIDGE SURPRISE ROYAL");
    EXPECT_EQ(options.Bells, 10);
    Activate();
    EXPECT_EQ(dialog.cboBells->currentText(), "All");
    EXPECT_EQ(Selected(), "CAMBRIDGE SURPRISE ROYAL");
}

// The class list offers the classes of the library's stage; a class narrows the list together
// with the other filters, and "All" gives back the list as it stood.
TEST_F(OpenDialog, ClassListNarrowsTheListAndAllGivesItBack)
{
    Activate();
    EXPECT_EQ(test::Items(dialog.cboClass).join(','), "All,Bob,Surprise");
    EXPECT_EQ(dialog.cboClass->currentText(), "All");
    Type("york");
    Choose(dialog.cboClass, "Bob");
    ExpectListed({"PLAIN BOB MAJOR"}, "PLAIN BOB MAJOR");
    EXPECT_EQ(dialog.dbeInfo->text(), "-1-1-1-1 LH2");
    EXPECT_EQ(dialog.dbeGroupInfo->text(), "A");
    // The names say the class; the refused notation is in none.
    const QStringList surprise = kEightByName.filter("SURPRISE");
    Choose(dialog.cboClass, "Surprise");
    ExpectListed(surprise, "ALDENHAM SURPRISE MAJOR");
    EXPECT_EQ(dialog.dbeInfo->text(), "-5-4.5-5.36.4-4.5-4-1 LH1");
    QTest::keyClicks(dialog.edtFilter, "york");
    ExpectListed({"NEW YORKSHIRE SURPRISE MAJOR", "YORKSHIRE SURPRISE MAJOR"},
                 "NEW YORKSHIRE SURPRISE MAJOR");
    Choose(dialog.cboGroup, "M");
    EXPECT_TRUE(Listed().isEmpty());
    EXPECT_FALSE(dialog.butOK->isEnabled());
    EXPECT_TRUE(dialog.lblEmpty->isHidden()); // narrowed to nothing, not an empty library
    dialog.edtFilter->clear();
    ExpectListed({"BRISTOL SURPRISE MAJOR", "LONDON SURPRISE MAJOR"}, "BRISTOL SURPRISE MAJOR");
    Choose(dialog.cboGroup, "ALL"); // the saved position comes back
    ExpectListed(surprise, "BRISTOL SURPRISE MAJOR");
    Choose(dialog.cboClass, "All");
    ExpectListed(kEightByName, "BRISTOL SURPRISE MAJOR");
    Type("york");
    Choose(dialog.cboClass, "Bob");
    Choose(dialog.cboClass, "All");
    ExpectListed(kEightByName, "YORKSHIRE SURPRISE MAJOR"); // where the find left it

    // Refilled with the stage: a class still offered stays chosen, else back to "All".
    Choose(dialog.cboClass, "Surprise");
    ChooseBells(6);
    EXPECT_EQ(test::Items(dialog.cboClass).join(','), "All,Bob");
    EXPECT_EQ(dialog.cboClass->currentText(), "All");
    ExpectListed({"PLAIN BOB MINOR"}, "PLAIN BOB MINOR");
    Choose(dialog.cboClass, "Bob");
    Choose(dialog.cboBells, "All");
    EXPECT_EQ(test::Items(dialog.cboClass).join(','), "All,Bob,Surprise");
    EXPECT_EQ(dialog.cboClass->currentText(), "Bob");
    // Positioned by the find text still there: the first Bob from Yorkshire Major on.
    EXPECT_EQ(dialog.edtFind->text(), "YORK");
    ExpectListed({"PLAIN BOB MINOR", "PLAIN BOB MAJOR", "GRANDSIRE CATERS"}, "GRANDSIRE CATERS");
    ChooseBells(5);
    EXPECT_EQ(test::Items(dialog.cboClass).join(','), "All");
    ExpectListed({}, "");
    EXPECT_FALSE(data.dbfMethods.Active());
    // And with the library: the personal one is empty.
    ChooseBells(8);
    Choose(dialog.cboClass, "Bob");
    dialog.libraryButtons->button(1)->click();
    EXPECT_EQ(test::Items(dialog.cboClass).join(','), "All");
    dialog.libraryButtons->button(0)->click();
    EXPECT_EQ(dialog.cboClass->currentText(), "All");
    ExpectListed(kEightByName, "ALDENHAM SURPRISE MAJOR");
}

} // namespace
} // namespace tambrel
