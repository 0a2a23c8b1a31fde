#include "app/gui/HelpSystem.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/TfrmOpen.h"
#include "display/TBellCard.h"
#include "display/TBellOptions.h"
#include "library/TfrmDataMod.h"
#include "tests/support/BrowserLibrary.h"
#include "tests/support/TestSupport.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <vector>

namespace tambrel {
namespace {

using test::TempDir;

// The browser over the small test library, driven through its controls, every message box
// answered by the test.
class OpenDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.Path("data"));
        dir.Write("data/Methods.csv", kBrowserMethodsCsv);
        data = std::make_unique<TfrmDataMod>(dir.Path("Library"), dir.Path("data"));
        ASSERT_TRUE(data->EnsureTables());
        messages.hook = [this](BoxKind kind, const QString&, const QString& text) {
            shown.push_back({kind, text});
            if (answers.empty()) {
                return kind != BoxKind::Question; // a question unanswered keeps its default, No
            }
            const bool answer = answers.front();
            answers.pop_front();
            return answer;
        };
        help = std::make_unique<HelpSystem>(messages, dir.Path("program"));
        dialog = std::make_unique<TfrmOpen>(*data, messages, *help);
        options.Bells = 8;
        options.SaveOpenPos = true;
    }
    void TearDown() override { dialog->FormClose(); }

    void Activate() { dialog->Prepare(card, options, reset); }
    void Choose(QComboBox* box, const QString& item)
    {
        const int index = box->findText(item);
        ASSERT_GE(index, 0) << item.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void ChooseBells(int bells) { Choose(dialog->cboBells, dialog->cboBells->itemText(bells - 4)); }
    void Click(QButtonGroup* group, int id) { group->button(id)->click(); }
    void Type(const QString& text)
    {
        dialog->edtFind->clear();
        QTest::keyClicks(dialog->edtFind, text);
    }

    // Column 1 of every row, and of the selected one.
    QStringList Listed() const
    {
        QStringList rows;
        const QAbstractItemModel& model = *dialog->tzgMethods->model();
        for (int row = 0; row < model.rowCount(); ++row) {
            rows << model.index(row, 1).data().toString();
        }
        return rows;
    }
    QString Selected() const
    {
        const QModelIndex current = dialog->tzgMethods->selectionModel()->currentIndex();
        return current.isValid()
                   ? dialog->tzgMethods->model()->index(current.row(), 1).data().toString()
                   : QString();
    }
    QStringList Groups() const
    {
        QStringList items;
        for (int i = 0; i < dialog->cboGroup->count(); ++i) {
            items << dialog->cboGroup->itemText(i);
        }
        return items;
    }

    struct Message {
        BoxKind kind;
        QString text;
    };

    TempDir dir;
    std::unique_ptr<TfrmDataMod> data;
    MessageBoxes messages;
    std::unique_ptr<HelpSystem> help;
    std::unique_ptr<TfrmOpen> dialog;
    TBellCard card;
    TBellOptions options;
    bool reset = true;
    std::vector<Message> shown;
    std::deque<bool> answers;
};

const QStringList kEightByName = {
    "ALDENHAM SURPRISE MAJOR",      "ASHTEAD SURPRISE MAJOR",   "BRISTOL SURPRISE MAJOR",
    "BROKEN NOTATION MAJOR",        "CAMBRIDGE SURPRISE MAJOR", "LONDON SURPRISE MAJOR",
    "NEW YORKSHIRE SURPRISE MAJOR", "PLAIN BOB MAJOR",          "YORKSHIRE SURPRISE MAJOR"};

TEST_F(OpenDialog, EachKeystrokePositionsTheWholeRange)
{
    Activate();
    EXPECT_EQ(dialog->windowTitle(), "Open an Existing Method - Main Library built Test build 7");
    EXPECT_EQ(Listed(), kEightByName);
    EXPECT_EQ(Selected(), "ALDENHAM SURPRISE MAJOR");
    EXPECT_TRUE(dialog->tzgMethods->isColumnHidden(0));

    struct Step {
        QString typed;
        QString selected;
    };
    for (const Step& step :
         {Step{"c", "CAMBRIDGE SURPRISE MAJOR"}, Step{"camb", "CAMBRIDGE SURPRISE MAJOR"},
          Step{"cambz", "LONDON SURPRISE MAJOR"}, Step{"n", "NEW YORKSHIRE SURPRISE MAJOR"},
          Step{"zzz", "YORKSHIRE SURPRISE MAJOR"}}) {
        SCOPED_TRACE(step.typed.toStdString());
        Type(step.typed);
        EXPECT_EQ(dialog->edtFind->text(), step.typed.toUpper());
        EXPECT_EQ(Selected(), step.selected);
        EXPECT_EQ(Listed(), kEightByName); // nothing before the match is hidden
        EXPECT_EQ(dialog->SavedRecNo(), dialog->SelectedRecNo());
    }
    Type("camb");
    EXPECT_EQ(dialog->lblInfo->text(), "Pl&aces:");
    EXPECT_EQ(dialog->dbeInfo->text(), "-3-4-25-36-4-5-6-7 LH2");
    EXPECT_EQ(dialog->dbeGroupInfo->text(), "B");

    // Group A ends where group B begins on the same bells: beyond its last name is its last.
    Choose(dialog->cboGroup, "A");
    EXPECT_EQ(dialog->edtFind->text(), "");
    EXPECT_EQ(Listed(), (QStringList{"ALDENHAM SURPRISE MAJOR", "ASHTEAD SURPRISE MAJOR",
                                     "PLAIN BOB MAJOR"}));
    Type("zzz");
    EXPECT_EQ(Selected(), "PLAIN BOB MAJOR");
    Choose(dialog->cboGroup, "M");
    Type("zzz");
    EXPECT_EQ(Selected(), "LONDON SURPRISE MAJOR");

    // By places: the grid shows the notations, the info box the name.
    Choose(dialog->cboGroup, "ALL");
    Click(dialog->findByButtons, 1);
    Type("-3-4-25");
    EXPECT_EQ(Selected(), "-3-4-25-36-4-5-6-7 LH2");
    EXPECT_EQ(dialog->lblInfo->text(), "N&ame:");
    EXPECT_EQ(dialog->dbeInfo->text(), "CAMBRIDGE SURPRISE MAJOR");
}

TEST_F(OpenDialog, GroupListFollowsTheBellsAndTheHeaderNeverShows)
{
    Activate();
    ChooseBells(5);
    EXPECT_EQ(Groups(), (QStringList{"ALL", "A", "F", "G", "M", "P", "Q", "R", "S", "Z"}));
    EXPECT_EQ(dialog->cboGroup->currentText(), "ALL");
    // No 5-bell methods: an empty list, Open and Delete disabled.
    EXPECT_TRUE(Listed().isEmpty());
    EXPECT_FALSE(dialog->butOK->isEnabled());
    EXPECT_FALSE(dialog->butDelete->isEnabled());
    EXPECT_FALSE(dialog->tzgMethods->isEnabled());
    EXPECT_FALSE(data->dbfMethods.Active());
    // The first stage after the header record in every order.
    ChooseBells(10);
    EXPECT_EQ(Listed(), QStringList{"CAMBRIDGE SURPRISE ROYAL"});
    EXPECT_TRUE(dialog->butOK->isEnabled());
}

TEST_F(OpenDialog, SavedPositionSurvivesGroupAndOrderButNotLibrary)
{
    Activate();
    ASSERT_TRUE(dialog->chkSavePos->isChecked());
    Type("york");
    ASSERT_EQ(Selected(), "YORKSHIRE SURPRISE MAJOR");
    const std::int64_t yorkshire = dialog->SavedRecNo();
    Click(dialog->findByButtons, 1);
    EXPECT_EQ(dialog->dbeInfo->text(), "YORKSHIRE SURPRISE MAJOR");
    Click(dialog->findByButtons, 0);
    Choose(dialog->cboGroup, "B");
    EXPECT_EQ(Selected(), "YORKSHIRE SURPRISE MAJOR");
    EXPECT_EQ(dialog->SavedRecNo(), yorkshire);
    Choose(dialog->cboGroup, "ALL");
    EXPECT_EQ(Selected(), "YORKSHIRE SURPRISE MAJOR");

    // A click on the grid is what is saved.
    dialog->tzgMethods->selectionModel()->setCurrentIndex(dialog->tzgMethods->model()->index(1, 1),
                                                          QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
    EXPECT_EQ(Selected(), "ASHTEAD SURPRISE MAJOR");
    Choose(dialog->cboGroup, "ALL");
    EXPECT_EQ(Selected(), "ASHTEAD SURPRISE MAJOR");

    Click(dialog->libraryButtons, 1); // the personal library is empty
    EXPECT_EQ(dialog->SavedRecNo(), kNoSavedRecNo);
    EXPECT_TRUE(Listed().isEmpty());
    Click(dialog->libraryButtons, 0);
    EXPECT_EQ(Selected(), "ALDENHAM SURPRISE MAJOR");

    // Without Save Position a change of group starts at the top.
    Type("york");
    dialog->chkSavePos->click();
    Choose(dialog->cboGroup, "ALL");
    EXPECT_EQ(Selected(), "ALDENHAM SURPRISE MAJOR");
}

TEST_F(OpenDialog, OpeningStoresTheMethodAndTheNextActivationComesBack)
{
    Activate();
    Type("york");
    dialog->butOKClick();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(card.Changed);
    EXPECT_EQ(card.Store().Name(), "YORKSHIRE SURPRISE MAJOR");
    EXPECT_EQ(card.Store().Bells(), 8);
    EXPECT_EQ(card.Store().PlaceNotation(), "-3-4-5-6-2-3-4-7 LH2");
    EXPECT_FALSE(data->dbfMethods.Active()); // closing lets the table go

    Activate();
    EXPECT_EQ(Selected(), "YORKSHIRE SURPRISE MAJOR");
    EXPECT_EQ(dialog->edtFind->text(), "");
    dialog->reject();
    reset = true; // as after a find-similar run
    Activate();
    EXPECT_FALSE(reset);
    EXPECT_EQ(Selected(), "ALDENHAM SURPRISE MAJOR");

    // Another stage chosen last time: the saved position is forgotten too.
    Type("york");
    dialog->chkSavePos->click(); // unticked, and stored so
    ChooseBells(10);
    dialog->butOKClick();
    EXPECT_EQ(options.Bells, 10);
    EXPECT_FALSE(options.SaveOpenPos);
    options.Bells = 8;
    options.SaveOpenPos = true;
    Activate();
    EXPECT_EQ(Selected(), "ALDENHAM SURPRISE MAJOR");
    EXPECT_EQ(dialog->cboBells->currentIndex(), 4);
}

TEST_F(OpenDialog, ARefusedNotationKeepsTheDialogOpen)
{
    Activate();
    Type("broken");
    ASSERT_EQ(Selected(), "BROKEN NOTATION MAJOR");
    card.Store().SetName("BEFORE");
    dialog->butOKClick();
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].kind, BoxKind::Warning);
    EXPECT_FALSE(shown[0].text.isEmpty());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(card.Changed);
    EXPECT_EQ(card.Store().Name(), "BEFORE");
    EXPECT_TRUE(data->dbfMethods.Active());
    EXPECT_EQ(Selected(), "BROKEN NOTATION MAJOR");
}

TEST_F(OpenDialog, DeleteAsksThenListsTheNeighbour)
{
    Activate();
    Type("camb");
    dialog->butDeleteClick(); // unanswered: the default, No
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].kind, BoxKind::Question);
    EXPECT_EQ(shown[0].text, "Delete this Method?\r\rCAMBRIDGE SURPRISE MAJOR");
    EXPECT_EQ(Listed(), kEightByName);

    struct Step {
        QString typed;
        QString selectedAfter;
    };
    QStringList left = kEightByName;
    for (const Step& step : {Step{"camb", "LONDON SURPRISE MAJOR"}, Step{"zzz", "PLAIN BOB MAJOR"},
                             Step{"a", "ASHTEAD SURPRISE MAJOR"}}) {
        SCOPED_TRACE(step.typed.toStdString());
        Type(step.typed);
        left.removeOne(Selected());
        answers = {true};
        dialog->butDeleteClick();
        EXPECT_EQ(Listed(), left);
        EXPECT_EQ(Selected(), step.selectedAfter);
        EXPECT_EQ(dialog->SavedRecNo(), dialog->SelectedRecNo());
        EXPECT_GT(dialog->SavedRecNo(), 0);
    }

    // The only method of its stage: nothing is left to list or act on.
    ChooseBells(12);
    ASSERT_EQ(Listed(), QStringList{"CAMBRIDGE SURPRISE MAXIMUS"});
    answers = {true};
    dialog->butDeleteClick();
    EXPECT_TRUE(Listed().isEmpty());
    EXPECT_EQ(dialog->SavedRecNo(), kNoSavedRecNo);
    EXPECT_FALSE(dialog->butOK->isEnabled());
    EXPECT_FALSE(dialog->butDelete->isEnabled());
}

TEST_F(OpenDialog, NameFilterNarrowsTheListAndClearingGivesItBack)
{
    Activate();
    Type("camb");
    QTest::keyClicks(dialog->edtFilter, "york");
    EXPECT_EQ(dialog->edtFilter->text(), "YORK");
    EXPECT_EQ(Listed(), (QStringList{"NEW YORKSHIRE SURPRISE MAJOR", "YORKSHIRE SURPRISE MAJOR"}));
    EXPECT_EQ(Selected(), "NEW YORKSHIRE SURPRISE MAJOR"); // the first from CAMB on
    Type("z");
    EXPECT_EQ(Selected(), "YORKSHIRE SURPRISE MAJOR");
    QTest::keyClicks(dialog->edtFilter, " new");
    EXPECT_EQ(Listed(), QStringList{"NEW YORKSHIRE SURPRISE MAJOR"});
    EXPECT_EQ(Selected(), "NEW YORKSHIRE SURPRISE MAJOR"); // the last when all lie before

    // Clearing gives back the browser as it stood: the whole range at the typed position.
    dialog->edtFilter->clear();
    EXPECT_EQ(Listed(), kEightByName);
    EXPECT_EQ(Selected(), "YORKSHIRE SURPRISE MAJOR");

    QTest::keyClicks(dialog->edtFilter, "royal");
    EXPECT_TRUE(Listed().isEmpty());
    EXPECT_FALSE(dialog->butOK->isEnabled());
    dialog->edtFilter->clear();

    // Open takes the record the filtered list selects.
    QTest::keyClicks(dialog->edtFilter, "new");
    dialog->butOKClick();
    EXPECT_EQ(card.Store().Name(), "NEW YORKSHIRE SURPRISE MAJOR");
}

} // namespace
} // namespace tambrel
